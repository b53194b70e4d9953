#include "ResourceImage.h"

#include <QImageReader>

QPixmap ResourceImage::load(const QString &path)
{
    // The bundle holds PNG files only. Naming the file and its format spares the toolkit its own
    // search, which loads every image plugin installed (and their libraries) to ask each one
    // whether it knows the data: milliseconds at start and resident memory for good.
    QImageReader reader(path + QStringLiteral(".png"), "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}
