#ifndef STATUSNOTIFIERWATCHER_H
#define STATUSNOTIFIERWATCHER_H

#include <QObject>
#include <QStringList>

// A desktop panel's watcher on the session bus, with a host: while it is there, a program that
// starts puts its tray icon on the bus as a status-notifier item instead of docking it by XEmbed.
class StatusNotifierWatcher : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)

public:
    ~StatusNotifierWatcher() override;
    bool publish();
    bool isHostRegistered() const { return true; }

    // The bus names of the items registered so far.
    QStringList items;

public Q_SLOTS:
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString &service) { items.append(service); }
};

#endif // STATUSNOTIFIERWATCHER_H
