#include "HidInterfaces_win.h"

#include <setupapi.h>

#include <vector>

HidInterfaces::Enumeration HidInterfaces::enumeration = &HidInterfaces::present;

QStringList HidInterfaces::present(bool *ok)
{
    QStringList paths;
    const HDEVINFO set =
        SetupDiGetClassDevsW(&InterfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        *ok = false;
        return paths;
    }
    SP_DEVICE_INTERFACE_DATA entry = {};
    entry.cbSize = sizeof entry;
    DWORD index = 0;
    while (SetupDiEnumDeviceInterfaces(set, nullptr, &InterfaceClass, index++, &entry)) {
        // The first call only says how large the path is.
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &entry, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
            continue;
        std::vector<unsigned char> buffer(size);
        auto *detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W *>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (SetupDiGetDeviceInterfaceDetailW(set, &entry, detail, size, nullptr, nullptr))
            paths << QString::fromWCharArray(detail->DevicePath);
    }
    *ok = GetLastError() == ERROR_NO_MORE_ITEMS;
    SetupDiDestroyDeviceInfoList(set);
    return paths;
}
