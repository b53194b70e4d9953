#ifndef HEADLESSSWAY_H
#define HEADLESSSWAY_H

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

// A sway of the test's own on one headless 1280 x 800 output, drawn by the CPU, without XWayland.
// sway refuses to run as root: under root it, and the clients started through it, run as nobody.
class HeadlessSway
{
public:
    HeadlessSway();
    ~HeadlessSway();
    HeadlessSway(const HeadlessSway &) = delete;
    HeadlessSway &operator=(const HeadlessSway &) = delete;

    // Starts sway and waits until its socket is there.
    bool start();
    // A Wayland session's environment, and nothing else: no X server, no bus.
    QProcessEnvironment environment() const { return session; }
    // Starts a client of the compositor as the compositor's user.
    void launch(QProcess &process, const QStringList &command) const;
    // The output as the compositor shows it (grim), null when that fails.
    QImage screen() const;

private:
    QTemporaryDir home;
    QProcess sway;
    QStringList asUser;
    QProcessEnvironment session;
};

#endif // HEADLESSSWAY_H
