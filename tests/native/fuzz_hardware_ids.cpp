// Interface paths come from whatever wave drivers a machine has installed.
#include "asio_driver/HardwareIds.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<char> narrow(data, data + size);
    narrow.push_back('\0');
    rk50::parseHardwareIds(narrow.data());
    rk50::interfaceTailToInstanceId(narrow.data());

    std::vector<wchar_t> wide;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        wide.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    wide.push_back(L'\0');
    rk50::HardwareIds ids = rk50::parseHardwareIds(wide.data());
    rk50::matchDeviceTable(rk50::PortDirection::Output, ids);
    return 0;
}
