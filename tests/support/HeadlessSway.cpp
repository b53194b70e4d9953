#include "HeadlessSway.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

HeadlessSway::HeadlessSway()
    : home(QStringLiteral("/tmp/lumivane-sway-XXXXXX"))
{
}

HeadlessSway::~HeadlessSway()
{
    sway.terminate();
    sway.waitForFinished(10000);
}

bool HeadlessSway::start()
{
    const QString runtime = home.path() + QStringLiteral("/runtime");
    QFile config(home.path() + QStringLiteral("/config"));
    if (!home.isValid() || !QDir().mkdir(runtime) ||
        !QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) ||
        !config.open(QIODevice::WriteOnly) ||
        config.write("xwayland disable\noutput HEADLESS-1 resolution 1280x800\n") < 0)
        return false;
    config.close();
    if (const passwd *nobody = geteuid() == 0 ? getpwnam("nobody") : nullptr) {
        for (const QString &file : {home.path(), runtime, config.fileName()}) {
            if (chown(QFile::encodeName(file).constData(), nobody->pw_uid, nobody->pw_gid) != 0)
                return false;
        }
        asUser = QStringList {QStringLiteral("setpriv"), QStringLiteral("--reuid=nobody"),
            QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups")};
    }
    session.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    session.insert(QStringLiteral("HOME"), home.path());
    session.insert(QStringLiteral("TMPDIR"), home.path());
    session.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    // Sanitized, no leak check: Wayland's client library keeps what it allocates for the process's
    // life.
    const QProcessEnvironment outside = QProcessEnvironment::systemEnvironment();
    if (outside.contains(QStringLiteral("ASAN_OPTIONS")))
        session.insert(QStringLiteral("ASAN_OPTIONS"),
            outside.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    if (outside.contains(QStringLiteral("UBSAN_OPTIONS")))
        session.insert(QStringLiteral("UBSAN_OPTIONS"), outside.value(QStringLiteral("UBSAN_OPTIONS")));
    QProcessEnvironment compositor = session;
    compositor.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    compositor.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    compositor.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    sway.setProcessEnvironment(compositor);
    sway.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    sway.setStandardErrorFile(home.path() + QStringLiteral("/sway.log"));
    QStringList command =
        asUser + QStringList {QStringLiteral("sway"), QStringLiteral("-c"), config.fileName()};
    sway.start(command.takeFirst(), command);
    QStringList sockets;
    const bool listening = QTest::qWaitFor(
        [&] {
            sockets = QDir(runtime).entryList({QStringLiteral("wayland-?")}, QDir::System);
            return !sockets.isEmpty() || sway.state() == QProcess::NotRunning;
        },
        20000);
    if (!listening || sockets.isEmpty())
        return false;
    session.insert(QStringLiteral("WAYLAND_DISPLAY"), sockets.constFirst());
    session.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    return true;
}

void HeadlessSway::launch(QProcess &process, const QStringList &command) const
{
    QStringList words = asUser + command;
    process.setProcessEnvironment(session);
    process.start(words.takeFirst(), words);
}

QImage HeadlessSway::screen() const
{
    QProcess grim;
    launch(grim, {QStringLiteral("grim"), QStringLiteral("-")});
    if (!grim.waitForFinished(20000))
        return QImage();
    return QImage::fromData(grim.readAllStandardOutput(), "PNG");
}
