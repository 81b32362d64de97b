// Prints what both forms of QueryOsInfo find, and the raw version record for
// failure messages. The Windows version setting is read when a process starts,
// so the tests run this afresh after each change.
#include "shared/OsInfo.h"

#include <windows.h>

#include <cstdio>

namespace {

void print(const char* form, bool ok, const rk50::OsInfo& info)
{
    std::printf("%s %d %d %d %d\n", form, ok ? 1 : 0, static_cast<int>(info.kind),
                static_cast<int>(info.majorVersion), info.is32Bit ? 1 : 0);
}

}  // namespace

int main()
{
    // Stale contents that no version would leave: the query must start over.
    const rk50::OsInfo stale = {rk50::OsWin2008R2, 99, true};
    rk50::OsInfo ansi = stale;
    const bool ansiOk = rk50::QueryOsInfoA(ansi);
    rk50::OsInfo wide = stale;
    const bool wideOk = rk50::QueryOsInfoW(wide);
    print("A", ansiOk, ansi);
    print("W", wideOk, wide);

    OSVERSIONINFOEXW raw = {};
    raw.dwOSVersionInfoSize = sizeof raw;
    GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&raw));
    std::printf("raw %lu %lu.%lu.%lu %u\n", raw.dwPlatformId, raw.dwMajorVersion, raw.dwMinorVersion,
                raw.dwBuildNumber, static_cast<unsigned>(raw.wProductType));
    return 0;
}
