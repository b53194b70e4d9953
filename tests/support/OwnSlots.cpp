#include "OwnSlots.h"

#include <QTest>

void compareOwnSlots(const QMetaObject &meta, const QList<QPair<QByteArray, QMetaMethod::Access>> &expected)
{
    QCOMPARE(meta.methodCount() - meta.methodOffset(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const QMetaMethod method = meta.method(meta.methodOffset() + i);
        QCOMPARE(method.methodSignature(), expected.at(i).first);
        QCOMPARE(method.access(), expected.at(i).second);
        QCOMPARE(method.methodType(), QMetaMethod::Slot);
        QCOMPARE(method.returnType(), int(QMetaType::Void));
    }
}
