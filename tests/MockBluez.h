#ifndef MOCKBLUEZ_H
#define MOCKBLUEZ_H

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QVariantMap>

// A mock BlueZ daemon (python-dbusmock's bluez5 template) on the system bus that
// tests/with-system-bus.sh provides, with one adapter, "hci0", and devices the test adds.
class MockBluez
{
public:
    static const QString HidService;
    static const QString AudioSink;
    // A template whose accessory, at ConnectedAccessory, is connected from the start and is
    // announced by no signal (tests/mock/bluez_accessory_connected.py).
    static const QString ConnectedAccessoryTemplate;
    static const QString ConnectedAccessory;

    MockBluez();
    ~MockBluez();

    // Starts the daemon from the given template and waits until it owns its bus name and has an
    // adapter; false on failure.
    bool start(const QString &templateName = QStringLiteral("bluez5"));
    // Ends the daemon and waits until its name has left the bus.
    bool stop();

    // Adds a device with the given service UUIDs and returns its object path.
    QString addDevice(const QString &address, const QStringList &uuids, bool connected);
    bool setConnected(const QString &device, bool connected);
    bool setUuids(const QString &device, const QStringList &uuids);
    // Removes the device as BlueZ does when it is forgotten (InterfacesRemoved).
    bool removeDevice(const QString &device);

    // Data no BlueZ sends, in the given D-Bus signature, the value written in Python: the answer
    // to every later GetManagedObjects, or one signal from the object at the given path.
    bool answerManagedObjects(const QString &signature, const QString &value);
    bool emitSignal(const QString &path, const QString &interface, const QString &member,
        const QString &signature, const QString &arguments);

    // How often anyone has called the given method of the root object; -1 when unknown.
    int callCount(const QString &method);

    QString lastError() const { return error; }

private:
    bool call(const QString &path, const QString &interface, const QString &method,
        const QVariantList &arguments, QVariant *result = nullptr);
    bool updateProperties(const QString &device, const QVariantMap &properties);
    // Gives the mock's root object a method that runs the given Python code.
    bool addMethod(
        const QString &interface, const QString &name, const QString &resultSignature, const QString &code);

    QDBusConnection bus;
    QProcess daemon;
    QString error;
};

#endif // MOCKBLUEZ_H
