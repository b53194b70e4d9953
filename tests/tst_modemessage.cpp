#include "channel/ChannelNames.h"
#include "channel/ReportSender.h"
#include "overlay/Lumivane.h"
#include "support/MessageCapture.h"
#include "support/XProbe.h"
#include "widgets/ring.h"

#include <QTimer>
#include <QtTest>

#include <cstring>

namespace {

// Hands native events to the window the way the platform does.
class ProbeWindow : public Lumivane
{
public:
    using Lumivane::nativeEvent;
};

const QColor StartColor(0, 0, 230, 255);
constexpr quint8 SendEvent = 0x80;

} // namespace

// The window's native hook on X11: which client messages are reports, and how a report reaches
// the hidden window from another client.
class tst_ModeMessage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void hook_data();
    void hook();
    void ownsSelectionFromConstruction();
    void takesSelectionOver();
    void reportReachesHiddenWindow();
    void toolkitMessagesAreNotReports();
    void senderFindsNoOverlayAfterWindowIsGone();
};

void tst_ModeMessage::hook_data()
{
    QTest::addColumn<QByteArray>("eventType");
    QTest::addColumn<int>("responseType");
    QTest::addColumn<int>("format");
    QTest::addColumn<QByteArray>("messageType");
    QTest::addColumn<quint32>("data0");
    QTest::addColumn<quint32>("data1");
    QTest::addColumn<int>("startMode");
    QTest::addColumn<bool>("handled");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("holdMs");
    QTest::addColumn<QColor>("ringColor");

    XProbe probe;
    const QByteArray xcb("xcb_generic_event_t");
    const int report = XCB_CLIENT_MESSAGE | SendEvent;
    const QByteArray channel(ChannelNames::Report);
    const QString none;
    // holdMs 0: the auto-hide timer is not running, so nothing was shown.

    QTest::newRow("zero: mode 0, black")
        << xcb << report << 32 << channel << 0x00000000u << 0u << 0 << true
        << QStringLiteral("mode: 0 ,R: 0 ,G: 0 ,B: 0") << 0 << 4000 << StartColor;
    QTest::newRow("mode 0 again, colour unused")
        << xcb << report << 32 << channel << 0x00FF8000u << 0u << 0 << true
        << QStringLiteral("mode: 0 ,R: 255 ,G: 128 ,B: 0") << 0 << 4000 << StartColor;
    QTest::newRow("mode 1 after mode 0")
        << xcb << report << 32 << channel << 0x01102030u << 0u << 0 << true
        << QStringLiteral("mode: 1 ,R: 16 ,G: 32 ,B: 48") << 1 << 4000 << StartColor;
    QTest::newRow("mode 2 after mode 1, colour unused")
        << xcb << report << 32 << channel << 0x0200FF00u << 0u << 1 << true
        << QStringLiteral("mode: 2 ,R: 0 ,G: 255 ,B: 0") << 2 << 4000 << StartColor;
    QTest::newRow("mode 2 again: green")
        << xcb << report << 32 << channel << 0x0200FF00u << 0u << 2 << true
        << QStringLiteral("mode: 2 ,R: 0 ,G: 255 ,B: 0") << 2 << 5000 << QColor(0, 255, 0, 255);
    QTest::newRow("mode 3 after mode 1")
        << xcb << report << 32 << channel << 0x03000000u << 0u << 1 << true
        << QStringLiteral("mode: 3 ,R: 0 ,G: 0 ,B: 0") << 3 << 4000 << StartColor;
    QTest::newRow("lParam is not read")
        << xcb << report << 32 << channel << 0x0200FF00u << 0xDEADBEEFu << 2 << true
        << QStringLiteral("mode: 2 ,R: 0 ,G: 255 ,B: 0") << 2 << 5000 << QColor(0, 255, 0, 255);
    QTest::newRow("without the send-event bit")
        << xcb << int(XCB_CLIENT_MESSAGE) << 32 << channel << 0x01000000u << 0u << 0 << true
        << QStringLiteral("mode: 1 ,R: 0 ,G: 0 ,B: 0") << 1 << 4000 << StartColor;
    QTest::newRow("mode 4 is only logged")
        << xcb << report << 32 << channel << 0x04010203u << 0u << 1 << false
        << QStringLiteral("mode: 4 ,R: 1 ,G: 2 ,B: 3") << 1 << 0 << StartColor;
    QTest::newRow("mode 255 is only logged")
        << xcb << report << 32 << channel << 0xFFFFFFFFu << 0u << 2 << false
        << QStringLiteral("mode: 255 ,R: 255 ,G: 255 ,B: 255") << 2 << 0 << StartColor;

    // Messages that are no reports, whose first word would read as mode 0 if decoded.
    QTest::newRow("WM_PROTOCOLS ping")
        << xcb << report << 32 << QByteArray("WM_PROTOCOLS") << probe.atom("_NET_WM_PING") << 0u << 2 << false
        << none << 2 << 0 << StartColor;
    // A close request is answered as handled: the native window, and the channel, stay.
    QTest::newRow("WM_PROTOCOLS close request")
        << xcb << report << 32 << QByteArray("WM_PROTOCOLS") << probe.atom("WM_DELETE_WINDOW") << 0u << 2
        << true << none << 2 << 0 << StartColor;
    QTest::newRow("_NET_WM_STATE") << xcb << report << 32 << QByteArray("_NET_WM_STATE") << 0u
                                   << probe.atom("_NET_WM_STATE_ABOVE") << 2 << false << none << 2 << 0
                                   << StartColor;
    QTest::newRow("format 8") << xcb << report << 8 << channel << 0x02FF0000u << 0u << 1 << false << none << 1
                              << 0 << StartColor;
    QTest::newRow("format 16") << xcb << report << 16 << channel << 0x02FF0000u << 0u << 1 << false << none
                               << 1 << 0 << StartColor;
    QTest::newRow("another event") << xcb << int(XCB_PROPERTY_NOTIFY | SendEvent) << 32 << channel
                                   << 0x02FF0000u << 0u << 1 << false << none << 1 << 0 << StartColor;
    QTest::newRow("another platform's event type")
        << QByteArray("windows_generic_MSG") << report << 32 << channel << 0x02FF0000u << 0u << 1 << false
        << none << 1 << 0 << StartColor;
}

void tst_ModeMessage::hook()
{
    QFETCH(QByteArray, eventType);
    QFETCH(int, responseType);
    QFETCH(int, format);
    QFETCH(QByteArray, messageType);
    QFETCH(quint32, data0);
    QFETCH(quint32, data1);
    QFETCH(int, startMode);
    QFETCH(bool, handled);
    QFETCH(QString, line);
    QFETCH(int, mode);
    QFETCH(int, holdMs);
    QFETCH(QColor, ringColor);

    ProbeWindow window;
    window.currentMode = startMode;
    MessageCapture capture;

    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = static_cast<uint8_t>(responseType);
    event.format = static_cast<uint8_t>(format);
    event.window = static_cast<xcb_window_t>(window.winId());
    event.type = XProbe().atom(messageType);
    event.data.data32[0] = data0;
    event.data.data32[1] = data1;
    NativeEventResult result = 0x5A5A;

    QCOMPARE(window.nativeEvent(eventType, &event, &result), handled);
    QCOMPARE(result, 0x5A5AL);
    QCOMPARE(MessageCapture::lines(), line.isEmpty() ? QStringList() : QStringList {line});
    QCOMPARE(window.currentMode, mode);
    QCOMPARE(window.ringWidget->ringColor, ringColor);
    QCOMPARE(window.timer->isActive(), holdMs != 0);
    QCOMPARE(window.isHidden(), holdMs == 0);
    if (holdMs != 0)
        QCOMPARE(window.timer->interval(), holdMs);
}

void tst_ModeMessage::ownsSelectionFromConstruction()
{
    XProbe probe;
    QVERIFY(probe.isConnected());
    Lumivane window;
    QVERIFY(window.isHidden());
    QCOMPARE(probe.selectionOwner(ChannelNames::Report), static_cast<xcb_window_t>(window.winId()));
}

void tst_ModeMessage::takesSelectionOver()
{
    XProbe probe;
    probe.takeSelection(ChannelNames::Report);
    QCOMPARE(probe.selectionOwner(ChannelNames::Report), probe.window());
    Lumivane window;
    QCOMPARE(probe.selectionOwner(ChannelNames::Report), static_cast<xcb_window_t>(window.winId()));
}

void tst_ModeMessage::reportReachesHiddenWindow()
{
    Lumivane window;
    QVERIFY(window.isHidden());
    MessageCapture capture;
    ReportSender sender;
    QVERIFY2(sender.send(0x0300FF00u), qPrintable(sender.errorString()));
    QTRY_COMPARE_WITH_TIMEOUT(window.currentMode, 3, 20000);
    QVERIFY(!window.isHidden());
    QCOMPARE(window.timer->interval(), 4000);
    QCOMPARE(MessageCapture::lines(), QStringList {QStringLiteral("mode: 3 ,R: 0 ,G: 255 ,B: 0")});

    QVERIFY(sender.send(0x0300FF00u));
    // The colour shows at once, and painting gives the ring's own alpha to the stored colour.
    QTRY_COMPARE_WITH_TIMEOUT(window.ringWidget->ringColor.rgb(), QColor(0, 255, 0).rgb(), 20000);
    QCOMPARE(window.timer->interval(), 5000);
}

void tst_ModeMessage::toolkitMessagesAreNotReports()
{
    Lumivane window;
    window.currentMode = 2;
    MessageCapture capture;
    XProbe probe;
    const xcb_window_t target = static_cast<xcb_window_t>(window.winId());
    probe.sendClientMessage(target, "_NET_WM_STATE", 32, 0, probe.atom("_NET_WM_STATE_ABOVE"));
    probe.sendClientMessage(target, "WM_PROTOCOLS", 32, probe.atom("_NET_WM_PING"), 0);
    // A report behind them: once it has been played, the two before it have been handled too.
    probe.sendClientMessage(target, ChannelNames::Report, 32, 0x01000000u);
    QTRY_COMPARE_WITH_TIMEOUT(window.currentMode, 1, 20000);
    QCOMPARE(MessageCapture::lines(), QStringList {QStringLiteral("mode: 1 ,R: 0 ,G: 0 ,B: 0")});
}

void tst_ModeMessage::senderFindsNoOverlayAfterWindowIsGone()
{
    ReportSender sender;
    {
        Lumivane window;
        QVERIFY(sender.overlayRunning());
    }
    QTRY_VERIFY_WITH_TIMEOUT(!sender.overlayRunning(), 20000);
    QVERIFY(!sender.send(0x01000000u));
    QVERIFY2(sender.errorString().contains(QLatin1String("no overlay")), qPrintable(sender.errorString()));
}

QTEST_MAIN(tst_ModeMessage)
#include "tst_modemessage.moc"
