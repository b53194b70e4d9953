#include "InstanceCases.h"

#include "channel/ChannelNames.h"
#include "support/OverlayProcess.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSharedMemory>
#include <QTest>

#include <algorithm>

InstanceCases::~InstanceCases() = default;

OverlayProcess *InstanceCases::start(const QStringList &arguments, const QProcessEnvironment &environment)
{
    instances.push_back(std::make_unique<OverlayProcess>());
    OverlayProcess *instance = instances.back().get();
    instance->launch(environment, arguments);
    return instance;
}

bool InstanceCases::isRunning(OverlayProcess *instance)
{
    // Only the screen width counts: a warning printed before the instance check must not.
    static const QRegularExpression screenWidth(
        QStringLiteral("^\\d+$"), QRegularExpression::MultilineOption);
    instance->process.waitForReadyRead(50);
    return instance->process.state() == QProcess::Running &&
        screenWidth.match(QString::fromLocal8Bit(instance->errorOutput())).hasMatch();
}

void InstanceCases::nextInstanceGuards()
{
    OverlayProcess *next = start();
    QTRY_VERIFY_WITH_TIMEOUT(isRunning(next), TimeoutMs);
    OverlayProcess *third = start();
    QVERIFY(third->process.waitForFinished(TimeoutMs));
    QCOMPARE(third->process.exitCode(), 0);
    QCOMPARE(next->process.state(), QProcess::Running);
}

void InstanceCases::cleanup()
{
    for (const auto &instance : instances) {
        if (instance->process.state() != QProcess::NotRunning)
            end(instance.get());
    }
    instances.clear();
    QVERIFY(!markerPresent());
}

bool InstanceCases::environmentFor(bool lockAlone, QProcessEnvironment *environment)
{
    *environment = lockAlone ? withLockAlone() : QProcessEnvironment::systemEnvironment();
    return !environment->isEmpty();
}

void InstanceCases::secondStartExits_data()
{
    QTest::addColumn<bool>("lockAlone");
    QTest::newRow("the platform's own way") << false;
    QTest::newRow("neither an X server nor a session bus") << true;
}

void InstanceCases::secondStartExits()
{
    QFETCH(bool, lockAlone);
    QProcessEnvironment environment;
    if (!environmentFor(lockAlone, &environment))
        QSKIP("the platform has no other way");
    QVERIFY(!markerPresent());
    OverlayProcess *first = start({}, environment);
    QTRY_VERIFY_WITH_TIMEOUT(isRunning(first), TimeoutMs);
    QVERIFY(markerPresent());
    for (const QStringList &arguments : {QStringList(), QStringList {QStringLiteral("-s")}}) {
        QElapsedTimer sinceStart;
        sinceStart.start();
        OverlayProcess *second = start(arguments, environment);
        QVERIFY(second->process.waitForFinished(TimeoutMs));
        qInfo("The second start ended after %lld ms", sinceStart.elapsed());
        QCOMPARE(second->process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->process.exitCode(), 0);
        // It stopped before building a window, so it logged nothing.
        QCOMPARE(second->errorOutput(), QByteArray());
    }
    QCOMPARE(first->process.state(), QProcess::Running);
}

void InstanceCases::unknownOption_data()
{
    QTest::addColumn<bool>("instanceRunning");
    QTest::newRow("alone") << false;
    QTest::newRow("beside a running instance") << true;
}

void InstanceCases::unknownOption()
{
    QFETCH(bool, instanceRunning);
    if (instanceRunning) {
        OverlayProcess *first = start();
        QTRY_VERIFY_WITH_TIMEOUT(isRunning(first), TimeoutMs);
    }
    // Started with redirected channels, the parser prints its error instead of showing a
    // message box (Windows) that would wait for a click.
    OverlayProcess *process = start({QStringLiteral("-x")});
    QVERIFY(process->process.waitForFinished(TimeoutMs));
    QCOMPARE(process->process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process->process.exitCode(), 1);
    QVERIFY(process->errorOutput().contains("Unknown option 'x'"));
    QCOMPARE(markerPresent(), instanceRunning);
}

void InstanceCases::simultaneousStarts_data()
{
    QTest::addColumn<QString>("marker");
    QTest::addColumn<bool>("lockAlone");
    QTest::newRow("with the marker") << QStringLiteral("ours") << false;
    QTest::newRow("no marker can be made") << QStringLiteral("none") << false;
    QTest::newRow("a stranger holds the marker") << QStringLiteral("stranger's") << false;
    QTest::newRow("neither an X server nor a session bus") << QStringLiteral("ours") << true;
    QTest::newRow("a stranger's marker, neither X nor a bus") << QStringLiteral("stranger's") << true;
}

void InstanceCases::simultaneousStarts()
{
    QFETCH(QString, marker);
    QFETCH(bool, lockAlone);
    QProcessEnvironment environment;
    if (!environmentFor(lockAlone, &environment))
        QSKIP("the platform has no other way");
    if (marker == QLatin1String("none")) {
        environment = withoutMarker();
        if (environment.isEmpty())
            QSKIP("a marker can always be made here");
    }
    // Any program of the same key, as another Qt program might use it.
    QSharedMemory stranger(QLatin1String(ChannelNames::InstanceMarker));
    if (marker == QLatin1String("stranger's")) {
        // As the program does: a new key file can get the number of an earlier one whose segment
        // is still there unattached, and with it that segment's key; it is cleared first.
        if (!stranger.create(1)) {
            QSharedMemory abandoned(stranger.key());
            if (abandoned.attach())
                abandoned.detach();
            QVERIFY2(stranger.create(1), qPrintable(stranger.errorString()));
        }
    }

    constexpr int Starts = 4;
    std::vector<OverlayProcess *> started;
    for (int i = 0; i < Starts; ++i)
        started.push_back(start({QStringLiteral("-s")}, environment));
    const auto ended = [&started] {
        return std::count_if(started.cbegin(), started.cend(),
            [](OverlayProcess *instance) { return instance->process.state() == QProcess::NotRunning; });
    };
    QTRY_COMPARE_WITH_TIMEOUT(ended(), Starts - 1, TimeoutMs);
    const auto running = std::find_if(started.cbegin(), started.cend(),
        [](OverlayProcess *instance) { return instance->process.state() == QProcess::Running; });
    QVERIFY(running != started.cend());
    QTRY_VERIFY_WITH_TIMEOUT(isRunning(*running), TimeoutMs);
    for (OverlayProcess *instance : started) {
        if (instance == *running)
            continue;
        QCOMPARE(instance->process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(instance->process.exitCode(), 0);
    }
    // The marker is named in the one warning of the one left, held by a stranger.
    QCOMPARE((*running)->errorOutput().count("lumivane.instance: Instance marker \"flag\" is held"),
        marker == QLatin1String("stranger's") ? 1 : 0);
}
