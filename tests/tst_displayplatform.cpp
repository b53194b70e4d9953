#include "windowsystem/DisplayPlatform.h"

#include <QtTest>

#include <vector>

namespace {

const char Decorations[] = "QT_WAYLAND_DISABLE_WINDOWDECORATION";

const char *const Variables[] = {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "DISPLAY",
    "XDG_RUNTIME_DIR", "QT_WAYLAND_SHELL_INTEGRATION", Decorations};

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

// The choice of the windowing system before the application object exists, and the environment
// left behind for child processes.
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

    const QByteArray unset;
    const QByteArray xcb("xcb");
    const QStringList plain {QStringLiteral("lumivane")};

    QTest::newRow("wayland display") << unset << QByteArray("wayland-0") << unset << plain << xcb;
    QTest::newRow("wayland session type") << unset << unset << QByteArray("wayland") << plain << xcb;
    QTest::newRow("both") << unset << QByteArray("wayland-1") << QByteArray("wayland") << plain << xcb;
    QTest::newRow("wayland with -s") << unset << QByteArray("wayland-0") << unset
                                     << QStringList {QStringLiteral("lumivane"), QStringLiteral("-s")} << xcb;
    QTest::newRow("empty platform counts as none")
        << QByteArray("") << QByteArray("wayland-0") << unset << plain << xcb;
    QTest::newRow("x11 session") << unset << unset << QByteArray("x11") << plain << unset;
    QTest::newRow("empty wayland display") << unset << QByteArray("") << QByteArray("x11") << plain << unset;
    QTest::newRow("no session at all") << unset << unset << unset << plain << unset;
    QTest::newRow("user chose wayland") << QByteArray("wayland") << QByteArray("wayland-0")
                                        << QByteArray("wayland") << plain << QByteArray("wayland");
    QTest::newRow("user chose offscreen")
        << QByteArray("offscreen") << QByteArray("wayland-0") << unset << plain << QByteArray("offscreen");
    QTest::newRow("-platform on the command line")
        << unset << QByteArray("wayland-0") << unset
        << QStringList {QStringLiteral("lumivane"), QStringLiteral("-platform"), QStringLiteral("wayland")}
        << unset;
    QTest::newRow("--platform on the command line")
        << unset << QByteArray("wayland-0") << QByteArray("wayland")
        << QStringList {QStringLiteral("lumivane"), QStringLiteral("--platform"), QStringLiteral("wayland")}
        << unset;
    QTest::newRow("program named -platform")
        << unset << QByteArray("wayland-0") << unset << QStringList {QStringLiteral("-platform")} << xcb;
}

void tst_DisplayPlatform::choice()
{
    QFETCH(QByteArray, platform);
    QFETCH(QByteArray, waylandDisplay);
    QFETCH(QByteArray, sessionType);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, chosen);

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

    DisplayPlatform::chooseBeforeApplication(int(arguments.size()), argv.data());
    QCOMPARE(variable("QT_QPA_PLATFORM"), chosen.isNull() ? platform : chosen);
    DisplayPlatform::restoreEnvironment();
    QCOMPARE(variable("QT_QPA_PLATFORM"), platform);
    QCOMPARE(variable("QT_QPA_PLATFORM").isNull(), platform.isNull());
    QCOMPARE(variable("WAYLAND_DISPLAY"), waylandDisplay);
    QCOMPARE(variable("XDG_SESSION_TYPE"), sessionType);
}

void tst_DisplayPlatform::decorations_data()
{
    QTest::addColumn<QByteArray>("platform");
    QTest::addColumn<QByteArray>("users");
    QTest::addColumn<QByteArray>("whileStarting");

    const QByteArray unset;
    QTest::newRow("wayland") << QByteArray("wayland") << unset << QByteArray("1");
    QTest::newRow("wayland, the user's own value")
        << QByteArray("wayland") << QByteArray("0") << QByteArray("0");
    QTest::newRow("xcb") << QByteArray("xcb") << unset << unset;
    QTest::newRow("offscreen") << QByteArray("offscreen") << unset << unset;
}

// Window decorations off on Wayland, where asking for them loads the OpenGL stack, from the choice
// until the first window is exposed: Qt reads the variable as it shows that window.
void tst_DisplayPlatform::decorations()
{
    QFETCH(QByteArray, platform);
    QFETCH(QByteArray, users);
    QFETCH(QByteArray, whileStarting);

    setVariable("QT_QPA_PLATFORM", platform);
    // A shell the user chose: taken without asking a compositor.
    qputenv("QT_WAYLAND_SHELL_INTEGRATION", "xdg-shell");
    setVariable(Decorations, users);
    QByteArray program("lumivane");
    char *argv[] = {program.data(), nullptr};

    QVERIFY(DisplayPlatform::chooseBeforeApplication(1, argv));
    QCOMPARE(variable(Decorations), whileStarting);
    DisplayPlatform::restoreEnvironment();
    QCOMPARE(variable("QT_QPA_PLATFORM"), platform);
    QCOMPARE(variable(Decorations), whileStarting);
    QExposeEvent exposed {QRegion()};
    QCoreApplication::sendEvent(this, &exposed);
    QCOMPARE(variable(Decorations), users);
    QCOMPARE(variable(Decorations).isNull(), users.isNull());
}

QTEST_GUILESS_MAIN(tst_DisplayPlatform)
#include "tst_displayplatform.moc"
