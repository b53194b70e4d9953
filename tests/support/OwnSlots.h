#ifndef OWNSLOTS_H
#define OWNSLOTS_H

#include <QByteArray>
#include <QList>
#include <QMetaMethod>
#include <QPair>

// Compares the methods a class declares itself, in order, with the slots EXPECTED (signature and
// access): nothing else is declared, and every one is a slot that returns nothing.
void compareOwnSlots(const QMetaObject &meta, const QList<QPair<QByteArray, QMetaMethod::Access>> &expected);

#endif // OWNSLOTS_H
