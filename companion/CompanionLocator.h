#ifndef COMPANIONLOCATOR_H
#define COMPANIONLOCATOR_H

#include <QString>

#include <functional>

// Finds the companion program that owns the accessory's Bluetooth LE link. It is taken from the
// directory of the running executable when it is there, else from the absolute entries of PATH;
// never from the current directory, which a relative entry (empty, "." or any other) would mean.
namespace CompanionLocator {

// "gattlink.exe" on Windows, "gattlink" elsewhere.
QString fileName();

// The full path of `fileName` in `programDir` or in the first absolute entry of `searchPath`
// (entries separated by `separator`) for which `isProgram` holds; empty when there is none.
QString locate(const QString &fileName, const QString &programDir, const QString &searchPath, QChar separator,
    const std::function<bool(const QString &path)> &isProgram);

// The companion for this process: beside its executable or on its PATH, as an executable file.
QString find();

} // namespace CompanionLocator

#endif // COMPANIONLOCATOR_H
