#include "InstanceCases.h"
#include "channel/ChannelNames.h"
#include "support/OverlayProcess.h"

#include <QSharedMemory>
#include <QTest>

// On Windows the marker is a named file mapping, which Windows removes with the last handle, also
// when its process is terminated.
class tst_InstanceWin : public InstanceCases
{
    Q_OBJECT

private Q_SLOTS:
    void terminatedInstanceLeavesNoMarker();

private:
    // Whether any process holds the marker, asked the way a starting instance asks.
    bool markerPresent() override;
    void end(OverlayProcess *instance) override
    {
        instance->process.kill();
        instance->process.waitForFinished(TimeoutMs);
    }
};

bool tst_InstanceWin::markerPresent()
{
    QSharedMemory probe(QLatin1String(ChannelNames::InstanceMarker));
    if (!probe.attach())
        return false;
    probe.detach();
    return true;
}

void tst_InstanceWin::terminatedInstanceLeavesNoMarker()
{
    OverlayProcess *first = start();
    QTRY_VERIFY_WITH_TIMEOUT(isRunning(first), TimeoutMs);
    first->process.kill();
    QVERIFY(first->process.waitForFinished(TimeoutMs));
    QCOMPARE(first->process.exitStatus(), QProcess::CrashExit);
    QTRY_VERIFY_WITH_TIMEOUT(!markerPresent(), 10000);

    nextInstanceGuards();
}

QTEST_GUILESS_MAIN(tst_InstanceWin)
#include "tst_instance_win.moc"
