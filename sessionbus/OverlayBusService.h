#ifndef OVERLAYBUSSERVICE_H
#define OVERLAYBUSSERVICE_H

#include "OverlayBus.h"

#include <QDBusContext>
#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <atomic>

// The running overlay as a service of the session bus, in one class: it exports itself on the
// object ChannelNames names, through the adaptor generated from the interface file
// (channel/org.lumivane.Overlay1.xml), and owns the overlay's name. Reports and "show" arrive as
// method calls, and the current mode is a read-only property that announces its changes. Beside
// it, the object answers launchers as a freedesktop application (channel/
// org.freedesktop.Application.xml): activated, it shows the overlay; its actions are the tray
// menu's. It lives on a thread of its own (OverlayBus), which QtDBus delivers its calls to: what
// they ask of the display it passes on as signals.
class OverlayBusService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_PROPERTY(uchar CurrentMode READ currentMode NOTIFY currentModeChanged)

public:
    explicit OverlayBusService(QObject *parent = nullptr);
    ~OverlayBusService() override;

    // Exports the object and asks for the name.
    OverlayBus::Name publish();

    // From any thread: the mode on show, announced to the bus's listeners if they last heard of
    // another.
    void setCurrentMode(uchar mode);

    // After busLost(): joins a bus at the session's address again once one answers there, asking
    // at growing intervals, and says so in one line each way.
    void rejoinWhenBack();

    uchar currentMode() const;

    // The interfaces' methods, called by the adaptors.
    // True for a report of a mode the display knows; every report goes on to the display.
    bool Report(uint code);
    void Show();
    // Launchers' platform data (startup id, activation token) changes nothing: the overlay never
    // takes the focus.
    void Activate(const QVariantMap &platform_data);
    // One of ChannelNames::DesktopActions, without a parameter; anything else is refused.
    void ActivateAction(
        const QString &action_name, const QVariantList &parameter, const QVariantMap &platform_data);
    // The overlay opens no files: refused.
    void Open(const QStringList &uris, const QVariantMap &platform_data);

Q_SIGNALS:
    void currentModeChanged(uchar mode);
    // The bus joined went away (its daemon ended): the service is on no bus now.
    void busLost();
    // What the calls ask of the display.
    void reportArrived(quint32 parameter);
    void showRequested();
    void updateRequested();
    void quitRequested();

private Q_SLOTS:
    // The bus library's own notice of the lost connection, connected by its D-Bus name.
    void onDisconnected();

private:
    OverlayBus::Name join();
    void askForBus();
    void takeName();
    void announceMode();
    void relayModeChange(uchar mode);

    // Written by the GUI thread, read by the bus's calls.
    std::atomic<uchar> mode {0};
    bool published = false;
    uchar announced = 0;
    // The connection the service is on: the session bus of the library's own, or one made to
    // rejoin a bus that came back.
    QString connectionName;
    int rejoins = 0;
    int rejoinMs = 0;
};

#endif // OVERLAYBUSSERVICE_H
