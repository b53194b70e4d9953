#ifndef SYSTEMTRAY_H
#define SYSTEMTRAY_H

#include <QSystemTrayIcon>

class QAction;
class QMenu;

// The program's icon in the notification area, its permanent presence: a click shows the
// overlay, the context menu shows it too, switches start at logon, opens the support page and
// quits.
class SystemTray : public QSystemTrayIcon
{
    Q_OBJECT

public:
    explicit SystemTray(QObject *parent);
    ~SystemTray() override;

Q_SIGNALS:
    void sys_openClicked();
    void sys_configClicked();

private Q_SLOTS:
    void open_url();
    void setAutorun(bool autorun);

private:
    QMenu *trayMenu;
    QAction *openAction;
    QAction *autorunAction;
    QAction *updateAction;
    QAction *quitAction;
};

#endif // SYSTEMTRAY_H
