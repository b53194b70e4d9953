// Draws the program's images. The results are committed under resources/; run this again only
// to change the artwork: lumivane-artwork <output directory>
#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <cmath>
#include <cstdio>
#include <functional>
#include <iterator>

namespace {

constexpr int GlyphSize = 24;
constexpr int GlyphAlpha = 179;

QPen glyphPen(qreal width)
{
    return QPen(Qt::white, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Glyphs are drawn opaque and faded as a whole afterwards, so that overlapping strokes do not
// add up to a brighter spot. The scale draws the same glyph for screens of that pixel density.
QImage glyph(int scale, const std::function<void(QPainter &)> &draw)
{
    QImage image(GlyphSize * scale, GlyphSize * scale, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale, scale);
        draw(painter);
    }
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgba(255, 255, 255, qAlpha(line[x]) * GlyphAlpha / 255);
    }
    return image;
}

QImage bright(int scale = 1)
{
    return glyph(scale, [](QPainter &p) {
        p.setPen(glyphPen(2));
        p.drawLine(QPointF(2, 19), QPointF(22, 19));
        p.drawArc(QRectF(6.5, 10.5, 11, 11), 0, 180 * 16);
        for (int degrees : {15, 50, 90, 130, 165}) {
            const qreal a = qDegreesToRadians(qreal(degrees));
            const QPointF c(12, 16);
            p.drawLine(c + QPointF(std::cos(a) * 8, -std::sin(a) * 8),
                c + QPointF(std::cos(a) * 10.5, -std::sin(a) * 10.5));
        }
    });
}

QImage breath(int scale = 1)
{
    return glyph(scale, [](QPainter &p) {
        p.setPen(glyphPen(2));
        p.drawEllipse(QPointF(12, 12), 9, 9);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(12, 12), 3.5, 3.5);
    });
}

QImage loop(int scale = 1)
{
    return glyph(scale, [](QPainter &p) {
        p.setPen(glyphPen(2));
        p.drawArc(QRectF(3, 3, 18, 18), 30 * 16, 240 * 16);
        p.drawArc(QRectF(7.5, 7.5, 9, 9), 210 * 16, 240 * 16);
    });
}

QImage horse(int scale = 1)
{
    return glyph(scale, [](QPainter &p) {
        p.setPen(glyphPen(2));
        for (int i = 0; i < 8; ++i)
            p.drawArc(QRectF(3, 3, 18, 18), (i * 45 + 10) * 16, 25 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(12, 12), 3, 3);
    });
}

QImage badge(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 24.0;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(23, 24, 25));
    p.drawRoundedRect(QRectF(0, 0, size, size), 5 * s, 5 * s);
    QConicalGradient ringGradient(QPointF(size / 2.0, size / 2.0), 90);
    ringGradient.setColorAt(0.0, QColor(235, 238, 242));
    ringGradient.setColorAt(0.5, QColor(150, 170, 255));
    ringGradient.setColorAt(1.0, QColor(235, 238, 242));
    p.setPen(QPen(QBrush(ringGradient), 2.5 * s));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(size / 2.0, size / 2.0), 6.5 * s, 6.5 * s);
    return image;
}

bool save(const QImage &image, const QDir &dir, const QString &name)
{
    const QString path = dir.filePath(name);
    if (QFileInfo(path).dir().mkpath(QStringLiteral(".")) && image.save(path))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

// The icons installed into the desktop's icon theme, at the sizes that themes ask for: the
// application's, for menus and launchers, and the tray's own, which status-notifier panels look up
// by name. Both show the badge today; each keeps its own name so either can change alone.
QImage applicationIcon(int size)
{
    return badge(size);
}

QImage themedTrayIcon(int size)
{
    return badge(size);
}

bool saveThemeIcons(const QDir &dir)
{
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("icons/hicolor/%1x%1/apps/").arg(size);
        if (!save(applicationIcon(size), dir, folder + QStringLiteral("lumivane.png")) ||
            !save(themedTrayIcon(size), dir, folder + QStringLiteral("lumivane-tray.png")))
            return false;
    }
    return true;
}

// One image of a Windows icon file: PNG at 256 pixels, where Windows expects it compressed, and a
// 32-bit bitmap below, stored bottom-up at twice its height with an all-clear AND mask (the alpha
// channel alone decides what shows).
QByteArray windowsIconImage(const QImage &image)
{
    QByteArray data;
    if (image.width() == 256) {
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return data;
    }
    const int size = image.width();
    const int maskStride = (size + 31) / 32 * 4;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(40) << qint32(size) << qint32(size * 2) << quint16(1) << quint16(32) << quint32(0)
        << quint32(size * size * 4 + maskStride * size) << qint32(0) << qint32(0) << quint32(0) << quint32(0);
    for (int y = size - 1; y >= 0; --y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < size; ++x)
            out << quint32(line[x]);
    }
    return data + QByteArray(maskStride * size, '\0');
}

// The executable's own icon, at every size that Explorer, the Start menu and the taskbar ask for
// (Qt's writer puts one image in an icon file).
bool saveWindowsIcon(const QDir &dir)
{
    const int sizes[] = {16, 24, 32, 48, 64, 128, 256};
    QByteArray entries;
    QByteArray images;
    QDataStream entry(&entries, QIODevice::WriteOnly);
    entry.setByteOrder(QDataStream::LittleEndian);
    const quint32 firstOffset = 6 + 16 * std::size(sizes);
    for (const int size : sizes) {
        const QByteArray image =
            windowsIconImage(applicationIcon(size).convertToFormat(QImage::Format_ARGB32));
        entry << quint8(size % 256) << quint8(size % 256) << quint8(0) << quint8(0) << quint16(1)
              << quint16(32) << quint32(image.size()) << quint32(firstOffset + images.size());
        images += image;
    }
    QByteArray file;
    QDataStream header(&file, QIODevice::WriteOnly);
    header.setByteOrder(QDataStream::LittleEndian);
    header << quint16(0) << quint16(1) << quint16(std::size(sizes));
    QFile out(dir.filePath(QStringLiteral("lumivane.ico")));
    if (out.open(QIODevice::WriteOnly) &&
        out.write(file + entries + images) == file.size() + entries.size() + images.size())
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(out.fileName()));
    return false;
}

// The mode glyphs for screens of twice the density, named as the program looks for them.
bool saveDoubleDensityGlyphs(const QDir &dir)
{
    return save(bright(2), dir, QStringLiteral("bright@2x.png")) &&
        save(breath(2), dir, QStringLiteral("breath@2x.png")) &&
        save(loop(2), dir, QStringLiteral("loop@2x.png")) &&
        save(horse(2), dir, QStringLiteral("horse@2x.png"));
}

// The tray icon at the sizes trays ask for besides 24: 16, 20, 24 and 32 pixels on Windows at
// 100 to 200 %, 22 to 32 on X11 trays, and twice those on dense screens.
bool saveTrayIconSizes(const QDir &dir)
{
    for (int size : {16, 20, 32, 40, 48, 64}) {
        if (!save(badge(size), dir, QStringLiteral("SystemTrayIcon-%1.png").arg(size)))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: lumivane-artwork <output directory>\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const bool ok = save(badge(24), dir, QStringLiteral("SystemTrayIcon.png")) &&
        save(bright(), dir, QStringLiteral("bright.png")) &&
        save(breath(), dir, QStringLiteral("breath.png")) && save(loop(), dir, QStringLiteral("loop.png")) &&
        save(horse(), dir, QStringLiteral("horse.png")) &&
        save(badge(128), dir, QStringLiteral("Tarvo Lumivane.ico")) && saveThemeIcons(dir) &&
        saveDoubleDensityGlyphs(dir) && saveTrayIconSizes(dir) && saveWindowsIcon(dir);
    return ok ? 0 : 1;
}
