#ifndef HIDINTERFACES_WIN_H
#define HIDINTERFACES_WIN_H

#include <QStringList>

#include <windows.h>

// The HID device interfaces that Windows knows of.
namespace HidInterfaces {

// GUID_DEVINTERFACE_HID, spelt out so that no HID library is needed for one constant.
inline const GUID InterfaceClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// The paths of the HID interfaces present now, as SetupAPI lists them (in lower case); false in
// *ok when they could not be listed (whatever was listed until then is returned).
QStringList present(bool *ok);

// What the device watcher lists the present interfaces with when it starts: `present`, unless a
// test puts in a list of its own.
using Enumeration = QStringList (*)(bool *ok);
extern Enumeration enumeration;

} // namespace HidInterfaces

#endif // HIDINTERFACES_WIN_H
