#ifndef TESTFILES_H
#define TESTFILES_H

#include <QByteArray>
#include <QString>

namespace TestFiles {

// The file's whole content; empty when it cannot be read.
QByteArray readAll(const QString &path);

} // namespace TestFiles

#endif // TESTFILES_H
