#include "support/OverlayProcess.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QTest>

#include <memory>

// The overlay as a screen reader meets it on a Linux desktop: the desktop's accessibility bus,
// started as the desktop starts it, and an AT-SPI client (tests/atspi/client.py) listening on it.
// Nothing in the overlay's environment asks Qt for accessibility.

namespace {

// The reader's lines arrive this soon after what they tell of: by hand well within 2 s, with room
// here for a loaded machine.
constexpr int HeardWithinMs = 5000;
// The overlay hides 4 s after its last report, after a fade of 250 ms.
constexpr int HiddenWithinMs = 10000;

QProcessEnvironment overlayEnvironment(const QString &language)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "QT_ACCESSIBILITY", "LC_ALL", "LC_MESSAGES"})
        environment.remove(QLatin1String(name));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("LANGUAGE"), language);
    return environment;
}

// One report of the companion, as lumivane-send sends it.
struct Report
{
    const char *arguments;
    // The name under which the overlay is heard, empty for silence.
    QString heard;
};

} // namespace

Q_DECLARE_METATYPE(QList<Report>)

class tst_Accessibility : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void oneNotification();
    void announcements_data();
    void announcements();
    void interfaceLanguage();

private:
    void startOverlay(const QString &language);
    void stopOverlay();
    // The reader's next line, or an empty one when none came in time.
    QByteArray nextLine(int withinMs);
    // The next event of the overlay itself: its icons and captions send theirs as the window
    // shows and hides, which readers pass over for their roles.
    QByteArray nextNotice(int withinMs);
    // The objects directly under the program, as the reader finds them.
    QList<QByteArray> tree();
    // Waits until the overlay is hidden, taking the reader's lines up to the one that says so.
    void waitUntilHidden();

    QProcess busLauncher;
    std::unique_ptr<OverlayProcess> overlay;
    QProcess reader;
    QByteArray received;
    bool shown = false;
};

void tst_Accessibility::initTestCase()
{
    QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run through tests/with-system-bus.sh --session");
    // The desktop's own start of the accessibility bus, from its autostart entry.
    busLauncher.start(QStringLiteral(ATSPI_BUS_LAUNCHER), {QStringLiteral("--launch-immediately")});
    QVERIFY(busLauncher.waitForStarted());
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    QTRY_VERIFY_WITH_TIMEOUT(bus->isServiceRegistered(QStringLiteral("org.a11y.Bus")), 30000);
    const QDBusReply<QString> address =
        QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"),
            QStringLiteral("/org/a11y/bus"), QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")));
    QVERIFY2(address.isValid() && !address.value().isEmpty(), qPrintable(address.error().message()));
    startOverlay(QStringLiteral("zh_CN"));
}

void tst_Accessibility::cleanupTestCase()
{
    stopOverlay();
    busLauncher.terminate();
    busLauncher.waitForFinished();
}

void tst_Accessibility::startOverlay(const QString &language)
{
    overlay = std::make_unique<OverlayProcess>();
    QVERIFY(overlay->start(overlayEnvironment(language)));
    shown = false;
    received.clear();
    reader.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    reader.start(QStringLiteral(LUMIVANE_TEST_PYTHON),
        {QStringLiteral(ATSPI_CLIENT), QString::number(overlay->process.processId())});
    QVERIFY(reader.waitForStarted());
    // The program joins the accessibility bus as it starts; the reader finds it once it has.
    QByteArray line;
    const QDeadlineTimer deadline(30000);
    while ((line = nextLine(HeardWithinMs)) != "ready") {
        QVERIFY2(!deadline.hasExpired(), "the program never appeared on the accessibility bus");
        if (line == "missing" || line.isEmpty())
            reader.write("tree\n");
    }
}

void tst_Accessibility::stopOverlay()
{
    if (reader.state() != QProcess::NotRunning) {
        reader.closeWriteChannel();
        if (!reader.waitForFinished(5000))
            reader.kill();
        reader.waitForFinished();
    }
    if (overlay)
        QVERIFY(overlay->stop());
    overlay.reset();
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
    if (end < 0)
        return {};
    const QByteArray line = received.left(end);
    received.remove(0, end + 1);
    return line;
}

QByteArray tst_Accessibility::nextNotice(int withinMs)
{
    const QDeadlineTimer deadline(withinMs);
    for (;;) {
        const QByteArray line = nextLine(int(qMax<qint64>(1, deadline.remainingTime())));
        const QList<QByteArray> words = line.split(' ');
        if (line.isEmpty() || (words.size() > 2 && words[0] == "showing" && words[2] == "notification"))
            return line;
    }
}

QList<QByteArray> tst_Accessibility::tree()
{
    reader.write("tree\n");
    QList<QByteArray> objects;
    for (QByteArray line = nextLine(HeardWithinMs); line != "ready"; line = nextLine(HeardWithinMs)) {
        if (line.isEmpty())
            return objects;
        if (line.startsWith("object "))
            objects.append(line.mid(7));
    }
    return objects;
}

void tst_Accessibility::waitUntilHidden()
{
    if (!shown)
        return;
    for (QByteArray line = nextNotice(HiddenWithinMs);; line = nextNotice(HiddenWithinMs)) {
        QVERIFY2(!line.isEmpty(), "the overlay never hid");
        // Hiding is "showing" no more; a reader that heard anything else here heard too much.
        QVERIFY2(!line.startsWith("showing 1 "), line.constData());
        if (line.startsWith("showing 0 notification "))
            break;
    }
    shown = false;
}

void tst_Accessibility::oneNotification()
{
    waitUntilHidden();
    // The overlay is one object, named after the caption it shows, with nothing inside.
    const QList<QByteArray> objects = tree();
    QVERIFY(objects.contains("notification 0 幻彩"));
    for (const QByteArray &object : objects) {
        QVERIFY2(!object.startsWith("notification ") || object == "notification 0 幻彩", object.constData());
        for (const char *caption : {"常亮", "呼吸", "跑马"})
            QVERIFY2(!object.contains(caption), object.constData());
    }
}

void tst_Accessibility::announcements_data()
{
    // Each row starts with the overlay hidden.
    QTest::addColumn<QList<Report>>("reports");
    const QString loop = QStringLiteral("幻彩");
    const QString horse = QStringLiteral("跑马");
    const QString breath = QStringLiteral("呼吸");
    const QString bright = QStringLiteral("常亮");
    QTest::newRow("a mode from hidden") << QList<Report> {{"1 0 0 0", horse}};
    QTest::newRow("another from hidden") << QList<Report> {{"3 0 0 0", bright}};
    QTest::newRow("a change while shown") << QList<Report> {{"2 0 0 0", breath}, {"1 0 0 0", horse}};
    QTest::newRow("mode 0 again, heard again") << QList<Report> {{"0 0 0 0", loop}, {"0 9 9 9", loop}};
    // The mode after a colour is heard next: nothing came for the colour in between.
    QTest::newRow("a colour while shown says nothing")
        << QList<Report> {{"2 0 0 0", breath}, {"2 255 0 0", {}}, {"3 0 0 0", bright}};
    // A colour brings the hidden overlay on screen with the caption it shows, which is heard.
    QTest::newRow("a colour from hidden shows the mode") << QList<Report> {{"3 0 255 0", bright}};
    QTest::newRow("an unknown mode says nothing") << QList<Report> {{"7 0 0 0", {}}, {"1 0 0 0", horse}};
}

void tst_Accessibility::announcements()
{
    QFETCH(QList<Report>, reports);
    waitUntilHidden();
    for (const Report &report : reports) {
        // The program answers an unknown mode with status 0 as well: the report was delivered.
        QCOMPARE(runSender(words(report.arguments)), 0);
        if (report.heard.isEmpty())
            continue;
        QCOMPARE(nextNotice(HeardWithinMs), QByteArray("showing 1 notification " + report.heard.toUtf8()));
        shown = true;
    }
}

void tst_Accessibility::interfaceLanguage()
{
    stopOverlay();
    startOverlay(QStringLiteral("en_GB"));
    QVERIFY(tree().contains("notification 0 Colour cycle"));
    QCOMPARE(runSender(words("1 0 0 0")), 0);
    QCOMPARE(nextNotice(HeardWithinMs), QByteArray("showing 1 notification Running light"));
    shown = true;
}

QTEST_GUILESS_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"
