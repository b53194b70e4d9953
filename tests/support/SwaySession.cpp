#include "SwaySession.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

namespace {

constexpr int WaitMs = 30000;

// sway refuses to run as root, and XWayland admits only its own user's clients.
QStringList asSessionUser(const QString &program, const QStringList &arguments)
{
    if (geteuid() != 0)
        return QStringList {program} + arguments;
    return QStringList {QStringLiteral("setpriv"), QStringLiteral("--reuid=nobody"),
               QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups"), program} +
        arguments;
}

void giveToSessionUser(const QString &path)
{
    if (const passwd *nobody = geteuid() == 0 ? getpwnam("nobody") : nullptr)
        QVERIFY(chown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid) == 0);
}

QString focusedIn(const QJsonObject &node)
{
    if (node.value(QStringLiteral("focused")).toBool())
        return node.value(QStringLiteral("name")).toString();
    for (const char *children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue child : node.value(QLatin1String(children)).toArray()) {
            const QString name = focusedIn(child.toObject());
            if (!name.isNull())
                return name;
        }
    }
    return QString();
}

} // namespace

SwaySession::SwaySession()
    : home(QStringLiteral("/tmp/lumivane-sway-XXXXXX"))
{
}

SwaySession::~SwaySession()
{
    sway.terminate();
    sway.waitForFinished(WaitMs);
}

bool SwaySession::start()
{
    const QString runtime = home.path() + QStringLiteral("/runtime");
    QFile config(home.path() + QStringLiteral("/config"));
    QFile script(home.path() + QStringLiteral("/session.sh"));
    if (!QDir().mkdir(runtime) ||
        !QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) ||
        !config.open(QIODevice::WriteOnly) || !script.open(QIODevice::WriteOnly))
        return false;
    // A program that sway starts writes the session's environment down; xev is the user's window.
    config.write("xwayland enable\noutput HEADLESS-1 resolution 1280x800\nexec sh " +
        QFile::encodeName(script.fileName()) + '\n');
    script.write(
        "env > \"$HOME/session.tmp\" && mv \"$HOME/session.tmp\" \"$HOME/session.env\" && exec xev\n");
    config.close();
    script.close();
    for (const QString &path : {home.path(), runtime, config.fileName(), script.fileName()})
        giveToSessionUser(path);

    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    environment.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    environment.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    environment.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    sway.setProcessEnvironment(environment);
    QStringList command = asSessionUser(QStringLiteral("sway"), {QStringLiteral("-c"), config.fileName()});
    sway.start(command.takeFirst(), command);
    QFile written(home.path() + QStringLiteral("/session.env"));
    if (!QTest::qWaitFor([&written] { return written.exists(); }, WaitMs) ||
        !written.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : written.readAll().split('\n')) {
        const int equals = line.indexOf('=');
        if (equals > 0)
            session.insert(
                QString::fromLocal8Bit(line.left(equals)), QString::fromLocal8Bit(line.mid(equals + 1)));
    }
    session.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    session.insert(QStringLiteral("TMPDIR"), home.path());
    return QTest::qWaitFor([this] { return focusedName() == QLatin1String("Event Tester"); }, WaitMs);
}

void SwaySession::launch(
    QProcess *process, const QString &program, const QStringList &arguments, const QProcessEnvironment &extra)
{
    QProcessEnvironment environment = session;
    environment.insert(extra);
    process->setProcessEnvironment(environment);
    QStringList command = asSessionUser(program, arguments);
    process->start(command.takeFirst(), command);
}

QByteArray SwaySession::runInSession(const QString &program, const QStringList &arguments)
{
    QProcess process;
    launch(&process, program, arguments);
    process.waitForFinished(WaitMs);
    return process.readAllStandardOutput();
}

QByteArray SwaySession::tree()
{
    return runInSession(QStringLiteral("swaymsg"), {QStringLiteral("-t"), QStringLiteral("get_tree")});
}

QString SwaySession::focusedName()
{
    return focusedIn(QJsonDocument::fromJson(tree()).object());
}

QImage SwaySession::screen()
{
    return QImage::fromData(runInSession(QStringLiteral("grim"), {QStringLiteral("-")}), "PNG");
}
