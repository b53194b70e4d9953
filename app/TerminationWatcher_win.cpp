#include "TerminationWatcher.h"

#include <QCoreApplication>
#include <QWinEventNotifier>

#include <windows.h>

namespace {

// The installer and the uninstaller of this program's folder ask it to end through an event named
// after that folder, then wait until its files are free: the overlay ignores requests to close its
// window, and a forced end would leave its companion running. Only the copy in that folder answers.
// The name's twin is EndRunningProgram in cmake/windows/installer.nsi.in.
class QuitEvent : public QObject
{
public:
    explicit QuitEvent(QObject *parent)
        : QObject(parent)
    {
        const QString name =
            QStringLiteral("Local\\Lumivane-quit:") + QCoreApplication::applicationDirPath().toLower();
        // Auto-reset: one request wakes one waiter and is used up.
        handle = CreateEventW(nullptr, FALSE, FALSE, reinterpret_cast<const wchar_t *>(name.utf16()));
        if (!handle)
            return;
        notifier.setHandle(handle);
        connect(
            &notifier, &QWinEventNotifier::activated, QCoreApplication::instance(), &QCoreApplication::quit);
        notifier.setEnabled(true);
    }

    ~QuitEvent() override
    {
        notifier.setEnabled(false);
        if (handle)
            CloseHandle(handle);
    }

private:
    QWinEventNotifier notifier;
    HANDLE handle = nullptr;
};

} // namespace

// A GUI process on Windows receives no console signals; the end of a session reaches it as window
// messages, which Qt turns into the application's own shutdown.
TerminationWatcher::TerminationWatcher(QObject *parent)
    : QObject(parent)
{
    new QuitEvent(this);
}

TerminationWatcher::~TerminationWatcher() = default;
