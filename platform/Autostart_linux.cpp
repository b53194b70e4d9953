#include "Autostart.h"

#include "LaunchCommand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStringList>

#include <algorithm>

namespace {

const QLatin1String EntryGroup("[Desktop Entry]");

// The keys this program writes; every other line of an existing entry is kept, as desktop entry
// writers must.
const QLatin1String ManagedKeys[] = {
    QLatin1String("Type"),
    QLatin1String("Name"),
    QLatin1String("Icon"),
    QLatin1String("Exec"),
    QLatin1String("Hidden"),
    QLatin1String("X-GNOME-Autostart-enabled"),
};

QString entryPath()
{
    // A relative XDG_CONFIG_HOME is invalid and is ignored like an unset one.
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty() || QDir::isRelativePath(configHome))
        configHome = QDir::homePath() + QLatin1String("/.config");
    return configHome + QLatin1String("/autostart/lumivane.desktop");
}

bool isEntryHeader(const QString &line)
{
    return line.trimmed() == EntryGroup;
}

QString readEntry()
{
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

// The key of a "key=value" line, or an empty string for headers, comments and blank lines.
QString keyOf(const QString &line)
{
    if (line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char('[')))
        return QString();
    const int equals = line.indexOf(QLatin1Char('='));
    return equals < 0 ? QString() : line.left(equals).trimmed();
}

QHash<QString, QString> entryKeys(const QString &text)
{
    QHash<QString, QString> keys;
    bool inEntry = false;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('[')))
            inEntry = isEntryHeader(line);
        else if (inEntry && !keyOf(line).isEmpty())
            keys.insert(keyOf(line), line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed());
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

QString rewrittenEntry(const QString &existing, bool enabled, const QString &executablePath)
{
    QStringList ours = {
        QStringLiteral("Type=Application"),
        QStringLiteral("Name=Lumivane"),
        QStringLiteral("Icon=lumivane"),
        QLatin1String("Exec=") + LaunchCommand::execValue(executablePath),
    };
    // Hidden is how the freedesktop autostart switches an entry off without deleting it.
    if (!enabled)
        ours << QStringLiteral("Hidden=true");

    QStringList lines = existing.split(QLatin1Char('\n'));
    if (lines.constLast().isEmpty())
        lines.removeLast();
    if (std::none_of(lines.cbegin(), lines.cend(), isEntryHeader))
        return EntryGroup + QLatin1Char('\n') + ours.join(QLatin1Char('\n')) + QLatin1Char('\n');

    QStringList result;
    bool inEntry = false;
    for (const QString &line : qAsConst(lines)) {
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = isEntryHeader(line);
            result << line;
            if (inEntry)
                result << ours;
            continue;
        }
        const QString key = keyOf(line);
        if (inEntry &&
            std::find(std::begin(ManagedKeys), std::end(ManagedKeys), key) != std::end(ManagedKeys))
            continue;
        result << line;
    }
    return result.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace

bool Autostart::isEnabled(const QString &executablePath)
{
    const QHash<QString, QString> keys = entryKeys(readEntry());
    if (isTrue(keys.value(QStringLiteral("Hidden"))) ||
        isFalse(keys.value(QStringLiteral("X-GNOME-Autostart-enabled"))))
        return false;
    const std::optional<QStringList> command =
        LaunchCommand::execArguments(keys.value(QStringLiteral("Exec")));
    return command && *command == QStringList(executablePath);
}

bool Autostart::setEnabled(bool enabled, const QString &executablePath)
{
    const QString path = entryPath();
    const QString text = rewrittenEntry(readEntry(), enabled, executablePath);
    // A folder that cannot be made shows as the save file failing to open.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0 && file.commit())
        return true;
    qWarning("Autostart: could not write %s: %s", qUtf8Printable(path), qUtf8Printable(file.errorString()));
    return false;
}
