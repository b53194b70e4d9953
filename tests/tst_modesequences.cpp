#include "channel/ModeReport.h"
#include "overlay/Lumivane.h"
#include "support/AnimationClock.h"
#include "support/MessageCapture.h"
#include "support/TestFiles.h"
#include "widgets/circle.h"
#include "widgets/iconlabel.h"
#include "widgets/ring.h"

#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QSequentialAnimationGroup>
#include <QTest>
#include <QTimer>

namespace {

quint32 report(int mode, int red = 0, int green = 0, int blue = 0)
{
    return ModeReport {quint8(mode), quint8(red), quint8(green), quint8(blue)}.encode();
}

QList<double> alphas(const Lumivane &window)
{
    return {window.loopLabel->getAlpha(), window.horseLabel->getAlpha(), window.breathLabel->getAlpha(),
        window.brightLabel->getAlpha()};
}

// The label of each mode fully shown, the others hidden.
QList<double> showing(int mode)
{
    QList<double> result = {0.0, 0.0, 0.0, 0.0};
    result[mode] = 1.0;
    return result;
}

QSequentialAnimationGroup *crossFade(Lumivane &window)
{
    const auto groups =
        window.findChildren<QSequentialAnimationGroup *>(QString(), Qt::FindDirectChildrenOnly);
    return groups.isEmpty() ? nullptr : groups.last();
}

} // namespace

class tst_ModeSequences : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void dispatch_data();
    void dispatch();
    void debugLine();
    void labelsAtStart_data();
    void labelsAtStart();
    void crossFade_data();
    void crossFade();
    void quickChangesEndConsistent_data();
    void quickChangesEndConsistent();
    void groupsAreReleased();
    void rippleStartsOnce();
    void colourChange();
    void colourChangeDuringPulse();
    void reportWhileVisibleKeepsOpacity();
    void reportDuringFadeOutShows_data();
    void reportDuringFadeOutShows();

private:
    // Animations turned off as a KDE user does where no portal answers; false where that cannot be.
    bool turnAnimationsOff();
    // Long enough for every sequence to end, in steps of a tenth of a second.
    void quiet();

    AnimationClock clock;
    bool animationsOff = false;
};

void tst_ModeSequences::init()
{
    clock.install();
}

void tst_ModeSequences::cleanup()
{
    clock.uninstall();
    if (animationsOff) {
        qunsetenv("XDG_CURRENT_DESKTOP");
        QVERIFY(TestFiles::setKdeAnimationFactor(QByteArray()));
        animationsOff = false;
    }
}

bool tst_ModeSequences::turnAnimationsOff()
{
    // Windows' own setting is the whole Wine server's: tst_overlay_win_motion checks it alone.
    if (QSysInfo::productType() == QLatin1String("windows"))
        return false;
    qputenv("XDG_CURRENT_DESKTOP", "KDE");
    animationsOff = TestFiles::setKdeAnimationFactor("0");
    return animationsOff;
}

void tst_ModeSequences::quiet()
{
    for (int i = 0; i < 12; ++i)
        clock.advance(100);
}

void tst_ModeSequences::dispatch_data()
{
    QTest::addColumn<int>("startMode");
    QTest::addColumn<quint32>("parameter");
    QTest::addColumn<bool>("handled");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("recolours");
    QTest::addColumn<bool>("animate");
    QTest::newRow("zero") << 0 << report(0) << true << 0 << false << true;
    QTest::newRow("mode 0 again never recolours") << 0 << report(0, 9, 9, 9) << true << 0 << false << true;
    QTest::newRow("repeated mode recolours") << 2 << report(2, 0, 255, 0) << true << 2 << true << true;
    QTest::newRow("new mode ignores colour") << 1 << report(2, 255, 0, 0) << true << 2 << false << true;
    QTest::newRow("mode 3") << 0 << report(3, 1, 2, 3) << true << 3 << false << true;
    QTest::newRow("mode 4 ignored") << 1 << report(4, 1, 2, 3) << false << 1 << false << true;
    QTest::newRow("mode 255 ignored") << 2 << report(255, 255, 255, 255) << false << 2 << false << true;
    QTest::newRow("all ones") << 0 << 0xFFFFFFFFu << false << 0 << false << true;
    QTest::newRow("recolours without a pulse, no motion")
        << 2 << report(2, 0, 255, 0) << true << 2 << true << false;
}

void tst_ModeSequences::dispatch()
{
    QFETCH(int, startMode);
    QFETCH(quint32, parameter);
    QFETCH(bool, handled);
    QFETCH(int, mode);
    QFETCH(bool, recolours);
    QFETCH(bool, animate);
    if (!animate && !turnAnimationsOff())
        QSKIP("animations are turned off as the desktop does on Linux only");
    Lumivane window;
    if (startMode != 0) {
        window.receiveReport(report(startMode));
        quiet();
    }
    const QColor colourBefore = window.ringWidget->ringColor;
    QCOMPARE(window.receiveReport(parameter), handled);
    QCOMPARE(window.currentMode, mode);
    QCOMPARE(window.ringWidget->pulseGroup->state() == QAbstractAnimation::Running, recolours && animate);
    if (recolours) {
        QCOMPARE(window.ringWidget->ringColor.rgb(),
            QColor(int(parameter >> 16 & 0xFF), int(parameter >> 8 & 0xFF), int(parameter & 0xFF)).rgb());
        QCOMPARE(window.timer->interval(), 5000);
    } else {
        QCOMPARE(window.ringWidget->ringColor, colourBefore);
    }
    if (!handled)
        QCOMPARE(window.isHidden(), startMode == 0);
}

void tst_ModeSequences::debugLine()
{
    Lumivane window;
    MessageCapture capture;
    window.receiveReport(report(2, 255, 0, 0));
    window.receiveReport(report(200, 1, 20, 255));
    QCOMPARE(capture.lines(),
        (QStringList {QStringLiteral("mode: 2 ,R: 255 ,G: 0 ,B: 0"),
            QStringLiteral("mode: 200 ,R: 1 ,G: 20 ,B: 255")}));
}

void tst_ModeSequences::labelsAtStart_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QList<double>>("labels");
    QTest::addColumn<bool>("animate");
    // The outgoing label (the one on show; else the mode before in the cycle) is shown at once.
    QTest::newRow("0 after 3") << 3 << 0 << QList<double> {0, 0, 0, 1} << true;
    QTest::newRow("1 after 0") << 0 << 1 << QList<double> {1, 0, 0, 0} << true;
    QTest::newRow("2 after 1") << 1 << 2 << QList<double> {0, 1, 0, 0} << true;
    QTest::newRow("3 after 2") << 2 << 3 << QList<double> {0, 0, 1, 0} << true;
    QTest::newRow("0 again") << 0 << 0 << QList<double> {0, 0, 0, 1} << true;
    QTest::newRow("3 after 1: 跑马 out, never 呼吸") << 1 << 3 << QList<double> {0, 1, 0, 0} << true;
    // Without motion the incoming label is shown at once, without a ripple.
    QTest::newRow("1 after 0, no motion") << 0 << 1 << QList<double> {0, 1, 0, 0} << false;
    QTest::newRow("0 again, no motion") << 0 << 0 << QList<double> {1, 0, 0, 0} << false;
}

void tst_ModeSequences::labelsAtStart()
{
    QFETCH(int, from);
    QFETCH(int, mode);
    QFETCH(QList<double>, labels);
    QFETCH(bool, animate);
    if (!animate && !turnAnimationsOff())
        QSKIP("animations are turned off as the desktop does on Linux only");
    Lumivane window;
    window.receiveReport(report(from));
    quiet();
    window.receiveReport(report(mode));
    QCOMPARE(alphas(window), labels);
    QCOMPARE(window.currentMode, mode);
    QVERIFY(window.isVisible());
    QCOMPARE(window.timer->interval(), 4000);
    QCOMPARE(window.circleWidget->expandGroup->state() == QAbstractAnimation::Running, animate);
}

void tst_ModeSequences::crossFade_data()
{
    QTest::addColumn<int>("time");
    QTest::addColumn<double>("outgoing");
    QTest::addColumn<double>("incoming");
    QTest::newRow("start") << 0 << 1.0 << 0.0;
    QTest::newRow("half out") << 250 << 0.5 << 0.0;
    QTest::newRow("out") << 500 << 0.0 << 0.0;
    QTest::newRow("half in") << 750 << 0.0 << 0.5;
    QTest::newRow("in") << 1000 << 0.0 << 1.0;
}

void tst_ModeSequences::crossFade()
{
    QFETCH(int, time);
    QFETCH(double, outgoing);
    QFETCH(double, incoming);
    Lumivane window;
    window.receiveReport(report(1));
    QSequentialAnimationGroup *group = ::crossFade(window);
    QVERIFY(group);
    QCOMPARE(group->duration(), 1000);
    group->setCurrentTime(time);
    QCOMPARE(window.loopLabel->getAlpha(), outgoing);
    QCOMPARE(window.horseLabel->getAlpha(), incoming);
}

void tst_ModeSequences::quickChangesEndConsistent_data()
{
    QTest::addColumn<QList<int>>("modes");
    QTest::addColumn<QList<int>>("gaps");
    QTest::newRow("2 soon after 1") << QList<int> {1, 2} << QList<int> {300};
    QTest::newRow("2 late after 1") << QList<int> {1, 2} << QList<int> {700};
    QTest::newRow("3 soon after 1") << QList<int> {1, 3} << QList<int> {200};
    QTest::newRow("0 right after 3") << QList<int> {3, 0} << QList<int> {0};
    QTest::newRow("full cycle, fast") << QList<int> {1, 2, 3, 0} << QList<int> {100, 100, 100};
    QTest::newRow("back and forth") << QList<int> {2, 1, 2, 1} << QList<int> {450, 550, 950};
    QTest::newRow("mode 0 twice") << QList<int> {0, 0} << QList<int> {400};
}

void tst_ModeSequences::quickChangesEndConsistent()
{
    QFETCH(QList<int>, modes);
    QFETCH(QList<int>, gaps);
    Lumivane window;
    for (int i = 0; i < modes.size(); ++i) {
        window.receiveReport(report(modes[i]));
        if (i < gaps.size())
            clock.advance(gaps[i]);
    }
    quiet();
    QCOMPARE(window.currentMode, modes.last());
    QCOMPARE(alphas(window), showing(modes.last()));
}

void tst_ModeSequences::groupsAreReleased()
{
    Lumivane window;
    for (int i = 0; i < 50; ++i) {
        window.receiveReport(report(i % 4));
        clock.advance(i % 2 ? 1000 : 200);
    }
    quiet();
    QVERIFY(
        window.findChildren<QSequentialAnimationGroup *>(QString(), Qt::FindDirectChildrenOnly).isEmpty());
    QVERIFY(window.findChildren<QPropertyAnimation *>().isEmpty());
}

void tst_ModeSequences::rippleStartsOnce()
{
    Lumivane window;
    window.receiveReport(report(1));
    clock.advance(300);
    QCOMPARE(window.circleWidget->expandGroup->currentTime(), 300);
    window.receiveReport(report(2));
    QCOMPARE(window.circleWidget->expandGroup->currentTime(), 300);
}

void tst_ModeSequences::colourChange()
{
    Lumivane window;
    window.receiveReport(report(2));
    quiet();
    const QList<double> before = alphas(window);
    QVERIFY(window.receiveReport(report(2, 0, 255, 0)));
    QCOMPARE(window.ringWidget->ringColor, QColor(0, 255, 0, 255));
    QCOMPARE(window.ringWidget->pulseGroup->state(), QAbstractAnimation::Running);
    QCOMPARE(window.timer->interval(), 5000);
    QCOMPARE(alphas(window), before);
    QCOMPARE(window.currentMode, 2);
}

void tst_ModeSequences::colourChangeDuringPulse()
{
    Lumivane window;
    window.receiveReport(report(3));
    window.receiveReport(report(3, 255, 0, 0));
    clock.advance(400);
    window.timer->start(1000);
    window.receiveReport(report(3, 0, 0, 255));
    QCOMPARE(window.ringWidget->ringColor, QColor(0, 0, 255, 255));
    // The running pulse goes on; only the timer is re-armed.
    QCOMPARE(window.ringWidget->pulseGroup->currentTime(), 400);
    QCOMPARE(window.timer->interval(), 5000);
}

void tst_ModeSequences::reportWhileVisibleKeepsOpacity()
{
    Lumivane window;
    window.showapp();
    clock.advance(250);
    QCOMPARE(window.windowOpacity(), 1.0);
    window.receiveReport(report(1));
    QCOMPARE(window.windowOpacity(), 1.0);
    window.receiveReport(report(1, 3, 4, 5));
    QCOMPARE(window.windowOpacity(), 1.0);
}

void tst_ModeSequences::reportDuringFadeOutShows_data()
{
    QTest::addColumn<int>("elapsed");
    QTest::addColumn<quint32>("parameter");
    QTest::addColumn<int>("hold");
    for (int elapsed : {0, 1, 125, 249}) {
        QTest::addRow("mode change %d ms into the fade-out", elapsed) << elapsed << report(2) << 4000;
        QTest::addRow("colour change %d ms into the fade-out", elapsed)
            << elapsed << report(1, 9, 9, 9) << 5000;
    }
}

void tst_ModeSequences::reportDuringFadeOutShows()
{
    QFETCH(int, elapsed);
    QFETCH(quint32, parameter);
    QFETCH(int, hold);
    Lumivane window;
    window.receiveReport(report(1));
    quiet();
    QVERIFY(QMetaObject::invokeMethod(window.timer, "timeout"));
    clock.advance(elapsed);
    // Shown again as a hidden window is: faded in from nothing, held from the report on.
    window.receiveReport(parameter);
    QCOMPARE(window.windowOpacity(), 0.0);
    QVERIFY(window.timer->isActive());
    QCOMPARE(window.timer->interval(), hold);
    clock.advance(125);
    QVERIFY(qAbs(window.windowOpacity() - 0.5) < 0.01);
    clock.advance(250);
    QVERIFY(window.isVisible());
    QCOMPARE(window.windowOpacity(), 1.0);
    // The re-armed timer runs out once, and then nothing is left running.
    quiet();
    QVERIFY(QMetaObject::invokeMethod(window.timer, "timeout"));
    quiet();
    QVERIFY(!window.timer->isActive());
    QVERIFY(window.isHidden());
    for (auto *animation : window.findChildren<QAbstractAnimation *>())
        QCOMPARE(animation->state(), QAbstractAnimation::Stopped);
}

QTEST_MAIN(tst_ModeSequences)
#include "tst_modesequences.moc"
