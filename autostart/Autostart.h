#ifndef AUTOSTART_H
#define AUTOSTART_H

#include <QString>

// Whether the desktop starts the program when the user logs on: the per-user "Run" registry
// value on Windows, the user's XDG autostart entry elsewhere. The path is the executable's as
// QCoreApplication::applicationFilePath() gives it.
namespace Autostart {

// True when the stored setting starts exactly this executable. Only reads, and never blocks.
bool isEnabled(const QString &executablePath);

// Stores the setting at once. Switched off, the entry stays and says so, rather than vanishing.
// False, with a warning logged, when the setting could not be stored, or when what stands where it
// is stored is not something this program may replace.
bool setEnabled(bool enabled, const QString &executablePath);

} // namespace Autostart

#endif // AUTOSTART_H
