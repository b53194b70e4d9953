#include "companion/DeviceBroadcast.h"

#include <QTest>

#include <vector>

using DeviceBroadcast::Change;
Q_DECLARE_METATYPE(DeviceBroadcast::Change)

// Broadcasts are built byte by byte as Windows lays them out, and handed over in a heap block
// of exactly the readable size, so that the sanitizer build catches any read past it.
class tst_DeviceBroadcast : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
    void nullBroadcast();
};

namespace {

const QString Accessory = QStringLiteral(
    "\\\\?\\HID#{00001812-0000-1000-8000-00805f9b34fb}_Dev_VID&02abcd_PID&1234&Col01#a&1b2c3d4e&0&0000#"
    "{4d1e55b2-f16f-11cf-88cb-001111000030}");
// The same name without the trailing interface class: the service string comes last.
const QString AccessoryServiceLast =
    QStringLiteral("\\\\?\\HID#Col01&{00001812-0000-1000-8000-00805f9b34fb}");

void appendWord(QByteArray *bytes, quint32 word)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes->append(char((word >> shift) & 0xFF));
}

// Header (size, type, reserved), the class GUID, the name in UTF-16LE and, if asked, its
// terminating zero unit. A negative declared size stands for the whole structure.
QByteArray broadcast(quint32 type, const QString &name, bool terminated = true, qint64 declared = -1)
{
    QByteArray bytes;
    appendWord(&bytes, 0);
    appendWord(&bytes, type);
    appendWord(&bytes, 0);
    bytes.append(QByteArray::fromHex("b2551e4d6ff1cf1188cb001111000030"));
    for (const QChar unit : name) {
        bytes.append(char(unit.unicode() & 0xFF));
        bytes.append(char(unit.unicode() >> 8));
    }
    if (terminated)
        bytes.append(2, '\0');
    const quint32 size = declared < 0 ? quint32(bytes.size()) : quint32(declared);
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((size >> (8 * i)) & 0xFF);
    return bytes;
}

// The declared size that ends the name after its first `units` code units.
quint32 nameUnits(int units)
{
    return quint32(DeviceBroadcast::NameOffset) + 2 * quint32(units);
}

} // namespace

void tst_DeviceBroadcast::parse_data()
{
    QTest::addColumn<quint64>("eventCode");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("readable"); // -1: all of `bytes`
    QTest::addColumn<bool>("isInterface");
    QTest::addColumn<QString>("name");
    QTest::addColumn<Change>("change");

    const quint64 arrival = DeviceBroadcast::DeviceArrival;
    const quint64 removal = DeviceBroadcast::DeviceRemoveComplete;
    const quint32 interface = DeviceBroadcast::DeviceInterfaceType;
    const QByteArray accessory = broadcast(interface, Accessory);

    QTest::newRow("accessory arrives") << arrival << accessory << -1 << true << Accessory << Change::Arrival;
    QTest::newRow("accessory removed") << removal << accessory << -1 << true << Accessory << Change::Removal;
    QTest::newRow("padded like the Windows structure")
        << arrival << accessory + QByteArray(2, '\0') << -1 << true << Accessory << Change::Arrival;

    // Other event codes: the broadcast is not even read.
    QTest::newRow("query remove") << quint64(0x8001) << accessory << -1 << true << Accessory << Change::None;
    QTest::newRow("remove pending") << quint64(0x8003) << accessory << -1 << true << Accessory
                                    << Change::None;
    QTest::newRow("custom event") << quint64(0x8006) << accessory << -1 << true << Accessory << Change::None;
    QTest::newRow("nodes changed") << quint64(0x0007) << QByteArray() << -1 << false << QString()
                                   << Change::None;
    QTest::newRow("arrival code with high bits")
        << (quint64(1) << 32 | arrival) << accessory << -1 << true << Accessory << Change::None;

    // Other device types carry other structures, whatever their bytes say.
    QTest::newRow("OEM") << arrival << broadcast(0, Accessory) << -1 << false << QString() << Change::None;
    QTest::newRow("volume") << arrival << broadcast(2, Accessory) << -1 << false << QString() << Change::None;
    QTest::newRow("port") << removal << broadcast(3, Accessory) << -1 << false << QString() << Change::None;
    QTest::newRow("handle") << arrival << broadcast(6, Accessory) << -1 << false << QString() << Change::None;

    // Sizes that do not even hold a header.
    for (quint32 size : {0u, 1u, 4u, 8u, 11u}) {
        QTest::addRow("declared size %u", size) << arrival << broadcast(interface, Accessory, true, size)
                                                << -1 << false << QString() << Change::None;
        QTest::addRow("%u readable bytes", size)
            << arrival << accessory << int(size) << false << QString() << Change::None;
    }
    QTest::newRow("header only") << arrival << broadcast(interface, Accessory, true, 12) << -1 << true
                                 << QString() << Change::None;
    QTest::newRow("cut inside the class GUID")
        << arrival << broadcast(interface, Accessory, true, 20) << -1 << true << QString() << Change::None;
    QTest::newRow("name of one byte")
        << arrival << broadcast(interface, Accessory, true, 29) << -1 << true << QString() << Change::None;

    // Names without a terminator end at the declared size or at the readable bytes.
    QTest::newRow("no terminator, declared size exact")
        << arrival << broadcast(interface, AccessoryServiceLast, false) << -1 << true << AccessoryServiceLast
        << Change::Arrival;
    QTest::newRow("no terminator, declared size huge")
        << arrival << broadcast(interface, AccessoryServiceLast, false, 0xFFFFFFFFu) << -1 << true
        << AccessoryServiceLast << Change::Arrival;
    QTest::newRow("fewer bytes readable than declared")
        << removal << accessory << int(nameUnits(10)) << true << Accessory.left(10) << Change::None;
    QTest::newRow("declared size cuts the service string")
        << arrival
        << broadcast(interface, AccessoryServiceLast, true, nameUnits(AccessoryServiceLast.size() - 1)) << -1
        << true << AccessoryServiceLast.chopped(1) << Change::None;
    QTest::newRow("odd size: half a unit is dropped")
        << arrival
        << broadcast(interface, AccessoryServiceLast, false, nameUnits(AccessoryServiceLast.size()) - 1) << -1
        << true << AccessoryServiceLast.chopped(1) << Change::None;
    QTest::newRow("odd size after the service string")
        << arrival << broadcast(interface, Accessory, false, nameUnits(Accessory.size()) - 1) << -1 << true
        << Accessory.chopped(1) << Change::Arrival;
    QTest::newRow("odd readable size")
        << arrival << accessory << int(nameUnits(3)) + 1 << true << Accessory.left(3) << Change::None;

    // The name ends at its first zero unit.
    const QString early =
        QStringLiteral("HID#Col01") + QChar(0) + QStringLiteral("{00001812-0000-1000-8000-00805f9b34fb}");
    QTest::newRow("zero unit before the service string")
        << arrival << broadcast(interface, early) << -1 << true << QStringLiteral("HID#Col01")
        << Change::None;
    QTest::newRow("empty name") << arrival << broadcast(interface, QString()) << -1 << true << QString()
                                << Change::None;
    QTest::newRow("other interface")
        << arrival
        << broadcast(interface, QStringLiteral("\\\\?\\HID#VID_F00D&PID_0C0A&MI_01&Col01#8&2a0b8c8e")) << -1
        << true << QStringLiteral("\\\\?\\HID#VID_F00D&PID_0C0A&MI_01&Col01#8&2a0b8c8e") << Change::None;
    const QString upper =
        QString(Accessory).replace(QStringLiteral("00805f9b34fb"), QStringLiteral("00805F9B34FB"));
    QTest::newRow("service in upper case")
        << arrival << broadcast(interface, upper) << -1 << true << upper << Change::None;
    const QString nonLatin = QStringLiteral("设备#") + AccessoryServiceLast + QChar(0xD800);
    QTest::newRow("non-Latin and a lone surrogate")
        << arrival << broadcast(interface, nonLatin) << -1 << true << nonLatin << Change::Arrival;
}

void tst_DeviceBroadcast::parse()
{
    QFETCH(quint64, eventCode);
    QFETCH(QByteArray, bytes);
    QFETCH(int, readable);
    QFETCH(bool, isInterface);
    QFETCH(QString, name);
    QFETCH(Change, change);

    const std::size_t size = readable < 0 ? std::size_t(bytes.size()) : std::size_t(readable);
    QVERIFY(size <= std::size_t(bytes.size()));
    const std::vector<unsigned char> block(bytes.cbegin(), bytes.cbegin() + qsizetype(size));
    const unsigned char *data = block.empty() ? nullptr : block.data();

    QString read = QStringLiteral("untouched");
    QCOMPARE(DeviceBroadcast::readInterfaceName(data, size, &read), isInterface);
    QCOMPARE(read, name);
    QCOMPARE(DeviceBroadcast::accessoryChange(eventCode, data, size), change);
}

void tst_DeviceBroadcast::nullBroadcast()
{
    QString name;
    QVERIFY(!DeviceBroadcast::readInterfaceName(nullptr, 4096, &name));
    QCOMPARE(DeviceBroadcast::accessoryChange(DeviceBroadcast::DeviceArrival, nullptr, 4096), Change::None);
    QCOMPARE(DeviceBroadcast::changeOf(DeviceBroadcast::DeviceArrival), Change::Arrival);
    QCOMPARE(DeviceBroadcast::changeOf(DeviceBroadcast::DeviceRemoveComplete), Change::Removal);
}

QTEST_GUILESS_MAIN(tst_DeviceBroadcast)

#include "tst_devicebroadcast.moc"
