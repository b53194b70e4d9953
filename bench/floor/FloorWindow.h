#ifndef FLOORWINDOW_H
#define FLOORWINDOW_H

#include <QColor>
#include <QTimer>
#include <QWidget>

// The reference for the benchmarks: the least a Qt Widgets program can do to answer the overlay's
// report. A hidden frameless translucent tool window as large as the overlay's that owns the
// report selection, logs each report as the overlay does, shows itself without any animation,
// paints one disc in the reported colour and hides again 4 s after the last report.
class FloorWindow : public QWidget
{
public:
    FloorWindow();

    void receiveReport(quint32 parameter);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override;

private:
    QTimer hideTimer;
    QColor color = QColor(0, 0, 230);
};

#endif // FLOORWINDOW_H
