#include "companion/AccessoryMatch.h"

#include <QTest>

class tst_AccessoryMatch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void interfaceName_data();
    void interfaceName();
    void bluezDevice_data();
    void bluezDevice();
};

namespace {

const QString Service = QStringLiteral("{00001812-0000-1000-8000-00805f9b34fb}");
const QString HidUuid = QStringLiteral("00001812-0000-1000-8000-00805f9b34fb");

} // namespace

void tst_AccessoryMatch::interfaceName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("matches");

    // Interface names as Windows writes them for HID collections of Bluetooth LE and USB devices.
    const QString bleCol01 = QStringLiteral("\\\\?\\HID#") + Service +
        QStringLiteral("_Dev_VID&02abcd_PID&1234_REV&0001_c0ffee000001&Col01#a&1b2c3d4e&0&0000#"
                       "{4d1e55b2-f16f-11cf-88cb-001111000030}");
    QTest::newRow("Bluetooth LE HID, first collection") << bleCol01 << true;
    QTest::newRow("Bluetooth LE HID, second collection")
        << QString(bleCol01).replace(QStringLiteral("Col01"), QStringLiteral("Col02")) << false;
    QTest::newRow("USB HID, first collection")
        << QStringLiteral("\\\\?\\HID#VID_F00D&PID_0C0A&MI_01&Col01#8&2a0b8c8e&0&0000#"
                          "{4d1e55b2-f16f-11cf-88cb-001111000030}")
        << false;
    QTest::newRow("service in upper case") << QString(bleCol01).replace(Service, Service.toUpper()) << false;
    QTest::newRow("marker in lower case")
        << QString(bleCol01).replace(QStringLiteral("Col01"), QStringLiteral("col01")) << false;
    QTest::newRow("service without braces")
        << QStringLiteral("HID#") + HidUuid + QStringLiteral("&Col01") << false;
    QTest::newRow("both, in any order") << QStringLiteral("Col01") + Service << true;
    QTest::newRow("both, nothing else") << Service + QStringLiteral("Col01") << true;
    QTest::newRow("marker inside a longer one") << QStringLiteral("Col010") + Service << true;
    QTest::newRow("service cut short") << QStringLiteral("Col01") + Service.chopped(1) << false;
    QTest::newRow("empty") << QString() << false;
}

void tst_AccessoryMatch::interfaceName()
{
    QFETCH(QString, name);
    QFETCH(bool, matches);
    QCOMPARE(AccessoryMatch::isAccessoryInterface(name), matches);
}

void tst_AccessoryMatch::bluezDevice_data()
{
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QStringList>("uuids");
    QTest::addColumn<bool>("matches");

    const QString gap = QStringLiteral("00001800-0000-1000-8000-00805f9b34fb");
    const QString battery = QStringLiteral("0000180f-0000-1000-8000-00805f9b34fb");
    QTest::newRow("connected HID over GATT") << true << QStringList {gap, HidUuid, battery} << true;
    QTest::newRow("HID over GATT alone") << true << QStringList {HidUuid} << true;
    QTest::newRow("disconnected HID over GATT") << false << QStringList {HidUuid} << false;
    QTest::newRow("connected, services not resolved yet") << true << QStringList() << false;
    QTest::newRow("connected, no HID service") << true << QStringList {gap, battery} << false;
    QTest::newRow("service in upper case") << true << QStringList {HidUuid.toUpper()} << false;
    QTest::newRow("service in braces") << true << QStringList {Service} << false;
    QTest::newRow("classic HID (0x1124)")
        << true << QStringList {QStringLiteral("00001124-0000-1000-8000-00805f9b34fb")} << false;
}

void tst_AccessoryMatch::bluezDevice()
{
    QFETCH(bool, connected);
    QFETCH(QStringList, uuids);
    QFETCH(bool, matches);
    QCOMPARE(AccessoryMatch::isAccessoryDevice(connected, uuids), matches);
}

QTEST_GUILESS_MAIN(tst_AccessoryMatch)

#include "tst_accessorymatch.moc"
