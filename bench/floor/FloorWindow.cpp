#include "FloorWindow.h"

#include "channel/ModeChannel.h"
#include "channel/ModeReport.h"
#include "channel/ModeReportLog.h"
#include "widgets/ring.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace {

// As large as the overlay's window, which is the ring's square; only the header is used, the
// product is not linked.
constexpr int Side = ring::Side;
constexpr int HoldMs = 4000;

} // namespace

FloorWindow::FloorWindow()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    setGeometry((screen.width() - Side) / 2, (screen.height() - Side) / 2, Side, Side);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground, true);

    hideTimer.setSingleShot(true);
    connect(&hideTimer, &QTimer::timeout, this, &QWidget::hide);

    // The same contract as the overlay, through the overlay's own channel code.
    create();
    ModeChannel::listen(windowHandle());
}

void FloorWindow::receiveReport(quint32 parameter)
{
    const ModeReport report = ModeReport::decode(parameter);
    logModeReport(report);
    color = QColor(report.red, report.green, report.blue);
    if (isHidden())
        show();
    else
        update();
    hideTimer.start(HoldMs);
}

void FloorWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QColor fill = color;
    fill.setAlpha(230);
    painter.setBrush(fill);
    painter.drawEllipse(QRect(16, 16, 144, 144));
}

bool FloorWindow::nativeEvent(const QByteArray &eventType, void *message, long *)
{
    quint32 parameter = 0;
    if (!ModeChannel::readReport(eventType, message, &parameter))
        return false;
    receiveReport(parameter);
    return true;
}
