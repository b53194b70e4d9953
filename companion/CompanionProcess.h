#ifndef COMPANIONPROCESS_H
#define COMPANIONPROCESS_H

#include <QProcess>

// The handle on the companion program. It runs in the environment the user started the program
// with. Its output goes straight to our own standard output and error, where it stays visible and
// never piles up in our memory. On Linux the companion leads a process group of its own, which is
// ended with it; when this process dies, however it dies, the kernel ends the companion and a
// guard in the group ends the rest, so that no orphan outlives it. On Windows the companion runs
// in a job object that ends it when this process's last handle on the job closes, as at its death.
class CompanionProcess : public QProcess
{
    Q_OBJECT

public:
    explicit CompanionProcess(QObject *parent = nullptr);
    // Ends the companion and its group, and waits for the companion.
    ~CompanionProcess() override;

    // Ends the companion at once, without a request to close, and with it every process still
    // in its group where the platform has process groups; does not wait.
    void killGroup();

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
protected:
    // Qt 5's hook between fork and exec; Qt 6 is handed setUpChild as the child process modifier.
    void setupChildProcess() override
    {
        setUpChild();
    }
#endif

private:
    // Runs in the child, between fork and exec; on Unix only.
    void setUpChild();
    // Ties the companion's life to ours where the platform needs more than the child's own setup.
    void tieToOurLife();

    // Our own id, taken before the fork: the child checks that we are still its parent.
    const qint64 parentPid;
    // The job object on Windows.
    void *job = nullptr;
};

#endif // COMPANIONPROCESS_H
