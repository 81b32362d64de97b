// QueryOsInfo in its ANSI and wide forms: one template over the character
// type, so the two programs run the very same steps.
#include "OsInfo.h"

#include <windows.h>

namespace rk50 {

namespace {

template <typename Char>
struct VersionApi;

template <>
struct VersionApi<char> {
    using Basic = OSVERSIONINFOA;
    using Extended = OSVERSIONINFOEXA;
    static BOOL query(Basic* record) { return GetVersionExA(record); }
    static HMODULE kernel32() { return GetModuleHandleA("kernel32.dll"); }
};

template <>
struct VersionApi<wchar_t> {
    using Basic = OSVERSIONINFOW;
    using Extended = OSVERSIONINFOEXW;
    static BOOL query(Basic* record) { return GetVersionExW(record); }
    static HMODULE kernel32() { return GetModuleHandleW(L"kernel32.dll"); }
};

typedef void(WINAPI* GetNativeSystemInfoFn)(SYSTEM_INFO*);

template <typename Char>
WORD nativeProcessorArchitecture()
{
    SYSTEM_INFO system = {};
    // Looked up at run time: Windows before XP lacks it, and only it sees
    // past WOW64 to a 64-bit Windows.
    HMODULE kernel = VersionApi<Char>::kernel32();
    FARPROC entry = kernel ? GetProcAddress(kernel, "GetNativeSystemInfo") : nullptr;
    if (entry) {
        // Through void*, so GCC does not warn about the function-pointer cast.
        reinterpret_cast<GetNativeSystemInfoFn>(reinterpret_cast<void*>(entry))(&system);
    } else {
        GetSystemInfo(&system);
    }
    return system.wProcessorArchitecture;
}

template <typename Char>
bool queryOsInfo(OsInfo& info)
{
    using Api = VersionApi<Char>;
    info = OsInfo();
    info.is32Bit = IsArchitecture32Bit(nativeProcessorArchitecture<Char>());

    // Systems before NT 4 SP6 reject the extended size; the basic record
    // leaves the product type zero.
    typename Api::Extended version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!Api::query(reinterpret_cast<typename Api::Basic*>(&version))) {
        version = {};
        version.dwOSVersionInfoSize = sizeof(typename Api::Basic);
        if (!Api::query(reinterpret_cast<typename Api::Basic*>(&version)))
            return false;
    }
    const OsVersionFields fields = {version.dwPlatformId, version.dwMajorVersion,
                                    version.dwMinorVersion, version.wProductType};
    return ClassifyOsVersion(fields, info);
}

}  // namespace

bool QueryOsInfoA(OsInfo& info)
{
    return queryOsInfo<char>(info);
}

bool QueryOsInfoW(OsInfo& info)
{
    return queryOsInfo<wchar_t>(info);
}

}  // namespace rk50
