#include "HeadlessSway.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <csignal>
#include <pwd.h>
#include <unistd.h>

HeadlessSway::HeadlessSway()
    : home(QStringLiteral("/tmp/lumivane-sway-XXXXXX"))
{
}

HeadlessSway::~HeadlessSway()
{
    stop();
}

bool HeadlessSway::stop()
{
    sway.terminate();
    // A compositor a test has stopped ends once it goes on.
    if (sway.state() != QProcess::NotRunning)
        ::kill(pid_t(sway.processId()), SIGCONT);
    return sway.waitForFinished(10000) || sway.state() == QProcess::NotRunning;
}

bool HeadlessSway::start(const QByteArray &moreConfig, bool xwayland, int outputs)
{
    const QString runtime = home.path() + QStringLiteral("/runtime");
    QFile config(home.path() + QStringLiteral("/config"));
    if (!home.isValid() || !QDir().mkdir(runtime) ||
        !QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) ||
        !config.open(QIODevice::WriteOnly) ||
        config.write(xwayland ? "xwayland enable\n" : "xwayland disable\n") < 0 ||
        config.write("output HEADLESS-1 resolution 1280x800 position 0 0\n" + moreConfig) < 0 ||
        config.write("exec sh -c 'env >$HOME/env.tmp; mv $HOME/env.tmp $HOME/env'\n") < 0)
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
    compositor.insert(QStringLiteral("WLR_HEADLESS_OUTPUTS"), QString::number(outputs));
    sway.setProcessEnvironment(compositor);
    sway.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    sway.setStandardErrorFile(home.path() + QStringLiteral("/sway.log"));
    QStringList command =
        asUser + QStringList {QStringLiteral("sway"), QStringLiteral("-c"), config.fileName()};
    sway.start(command.takeFirst(), command);
    QFile written(home.path() + QStringLiteral("/env"));
    if (!QTest::qWaitFor([&] { return written.exists() || sway.state() == QProcess::NotRunning; }, 20000) ||
        !written.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : written.readAll().split('\n')) {
        if (line.contains('='))
            session.insert(QString::fromLocal8Bit(line.left(line.indexOf('='))),
                QString::fromLocal8Bit(line.mid(line.indexOf('=') + 1)));
    }
    session.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    return true;
}

void HeadlessSway::launch(
    QProcess &process, const QStringList &command, const QProcessEnvironment &environment) const
{
    QStringList words = asUser + command;
    process.setProcessEnvironment(environment.isEmpty() ? session : environment);
    process.start(words.takeFirst(), words);
}

QByteArray HeadlessSway::output(const QStringList &command) const
{
    QProcess client;
    launch(client, command);
    return client.waitForFinished(20000) ? client.readAllStandardOutput() : QByteArray();
}

QImage HeadlessSway::screen() const
{
    return QImage::fromData(output({QStringLiteral("grim"), QStringLiteral("-")}), "PNG");
}
