#ifndef QTAPI_H
#define QTAPI_H

#include <QCoreApplication>
#include <QMetaType>
#include <QtGlobal>

// Where the API of Qt 5 and Qt 6 differs in a type, a qualifier or a setting that the program's
// own code names, said once, so that one source builds with either.

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
// The result that a native event hook (QWidget::nativeEvent) or filter hands back.
using NativeEventResult = qintptr;
// QIconEngine's queries of an icon (availableSizes, iconName): const in Qt 5 alone.
#define LUMIVANE_ICON_ENGINE_QUERY
// A type as the functions that take one name it (QDBusMetaType::typeToSignature), made from its id.
using MetaTypeArgument = QMetaType;
#else
using NativeEventResult = long;
using MetaTypeArgument = int;
#define LUMIVANE_ICON_ENGINE_QUERY const
#endif

namespace QtApi {

// Before the application object: windows sized in logical pixels on dense screens, which Qt 6
// always does and Qt 5 does when asked.
inline void scaleForDenseScreens()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
#endif
}

// Whether icons are drawn from pixmaps of the screen's density: always in Qt 6, in Qt 5 where the
// application asks for it.
inline bool highDpiPixmaps()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    return QCoreApplication::testAttribute(Qt::AA_UseHighDpiPixmaps);
#else
    return true;
#endif
}

// Asks for icons drawn from pixmaps of the screen's density, or not; Qt 6 always draws them so.
inline void setHighDpiPixmaps(bool on)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps, on);
#else
    Q_UNUSED(on)
#endif
}

} // namespace QtApi

#endif // QTAPI_H
