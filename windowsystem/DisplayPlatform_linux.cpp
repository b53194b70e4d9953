#include "DisplayPlatform.h"

#include "DisplayLogging.h"
#include "LayerShell.h"

#include "session/StartEnvironment.h"

#include <QByteArray>

#include <xcb/xcb.h>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const char PlatformVariable[] = "QT_QPA_PLATFORM";
const char ShellVariable[] = "QT_WAYLAND_SHELL_INTEGRATION";
// Qt's Wayland platform asks, as it shows its first window, whether it could draw decorations
// around windows, and to answer loads its EGL client-buffer integration: Mesa, LLVM and gbm, some
// 50 MiB, for windows that are all frameless raster ones. With decorations switched off it asks
// nothing and every window stays in shared memory. Qt reads the variable once, at that first show.
const char DecorationVariable[] = "QT_WAYLAND_DISABLE_WINDOWDECORATION";
// After each frame it hands to the compositor, Qt's Wayland client posts itself a call that arms a
// timer, to take the window for hidden if the compositor's "frame done" is 100 ms late. The
// overlay paints on its own clock and never waits for that answer, so the guard only adds a
// wake-up to every frame of its animations (about 170 of 1400 context switches a display).
const char FrameTimeoutVariable[] = "QT_WAYLAND_FRAME_CALLBACK_TIMEOUT";

// A compositor busy at login may take seconds to answer. An answer still missing then is no "no":
// Qt waits for that compositor in any case, and the program takes its Wayland side without
// knowing what it offers.
constexpr int WaylandQueryMs = 5000;

// Which display was taken, and why.
QByteArray choice;

// A variable for the application object, which Qt may read at any time of the run. The processes
// the program starts get the environment as it was before (StartEnvironment).
void setForApplication(const char *name, const char *value)
{
    StartEnvironment::take();
    qputenv(name, value);
}

// Whether WAYLAND_SOCKET hands over an open socket. Where it names none, libwayland would not look
// at WAYLAND_DISPLAY, and Qt's Wayland platform would abort the program: the variable then goes,
// and the display is chosen as without it.
bool connectionHanded()
{
    if (qEnvironmentVariableIsEmpty("WAYLAND_SOCKET"))
        return false;
    bool number = false;
    const int socket = qEnvironmentVariableIntValue("WAYLAND_SOCKET", &number);
    int type = 0;
    socklen_t length = sizeof type;
    if (number && ::getsockopt(socket, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_STREAM)
        return true;
    StartEnvironment::take();
    qunsetenv("WAYLAND_SOCKET");
    return false;
}

// On any Wayland path; a value the user gave stays theirs.
void configureWaylandClient()
{
    if (!qEnvironmentVariableIsSet(DecorationVariable))
        setForApplication(DecorationVariable, "1");
    if (!qEnvironmentVariableIsSet(FrameTimeoutVariable))
        setForApplication(FrameTimeoutVariable, "0");
}

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

// Whether a compositor accepts connections at WAYLAND_DISPLAY, found as libwayland finds it, for
// when the program's Wayland module cannot ask it: Qt's Wayland platform aborts the program when
// none does.
bool compositorListens()
{
    QByteArray path = qgetenv("WAYLAND_DISPLAY");
    if (path.isEmpty())
        path = "wayland-0";
    if (!path.startsWith('/'))
        path = qgetenv("XDG_RUNTIME_DIR") + '/' + path;
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool listens =
        socket >= 0 && ::connect(socket, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    if (socket >= 0)
        ::close(socket);
    return listens;
}

LayerShell::Answer askCompositor()
{
    const LayerShell::Answer answer = LayerShell::ask(WaylandQueryMs);
    if (answer == LayerShell::Answer::Unavailable && !compositorListens())
        return LayerShell::Answer::NoCompositor;
    return answer;
}

// Why a window the compositor places, not a layer surface.
QByteArray withoutLayerShell(LayerShell::Answer answer)
{
    if (answer == LayerShell::Answer::NotIntegrated)
        return LayerShell::integrationProblem();
    return answer == LayerShell::Answer::Unavailable ? LayerShell::moduleProblem()
                                                     : "it offers no layer shell";
}

// The layer surface, where the compositor offers one.
void useLayerShell(const char *shells)
{
    setForApplication(ShellVariable, shells);
    LayerShell::use();
}

// A connection handed to the program (WAYLAND_SOCKET) is the one it runs on, and cannot be asked
// first: the first client to connect takes it. Qt chooses among the shell integrations in order,
// the layer shell where the compositor offers one, a window of the desktop shell otherwise.
void takeHandedConnection(const QByteArray &chosen)
{
    if (LayerShell::loads()) {
        useLayerShell("layer-shell;xdg-shell");
        choice = chosen + " on the connection handed to it, a layer surface where the compositor offers one";
    } else {
        choice = chosen + " on the connection handed to it, a window the compositor places: " +
            (LayerShell::moduleProblem().isEmpty() ? LayerShell::integrationProblem()
                                                   : LayerShell::moduleProblem());
    }
}

// A compositor that took the connection and has not answered within the time: Qt's Wayland
// platform learns what it offers once it answers, and takes the layer shell where it is offered.
void takeUnanswered(const QByteArray &chosen)
{
    const QByteArray silence =
        ": the compositor did not answer within " + QByteArray::number(WaylandQueryMs / 1000) + " s";
    if (LayerShell::loads()) {
        useLayerShell("layer-shell;xdg-shell");
        choice = chosen + ", a layer surface where the compositor offers one" + silence;
    } else {
        choice = chosen + ", a window the compositor places" + silence;
    }
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
        configureWaylandClient();
        choice = name + ", as chosen by the user";
        return true;
    }
    if (connectionHanded()) {
        takeHandedConnection(name + ", as chosen by the user,");
        return true;
    }
    const LayerShell::Answer answer = askCompositor();
    switch (answer) {
    case LayerShell::Answer::NoCompositor:
        qCCritical(lcDisplay, "no display: no Wayland compositor answers at WAYLAND_DISPLAY \"%s\"",
            qgetenv("WAYLAND_DISPLAY").constData());
        return false;
    case LayerShell::Answer::Offered:
        configureWaylandClient();
        useLayerShell("layer-shell");
        choice = name + ", as chosen by the user: a layer surface";
        return true;
    case LayerShell::Answer::Silent:
        takeUnanswered(name + ", as chosen by the user,");
        return true;
    case LayerShell::Answer::WithoutLayerShell:
    case LayerShell::Answer::NotIntegrated:
    case LayerShell::Answer::Unavailable:
        break;
    }
    configureWaylandClient();
    choice = name + ", as chosen by the user: a window the compositor places: " + withoutLayerShell(answer);
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

    // Started by the compositor itself, as a client it launches.
    if (connectionHanded()) {
        setForApplication(PlatformVariable, "wayland");
        configureWaylandClient();
        takeHandedConnection("Wayland");
        return true;
    }
    const bool waylandSession =
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qgetenv("XDG_SESSION_TYPE") == "wayland";
    const LayerShell::Answer wayland = waylandSession ? askCompositor() : LayerShell::Answer::NoCompositor;
    if (wayland == LayerShell::Answer::Offered) {
        setForApplication(PlatformVariable, "wayland");
        configureWaylandClient();
        useLayerShell("layer-shell");
        choice = "Wayland, a layer surface: the compositor offers one";
        return true;
    }
    // Its XWayland, if any, would not answer either.
    if (wayland == LayerShell::Answer::Silent) {
        setForApplication(PlatformVariable, "wayland");
        takeUnanswered("Wayland");
        return true;
    }
    if (xServerAnswers(display)) {
        if (!waylandSession) {
            choice = "X11";
            return true;
        }
        setForApplication(PlatformVariable, "xcb");
        if (wayland == LayerShell::Answer::NoCompositor)
            choice = "X11 through XWayland: no Wayland compositor answers";
        else if (wayland == LayerShell::Answer::Unavailable)
            choice = "X11 through XWayland: " + LayerShell::moduleProblem();
        else if (wayland == LayerShell::Answer::NotIntegrated)
            choice = "X11 through XWayland: " + LayerShell::integrationProblem();
        else
            choice = "X11 through XWayland: the Wayland compositor offers no layer shell";
        return true;
    }
    if (wayland != LayerShell::Answer::NoCompositor) {
        setForApplication(PlatformVariable, "wayland");
        configureWaylandClient();
        choice = "Wayland, a window the compositor places: " + withoutLayerShell(wayland) +
            ", and no X server runs";
        return true;
    }
    return noXServer(display);
}

void DisplayPlatform::sayWhichDisplay()
{
    if (!choice.isEmpty())
        qCInfo(lcDisplay, "%s", choice.constData());
}
