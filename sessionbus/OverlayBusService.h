#ifndef OVERLAYBUSSERVICE_H
#define OVERLAYBUSSERVICE_H

#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

// The calls' error replies need the call's context, which QtDBus finds by this base class's
// name; Windows builds Qt without D-Bus.
#if defined(Q_OS_WIN)
#elif defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
#include <QDBusContext>
#else
#error "OverlayBusService has not been ported to this platform"
#endif

#include <functional>

// The running overlay as a service of the session bus (Linux), in one class: it exports itself
// on the object ChannelNames names, through the adaptor generated from the interface file
// (channel/org.lumivane.Overlay1.xml), and owns the overlay's name. Reports and "show" arrive as
// method calls, and the current mode is a read-only property that announces its changes. Beside
// it, the object answers launchers as a freedesktop application (channel/
// org.freedesktop.Application.xml): activated, it shows the overlay; its actions are the tray
// menu's. Where there is no session bus, and on Windows, it does nothing.
// clang-format off
class OverlayBusService : public QObject
#if !defined(Q_OS_WIN)
    , protected QDBusContext
#endif
{
    // clang-format on
    Q_OBJECT
    Q_PROPERTY(uchar CurrentMode READ currentMode NOTIFY currentModeChanged)

public:
    // What the calls do: play a report (false for a mode the display does not know), show the
    // display, read the mode shown, and run the tray menu's 更新 and 退出.
    struct Handlers
    {
        std::function<bool(quint32)> report;
        std::function<void()> show;
        std::function<int()> currentMode;
        std::function<void()> update;
        std::function<void()> quit;
    };

    explicit OverlayBusService(Handlers handlers, QObject *parent = nullptr);
    ~OverlayBusService() override;

    enum class Name {
        Owned, // the name is this process's
        HeldByAnother, // another program owns it; this one waits in the bus's queue for it
        Unavailable, // no session bus, or the bus refused
    };

    // Exports the object and asks for the name; for the running instance alone. Whether the
    // program that holds the name is an overlay, and so whether this one stays, is the caller's
    // to decide.
    Name publish();
    // Staying beside the name's holder: says once that reports arrive over X11 until the name
    // comes to this process.
    void waitForName();

    // Tells the bus's listeners of the current mode if it is not the one they last heard of.
    void modeMayHaveChanged();

    // After busLost(): joins a bus at the session's address again once one answers there, asking
    // at growing intervals, and says so in one line each way.
    void rejoinWhenBack();

    uchar currentMode() const;

    // The interfaces' methods, called by the adaptors.
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

private Q_SLOTS:
    // The bus library's own notice of the lost connection, connected by its D-Bus name.
    void onDisconnected();

private:
    Name join();
    void askForBus();
    void takeName();
    void relayModeChange(uchar mode);

    Handlers handlers;
    bool published = false;
    uchar announced = 0;
    // The connection the service is on: the session bus of the library's own, or one made to
    // rejoin a bus that came back.
    QString connectionName;
    int rejoins = 0;
    int rejoinMs = 0;
};

#endif // OVERLAYBUSSERVICE_H
