#include "InstanceCases.h"

#include "support/OverlayProcess.h"

#include <QRegularExpression>
#include <QTest>

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

void InstanceCases::secondStartExits()
{
    QVERIFY(!markerPresent());
    OverlayProcess *first = start();
    QTRY_VERIFY_WITH_TIMEOUT(isRunning(first), TimeoutMs);
    QVERIFY(markerPresent());
    for (const QStringList &arguments : {QStringList(), QStringList {QStringLiteral("-s")}}) {
        OverlayProcess *second = start(arguments);
        QVERIFY(second->process.waitForFinished(TimeoutMs));
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
