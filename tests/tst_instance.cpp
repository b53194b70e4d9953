#include "InstanceCases.h"
#include "support/InstanceMarker.h"
#include "support/OverlayProcess.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <csignal>

#include <sys/stat.h>

namespace {

ino_t fileNumber(const QString &path)
{
    struct stat status
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_ino : 0;
}

} // namespace

// On Linux the marker is a System V segment whose key comes from a file in TMPDIR; a segment
// outlives an instance that was killed.
class tst_Instance : public InstanceCases
{
    Q_OBJECT

private Q_SLOTS:
    void terminationReleasesMarker_data();
    void terminationReleasesMarker();
    void killedInstanceLeavesNoMarker_data();
    void killedInstanceLeavesNoMarker();

private:
    // Its key file, which a clean end removes.
    bool markerPresent() override { return !InstanceMarker::keyFiles().isEmpty(); }
    // Through the event loop, which releases the marker.
    void end(OverlayProcess *instance) override { instance->stop(); }
};

void tst_Instance::terminationReleasesMarker_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void tst_Instance::terminationReleasesMarker()
{
    QFETCH(int, signalNumber);
    OverlayProcess *first = start({QStringLiteral("-s")});
    QTRY_VERIFY_WITH_TIMEOUT(isRunning(first), TimeoutMs);
    QCOMPARE(::kill(pid_t(first->process.processId()), signalNumber), 0);
    QVERIFY(first->process.waitForFinished(TimeoutMs));
    // Ended through the event loop: a normal exit with the loop's status.
    QCOMPARE(first->process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first->process.exitCode(), 0);
    QVERIFY(!markerPresent());

    OverlayProcess *next = start();
    QTRY_VERIFY_WITH_TIMEOUT(isRunning(next), TimeoutMs);
}

void tst_Instance::killedInstanceLeavesNoMarker_data()
{
    QTest::addColumn<bool>("fileRemoved");
    QTest::newRow("marker file left") << false;
    // Removed by a cleaner: the next start's new file can get the same number from the file
    // system, and with it the abandoned segment's key.
    QTest::newRow("marker file removed") << true;
}

void tst_Instance::killedInstanceLeavesNoMarker()
{
    QFETCH(bool, fileRemoved);
    OverlayProcess *first = start();
    QTRY_VERIFY_WITH_TIMEOUT(isRunning(first), TimeoutMs);
    first->process.kill();
    QVERIFY(first->process.waitForFinished(TimeoutMs));
    QCOMPARE(first->process.exitStatus(), QProcess::CrashExit);

    if (fileRemoved) {
        const QStringList files = InstanceMarker::keyFiles();
        QCOMPARE(files.size(), 1);
        const QString file = QDir::temp().filePath(files.first());
        const ino_t abandonedNumber = fileNumber(file);
        QVERIFY(QFile::remove(file));
        // Whether a file made there now gets the removed file's number, as the next start's will.
        QFile probe(file);
        QVERIFY(probe.open(QIODevice::WriteOnly));
        probe.close();
        const bool numberReused = fileNumber(file) == abandonedNumber;
        QVERIFY(QFile::remove(file));
        if (!numberReused)
            QSKIP("This file system gives a new file another number, and so another key");
    }

    OverlayProcess *next = start();
    QTRY_VERIFY_WITH_TIMEOUT(isRunning(next), TimeoutMs);
    // And the new instance guards again.
    OverlayProcess *third = start();
    QVERIFY(third->process.waitForFinished(TimeoutMs));
    QCOMPARE(third->process.exitCode(), 0);
    QCOMPARE(next->process.state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(tst_Instance)
#include "tst_instance.moc"
