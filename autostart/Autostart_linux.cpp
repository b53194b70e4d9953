#include "Autostart.h"

#include "AutostartLogging.h"
#include "LaunchCommand.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray EntryGroup("[Desktop Entry]");

// Far more than any desktop entry needs; a larger file is not read, kept in memory or replaced.
constexpr qint64 MaxEntrySize = 64 * 1024;

// The keys this program writes; every other line of an existing entry is kept byte for byte, as
// desktop entry writers must.
const QByteArrayList ManagedKeys = {
    "Type", "Name", "Icon", "Exec", "TryExec", "Hidden", "X-GNOME-Autostart-enabled"};

// The file at the entry's path, as far as it was read: empty text when there is none, and why it
// must not be replaced when it is not an entry this program may rewrite.
struct Entry
{
    QByteArray text;
    QString refusal;
};

// Empty when there is no home to put it in.
QString entryPath()
{
    // A relative XDG_CONFIG_HOME is invalid and is ignored like an unset one.
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty() || QDir::isRelativePath(configHome)) {
        // Without HOME, Qt's home is the root folder, which is nobody's.
        const QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty() || QDir::isRelativePath(home))
            return QString();
        configHome = home + QLatin1String("/.config");
    }
    return configHome + QLatin1String("/autostart/lumivane.desktop");
}

bool isEntryHeader(const QByteArray &line)
{
    return line.trimmed() == EntryGroup;
}

bool hasEntryGroup(const QByteArray &text)
{
    const QByteArrayList lines = text.split('\n');
    return std::any_of(lines.cbegin(), lines.cend(), isEntryHeader);
}

Entry readEntry(const QString &path)
{
    // Links are followed: dotfile managers link entries on purpose. Opened without blocking, so that
    // a FIFO or a device there cannot hold the start-up before the event loop.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {QByteArray(), errno == ENOENT ? QString() : qt_error_string(errno)};
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    struct stat status = {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return {QByteArray(), QStringLiteral("not a regular file")};
    if (status.st_size > MaxEntrySize)
        return {QByteArray(), QStringLiteral("larger than 64 KiB")};

    QFile file;
    Entry entry;
    // One byte more than allowed tells a file that grew since fstat.
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        entry.text = file.read(MaxEntrySize + 1);
    if (file.error() != QFileDevice::NoError)
        entry.refusal = file.errorString();
    else if (entry.text.size() > MaxEntrySize)
        entry.refusal = QStringLiteral("larger than 64 KiB");
    else if (!hasEntryGroup(entry.text))
        entry.refusal = QStringLiteral("no [Desktop Entry] group, not a desktop entry");
    return entry;
}

// The key of a "key=value" line, or an empty array for headers, comments and blank lines.
QByteArray keyOf(const QByteArray &line)
{
    if (line.startsWith('#') || line.startsWith('['))
        return QByteArray();
    const int equals = line.indexOf('=');
    return equals < 0 ? QByteArray() : line.left(equals).trimmed();
}

QHash<QByteArray, QString> entryKeys(const QByteArray &text)
{
    QHash<QByteArray, QString> keys;
    bool inEntry = false;
    for (const QByteArray &line : text.split('\n')) {
        if (line.startsWith('['))
            inEntry = isEntryHeader(line);
        else if (inEntry && !keyOf(line).isEmpty())
            keys.insert(keyOf(line), QString::fromUtf8(line.mid(line.indexOf('=') + 1).trimmed()));
    }
    return keys;
}

// Booleans as desktop sessions read them.
bool isTrue(const QString &value)
{
    return value == QLatin1String("true") || value == QLatin1String("1");
}

bool isFalse(const QString &value)
{
    return value == QLatin1String("false") || value == QLatin1String("0");
}

// existing is empty or holds a [Desktop Entry] group; only the managed keys of that group change.
QByteArray rewrittenEntry(const QByteArray &existing, bool enabled, const QString &executablePath)
{
    QByteArrayList ours = {
        "Type=Application",
        "Name=Lumivane",
        "Icon=lumivane",
        "Exec=" + LaunchCommand::execValue(executablePath).toUtf8(),
        // Sessions skip the entry once the program is gone, for instance with its package purged.
        "TryExec=" + LaunchCommand::tryExecValue(executablePath).toUtf8(),
    };
    // Hidden is how the freedesktop autostart switches an entry off without deleting it.
    if (!enabled)
        ours << "Hidden=true";
    if (existing.isEmpty())
        return EntryGroup + '\n' + ours.join('\n') + '\n';

    QByteArrayList lines = existing.split('\n');
    if (lines.constLast().isEmpty())
        lines.removeLast();
    QByteArrayList result;
    bool inEntry = false;
    for (const QByteArray &line : qAsConst(lines)) {
        if (line.startsWith('[')) {
            inEntry = isEntryHeader(line);
            result << line;
            if (inEntry)
                result << ours;
        } else if (!inEntry || !ManagedKeys.contains(keyOf(line))) {
            result << line;
        }
    }
    return result.join('\n') + '\n';
}

bool refuse(const QString &path, const QString &reason)
{
    qCWarning(
        lcAutostart, "Autostart: will not replace %s: %s", qUtf8Printable(path), qUtf8Printable(reason));
    return false;
}

} // namespace

bool Autostart::isEnabled(const QString &executablePath)
{
    const QString path = entryPath();
    if (path.isEmpty())
        return false;
    const Entry entry = readEntry(path);
    if (!entry.refusal.isEmpty())
        return false;
    const QHash<QByteArray, QString> keys = entryKeys(entry.text);
    if (isTrue(keys.value("Hidden")) || isFalse(keys.value("X-GNOME-Autostart-enabled")))
        return false;
    const std::optional<QStringList> command = LaunchCommand::execArguments(keys.value("Exec"));
    return command && *command == QStringList(executablePath);
}

bool Autostart::setEnabled(bool enabled, const QString &executablePath)
{
    const QString path = entryPath();
    if (path.isEmpty())
        return refuse(QStringLiteral("the entry"),
            QStringLiteral("neither HOME nor XDG_CONFIG_HOME is an absolute path"));
    const Entry existing = readEntry(path);
    if (!existing.refusal.isEmpty())
        return refuse(path, existing.refusal);
    const QByteArray text = rewrittenEntry(existing.text, enabled, executablePath);
    // What is written must read back.
    if (text.size() > MaxEntrySize)
        return refuse(path, QStringLiteral("it would grow larger than 64 KiB"));
    // A folder that cannot be made shows as the save file failing to open. Through a link, the save
    // file replaces the link's target and leaves the link in place.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(text) >= 0 && file.commit())
        return true;
    qCWarning(lcAutostart, "Autostart: could not write %s: %s", qUtf8Printable(path),
        qUtf8Printable(file.errorString()));
    return false;
}
