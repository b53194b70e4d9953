#include "LaunchCommand.h"

#include <algorithm>

namespace {

// Characters that an Exec argument may hold only inside double quotes.
bool isReserved(QChar c)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    return reserved.contains(c);
}

// Characters that take a backslash inside double quotes.
bool isQuotedEscape(QChar c)
{
    return c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\');
}

QString inQuotes(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// The escapes of a string value of a desktop entry; they apply before the quoting of Exec.
QString escapeString(const QString &text)
{
    QString escaped;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            escaped += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            escaped += QLatin1String("\\n");
        else if (c == QLatin1Char('\t'))
            escaped += QLatin1String("\\t");
        else if (c == QLatin1Char('\r'))
            escaped += QLatin1String("\\r");
        else
            escaped += c;
    }
    return escaped;
}

// Undoes escapeString. An unknown escape keeps its backslash, as desktop parsers do, so that the
// common single-backslash "\$" still reaches the quoting rules.
QString unescapeString(const QString &text)
{
    QString plain;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\') || i + 1 == text.size()) {
            plain += c;
            continue;
        }
        const QChar next = text.at(++i);
        if (next == QLatin1Char('s'))
            plain += QLatin1Char(' ');
        else if (next == QLatin1Char('n'))
            plain += QLatin1Char('\n');
        else if (next == QLatin1Char('t'))
            plain += QLatin1Char('\t');
        else if (next == QLatin1Char('r'))
            plain += QLatin1Char('\r');
        else if (next == QLatin1Char('\\'))
            plain += QLatin1Char('\\');
        else
            plain += QLatin1Char('\\') + QString(next);
    }
    return plain;
}

} // namespace

QString LaunchCommand::runValue(const QString &nativePath)
{
    return nativePath.contains(QLatin1Char(' ')) ? inQuotes(nativePath) : nativePath;
}

bool LaunchCommand::runValueNames(const QVariant &value, const QString &nativePath)
{
    // An empty path would otherwise match the empty value that means "off".
    if (nativePath.isEmpty() || value.userType() != QMetaType::QString)
        return false;
    const QString text = value.toString();
    return text == nativePath || text == inQuotes(nativePath);
}

QString LaunchCommand::execValue(const QString &program)
{
    const bool quote = std::any_of(program.cbegin(), program.cend(), isReserved);
    QString command;
    for (const QChar c : program) {
        if (quote && isQuotedEscape(c))
            command += QLatin1Char('\\');
        command += c;
        if (c == QLatin1Char('%'))
            command += QLatin1Char('%');
    }
    return escapeString(quote ? inQuotes(command) : command);
}

QString LaunchCommand::tryExecValue(const QString &program)
{
    return escapeString(program);
}

std::optional<QStringList> LaunchCommand::execArguments(const QString &value)
{
    const QString line = unescapeString(value);
    QStringList arguments;
    QString argument;
    bool open = false; // an argument is being read
    bool quoted = false; // ... inside double quotes
    bool closed = false; // a quoted argument has just ended: only a blank may follow
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                quoted = false;
                closed = true;
                continue;
            }
            if (c == QLatin1Char('\\')) {
                if (i + 1 == line.size() || !isQuotedEscape(line.at(i + 1)))
                    return std::nullopt;
                argument += line.at(++i);
                continue;
            }
            if (c == QLatin1Char('`') || c == QLatin1Char('$'))
                return std::nullopt;
        } else if (c == QLatin1Char(' ')) {
            if (open)
                arguments << argument;
            argument.clear();
            open = closed = false;
            continue;
        } else if (closed) {
            return std::nullopt;
        } else if (c == QLatin1Char('"') && !open) {
            open = quoted = true;
            continue;
        } else if (isReserved(c)) {
            return std::nullopt;
        }
        if (c == QLatin1Char('%')) {
            if (i + 1 == line.size() || line.at(i + 1) != QLatin1Char('%'))
                return std::nullopt;
            ++i;
        }
        argument += c;
        open = true;
    }
    if (quoted)
        return std::nullopt;
    if (open)
        arguments << argument;
    return arguments;
}
