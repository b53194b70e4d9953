#include "MockBluez.h"
#include "companion/BluezWatcher.h"
#include "support/MessageCapture.h"

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
    void malformedDataIsIgnored_data();
    void malformedDataIsIgnored();
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
// A device that only malformed data speaks of.
const QString Stranger = QStringLiteral("/org/bluez/hci0/dev_C0_FF_EE_00_00_09");

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

void tst_BluezWatcher::malformedDataIsIgnored_data()
{
    QTest::addColumn<QString>("member");
    QTest::addColumn<QString>("signature");
    QTest::addColumn<QString>("value");
    const auto row = [](const char *member, const char *signature, const char *value) {
        QTest::addRow("%s %s", member, signature) << member << signature << value;
    };
    // Values in Python. Those of the well-formed signatures have a property of another type.
    row("PropertiesChanged", "sa{si}as", "['org.bluez.Device1', {'Connected': 1}, []]");
    row("PropertiesChanged", "sa{sv}as",
        "['org.bluez.Device1', {'Connected': 'yes', 'UUIDs': ['00001812-0000-1000-8000-00805f9b34fb']}, []]");
    row("InterfacesAdded", "oa{sv}", "[dbus.ObjectPath('/d'), {'Connected': True}]");
    row("InterfacesAdded", "oa{ss}", "[dbus.ObjectPath('/d'), {'org.bluez.Device1': 'x'}]");
    row("InterfacesAdded", "oa{sa{si}}", "[dbus.ObjectPath('/d'), {'org.bluez.Device1': {'Connected': 1}}]");
    row("InterfacesAdded", "oa{sa{sv}}", "[dbus.ObjectPath('/d'), {'org.bluez.Device1': {'UUIDs': [1]}}]");
    row("InterfacesRemoved", "oai", "[dbus.ObjectPath('/d'), [1]]");
    row("GetManagedObjects", "a{oa{sv}}", "{dbus.ObjectPath('/d'): {'Connected': True}}");
    row("GetManagedObjects", "a{oa{ss}}", "{dbus.ObjectPath('/d'): {'org.bluez.Device1': 'x'}}");
    row("GetManagedObjects", "a{sv}", "{'org.bluez.Device1': {'Connected': True}}");
    row("GetManagedObjects", "a{oa{sa{si}}}",
        "{dbus.ObjectPath('/d'): {'org.bluez.Device1': {'Connected': 1}}}");
}

void tst_BluezWatcher::malformedDataIsIgnored()
{
    QFETCH(QString, member);
    QFETCH(QString, signature);
    QFETCH(QString, value);
    MessageCapture warnings(QtWarningMsg);
    if (member == QLatin1String("GetManagedObjects")) {
        QVERIFY2(bluez->answerManagedObjects(signature, value), qPrintable(bluez->lastError()));
        startWatcher();
    } else {
        startWatcher();
        const bool properties = member == QLatin1String("PropertiesChanged");
        const QString path = properties ? Stranger : QStringLiteral("/");
        const QString interface = properties ? QStringLiteral("org.freedesktop.DBus.Properties")
                                             : QStringLiteral("org.freedesktop.DBus.ObjectManager");
        for (int i = 0; i < 2; ++i)
            QVERIFY2(
                bluez->emitSignal(path, interface, member, signature, value), qPrintable(bluez->lastError()));
    }
    // Still there, and still following the service.
    QVERIFY2(!bluez->addDevice(Accessory, {MockBluez::HidService}, true).isEmpty(),
        qPrintable(bluez->lastError()));
    QTRY_COMPARE_WITH_TIMEOUT(arrived->count(), 1, WaitMs);
    QCOMPARE(removed->count(), 0);
    QCOMPARE(warnings.lines().size(), 1);
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
