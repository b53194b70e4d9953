#include "TrayIconEngine.h"

#include "app/QtApi.h"
#include "resources/ResourceImage.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPainter>
#include <QStandardPaths>

TrayIconEngine::TrayIconEngine(const QString &bundlePath, const QString &themeName)
    : files(ResourceImage::iconFiles(bundlePath))
    , themeName(themeName)
{
}

const QIcon &TrayIconEngine::decodedFor(const QSize &size)
{
    if (files.isEmpty())
        return decoded;
    // The file an icon holding every size draws a request from: the smallest at least as large,
    // or else the largest. Holding it, the decoded icon picks it too.
    const int area = size.width() * size.height();
    auto chosen = std::prev(files.end());
    for (auto file = files.begin(); file != files.end(); ++file) {
        if (file.key() * file.key() >= area) {
            chosen = file;
            break;
        }
    }
    if (!decoded.availableSizes().contains(QSize(chosen.key(), chosen.key())))
        decoded.addPixmap(ResourceImage::loadFile(chosen.value()));
    return decoded;
}

void TrayIconEngine::paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state)
{
    // Where high-DPI pixmaps are on, the pixmap engine draws from the size times the density.
    if (QtApi::highDpiPixmaps())
        decodedFor(rect.size() * painter->device()->devicePixelRatioF());
    // QIcon::paint has aligned the rectangle to the actual size already, which aligns to itself.
    decodedFor(rect.size()).paint(painter, rect, Qt::AlignCenter, mode, state);
}

QSize TrayIconEngine::actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state)
{
    return decodedFor(size).actualSize(size, mode, state);
}

QPixmap TrayIconEngine::pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state)
{
    return decodedFor(size).pixmap(size, mode, state);
}

QIconEngine *TrayIconEngine::clone() const
{
    return new TrayIconEngine(*this);
}

QString TrayIconEngine::key() const
{
    return QStringLiteral("TrayIconEngine");
}

QList<QSize> TrayIconEngine::availableSizes(QIcon::Mode mode, QIcon::State state) LUMIVANE_ICON_ENGINE_QUERY
{
    QList<QSize> sizes;
    if (mode == QIcon::Normal && state == QIcon::Off) {
        for (int side : files.keys())
            sizes.append(QSize(side, side));
    }
    return sizes;
}

QString TrayIconEngine::iconName() LUMIVANE_ICON_ENGINE_QUERY
{
    if (named == Named::Unknown)
        named = inHicolorTheme(themeName) ? Named::Themed : Named::Unthemed;
    return named == Named::Themed ? themeName : QString();
}

void TrayIconEngine::virtual_hook(int id, void *data)
{
    switch (id) {
    case IsNullHook:
        *static_cast<bool *>(data) = files.isEmpty();
        break;
    default:
        QIconEngine::virtual_hook(id, data);
    }
}

bool TrayIconEngine::inHicolorTheme(const QString &name)
{
    // The folders a package installs an application's icons to; looked at directly, without the
    // theme's index.
    static const char *const folders[] = {
        "16x16", "22x22", "24x24", "32x32", "48x48", "64x64", "128x128", "256x256", "scalable"};
    const QStringList dataFolders = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    for (const QString &data : dataFolders) {
        for (const char *folder : folders) {
            const QString file = data + QStringLiteral("/icons/hicolor/") + QLatin1String(folder) +
                QStringLiteral("/apps/") + name;
            if (QFileInfo::exists(file + QStringLiteral(".png")) ||
                QFileInfo::exists(file + QStringLiteral(".svg")))
                return true;
        }
    }
    return false;
}
