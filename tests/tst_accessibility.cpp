#include "support/OverlayProcess.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QTest>

// The overlay as a screen reader meets it on a Linux desktop: the accessibility bus started as the
// desktop starts it, and an AT-SPI client on it (atspi/client.py). Nothing in the overlay's
// environment asks Qt for accessibility.

namespace {

// By hand the reader hears the overlay well within 2 s; room here for a loaded machine.
constexpr int HeardWithinMs = 5000;
// The overlay hides 4 s after its last report, after a fade of 250 ms.
constexpr int HiddenWithinMs = 10000;

// Reports as lumivane-send takes them, each with the name under which the overlay is then heard
// (none: nothing is heard).
using Reports = QList<QPair<QByteArray, QByteArray>>;

} // namespace

class tst_Accessibility : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void oneNotification();
    void announcements_data();
    void announcements();

private:
    // The reader's next line, or an empty one when none came in time.
    QByteArray nextLine(int withinMs);

    QProcess busLauncher;
    OverlayProcess overlay;
    QProcess reader;
    QByteArray received;
    // The notifications the reader found under the program.
    QByteArrayList notifications;
    bool shown = false;
};

void tst_Accessibility::initTestCase()
{
    QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run through tests/with-system-bus.sh --session");
    // All find this test's bus, never one a desktop around the test names.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"));
    environment.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));
    environment.insert(QStringLiteral("LANGUAGE"), QStringLiteral("zh_CN"));
    // The launcher keeps its settings (whether a screen reader runs) in the test's memory, not in
    // the machine's dconf, which this session cannot reach.
    QProcessEnvironment launcherEnvironment = environment;
    launcherEnvironment.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
    busLauncher.setProcessEnvironment(launcherEnvironment);
    busLauncher.start(QStringLiteral(ATSPI_BUS_LAUNCHER), {QStringLiteral("--launch-immediately")});
    QTRY_VERIFY_WITH_TIMEOUT(
        QDBusConnection::sessionBus().interface()->isServiceRegistered(QStringLiteral("org.a11y.Bus")),
        30000);
    // Answered once the accessibility bus itself runs.
    QVERIFY(QDBusConnection::sessionBus()
                .call(QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"),
                    QStringLiteral("/org/a11y/bus"), QStringLiteral("org.a11y.Bus"),
                    QStringLiteral("GetAddress")))
                .type() == QDBusMessage::ReplyMessage);
    // A screen reader started with the session says so, as Orca does; Qt 6 joins the accessibility
    // bus on that word alone, Qt 5 also where the X server names the bus.
    QDBusMessage readerRuns =
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
    readerRuns << QStringLiteral("org.a11y.Status") << QStringLiteral("ScreenReaderEnabled")
               << QVariant::fromValue(QDBusVariant(true));
    QVERIFY(QDBusConnection::sessionBus().call(readerRuns).type() == QDBusMessage::ReplyMessage);
    QVERIFY(overlay.start(environment));
    reader.setProcessEnvironment(environment);
    reader.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    reader.start(QStringLiteral(LUMIVANE_TEST_PYTHON),
        {QStringLiteral(ATSPI_CLIENT), QString::number(overlay.process.processId())});
    // The program joins the accessibility bus as it starts; the reader looks until it finds it.
    const QDeadlineTimer deadline(30000);
    for (QByteArray line = nextLine(HeardWithinMs); line != "ready"; line = nextLine(HeardWithinMs)) {
        QVERIFY2(!deadline.hasExpired(), "the program never appeared on the accessibility bus");
        if (line == "missing")
            reader.write("tree\n");
        if (line.startsWith("object notification "))
            notifications.append(line);
    }
}

void tst_Accessibility::cleanupTestCase()
{
    reader.kill();
    reader.waitForFinished();
    QVERIFY(overlay.stop());
    busLauncher.terminate();
    busLauncher.waitForFinished();
}

QByteArray tst_Accessibility::nextLine(int withinMs)
{
    const QDeadlineTimer deadline(withinMs);
    received += reader.readAllStandardOutput();
    while (!received.contains('\n') && !deadline.hasExpired()) {
        reader.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        received += reader.readAllStandardOutput();
    }
    const int end = received.indexOf('\n');
    const QByteArray line = received.left(qMax(end, 0));
    received.remove(0, end + 1);
    return line;
}

void tst_Accessibility::oneNotification()
{
    // One object, named after the caption on show, with nothing inside; no other notification.
    QCOMPARE(notifications, QByteArrayList {"object notification 0 幻彩"});
}

void tst_Accessibility::announcements_data()
{
    // Each row starts with the overlay hidden. Silence is proven by what is heard next.
    QTest::addColumn<Reports>("reports");
    QTest::newRow("a mode from hidden") << Reports {{"1 0 0 0", "跑马"}};
    QTest::newRow("another from hidden") << Reports {{"3 0 0 0", "常亮"}};
    QTest::newRow("a change while shown") << Reports {{"2 0 0 0", "呼吸"}, {"1 0 0 0", "跑马"}};
    QTest::newRow("mode 0 again, heard again") << Reports {{"0 0 0 0", "幻彩"}, {"0 9 9 9", "幻彩"}};
    QTest::newRow("a colour while shown: nothing")
        << Reports {{"2 0 0 0", "呼吸"}, {"2 255 0 0", {}}, {"3 0 0 0", "常亮"}};
    // A colour brings the hidden overlay on screen with the caption it shows, which is heard.
    QTest::newRow("a colour from hidden: the mode on show") << Reports {{"3 0 255 0", "常亮"}};
    QTest::newRow("an unknown mode: nothing") << Reports {{"7 0 0 0", {}}, {"1 0 0 0", "跑马"}};
}

void tst_Accessibility::announcements()
{
    QFETCH(Reports, reports);
    // Hiding is "showing" no more, never an announcement.
    if (shown) {
        const QByteArray line = nextLine(HiddenWithinMs);
        QVERIFY2(line.startsWith("showing 0 notification "), line.constData());
        shown = false;
    }
    for (const auto &[arguments, heard] : reports) {
        QCOMPARE(runSender(words(arguments.constData())), 0);
        if (!heard.isEmpty()) {
            const QByteArray expected = "showing 1 notification " + heard;
            QCOMPARE(nextLine(HeardWithinMs), expected);
            shown = true;
        }
    }
}

QTEST_GUILESS_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"
