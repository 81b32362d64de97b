#include "OsInfo.h"

namespace rk50 {

namespace {

constexpr std::uint32_t kPlatformWin32s = 0;
constexpr std::uint32_t kPlatformWindows = 1;
constexpr std::uint32_t kPlatformNt = 2;

constexpr std::uint16_t kArchitectureIntel = 0;
constexpr std::uint16_t kArchitectureIa64 = 6;
constexpr std::uint16_t kArchitectureAmd64 = 9;

OsKind windowsKind(std::uint32_t major, std::uint32_t minor)
{
    if (major != 4)
        return OsUnknown;
    switch (minor) {
    case 0: return OsWin95;
    case 10: return OsWin98;
    case 90: return OsWinMe;
    default: return OsUnknown;
    }
}

OsKind ntKind(std::uint32_t major, std::uint32_t minor, std::uint8_t productType)
{
    const bool workstation = productType == kProductTypeWorkstation;
    if (major <= 4)
        return OsWinNT4;
    if (major == 5) {
        switch (minor) {
        case 0: return OsWin2000;
        case 1: return OsWinXP;
        case 2: return OsWin2003;
        default: return OsUnknown;
        }
    }
    if (major == 6) {
        switch (minor) {
        case 0: return workstation ? OsWinVista : OsWin2008;
        case 1: return workstation ? OsWin7 : OsWin2008R2;
        default: return OsUnknown;  // 6.2 is every later Windows without a manifest
        }
    }
    return OsUnknown;
}

}  // namespace

bool ClassifyOsVersion(const OsVersionFields& version, OsInfo& info)
{
    switch (version.platformId) {
    case kPlatformWin32s:
        info.kind = OsWin32s;
        return true;
    case kPlatformWindows:
        info.kind = windowsKind(version.majorVersion, version.minorVersion);
        return true;
    case kPlatformNt:
        info.majorVersion = static_cast<std::int32_t>(version.majorVersion);
        info.kind = ntKind(version.majorVersion, version.minorVersion, version.productType);
        return true;
    default:
        return false;
    }
}

bool IsArchitecture32Bit(std::uint16_t processorArchitecture)
{
    switch (processorArchitecture) {
    case kArchitectureAmd64:
    case kArchitectureIa64:
        return false;
    case kArchitectureIntel:
    default:
        // An architecture we do not know keeps the default.
        return true;
    }
}

}  // namespace rk50
