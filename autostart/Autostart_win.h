#ifndef AUTOSTART_WIN_H
#define AUTOSTART_WIN_H

#include "Autostart.h"

class QSettings;

namespace Autostart {

// setEnabled() on the given store instead of the Run key, so that a test can hand it a store that
// refuses the write, which the registry under Wine never does.
bool setEnabled(bool enabled, const QString &executablePath, QSettings &run);

} // namespace Autostart

#endif // AUTOSTART_WIN_H
