#ifndef PAINTCOUNTER_H
#define PAINTCOUNTER_H

#include <QHash>
#include <QObject>

#include <initializer_list>

class QWidget;

// Counts the paint events that each of the given widgets receives.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(std::initializer_list<QWidget *> widgets);

    int paints(QObject *widget) const { return counts.value(widget); }
    void clear() { counts.clear(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QHash<QObject *, int> counts;
};

#endif // PAINTCOUNTER_H
