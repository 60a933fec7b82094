// The installer among planted DLLs (dll_planting.sh builds them into LUMIVEX_PLANTED), and without
// system DLLs. Wine loads a DLL from the program's folder only where the program's load order says
// "native,builtin", as Windows always would; "" makes it impossible to load. Every program here runs
// as LumivexPatchInstaller.exe, so one key holds its load order.
#include <gtest/gtest.h>
#include <oleacc.h>

#include <deque>

#include "app/product.h"
#include "support.h"

using namespace support;

namespace {

const std::wstring kLoadOrderKey = L"Software\\Wine\\AppDefaults\\LumivexPatchInstaller.exe\\DllOverrides";

struct Outcome {
    bool window = false;
    DWORD exitCode = STILL_ACTIVE;
    bool reader = false;  // a screen reader got the client's object
};

Outcome run(const ScratchFolder& folder, const std::wstring& arguments, const std::wstring& exe) {
    const Installer program(folder.path(), arguments, exe);
    HWND window = nullptr;
    const auto settled = [&] {
        window = program.window(kMainWindowClass, 0);
        return window || program.exitCode(0) != STILL_ACTIVE;
    };
    pumpUntil(settled);
    DWORD_PTR reader = 0;
    if (window) {
        SendMessageTimeoutW(window, WM_GETOBJECT, 0, OBJID_CLIENT, SMTO_NORMAL, 30000, &reader);
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    Outcome outcome;
    outcome.window = window != nullptr;
    outcome.exitCode = program.exitCode();
    outcome.reader = reader != 0;
    return outcome;
}

// Each planted DLL leaves "<its path>.loaded" when it runs; the control shows each would be picked up.
// The music player goes alone through the audio tests (x86_64 only), without the installer's setting.
TEST(Planting, PlantedDllsNeverRun) {
    const std::wstring planted = fromUnix(env(L"LUMIVEX_PLANTED"));
    const bool x86_64 = env(L"LUMIVEX_MINGW_CC").find(L"i686") == std::wstring::npos;
    const struct {
        const wchar_t* what;
        std::wstring pattern;
        std::wstring exe;
        std::wstring arguments;
        bool loads;
    } rows[] = {
        {L"control", L"*.dll", planted + L"\\control.exe", L"", true},
        {L"installer", L"*.dll", L"", L"--lang en", false},
        {L"music", L"winmm.dll", buildPath(L"tests\\audio_tests.exe"), L"--gtest_filter=Music.Without*", false},
    };
    for (const auto& row : rows) {
        if (row.exe.find(L"audio_tests") != std::wstring::npos && !x86_64) continue;
        ScratchFolder folder(L"planted");
        std::deque<RegistryValue> loadOrder;
        std::vector<std::wstring> names;
        std::wstring arguments = row.arguments;
        for (const std::wstring& file : listFolder(planted + L"\\" + row.pattern)) {
            CopyFileW((planted + L"\\" + file).c_str(), (folder / file).c_str(), FALSE);
            const std::wstring name = file.substr(0, file.size() - 4);
            names.push_back(name);
            loadOrder.emplace_back(HKEY_CURRENT_USER, kLoadOrderKey, name);
            loadOrder.back().setString(L"native,builtin");
            if (row.loads) arguments += L" " + name;
        }
        ASSERT_FALSE(names.empty()) << utf8(row.what);
        const Outcome outcome = run(folder, arguments, row.exe);
        const DWORD expectedExit = row.loads ? static_cast<DWORD>(names.size()) : 0;
        EXPECT_EQ(outcome.exitCode, expectedExit) << utf8(row.what);
        for (const std::wstring& name : names) {
            EXPECT_EQ(exists(folder / name + L".dll.loaded"), row.loads) << utf8(row.what + (L" " + name));
        }
    }
}

// Without a required DLL the installer ends with 1 before any window; without an optional one it runs.
TEST(Planting, MissingSystemDlls) {
    const struct {
        const wchar_t* dll;
        bool window;
        DWORD exitCode;
        bool reader;
    } rows[] = {
        {L"gdiplus", false, 1, false},
        {L"dwmapi", true, 0, true},
        {L"winmm", true, 0, true},
        {L"oleacc", true, 0, false},
    };
    for (const auto& row : rows) {
        ScratchFolder folder(L"missing");
        RegistryValue loadOrder(HKEY_CURRENT_USER, kLoadOrderKey, row.dll);
        loadOrder.setString(L"");
        const Outcome outcome = run(folder, L"--lang en", L"");
        EXPECT_EQ(outcome.window, row.window) << utf8(row.dll);
        EXPECT_EQ(outcome.exitCode, row.exitCode) << utf8(row.dll);
        EXPECT_EQ(outcome.reader, row.reader) << utf8(row.dll);
    }
}

}  // namespace
