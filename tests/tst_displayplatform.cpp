#include "lumivane-config.h"
#include "session/StartEnvironment.h"
#include "support/MessageCapture.h"
#include "windowsystem/DisplayPlatform.h"

#include <QtTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <vector>

namespace {

const char Decorations[] = "QT_WAYLAND_DISABLE_WINDOWDECORATION";
const char FrameTimeout[] = "QT_WAYLAND_FRAME_CALLBACK_TIMEOUT";

const char *const Variables[] = {"QT_QPA_PLATFORM", "QT_WAYLAND_SHELL_INTEGRATION", "WAYLAND_DISPLAY",
    "WAYLAND_SOCKET", "XDG_SESSION_TYPE", "DISPLAY", "XDG_RUNTIME_DIR", Decorations, FrameTimeout};

// A null array stands for an unset variable, an empty one for a variable set to "".
QByteArray variable(const char *name)
{
    return qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray();
}

void setVariable(const char *name, const QByteArray &value)
{
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value);
}

// The name of a compositor that accepts connections (its backlog does) and never answers.
const char SilentCompositor[] = "silent";

} // namespace

// The choice of the windowing system before the application object exists, and the environment
// handed to child processes.
class tst_DisplayPlatform : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void choice_data();
    void choice();
    void decorations_data();
    void decorations();

private:
    QList<QByteArray> saved;
    // No compositor of the machine's own answers here.
    QTemporaryDir runtime;
};

void tst_DisplayPlatform::init()
{
    saved.clear();
    for (const char *name : Variables)
        saved.append(variable(name));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    qunsetenv("QT_WAYLAND_SHELL_INTEGRATION");
}

void tst_DisplayPlatform::cleanup()
{
    for (int i = 0; i < saved.size(); ++i)
        setVariable(Variables[i], saved.at(i));
}

void tst_DisplayPlatform::choice_data()
{
    QTest::addColumn<QByteArray>("platform");
    QTest::addColumn<QByteArray>("waylandDisplay");
    QTest::addColumn<QByteArray>("sessionType");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("chosen");
    // WAYLAND_SOCKET: a connection handed over by the compositor that started the program ("open"
    // for a socket of the test's own).
    QTest::addColumn<QByteArray>("socket");

    const QByteArray unset;
    const QByteArray Silent(SilentCompositor);
    const QByteArray xcb("xcb");
    const QStringList plain {QStringLiteral("lumivane")};

    QTest::newRow("wayland display") << unset << QByteArray("wayland-0") << unset << plain << xcb << unset;
    QTest::newRow("wayland session type") << unset << unset << QByteArray("wayland") << plain << xcb << unset;
    QTest::newRow("both") << unset << QByteArray("wayland-1") << QByteArray("wayland") << plain << xcb
                          << unset;
    QTest::newRow("wayland with -s") << unset << QByteArray("wayland-0") << unset
                                     << QStringList {QStringLiteral("lumivane"), QStringLiteral("-s")} << xcb
                                     << unset;
    QTest::newRow("empty platform counts as none")
        << QByteArray("") << QByteArray("wayland-0") << unset << plain << xcb << unset;
    QTest::newRow("x11 session") << unset << unset << QByteArray("x11") << plain << unset << unset;
    QTest::newRow("empty wayland display")
        << unset << QByteArray("") << QByteArray("x11") << plain << unset << unset;
    QTest::newRow("no session at all") << unset << unset << unset << plain << unset << unset;
    QTest::newRow("user chose wayland") << QByteArray("wayland") << QByteArray("wayland-0")
                                        << QByteArray("wayland") << plain << QByteArray("wayland") << unset;
    QTest::newRow("user chose offscreen") << QByteArray("offscreen") << QByteArray("wayland-0") << unset
                                          << plain << QByteArray("offscreen") << unset;
    QTest::newRow("-platform on the command line")
        << unset << QByteArray("wayland-0") << unset
        << QStringList {QStringLiteral("lumivane"), QStringLiteral("-platform"), QStringLiteral("wayland")}
        << unset << unset;
    QTest::newRow("--platform on the command line")
        << unset << QByteArray("wayland-0") << QByteArray("wayland")
        << QStringList {QStringLiteral("lumivane"), QStringLiteral("--platform"), QStringLiteral("wayland")}
        << unset << unset;
    QTest::newRow("program named -platform") << unset << QByteArray("wayland-0") << unset
                                             << QStringList {QStringLiteral("-platform")} << xcb << unset;
    const QByteArray wayland("wayland");
    const QByteArray open("open");
    QTest::newRow("handed socket") << unset << unset << unset << plain << wayland << open;
    QTest::newRow("handed socket in a wayland session")
        << unset << QByteArray("wayland-0") << wayland << plain << wayland << open;
    QTest::newRow("handed socket, user chose wayland")
        << wayland << unset << unset << plain << wayland << open;
    QTest::newRow("handed socket, user chose xcb") << xcb << unset << unset << plain << xcb << open;
    // A compositor that takes the connection and says nothing in time is slow, not without a
    // layer shell: Wayland, never X11 through its XWayland.
    QTest::newRow("compositor silent") << unset << Silent << unset << plain << wayland << unset;
    QTest::newRow("compositor silent, user chose wayland")
        << wayland << Silent << unset << plain << wayland << unset;
}

void tst_DisplayPlatform::choice()
{
    QFETCH(QByteArray, platform);
    QFETCH(QByteArray, waylandDisplay);
    QFETCH(QByteArray, sessionType);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, chosen);
    QFETCH(QByteArray, socket);

    setVariable("QT_QPA_PLATFORM", platform);
    int sockets[2] = {-1, -1};
    if (socket == "open") {
        QCOMPARE(socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
        socket = QByteArray::number(sockets[0]);
    }
    const auto closeSockets = qScopeGuard([&sockets] {
        for (int end : sockets)
            if (end >= 0)
                close(end);
    });
    setVariable("WAYLAND_SOCKET", socket);
    setVariable("WAYLAND_DISPLAY", waylandDisplay);
    setVariable("XDG_SESSION_TYPE", sessionType);
    std::vector<QByteArray> storage;
    std::vector<char *> argv;
    for (const QString &argument : arguments)
        storage.push_back(argument.toLocal8Bit());
    for (QByteArray &argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    const QByteArray path = QFile::encodeName(runtime.filePath(QString::fromLatin1(SilentCompositor)));
    const int silent = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const auto closeSilent = qScopeGuard([silent, &path] {
        ::close(silent);
        ::unlink(path.constData());
    });
    if (waylandDisplay == SilentCompositor) {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, path.constData(), sizeof address.sun_path);
        QVERIFY(::bind(silent, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
            ::listen(silent, 4) == 0);
    }
    StartEnvironment::retake();
    const QProcessEnvironment before = StartEnvironment::forChildren();
    const MessageCapture info(QtInfoMsg);
    DisplayPlatform::chooseBeforeApplication(int(arguments.size()), argv.data());
    DisplayPlatform::sayWhichDisplay();
    QCOMPARE(variable("QT_QPA_PLATFORM"), chosen.isNull() ? platform : chosen);
    // What the program starts sees the variables as they were.
    const QProcessEnvironment children = StartEnvironment::forChildren();
    QCOMPARE(children, before);
    QCOMPARE(children.contains(QStringLiteral("QT_QPA_PLATFORM")), !platform.isNull());
    QCOMPARE(children.value(QStringLiteral("QT_QPA_PLATFORM")).toLocal8Bit(), platform);
    QVERIFY(!children.contains(QStringLiteral("WAYLAND_SOCKET")));
    // One that names no open socket is dropped, so that Qt connects by name.
    if (!socket.isNull() && sockets[0] < 0)
        QVERIFY(variable("WAYLAND_SOCKET").isNull());
    // Nobody asks a handed connection first, and a silent compositor has not said: Qt takes the
    // layer shell where it is offered, the desktop's shell otherwise (the module lies beside the
    // tests as beside the program). A build without the layer-shell integration has none to offer,
    // and says so where nothing else stands in the way.
    const bool unasked =
        (sockets[0] >= 0 || waylandDisplay == SilentCompositor) && variable("QT_QPA_PLATFORM") == "wayland";
    QCOMPARE(variable("QT_WAYLAND_SHELL_INTEGRATION"),
        unasked && LUMIVANE_LAYER_SHELL_INTEGRATION ? QByteArray("layer-shell;xdg-shell") : QByteArray());
    if (unasked) {
        const QString line = info.lines().value(0);
        QVERIFY2(line.contains(QLatin1String(LUMIVANE_LAYER_SHELL_INTEGRATION
                         ? "a layer surface where the compositor offers one"
                         : "a window the compositor places")),
            qPrintable(line));
        QCOMPARE(line.contains(QLatin1String("this build has no layer-shell integration")),
            !LUMIVANE_LAYER_SHELL_INTEGRATION && sockets[0] >= 0);
    }
    QCOMPARE(variable("WAYLAND_DISPLAY"), waylandDisplay);
    QCOMPARE(variable("XDG_SESSION_TYPE"), sessionType);
}

void tst_DisplayPlatform::decorations_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("platform");
    QTest::addColumn<QByteArray>("users");
    QTest::addColumn<QByteArray>("whileStarting");

    const QByteArray unset;
    const QByteArray decorations(Decorations);
    QTest::newRow("wayland") << decorations << QByteArray("wayland") << unset << QByteArray("1");
    QTest::newRow("wayland, the user's own value")
        << decorations << QByteArray("wayland") << QByteArray("0") << QByteArray("0");
    QTest::newRow("xcb") << decorations << QByteArray("xcb") << unset << unset;
    QTest::newRow("offscreen") << decorations << QByteArray("offscreen") << unset << unset;
    const QByteArray frameTimeout(FrameTimeout);
    QTest::newRow("frame timeout, wayland")
        << frameTimeout << QByteArray("wayland") << unset << QByteArray("0");
    QTest::newRow("frame timeout, the user's own value")
        << frameTimeout << QByteArray("wayland") << QByteArray("200") << QByteArray("200");
    QTest::newRow("frame timeout, xcb") << frameTimeout << QByteArray("xcb") << unset << unset;
}

// Qt's Wayland client set for the program's windows: decorations off, where asking for them loads
// the OpenGL stack, and no timer armed at every frame. Qt reads the variables as it makes the
// windows; what the program starts never sees them.
void tst_DisplayPlatform::decorations()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, platform);
    QFETCH(QByteArray, users);
    QFETCH(QByteArray, whileStarting);

    setVariable("QT_QPA_PLATFORM", platform);
    // A shell the user chose: taken without asking a compositor.
    qputenv("QT_WAYLAND_SHELL_INTEGRATION", "xdg-shell");
    setVariable(name.constData(), users);
    QByteArray program("lumivane");
    char *argv[] = {program.data(), nullptr};

    StartEnvironment::retake();
    QVERIFY(DisplayPlatform::chooseBeforeApplication(1, argv));
    QCOMPARE(variable(name.constData()), whileStarting);
    // What the program starts sees the user's value, or none.
    const QProcessEnvironment children = StartEnvironment::forChildren();
    QCOMPARE(children.contains(QLatin1String(name)), !users.isNull());
    QCOMPARE(children.value(QLatin1String(name)).toLocal8Bit(), users);
}

QTEST_GUILESS_MAIN(tst_DisplayPlatform)
#include "tst_displayplatform.moc"
