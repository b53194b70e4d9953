#include "overlay/Lumivane.h"
#include "widgets/iconlabel.h"
#include "widgets/ring.h"

#include <QLabel>
#include <QSequentialAnimationGroup>
#include <QTest>

namespace {

class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

} // namespace

// What the overlay has ready for the first report, and what it shows without waiting for the
// animation clock.
class tst_DisplayReadiness : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void captionsPreparedAtConstruction();
    void colourShownAtOnce();
};

void tst_DisplayReadiness::captionsPreparedAtConstruction()
{
    // Drawing each caption once off screen polishes it (its style sheet applied); a caption that
    // was never drawn would leave the font's loading to the first report.
    Lumivane window;
    for (iconlabel *label : {window.brightLabel, window.breathLabel, window.loopLabel, window.horseLabel})
        QVERIFY(label->textLabel->testAttribute(Qt::WA_WState_Polished));
    QVERIFY(window.isHidden());
}

void tst_DisplayReadiness::colourShownAtOnce()
{
    Lumivane window;
    window.showapp();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(&window, QEvent::UpdateRequest);

    PaintCounter counter(window.ringWidget);
    window.currentMode = 2;
    QVERIFY(window.receiveReport(2u << 24 | 0x00ff00));
    QCOMPARE(window.ringWidget->pulseGroup->state(), QAbstractAnimation::Running);
    // The first pulse's first frame leaves the width where it rests: without a repaint of its
    // own the new colour would wait for the animation clock's next tick.
    QCoreApplication::sendPostedEvents(&window, QEvent::UpdateRequest);
    QVERIFY(counter.paints > 0);
}

QTEST_MAIN(tst_DisplayReadiness)
#include "tst_displayreadiness.moc"
