#ifndef RESOURCEIMAGE_H
#define RESOURCEIMAGE_H

#include <QIcon>
#include <QMap>
#include <QPixmap>
#include <QString>

// The program's own images, named by their resource paths without extension (":/bright").
namespace ResourceImage {

// The image of the bundle at that path, for a screen of the given device pixel ratio: the 1x
// file, or above ratio 1 the 2x file ("bright@2x.png") scaled to the ratio where it differs, with
// that ratio set so that it keeps its logical size. The 1x file where there is no 2x one; a null
// pixmap when there is no image at all.
QPixmap load(const QString &path, qreal ratio = 1);

// One PNG file of the bundle, as it is.
QPixmap loadFile(const QString &file);

// The files that hold the icon at that path, keyed by their (square) size: the file of the path
// itself and every size beside it ("SystemTrayIcon-16.png" beside "SystemTrayIcon.png"). Only
// the headers are read; nothing is decoded.
QMap<int, QString> iconFiles(const QString &path);

// The icon at that path with every size the bundle holds of it, so that a tray gets the size it
// asks for instead of a scaled one.
QIcon loadIcon(const QString &path);

} // namespace ResourceImage

#endif // RESOURCEIMAGE_H
