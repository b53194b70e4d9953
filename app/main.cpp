#include "overlay/Lumivane.h"
#include "platform/ChannelNames.h"
#include "platform/DisplayPlatform.h"
#include "platform/TerminationWatcher.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFont>
#include <QSharedMemory>

namespace {

// On Unix a marker segment outlives an instance that was killed before it could detach. Attaching
// and detaching once removes such a segment when nobody else holds it, and leaves the marker of a
// running instance alone.
void clearAbandonedMarker(const QString &key)
{
    QSharedMemory probe(key);
    if (probe.attach())
        probe.detach();
}

} // namespace

int main(int argc, char *argv[])
{
    DisplayPlatform::chooseBeforeApplication(argc, argv);
    // The overlay draws nothing with OpenGL. Plain raster windows spare it the OpenGL stack
    // (tens of MiB) that the X11 platform otherwise loads when the first window is created.
    QCoreApplication::setAttribute(Qt::AA_ForceRasterWidgets);
    QApplication app(argc, argv);
    DisplayPlatform::restoreEnvironment();
    TerminationWatcher terminationWatcher;
    QCommandLineOption showOption(QStringLiteral("s"));
    QCommandLineParser parser;
    parser.addOption(showOption);
    parser.process(app);

    const QString markerKey = QLatin1String(ChannelNames::InstanceMarker);
    clearAbandonedMarker(markerKey);
    QSharedMemory guard(markerKey);
    if (guard.attach(QSharedMemory::ReadWrite))
        return 0;
    // On Unix the segment's key comes from a file that the creation makes when it is missing. When
    // an abandoned segment's own file has been removed, the new file can get the same number from
    // the file system and with it the abandoned segment's key, and the creation fails. With the
    // file now in place the abandoned segment can be cleared, and the creation tried once more.
    if (!guard.create(1, QSharedMemory::ReadWrite) && guard.error() == QSharedMemory::AlreadyExists) {
        clearAbandonedMarker(markerKey);
        if (guard.attach(QSharedMemory::ReadWrite))
            return 0;
        guard.create(1, QSharedMemory::ReadWrite);
    }

    QFont font;
    font.setFamily(QStringLiteral("微软雅黑"));
    // Windows hints this font fully in any case. Elsewhere the system's usual "slight" hinting
    // runs FreeType's auto-hinter, which analyses a CJK face from dozens of its glyphs before the
    // first caption: the font's own hinting saves that time and about 1.5 MiB of the font file.
    font.setHintingPreference(QFont::PreferFullHinting);
    QApplication::setFont(font);

    Lumivane window;
    if (parser.isSet(showOption))
        window.showapp();
    return app.exec();
}
