#ifndef HEADLESSSWAY_H
#define HEADLESSSWAY_H

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

// A sway of the test's own on headless outputs, the first 1280 x 800, drawn by the CPU, with or
// without XWayland. sway refuses to run as root: under root it, and the clients started through
// it, run as nobody.
class HeadlessSway
{
public:
    HeadlessSway();
    ~HeadlessSway();
    HeadlessSway(const HeadlessSway &) = delete;
    HeadlessSway &operator=(const HeadlessSway &) = delete;

    // Starts sway with the configuration's lines added to its own, and waits until a program that
    // sway starts has written down the session's environment.
    bool start(const QByteArray &moreConfig = QByteArray(), bool xwayland = false, int outputs = 1);
    // The session's environment as sway gives it to what it starts: no bus, and no X server
    // without XWayland.
    QProcessEnvironment environment() const { return session; }
    // Starts a client of the compositor as the compositor's user, in the session's environment or
    // the one given.
    void launch(QProcess &process, const QStringList &command,
        const QProcessEnvironment &environment = QProcessEnvironment()) const;
    // The compositor's process, for a test to stop, continue or kill it.
    qint64 processId() const { return sway.processId(); }
    // Ends the compositor; whether it has ended.
    bool stop();
    // What a client of the compositor writes to its standard output.
    QByteArray output(const QStringList &command) const;
    // The output as the compositor shows it (grim), null when that fails.
    QImage screen() const;

private:
    QTemporaryDir home;
    QProcess sway;
    QStringList asUser;
    QProcessEnvironment session;
};

#endif // HEADLESSSWAY_H
