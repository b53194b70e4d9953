#ifndef FLOORWINDOW_H
#define FLOORWINDOW_H

#include "app/QtApi.h"

#include <QColor>
#include <QTimer>
#include <QVariantAnimation>
#include <QWidget>

// The reference for the benchmarks: the least a Qt Widgets program can do to answer the overlay's
// report with a comparable display. A hidden 176 x 176 frameless translucent tool window that owns
// the report selection, draws the overlay's four captions once at start in the same font, logs
// each report as the overlay does, shows itself without a fade and paints one disc in the
// reported colour. A mode change animates as the overlay's does, in the plainest way: the whole
// window repainted at every frame of one animation, a white ripple over the first 500 ms and the
// captions cross-fading over 1 s. It hides again 4 s after the last report.
class FloorWindow : public QWidget
{
public:
    FloorWindow();

    // The application font the overlay sets, before the window is made.
    static void useCaptionFont();

    void receiveReport(quint32 parameter);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, NativeEventResult *result) override;

private:
    void drawCaption(QPainter &painter, int mode, qreal opacity);

    QTimer hideTimer;
    QVariantAnimation modeChange;
    QColor color = QColor(0, 0, 230);
    int mode = 0;
    int previousMode = 0;
};

#endif // FLOORWINDOW_H
