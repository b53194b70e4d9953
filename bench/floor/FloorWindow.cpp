#include "FloorWindow.h"

#include "channel/ModeChannel.h"
#include "channel/ModeReport.h"
#include "channel/ModeReportLog.h"
#include "widgets/ring.h"

#include <QApplication>
#include <QDebug>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QScreen>

namespace {

// As large as the overlay's window, which is the ring's square; only the header is used, the
// product is not linked.
constexpr int Side = ring::Side;
constexpr int HoldMs = 4000;
constexpr int ModeChangeMs = 1000;
constexpr int RippleMs = 500;

// The overlay's captions by mode (overlay/Lumivane.cpp), and where its labels draw them.
const char *const Captions[] = {"幻彩", "跑马", "呼吸", "常亮"};
const QRect CaptionRect(76, 99, 24, 12);

QString caption(int mode)
{
    return QString::fromUtf8(Captions[mode]);
}

} // namespace

void FloorWindow::useCaptionFont()
{
    // The twin of useCaptionFont() in app/main.cpp: the floor must not link the program.
    QFont font;
    font.setFamily(QStringLiteral("微软雅黑"));
    font.setHintingPreference(QFont::PreferFullHinting);
    QApplication::setFont(font);
}

FloorWindow::FloorWindow()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    setGeometry((screen.width() - Side) / 2, (screen.height() - Side) / 2, Side, Side);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground, true);
    // The overlay's labels draw 12 px captions.
    QFont captionFont = font();
    captionFont.setPixelSize(12);
    setFont(captionFont);

    hideTimer.setSingleShot(true);
    connect(&hideTimer, &QTimer::timeout, this, &QWidget::hide);
    modeChange.setDuration(ModeChangeMs);
    modeChange.setStartValue(0.0);
    modeChange.setEndValue(1.0);
    connect(&modeChange, &QVariantAnimation::valueChanged, this, [this] { update(); });

    // As the overlay does: each caption drawn once off screen, so that the first report does not
    // wait for the font.
    QImage scratch(CaptionRect.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&scratch);
    painter.setFont(captionFont);
    for (int shown = 0; shown < 4; ++shown)
        painter.drawText(scratch.rect(), Qt::AlignCenter, caption(shown));
    painter.end();

    // The same contract as the overlay, through the overlay's own channel code.
    create();
    ModeChannel::listen(windowHandle());
}

void FloorWindow::receiveReport(quint32 parameter)
{
    const ModeReport report = ModeReport::decode(parameter);
    logModeReport(report);
    color = QColor(report.red, report.green, report.blue);
    if (report.mode > 3)
        return;
    // The overlay's rule: mode 0 always plays its change, a repeated mode only its colour.
    if (report.mode == 0 || report.mode != mode) {
        previousMode = mode;
        mode = report.mode;
        modeChange.start();
    }
    if (isHidden())
        show();
    else
        update();
    hideTimer.start(HoldMs);
}

void FloorWindow::drawCaption(QPainter &painter, int shown, qreal opacity)
{
    if (opacity <= 0)
        return;
    painter.setOpacity(opacity);
    painter.drawText(CaptionRect, Qt::AlignCenter, caption(shown));
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

    const bool animating = modeChange.state() == QAbstractAnimation::Running;
    const int elapsed = animating ? modeChange.currentTime() : ModeChangeMs;
    if (elapsed < RippleMs) {
        const qreal progress = qreal(elapsed) / RippleMs;
        const int radius = 18 + qRound(46 * progress);
        painter.setBrush(QColor(255, 255, 255, qRound(60 * (1 - progress))));
        painter.drawEllipse(QPoint(88, 88), radius, radius);
    }
    painter.setPen(QColor(255, 255, 255, 179));
    if (elapsed < RippleMs)
        drawCaption(painter, previousMode, 1 - qreal(elapsed) / RippleMs);
    else
        drawCaption(painter, mode, qreal(elapsed - RippleMs) / (ModeChangeMs - RippleMs));
}

bool FloorWindow::nativeEvent(const QByteArray &eventType, void *message, NativeEventResult *)
{
    quint32 parameter = 0;
    if (!ModeChannel::readReport(eventType, message, &parameter))
        return false;
    receiveReport(parameter);
    return true;
}
