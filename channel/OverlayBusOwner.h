#ifndef OVERLAYBUSOWNER_H
#define OVERLAYBUSOWNER_H

#include <QString>

class QDBusConnection;

// Who owns the overlay's name on the session bus (Linux), asked the one way that every sender
// and the instance question share: the owner's unique name, to which a call never starts an
// overlay through the bus, and which an owner that ends meanwhile takes with it.
namespace OverlayBusOwner {

// Whether the session's bus is there for a sender to call on; where it is not, why, in the words
// a sender prints.
bool sessionBusAnswers(QString *why);
// The owner's unique name; empty when nobody owns the overlay's name.
QString find(QDBusConnection &bus);
// The same, once somebody owns it or the wait is over.
QString waitFor(QDBusConnection &bus, int waitMs);

} // namespace OverlayBusOwner

#endif // OVERLAYBUSOWNER_H
