#include "SystemTray.h"

#include "TrayIconEngine.h"

#include "autostart/Autostart.h"
#include "lumivane-config.h"
#include "resources/ResourceImage.h"
#include "session/PageOpener.h"

#include <QAction>
#include <QCoreApplication>
#include <QIcon>
#include <QMenu>
#include <QSignalBlocker>
#include <QUrl>

namespace {

// The tray artwork under its installed name (resources/icons), which status-notifier panels
// look up in the icon theme rather than taking the pixmap. The theme's own fallback from it to
// "lumivane", the application icon, is never taken: the bundle's glyph serves instead.
const QString ThemeIconName = QStringLiteral("lumivane-tray");

} // namespace

SystemTray::SystemTray(QObject *parent)
    : QSystemTrayIcon(parent)
{
    setIcon(QIcon(new TrayIconEngine(QStringLiteral(":/SystemTrayIcon"), ThemeIconName)));
    // A context menu is a top-level popup and cannot have the icon, a plain QObject, as parent.
    trayMenu = new QMenu;

    openAction = new QAction(this);
    autorunAction = new QAction(this);
    autorunAction->setCheckable(true);
    updateAction = new QAction(this);
    quitAction = new QAction(this);

    // Read before the toggled() connection exists, so that showing the stored state never writes it.
    if (Autostart::isEnabled(QCoreApplication::applicationFilePath()))
        autorunAction->setChecked(true);

    trayMenu->addAction(openAction);
    trayMenu->addAction(autorunAction);
    trayMenu->addAction(updateAction);
    trayMenu->addAction(quitAction);

    connect(openAction, SIGNAL(triggered()), this, SIGNAL(sys_openClicked()));
    connect(quitAction, SIGNAL(triggered()), QCoreApplication::instance(), SLOT(quit()));
    connect(updateAction, SIGNAL(triggered()), this, SLOT(open_url()));
    connect(autorunAction, SIGNAL(toggled(bool)), this, SLOT(setAutorun(bool)));

    setContextMenu(trayMenu);

    setToolTip(tr("Lumivane tool"));
    openAction->setText(tr("显示"));
    autorunAction->setText(tr("开机自启动"));
    updateAction->setText(tr("更新"));
    quitAction->setText(tr("退出"));
}

SystemTray::~SystemTray()
{
    // Nothing else owns the parentless menu.
    delete trayMenu;
}

void SystemTray::open_url()
{
    // Desktop handlers open only an address with a scheme as a web page; the host is a build setting.
    PageOpener::open(
        QUrl(QStringLiteral("https://" LUMIVANE_SUPPORT_HOST "/support.html"), QUrl::TolerantMode));
}

void SystemTray::setAutorun(bool autorun)
{
    const QString self = QCoreApplication::applicationFilePath();
    if (Autostart::setEnabled(autorun, self))
        return;
    // The mark shows what is stored, not a choice that was refused; set back quietly, so as not to
    // write again.
    const QSignalBlocker quiet(autorunAction);
    autorunAction->setChecked(Autostart::isEnabled(self));
}
