#include "resources/ResourceImage.h"

#include <QFile>
#include <QImage>
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
    QTest::newRow("tray") << QStringLiteral(":/SystemTrayIcon");
    QTest::newRow("bright") << QStringLiteral(":/bright");
    QTest::newRow("breath") << QStringLiteral(":/breath");
    QTest::newRow("loop") << QStringLiteral(":/loop");
    QTest::newRow("horse") << QStringLiteral(":/horse");
}

void tst_ResourceImage::sameImageAsTheToolkit()
{
    QFETCH(QString, path);
    const QImage loaded = ResourceImage::load(path).toImage();
    const QImage reference = QPixmap(path).toImage();
    QVERIFY(!reference.isNull());
    QCOMPARE(loaded.size(), QSize(24, 24));
    QCOMPARE(loaded.convertToFormat(QImage::Format_ARGB32), reference.convertToFormat(QImage::Format_ARGB32));
}

void tst_ResourceImage::unknownPathIsNull()
{
    QVERIFY(ResourceImage::load(QStringLiteral(":/nothing-here")).isNull());
}

QTEST_MAIN(tst_ResourceImage)
#include "tst_resourceimage.moc"
