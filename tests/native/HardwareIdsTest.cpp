#include "asio_driver/HardwareIds.h"
#include "shared/RK50Constants.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct PathCase {
    const char* path;
    std::uint16_t vendor, product, interface;
    bool matches;
};

TEST(HardwareIds, ParsesAndMatchesInterfacePaths)
{
    const PathCase cases[] = {
        {"\\\\?\\USB#VID_3A5C&PID_0050&MI_00#6&1A2B3C4&0&0000#{6994ad04}\\GLOBAL", 0x3A5C, 0x0050, 0, true},
        {"\\\\?\\usb#vid_3a5c&pid_0050&mi_01#6&1&0&0000#{x}", 0x3A5C, 0x0050, 1, true},
        // No interface part: the table's interface 0xFF matches any.
        {"\\\\?\\USB#VID_3A5C&PID_0050#5&abc&0&2#{x}", 0x3A5C, 0x0050, 0xFF, true},
        // Too short a product id keeps 0xFF and does not match.
        {"\\\\?\\USB#VID_3A5C&PID_00", 0x3A5C, 0xFF, 0xFF, false},
        {"VID_3A5C", 0x3A5C, 0xFF, 0xFF, false},
        {"\\\\?\\HDAUDIO#FUNC_01&VEN_10EC&DEV_0662#4&1&0&0001#{x}", 0xFF, 0xFF, 0xFF, false},
        {"\\\\?\\USB#VID_046D&PID_0A44&MI_00#7&1&0&0000#{x}", 0x046D, 0x0A44, 0, false},
        // Each tag is searched for in the whole path, so their order is free.
        {"MI_02 PID_0050 VID_3A5C", 0x3A5C, 0x0050, 2, true},
        // Without "VID_" nothing else is read.
        {"PID_0050&MI_00", 0xFF, 0xFF, 0xFF, false},
        {"xxVID_3A5CyyPID_0050zzMI_7", 0x3A5C, 0x0050, 0xFF, true},
        {"", 0xFF, 0xFF, 0xFF, false},
    };
    for (const PathCase& c : cases) {
        rk50::HardwareIds ids = rk50::parseHardwareIds(c.path);
        EXPECT_EQ(ids.vendorId, c.vendor) << c.path;
        EXPECT_EQ(ids.productId, c.product) << c.path;
        EXPECT_EQ(ids.interfaceNumber, c.interface) << c.path;
        EXPECT_EQ(rk50::matchDeviceTable(rk50::PortDirection::Input, ids) == 0, c.matches) << c.path;
        EXPECT_EQ(rk50::matchDeviceTable(rk50::PortDirection::Output, ids) == 0, c.matches) << c.path;

        std::wstring wide(c.path, c.path + strlen(c.path));
        rk50::HardwareIds wideIds = rk50::parseHardwareIds(wide.c_str());
        EXPECT_EQ(wideIds.vendorId, ids.vendorId) << c.path;
        EXPECT_EQ(wideIds.productId, ids.productId) << c.path;
        EXPECT_EQ(wideIds.interfaceNumber, ids.interfaceNumber) << c.path;
    }
}

TEST(HardwareIds, InstanceIdFromInterfacePathTail)
{
    const char* cases[][2] = {
        {"USB#VID_3a5c&PID_0050&MI_00#6&1a2b3c4&0&0000#{6994AD04-93EF}\\GLOBAL",
         "USB\\VID_3A5C&PID_0050&MI_00\\6&1A2B3C4&0&0000"},
        {"USB#VID_3A5C&PID_0050#6&1&0", ""},  // only two '#'
        {"no hashes at all", ""},
        {"#a#b#", "\\A\\B"},
        {"", ""},
    };
    for (const auto& c : cases) {
        char text[128];
        snprintf(text, sizeof text, "%s", c[0]);
        rk50::interfaceTailToInstanceId(text);
        EXPECT_STREQ(text, c[1]) << c[0];
    }
}

}  // namespace
