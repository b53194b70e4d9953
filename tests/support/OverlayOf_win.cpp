#include "OverlayOf_win.h"

HWND overlayOf(qint64 processId)
{
    struct Search
    {
        DWORD processId;
        HWND found;
    } search {DWORD(processId), nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM parameter) -> BOOL {
            auto *search = reinterpret_cast<Search *>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            const LONG_PTR exStyle = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
            RECT rect;
            if (owner != search->processId || !(exStyle & WS_EX_TOOLWINDOW) || !(exStyle & WS_EX_TOPMOST) ||
                !GetWindowRect(hwnd, &rect) || rect.right - rect.left < 176 ||
                rect.right - rect.left != rect.bottom - rect.top)
                return TRUE;
            search->found = hwnd;
            return FALSE;
        },
        LPARAM(&search));
    return search.found;
}
