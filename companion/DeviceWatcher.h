#ifndef DEVICEWATCHER_H
#define DEVICEWATCHER_H

#include <QByteArray>
#include <QObject>
#include <QSet>
#include <QString>
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
    // A device that carries the accessory's link has arrived, or has gone. Any Bluetooth LE HID
    // device carries it as far as the platform can tell: `stillPresent` is how many of them are
    // still there after the removal, the accessory possibly among them.
    void accessoryArrived();
    void accessoryRemoved(int stillPresent);
    void failed();

private:
    // Windows: the interfaces present that look like the accessory's link, by name in lower case.
    // On Linux the BlueZ watcher keeps its devices itself.
    QSet<QString> presentInterfaces;
};

#endif // DEVICEWATCHER_H
