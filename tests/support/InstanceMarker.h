#ifndef INSTANCEMARKER_H
#define INSTANCEMARKER_H

#include <QStringList>

namespace InstanceMarker {

// On Unix, the files in TMPDIR from which the marker segment's key is made: one while an instance
// runs, none once the last one ended cleanly. Windows names its segments without files.
QStringList keyFiles();

} // namespace InstanceMarker

#endif // INSTANCEMARKER_H
