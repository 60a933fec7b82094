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

// Each planted DLL leaves "<its path>.loaded" when it runs; the control loads all six, so a DLL the
// installer never loaded cannot pass for one it refused. The music player goes alone through the
// audio tests (x86_64 only). Without gdiplus the installer ends with 1, without an optional DLL it runs.
TEST(Planting, PlantedDllsNeverRunAndMissingSystemDlls) {
    const std::wstring planted = fromUnix(env(L"LUMIVEX_PLANTED"));
    const bool x86_64 = env(L"LUMIVEX_MINGW_CC").find(L"i686") == std::wstring::npos;
    const std::wstring control = planted + L"\\control.exe";
    const std::wstring audioTests = buildPath(L"tests\\audio_tests.exe");
    const std::wstring music = L"--gtest_filter=Music.Without*";
    // The DLLs planted beside the program, a system DLL made impossible to load, the program (the
    // installer when empty) and its arguments, whether the planted DLLs run, what happened.
    const std::tuple<std::wstring, std::wstring, std::wstring, std::wstring, bool, std::string> rows[] = {
        {L"*.dll", L"", control, L"", true, "exit 6"},
        {L"*.dll", L"", L"", L"--lang en", false, "window reader exit 0"},
        {L"winmm.dll", L"", audioTests, music, false, "exit 0"},
        {L"", L"gdiplus", L"", L"--lang en", false, "exit 1"},
        {L"", L"dwmapi", L"", L"--lang en", false, "window reader exit 0"},
        {L"", L"winmm", L"", L"--lang en", false, "window reader exit 0"},
        {L"", L"oleacc", L"", L"--lang en", false, "window exit 0"},
    };
    for (const auto& [pattern, missing, exe, arguments, loads, outcome] : rows) {
        if (exe == audioTests && !x86_64) continue;
        ScratchFolder folder(L"planted");
        std::deque<RegistryValue> loadOrder;
        std::vector<std::wstring> names;
        std::wstring line = arguments;
        std::vector<std::wstring> files;
        if (!pattern.empty()) files = listFolder(planted + L"\\" + pattern);
        for (const std::wstring& file : files) {
            CopyFileW((planted + L"\\" + file).c_str(), (folder / file).c_str(), FALSE);
            const std::wstring name = file.substr(0, file.size() - 4);
            names.push_back(name);
            loadOrder.emplace_back(HKEY_CURRENT_USER, kLoadOrderKey, name);
            loadOrder.back().setString(L"native,builtin");
            if (loads) line += L" " + name;
        }
        ASSERT_EQ(names.empty(), pattern.empty());
        if (!missing.empty()) {
            loadOrder.emplace_back(HKEY_CURRENT_USER, kLoadOrderKey, missing);
            loadOrder.back().setString(L"");
        }
        EXPECT_EQ(run(folder, line, exe), outcome) << utf8(exe + L" " + pattern + missing);
        for (const std::wstring& name : names) {
            EXPECT_EQ(exists(folder / name + L".dll.loaded"), loads) << utf8(exe + L" " + name);
        }
    }
}

}  // namespace
