#ifndef INSTANCECASES_H
#define INSTANCECASES_H

#include <QObject>
#include <QProcessEnvironment>

#include <memory>
#include <vector>

class OverlayProcess;

// The single-instance guard's cases that hold on every platform, written once. Each platform's
// suite derives from this, says how its marker shows and how a left-over instance ends, and adds
// the cases only it can check. The program runs as separate processes on the test's own X server
// (Linux) and TMPDIR, where the instance marker lives.
class InstanceCases : public QObject
{
    Q_OBJECT

public:
    ~InstanceCases() override;

protected:
    OverlayProcess *start(const QStringList &arguments = {},
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    // True once the process has passed the instance check and begun building its window, which
    // writes the screen size to the debug log.
    static bool isRunning(OverlayProcess *instance);
    // After the instance before has gone: a new start runs, and guards as the first did.
    void nextInstanceGuards();

    // Whether the instance marker is there.
    virtual bool markerPresent() = 0;
    // Ends an instance that a case left running.
    virtual void end(OverlayProcess *instance) = 0;
    // An environment in which no marker can be made; empty where the platform has none.
    virtual QProcessEnvironment withoutMarker() { return QProcessEnvironment(); }
    // An environment with neither an X server nor a session bus, where the lock answers alone;
    // empty where the platform has no such way.
    virtual QProcessEnvironment withLockAlone() { return QProcessEnvironment(); }

    static constexpr int TimeoutMs = 30000;

private Q_SLOTS:
    void cleanup();
    void secondStartExits_data();
    void secondStartExits();
    void unknownOption_data();
    void unknownOption();
    void simultaneousStarts_data();
    void simultaneousStarts();

private:
    // The environment a row's "lock alone" column asks for; false when the platform has none.
    bool environmentFor(bool lockAlone, QProcessEnvironment *environment);

    std::vector<std::unique_ptr<OverlayProcess>> instances;
};

#endif // INSTANCECASES_H
