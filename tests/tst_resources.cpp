#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QResource>
#include <QTest>

class tst_Resources : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void trayIconBeforeEventLoop();
    void glyphs_data();
    void glyphs();
    void unknownPathIsNull();
    void storage_data();
    void storage();
    void applicationIcon();
};

void tst_Resources::trayIconBeforeEventLoop()
{
    // No event loop has run yet: the collection is registered during static initialisation.
    const QIcon icon(QStringLiteral(":/SystemTrayIcon"));
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.pixmap(24, 24).size(), QSize(24, 24));
}

void tst_Resources::glyphs_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("size");
    for (const char *name : {"bright", "breath", "loop", "horse"}) {
        QTest::newRow(name) << QStringLiteral(":/%1.png").arg(QLatin1String(name)) << 24;
        QTest::addRow("%s@2x", name) << QStringLiteral(":/%1@2x.png").arg(QLatin1String(name)) << 48;
    }
}

void tst_Resources::glyphs()
{
    QFETCH(QString, path);
    QFETCH(int, size);
    const QImage image = QPixmap(path).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(size, size));
    // White glyphs at 70 % opacity on a transparent ground.
    int maxAlpha = 0;
    int transparent = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            maxAlpha = qMax(maxAlpha, qAlpha(pixel));
            transparent += qAlpha(pixel) == 0;
            if (qAlpha(pixel) > 0)
                QCOMPARE(QColor(pixel).rgb() & 0xffffff, QRgb(0xffffff));
        }
    }
    QCOMPARE(maxAlpha, 179);
    QVERIFY2(transparent > size * size / 3, "the glyph should leave most of its square empty");
}

void tst_Resources::unknownPathIsNull()
{
    QVERIFY(QPixmap(QStringLiteral(":/nothing-here")).isNull());
}

void tst_Resources::storage_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("compression");
    QTest::newRow("tray") << QStringLiteral(":/SystemTrayIcon.png") << int(QResource::NoCompression);
    QTest::newRow("bright") << QStringLiteral(":/bright.png") << int(QResource::NoCompression);
    QTest::newRow("bright@2x") << QStringLiteral(":/bright@2x.png") << int(QResource::NoCompression);
    QTest::newRow("tray, 64") << QStringLiteral(":/SystemTrayIcon-64.png") << int(QResource::NoCompression);
    QTest::newRow("application icon")
        << QStringLiteral(":/Tarvo Lumivane.ico") << int(QResource::ZlibCompression);
}

void tst_Resources::storage()
{
    QFETCH(QString, path);
    QFETCH(int, compression);
    const QResource resource(path);
    QVERIFY(resource.isValid());
    QCOMPARE(int(resource.compressionAlgorithm()), compression);
}

void tst_Resources::applicationIcon()
{
    const QImage icon(QStringLiteral(":/Tarvo Lumivane.ico"));
    QCOMPARE(icon.size(), QSize(128, 128));
    QVERIFY(icon.hasAlphaChannel());
}

QTEST_MAIN(tst_Resources)
#include "tst_resources.moc"
