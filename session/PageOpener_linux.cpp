#include "PageOpener.h"

#include "StartEnvironment.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

void PageOpener::open(const QUrl &url)
{
    // Qt starts the desktop's opener in the program's own environment, which holds what was set
    // for the toolkit alone, so xdg-open is started here with the user's. In a sandbox Qt asks the
    // desktop portal instead, whose browser runs outside in the desktop's environment; where
    // there is no xdg-open, Qt's own search for a browser is the better one.
    const QProcessEnvironment environment = StartEnvironment::forChildren();
    const bool sandboxed = environment.contains(QStringLiteral("SNAP")) ||
        !QStandardPaths::locate(QStandardPaths::RuntimeLocation, QStringLiteral("flatpak-info")).isEmpty();
    const QStringList path =
        environment.value(QStringLiteral("PATH")).split(QDir::listSeparator(), Qt::SkipEmptyParts);
    const QString opener =
        path.isEmpty() ? QString() : QStandardPaths::findExecutable(QStringLiteral("xdg-open"), path);
    QProcess process;
    process.setProgram(opener);
    process.setArguments({url.toString(QUrl::FullyEncoded)});
    process.setProcessEnvironment(environment);
    if (sandboxed || opener.isEmpty() || !process.startDetached())
        QDesktopServices::openUrl(url);
}
