#include "Lumivane.h"

#include "HeapTrim.h"
#include "PrimaryScreenWatch.h"
#include "accessibility/ScreenReaderNotice.h"
#include "channel/ModeChannel.h"
#include "channel/ModeReport.h"
#include "channel/ModeReportLog.h"
#include "companion/CompanionProcess.h"
#include "companion/CompanionSupervisor.h"
#include "motion/MotionPreference.h"
#include "resources/ResourceImage.h"
#include "tray/SystemTray.h"
#include "widgets/circle.h"
#include "widgets/iconlabel.h"
#include "widgets/ring.h"
#include "windowsystem/NativeWindow.h"
#include "windowsystem/WindowFade.h"
#include "windowsystem/WindowShape.h"

#include <QDebug>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QParallelAnimationGroup>
#include <QPixmap>
#include <QPixmapCache>
#include <QPropertyAnimation>
#include <QSequentialAnimationGroup>
#include <QTimer>

#include <cmath>
#include <utility>

namespace {

constexpr int ModeChangeHoldMs = 4000;
constexpr int ColorChangeHoldMs = 5000;
constexpr int FadeMs = 250;
constexpr int CrossFadeStepMs = 500;

// The device pixels that the dark disc touches at a pixel density, with one to spare around
// them; whole pixels, so that the disc's copy lands on the pixel grid at any density.
QRect discPixels(qreal ratio)
{
    const int first = int(std::floor(23 * ratio));
    const int end = int(std::ceil(153 * ratio));
    return QRect(first, first, end - first, end - first);
}

iconlabel *makeLabel(QWidget *parent, const char *source, bool visible = false)
{
    auto *label = new iconlabel(parent);
    if (visible)
        label->applyAlpha(1.0);
    const QString caption = Lumivane::tr(source);
    label->textLabel->setText(caption);
    // The Chinese captions fill the label's box as it is; a translation gets a box of its own size.
    if (caption != QString::fromUtf8(source))
        label->fitCaption();
    return label;
}

QPropertyAnimation *alphaFade(iconlabel *label, int from, int to)
{
    auto *animation = new QPropertyAnimation(label, "alpha");
    animation->setDuration(CrossFadeStepMs);
    animation->setStartValue(from);
    animation->setEndValue(to);
    return animation;
}

} // namespace

Lumivane::Lumivane(QWidget *parent)
    : QWidget(parent)
{
    screenWatch = new PrimaryScreenWatch(this);
    const QRect screen = screenWatch->geometry();
    qDebug() << screen.width();
    qDebug() << screen.height();
    setGeometry(geometryFor(screen));
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground, true);
    fade = std::make_unique<WindowFade>(this);
    motion = new MotionPreference(this);

    tray = new SystemTray(this);
    tray->setVisible(true);

    currentMode = 0;

    auto *companion = new CompanionProcess(this);
    process = companion;
    supervisor = new CompanionSupervisor(companion, this);
    supervisor->startCompanion();

    createIndicators();
    useImagesFor(screenWatch->devicePixelRatio());
    prepareCaptions();
    notice = new ScreenReaderNotice(this, loopLabel->textLabel->text());
    // Placed again whenever the screen changes, also while shown: a window left where the old
    // screen had its centre may lie outside the new one. A screen of another density gets
    // images of its own.
    connect(screenWatch, &PrimaryScreenWatch::geometryChanged, this, [this](const QRect &geometry) {
        setGeometry(geometryFor(geometry));
        useImagesFor(screenWatch->devicePixelRatio());
    });

    timer = new QTimer(this);

    // The native window exists from now on, so that reports reach the overlay while it is hidden.
    NativeWindow::createWithoutFocus(this);
    ModeChannel::listen(windowHandle(), [this](quint32 parameter) { return receiveReport(parameter); });
    connect(supervisor, &CompanionSupervisor::deviceWatchFailed, this,
        [] { qDebug() << "注册失败" << Qt::endl; });
    supervisor->watchDevices(winId());

    // The ring's outer edge moves as its width does; the shape follows it.
    shape = new WindowShape(this);
    followRingOutline(ringWidget->penWidth);
    for (QVariantAnimation *width : {ringWidget->widthUpAnimation, ringWidget->widthDownAnimation}) {
        connect(width, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { followRingOutline(value.toInt()); });
    }

    connect(timer, SIGNAL(timeout()), this, SLOT(hideapp()));
    connect(tray, SIGNAL(sys_openClicked()), this, SLOT(showapp()));
    connect(tray, SIGNAL(activated(QSystemTrayIcon::ActivationReason)), this,
        SLOT(iconIsActived(QSystemTrayIcon::ActivationReason)));
}

Lumivane::~Lumivane() = default;

QRect Lumivane::geometryFor(const QRect &screen)
{
    // Integer division truncates toward zero, also for screens narrower than the window.
    return QRect(screen.x() + (screen.width() - ring::Side) / 2,
        screen.y() + (screen.height() - ring::Side) / 2, ring::Side, ring::Side);
}

void Lumivane::createIndicators()
{
    // Creation order is stacking order: disc, ring, then the four labels on top of each other.
    circleWidget = new circle(this);
    circleWidget->setGeometry(28, 28, 120, 120);
    ringWidget = new ring(this);
    ringWidget->setGeometry(0, 0, ring::Side, ring::Side);
    ringWidget->ringColor = QColor(0, 0, 230, 255);
    brightLabel = makeLabel(this, QT_TR_NOOP("常亮"));
    breathLabel = makeLabel(this, QT_TR_NOOP("呼吸"));
    loopLabel = makeLabel(this, QT_TR_NOOP("幻彩"), true);
    horseLabel = makeLabel(this, QT_TR_NOOP("跑马"));
}

void Lumivane::useImagesFor(qreal ratio)
{
    if (ratio == imageRatio)
        return;
    imageRatio = ratio;
    const std::pair<iconlabel *, const char *> images[] = {
        {brightLabel, ":/bright"}, {breathLabel, ":/breath"}, {loopLabel, ":/loop"}, {horseLabel, ":/horse"}};
    for (const auto &[label, path] : images)
        label->iconLabel->setPixmap(ResourceImage::load(QLatin1String(path), ratio));
}

void Lumivane::prepareCaptions()
{
    // The first report must not wait for the font to be found, loaded, shaped and rasterised:
    // draw each caption once off screen now, which leaves its glyphs in the font engine's cache.
    for (iconlabel *label : {brightLabel, breathLabel, loopLabel, horseLabel}) {
        QImage scratch(label->textLabel->size(), QImage::Format_ARGB32_Premultiplied);
        label->textLabel->render(&scratch);
    }
}

bool Lumivane::receiveReport(quint32 parameter)
{
    const ModeReport report = ModeReport::decode(parameter);
    const int mode = report.mode;
    logModeReport(report);

    // Mode 0 always replays its sequence; a repeated mode 1-3 only refreshes the colour.
    if (mode == 0)
        playModeChange(0);
    else if (mode == currentMode)
        playColorChange(report.red, report.green, report.blue);
    else if (report.known())
        playModeChange(mode);
    else
        return false;
    if (reportObserver)
        reportObserver();
    return true;
}

void Lumivane::setReportObserver(std::function<void()> observer)
{
    reportObserver = std::move(observer);
}

void Lumivane::showapp()
{
    ringWidget->penWidth = 4;
    ringWidget->penAlpha = 230;
    ringWidget->arcDegrees = 0;
    followRingOutline(4);
    fadeTo(1.0);
    NativeWindow::raise(this);
    showNormal();
    timer->start(ModeChangeHoldMs);
}

void Lumivane::followRingOutline(int penWidth)
{
    // One pixel beyond the stroke keeps its softened outer edge.
    const int radius = ring::outerRadius(penWidth) + 1;
    const int centre = ring::Side / 2;
    shape->setCircle(QRect(centre - radius, centre - radius, 2 * radius, 2 * radius));
}

void Lumivane::iconIsActived(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger)
        showapp();
}

void Lumivane::hideapp()
{
    // The hold runs out once; a hidden overlay keeps no timer running.
    timer->stop();
    if (isHidden())
        return;
    fadeTo(0.0);
}

void Lumivane::sw_status()
{
    if (motion->animate())
        circleWidget->expandGroup->start(QAbstractAnimation::KeepWhenStopped);
}

void Lumivane::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // The disc never changes: drawn once per pixel density and copied after that. Copied onto
    // the cleared (transparent) window it leaves exactly the pixels the ellipse itself would.
    const qreal ratio = painter.deviceTransform().m11();
    if (disc.isNull() || disc.devicePixelRatioF() != ratio)
        disc = paintedDisc(ratio);
    painter.drawPixmap(QPointF(discPixels(ratio).topLeft()) / ratio, disc);
}

QPixmap Lumivane::paintedDisc(qreal ratio)
{
    const QRect pixels = discPixels(ratio);
    QImage image(pixels.size(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 230));
    // The same coordinates as on the window, so that the edge is rasterised the same way.
    painter.translate(-QPointF(pixels.topLeft()) / ratio);
    painter.drawEllipse(QRect(24, 24, 128, 128));
    painter.end();
    return QPixmap::fromImage(image);
}

bool Lumivane::nativeEvent(const QByteArray &eventType, void *message, NativeEventResult *)
{
    quint32 parameter = 0;
    if (ModeChannel::readReport(eventType, message, &parameter))
        return receiveReport(parameter);
    // Closing would destroy the native window and with it the report channel: the overlay only
    // ever hides itself.
    if (NativeWindow::isCloseRequest(eventType, message))
        return true;
    // Device changes never count as handled, so the platform's own handling runs too.
    supervisor->handleNativeMessage(eventType, message);
    return false;
}

void Lumivane::playModeChange(int mode)
{
    // Told before the window shows, so that it never comes on screen under the caption before.
    const iconlabel *const shown[] = {loopLabel, horseLabel, breathLabel, brightLabel};
    notice->announce(shown[mode]->textLabel->text());
    if (isHiddenOrHiding())
        showapp();

    // The label faded out is the one on show, so that a jump (1 to 3) never flashes a mode in
    // between. When that is the incoming label itself (mode 0 again), it is the one of the mode
    // before in the accessory's cycle 0-1-2-3.
    iconlabel *const labels[] = {loopLabel, horseLabel, breathLabel, brightLabel};
    iconlabel *incoming = labels[mode];
    iconlabel *outgoing = labels[currentMode != mode ? currentMode : (mode + 3) % 4];

    // Released at once rather than at the next turn of the event loop: a burst of reports is
    // handled without one, and would otherwise pile up a group per report until it ends.
    delete crossFade;
    if (motion->animate()) {
        for (iconlabel *label : labels)
            label->applyAlpha(label == outgoing ? 1.0 : 0.0);

        circleWidget->expandGroup->start(QAbstractAnimation::KeepWhenStopped);

        crossFade = new QSequentialAnimationGroup(this);
        crossFade->addAnimation(alphaFade(outgoing, 1, 0));
        crossFade->addAnimation(alphaFade(incoming, 0, 1));
        crossFade->start(QAbstractAnimation::DeleteWhenStopped);
    } else {
        // Without motion the new label simply takes the old one's place.
        for (iconlabel *label : labels)
            label->applyAlpha(label == incoming ? 1.0 : 0.0);
    }

    timer->start(ModeChangeHoldMs);
    currentMode = mode;
}

void Lumivane::playColorChange(int red, int green, int blue)
{
    if (isHiddenOrHiding())
        showapp();
    ringWidget->ringColor = QColor(red, green, blue, 255);
    // Shown at once: the pulse's first frame only repaints when its width moves.
    ringWidget->update();
    if (motion->animate())
        ringWidget->pulseGroup->start(QAbstractAnimation::KeepWhenStopped);
    timer->start(ColorChangeHoldMs);
}

void Lumivane::fadeTo(qreal endOpacity)
{
    // Without motion the fade takes no time: it sets its end at once, the fade-out hides at once.
    QVariantAnimation *animation = fade->to(endOpacity, motion->animate() ? FadeMs : 0);
    if (!animation) {
        if (endOpacity == 0.0)
            hideAndForget();
        return;
    }
    // Starting a fade stops the one still running; only a fade-out that runs to its end hides.
    if (endOpacity == 0.0) {
        fadeOut = animation;
        connect(animation, &QAbstractAnimation::finished, this, &Lumivane::hideAndForget);
    }
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void Lumivane::hideAndForget()
{
    hide();
    // Qt trims its pixmap cache (the tray icon at the tray's size, among others) on a 30 s timer
    // for as long as the cache holds anything; hidden, the overlay needs none of it, and without
    // the cache nothing wakes it.
    QPixmapCache::clear();
    HeapTrim::giveBack();
}

bool Lumivane::isHiddenOrHiding() const
{
    // A report during the fade-out shows the window again, as one to a hidden window does;
    // otherwise it would play unseen and the window hide at the end of the fade.
    return isHidden() || (fadeOut && fadeOut->state() == QAbstractAnimation::Running);
}
