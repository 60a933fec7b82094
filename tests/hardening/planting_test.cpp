// The installer among planted DLLs (dll_planting.sh builds them into LUMIVEX_PLANTED), and without system DLLs.
#include <gtest/gtest.h>
#include <oleacc.h>

#include <deque>

#include "app/product.h"
#include "support.h"

using namespace support;

// Wine takes a DLL from the program's folder only where its load order (read as a program starts) says
// "native,builtin", as Windows always would: the control shows each plant is then picked up. The music player
// goes alone through the audio tests, without the installer's process-wide setting (x86_64 only). "" disables a
// DLL: without a required one (each goes through one delay-load hook) the installer ends with 1 before any
// window; without an optional one it runs, less the title bar, the music or the screen reader's object.
TEST(Planting, PlantedOrMissingDlls) {
    const std::wstring planted = fromUnix(env(L"LUMIVEX_PLANTED")), none;
    const bool x86_64 = env(L"LUMIVEX_MINGW_CC").find(L"i686") == std::wstring::npos;
    const struct { std::wstring dlls; const wchar_t* order; std::wstring exe, arguments; bool window, loads, reader; DWORD exit; } rows[] = {
        {L"*", L"native,builtin", planted + L"\\control.exe", L"", false, true, false, 0},  // exit: how many it loaded
        {L"*", L"native,builtin", none, L"--lang en", true, false, true, 0},
        {x86_64 ? L"winmm" : L"-", L"native,builtin", buildPath(L"tests\\audio_tests.exe"), L"--gtest_filter=Music.Without*", false, false, false, 0},
        {L"gdiplus", L"", none, L"--lang en", false, false, false, 1},   {L"user32", L"", none, L"--lang en", false, false, false, 1},
        {L"advapi32", L"", none, L"--lang en", false, false, false, 1},  {L"dwmapi", L"", none, L"--lang en", true, false, true, 0},
        {L"winmm", L"", none, L"--lang en", true, false, true, 0},       {L"oleacc", L"", none, L"--lang en", true, false, false, 0},
    };
    for (const auto& row : rows) {
        ScratchFolder folder(L"planted");
        std::vector<std::wstring> names;
        std::wstring arguments = row.arguments;
        for (const std::wstring& file : *row.order ? listFolder(planted + L"\\" + row.dlls + L".dll") : std::vector<std::wstring>{}) {
            CopyFileW((planted + L"\\" + file).c_str(), (folder / file).c_str(), FALSE);
            names.push_back(file.substr(0, file.size() - 4));
            arguments += row.loads ? L" " + names.back() : L"";
        }
        if (!*row.order) names = {row.dlls};
        if (names.empty()) continue;
        std::deque<RegistryValue> loadOrder;
        for (const std::wstring& dll : names)
            loadOrder.emplace_back(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\LumivexPatchInstaller.exe\\DllOverrides", dll)
                .setString(row.order);
        Installer program(folder.path(), arguments, row.exe);
        HWND window = nullptr;
        DWORD_PTR reader = 0;  // the answer to a screen reader, once the message loop runs (after the music)
        pumpUntil([&] { return program.exitCode(0) != STILL_ACTIVE || (window = program.window(kMainWindowClass, 0)); });
        if (window) SendMessageTimeoutW(window, WM_GETOBJECT, 0, OBJID_CLIENT, SMTO_ABORTIFHUNG, 10000, &reader);
        if (window) PostMessageW(window, WM_CLOSE, 0, 0);
        const std::string what = utf8(row.dlls + L" " + row.order + L" " + row.exe);
        const DWORD exit = program.exitCode();
        EXPECT_TRUE(!window == !row.window && exit == (row.loads ? names.size() : row.exit) && !reader == !row.reader)
            << what << ": window " << window << ", exit code " << exit << ", reader's answer " << reader;
        for (const std::wstring& name : names) EXPECT_EQ(exists(folder / name + L".dll.loaded"), row.loads) << what << " " << utf8(name);
    }
}
