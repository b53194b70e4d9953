#include "MockBluez.h"
#include "platform/BluezWatcher.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

// The watcher against a mock BlueZ on a private system bus. Where a test must show that nothing
// was signalled, it ends with a change that is signalled: D-Bus delivers one sender's messages
// in order, so once that one has arrived every earlier one has been handled.
class tst_BluezWatcher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void connectArrivesDisconnectRemoves();
    void uuidsResolvingAfterConnectedArrive();
    void deviceObjectRemovedIsRemoval();
    void otherDevicesAreIgnored();
    void deviceConnectedAtStartIsPresentNotArrival();
    void bluezLeavingRemovesAndReturningReads();
    void unreachableBusFailsToStart();

private:
    void startWatcher();

    std::unique_ptr<MockBluez> bluez;
    std::unique_ptr<BluezWatcher> watcher;
    std::unique_ptr<QSignalSpy> arrived;
    std::unique_ptr<QSignalSpy> removed;
};

namespace {

constexpr int WaitMs = 30000;
const QString Accessory = QStringLiteral("C0:FF:EE:00:00:01");
const QString Headset = QStringLiteral("C0:FF:EE:00:00:02");

} // namespace

void tst_BluezWatcher::init()
{
    bluez = std::make_unique<MockBluez>();
    QVERIFY2(bluez->start(), qPrintable(bluez->lastError()));
}

void tst_BluezWatcher::cleanup()
{
    removed.reset();
    arrived.reset();
    watcher.reset();
    bluez.reset();
}

void tst_BluezWatcher::startWatcher()
{
    watcher = std::make_unique<BluezWatcher>(QDBusConnection::systemBus());
    arrived = std::make_unique<QSignalSpy>(watcher.get(), &BluezWatcher::accessoryArrived);
    removed = std::make_unique<QSignalSpy>(watcher.get(), &BluezWatcher::accessoryRemoved);
    QVERIFY(arrived->isValid());
    QVERIFY(removed->isValid());
    QVERIFY(watcher->start());
}

void tst_BluezWatcher::connectArrivesDisconnectRemoves()
{
    startWatcher();
    const QString device = bluez->addDevice(Accessory, {MockBluez::HidService}, false);
    QVERIFY2(!device.isEmpty(), qPrintable(bluez->lastError()));

    QVERIFY(bluez->setConnected(device, true));
    QTRY_COMPARE_WITH_TIMEOUT(arrived->count(), 1, WaitMs);
    QCOMPARE(removed->count(), 0);

    QVERIFY(bluez->setConnected(device, false));
    QTRY_COMPARE_WITH_TIMEOUT(removed->count(), 1, WaitMs);
    QCOMPARE(arrived->count(), 1);

    QVERIFY(bluez->setConnected(device, true));
    QTRY_COMPARE_WITH_TIMEOUT(arrived->count(), 2, WaitMs);
    QCOMPARE(removed->count(), 1);
}

void tst_BluezWatcher::uuidsResolvingAfterConnectedArrive()
{
    startWatcher();
    const QString device = bluez->addDevice(Accessory, {}, false);
    QVERIFY2(!device.isEmpty(), qPrintable(bluez->lastError()));
    QVERIFY(bluez->setConnected(device, true));
    QVERIFY(bluez->setUuids(device, {QStringLiteral("00001800-0000-1000-8000-00805f9b34fb")}));
    QVERIFY(bluez->setUuids(
        device, {QStringLiteral("00001800-0000-1000-8000-00805f9b34fb"), MockBluez::HidService}));
    QTRY_COMPARE_WITH_TIMEOUT(arrived->count(), 1, WaitMs);

    // Losing the service while connected ends the link as well.
    QVERIFY(bluez->setUuids(device, {}));
    QTRY_COMPARE_WITH_TIMEOUT(removed->count(), 1, WaitMs);
    QCOMPARE(arrived->count(), 1);
}

void tst_BluezWatcher::deviceObjectRemovedIsRemoval()
{
    startWatcher();
    const QString device = bluez->addDevice(Accessory, {MockBluez::HidService}, false);
    QVERIFY2(!device.isEmpty(), qPrintable(bluez->lastError()));
    QVERIFY(bluez->setConnected(device, true));
    QTRY_COMPARE_WITH_TIMEOUT(arrived->count(), 1, WaitMs);

    QVERIFY2(bluez->removeDevice(device), qPrintable(bluez->lastError()));
    QTRY_COMPARE_WITH_TIMEOUT(removed->count(), 1, WaitMs);
}

void tst_BluezWatcher::otherDevicesAreIgnored()
{
    startWatcher();
    const QString headset = bluez->addDevice(Headset, {MockBluez::AudioSink}, false);
    QVERIFY2(!headset.isEmpty(), qPrintable(bluez->lastError()));
    QVERIFY(bluez->setConnected(headset, true));
    QVERIFY(bluez->setConnected(headset, false));
    QVERIFY(bluez->setConnected(headset, true));
    QVERIFY(bluez->removeDevice(headset));
    // A HID device that is not connected is not a link either.
    const QString idle =
        bluez->addDevice(QStringLiteral("C0:FF:EE:00:00:03"), {MockBluez::HidService}, false);
    QVERIFY(!idle.isEmpty());
    QVERIFY(bluez->removeDevice(idle));

    const QString accessory = bluez->addDevice(Accessory, {MockBluez::HidService}, true);
    QVERIFY2(!accessory.isEmpty(), qPrintable(bluez->lastError()));
    QTRY_COMPARE_WITH_TIMEOUT(arrived->count(), 1, WaitMs);
    QCOMPARE(removed->count(), 0);
}

void tst_BluezWatcher::deviceConnectedAtStartIsPresentNotArrival()
{
    const QString device = bluez->addDevice(Accessory, {MockBluez::HidService}, true);
    QVERIFY2(!device.isEmpty(), qPrintable(bluez->lastError()));
    startWatcher();

    QVERIFY(bluez->setConnected(device, false));
    QTRY_COMPARE_WITH_TIMEOUT(removed->count(), 1, WaitMs);
    QCOMPARE(arrived->count(), 0);
}

void tst_BluezWatcher::bluezLeavingRemovesAndReturningReads()
{
    startWatcher();
    const QString device = bluez->addDevice(Accessory, {MockBluez::HidService}, true);
    QVERIFY2(!device.isEmpty(), qPrintable(bluez->lastError()));
    QTRY_COMPARE_WITH_TIMEOUT(arrived->count(), 1, WaitMs);

    QVERIFY(bluez->stop());
    QTRY_COMPARE_WITH_TIMEOUT(removed->count(), 1, WaitMs);

    // Back on the bus with the accessory connected, which only reading its objects reveals.
    QVERIFY2(bluez->start(MockBluez::ConnectedAccessoryTemplate), qPrintable(bluez->lastError()));
    QTRY_COMPARE_WITH_TIMEOUT(arrived->count(), 2, WaitMs);
    QVERIFY(bluez->setConnected(MockBluez::ConnectedAccessory, false));
    QTRY_COMPARE_WITH_TIMEOUT(removed->count(), 2, WaitMs);
    QCOMPARE(arrived->count(), 2);
}

void tst_BluezWatcher::unreachableBusFailsToStart()
{
    const QDBusConnection dead = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/lumivane-test-bus"), QStringLiteral("lumivane-dead-bus"));
    QVERIFY(!dead.isConnected());
    BluezWatcher deadWatcher(dead);
    QVERIFY(!deadWatcher.start());
    QDBusConnection::disconnectFromBus(QStringLiteral("lumivane-dead-bus"));
}

QTEST_GUILESS_MAIN(tst_BluezWatcher)

#include "tst_bluezwatcher.moc"
