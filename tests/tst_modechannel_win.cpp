#include "channel/ChannelNames.h"
#include "channel/ModeChannel.h"

#include <QtTest>

#include <windows.h>

// The Windows side of the channel: which native messages are reports, and what they carry.
class tst_ModeChannelWin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readReport_data();
    void readReport();
};

void tst_ModeChannelWin::readReport_data()
{
    QTest::addColumn<QByteArray>("eventType");
    QTest::addColumn<uint>("message");
    QTest::addColumn<quint64>("wParam");
    QTest::addColumn<qint64>("lParam");
    QTest::addColumn<bool>("isReport");
    QTest::addColumn<quint32>("parameter");

    const QByteArray windows("windows_generic_MSG");
    const uint registered = RegisterWindowMessageA(ChannelNames::Report);

    QTest::newRow("report") << windows << registered << quint64(0x0200FF00u) << qint64(0) << true
                            << 0x0200FF00u;
    QTest::newRow("zero") << windows << registered << quint64(0) << qint64(0) << true << 0x00000000u;
    QTest::newRow("all ones") << windows << registered << quint64(0xFFFFFFFFu) << qint64(0) << true
                              << 0xFFFFFFFFu;
    QTest::newRow("lParam is not read")
        << windows << registered << quint64(0x0300FFFFu) << qint64(-1) << true << 0x0300FFFFu;
    if (sizeof(WPARAM) > 4) {
        QTest::newRow("high bits of a wide wParam")
            << windows << registered << Q_UINT64_C(0xABCDEF010200FF00) << qint64(0) << true << 0x0200FF00u;
    }
    QTest::newRow("another message") << windows << uint(WM_USER + 1) << quint64(0x0200FF00u) << qint64(0)
                                     << false << 0u;
    QTest::newRow("device change") << windows << uint(WM_DEVICECHANGE) << quint64(0x8000u) << qint64(0)
                                   << false << 0u;
    QTest::newRow("another platform's event type") << QByteArray("xcb_generic_event_t") << registered
                                                   << quint64(0x0200FF00u) << qint64(0) << false << 0u;
}

void tst_ModeChannelWin::readReport()
{
    QFETCH(QByteArray, eventType);
    QFETCH(uint, message);
    QFETCH(quint64, wParam);
    QFETCH(qint64, lParam);
    QFETCH(bool, isReport);
    QFETCH(quint32, parameter);

    MSG msg = {};
    msg.message = message;
    msg.wParam = static_cast<WPARAM>(wParam);
    msg.lParam = static_cast<LPARAM>(lParam);
    quint32 read = 0x5A5A5A5Au;
    QCOMPARE(ModeChannel::readReport(eventType, &msg, &read), isReport);
    QCOMPARE(read, isReport ? parameter : 0x5A5A5A5Au);
}

QTEST_GUILESS_MAIN(tst_ModeChannelWin)
#include "tst_modechannel_win.moc"
