// Random clicks (mostly on buttons), keys and close requests on the real installer's window in front,
// its boxes and folder dialog answered at random; an installer that ends is started again. It must
// never crash (exit codes 0, Wine's crash report untouched), never hang (5 s to answer) and leave no
// file but the patch, byte for byte. LUMIVEX_MONKEY_SEED=<number> replays a run (its seed is printed
// first), LUMIVEX_MONKEY_SEED=random draws one; LUMIVEX_MONKEY_EVENTS=<count> (300) makes it longer.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <set>

#include "app/language_window.h"
#include "support.h"
#include "ui/layout.h"

namespace {

std::set<std::wstring> namesIn(const std::wstring& folder) {
    const std::vector<std::wstring> names = support::listFolder(folder + L"\\*");
    return {names.begin(), names.end()};
}
constexpr WPARAM kKeys[] = {VK_RETURN, VK_RETURN, VK_F5, VK_ESCAPE, VK_TAB, VK_SPACE, VK_LEFT, VK_RIGHT,
                            '1', '2', '3', 'C', 'T', 'E', 'B', 'A'};
}  // namespace

TEST(RealMonkey, RandomInputNeitherCrashesNorHangsNorLeavesFiles) {
    const std::wstring seedText = support::env(L"LUMIVEX_MONKEY_SEED"), count = support::env(L"LUMIVEX_MONKEY_EVENTS");
    const unsigned seed = seedText.empty() ? 1354983186u : seedText == L"random" ? std::random_device{}() : std::stoul(seedText);
    const int events = count.empty() ? 300 : std::stoi(count);
    std::printf("LUMIVEX_MONKEY_SEED=%u LUMIVEX_MONKEY_EVENTS=%d\n", seed, events);
    std::mt19937 random(seed);
    auto any = [&](int n) { return int(random() % unsigned(std::max(n, 1))); };
    support::ScratchFolder root(L"monkey");
    const support::SteamWorld world(root / L"Steam", {root / L"Steam"});
    const std::string patch(300000, 'p');
    ASSERT_TRUE(support::writeFile(root / L"Download\\patch.rpa", patch));
    const std::wstring crashReport = support::env(L"SystemDrive") + L"\\crash-report.txt";  // the harness's debugger writes it
    const std::string crashesBefore = support::readFile(crashReport);
    std::unique_ptr<support::Installer> installer;
    std::wstring cls;
    auto front = [&] {  // a box or dialog before the window it belongs to
        for (const wchar_t* name : {L"#32770", kMainWindowClass, kLanguageWindowClass})
            if (HWND hwnd = installer->window((cls = name).c_str(), 0)) return hwnd;
        return HWND{};
    };
    for (int sent = 0, closing = 0; sent <= events; ++sent) {
        if (!installer || installer->exitCode(0) != STILL_ACTIVE) {
            ASSERT_TRUE(!installer || installer->exitCode(0) == 0) << "exit code " << installer->exitCode(0) << " after " << sent;
            if (sent == events) break;
            installer = std::make_unique<support::Installer>(root / L"Download", any(2) ? L"--lang en" : L"");
        }
        HWND hwnd = nullptr;
        RECT client{};
        ASSERT_TRUE(support::pumpUntil([&] { return (hwnd = front()) || installer->exitCode(0) != STILL_ACTIVE; }))
            << "no window and no end after " << sent << " events";
        if (!hwnd || !GetClientRect(hwnd, &client)) continue;  // it ended meanwhile: its exit code is checked above
        const bool language = cls == kLanguageWindowClass;
        const float scale = language ? languageWindowScale(client.right, client.bottom, 96)
                                     : scaleFor(float(client.right), float(client.bottom), 96);
        const LayoutRect button = language ? languageButtonRect(any(3))
                                           : computeLayout(client.right / scale, client.bottom / scale, any(2) ? Ready : Complete).*support::kButtonRects[any(10)];
        const POINT at = any(3) ? support::pointIn(button, scale) : POINT{any(client.right), any(client.bottom)};
        const int action = sent == events ? 0 : any(40);  // the last one asks to close
        if (cls == L"#32770") support::answerBox(hwnd, sent < events ? IDOK + any(7) : closing % 2 ? IDCANCEL : IDYES);
        else if (action == 0) PostMessageW(hwnd, WM_CLOSE, 0, 0);
        else if (action < 11) support::pressKey(hwnd, kKeys[any(int(std::size(kKeys)))]);
        else support::clickAt(hwnd, at);
        DWORD_PTR answer = 0;  // twice: the second comes after at least one of the posted messages
        ASSERT_TRUE(SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer) || !IsWindow(hwnd)) << sent;
        ASSERT_TRUE(SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer) || !IsWindow(hwnd)) << sent;
        if (sent == events && installer->exitCode(5000) == STILL_ACTIVE) {  // again until it has ended
            ASSERT_LT(++closing, 20) << "it does not close";
            --sent;
        }
    }
    EXPECT_EQ(installer->exitCode(0), 0u);
    EXPECT_EQ(support::readFile(crashReport), crashesBefore);
    EXPECT_TRUE(support::readFile(root / L"Download\\patch.rpa") == patch);
    EXPECT_EQ(namesIn(root / L"Download"), (std::set<std::wstring>{L"LumivexPatchInstaller.exe", L"patch.rpa"}));
    std::set<std::wstring> inGame = namesIn(world.gameFolders[0]);
    EXPECT_TRUE(!inGame.erase(L"patch.rpa") || support::readFile(world.gameFolders[0] + L"\\patch.rpa") == patch);
    EXPECT_EQ(inGame, std::set<std::wstring>{L"archive.rpa"});
}
