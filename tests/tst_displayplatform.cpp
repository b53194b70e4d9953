#include "windowsystem/DisplayPlatform.h"
#include "windowsystem/WindowFade.h"

#include <QtTest>

Q_DECLARE_METATYPE(WindowFade::Method)

#include <vector>

namespace {

const char *const Variables[] = {
    "QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "DISPLAY", "XDG_RUNTIME_DIR"};

// A display number where no X server runs.
const QByteArray Unreachable(":4071");

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

} // namespace

// The choice of the windowing system before the application object exists, the environment
// left behind for child processes, and the refusal to start without a display.
class tst_DisplayPlatform : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void choice_data();
    void choice();
    void fadeMethod_data();
    void fadeMethod();

private:
    QList<QByteArray> saved;
};

void tst_DisplayPlatform::init()
{
    saved.clear();
    for (const char *name : Variables)
        saved.append(variable(name));
}

void tst_DisplayPlatform::cleanup()
{
    DisplayPlatform::restoreEnvironment();
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
    QTest::addColumn<QByteArray>("display");
    QTest::addColumn<bool>("starts");

    const QByteArray unset;
    // The test's own X server.
    const QByteArray own = qgetenv("DISPLAY");
    const QByteArray xcb("xcb");
    const QStringList plain {QStringLiteral("lumivane")};

    QTest::newRow("wayland display") << unset << QByteArray("wayland-0") << unset << plain << xcb << own
                                     << true;
    QTest::newRow("wayland session type")
        << unset << unset << QByteArray("wayland") << plain << xcb << own << true;
    QTest::newRow("both") << unset << QByteArray("wayland-1") << QByteArray("wayland") << plain << xcb << own
                          << true;
    QTest::newRow("wayland with -s") << unset << QByteArray("wayland-0") << unset
                                     << QStringList {QStringLiteral("lumivane"), QStringLiteral("-s")} << xcb
                                     << own << true;
    QTest::newRow("empty platform counts as none")
        << QByteArray("") << QByteArray("wayland-0") << unset << plain << xcb << own << true;
    QTest::newRow("x11 session") << unset << unset << QByteArray("x11") << plain << unset << own << true;
    QTest::newRow("empty wayland display")
        << unset << QByteArray("") << QByteArray("x11") << plain << unset << own << true;
    QTest::newRow("no session at all") << unset << unset << unset << plain << unset << own << true;
    QTest::newRow("user chose wayland, no compositor")
        << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray("wayland") << plain
        << QByteArray("wayland") << own << false;
    QTest::newRow("user chose offscreen") << QByteArray("offscreen") << QByteArray("wayland-0") << unset
                                          << plain << QByteArray("offscreen") << own << true;
    QTest::newRow("-platform on the command line")
        << unset << QByteArray("wayland-0") << unset
        << QStringList {QStringLiteral("lumivane"), QStringLiteral("-platform"), QStringLiteral("wayland")}
        << unset << own << false;
    QTest::newRow("--platform on the command line")
        << unset << QByteArray("wayland-0") << QByteArray("wayland")
        << QStringList {QStringLiteral("lumivane"), QStringLiteral("--platform"), QStringLiteral("wayland")}
        << unset << own << false;
    QTest::newRow("program named -platform")
        << unset << QByteArray("wayland-0") << unset << QStringList {QStringLiteral("-platform")} << xcb
        << own << true;
    QTest::newRow("no display at all") << unset << unset << unset << plain << unset << unset << false;
    QTest::newRow("no X server at DISPLAY")
        << unset << unset << QByteArray("x11") << plain << unset << Unreachable << false;
    QTest::newRow("wayland session without an X server")
        << unset << unset << QByteArray("wayland") << plain << unset << unset << false;
    QTest::newRow("user chose xcb, no X server")
        << xcb << unset << unset << plain << unset << Unreachable << false;
    QTest::newRow("-display names no X server")
        << unset << unset << unset
        << QStringList {QStringLiteral("lumivane"), QStringLiteral("-display"),
               QString::fromLatin1(Unreachable)}
        << unset << own << false;
}

void tst_DisplayPlatform::choice()
{
    QFETCH(QByteArray, platform);
    QFETCH(QByteArray, waylandDisplay);
    QFETCH(QByteArray, sessionType);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, chosen);
    QFETCH(QByteArray, display);
    QFETCH(bool, starts);

    setVariable("DISPLAY", display);
    // No compositor of the machine's own answers.
    QTemporaryDir runtime;
    setVariable("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    setVariable("QT_QPA_PLATFORM", platform);
    setVariable("WAYLAND_DISPLAY", waylandDisplay);
    setVariable("XDG_SESSION_TYPE", sessionType);
    std::vector<QByteArray> storage;
    std::vector<char *> argv;
    for (const QString &argument : arguments)
        storage.push_back(argument.toLocal8Bit());
    for (QByteArray &argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    QCOMPARE(DisplayPlatform::chooseBeforeApplication(int(arguments.size()), argv.data()), starts);
    QCOMPARE(variable("QT_QPA_PLATFORM"), chosen.isNull() ? platform : chosen);
    DisplayPlatform::restoreEnvironment();
    QCOMPARE(variable("QT_QPA_PLATFORM"), platform);
    QCOMPARE(variable("QT_QPA_PLATFORM").isNull(), platform.isNull());
    QCOMPARE(variable("WAYLAND_DISPLAY"), waylandDisplay);
    QCOMPARE(variable("XDG_SESSION_TYPE"), sessionType);
}

void tst_DisplayPlatform::fadeMethod_data()
{
    QTest::addColumn<QString>("platform");
    QTest::addColumn<WindowFade::Method>("method");
    QTest::newRow("xcb") << QStringLiteral("xcb") << WindowFade::Method::WindowOpacity;
    QTest::newRow("windows") << QStringLiteral("windows") << WindowFade::Method::WindowOpacity;
    QTest::newRow("wayland") << QStringLiteral("wayland") << WindowFade::Method::Painted;
    QTest::newRow("wayland-egl") << QStringLiteral("wayland-egl") << WindowFade::Method::Painted;
    for (const char *platform : {"offscreen", "minimal", "vnc", "eglfs"})
        QTest::newRow(platform) << QString::fromLatin1(platform) << WindowFade::Method::None;
}

void tst_DisplayPlatform::fadeMethod()
{
    QFETCH(QString, platform);
    QFETCH(WindowFade::Method, method);
    QCOMPARE(WindowFade::methodFor(platform), method);
}

QTEST_GUILESS_MAIN(tst_DisplayPlatform)
#include "tst_displayplatform.moc"
