#ifndef BLUEZWATCHER_H
#define BLUEZWATCHER_H

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>

class QDBusMessage;

// Follows the BlueZ daemon's devices on a D-Bus connection. A device carries the accessory's
// link while it is connected and offers the HID-over-GATT service; the watcher signals the moment
// that becomes true (whichever of the two properties changes last) and the moment it stops
// being true, including when the device, or BlueZ itself, goes away. Devices that carry the link
// when the watcher starts are present already, not arrivals. Every device that offers the service
// counts, a BLE mouse or keyboard as well as the accessory: a removal says how many still do.
class BluezWatcher : public QObject
{
    Q_OBJECT

public:
    explicit BluezWatcher(const QDBusConnection &bus, QObject *parent = nullptr);
    ~BluezWatcher() override;

    // Subscribes to BlueZ's signals and reads its devices. False when the bus cannot be reached.
    bool start();

Q_SIGNALS:
    void accessoryArrived();
    // `stillConnected`: how many devices carry the link after this one has gone.
    void accessoryRemoved(int stillConnected);

private Q_SLOTS:
    // QtDBus connects signals by signature strings only.
    void onInterfacesAdded(const QDBusMessage &message);
    void onInterfacesRemoved(const QDBusMessage &message);
    void onPropertiesChanged(const QDBusMessage &message);

private:
    struct Device
    {
        bool connected = false;
        QStringList uuids;
    };

    void onOwnerChanged(const QString &service, const QString &oldOwner, const QString &newOwner);
    void readDevices(bool announce);
    void updateDevice(const QString &path, const QVariantMap &properties, bool announce);
    void removeDevice(const QString &path);
    int connectedCount() const;
    // Whether data from the service has the signature BlueZ sends; warns once per kind if not.
    bool isShaped(const QString &what, const QString &signature, const QString &expected);

    QDBusConnection bus;
    QHash<QString, Device> devices;
    // The kinds of malformed data warned about so far.
    QSet<QString> warned;
};

#endif // BLUEZWATCHER_H
