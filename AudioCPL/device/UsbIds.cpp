#include "UsbIds.h"

namespace rk50 {

namespace {

template <typename Char>
unsigned upper(Char c)
{
    const unsigned u = static_cast<unsigned>(c);
    return (u >= 'a' && u <= 'z') ? u - 'a' + 'A' : u;
}

// The text just after the first occurrence of tag, or null.
template <typename Char>
const Char* afterTag(const Char* text, const char* tag)
{
    for (; *text; ++text) {
        const Char* t = text;
        const char* g = tag;
        while (*g && *t && upper(*t) == static_cast<unsigned char>(*g)) {
            ++t;
            ++g;
        }
        if (!*g)
            return t;
    }
    return nullptr;
}

template <typename Char>
int hexDigit(Char c)
{
    const unsigned u = upper(c);
    if (u >= '0' && u <= '9')
        return static_cast<int>(u - '0');
    if (u >= 'A' && u <= 'F')
        return static_cast<int>(u - 'A' + 10);
    return -1;
}

// Leaves value untouched unless exactly `digits` hex digits follow. The
// terminator is not a hex digit, so the loop never reads past it.
template <typename Char>
void readField(const Char* text, int digits, std::uint16_t& value)
{
    unsigned result = 0;
    for (int i = 0; i < digits; ++i) {
        const int digit = hexDigit(text[i]);
        if (digit < 0)
            return;
        result = result * 16 + static_cast<unsigned>(digit);
    }
    value = static_cast<std::uint16_t>(result);
}

template <typename Char>
bool parse(const Char* name, std::uint16_t& vendorId, std::uint16_t& productId,
           std::uint16_t& interfaceNumber)
{
    vendorId = productId = interfaceNumber = kUsbIdUnknown;
    if (!name)
        return false;
    struct Field {
        const char* tag;
        int digits;
        std::uint16_t& value;
    };
    Field fields[] = {{"VID_", 4, vendorId}, {"PID_", 4, productId}, {"MI_", 2, interfaceNumber}};
    for (Field& field : fields) {
        const Char* digits = afterTag(name, field.tag);
        if (!digits)
            return false;
        readField(digits, field.digits, field.value);
    }
    return true;
}

}  // namespace

bool ParseUsbIds(const char* name, std::uint16_t& vendorId, std::uint16_t& productId,
                 std::uint16_t& interfaceNumber)
{
    return parse(name, vendorId, productId, interfaceNumber);
}

bool ParseUsbIds(const wchar_t* name, std::uint16_t& vendorId, std::uint16_t& productId,
                 std::uint16_t& interfaceNumber)
{
    return parse(name, vendorId, productId, interfaceNumber);
}

}  // namespace rk50
