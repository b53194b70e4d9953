#include "overlay/Lumivane.h"
#include "platform/DisplayPlatform.h"
#include "platform/TerminationWatcher.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFont>
#include <QSharedMemory>

namespace {

// Sets an environment variable for the application object only (when the user has not set it),
// so that the companion started later does not inherit the change.
class ApplicationEnvironment
{
public:
    ApplicationEnvironment(const char *name, const QByteArray &value)
        : name(name)
        , wasSet(qEnvironmentVariableIsSet(name))
    {
        if (!wasSet)
            qputenv(name, value);
    }
    ~ApplicationEnvironment() { restore(); }
    ApplicationEnvironment(const ApplicationEnvironment &) = delete;
    ApplicationEnvironment &operator=(const ApplicationEnvironment &) = delete;

    void restore()
    {
        if (!wasSet)
            qunsetenv(name);
        wasSet = true;
    }

private:
    const char *name;
    bool wasSet;
};

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
    // The overlay draws nothing with OpenGL: spare it the GL stack that the X11 platform would
    // otherwise load at start.
    ApplicationEnvironment glIntegration("QT_XCB_GL_INTEGRATION", "none");
    QApplication app(argc, argv);
    glIntegration.restore();
    DisplayPlatform::restoreEnvironment();
    TerminationWatcher terminationWatcher;
    QCommandLineOption showOption(QStringLiteral("s"));
    QCommandLineParser parser;
    parser.addOption(showOption);
    parser.process(app);

    clearAbandonedMarker(QStringLiteral("flag"));
    QSharedMemory guard(QStringLiteral("flag"));
    if (guard.attach(QSharedMemory::ReadWrite))
        return 0;
    guard.create(1, QSharedMemory::ReadWrite);

    QFont font;
    font.setFamily(QStringLiteral("微软雅黑"));
    QApplication::setFont(font);

    Lumivane window;
    if (parser.isSet(showOption))
        window.showapp();
    return app.exec();
}
