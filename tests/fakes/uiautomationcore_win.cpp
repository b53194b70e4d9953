// A stand-in for the system's UIAutomationCore.dll, with the notification event that Wine's own
// lacks: it hands out a host provider of its own for any window and records each notification
// raised on it, which the test reads back through the standIn* functions.
#include <windows.h>
// After windows.h, which it needs.
#include <oleauto.h>

#include <string>

namespace {

class HostProvider final : public IUnknown
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void **object) override
    {
        *object = id == IID_IUnknown ? this : nullptr;
        return *object ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--references); }

    HWND window = nullptr;
    long references = 0;
};

HostProvider provider;
// One line per notification: kind, processing, text and activity id.
std::wstring notifications;

} // namespace

extern "C" {

__declspec(dllexport) HRESULT WINAPI UiaHostProviderFromHwnd(HWND window, IUnknown **result)
{
    provider.window = window;
    provider.AddRef();
    *result = &provider;
    return S_OK;
}

__declspec(dllexport) HRESULT WINAPI
    UiaRaiseNotificationEvent(IUnknown *element, int kind, int processing, BSTR text, BSTR activityId)
{
    if (element != &provider)
        return E_INVALIDARG;
    notifications += std::to_wstring(kind) + L' ' + std::to_wstring(processing) + L' ' +
        std::wstring(text, SysStringLen(text)) + L' ' + std::wstring(activityId, SysStringLen(activityId)) +
        L'\n';
    return S_OK;
}

__declspec(dllexport) const wchar_t *standInNotifications()
{
    return notifications.c_str();
}

__declspec(dllexport) HWND standInWindow()
{
    return provider.window;
}

__declspec(dllexport) long standInProviderReferences()
{
    return provider.references;
}

} // extern "C"
