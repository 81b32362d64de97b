#include "HardwareIds.h"

#include "../shared/RK50Constants.h"

namespace rk50 {

const DeviceTableRow deviceTable[kDeviceTableRows] = {
    {kUsbVendorId, kUsbProductId, 0xFF},
};
const int deviceTableRowCount = 1;

namespace {

template <typename Char>
Char upper(Char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<Char>(c - 'a' + 'A') : c;
}

template <typename Char>
const Char* findTag(const Char* text, const char* tag)
{
    for (; *text; ++text) {
        const Char* t = text;
        const char* g = tag;
        while (*g && *t && upper(*t) == *g) {
            ++t;
            ++g;
        }
        if (!*g)
            return t;
    }
    return nullptr;
}

template <typename Char>
int hexValue(Char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = upper(c);
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads digits hexadecimal characters, or returns false when fewer follow.
// Like strtoul, stops at the first character that is not a hex digit.
template <typename Char>
bool readHexField(const Char* text, int digits, std::uint16_t& value)
{
    for (int i = 0; i < digits; ++i) {
        if (!text[i])
            return false;
    }
    unsigned result = 0;
    for (int i = 0; i < digits; ++i) {
        int v = hexValue(text[i]);
        if (v < 0)
            break;
        result = result * 16 + static_cast<unsigned>(v);
    }
    value = static_cast<std::uint16_t>(result);
    return true;
}

template <typename Char>
HardwareIds parse(const Char* path)
{
    HardwareIds ids;
    if (!path)
        return ids;
    const Char* vid = findTag(path, "VID_");
    if (!vid)
        return ids;
    readHexField(vid, 4, ids.vendorId);
    const Char* pid = findTag(path, "PID_");
    if (!pid)
        return ids;
    readHexField(pid, 4, ids.productId);
    const Char* mi = findTag(path, "MI_");
    if (!mi)
        return ids;
    readHexField(mi, 2, ids.interfaceNumber);
    return ids;
}

}  // namespace

HardwareIds parseHardwareIds(const wchar_t* path)
{
    return parse(path);
}

HardwareIds parseHardwareIds(const char* path)
{
    return parse(path);
}

int matchDeviceTable(PortDirection, const HardwareIds& ids)
{
    // One table serves both directions.
    for (int row = 0; row < deviceTableRowCount; ++row) {
        const DeviceTableRow& r = deviceTable[row];
        if (r.vendorId == ids.vendorId && r.productId == ids.productId &&
            (r.interfaceNumber == 0xFF || r.interfaceNumber == ids.interfaceNumber))
            return row;
    }
    return -1;
}

void interfaceTailToInstanceId(char* text)
{
    int hashes = 0;
    for (char* c = text; *c; ++c) {
        *c = upper(*c);
        if (*c == '#') {
            if (++hashes == 3) {
                *c = '\0';
                return;
            }
            *c = '\\';
        }
    }
    text[0] = '\0';
}

}  // namespace rk50
