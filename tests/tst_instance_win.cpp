#include "InstanceCases.h"
#include "channel/ChannelNames.h"
#include "support/OverlayProcess.h"

#include <QSharedMemory>
#include <QTest>

#include <windows.h>

#include <sddl.h>

// On Windows the marker is a named file mapping, which Windows removes with the last handle, also
// when its process is terminated.
class tst_InstanceWin : public InstanceCases
{
    Q_OBJECT

private Q_SLOTS:
    void terminatedInstanceLeavesNoMarker();
    void overlayOfAnotherElevation();

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

void tst_InstanceWin::overlayOfAnotherElevation()
{
    // As an overlay started as administrator holds it: this user may not open the mutex.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    QVERIFY(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:(D;;GA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr));
    SECURITY_ATTRIBUTES attributes {sizeof attributes, descriptor, FALSE};
    HANDLE mutex = CreateMutexW(&attributes, FALSE, ChannelNames::InstanceObject);
    LocalFree(descriptor);
    QVERIFY(mutex);
    HANDLE opened = OpenMutexW(SYNCHRONIZE, FALSE, ChannelNames::InstanceObject);
    const DWORD error = GetLastError();
    if (opened) {
        CloseHandle(opened);
        CloseHandle(mutex);
        QSKIP("this system lets the mutex be opened whatever its access list says");
    }
    QCOMPARE(error, DWORD(ERROR_ACCESS_DENIED));
    OverlayProcess *second = start();
    QVERIFY(second->process.waitForFinished(TimeoutMs));
    CloseHandle(mutex);
    QCOMPARE(second->process.exitCode(), 0);
    QCOMPARE(second->errorOutput(), QByteArray());
}

QTEST_GUILESS_MAIN(tst_InstanceWin)
#include "tst_instance_win.moc"
