// A stand-in for the system's UIAutomationCore.dll, with the notification event that Wine's own
// lacks: it hands out a host provider of its own for any window and records each notification
// raised on it, for the test to read back through the functions at the end.
#include <windows.h>
// After windows.h, which it needs.
#include <oleauto.h>

#include <string>
#include <vector>

namespace {

class HostProvider final : public IUnknown
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void **object) override
    {
        if (id != IID_IUnknown) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--references); }

    HWND window = nullptr;
    long references = 0;
};

struct Notification
{
    HWND window;
    int kind;
    int processing;
    std::wstring text;
    std::wstring activityId;
};

HostProvider provider;
std::vector<Notification> notifications;

std::wstring fromBstr(BSTR text)
{
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

} // namespace

extern "C" {

__declspec(dllexport) HRESULT WINAPI UiaHostProviderFromHwnd(HWND window, IUnknown **result)
{
    if (!result)
        return E_INVALIDARG;
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
    notifications.push_back({provider.window, kind, processing, fromBstr(text), fromBstr(activityId)});
    return S_OK;
}

// What the test reads: how many notifications came, one of them, and the provider's references.
__declspec(dllexport) int standInNotificationCount()
{
    return int(notifications.size());
}

__declspec(dllexport) bool standInNotification(
    int index, HWND *window, int *kind, int *processing, const wchar_t **text, const wchar_t **activityId)
{
    if (index < 0 || index >= int(notifications.size()))
        return false;
    const Notification &notification = notifications[size_t(index)];
    *window = notification.window;
    *kind = notification.kind;
    *processing = notification.processing;
    *text = notification.text.c_str();
    *activityId = notification.activityId.c_str();
    return true;
}

__declspec(dllexport) long standInProviderReferences()
{
    return provider.references;
}

} // extern "C"
