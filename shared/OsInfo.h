// The Windows version classification shared by the control panel and the
// installer assistant. The kind numbers are stored and compared as ranges
// (8 to 11 is the NT 6.0/6.1 family), so they never change.
#pragma once

#include <cstdint>

namespace rk50 {

enum OsKind : std::int32_t {
    OsWin32s = 0,
    OsWin95 = 1,
    OsWin98 = 2,
    OsWinMe = 3,
    OsWinNT4 = 4,
    OsWin2000 = 5,
    OsWinXP = 6,
    OsWin2003 = 7,
    OsWinVista = 8,
    OsWin2008 = 9,
    OsWin7 = 10,
    OsWin2008R2 = 11,
    OsUnknown = 12,
};

struct OsInfo {
    OsKind kind = OsUnknown;
    std::int32_t majorVersion = 0;  // set for the NT family only
    bool is32Bit = true;            // Windows itself runs on 32-bit x86
};

// The fields of a version record that decide the kind. productType is 0 when
// only the basic record could be read.
struct OsVersionFields {
    std::uint32_t platformId;
    std::uint32_t majorVersion;
    std::uint32_t minorVersion;
    std::uint8_t productType;
};

constexpr std::uint8_t kProductTypeWorkstation = 1;

// Sets kind and major version from the version fields; false for a platform id
// other than 0, 1 and 2 (the kind then stays as it was).
bool ClassifyOsVersion(const OsVersionFields& version, OsInfo& info);

// The is-32-bit flag for a native processor architecture code.
bool IsArchitecture32Bit(std::uint16_t processorArchitecture);

// Fills the record from the running system: true when the version could be
// read and the platform is known. The A form calls the ANSI version functions,
// the W form the wide ones, with the same results.
bool QueryOsInfoA(OsInfo& info);
bool QueryOsInfoW(OsInfo& info);

}  // namespace rk50

// Like the Windows headers: the form that matches the program's character set.
#ifdef UNICODE
#define QueryOsInfo QueryOsInfoW
#else
#define QueryOsInfo QueryOsInfoA
#endif
