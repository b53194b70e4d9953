#include "ResourceImage.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>

namespace {

QImage read(const QString &file)
{
    // The bundle holds PNG files only. Naming the file and its format spares the toolkit its own
    // search, which loads every image plugin installed (and their libraries) to ask each one
    // whether it knows the data: milliseconds at start and resident memory for good.
    QImageReader reader(file, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

} // namespace

QPixmap ResourceImage::load(const QString &path, qreal ratio)
{
    // QPixmap never picks a 2x file by itself.
    QImage image = ratio > 1 ? read(path + QStringLiteral("@2x.png")) : QImage();
    if (image.isNull())
        return QPixmap::fromImage(read(path + QStringLiteral(".png")));
    if (ratio != 2) {
        // Scaled once here rather than at every paint, smoothly rather than by the painter.
        const QSize size(qRound(image.width() * ratio / 2), qRound(image.height() * ratio / 2));
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    image.setDevicePixelRatio(ratio);
    return QPixmap::fromImage(image);
}

QIcon ResourceImage::loadIcon(const QString &path)
{
    QIcon icon(load(path));
    const QFileInfo base(path);
    const QStringList sizes =
        QDir(base.path()).entryList({base.fileName() + QStringLiteral("-*.png")}, QDir::Files, QDir::Name);
    for (const QString &file : sizes)
        icon.addPixmap(QPixmap::fromImage(read(base.path() + QLatin1Char('/') + file)));
    return icon;
}
