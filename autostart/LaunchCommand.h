#ifndef LAUNCHCOMMAND_H
#define LAUNCHCOMMAND_H

#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

// How the command that starts the program at logon is written down and read back: as the data of
// a Windows "Run" registry value and as the Exec key of a freedesktop desktop entry. Pure text
// functions, the same on every platform, so that both forms are tested everywhere.
namespace LaunchCommand {

// The Run value for the executable at nativePath: the path itself, in double quotes when it holds
// a blank, so that Windows does not try "C:\Program.exe" for "C:\Program Files\...".
QString runValue(const QString &nativePath);

// True when a Run value read back starts the executable at nativePath: a string equal to the path,
// bare or in double quotes, letter case and slashes included. An absent (invalid) value, or one
// that is no string, never does.
bool runValueNames(const QVariant &value, const QString &nativePath);

// The Exec value, as it stands in the file, that runs program without arguments: quoted and
// escaped only when the path holds a reserved character, '%' doubled, then the escapes of string
// values applied.
QString execValue(const QString &program);

// The TryExec value, as it stands in the file, that names program: the path with the escapes of
// string values applied.
QString tryExecValue(const QString &program);

// The command line of an Exec value as it stands in the file, its escapes and quoting undone.
// Empty when the value is malformed or uses field codes, which a plain command never does.
std::optional<QStringList> execArguments(const QString &value);

} // namespace LaunchCommand

#endif // LAUNCHCOMMAND_H
