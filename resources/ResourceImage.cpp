#include "ResourceImage.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>

namespace {

QImage read(const QString &file)
{
    // A density the bundle holds no file for is asked for as well; Qt 6's reader would warn.
    if (!QFileInfo::exists(file))
        return QImage();
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

QPixmap ResourceImage::loadFile(const QString &file)
{
    return QPixmap::fromImage(read(file));
}

QMap<int, QString> ResourceImage::iconFiles(const QString &path)
{
    QMap<int, QString> files;
    const QString own = path + QStringLiteral(".png");
    QImageReader header(own, "png");
    header.setAutoDetectImageFormat(false);
    if (header.canRead())
        files.insert(header.size().width(), own);
    // Listed without a name filter and matched here: a wildcard filter compiles (and JITs) a
    // regular expression, whose code and JIT pages stay resident for good.
    const QFileInfo base(path);
    const QString prefix = base.fileName() + QLatin1Char('-');
    const QString suffix = QStringLiteral(".png");
    const QStringList names = QDir(base.path()).entryList(QDir::Files, QDir::Name);
    for (const QString &name : names) {
        if (!name.startsWith(prefix) || !name.endsWith(suffix))
            continue;
        bool isNumber = false;
        const int size =
            name.mid(prefix.size(), name.size() - prefix.size() - suffix.size()).toInt(&isNumber);
        if (isNumber)
            files.insert(size, base.path() + QLatin1Char('/') + name);
    }
    return files;
}

QIcon ResourceImage::loadIcon(const QString &path)
{
    QIcon icon;
    for (const QString &file : iconFiles(path))
        icon.addPixmap(loadFile(file));
    return icon;
}
