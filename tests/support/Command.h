#ifndef COMMAND_H
#define COMMAND_H

#include <QByteArray>
#include <QString>

// Runs a command line of words separated by blanks, as a user would type it (no quoting); its exit
// code, or -1 when it did not end normally within 5 minutes, and what it wrote to standard output
// and error.
int runCommand(const QString &commandLine, QByteArray *output = nullptr);

#endif // COMMAND_H
