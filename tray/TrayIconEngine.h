#ifndef TRAYICONENGINE_H
#define TRAYICONENGINE_H

#include "app/QtApi.h"

#include <QIcon>
#include <QIconEngine>
#include <QMap>
#include <QString>

// The tray's icon, paid for only as far as the tray uses it. Its pictures are the bundle's files
// at the sizes the bundle holds, each decoded when a size is first drawn, and drawn exactly as an
// icon holding all of them draws. Its name, which only a status-notifier host asks for so as to
// draw the icon from the icon theme, is the themed name where the hicolor theme in the XDG data
// folders holds that icon, and empty elsewhere: no theme is parsed, and a tray that docks the
// window (XEmbed) never asks.
class TrayIconEngine : public QIconEngine
{
public:
    TrayIconEngine(const QString &bundlePath, const QString &themeName);

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine *clone() const override;
    QString key() const override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) LUMIVANE_ICON_ENGINE_QUERY override;
    QString iconName() LUMIVANE_ICON_ENGINE_QUERY override;
    void virtual_hook(int id, void *data) override;

    // Whether the hicolor theme holds an icon of that name in one of the XDG data folders.
    static bool inHicolorTheme(const QString &name);

private:
    // The decoded sizes, with the one a request of that size is drawn from.
    const QIcon &decodedFor(const QSize &size);

    QMap<int, QString> files;
    QString themeName;
    QIcon decoded;
    enum class Named { Unknown, Themed, Unthemed };
    // Found out at the first question, which Qt 5 asks of a const engine.
    mutable Named named = Named::Unknown;
};

#endif // TRAYICONENGINE_H
