#include "MockBluez.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTest>

namespace {

const QString Service = QStringLiteral("org.bluez");
const QString Device1 = QStringLiteral("org.bluez.Device1");
const QString MockInterface = QStringLiteral("org.bluez.Mock");
constexpr int WaitMs = 30000;

} // namespace

const QString MockBluez::HidService = QStringLiteral("00001812-0000-1000-8000-00805f9b34fb");
const QString MockBluez::AudioSink = QStringLiteral("0000110b-0000-1000-8000-00805f9b34fb");
const QString MockBluez::ConnectedAccessoryTemplate =
    QStringLiteral(LUMIVANE_TEST_MOCK_DIR "/bluez_accessory_connected.py");
const QString MockBluez::ConnectedAccessory = QStringLiteral("/org/bluez/hci0/dev_C0_FF_EE_00_00_01");

MockBluez::MockBluez()
    : bus(QDBusConnection::systemBus())
{
    daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    daemon.setProgram(QStringLiteral(LUMIVANE_TEST_PYTHON));
    daemon.setArguments({QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--system"),
        QStringLiteral("--template"), QStringLiteral("bluez5")});
}

MockBluez::~MockBluez()
{
    stop();
}

bool MockBluez::start(const QString &templateName)
{
    if (!bus.isConnected()) {
        error = QStringLiteral("no system bus: run the test through tests/with-system-bus.sh");
        return false;
    }
    daemon.setArguments({QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--system"),
        QStringLiteral("--template"), templateName});
    daemon.start();
    if (!daemon.waitForStarted(WaitMs)) {
        error = daemon.errorString();
        return false;
    }
    QDBusConnectionInterface *names = bus.interface();
    if (!QTest::qWaitFor([&] { return names->isServiceRegistered(Service).value(); }, WaitMs)) {
        error = QStringLiteral("the mock did not take its bus name");
        return false;
    }
    return call(QStringLiteral("/"), MockInterface, QStringLiteral("AddAdapter"),
        {QStringLiteral("hci0"), QStringLiteral("lumivane-test")});
}

bool MockBluez::stop()
{
    if (daemon.state() == QProcess::NotRunning)
        return true;
    daemon.terminate();
    daemon.waitForFinished(WaitMs);
    QDBusConnectionInterface *names = bus.interface();
    return QTest::qWaitFor([&] { return !names->isServiceRegistered(Service).value(); }, WaitMs);
}

QString MockBluez::addDevice(const QString &address, const QStringList &uuids, bool connected)
{
    QVariant path;
    if (!call(QStringLiteral("/"), MockInterface, QStringLiteral("AddDevice"),
            {QStringLiteral("hci0"), address, QString(QStringLiteral("device ") + address)}, &path))
        return QString();
    const QString device = path.toString();
    if (!updateProperties(
            device, {{QStringLiteral("UUIDs"), uuids}, {QStringLiteral("Connected"), connected}}))
        return QString();
    return device;
}

bool MockBluez::setConnected(const QString &device, bool connected)
{
    return updateProperties(device, {{QStringLiteral("Connected"), connected}});
}

bool MockBluez::setUuids(const QString &device, const QStringList &uuids)
{
    return updateProperties(device, {{QStringLiteral("UUIDs"), uuids}});
}

bool MockBluez::removeDevice(const QString &device)
{
    return call(QStringLiteral("/org/bluez/hci0"), QStringLiteral("org.bluez.Adapter1"),
        QStringLiteral("RemoveDevice"), {QVariant::fromValue(QDBusObjectPath(device))});
}

bool MockBluez::answerManagedObjects(const QString &signature, const QString &value)
{
    return addMethod(QStringLiteral("org.freedesktop.DBus.ObjectManager"),
        QStringLiteral("GetManagedObjects"), signature, QStringLiteral("ret = ") + value);
}

bool MockBluez::emitSignal(const QString &path, const QString &interface, const QString &member,
    const QString &signature, const QString &arguments)
{
    const QString code = QStringLiteral("self.EmitSignalDetailed('%1', '%2', '%3', %4, {'path': '%5'})")
                             .arg(interface, member, signature, arguments, path);
    return addMethod(MockInterface, QStringLiteral("Emit"), QString(), code) &&
        call(QStringLiteral("/"), MockInterface, QStringLiteral("Emit"), {});
}

int MockBluez::callCount(const QString &method)
{
    QVariant calls;
    if (!call(QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.Mock"),
            QStringLiteral("GetMethodCalls"), {method}, &calls))
        return -1;
    // An array of (time, arguments).
    const QDBusArgument log = calls.value<QDBusArgument>();
    int count = 0;
    log.beginArray();
    while (!log.atEnd()) {
        quint64 time = 0;
        QVariantList arguments;
        log.beginStructure();
        log >> time >> arguments;
        log.endStructure();
        ++count;
    }
    log.endArray();
    return count;
}

bool MockBluez::addMethod(
    const QString &interface, const QString &name, const QString &resultSignature, const QString &code)
{
    return call(QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("AddMethod"),
        {interface, name, QString(), resultSignature, code});
}

bool MockBluez::updateProperties(const QString &device, const QVariantMap &properties)
{
    return call(device, QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("UpdateProperties"),
        {Device1, properties});
}

bool MockBluez::call(const QString &path, const QString &interface, const QString &method,
    const QVariantList &arguments, QVariant *result)
{
    QDBusMessage message = QDBusMessage::createMethodCall(Service, path, interface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = bus.call(message, QDBus::Block, WaitMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        error = method + QStringLiteral(": ") + reply.errorMessage();
        return false;
    }
    if (result && !reply.arguments().isEmpty())
        *result = reply.arguments().constFirst();
    return true;
}
