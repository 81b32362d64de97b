#include "shared/OsInfo.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

using rk50::OsInfo;
using rk50::OsKind;
using rk50::OsVersionFields;

constexpr std::uint8_t kWorkstation = 1;
constexpr std::uint8_t kDomainController = 2;
constexpr std::uint8_t kServer = 3;
constexpr std::uint8_t kBasicRecordOnly = 0;

struct ClassificationCase {
    OsVersionFields version;
    OsKind kind;
    std::int32_t majorVersion;  // what the record holds afterwards
};

std::string describe(const OsVersionFields& v)
{
    return "platform " + std::to_string(v.platformId) + " version " + std::to_string(v.majorVersion) + "." +
           std::to_string(v.minorVersion) + " product type " + std::to_string(v.productType);
}

void expectClassification(const ClassificationCase& c)
{
    OsInfo info;
    EXPECT_TRUE(rk50::ClassifyOsVersion(c.version, info)) << describe(c.version);
    EXPECT_EQ(info.kind, c.kind) << describe(c.version);
    EXPECT_EQ(info.majorVersion, c.majorVersion) << describe(c.version);
    EXPECT_TRUE(info.is32Bit) << "the version leaves the architecture flag alone";
}

TEST(OsClassification, KindNumbersAreTheStoredOnes)
{
    // Stored and compared as numbers by both programs.
    const std::pair<OsKind, int> numbers[] = {
        {rk50::OsWin32s, 0},  {rk50::OsWin95, 1},      {rk50::OsWin98, 2},     {rk50::OsWinMe, 3},
        {rk50::OsWinNT4, 4},  {rk50::OsWin2000, 5},    {rk50::OsWinXP, 6},     {rk50::OsWin2003, 7},
        {rk50::OsWinVista, 8}, {rk50::OsWin2008, 9},   {rk50::OsWin7, 10},     {rk50::OsWin2008R2, 11},
        {rk50::OsUnknown, 12},
    };
    for (const auto& n : numbers)
        EXPECT_EQ(static_cast<int>(n.first), n.second);
    static_assert(sizeof(OsKind) == 4, "the kind is a signed 32-bit number");
    static_assert(static_cast<OsKind>(-1) < 0, "the kind is signed");
}

TEST(OsClassification, RecordStartsUnclassified)
{
    OsInfo info;
    EXPECT_EQ(info.kind, rk50::OsUnknown);
    EXPECT_EQ(info.majorVersion, 0);
    EXPECT_TRUE(info.is32Bit);
}

TEST(OsClassification, EveryRowOfTheTable)
{
    const ClassificationCase cases[] = {
        // Win32s: any version; no major version is kept outside the NT family.
        {{0, 3, 10, 0}, rk50::OsWin32s, 0},
        {{0, 9, 99, kWorkstation}, rk50::OsWin32s, 0},
        // Windows 9x: only 4.0, 4.10 and 4.90 are known.
        {{1, 4, 0, 0}, rk50::OsWin95, 0},
        {{1, 4, 10, 0}, rk50::OsWin98, 0},
        {{1, 4, 90, 0}, rk50::OsWinMe, 0},
        {{1, 4, 1, 0}, rk50::OsUnknown, 0},
        {{1, 4, 9, 0}, rk50::OsUnknown, 0},
        {{1, 4, 91, 0}, rk50::OsUnknown, 0},
        {{1, 3, 0, 0}, rk50::OsUnknown, 0},
        {{1, 5, 0, 0}, rk50::OsUnknown, 0},
        {{1, 5, 10, 0}, rk50::OsUnknown, 0},
        // NT 4 and older.
        {{2, 3, 51, 0}, rk50::OsWinNT4, 3},
        {{2, 4, 0, kWorkstation}, rk50::OsWinNT4, 4},
        {{2, 4, 90, kServer}, rk50::OsWinNT4, 4},
        // NT 5.x, whatever the product type.
        {{2, 5, 0, kWorkstation}, rk50::OsWin2000, 5},
        {{2, 5, 0, kServer}, rk50::OsWin2000, 5},
        {{2, 5, 1, kWorkstation}, rk50::OsWinXP, 5},
        {{2, 5, 2, kServer}, rk50::OsWin2003, 5},
        {{2, 5, 2, kWorkstation}, rk50::OsWin2003, 5},  // XP Professional x64
        {{2, 5, 3, kWorkstation}, rk50::OsUnknown, 5},
        // NT 6.0 and 6.1: workstation or any other product type.
        {{2, 6, 0, kWorkstation}, rk50::OsWinVista, 6},
        {{2, 6, 0, kServer}, rk50::OsWin2008, 6},
        {{2, 6, 0, kDomainController}, rk50::OsWin2008, 6},
        {{2, 6, 1, kWorkstation}, rk50::OsWin7, 6},
        {{2, 6, 1, kServer}, rk50::OsWin2008R2, 6},
        {{2, 6, 1, kDomainController}, rk50::OsWin2008R2, 6},
        // Later versions (every Windows after 7 reports 6.2 without a manifest).
        {{2, 6, 2, kWorkstation}, rk50::OsUnknown, 6},
        {{2, 6, 3, kWorkstation}, rk50::OsUnknown, 6},
        {{2, 7, 0, kWorkstation}, rk50::OsUnknown, 7},
        {{2, 10, 0, kWorkstation}, rk50::OsUnknown, 10},
    };
    for (const ClassificationCase& c : cases)
        expectClassification(c);
}

TEST(OsClassification, BasicRecordOnlyClassifiesNt6AsServers)
{
    // Without the extended record the product type is zero, not workstation.
    const ClassificationCase cases[] = {
        {{2, 6, 0, kBasicRecordOnly}, rk50::OsWin2008, 6},
        {{2, 6, 1, kBasicRecordOnly}, rk50::OsWin2008R2, 6},
        {{2, 5, 1, kBasicRecordOnly}, rk50::OsWinXP, 5},
        {{2, 4, 0, kBasicRecordOnly}, rk50::OsWinNT4, 4},
        {{1, 4, 10, kBasicRecordOnly}, rk50::OsWin98, 0},
    };
    for (const ClassificationCase& c : cases)
        expectClassification(c);
}

TEST(OsClassification, UnknownPlatformIdFailsAndLeavesTheRecord)
{
    for (std::uint32_t platform : {3u, 4u, 0xFFFFFFFFu}) {
        OsInfo info;
        EXPECT_FALSE(rk50::ClassifyOsVersion({platform, 6, 1, kWorkstation}, info)) << "platform " << platform;
        EXPECT_EQ(info.kind, rk50::OsUnknown);
        EXPECT_EQ(info.majorVersion, 0);
    }
}

TEST(OsClassification, ProcessorArchitectureDecidesThe32BitFlag)
{
    const std::pair<std::uint16_t, bool> cases[] = {
        {0, true},       // x86
        {9, false},      // x64
        {6, false},      // Itanium
        {5, true},       // ARM: not a 64-bit architecture the programs know
        {12, true},      // ARM64: likewise left at the default
        {0xFFFF, true},  // PROCESSOR_ARCHITECTURE_UNKNOWN
    };
    for (const auto& c : cases)
        EXPECT_EQ(rk50::IsArchitecture32Bit(c.first), c.second) << "architecture " << c.first;
}

}  // namespace
