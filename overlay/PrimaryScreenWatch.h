#ifndef PRIMARYSCREENWATCH_H
#define PRIMARYSCREENWATCH_H

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QRect>

class QScreen;

// The primary screen's geometry, in logical pixels and with its origin, followed through Qt's
// screen signals: a new resolution, a move in the virtual desktop, another screen made primary,
// screens plugged in or out. Nothing polls.
class PrimaryScreenWatch : public QObject
{
    Q_OBJECT

public:
    explicit PrimaryScreenWatch(QObject *parent = nullptr);

    QRect geometry() const { return current; }
    // Device pixels per logical pixel on that screen.
    qreal devicePixelRatio() const;

Q_SIGNALS:
    // Emitted only when the geometry differs from the one before.
    void geometryChanged(const QRect &geometry);

private:
    void followPrimary();
    void take(const QRect &geometry);

    QPointer<QScreen> screen;
    QMetaObject::Connection screenConnection;
    QRect current;
};

#endif // PRIMARYSCREENWATCH_H
