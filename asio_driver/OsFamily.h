// The driver's coarse classification of Windows versions. Only family 8
// (NT 6.x) changes behaviour: larger automatic buffers and SetupAPI port names.
#pragma once

namespace rk50 {

enum : int {
    kOsFamilyWin32s = 0,
    kOsFamily95 = 1,
    kOsFamily98 = 2,
    kOsFamilyMe = 3,
    kOsFamilyNt4 = 4,
    kOsFamily2000 = 5,
    kOsFamilyXp = 6,
    kOsFamily2003 = 7,
    kOsFamilyNt6 = 8,
    kOsFamilyUnclassified = 9,
};

// Maps GetVersionEx's platform id and version to a family code, or
// kOsFamilyUnclassified when the combination is not one the driver knows.
int classifyOsFamily(unsigned platformId, unsigned major, unsigned minor);

// Divisor of the sample rate that gives the automatic buffer size.
int autoSizeDivisorFor(int osFamily);

}  // namespace rk50
