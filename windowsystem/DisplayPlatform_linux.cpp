#include "DisplayPlatform.h"

#include "DisplayLogging.h"
#include "LayerShell.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const char PlatformVariable[] = "QT_QPA_PLATFORM";
const char ShellVariable[] = "QT_WAYLAND_SHELL_INTEGRATION";
// Qt's Wayland platform asks, as it shows its first window, whether it could draw decorations
// around windows, and to answer loads its EGL client-buffer integration: Mesa, LLVM and gbm, some
// 50 MiB, for windows that are all frameless raster ones. With decorations switched off it asks
// nothing and every window stays in shared memory. Qt reads the variable once, at that first show.
const char DecorationVariable[] = "QT_WAYLAND_DISABLE_WINDOWDECORATION";

// Long enough for a compositor's answer on a loaded machine, short enough not to be felt at login.
constexpr int WaylandQueryMs = 250;

// A variable set for the application object alone, and how it was before. Set but empty counts as
// unset for Qt, yet is restored as it was.
struct Saved
{
    const char *name;
    bool wasSet;
    QByteArray value;
    // Read by Qt only when it shows its first window, not as the application object is made.
    bool untilShown;
};
std::vector<Saved> saved;

// Which display was taken, and why.
QByteArray choice;

void setForApplication(const char *name, const char *value, bool untilShown = false)
{
    saved.push_back({name, qEnvironmentVariableIsSet(name), qgetenv(name), untilShown});
    qputenv(name, value);
}

// On any Wayland path; a value the user gave stays theirs.
void drawNoDecorations()
{
    if (!qEnvironmentVariableIsSet(DecorationVariable))
        setForApplication(DecorationVariable, "1", true);
}

// Puts the saved variables back, newest first: those Qt reads only at its first show as well, or
// only the others.
void restore(bool untilShownToo)
{
    for (auto variable = saved.rbegin(); variable != saved.rend(); ++variable) {
        if (variable->untilShown && !untilShownToo)
            continue;
        if (variable->wasSet)
            qputenv(variable->name, variable->value);
        else
            qunsetenv(variable->name);
    }
    saved.erase(std::remove_if(saved.begin(), saved.end(),
                    [untilShownToo](const Saved &variable) { return untilShownToo || !variable.untilShown; }),
        saved.end());
}

// Puts the rest back once the first window is exposed: Qt has read them by then.
class FirstShowRestorer : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Expose) {
            restore(true);
            QCoreApplication::instance()->removeEventFilter(this);
        }
        return false;
    }
};

// The value of one of Qt's own options on the command line, which Qt takes with one dash or two:
// null when absent, empty when it ends the command line.
const char *optionValue(int argc, char *argv[], const char *name)
{
    for (int i = 1; i < argc; ++i) {
        const char *word = argv[i];
        if (word[0] != '-')
            continue;
        word += word[1] == '-' ? 2 : 1;
        if (std::strcmp(word, name) == 0)
            return i + 1 < argc ? argv[i + 1] : "";
    }
    return nullptr;
}

// Whether an X server answers at the display name (DISPLAY when null). Qt's X11 platform aborts
// the program when none does.
bool xServerAnswers(const char *display)
{
    xcb_connection_t *connection = xcb_connect(display, nullptr);
    const bool answers = !xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    return answers;
}

bool noXServer(const char *display)
{
    const QByteArray name = display ? QByteArray(display) : qgetenv("DISPLAY");
    if (name.isEmpty())
        qCCritical(lcDisplay, "no display: DISPLAY is not set and no other display was chosen");
    else
        qCCritical(lcDisplay, "no display: no X server answers at DISPLAY \"%s\"", name.constData());
    return false;
}

bool takeChosen(const QByteArray &name, const char *display)
{
    if (name == "xcb" && !xServerAnswers(display))
        return noXServer(display);
    if (!name.startsWith("wayland")) {
        choice = name + ", as chosen by the user";
        return true;
    }
    // A shell integration the user chose stays theirs.
    if (!qEnvironmentVariableIsEmpty(ShellVariable)) {
        drawNoDecorations();
        choice = name + ", as chosen by the user";
        return true;
    }
    switch (LayerShell::ask(WaylandQueryMs)) {
    case LayerShell::Answer::NoCompositor:
        qCCritical(lcDisplay, "no display: no Wayland compositor answers at WAYLAND_DISPLAY \"%s\"",
            qgetenv("WAYLAND_DISPLAY").constData());
        return false;
    case LayerShell::Answer::Offered:
        drawNoDecorations();
        LayerShell::use();
        choice = name + ", as chosen by the user: a layer surface";
        return true;
    case LayerShell::Answer::WithoutLayerShell:
    case LayerShell::Answer::Unavailable:
        break;
    }
    drawNoDecorations();
    choice = name + ", as chosen by the user: a window the compositor places, which offers no layer shell";
    return true;
}

} // namespace

bool DisplayPlatform::chooseBeforeApplication(int argc, char *argv[])
{
    const char *display = optionValue(argc, argv, "display");
    const char *platformOption = optionValue(argc, argv, "platform");
    const QByteArray chosen = platformOption ? QByteArray(platformOption) : qgetenv(PlatformVariable);
    // Whatever follows a colon is the platform's own arguments.
    if (platformOption || !chosen.isEmpty())
        return takeChosen(chosen.split(':').constFirst(), display);

    const bool waylandSession =
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qgetenv("XDG_SESSION_TYPE") == "wayland";
    const LayerShell::Answer wayland =
        waylandSession ? LayerShell::ask(WaylandQueryMs) : LayerShell::Answer::NoCompositor;
    if (wayland == LayerShell::Answer::Offered) {
        setForApplication(PlatformVariable, "wayland");
        drawNoDecorations();
        LayerShell::use();
        choice = "Wayland, a layer surface: the compositor offers one";
        return true;
    }
    if (xServerAnswers(display)) {
        if (!waylandSession) {
            choice = "X11";
            return true;
        }
        setForApplication(PlatformVariable, "xcb");
        if (wayland == LayerShell::Answer::WithoutLayerShell)
            choice = "X11 through XWayland: the Wayland compositor offers no layer shell";
        else
            choice = "X11 through XWayland: no Wayland compositor answers";
        return true;
    }
    if (wayland == LayerShell::Answer::WithoutLayerShell) {
        setForApplication(PlatformVariable, "wayland");
        drawNoDecorations();
        choice = "Wayland, a window the compositor places: it offers no layer shell, and no X server runs";
        return true;
    }
    return noXServer(display);
}

void DisplayPlatform::sayWhichDisplay()
{
    if (!choice.isEmpty())
        qCInfo(lcDisplay, "%s", choice.constData());
}

void DisplayPlatform::restoreEnvironment()
{
    // The processes the program starts inherit the user's environment.
    restore(false);
    if (saved.empty())
        return;
    QCoreApplication *application = QCoreApplication::instance();
    if (!application) {
        restore(true);
        return;
    }
    // One for the application's life, watching only while something is left to put back.
    static QPointer<FirstShowRestorer> restorer;
    if (!restorer)
        restorer = new FirstShowRestorer(application);
    application->installEventFilter(restorer);
}
