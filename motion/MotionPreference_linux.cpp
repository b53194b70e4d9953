#include "MotionPreference.h"

#include "sessionbus/SessionBus.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSettings>
#include <QStandardPaths>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace {

const char PortalService[] = "org.freedesktop.portal.Desktop";
const char PortalPath[] = "/org/freedesktop/portal/desktop";
const char SettingsInterface[] = "org.freedesktop.portal.Settings";
const char GnomeGroup[] = "org.gnome.desktop.interface";
const char GnomeKey[] = "enable-animations";
const char KdeGroup[] = "org.kde.kdeglobals.KDE";
const char KdeKey[] = "AnimationDurationFactor";

QVariant unwrapped(QVariant value)
{
    // Some portals wrap a setting's variant in another one.
    while (value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

// KDE turns animations off with a factor of 0; any other factor only makes them slower or faster.
bool kdeAnimates(const QVariant &factor)
{
    bool isNumber = false;
    const double value = factor.toDouble(&isNumber);
    return !isNumber || value > 0;
}

// What the desktop's two settings say, each where it was given.
struct DesktopSettings
{
    std::optional<bool> gnome;
    std::optional<bool> kde;

    bool isEmpty() const { return !gnome && !kde; }
    bool animate() const { return gnome.value_or(true) && kde.value_or(true); }

    // True when the setting is one of the two.
    bool take(const QString &group, const QString &key, const QVariant &value)
    {
        if (group == QLatin1String(GnomeGroup) && key == QLatin1String(GnomeKey))
            gnome = unwrapped(value).toBool();
        else if (group == QLatin1String(KdeGroup) && key == QLatin1String(KdeKey))
            kde = kdeAnimates(unwrapped(value));
        else
            return false;
        return true;
    }
};

// The receiver of the portal's change signal, which the bus delivers to a slot named by string.
class PortalWatch : public QObject
{
    Q_OBJECT

public:
    PortalWatch(
        std::function<void(const QString &, const QString &, const QVariant &)> changed, QObject *parent)
        : QObject(parent)
        , changed(std::move(changed))
    {
    }

public Q_SLOTS:
    void settingChanged(const QString &group, const QString &key, const QDBusVariant &value)
    {
        changed(group, key, value.variant());
    }

private:
    std::function<void(const QString &, const QString &, const QVariant &)> changed;
};

bool onKdeDesktop()
{
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'));
    return desktops.contains(QLatin1String("KDE"), Qt::CaseInsensitive);
}

} // namespace

void MotionPreference::follow()
{
    auto settings = std::make_shared<DesktopSettings>();

    // KDE's own file, where no portal speaks for the desktop. KDE writes it anew and renames it
    // into place, which ends a watch on the file: the folder's watch notices and renews it.
    const auto followKdeglobals = [this, settings] {
        if (!onKdeDesktop())
            return;
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        const QString path = QDir(folder).filePath(QStringLiteral("kdeglobals"));
        auto *watch = new QFileSystemWatcher(this);
        const auto read = [this, settings, watch, folder, path] {
            for (const QString &watched : {folder, path}) {
                if (QFileInfo::exists(watched) && !watch->files().contains(watched) &&
                    !watch->directories().contains(watched))
                    watch->addPath(watched);
            }
            settings->kde = kdeAnimates(
                QSettings(path, QSettings::IniFormat).value(QStringLiteral("KDE/AnimationDurationFactor")));
            setAnimate(settings->animate());
        };
        connect(watch, &QFileSystemWatcher::fileChanged, this, read);
        connect(watch, &QFileSystemWatcher::directoryChanged, this, read);
        read();
    };

    // Without a session bus no portal can answer; asking for the bus would make libdbus start one.
    if (!SessionBus::provided() || !QDBusConnection::sessionBus().isConnected()) {
        followKdeglobals();
        settle(settings->animate());
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Followed before it is read, so that no change falls between the answer and the signal.
    auto *portal = new PortalWatch(
        [this, settings](const QString &group, const QString &key, const QVariant &value) {
            if (settings->take(group, key, value))
                setAnimate(settings->animate());
        },
        this);
    bus.connect(QLatin1String(PortalService), QLatin1String(PortalPath), QLatin1String(SettingsInterface),
        QStringLiteral("SettingChanged"), portal, SLOT(settingChanged(QString, QString, QDBusVariant)));

    QDBusMessage readAll = QDBusMessage::createMethodCall(QLatin1String(PortalService),
        QLatin1String(PortalPath), QLatin1String(SettingsInterface), QStringLiteral("ReadAll"));
    readAll << QStringList {QLatin1String(GnomeGroup), QLatin1String(KdeGroup)};
    // Asked without waiting: a portal that starts slowly or not at all never holds up a display.
    auto *answer = new QDBusPendingCallWatcher(bus.asyncCall(readAll), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this, [this, settings, answer, followKdeglobals] {
        answer->deleteLater();
        const QDBusMessage reply = answer->reply();
        if (reply.type() == QDBusMessage::ReplyMessage && reply.signature() == QLatin1String("a{sa{sv}}")) {
            QMap<QString, QVariantMap> groups;
            reply.arguments().constFirst().value<QDBusArgument>() >> groups;
            for (auto group = groups.cbegin(); group != groups.cend(); ++group) {
                for (auto setting = group->cbegin(); setting != group->cend(); ++setting)
                    settings->take(group.key(), setting.key(), setting.value());
            }
        }
        if (settings->isEmpty())
            followKdeglobals();
        settle(settings->animate());
    });
}

#include "MotionPreference_linux.moc"
