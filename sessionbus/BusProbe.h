#ifndef BUSPROBE_H
#define BUSPROBE_H

#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;

// Asks a D-Bus daemon whether it answers, without waiting on it: a daemon that accepts
// connections and then stalls (a stuck dbus-daemon at login) would hold whoever connects through
// libdbus, which waits for the daemon's greeting without a bound, and QtDBus does that connecting
// on a thread of its own that the program joins at its end. The probe opens the connection
// itself, starts the authentication and counts any answer as life.
class BusProbe : public QObject
{
    Q_OBJECT

public:
    // How long the daemon has to answer.
    static constexpr int BoundMs = 2000;

    enum class Answer {
        Answered,
        Refused, // nothing listens there, as libdbus would find at once
        Silent, // it listens, but has not answered within the bound
    };
    Q_ENUM(Answer)

    // For the daemon at a D-Bus address (the first unix:path= or unix:abstract= entry; an
    // address with neither counts as answered, since only libdbus can reach it).
    explicit BusProbe(const QString &address, QObject *parent = nullptr);
    ~BusProbe() override;

    // The address the system bus is at, as libdbus finds it.
    static QString systemBusAddress();

    // Asks; finished() follows, before this returns where the answer needs no waiting (nothing
    // listens, or the address cannot be probed).
    void start();

    // Asks and waits for the answer, at most the given time.
    static Answer ask(const QString &address, int boundMs);

Q_SIGNALS:
    void finished(BusProbe::Answer answer);

private:
    void finish(Answer answer);
    void readAnswer();

    const QString address;
    int socket = -1;
    QSocketNotifier *notifier = nullptr;
    QTimer *bound = nullptr;
    bool done = false;
};

#endif // BUSPROBE_H
