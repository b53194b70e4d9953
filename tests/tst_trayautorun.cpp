#include "autostart/Autostart.h"
#include "support/MessageCapture.h"
#include "support/TestFiles.h"
#include "tray/SystemTray.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QAction *autorunEntry(SystemTray &tray)
{
    return tray.contextMenu()->actions().value(1);
}

using TestFiles::readAll;

} // namespace

// "开机自启动" in the tray menu against the XDG autostart entry of an isolated configuration.
class tst_TrayAutorun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void initialState_data();
    void initialState();
    void toggleWritesAndNextStartReadsBack();
    void refusedToggleShowsStored();

private:
    QString entryPath() const { return config->path() + QLatin1String("/autostart/lumivane.desktop"); }

    std::unique_ptr<QTemporaryDir> config;
};

void tst_TrayAutorun::init()
{
    config = std::make_unique<QTemporaryDir>();
    QVERIFY(config->isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config->path()));
}

void tst_TrayAutorun::initialState_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<bool>("checked");

    const QByteArray self = QFile::encodeName(QCoreApplication::applicationFilePath());
    const QByteArray head("[Desktop Entry]\nType=Application\nName=Lumivane\n");
    QTest::newRow("absent") << false << QByteArray() << false;
    QTest::newRow("empty Exec") << true << head + "Exec=\n" << false;
    QTest::newRow("hidden") << true << head + "Exec=" + self + "\nHidden=true\n" << false;
    QTest::newRow("other case") << true << head + "Exec=" + self.toUpper() + "\n" << false;
    QTest::newRow("other slashes") << true << head + "Exec=" + QByteArray(self).replace("/", "//") + "\n"
                                   << false;
    QTest::newRow("this executable") << true << head + "Exec=" + self + "\n" << true;
    QTest::newRow("this executable, quoted") << true << head + "Exec=\"" + self + "\"\n" << true;
}

// The stored state shows as the check mark, and showing it writes nothing.
void tst_TrayAutorun::initialState()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, entry);
    QFETCH(bool, checked);

    if (exists) {
        QVERIFY(QDir().mkpath(QFileInfo(entryPath()).absolutePath()));
        QFile file(entryPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(entry), qint64(entry.size()));
    }

    SystemTray tray(nullptr);
    QCOMPARE(autorunEntry(tray)->isChecked(), checked);
    QCOMPARE(QFile::exists(entryPath()), exists);
    QCOMPARE(readAll(entryPath()), entry);
}

void tst_TrayAutorun::toggleWritesAndNextStartReadsBack()
{
    const QString self = QCoreApplication::applicationFilePath();
    {
        SystemTray tray(nullptr);
        QVERIFY(!autorunEntry(tray)->isChecked());
        autorunEntry(tray)->trigger();
        QVERIFY(autorunEntry(tray)->isChecked());
        QVERIFY(Autostart::isEnabled(self));
    }
    {
        SystemTray tray(nullptr);
        QVERIFY(autorunEntry(tray)->isChecked());
        autorunEntry(tray)->trigger();
        QVERIFY(!autorunEntry(tray)->isChecked());
        QVERIFY(readAll(entryPath()).split('\n').contains("Hidden=true"));
        QVERIFY(!Autostart::isEnabled(self));
    }
    SystemTray tray(nullptr);
    QVERIFY(!autorunEntry(tray)->isChecked());
}

// A regular file where the autostart folder should be refuses the entry, also to root (tst_autostart
// has the other refusals). The mark goes back to what is stored without a second write: one warning.
void tst_TrayAutorun::refusedToggleShowsStored()
{
    QVERIFY(QFile(config->filePath(QStringLiteral("autostart"))).open(QIODevice::WriteOnly));
    SystemTray tray(nullptr);
    const MessageCapture warnings(QtWarningMsg);
    autorunEntry(tray)->trigger();
    QVERIFY(!autorunEntry(tray)->isChecked());
    QCOMPARE(MessageCapture::lines().size(), 1);
}

QTEST_MAIN(tst_TrayAutorun)
#include "tst_trayautorun.moc"
