#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <windows.h>

// The Windows deliverables: the deploy folder runs on its own, and the installer puts it under the
// user's program folder with a Start-menu entry and takes everything away again on uninstall.
namespace {

const QString uninstallKey =
    QStringLiteral(R"(HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumivane)");
const QString runKey = QStringLiteral(R"(HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run)");

// What a clean Windows offers a program: the system folders, and neither the build's DLL
// directories nor Qt's plugin path.
QProcessEnvironment cleanEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"WINEPATH", "QT_PLUGIN_PATH", "QT_QPA_PLATFORM_PLUGIN_PATH", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("PATH"), QStringLiteral(R"(C:\windows\system32;C:\windows)"));
    environment.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
    return environment;
}

// Files below a folder, as paths relative to it, with their sizes.
QMap<QString, qint64> filesBelow(const QString &folder)
{
    QMap<QString, qint64> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        files.insert(QDir(folder).relativeFilePath(it.filePath()), it.fileInfo().size());
    }
    return files;
}

// The event that the overlay of a folder waits on to end (twins: app/TerminationWatcher_win.cpp,
// cmake/windows/installer.nsi.in). Closing it succeeds only for an event that exists.
HANDLE quitEvent(const QString &folder, bool create = false)
{
    const QString name = QStringLiteral("Local\\Lumivane-quit:") + folder.toLower();
    const auto *wide = reinterpret_cast<const wchar_t *>(name.utf16());
    return create ? CreateEventW(nullptr, FALSE, FALSE, wide) : OpenEventW(SYNCHRONIZE, FALSE, wide);
}

struct Run
{
    int exitCode = -1;
    QByteArray output;
};

// Starts a deployed lumivane.exe with a clean environment; with -x it ends at once with the
// parser's error, which it can only print once its DLLs and the platform plugin have loaded.
Run runWithUnknownOption(const QString &folder)
{
    QProcess process;
    process.setProcessEnvironment(cleanEnvironment());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(folder + QStringLiteral("/lumivane.exe"), {QStringLiteral("-x")});
    if (!process.waitForFinished(30000))
        process.kill();
    process.waitForFinished(5000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAll()};
}

} // namespace

class tst_InstallerWin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void deployFolderRunsAlone();
    void folderWithoutQtDoesNotRun();
    void installsPerUser();
    void installedProgramRuns();
    void updateEndsAndRestartsRunningProgram();
    void uninstallRemovesWhatItInstalled();

private:
    void removeInstallation();
    const QString deployDir = QStringLiteral(LUMIVANE_DEPLOY_DIR);
    QString installDir;
    QString startMenuEntry;
};

void tst_InstallerWin::initTestCase()
{
    QVERIFY2(QFile::exists(QStringLiteral(LUMIVANE_SETUP)), "build the installer target first");
    QVERIFY(QFile::exists(deployDir + QStringLiteral("/lumivane.exe")));
    const QString localAppData = qEnvironmentVariable("LOCALAPPDATA");
    QVERIFY(!localAppData.isEmpty());
    installDir = QDir::fromNativeSeparators(localAppData) + QStringLiteral("/Programs/Lumivane");
    startMenuEntry = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation) +
        QStringLiteral("/Lumivane.lnk");
    removeInstallation();
}

void tst_InstallerWin::cleanupTestCase()
{
    removeInstallation();
}

void tst_InstallerWin::removeInstallation()
{
    QDir(installDir).removeRecursively();
    QFile::remove(startMenuEntry);
    QSettings(uninstallKey, QSettings::NativeFormat).remove(QString());
    QSettings run(runKey, QSettings::NativeFormat);
    run.remove(QStringLiteral("lumivane"));
    run.remove(QStringLiteral("lumivane-test-other"));
}

void tst_InstallerWin::deployFolderRunsAlone()
{
    const Run run = runWithUnknownOption(deployDir);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.output.contains("Unknown option 'x'"), run.output.constData());

    const QMap<QString, qint64> files = filesBelow(deployDir);
    for (const char *name : {"Qt5Core.dll", "Qt5Gui.dll", "Qt5Widgets.dll", "platforms/qwindows.dll",
             "libstdc++-6.dll", "libgcc_s_seh-1.dll", "libwinpthread-1.dll", "licenses/Qt/LICENSE.LGPL3"})
        QVERIFY2(files.contains(QString::fromLatin1(name)), name);
}

// The clean environment really is clean: the same folder without Qt does not start.
void tst_InstallerWin::folderWithoutQtDoesNotRun()
{
    QTemporaryDir copy;
    QVERIFY(copy.isValid());
    const QMap<QString, qint64> files = filesBelow(deployDir);
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        if (it.key() == QLatin1String("Qt5Core.dll"))
            continue;
        const QString target = copy.path() + QLatin1Char('/') + it.key();
        QVERIFY(QDir().mkpath(QFileInfo(target).path()));
        QVERIFY(QFile::copy(deployDir + QLatin1Char('/') + it.key(), target));
    }
    const Run run = runWithUnknownOption(copy.path());
    QVERIFY(run.exitCode != 1);
    QVERIFY(!run.output.contains("Unknown option"));
}

void tst_InstallerWin::installsPerUser()
{
    QProcess setup;
    setup.start(QStringLiteral(LUMIVANE_SETUP), {QStringLiteral("/S")});
    QVERIFY(setup.waitForFinished(120000));
    QCOMPARE(setup.exitCode(), 0);

    QMap<QString, qint64> expected = filesBelow(deployDir);
    QMap<QString, qint64> installed = filesBelow(installDir);
    QVERIFY(installed.remove(QStringLiteral("uninstall.exe")) == 1);
    QCOMPARE(installed, expected);
    QVERIFY(QFile::exists(startMenuEntry));

    const QSettings entry(uninstallKey, QSettings::NativeFormat);
    const QString dir = QDir::toNativeSeparators(installDir);
    for (const auto &[name, value] :
        std::initializer_list<std::pair<const char *, QVariant>> {{"DisplayName", QStringLiteral("Lumivane")},
            {"DisplayVersion", QStringLiteral(LUMIVANE_VERSION)},
            {"Publisher", QStringLiteral(LUMIVANE_PUBLISHER)},
            {"DisplayIcon", QStringLiteral("%1\\lumivane.exe,0").arg(dir)}, {"InstallLocation", dir},
            {"URLInfoAbout", QStringLiteral("https://" LUMIVANE_SUPPORT_HOST "/")}, {"NoModify", 1},
            {"NoRepair", 1}, {"UninstallString", QStringLiteral("\"%1\\uninstall.exe\"").arg(dir)}})
        QVERIFY2(entry.value(QLatin1String(name)) == value, name);
    QVERIFY(entry.value(QStringLiteral("EstimatedSize")).toInt() > 1024); // KiB, of tens of MiB
}

void tst_InstallerWin::installedProgramRuns()
{
    const Run run = runWithUnknownOption(installDir);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.output.contains("Unknown option 'x'"), run.output.constData());
}

// An update over the running program ends it as its tray menu does (status 0), puts down the new
// build, keeps the start-at-logon value and starts the program again. A copy that does not end
// when asked is left running, nothing changes, and a silent run says so by its status.
void tst_InstallerWin::updateEndsAndRestartsRunningProgram()
{
    const QString licence = QStringLiteral("/licenses/THIRD-PARTY.txt");
    QVERIFY(QFile::resize(installDir + licence, 0));
    const QString executable = QDir::toNativeSeparators(installDir + QStringLiteral("/lumivane.exe"));
    const HANDLE file = CreateFileW(reinterpret_cast<const wchar_t *>(executable.utf16()), GENERIC_READ,
        FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const HANDLE event = quitEvent(installDir, true);
    QCOMPARE(QProcess::execute(QStringLiteral(LUMIVANE_SETUP), {QStringLiteral("/S")}), 2);
    QCOMPARE(WaitForSingleObject(event, 0), DWORD(WAIT_OBJECT_0));
    QVERIFY(CloseHandle(file) && CloseHandle(event) && QFileInfo(installDir + licence).size() == 0);

    QSettings(runKey, QSettings::NativeFormat).setValue(QStringLiteral("lumivane"), executable);
    QProcess running;
    running.setProcessEnvironment(cleanEnvironment());
    running.start(executable, QStringList());
    QTRY_VERIFY_WITH_TIMEOUT(CloseHandle(quitEvent(installDir)), 30000);
    QCOMPARE(QProcess::execute(QStringLiteral(LUMIVANE_SETUP), {QStringLiteral("/S")}), 0);
    QVERIFY(running.waitForFinished(10000) && running.exitStatus() == QProcess::NormalExit &&
        !running.exitCode());
    QCOMPARE(QFileInfo(installDir + licence).size(), QFileInfo(deployDir + licence).size());
    QCOMPARE(
        QSettings(runKey, QSettings::NativeFormat).value(QStringLiteral("lumivane")).toString(), executable);
    QTRY_VERIFY_WITH_TIMEOUT(CloseHandle(quitEvent(installDir)), 30000);
}

void tst_InstallerWin::uninstallRemovesWhatItInstalled()
{
    // The program runs, started again by the update. What it writes when start at logon is on, and
    // what is not ours to remove.
    QSettings run(runKey, QSettings::NativeFormat);
    run.setValue(
        QStringLiteral("lumivane"), QDir::toNativeSeparators(installDir + QStringLiteral("/lumivane.exe")));
    run.setValue(QStringLiteral("lumivane-test-other"), QStringLiteral(R"(C:\other\other.exe)"));
    run.sync();
    QFile userFile(installDir + QStringLiteral("/notes.txt"));
    QVERIFY(userFile.open(QIODevice::WriteOnly));
    userFile.close();

    // The uninstaller copies itself away and goes on from there, the way a user runs it; its
    // last step removes its entry from the list of installed programs.
    QVERIFY(QProcess::execute(installDir + QStringLiteral("/uninstall.exe"), {QStringLiteral("/S")}) == 0);
    QTRY_VERIFY_WITH_TIMEOUT(QSettings(uninstallKey, QSettings::NativeFormat).childKeys().isEmpty(), 60000);
    QVERIFY(!quitEvent(installDir));

    QCOMPARE(filesBelow(installDir).keys(), QStringList {QStringLiteral("notes.txt")});
    QCOMPARE(QDir(installDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
        QStringList {QStringLiteral("notes.txt")});
    QVERIFY(!QFile::exists(startMenuEntry));
    run.sync();
    QVERIFY(!run.contains(QStringLiteral("lumivane")));
    QCOMPARE(
        run.value(QStringLiteral("lumivane-test-other")).toString(), QStringLiteral(R"(C:\other\other.exe)"));
}

QTEST_GUILESS_MAIN(tst_InstallerWin)
#include "tst_installer_win.moc"
