#include "LayerShell.h"

#include "DisplayLogging.h"

#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLibrary>
#include <QLibraryInfo>
#include <QScreen>
#include <QWindow>

namespace {

const char ShellVariable[] = "QT_WAYLAND_SHELL_INTEGRATION";

bool used = false;
bool shellWasSet = false;
QByteArray shellBefore;

// Puts QT_WAYLAND_SHELL_INTEGRATION back once the window's first frame is asked for: by then Qt
// has read it.
class ShellVariableRestorer : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose) {
            if (shellWasSet)
                qputenv(ShellVariable, shellBefore);
            else
                qunsetenv(ShellVariable);
            watched->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }
};

// The module with the Wayland side, installed beside the program (asked before the application
// object exists, which would know the program's folder), or where a developer build made it.
QLibrary &module()
{
    static QLibrary library;
    static bool tried = false;
    if (tried)
        return library;
    tried = true;
    const QString programFolder =
        QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(QLatin1Char('/'), 0, -2);
    const QString built = QString::fromLocal8Bit(LUMIVANE_WAYLAND_MODULE_BUILT);
    const QString installed = programFolder + QLatin1Char('/') + QLatin1String(LUMIVANE_WAYLAND_MODULE);
    for (const QString &path : {installed, built}) {
        if (path.isEmpty())
            continue;
        library.setFileName(path);
        if (library.load())
            return library;
    }
    qCWarning(lcDisplay) << "The program's Wayland module does not load:" << library.errorString();
    return library;
}

template<typename Function>
Function *resolve(const char *symbol)
{
    return module().isLoaded() ? reinterpret_cast<Function *>(module().resolve(symbol)) : nullptr;
}

bool pluginLoads(const char *path)
{
    QLibrary plugin(QLibraryInfo::location(QLibraryInfo::PluginsPath) + QLatin1String(path));
    return plugin.load();
}

} // namespace

LayerShell::Answer LayerShell::ask(int timeoutMs)
{
    auto *ask = resolve<int(int)>("lumivaneAskLayerShell");
    if (!ask)
        return Answer::Unavailable;
    const int answer = ask(timeoutMs);
    if (answer < 0)
        return Answer::NoCompositor;
    if (answer == 0 || !pluginLoads("/platforms/libqwayland-generic.so") ||
        !pluginLoads("/wayland-shell-integration/liblayer-shell.so"))
        return Answer::WithoutLayerShell;
    return Answer::Offered;
}

void LayerShell::use()
{
    if (auto *useLayerShell = resolve<void()>("lumivaneUseLayerShell")) {
        shellWasSet = qEnvironmentVariableIsSet(ShellVariable);
        shellBefore = qgetenv(ShellVariable);
        useLayerShell();
        used = true;
    }
}

bool LayerShell::inUse()
{
    return used;
}

void LayerShell::place(QWindow *window)
{
    static bool restoring = false;
    if (!restoring) {
        restoring = true;
        window->installEventFilter(new ShellVariableRestorer(window));
    }
    if (auto *placeOnOverlayLayer = resolve<void(QWindow *, QScreen *)>("lumivanePlaceOnOverlayLayer"))
        placeOnOverlayLayer(window, QGuiApplication::primaryScreen());
}
