// The installer among planted DLLs (built by dll_planting.sh), and without system DLLs. Wine loads
// a DLL from the program's folder only where its load order says "native,builtin", as Windows
// would; "" makes it impossible to load. Every program here runs as LumivexPatchInstaller.exe.
#include <gtest/gtest.h>
#include <oleacc.h>

#include <deque>

#include "app/product.h"
#include "support.h"

using namespace support;

namespace {

const std::wstring kLoadOrderKey = L"Software\\Wine\\AppDefaults\\LumivexPatchInstaller.exe\\DllOverrides";

// "window", "reader" (a screen reader got the client's object) and the exit code, as they happened.
std::string run(const ScratchFolder& folder, const std::wstring& arguments, const std::wstring& exe) {
    const Installer program(folder.path(), arguments, exe);
    HWND window = nullptr;
    const auto settled = [&] {
        window = program.window(kMainWindowClass, 0);
        return window || program.exitCode(0) != STILL_ACTIVE;
    };
    pumpUntil(settled);
    std::string outcome;
    if (window) {
        DWORD_PTR reader = 0;
        SendMessageTimeoutW(window, WM_GETOBJECT, 0, OBJID_CLIENT, SMTO_NORMAL, 30000, &reader);
        outcome = reader ? "window reader " : "window ";
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return outcome + "exit " + std::to_string(program.exitCode());
}

// Each planted DLL leaves "<its path>.loaded" when it runs; the control shows each would be picked up,
// so a DLL the installer never loaded at all cannot pass for one it refused.
// The music player goes alone through the audio tests (x86_64 only), without the installer's setting.
TEST(Planting, PlantedDllsNeverRun) {
    const std::wstring planted = fromUnix(env(L"LUMIVEX_PLANTED"));
    const bool x86_64 = env(L"LUMIVEX_MINGW_CC").find(L"i686") == std::wstring::npos;
    const std::wstring audioTests = buildPath(L"tests\\audio_tests.exe");
    const struct {
        std::wstring pattern;
        std::wstring exe;
        std::wstring arguments;
        bool loads;
    } rows[] = {
        {L"*.dll", planted + L"\\control.exe", L"", true},
        {L"*.dll", L"", L"--lang en", false},
        {L"winmm.dll", audioTests, L"--gtest_filter=Music.Without*", false},
    };
    for (const auto& row : rows) {
        if (row.pattern == L"winmm.dll" && !x86_64) continue;  // the audio tests are x86_64 only
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
        ASSERT_FALSE(names.empty()) << utf8(row.exe);
        run(folder, arguments, row.exe);
        for (const std::wstring& name : names) {
            EXPECT_EQ(exists(folder / name + L".dll.loaded"), row.loads) << utf8(row.exe + L" " + name);
        }
    }
}

// Without a required DLL the installer ends with 1 before any window; without an optional one it runs.
TEST(Planting, MissingSystemDlls) {
    const std::pair<const wchar_t*, std::string> rows[] = {
        {L"gdiplus", "exit 1"},
        {L"dwmapi", "window reader exit 0"},
        {L"winmm", "window reader exit 0"},
        {L"oleacc", "window exit 0"},
    };
    for (const auto& [dll, outcome] : rows) {
        ScratchFolder folder(L"missing");
        RegistryValue loadOrder(HKEY_CURRENT_USER, kLoadOrderKey, dll);
        loadOrder.setString(L"");
        EXPECT_EQ(run(folder, L"--lang en", L""), outcome) << utf8(dll);
    }
}

}  // namespace
