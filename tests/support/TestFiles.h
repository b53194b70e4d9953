#ifndef TESTFILES_H
#define TESTFILES_H

#include <QByteArray>
#include <QString>

namespace TestFiles {

// The file's whole content; empty when it cannot be read.
QByteArray readAll(const QString &path);

// A shell script with the given body, which the owner may run.
bool writeScript(const QString &path, const QByteArray &body);

// KDE's animation speed in the test's own $XDG_CONFIG_HOME/kdeglobals ("0": no animations), the
// file written anew and renamed into place as KDE saves it; an empty factor removes the file.
// False where the file cannot be written, or XDG_CONFIG_HOME is not the test's own
// (tests/with-xvfb.sh): never the user's.
bool setKdeAnimationFactor(const QByteArray &factor);

} // namespace TestFiles

#endif // TESTFILES_H
