#include "autostart/Autostart_win.h"
#include "support/MessageCapture.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString RunKey = QStringLiteral(R"(HKEY_CURRENT_USER\SOFTWARE\Microsoft\Windows\CurrentVersion\Run)");
const QString ValueName = QStringLiteral("lumivane");

QVariant storedValue()
{
    return QSettings(RunKey, QSettings::NativeFormat).value(ValueName);
}

void store(const QVariant &value)
{
    QSettings(RunKey, QSettings::NativeFormat).setValue(ValueName, value);
}

} // namespace

// The per-user Run value under the real key; whatever the user had there is put back at the end.
class tst_AutostartWin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void switchesOnAndOff_data();
    void switchesOnAndOff();
    void reads_data();
    void reads();
    void readingNeverWrites();
    void refusedWrite();

private:
    QVariant saved;
};

void tst_AutostartWin::initTestCase()
{
    saved = storedValue();
}

void tst_AutostartWin::init()
{
    QSettings(RunKey, QSettings::NativeFormat).remove(ValueName);
    QVERIFY(!storedValue().isValid());
}

void tst_AutostartWin::cleanupTestCase()
{
    if (saved.isValid())
        store(saved);
    else
        QSettings(RunKey, QSettings::NativeFormat).remove(ValueName);
}

void tst_AutostartWin::switchesOnAndOff_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("stored");

    QTest::newRow("plain") << QStringLiteral("C:/Lumivane/lumivane.exe")
                           << QStringLiteral(R"(C:\Lumivane\lumivane.exe)");
    QTest::newRow("blanks") << QStringLiteral("C:/Program Files/Lumivane/lumivane.exe")
                            << QStringLiteral(R"("C:\Program Files\Lumivane\lumivane.exe")");
}

void tst_AutostartWin::switchesOnAndOff()
{
    QFETCH(QString, path);
    QFETCH(QString, stored);

    QVERIFY(Autostart::setEnabled(true, path));
    QCOMPARE(storedValue(), QVariant(stored));
    QVERIFY(Autostart::isEnabled(path));

    // Switched off, the value stays, empty.
    QVERIFY(Autostart::setEnabled(false, path));
    QVERIFY(QSettings(RunKey, QSettings::NativeFormat).contains(ValueName));
    QCOMPARE(storedValue(), QVariant(QString()));
    QVERIFY(!Autostart::isEnabled(path));
}

void tst_AutostartWin::reads_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("absent") << QVariant() << false;
    QTest::newRow("bare, written before")
        << QVariant(QStringLiteral(R"(C:\Program Files\Lumivane\lumivane.exe)")) << true;
    QTest::newRow("other case") << QVariant(QStringLiteral(R"(c:\program files\lumivane\lumivane.exe)"))
                                << false;
}

void tst_AutostartWin::reads()
{
    QFETCH(QVariant, value);
    QFETCH(bool, enabled);

    if (value.isValid())
        store(value);
    QCOMPARE(Autostart::isEnabled(QStringLiteral("C:/Program Files/Lumivane/lumivane.exe")), enabled);
}

void tst_AutostartWin::readingNeverWrites()
{
    QVERIFY(!Autostart::isEnabled(QStringLiteral("C:/Lumivane/lumivane.exe")));
    QVERIFY(!storedValue().isValid());
}

// Wine grants every registry write, so the refusal comes from a store whose file is a folder.
void tst_AutostartWin::refusedWrite()
{
    const QTemporaryDir folder;
    QSettings refusing(folder.path(), QSettings::IniFormat);
    const MessageCapture warnings(QtWarningMsg);
    QVERIFY(!Autostart::setEnabled(true, QStringLiteral("C:/Lumivane/lumivane.exe"), refusing));
    QCOMPARE(MessageCapture::lines().size(), 1);
}

QTEST_GUILESS_MAIN(tst_AutostartWin)
#include "tst_autostart_win.moc"
