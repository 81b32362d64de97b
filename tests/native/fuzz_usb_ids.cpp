// Device names come from device-change notifications and mixer drivers of
// whatever hardware a machine has.
#include "AudioCPL/device/UsbIds.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::uint16_t vendor, product, interface;
    std::vector<char> narrow(data, data + size);
    narrow.push_back('\0');
    rk50::ParseUsbIds(narrow.data(), vendor, product, interface);

    std::vector<wchar_t> wide;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        wide.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    wide.push_back(L'\0');
    rk50::ParseUsbIds(wide.data(), vendor, product, interface);
    return 0;
}
