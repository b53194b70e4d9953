#include "ScreenReaderNotice.h"

#include <QString>
#include <QTimer>
#include <QWidget>

#include <windows.h>
// After windows.h, which it needs.
#include <oleauto.h>

namespace {

// UI Automation's notification event (Windows 10 1709 and later), looked up at run time so that
// a system without it simply goes without. The providers are taken as IUnknown: nothing else of
// them is used here.
using HostProviderFromHwnd = HRESULT(WINAPI *)(HWND, IUnknown **);
using RaiseNotificationEvent = HRESULT(WINAPI *)(IUnknown *, int, int, BSTR, BSTR);

// The system's NotificationKind_Other and NotificationProcessing_MostRecent: a new mode replaces
// an announcement of the one before that is still waiting to be read.
constexpr int NotificationKindOther = 4;
constexpr int NotificationProcessingMostRecent = 3;
// Names the announcements of this program to the system, the same in every language; the
// Windows suite (tst_overlay_win) checks it too.
constexpr wchar_t ActivityId[] = L"Lumivane.ModeShown";

struct UiAutomation
{
    HostProviderFromHwnd hostProvider = nullptr;
    RaiseNotificationEvent raiseNotification = nullptr;
};

template<typename Function>
Function resolve(HMODULE library, const char *name)
{
    // Through the generic function type, which any function pointer may be cast to and from.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

// Looked up at the first announcement, not at start: most users never need it.
const UiAutomation &uiAutomation()
{
    static const UiAutomation found = [] {
        UiAutomation functions;
        // The library loaded already, or the system's own: never one that lies beside the program.
        HMODULE library = GetModuleHandleW(L"UIAutomationCore.dll");
        if (!library)
            library = LoadLibraryExW(L"UIAutomationCore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (library) {
            functions.hostProvider = resolve<HostProviderFromHwnd>(library, "UiaHostProviderFromHwnd");
            functions.raiseNotification =
                resolve<RaiseNotificationEvent>(library, "UiaRaiseNotificationEvent");
        }
        return functions;
    }();
    return found;
}

void raiseNotification(QWidget *window)
{
    const UiAutomation &automation = uiAutomation();
    if (!automation.hostProvider || !automation.raiseNotification)
        return;
    IUnknown *provider = nullptr;
    if (FAILED(automation.hostProvider(reinterpret_cast<HWND>(window->winId()), &provider)) || !provider)
        return;
    const QString caption = window->accessibleName();
    BSTR text = SysAllocStringLen(reinterpret_cast<const OLECHAR *>(caption.utf16()), UINT(caption.size()));
    BSTR activity = SysAllocString(ActivityId);
    if (text && activity)
        automation.raiseNotification(
            provider, NotificationKindOther, NotificationProcessingMostRecent, text, activity);
    SysFreeString(activity);
    SysFreeString(text);
    provider->Release();
}

} // namespace

void ScreenReaderNotice::announceShown()
{
    // Told once the window is on screen: the show event comes before the native window shows.
    QTimer::singleShot(0, this, [this] { raiseNotification(window); });
}

void ScreenReaderNotice::announceChanged()
{
    raiseNotification(window);
}
