#include "autostart/Autostart.h"
#include "support/MessageCapture.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

const QString Program = QStringLiteral("/usr/bin/lumivane");

using TestFiles::readAll;

void writeAll(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(data), qint64(data.size()));
}

// The freedesktop validator accepts the entry, so that desktop sessions do not skip it.
void validate(const QString &path)
{
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    QVERIFY2(!validator.isEmpty(), "desktop-file-validate is missing: run scripts/install-deps.sh");
    QProcess validation;
    validation.setProcessChannelMode(QProcess::MergedChannels);
    validation.start(validator, {path});
    QVERIFY(validation.waitForFinished(30000));
    const QByteArray output = validation.readAll();
    QVERIFY2(validation.exitCode() == 0 && !output.contains("error"), output.constData());
}

} // namespace

// The XDG autostart entry: what is written, what reads as switched on, and where it lives.
class tst_Autostart : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void writesEntry();
    void pathRoundTrips_data();
    void pathRoundTrips();
    void reads_data();
    void reads();
    void keepsForeignKeys();
    void usersFile_data();
    void usersFile();
    void location_data();
    void location();
    void entryIsValid_data();
    void entryIsValid();
    void menuEntryIsValid();

private:
    QString entryPath() const { return config->path() + QLatin1String("/autostart/lumivane.desktop"); }

    std::unique_ptr<QTemporaryDir> config;
    std::unique_ptr<QTemporaryDir> home;
};

void tst_Autostart::init()
{
    config = std::make_unique<QTemporaryDir>();
    home = std::make_unique<QTemporaryDir>();
    QVERIFY(config->isValid() && home->isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config->path()));
    qputenv("HOME", QFile::encodeName(home->path()));
}

void tst_Autostart::writesEntry()
{
    const QByteArray entry(
        "[Desktop Entry]\nType=Application\nName=Lumivane\nIcon=lumivane\nExec=/usr/bin/lumivane\n"
        "TryExec=/usr/bin/lumivane\n");

    // Switched off, the entry is written even where there was none, hidden.
    QVERIFY(Autostart::setEnabled(false, Program));
    QCOMPARE(readAll(entryPath()), entry + "Hidden=true\n");
    QVERIFY(!Autostart::isEnabled(Program));

    QVERIFY(Autostart::setEnabled(true, Program));
    QCOMPARE(readAll(entryPath()), entry);
    QVERIFY(Autostart::isEnabled(Program));
}

void tst_Autostart::pathRoundTrips_data()
{
    QTest::addColumn<QString>("program");
    // Exec, then TryExec, which names the file: neither quoted nor with '%' doubled.
    QTest::addColumn<QByteArray>("execLines");

    QTest::newRow("blank") << QStringLiteral("/opt/Lumi vane/lumivane")
                           << QByteArray(R"(Exec="/opt/Lumi vane/lumivane")"
                                         "\nTryExec=/opt/Lumi vane/lumivane");
    QTest::newRow("blank and dollar") << QStringLiteral("/home/a b/$x/lumivane")
                                      << QByteArray(R"(Exec="/home/a b/\\$x/lumivane")"
                                                    "\nTryExec=/home/a b/$x/lumivane");
    QTest::newRow("percent") << QStringLiteral("/opt/100%/lumivane")
                             << QByteArray("Exec=/opt/100%%/lumivane\nTryExec=/opt/100%/lumivane");
    QTest::newRow("backslash") << QStringLiteral("/opt/a\\b/lumivane")
                               << QByteArray(
                                      "Exec=\"/opt/a\\\\\\\\b/lumivane\"\nTryExec=/opt/a\\\\b/lumivane");
}

void tst_Autostart::pathRoundTrips()
{
    QFETCH(QString, program);
    QFETCH(QByteArray, execLines);

    Autostart::setEnabled(true, program);
    QVERIFY(readAll(entryPath()).contains(QByteArray('\n' + execLines + '\n')));
    QVERIFY(Autostart::isEnabled(program));
}

void tst_Autostart::reads_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<bool>("enabled");

    const QByteArray head("[Desktop Entry]\nType=Application\nName=Lumivane\n");
    QTest::newRow("on") << head + "Exec=/usr/bin/lumivane\n" << true;
    QTest::newRow("quoted without need") << head + "Exec=\"/usr/bin/lumivane\"\n" << true;
    QTest::newRow("blanks around equals") << head + "Exec = /usr/bin/lumivane\n" << true;
    QTest::newRow("no final newline") << head + "Exec=/usr/bin/lumivane" << true;
    QTest::newRow("Hidden=false") << head + "Exec=/usr/bin/lumivane\nHidden=false\n" << true;
    QTest::newRow("GNOME enabled") << head + "Exec=/usr/bin/lumivane\nX-GNOME-Autostart-enabled=true\n"
                                   << true;
    QTest::newRow("Hidden=1") << head + "Exec=/usr/bin/lumivane\nHidden=1\n" << false;
    QTest::newRow("GNOME disabled") << head + "Exec=/usr/bin/lumivane\nX-GNOME-Autostart-enabled=false\n"
                                    << false;
    QTest::newRow("with option") << head + "Exec=/usr/bin/lumivane -s\n" << false;
    QTest::newRow("Exec in another group") << head + "[Desktop Action x]\nExec=/usr/bin/lumivane\n" << false;
    QTest::newRow("no group") << QByteArray("Exec=/usr/bin/lumivane\n") << false;
}

void tst_Autostart::reads()
{
    QFETCH(QByteArray, entry);
    QFETCH(bool, enabled);

    writeAll(entryPath(), entry);
    QCOMPARE(Autostart::isEnabled(Program), enabled);
}

void tst_Autostart::keepsForeignKeys()
{
    writeAll(entryPath(),
        "# Lumivane\n[Desktop "
        "Entry]\nName=Old\nName[de]=Alt\nExec=/old/lumivane\nX-GNOME-Autostart-enabled=false\n"
        "X-GNOME-Autostart-Delay=5\n\n[Desktop Action quit]\nName=Quit\nExec=/old/lumivane --quit\n");

    Autostart::setEnabled(true, Program);
    QCOMPARE(readAll(entryPath()),
        QByteArray(
            "# Lumivane\n[Desktop Entry]\nType=Application\nName=Lumivane\nIcon=lumivane\n"
            "Exec=/usr/bin/lumivane\nTryExec=/usr/bin/lumivane\nName[de]=Alt\nX-GNOME-Autostart-Delay=5\n\n"
            "[Desktop Action quit]\nName=Quit\nExec=/old/lumivane --quit\n"));
    QVERIFY(Autostart::isEnabled(Program));

    Autostart::setEnabled(false, Program);
    const QList<QByteArray> lines = readAll(entryPath()).split('\n');
    QCOMPARE(lines.count("Hidden=true"), 1);
    QCOMPARE(lines.count("Exec=/usr/bin/lumivane"), 1);
    QVERIFY(lines.contains("X-GNOME-Autostart-Delay=5"));
    QVERIFY(!Autostart::isEnabled(Program));
}

void tst_Autostart::usersFile_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("stored");

    // Entries written back unchanged, so that kept bytes compare whole.
    const QByteArray ours(
        "[Desktop Entry]\nType=Application\nName=Lumivane\nIcon=lumivane\nExec=/usr/bin/lumivane\n"
        "TryExec=/usr/bin/lumivane\n");
    const QByteArray full = ours + QByteArray(64 * 1024 - ours.size() - 1, '#') + '\n';
    QTest::newRow("link to a note") << int(S_IFLNK) << QByteArray("milk\nExec=x\n") << false;
    QTest::newRow("FIFO") << int(S_IFIFO) << QByteArray() << false;
    QTest::newRow("folder") << int(S_IFDIR) << QByteArray() << false;
    QTest::newRow("device") << int(S_IFCHR) << QByteArray() << false;
    QTest::newRow("64 KiB") << int(S_IFREG) << full << true;
    QTest::newRow("64 KiB + 1") << int(S_IFREG) << full + '\n' << false;
    QTest::newRow("64 KiB, would grow")
        << int(S_IFREG) << QByteArray(full).replace("Exec=", "#xec=") << false;
    QTest::newRow("bytes not UTF-8") << int(S_IFREG) << ours + "Comment=caf\xe9\n# \xff\xfe\r\n" << true;
    QTest::newRow("link to an entry") << int(S_IFLNK) << ours + "X-KDE-autostart-phase=2\n" << true;
}

// Only a desktop entry of a sane size, reached through links or not, is rewritten; nothing else at
// its path is replaced or read in a way that could block.
void tst_Autostart::usersFile()
{
    QFETCH(int, type);
    QFETCH(QByteArray, content);
    QFETCH(bool, stored);

    const QByteArray encodedPath = QFile::encodeName(entryPath());
    const char *const path = encodedPath.constData();
    const QString target = type == S_IFLNK ? home->filePath(QStringLiteral("linked")) : entryPath();
    QVERIFY(QDir().mkpath(config->filePath(QStringLiteral("autostart"))));
    if (!content.isEmpty())
        writeAll(target, content);
    if (type == S_IFLNK)
        QVERIFY(QFile::link(target, entryPath()));
    else if (type != S_IFREG) // Where mknod is refused, a link to /dev/null, which cannot be replaced either.
        QVERIFY((type == S_IFDIR ? ::mkdir(path, 0700) : ::mknod(path, mode_t(type) | 0600, makedev(1, 3))) ==
                0 ||
            QFile::link(QStringLiteral("/dev/null"), entryPath()));
    struct stat link = {}, before = {}, after = {};
    QVERIFY(::lstat(path, &link) == 0 && ::stat(path, &before) == 0);

    const MessageCapture warnings(QtWarningMsg);
    QCOMPARE(Autostart::setEnabled(true, Program), stored);
    QCOMPARE(MessageCapture::lines().size(), stored ? 0 : 1);
    QVERIFY(::lstat(path, &after) == 0 && after.st_mode == link.st_mode);
    QVERIFY(::stat(path, &after) == 0 && (after.st_ino != before.st_ino) == stored);
    if (!content.isEmpty())
        QCOMPARE(readAll(target), content);
    QCOMPARE(Autostart::isEnabled(Program), stored);
}

void tst_Autostart::location_data()
{
    QTest::addColumn<QString>("configHome");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("obstacle");

    // "@" stands for a scratch folder that is also the working directory. A file made there first
    // where the folder should be, and a folder outside it, refuse the entry, also to root.
    const QString config = QStringLiteral("@/config");
    QTest::newRow("set") << config << QStringLiteral("config") << QString();
    QTest::newRow("unset") << QString() << QStringLiteral("home/.config") << QString();
    QTest::newRow("relative, ignored")
        << QStringLiteral("config") << QStringLiteral("home/.config") << QString();
    QTest::newRow("read-only folder") << QStringLiteral("/proc") << QStringLiteral("/proc") << QString();
    QTest::newRow("file for the folder")
        << config << QStringLiteral("config") << QStringLiteral("config/autostart");
    // An empty folder: HOME unset too.
    QTest::newRow("no home") << QString() << QString() << QString();
}

void tst_Autostart::location()
{
    QFETCH(QString, configHome);
    QFETCH(QString, folder);
    QFETCH(QString, obstacle);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(root.path()));
    const auto restore = qScopeGuard([&previous] { QDir::setCurrent(previous); });
    const QByteArray home = qgetenv("HOME");
    const auto restoreHome = qScopeGuard([&home] { qputenv("HOME", home); });
    if (folder.isEmpty())
        qunsetenv("HOME");
    else
        qputenv("HOME", QFile::encodeName(root.filePath(QStringLiteral("home"))));
    if (configHome.isEmpty())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.replace(QLatin1Char('@'), root.path())));
    if (!obstacle.isEmpty())
        writeAll(obstacle, "[Desktop Entry]\n");
    const bool stored = obstacle.isEmpty() && !folder.isEmpty() && QDir::isRelativePath(folder);

    const MessageCapture warnings(QtWarningMsg);
    QCOMPARE(Autostart::setEnabled(true, Program), stored);
    QCOMPARE(MessageCapture::lines().size(), stored ? 0 : 1);
    QCOMPARE(
        QFileInfo(root.filePath(folder + QLatin1String("/autostart/lumivane.desktop"))).isFile(), stored);
    QCOMPARE(Autostart::isEnabled(Program), stored);
    QVERIFY(!QFileInfo::exists(QStringLiteral("/.config/autostart/lumivane.desktop")));
}

void tst_Autostart::entryIsValid_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("enabled");

    const QStringList programs = {
        QStringLiteral("/usr/bin/lumivane"),
        QStringLiteral("/opt/Lumi vane/lumivane"),
        QStringLiteral("/opt/it's $HOME `x` \\ \"q\" 100%/lumivane"),
        QStringLiteral("/opt/灯/lumivane"),
    };
    for (const QString &program : programs) {
        QTest::newRow(qPrintable(program + QLatin1String(", on"))) << program << true;
        QTest::newRow(qPrintable(program + QLatin1String(", off"))) << program << false;
    }
}

void tst_Autostart::entryIsValid()
{
    QFETCH(QString, program);
    QFETCH(bool, enabled);

    Autostart::setEnabled(enabled, program);
    validate(entryPath());
    QCOMPARE(Autostart::isEnabled(program), enabled);
}

// The menu entry that the build installs.
void tst_Autostart::menuEntryIsValid()
{
    validate(QStringLiteral(LUMIVANE_DESKTOP_FILE));
    QVERIFY(readAll(QStringLiteral(LUMIVANE_DESKTOP_FILE)).split('\n').contains("Icon=lumivane"));
}

QTEST_GUILESS_MAIN(tst_Autostart)
#include "tst_autostart.moc"
