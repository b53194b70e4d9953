#include "LayerShell.h"

#include "lumivane-config.h"

#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QLibraryInfo>
#include <QWindow>

namespace {

bool used = false;
QByteArray problem;

// The module, at the same place relative to the program in a build tree and an installed one:
// asked before the application object exists, which would know the program's folder.
QLibrary &module()
{
    static QLibrary library;
    static bool tried = false;
    if (tried)
        return library;
    tried = true;
    const QString programFolder =
        QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(QLatin1Char('/'), 0, -2);
    const QString path = QFileInfo(programFolder + QLatin1Char('/') + QLatin1String(LUMIVANE_WAYLAND_MODULE))
                             .absoluteFilePath();
    // QLibrary's own message on a missing file names another file, one it also tried.
    if (!QFileInfo::exists(path))
        problem = "the program's Wayland module " + QFile::encodeName(path) + " is missing";
    library.setFileName(path);
    if (problem.isEmpty() && !library.load())
        problem = "the program's Wayland module does not load: " + library.errorString().toLocal8Bit();
    return library;
}

template<typename Function>
Function *resolve(const char *symbol)
{
    return module().isLoaded() ? reinterpret_cast<Function *>(module().resolve(symbol)) : nullptr;
}

// A build without the layer-shell integration (LayerShellQt, which exists for Qt 5 alone) has no
// use for Qt's plugins, and never loads them: they may be another Qt's.
#if LUMIVANE_LAYER_SHELL_INTEGRATION
bool pluginLoads(const char *path)
{
    QLibrary plugin(QLibraryInfo::location(QLibraryInfo::PluginsPath) + QLatin1String(path));
    return plugin.load();
}

bool integrationLoads()
{
    return pluginLoads("/platforms/libqwayland-generic.so") &&
        pluginLoads("/wayland-shell-integration/liblayer-shell.so");
}
#else
bool integrationLoads()
{
    return false;
}
#endif

} // namespace

LayerShell::Answer LayerShell::ask(int timeoutMs)
{
    auto *ask = resolve<int(int)>("lumivaneAskLayerShell");
    if (!ask)
        return Answer::Unavailable;
    const int answer = ask(timeoutMs);
    if (answer < 0)
        return Answer::NoCompositor;
    if (answer == 2)
        return Answer::Silent;
    if (answer == 0)
        return Answer::WithoutLayerShell;
    if (!LUMIVANE_LAYER_SHELL_INTEGRATION)
        return Answer::NotIntegrated;
    if (!integrationLoads())
        return Answer::WithoutLayerShell;
    return Answer::Offered;
}

bool LayerShell::loads()
{
    return module().isLoaded() && integrationLoads();
}

QByteArray LayerShell::moduleProblem()
{
    return problem;
}

QByteArray LayerShell::integrationProblem()
{
    return LUMIVANE_LAYER_SHELL_INTEGRATION ? QByteArray("Qt's layer-shell integration does not load")
                                            : QByteArray("this build has no layer-shell integration");
}

void LayerShell::use()
{
    used = true;
}

bool LayerShell::inUse()
{
    return used;
}

void LayerShell::place(QWindow *window)
{
    if (auto *placeOnOverlayLayer = resolve<void(QWindow *)>("lumivanePlaceOnOverlayLayer"))
        placeOnOverlayLayer(window);
}
