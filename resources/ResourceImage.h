#ifndef RESOURCEIMAGE_H
#define RESOURCEIMAGE_H

#include <QPixmap>
#include <QString>

// The program's own images, named by their resource paths without extension (":/bright").
namespace ResourceImage {

// The image of the bundle at that path; a null pixmap when there is none.
QPixmap load(const QString &path);

} // namespace ResourceImage

#endif // RESOURCEIMAGE_H
