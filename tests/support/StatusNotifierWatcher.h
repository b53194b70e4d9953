#ifndef STATUSNOTIFIERWATCHER_H
#define STATUSNOTIFIERWATCHER_H

#include <QObject>
#include <QStringList>

// The watcher that a desktop panel runs on the session bus, with a host registered: while it is
// there, a program that starts puts its tray icon on the bus as a status-notifier item instead of
// docking it through XEmbed.
class StatusNotifierWatcher : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

public:
    ~StatusNotifierWatcher() override;

    // Takes the watcher's name on the session bus.
    bool publish();
    void withdraw();

    bool isHostRegistered() const { return true; }
    // The bus names of the items registered so far.
    QStringList items() const { return registered; }

public Q_SLOTS:
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString &service);

private:
    QStringList registered;
};

#endif // STATUSNOTIFIERWATCHER_H
