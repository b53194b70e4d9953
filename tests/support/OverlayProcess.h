#ifndef OVERLAYPROCESS_H
#define OVERLAYPROCESS_H

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

// The built program run as a process of its own. It runs from a copy in a folder of its own, with
// a blank in its name, so that no companion program sits beside it unless the test puts one there.
class OverlayProcess
{
public:
    OverlayProcess();
    ~OverlayProcess();
    OverlayProcess(const OverlayProcess &) = delete;
    OverlayProcess &operator=(const OverlayProcess &) = delete;

    // Puts a companion program beside the program: a shell script with the given body (Linux).
    bool addCompanion(const QByteArray &script);
    // The folder the program runs from, and the program there.
    QString folderPath() const { return folder.path(); }
    QString programPath() const;

    // Starts the program and waits until it takes reports: on X11 until it owns the selection that
    // senders look for, on Windows until its overlay window exists.
    bool start(const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
        const QStringList &arguments = {});
    // Starts the program and returns once it runs, for a start that may end by itself.
    bool launch(const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
        const QStringList &arguments = {});
    // Asks it to end (SIGTERM on Unix, as the session does at logout) and waits for it.
    bool stop();

    // Everything the program has written to standard error so far, lines ended by "\n".
    QByteArray errorOutput();
    // Whether the given lines were written, each on a line of its own and in this order.
    bool wroteLines(const QList<QByteArray> &lines);

    QProcess process;

private:
    // Waits until the running program is ready; false when it ends first or takes too long.
    bool waitUntil(const std::function<bool()> &ready);

    QTemporaryDir folder;
    QByteArray collected;
};

// A command line's words, split at spaces: runSender(words("2 255 0 0")).
QStringList words(const char *text);

// Runs lumivane-send with the arguments; its exit code, and what it wrote to standard error.
int runSender(const QStringList &arguments, QByteArray *errorOutput = nullptr);

#endif // OVERLAYPROCESS_H
