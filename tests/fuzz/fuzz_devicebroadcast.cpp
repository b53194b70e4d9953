// libFuzzer target for the reading of device-change broadcasts. The first input byte picks the
// event code (0: arrival, 1: removal, else that byte itself); the rest is the broadcast, in a
// block of exactly its size. Besides the sanitizers' checks, the result must agree with what the
// declared and readable sizes allow.
#include "companion/DeviceBroadcast.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const quint64 eventCode = data[0] == 0 ? DeviceBroadcast::DeviceArrival
        : data[0] == 1                     ? DeviceBroadcast::DeviceRemoveComplete
                                           : quint64(data[0]);
    const std::vector<unsigned char> block(data + 1, data + size);
    const unsigned char *broadcast = block.empty() ? nullptr : block.data();

    QString name;
    const bool isInterface = DeviceBroadcast::readInterfaceName(broadcast, block.size(), &name);
    const DeviceBroadcast::Change change =
        DeviceBroadcast::accessoryChange(eventCode, broadcast, block.size());

    if (!isInterface && (!name.isEmpty() || change != DeviceBroadcast::Change::None))
        std::abort();
    if (isInterface) {
        const std::size_t declared = std::size_t(block[0]) | std::size_t(block[1]) << 8 |
            std::size_t(block[2]) << 16 | std::size_t(block[3]) << 24;
        const std::size_t end = std::min(declared, block.size());
        if (DeviceBroadcast::NameOffset + 2 * std::size_t(name.size()) >
            std::max(end, DeviceBroadcast::NameOffset))
            std::abort();
    }
    if (change != DeviceBroadcast::Change::None && DeviceBroadcast::changeOf(eventCode) != change)
        std::abort();
    return 0;
}
