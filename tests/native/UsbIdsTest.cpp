#include "AudioCPL/device/UsbIds.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct IdsCase {
    const char* name;
    bool complete;
    std::uint16_t vendor, product, interface;
};

TEST(ParseUsbIds, ReadsEachTagWhereverItIs)
{
    const IdsCase cases[] = {
        {"\\\\?\\USB#VID_3A5C&PID_0050&MI_01#7&1A2B&0&0001#{6994ad04-93ef-11d0-a3cc-00a0c9223196}", true, 0x3A5C, 0x0050, 1},
        {"\\\\?\\usb#vid_3a5c&pid_0050&mi_01#7&1a2b&0&0001#{x}", true, 0x3A5C, 0x0050, 1},
        {"\\\\?\\Usb#Vid_3a5C&pId_0050&Mi_0A#x", true, 0x3A5C, 0x0050, 0x0A},
        // A whole USB device: no interface tag.
        {"\\\\?\\USB#VID_3A5C&PID_0050#5&ABC&0&2#{a5dcbf10-6530-11d2-901f-00c04fb951ed}", false, 0x3A5C, 0x0050, 0xFF},
        {"\\\\?\\usb#vid_3a5c&pid_0050#5&abc&0&2#{a5dcbf10}", false, 0x3A5C, 0x0050, 0xFF},
        // Two characters after VID_: the vendor stays unknown, the product is read.
        {"USB#VID_3A&PID_0050&MI_01", true, 0xFF, 0x0050, 1},
        {"USB#PID_0050&MI_01&VID_3A", true, 0xFF, 0x0050, 1},
        // Tags in any order, each found from the start.
        {"MI_02&PID_0050&VID_3A5C", true, 0x3A5C, 0x0050, 2},
        {"VID_3A5CPID_0050MI_01", true, 0x3A5C, 0x0050, 1},
        // The first occurrence counts.
        {"VID_1111&VID_3A5C&PID_0050&MI_01", true, 0x1111, 0x0050, 1},
        // A missing tag ends the parse; what came before stays.
        {"PID_0050&MI_01", false, 0xFF, 0xFF, 0xFF},
        {"VID_3A5C&MI_01", false, 0x3A5C, 0xFF, 0xFF},
        {"", false, 0xFF, 0xFF, 0xFF},
        // Tags at the very end, with nothing or too little after them.
        {"USB#PID_0050&MI_01&VID_", true, 0xFF, 0x0050, 1},
        {"VID_3A5C&PID_0050&MI_", true, 0x3A5C, 0x0050, 0xFF},
        {"VID_3A5C&PID_0050&MI_1", true, 0x3A5C, 0x0050, 0xFF},
        // Not hexadecimal digits: never a shorter number that could match.
        {"VID_3A5C&PID_050&MI_01", true, 0x3A5C, 0xFF, 1},
        {"VID_3A5C&PID_0050&MI_1#", true, 0x3A5C, 0x0050, 0xFF},
        {"VID_3AZC&PID_0050&MI_01", true, 0xFF, 0x0050, 1},
        {"VID_ 3A5&PID_0050&MI_01", true, 0xFF, 0x0050, 1},
        {"VID_-3A5&PID_+050&MI_+1", true, 0xFF, 0xFF, 0xFF},
        // Tag look-alikes.
        {"VI_3A5C&PID_0050&MI_01", false, 0xFF, 0xFF, 0xFF},
        {"VVID_3A5C&PPID_0050&SEMI_01", true, 0x3A5C, 0x0050, 1},
    };
    for (const IdsCase& c : cases) {
        std::uint16_t vendor = 1, product = 2, interface = 3;
        EXPECT_EQ(rk50::ParseUsbIds(c.name, vendor, product, interface), c.complete) << c.name;
        EXPECT_EQ(vendor, c.vendor) << c.name;
        EXPECT_EQ(product, c.product) << c.name;
        EXPECT_EQ(interface, c.interface) << c.name;

        // The mixer's names arrive as wide strings: same rules.
        const std::wstring wide(c.name, c.name + strlen(c.name));
        std::uint16_t wideVendor = 1, wideProduct = 2, wideInterface = 3;
        EXPECT_EQ(rk50::ParseUsbIds(wide.c_str(), wideVendor, wideProduct, wideInterface), c.complete) << c.name;
        EXPECT_EQ(wideVendor, c.vendor) << c.name;
        EXPECT_EQ(wideProduct, c.product) << c.name;
        EXPECT_EQ(wideInterface, c.interface) << c.name;
    }
}

TEST(ParseUsbIds, NullAndWideOnlyCharacters)
{
    std::uint16_t vendor = 0, product = 0, interface = 0;
    EXPECT_FALSE(rk50::ParseUsbIds(static_cast<const char*>(nullptr), vendor, product, interface));
    EXPECT_EQ(vendor, 0xFF);
    EXPECT_EQ(product, 0xFF);
    EXPECT_EQ(interface, 0xFF);
    // Characters beyond 8 bits neither match a tag letter nor count as digits.
    const wchar_t name[] = {L'V', L'I', L'D', L'_', 0x0133, L'A', L'5', L'C', L'&', L'P', static_cast<wchar_t>(0x0149),
                            L'D', L'_', L'0', L'0', L'5', L'0', L'&', L'M', L'I', L'_', L'0', L'1', 0};
    EXPECT_FALSE(rk50::ParseUsbIds(name, vendor, product, interface));
    EXPECT_EQ(vendor, 0xFF);
    EXPECT_EQ(product, 0xFF);
}

}  // namespace
