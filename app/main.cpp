#include "ApplicationIdentity.h"
#include "InstanceGuard.h"
#include "QtApi.h"
#include "TerminationWatcher.h"
#include "channel/ModeChannel.h"
#include "overlay/Lumivane.h"
#include "resources/UiLanguage.h"
#include "session/StartEnvironment.h"
#include "session/WarningLog.h"
#include "sessionbus/BusAutolaunch.h"
#include "sessionbus/BusLogging.h"
#include "sessionbus/OverlayBus.h"
#include "sessionbus/SessionBusCheck.h"
#include "tray/SystemTray.h"
#include "windowsystem/DisplayPlatform.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFont>

namespace {

void useCaptionFont()
{
    QFont font;
    font.setFamily(QStringLiteral("微软雅黑"));
    // Windows hints this font fully in any case. Elsewhere the system's usual "slight" hinting
    // runs FreeType's auto-hinter, which analyses a CJK face from dozens of its glyphs before the
    // first caption: the font's own hinting saves that time and about 1.5 MiB of the font file.
    font.setHintingPreference(QFont::PreferFullHinting);
    QApplication::setFont(font);
}

} // namespace

int main(int argc, char *argv[])
{
    // Before anything sets a variable for the toolkit's sake: what the program starts gets this.
    StartEnvironment::take();
    const WarningLog warningLog;
    const QCommandLineOption showOption(QStringLiteral("s"));
    // Beside a running overlay that answers at once, the start ends before it makes anything.
    if (InstanceGuard::overlayRunsAlready(argc, argv, {showOption}))
        return 0;
    BusAutolaunch::prevent();
    if (!DisplayPlatform::chooseBeforeApplication(argc, argv))
        return 1;
    // The overlay draws nothing with OpenGL. Plain raster windows spare it the OpenGL stack
    // (tens of MiB) that the X11 platform otherwise loads when the first window is created.
    QCoreApplication::setAttribute(Qt::AA_ForceRasterWidgets);
    // Sized like every other window on a dense screen, in logical pixels throughout. The
    // environment keeps its Qt meaning: QT_ENABLE_HIGHDPI_SCALING=0 turns this off, QT_SCALE_FACTOR
    // multiplies, QT_SCALE_FACTOR_ROUNDING_POLICY overrides the rounding. Whole factors keep every
    // child of the display on the device pixel grid, the icons and captions sharp; at 125 % this
    // gives 1x, at 150 % 2x.
    QtApi::scaleForDenseScreens();
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
    SessionBusCheck sessionBusCheck;
    QApplication app(argc, argv);
    sessionBusCheck.settle();
    ApplicationIdentity::apply();
    UiLanguage::install(app);
    TerminationWatcher terminationWatcher;
    QCommandLineParser parser;
    parser.addOption(showOption);
    parser.process(app);

    // Held until after the window is gone. A marker that cannot be made does not stop this one.
    InstanceGuard instanceGuard;
    if (instanceGuard.acquire() == InstanceGuard::Result::AlreadyRunning)
        return 0;
    DisplayPlatform::sayWhichDisplay();

    useCaptionFont();

    Lumivane window;
    // Of overlays started at the same moment, the one that took the report channel first runs.
    if (instanceGuard.yieldsToChannel())
        return 0;
    instanceGuard.yieldWhenChannelTaken();
    OverlayBus busService({
        [&window](quint32 parameter) { window.receiveReport(parameter); },
        [&window] { window.showapp(); },
        // The menu's own slot, which 更新 runs.
        [&window] { QMetaObject::invokeMethod(window.tray, "open_url"); },
        // As 退出 does.
        &QCoreApplication::quit,
    });
    window.setReportObserver([&busService, &window] { busService.setCurrentMode(window.currentMode); });
    // Never deaf: without the bus and without the X11 channel no report could reach the overlay.
    QObject::connect(&busService, &OverlayBus::busLost, &busService, [&busService] {
        if (ModeChannel::holding()) {
            busService.rejoinWhenBack();
            return;
        }
        qCCritical(lcBus, "The session bus went away, and with it the last report channel; ending");
        QCoreApplication::exit(1);
    });
    const OverlayBus::Name name = busService.publish();
    if (instanceGuard.yieldsToBusName(name))
        return 0;
    if (name == OverlayBus::Name::HeldByAnother)
        busService.waitForName();
    if (parser.isSet(showOption))
        window.showapp();
    return app.exec();
}
