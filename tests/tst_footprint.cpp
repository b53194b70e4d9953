#include "support/OverlayProcess.h"
#include "support/XProbe.h"

#include <QFile>
#include <QTest>

// What the running program has loaded once it has shown itself: nothing of the OpenGL stack it
// never draws with, and no image plugin for the PNG images of its own bundle.
class tst_Footprint : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void notMapped_data();
    void notMapped();
    void cleanupTestCase();

private:
    OverlayProcess overlay;
    QByteArray mapped;
};

void tst_Footprint::initTestCase()
{
    // The program must keep its footprint on its own; the test runner's environment asks Qt to
    // leave out the OpenGL integration, a user's does not.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_XCB_GL_INTEGRATION"));
    QVERIFY(overlay.start(environment, {QStringLiteral("-s")}));
    XProbe probe;
    const xcb_window_t window = probe.selectionOwner("WM_LUMIVANE_MESSAGE");
    // Shown: whatever the first display needs is loaded by now.
    QTRY_VERIFY_WITH_TIMEOUT(probe.isViewable(window), 30000);
    QFile maps(QStringLiteral("/proc/%1/maps").arg(overlay.process.processId()));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    mapped = maps.readAll();
    QVERIFY(mapped.contains("libQt5Widgets"));
}

void tst_Footprint::notMapped_data()
{
    QTest::addColumn<QByteArray>("library");
    QTest::newRow("GLX integration plugin") << QByteArray("libqxcb-glx-integration");
    QTest::newRow("Mesa's GLX") << QByteArray("libGLX_mesa");
    QTest::newRow("DRI driver") << QByteArray("_dri.so");
    QTest::newRow("image plugins") << QByteArray("/imageformats/");
}

void tst_Footprint::notMapped()
{
    QFETCH(QByteArray, library);
    QVERIFY2(!mapped.contains(library), library.constData());
}

void tst_Footprint::cleanupTestCase()
{
    QVERIFY(overlay.stop());
}

QTEST_GUILESS_MAIN(tst_Footprint)
#include "tst_footprint.moc"
