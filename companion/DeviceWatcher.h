#ifndef DEVICEWATCHER_H
#define DEVICEWATCHER_H

#include <QByteArray>
#include <QObject>
#include <QWindow>

// Tells when the accessory's Bluetooth LE HID link appears and goes away: HID device-interface
// notifications on Windows, the BlueZ daemon on the system bus on Linux.
class DeviceWatcher : public QObject
{
    Q_OBJECT

public:
    explicit DeviceWatcher(QObject *parent = nullptr);
    ~DeviceWatcher() override;

    // Registers for notifications, addressed to the given native window where the platform
    // sends them to a window. A registration that fails, at once or when the system bus does not
    // answer in time, is told by failed(); the watcher then stays silent.
    void start(WId window);

    // Hands one native message of the window to the watcher; every message goes through here,
    // and the watcher picks out the device changes among them.
    void handleNativeMessage(const QByteArray &eventType, void *message);

Q_SIGNALS:
    // A device that carries the accessory's link has arrived, or has gone.
    void accessoryArrived();
    void accessoryRemoved();
    void failed();
};

#endif // DEVICEWATCHER_H
