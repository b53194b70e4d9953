#include "channel/ModeReport.h"
#include "motion/MotionPreference.h"
#include "overlay/Lumivane.h"
#include "support/AnimationClock.h"
#include "support/OverlaySteps.h"
#include "support/TestFiles.h"
#include "support/XProbe.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QPropertyAnimation>
#include <QtTest>

using namespace OverlaySteps;

namespace {

const QByteArray Opacity("_NET_WM_WINDOW_OPACITY");
const QString Portal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString PortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString Gnome = QStringLiteral("org.gnome.desktop.interface");
constexpr int WaitMs = 30000;

// The value that Qt gives the X server for an opacity.
quint32 onServer(const QVariant &opacity)
{
    return quint32(qRound64(opacity.toReal() * 0xffffffff));
}

// A portal's settings with GNOME's wish.
QByteArray gnome(const char *enabled)
{
    return QByteArray(R"({"org.gnome.desktop.interface": {"enable-animations": )") + enabled + "}}";
}

} // namespace

// Motion as the desktop wants it: the fades step by step on the X server, and the user's wish for
// no animation read from a stand-in desktop portal on a private session bus or from KDE's file.
class tst_Motion : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void fadeStepsReachServer_data();
    void fadeStepsReachServer();
    void desktopSays_data();
    void desktopSays();
    void followsChanges();
    void displayWithoutMotion();

private:
    // A portal whose settings are the JSON object given.
    bool startPortal(const QByteArray &settings);
    // Ends it and waits until its name has left the bus.
    bool stopPortal();

    AnimationClock clock;
    QProcess portal;
    XProbe probe;
};

void tst_Motion::init()
{
    clock.install();
    qunsetenv("XDG_CURRENT_DESKTOP");
    QVERIFY(TestFiles::setKdeAnimationFactor(QByteArray()));
}

void tst_Motion::cleanup()
{
    clock.uninstall();
    QVERIFY(stopPortal());
}

bool tst_Motion::stopPortal()
{
    portal.terminate();
    portal.waitForFinished(WaitMs);
    QDBusConnectionInterface *names = QDBusConnection::sessionBus().interface();
    return QTest::qWaitFor([names] { return !names->isServiceRegistered(Portal).value(); }, WaitMs);
}

bool tst_Motion::startPortal(const QByteArray &settings)
{
    portal.setProcessChannelMode(QProcess::ForwardedChannels);
    portal.start(QStringLiteral(LUMIVANE_TEST_PYTHON),
        {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"),
            QStringLiteral(LUMIVANE_TEST_MOCK_DIR "/portal_settings.py"), QStringLiteral("--parameters"),
            QString::fromUtf8("{\"settings\": " + settings + "}")});
    QDBusConnectionInterface *names = QDBusConnection::sessionBus().interface();
    return portal.waitForStarted(WaitMs) &&
        QTest::qWaitFor([names] { return names->isServiceRegistered(Portal).value(); }, WaitMs);
}

void tst_Motion::fadeStepsReachServer_data()
{
    QTest::addColumn<bool>("out");
    QTest::newRow("fade-in") << false;
    QTest::newRow("fade-out") << true;
}

// No event loop runs between the steps: each value reaches the server as it is made, or never.
void tst_Motion::fadeStepsReachServer()
{
    QFETCH(bool, out);
    Lumivane window;
    const auto id = xcb_window_t(window.winId());
    probe.watch(id);
    window.showapp();
    if (out) {
        finishFade(window, clock);
        fireTimer(window);
    }
    QCOMPARE(fades(window).size(), 1);
    QPropertyAnimation *fade = fades(window).first();
    for (int step = 1; step <= 4; ++step) {
        clock.advance(50);
        QCOMPARE(fade->currentTime(), 50 * step);
        QVERIFY(probe.waitForCardinal(id, Opacity, onServer(fade->currentValue()), 5000));
    }
}

void tst_Motion::desktopSays_data()
{
    QTest::addColumn<QByteArray>("portalSettings");
    QTest::addColumn<QByteArray>("desktop");
    QTest::addColumn<QByteArray>("kdeFactor");
    QTest::addColumn<bool>("animate");
    const QByteArray noPortal;
    const auto kde = [](const char *factor) -> QByteArray {
        return QByteArray(R"({"org.kde.kdeglobals.KDE": {"AnimationDurationFactor": )") + factor + "}}";
    };
    const QByteArray KDE("KDE");
    QTest::newRow("GNOME: off") << gnome("false") << QByteArray("GNOME") << QByteArray() << false;
    QTest::newRow("GNOME: on") << gnome("true") << QByteArray("GNOME") << QByteArray("0") << true;
    QTest::newRow("KDE portal: factor 0") << kde("0.0") << KDE << QByteArray("1") << false;
    QTest::newRow("KDE portal: factor as text") << kde(R"("0")") << KDE << QByteArray() << false;
    QTest::newRow("KDE portal: slower") << kde("2.5") << KDE << QByteArray() << true;
    QTest::newRow("portal without them, KDE file") << QByteArray("{}") << KDE << QByteArray("0") << false;
    QTest::newRow("no portal, KDE file: 0") << noPortal << KDE << QByteArray("0") << false;
    QTest::newRow("no portal, KDE file: 0.5") << noPortal << KDE << QByteArray("0.5") << true;
    QTest::newRow("no portal, KDE among others")
        << noPortal << QByteArray("plasma:kde") << QByteArray("0") << false;
    QTest::newRow("no portal, KDE without file") << noPortal << KDE << QByteArray() << true;
    QTest::newRow("no portal, another desktop") << noPortal << QByteArray("XFCE") << QByteArray("0") << true;
}

void tst_Motion::desktopSays()
{
    QFETCH(QByteArray, portalSettings);
    QFETCH(QByteArray, desktop);
    QFETCH(QByteArray, kdeFactor);
    QFETCH(bool, animate);
    qputenv("XDG_CURRENT_DESKTOP", desktop);
    QVERIFY(TestFiles::setKdeAnimationFactor(kdeFactor));
    if (!portalSettings.isNull())
        QVERIFY(startPortal(portalSettings));
    MotionPreference motion;
    // Never waited for: animations until the answer comes.
    QVERIFY(!motion.isSettled());
    QVERIFY(motion.animate());
    QTRY_VERIFY_WITH_TIMEOUT(motion.isSettled(), WaitMs);
    QCOMPARE(motion.animate(), animate);
}

void tst_Motion::followsChanges()
{
    QVERIFY(startPortal(gnome("true")));
    MotionPreference motion;
    QSignalSpy changes(&motion, &MotionPreference::animateChanged);
    QVERIFY(changes.isValid());
    QTRY_VERIFY_WITH_TIMEOUT(motion.isSettled(), WaitMs);
    QDBusMessage change = QDBusMessage::createMethodCall(
        Portal, PortalPath, QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("EmitSignal"));
    change << QStringLiteral("org.freedesktop.portal.Settings") << QStringLiteral("SettingChanged")
           << QStringLiteral("ssv")
           << QVariantList {QVariant::fromValue(QDBusVariant(Gnome)),
                  QVariant::fromValue(QDBusVariant(QStringLiteral("enable-animations"))),
                  QVariant::fromValue(QDBusVariant(false))};
    QCOMPARE(QDBusConnection::sessionBus().call(change).type(), QDBusMessage::ReplyMessage);
    QTRY_COMPARE_WITH_TIMEOUT(changes.count(), 1, WaitMs);
    QCOMPARE(changes.first().first().toBool(), false);

    // Without a portal, KDE's file, followed as KDE saves it.
    QVERIFY(stopPortal());
    qputenv("XDG_CURRENT_DESKTOP", "KDE");
    QVERIFY(TestFiles::setKdeAnimationFactor("1"));
    MotionPreference kde;
    QTRY_VERIFY_WITH_TIMEOUT(kde.isSettled(), WaitMs);
    QVERIFY(kde.animate());
    for (const bool animate : {false, true, false}) {
        QVERIFY(TestFiles::setKdeAnimationFactor(animate ? "1.0" : "0"));
        QTRY_COMPARE_WITH_TIMEOUT(kde.animate(), animate, WaitMs);
    }
}

void tst_Motion::displayWithoutMotion()
{
    QVERIFY(startPortal(gnome("false")));
    Lumivane window;
    auto *motion = window.findChild<MotionPreference *>();
    QVERIFY(motion);
    QTRY_VERIFY_WITH_TIMEOUT(motion->isSettled(), WaitMs);
    const auto id = xcb_window_t(window.winId());
    probe.watch(id);
    // Full opacity from the first frame, and nothing that moves.
    window.showapp();
    QCOMPARE(window.windowOpacity(), 1.0);
    QVERIFY(window.receiveReport(ModeReport {2, 0, 0, 0}.encode()));
    for (auto *animation : window.findChildren<QAbstractAnimation *>())
        QCOMPARE(animation->state(), QAbstractAnimation::Stopped);
    // The same hold, then gone at once; shown again, opaque on the server as it is mapped.
    QCOMPARE(window.timer->interval(), 4000);
    fireTimer(window);
    QVERIFY(window.isHidden());
    QVERIFY(probe.waitForCardinal(id, Opacity, 0, 5000));
    window.showapp();
    QVERIFY(probe.waitForCardinal(id, Opacity, 0xffffffff, 5000));
    QVERIFY(fades(window).isEmpty());
}

QTEST_MAIN(tst_Motion)
#include "tst_motion.moc"
