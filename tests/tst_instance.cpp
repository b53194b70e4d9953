#include "InstanceCases.h"
#include "channel/ChannelNames.h"
#include "channel/ModeReport.h"
#include "channel/OverlayPresence.h"
#include "support/InstanceMarker.h"
#include "support/OverlayProcess.h"
#include "support/XProbe.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <csignal>
#include <optional>

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

Q_DECLARE_METATYPE(OverlayPresence::Claim)

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
    void unusableTempDirKeepsOneInstance_data();
    void unusableTempDirKeepsOneInstance();
    void lockClaim_data();
    void lockClaim();

private:
    // Its key file, which a clean end removes.
    bool markerPresent() override { return !InstanceMarker::keyFiles().isEmpty(); }
    // Through the event loop, which releases the marker.
    void end(OverlayProcess *instance) override { instance->stop(); }
    QProcessEnvironment withoutMarker() override
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        const QString file = QDir::temp().filePath(QStringLiteral("plain-file"));
        QFile(file).open(QIODevice::WriteOnly);
        environment.insert(QStringLiteral("TMPDIR"), file);
        return environment;
    }
    // No DISPLAY, and the test's session bus address names nothing; the lock in a runtime folder
    // of the test's own.
    QProcessEnvironment withLockAlone() override
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        const QString runtime = QDir::temp().filePath(QStringLiteral("runtime"));
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        return environment;
    }
};

void tst_Instance::terminationReleasesMarker_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<int>("secondSignal");
    QTest::addColumn<int>("reports");
    QTest::newRow("SIGTERM") << SIGTERM << 0 << 0;
    QTest::newRow("SIGINT") << SIGINT << 0 << 0;
    QTest::newRow("SIGHUP") << SIGHUP << 0 << 0;
    // More requests while the first is carried out change nothing.
    QTest::newRow("SIGHUP, then SIGHUP every 1 ms") << SIGHUP << SIGHUP << 0;
    QTest::newRow("SIGTERM, then SIGTERM every 1 ms") << SIGTERM << SIGTERM << 0;
    // Reports queued behind the signal are dropped, not played first.
    QTest::newRow("SIGTERM during a flood") << SIGTERM << 0 << 100000;
}

void tst_Instance::terminationReleasesMarker()
{
    QFETCH(int, signalNumber);
    QFETCH(int, secondSignal);
    QFETCH(int, reports);
    OverlayProcess *first = start({QStringLiteral("-s")});
    QTRY_VERIFY_WITH_TIMEOUT(isRunning(first), TimeoutMs);
    if (reports > 0) {
        XProbe probe;
        QTRY_VERIFY_WITH_TIMEOUT(probe.selectionOwner(ChannelNames::Report) != XCB_WINDOW_NONE, TimeoutMs);
        const xcb_window_t overlay = probe.selectionOwner(ChannelNames::Report);
        for (int i = 0; i < reports; ++i)
            probe.sendClientMessage(overlay, ChannelNames::Report, 32, ModeReport {quint8(i % 4)}.encode());
    }
    const qint64 pid = first->process.processId();
    QElapsedTimer sinceSignal;
    sinceSignal.start();
    QCOMPARE(::kill(pid_t(pid), signalNumber), 0);
    // A second signal is repeated every millisecond until the process has ended, so that it
    // meets every part of the clean-up.
    while (!first->process.waitForFinished(secondSignal != 0 ? 1 : TimeoutMs)) {
        QVERIFY(secondSignal != 0);
        QCOMPARE(::kill(pid_t(pid), secondSignal), 0);
    }
    if (reports > 0) {
        qInfo("From SIGTERM to exit with %d reports queued: %lld ms", reports, sinceSignal.elapsed());
        QVERIFY(first->errorOutput().count("mode:") < reports);
    }
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

    nextInstanceGuards();
}

void tst_Instance::unusableTempDirKeepsOneInstance_data()
{
    QTest::addColumn<QString>("tempDir");
    QTest::newRow("missing") << QDir::temp().filePath(QStringLiteral("missing/tmp"));
    // Refuses new files even to root, as which these tests may run.
    QTest::newRow("read-only") << QStringLiteral("/proc");
    QTest::newRow("a regular file") << QDir::temp().filePath(QStringLiteral("plain-file"));
}

void tst_Instance::unusableTempDirKeepsOneInstance()
{
    QFETCH(QString, tempDir);
    if (tempDir.endsWith(QLatin1String("plain-file"))) {
        QFile file(tempDir);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), tempDir);

    OverlayProcess *first = start({}, environment);
    QTRY_VERIFY_WITH_TIMEOUT(isRunning(first), TimeoutMs);
    XProbe probe;
    QTRY_VERIFY_WITH_TIMEOUT(probe.selectionOwner(ChannelNames::Report) != XCB_WINDOW_NONE, TimeoutMs);
    const xcb_window_t owner = probe.selectionOwner(ChannelNames::Report);

    OverlayProcess *second = start({QStringLiteral("-s")}, environment);
    QVERIFY(second->process.waitForFinished(TimeoutMs));
    QCOMPARE(second->process.exitCode(), 0);
    QCOMPARE(probe.selectionOwner(ChannelNames::Report), owner);
    QCOMPARE(first->process.state(), QProcess::Running);
}

void tst_Instance::lockClaim_data()
{
    QTest::addColumn<QString>("runtimeFolder");
    QTest::addColumn<QString>("holder");
    QTest::addColumn<OverlayPresence::Claim>("claim");
    const QString runtime = QDir::temp().filePath(QStringLiteral("lock-runtime"));
    QTest::newRow("free") << runtime << QString() << OverlayPresence::Claim::Taken;
    QTest::newRow("held by another") << runtime << QStringLiteral("running")
                                     << OverlayPresence::Claim::HeldByAnother;
    // The kernel lets it go with its holder, however that ends.
    QTest::newRow("its holder gone") << runtime << QStringLiteral("gone") << OverlayPresence::Claim::Taken;
    QTest::newRow("no runtime folder") << QString() << QString() << OverlayPresence::Claim::Unavailable;
    QTest::newRow("runtime folder missing") << QDir::temp().filePath(QStringLiteral("missing/runtime"))
                                            << QString() << OverlayPresence::Claim::Unavailable;
}

void tst_Instance::lockClaim()
{
    QFETCH(QString, runtimeFolder);
    QFETCH(QString, holder);
    QFETCH(OverlayPresence::Claim, claim);
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    if (runtimeFolder.endsWith(QLatin1String("lock-runtime")))
        QVERIFY(QDir().mkpath(runtimeFolder));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeFolder));
    // Another descriptor of the same file conflicts as another process's would.
    std::optional<OverlayPresence> other;
    if (!holder.isEmpty()) {
        other.emplace();
        QCOMPARE(other->claim(), OverlayPresence::Claim::Taken);
        if (holder == QLatin1String("gone"))
            other.reset();
    }
    OverlayPresence presence;
    const OverlayPresence::Claim found = presence.claim();
    qputenv("XDG_RUNTIME_DIR", saved);
    QCOMPARE(found, claim);
    QCOMPARE(presence.errorString().isEmpty(), claim != OverlayPresence::Claim::Unavailable);
    // Taken once, it stays this object's.
    if (claim == OverlayPresence::Claim::Taken)
        QCOMPARE(presence.claim(), OverlayPresence::Claim::Taken);
}

QTEST_GUILESS_MAIN(tst_Instance)
#include "tst_instance.moc"
