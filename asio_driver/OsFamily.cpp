#include "OsFamily.h"

namespace rk50 {

namespace {
constexpr unsigned kPlatformWin32s = 0;
constexpr unsigned kPlatformWindows = 1;
constexpr unsigned kPlatformNt = 2;
}  // namespace

int classifyOsFamily(unsigned platformId, unsigned major, unsigned minor)
{
    switch (platformId) {
    case kPlatformWin32s:
        return kOsFamilyWin32s;
    case kPlatformWindows:
        if (major != 4)
            return kOsFamilyUnclassified;
        if (minor == 0)
            return kOsFamily95;
        if (minor == 10)
            return kOsFamily98;
        if (minor == 90)
            return kOsFamilyMe;
        return kOsFamilyUnclassified;
    case kPlatformNt:
        if (major <= 4)
            return kOsFamilyNt4;
        if (major == 5 && minor <= 2)
            return kOsFamily2000 + static_cast<int>(minor);
        if (major == 6)
            return kOsFamilyNt6;
        return kOsFamilyUnclassified;
    default:
        return kOsFamilyUnclassified;
    }
}

int autoSizeDivisorFor(int osFamily)
{
    return osFamily == kOsFamilyNt6 ? 20 : 40;
}

}  // namespace rk50
