#ifndef OVERLAYBUSSERVICE_H
#define OVERLAYBUSSERVICE_H

#include <QObject>
#include <QString>

#include <functional>

// The running overlay as a service of the session bus (Linux), in one class: it exports itself
// on the object ChannelNames names, through the adaptor generated from the interface file
// (channel/org.lumivane.Overlay1.xml), and owns the overlay's name. Reports and "show" arrive as
// method calls, and the current mode is a read-only property that announces its changes. Where
// there is no session bus, and on Windows, it does nothing.
class OverlayBusService : public QObject
{
    Q_OBJECT
    Q_PROPERTY(uchar CurrentMode READ currentMode NOTIFY currentModeChanged)

public:
    // What the calls do: play a report (false for a mode the display does not know), show the
    // display, and read the mode shown.
    struct Handlers
    {
        std::function<bool(quint32)> report;
        std::function<void()> show;
        std::function<int()> currentMode;
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

    // The interface's methods, called by the adaptor.
    bool Report(uint code);
    void Show();

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
