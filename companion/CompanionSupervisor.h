#ifndef COMPANIONSUPERVISOR_H
#define COMPANIONSUPERVISOR_H

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QWindow>

class CompanionProcess;
class DeviceWatcher;

// Keeps the companion program in step with the accessory: started once at start-up, killed
// when the accessory's link goes and started again when it returns, so that every arrival ends
// with exactly one companion. Other Bluetooth LE HID devices look like the accessory: when one of
// them goes while another is still there (the accessory, maybe), the killed companion is followed
// by a new one. If the companion ends by itself, or cannot start, that is said in the log, and
// nothing restarts it until the next arrival.
class CompanionSupervisor : public QObject
{
    Q_OBJECT

public:
    // Works through `process`, the one handle on the companion, reused for every start and kill;
    // the handle stays its creator's.
    explicit CompanionSupervisor(CompanionProcess *process, QObject *parent = nullptr);

    // Starts the companion found beside the executable or on an absolute PATH entry (never in
    // the current directory); nothing when it already runs or is found nowhere. While the one
    // killed last is still ending, the start waits for its end, unless a removal comes first.
    void startCompanion();

    // Begins following the accessory's link, with notifications addressed to the given native
    // window where the platform sends them to a window. A registration that fails, at once or
    // later, is told by deviceWatchFailed(); the companion then runs on from its first start
    // without following the link.
    void watchDevices(WId window);

    // Hands one native message of that window on; on Windows the device changes come this way.
    void handleNativeMessage(const QByteArray &eventType, void *message);

Q_SIGNALS:
    void deviceWatchFailed();

private:
    // `stillPresent`: how many devices that look like the accessory are still there.
    void stopCompanion(int stillPresent);
    void onCompanionFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void onCompanionError(QProcess::ProcessError error);

    CompanionProcess *const process;
    DeviceWatcher *const deviceWatcher;
    // The companion has been killed and its end not seen yet.
    bool killed = false;
    // An arrival came, or a device that looks like the accessory stayed, while the killed
    // companion was still ending.
    bool startWhenEnded = false;
};

#endif // COMPANIONSUPERVISOR_H
