#ifndef SWAYSESSION_H
#define SWAYSESSION_H

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

// A headless sway session (pixman rendering, XWayland on), as an unprivileged user with a runtime
// folder of its own: nobody's when the test runs as root. A window of the user's (xev, through
// XWayland) holds the keyboard focus. Programs run in it as that user, with its environment.
class SwaySession
{
public:
    SwaySession();
    ~SwaySession();
    SwaySession(const SwaySession &) = delete;
    SwaySession &operator=(const SwaySession &) = delete;

    // Starts sway and the user's window, and waits until that window has the focus.
    bool start();
    // Starts a program in the session, with these variables added to the session's.
    void launch(QProcess *process, const QString &program, const QStringList &arguments,
        const QProcessEnvironment &extra = {});
    // sway's window tree (swaymsg -t get_tree), and the name of its focused node.
    QByteArray tree();
    QString focusedName();
    // The screen (grim).
    QImage screen();

private:
    QByteArray runInSession(const QString &program, const QStringList &arguments);

    QTemporaryDir home;
    QProcess sway;
    QProcessEnvironment session;
};

#endif // SWAYSESSION_H
