#include "resources/ResourceImage.h"

#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QSysInfo>
#include <QTest>

// Runs in declaration order: the first test looks at the process before anything else has
// loaded an image through the toolkit's own search.
class tst_ResourceImage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void loadsNoImagePlugin();
    void sameImageAsTheToolkit_data();
    void sameImageAsTheToolkit();
    void unknownPathIsNull();
    void trayIconAtTraySizes();
};

void tst_ResourceImage::loadsNoImagePlugin()
{
    // Linux tells which files a process has mapped; elsewhere there is nothing to look at.
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (QSysInfo::kernelType() != QLatin1String("linux") || !maps.open(QIODevice::ReadOnly))
        QSKIP("the mapped libraries cannot be read here");
    for (const char *path : {":/SystemTrayIcon", ":/bright", ":/breath", ":/loop", ":/horse"})
        QVERIFY(!ResourceImage::load(QLatin1String(path)).isNull());
    const QByteArray mapped = maps.readAll();
    QVERIFY2(!mapped.contains("/imageformats/"), "an image format plugin was loaded");
}

void tst_ResourceImage::sameImageAsTheToolkit_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<QString>("file");
    for (const char *path : {":/SystemTrayIcon", ":/bright", ":/breath", ":/loop", ":/horse"})
        QTest::newRow(path) << QString::fromLatin1(path) << qreal(1) << QString::fromLatin1(path);
    const QString tray = QStringLiteral(":/SystemTrayIcon");
    const QString horse = QStringLiteral(":/horse");
    QTest::newRow("tray, no 2x") << tray << qreal(2) << tray;
    QTest::newRow("horse, 2x") << horse << qreal(2) << QStringLiteral(":/horse@2x");
    QTest::newRow("horse, 3x") << horse << qreal(3) << QStringLiteral(":/horse@2x");
}

void tst_ResourceImage::sameImageAsTheToolkit()
{
    QFETCH(QString, path);
    QFETCH(qreal, ratio);
    QFETCH(QString, file);
    const QPixmap loaded = ResourceImage::load(path, ratio);
    QImage reference = QPixmap(file).toImage();
    QVERIFY(!reference.isNull());
    const qreal referenceRatio = reference.width() / 24;
    // Same logical size at every density; drawn at another density only by one smooth scale of the
    // file's image, before it becomes a pixmap: the reference goes through the same conversions,
    // whose rounding differs between Qt versions when taken in another order.
    QCOMPARE(loaded.size() / loaded.devicePixelRatio(), QSize(24, 24));
    QCOMPARE(loaded.devicePixelRatio(), referenceRatio == 1 ? 1 : ratio);
    if (referenceRatio != loaded.devicePixelRatio())
        reference = QPixmap::fromImage(
            QImage(file).scaled(loaded.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation))
                        .toImage();
    reference.setDevicePixelRatio(loaded.devicePixelRatio());
    QCOMPARE(loaded.toImage().convertToFormat(QImage::Format_ARGB32),
        reference.convertToFormat(QImage::Format_ARGB32));
}

void tst_ResourceImage::trayIconAtTraySizes()
{
    // Every size a tray asks for comes from a file of that size, never from scaling another. A
    // pixmap goes through premultiplied alpha, rounded as the processor's SIMD path rounds: it is
    // compared with a pixmap of the file, not with the file's image.
    const QIcon icon = ResourceImage::loadIcon(QStringLiteral(":/SystemTrayIcon"));
    for (int size : {16, 20, 24, 32, 40, 48, 64}) {
        const QString file = size == 24 ? QStringLiteral(":/SystemTrayIcon.png")
                                        : QStringLiteral(":/SystemTrayIcon-%1.png").arg(size);
        QCOMPARE(icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32),
            QPixmap(file).toImage().convertToFormat(QImage::Format_ARGB32));
    }
}

void tst_ResourceImage::unknownPathIsNull()
{
    QVERIFY(ResourceImage::load(QStringLiteral(":/nothing-here")).isNull());
}

QTEST_MAIN(tst_ResourceImage)
#include "tst_resourceimage.moc"
