// QueryOsInfo under the Windows versions Wine can pretend to be. Each case
// changes the prefix's version setting, runs the probe program (a process reads
// the setting when it starts) and restores the setting afterwards.
//
// Wine's 64-bit winecfg offers only "winxp64" and later; the older versions are
// set through Wine's per-user "Version" value instead, which the loader reads
// the same way. That value reports win7 and win2008r2 with their product types
// swapped, so winecfg is always tried first.
#include "shared/OsInfo.h"

#include <windows.h>

#include "tests/wine/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>

namespace {

const char kWineKey[] = "Software\\Wine";
const char kVersionValue[] = "Version";

std::string binFolder()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

struct ChildResult {
    bool started = false;
    DWORD exitCode = 0;
    std::string output;
};

// Runs a program with its standard output sent to a file, waits for it, and
// returns what it printed.
ChildResult runChild(const std::string& commandLine)
{
    ChildResult result;
    char outputPath[MAX_PATH] = "";
    char tempFolder[MAX_PATH] = "";
    GetTempPathA(sizeof tempFolder, tempFolder);
    if (!GetTempFileNameA(tempFolder, "osi", 0, outputPath))
        return result;
    DWORD code = rk50test::runProcess(commandLine, 60000, outputPath);
    result.started = code != 0xFFFFFFFF;
    result.exitCode = code;
    result.output = rk50test::readTextFile(outputPath);
    DeleteFileA(outputPath);
    return result;
}

std::string trimmed(std::string text)
{
    const size_t end = text.find_last_not_of(" \r\n\t");
    text.erase(end == std::string::npos ? 0 : end + 1);
    return text.substr(std::min(text.find_first_not_of(" \r\n\t"), text.size()));
}

// Wine's per-user version value; present is false when it is not set.
struct UserVersion {
    bool present = false;
    std::string value;
};

UserVersion readUserVersion()
{
    UserVersion version;
    char data[64] = "";
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_CURRENT_USER, kWineKey, kVersionValue, RRF_RT_REG_SZ, nullptr, data, &size) ==
        ERROR_SUCCESS) {
        version.present = true;
        version.value = data;
    }
    return version;
}

bool writeUserVersion(const UserVersion& version)
{
    if (!version.present) {
        LSTATUS status = RegDeleteKeyValueA(HKEY_CURRENT_USER, kWineKey, kVersionValue);
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
    return RegSetKeyValueA(HKEY_CURRENT_USER, kWineKey, kVersionValue, REG_SZ, version.value.c_str(),
                           static_cast<DWORD>(version.value.size() + 1)) == ERROR_SUCCESS;
}

// What the probe printed for one form of QueryOsInfo.
struct ProbeLine {
    bool parsed = false;
    int ok = -1, kind = -1, major = -1, is32Bit = -1;
};

ProbeLine probeLine(const std::string& output, const char* form)
{
    ProbeLine line;
    std::istringstream lines(output);
    std::string text;
    while (std::getline(lines, text)) {
        std::istringstream fields(text);
        std::string tag;
        fields >> tag;
        if (tag == form) {
            fields >> line.ok >> line.kind >> line.major >> line.is32Bit;
            line.parsed = !fields.fail();
        }
    }
    return line;
}

// The flag QueryOsInfo must report, found without the native system
// information: only a 32-bit program outside WOW64 runs on a 32-bit Windows.
bool windowsIs32Bit()
{
    if (sizeof(void*) == 8)
        return false;
    BOOL wow64 = FALSE;
    return !(IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
}

struct VersionCase {
    const char* setting;  // Wine's name of the Windows version
    rk50::OsKind kind;
    int majorVersion;
};

std::ostream& operator<<(std::ostream& out, const VersionCase& c)
{
    return out << c.setting;
}

// What "winecfg /v" prints. Now and then its output reaches the file empty
// although it ran; asking again then gives the setting.
ChildResult readVersionSetting()
{
    ChildResult current;
    for (int attempt = 0; attempt < 3; ++attempt) {
        current = runChild("winecfg.exe /v");
        if (!current.started || current.exitCode != 0 || !trimmed(current.output).empty())
            break;
    }
    return current;
}

class QueryOsInfoUnderWine : public ::testing::TestWithParam<VersionCase> {
protected:
    void SetUp() override
    {
        ChildResult current = readVersionSetting();
        ASSERT_TRUE(current.started && current.exitCode == 0) << "winecfg /v: exit " << current.exitCode;
        originalSetting_ = trimmed(current.output);
        ASSERT_FALSE(originalSetting_.empty()) << "winecfg /v printed no version";
        originalUserVersion_ = readUserVersion();
        saved_ = true;
    }

    void TearDown() override
    {
        if (!saved_)
            return;
        ChildResult restore = runChild("winecfg.exe /v " + originalSetting_);
        EXPECT_EQ(restore.exitCode, 0u) << "winecfg /v " << originalSetting_ << " while restoring";
        EXPECT_TRUE(writeUserVersion(originalUserVersion_)) << "restoring HKCU\\Software\\Wine Version";
        EXPECT_EQ(trimmed(readVersionSetting().output), originalSetting_) << "version after restoring";
    }

    // Applies a Windows version for processes started from now on; returns how.
    std::string applySetting(const char* setting)
    {
        // The per-user value would override the machine-wide setting.
        EXPECT_TRUE(writeUserVersion(UserVersion()));
        ChildResult winecfg = runChild(std::string("winecfg.exe /v ") + setting);
        if (winecfg.started && winecfg.exitCode == 0)
            return "winecfg /v";
        UserVersion version;
        version.present = true;
        version.value = setting;
        EXPECT_TRUE(writeUserVersion(version)) << "HKCU\\Software\\Wine Version=" << setting;
        return "HKCU\\Software\\Wine Version (winecfg exit " + std::to_string(winecfg.exitCode) + ")";
    }

    std::string originalSetting_;
    UserVersion originalUserVersion_;
    bool saved_ = false;
};

TEST_P(QueryOsInfoUnderWine, BothFormsClassifyTheVersion)
{
    const VersionCase& c = GetParam();
    const std::string how = applySetting(c.setting);

    ChildResult probe = runChild("\"" + binFolder() + "osinfo_probe.exe\"");
    ASSERT_TRUE(probe.started) << "osinfo_probe.exe did not run";
    ASSERT_EQ(probe.exitCode, 0u);
    const std::string context = std::string(c.setting) + " set by " + how + "; probe printed:\n" + probe.output;

    for (const char* form : {"A", "W"}) {
        const ProbeLine line = probeLine(probe.output, form);
        ASSERT_TRUE(line.parsed) << "QueryOsInfo" << form << ", " << context;
        EXPECT_EQ(line.ok, 1) << "QueryOsInfo" << form << " result, " << context;
        EXPECT_EQ(line.kind, static_cast<int>(c.kind)) << "QueryOsInfo" << form << " kind, " << context;
        EXPECT_EQ(line.major, c.majorVersion) << "QueryOsInfo" << form << " major version, " << context;
        EXPECT_EQ(line.is32Bit, windowsIs32Bit() ? 1 : 0) << "QueryOsInfo" << form << " is 32-bit, " << context;
    }
}

// Every version Wine can report, oldest first. The 9x family and Win32s keep
// no major version; 6.2 is what Windows 8 and later report to a program
// without a compatibility manifest.
const VersionCase kVersions[] = {
    {"win31", rk50::OsWin32s, 0},
    {"win95", rk50::OsWin95, 0},
    {"win98", rk50::OsWin98, 0},
    {"winme", rk50::OsWinMe, 0},
    {"nt351", rk50::OsWinNT4, 3},
    {"nt40", rk50::OsWinNT4, 4},
    {"win2k", rk50::OsWin2000, 5},
    {"winxp", rk50::OsWinXP, 5},
    {"winxp64", rk50::OsWin2003, 5},
    {"win2003", rk50::OsWin2003, 5},
    {"vista", rk50::OsWinVista, 6},
    {"win2008", rk50::OsWin2008, 6},
    {"win7", rk50::OsWin7, 6},
    {"win2008r2", rk50::OsWin2008R2, 6},
    {"win8", rk50::OsUnknown, 6},
    {"win81", rk50::OsUnknown, 6},
    {"win10", rk50::OsUnknown, 6},
};

INSTANTIATE_TEST_SUITE_P(Versions, QueryOsInfoUnderWine, ::testing::ValuesIn(kVersions),
                         [](const ::testing::TestParamInfo<VersionCase>& info) {
                             return std::string(info.param.setting);
                         });

}  // namespace
