#ifndef OVERLAYBUS_H
#define OVERLAYBUS_H

#include <QObject>

#include <functional>

class OverlayBusService;
class QThread;

// The overlay's service on the session bus (Linux), seen from the GUI thread. The service answers
// on a thread of its own, so that the bus keeps answering while the GUI thread waits, for
// instance on a frozen compositor for a buffer: reports are taken at once and played on the GUI
// thread when it comes back, and the mode the bus reads is a copy this side keeps up to date.
// Where there is no session bus, and on Windows, it does nothing.
class OverlayBus : public QObject
{
    Q_OBJECT

public:
    // What the calls do on the GUI thread: take a report (the display plays those it knows), show
    // the display, and run the tray menu's 更新 and 退出.
    struct Handlers
    {
        std::function<void(quint32)> report;
        std::function<void()> show;
        std::function<void()> update;
        std::function<void()> quit;
    };

    enum class Name {
        Owned, // the name is this process's
        HeldByAnother, // another program owns it; this one waits in the bus's queue for it
        Unavailable, // no session bus, or the bus refused
    };

    explicit OverlayBus(Handlers handlers, QObject *parent = nullptr);
    // Ends the service's thread; no call reaches the service after this.
    ~OverlayBus() override;

    // Exports the service and asks for the name; for the running instance alone. Whether the
    // program that holds the name is an overlay, and so whether this one stays, is the caller's
    // to decide.
    Name publish();
    // Staying beside the name's holder: says once that reports arrive over X11 until the name
    // comes to this process.
    void waitForName();
    // The mode on show, for the bus to read and to announce to its listeners.
    void setCurrentMode(int mode);
    // After busLost(): joins a bus at the session's address again once one answers there.
    void rejoinWhenBack();

Q_SIGNALS:
    // The bus joined went away (its daemon ended): the service is on no bus now.
    void busLost();

private:
    Handlers handlers;
    QThread *thread = nullptr;
    OverlayBusService *service = nullptr;
};

#endif // OVERLAYBUS_H
