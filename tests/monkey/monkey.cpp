// Random clicks (mostly on buttons), keys and close requests on the real installer's window in
// front, its boxes and folder dialog answered at random; an installer that ends is started again.
// It must never crash (exit codes 0, Wine's crash report untouched), never hang and leave no file
// but the patch, byte for byte. LUMIVEX_MONKEY_SEED=<number> replays a run (its seed is printed
// first), LUMIVEX_MONKEY_SEED=random draws one; LUMIVEX_MONKEY_EVENTS=<count> (300) makes it longer.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <set>

#include "app/language_window.h"
#include "support.h"
#include "ui/layout.h"

namespace {

// A hang is a window that does not answer for a minute; the busiest machine answers within seconds.
constexpr DWORD kHangMs = 60000;

constexpr WPARAM kKeys[] = {
    VK_RETURN, VK_RETURN, VK_F5, VK_ESCAPE, VK_TAB, VK_SPACE, VK_LEFT, VK_RIGHT,
    '1', '2', '3', 'C', 'T', 'E', 'B', 'A',
};

std::set<std::wstring> namesIn(const std::wstring& folder) {
    const std::vector<std::wstring> names = support::listFolder(folder + L"\\*");
    return std::set<std::wstring>(names.begin(), names.end());
}

// A box or dialog comes before the window it belongs to.
HWND inFront(const support::Installer& installer, std::wstring& className) {
    for (const wchar_t* name : {L"#32770", kMainWindowClass, kLanguageWindowClass}) {
        className = name;
        const HWND hwnd = installer.window(name, 0);
        if (hwnd) return hwnd;
    }
    return nullptr;
}

// True once the window's thread has taken a message sent now, or when the window is gone.
bool answers(HWND hwnd) {
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, kHangMs, &answer) || !IsWindow(hwnd);
}

}  // namespace

TEST(RealMonkey, RandomInputNeitherCrashesNorHangsNorLeavesFiles) {
    const std::wstring seedText = support::env(L"LUMIVEX_MONKEY_SEED");
    const std::wstring eventsText = support::env(L"LUMIVEX_MONKEY_EVENTS");
    unsigned seed = 1354983186u;
    if (seedText == L"random") seed = std::random_device{}();
    else if (!seedText.empty()) seed = std::stoul(seedText);
    const int events = eventsText.empty() ? 300 : std::stoi(eventsText);
    std::printf("LUMIVEX_MONKEY_SEED=%u LUMIVEX_MONKEY_EVENTS=%d\n", seed, events);
    std::mt19937 random(seed);
    const auto any = [&](int count) { return static_cast<int>(random() % static_cast<unsigned>(count)); };
    support::ScratchFolder root(L"monkey");
    const support::SteamWorld world(root / L"Steam", {root / L"Steam"});
    const std::wstring download = root / L"Download";
    const std::string patch(300000, 'p');
    ASSERT_TRUE(support::writeFile(download + L"\\patch.rpa", patch));
    const std::wstring crashReport = support::env(L"SystemDrive") + L"\\crash-report.txt";  // the harness's
    const std::string crashesBefore = support::readFile(crashReport);
    std::unique_ptr<support::Installer> installer;
    for (int sent = 0; sent < events; ++sent) {
        if (installer && installer->exitCode(0) != STILL_ACTIVE) {
            ASSERT_EQ(installer->exitCode(0), 0u) << "after " << sent << " events";
            installer.reset();
        }
        if (!installer) installer = std::make_unique<support::Installer>(download, any(2) ? L"--lang en" : L"");
        std::wstring className;
        HWND hwnd = nullptr;
        const auto shown = [&] {
            hwnd = inFront(*installer, className);
            return hwnd || installer->exitCode(0) != STILL_ACTIVE;
        };
        ASSERT_TRUE(support::pumpUntil(shown, kHangMs)) << "no window and no end after " << sent << " events";
        RECT client{};
        if (!hwnd || !GetClientRect(hwnd, &client)) continue;  // it ended: the next round checks how
        const int action = any(40);
        if (className == L"#32770") {
            support::answerBox(hwnd, IDOK + any(7));
        } else if (action == 0) {
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
        } else if (action < 11) {
            support::pressKey(hwnd, kKeys[any(static_cast<int>(std::size(kKeys)))]);
        } else if (className == kLanguageWindowClass) {
            const float scale = languageWindowScale(client.right, client.bottom, 96);
            support::clickAt(hwnd, support::pointIn(languageButtonRect(any(3)), scale));
        } else if (any(3) > 0) {
            const InstallerState state = any(2) ? Ready : Complete;
            support::clickAt(hwnd, support::pointOf(hwnd, state, support::kButtonRects[any(10)]));
        } else {
            support::clickAt(hwnd, POINT{any(client.right), any(client.bottom)});
        }
        // Twice: the second answer comes after at least one of the posted messages was taken.
        ASSERT_TRUE(answers(hwnd)) << "no answer after " << sent << " events";
        ASSERT_TRUE(answers(hwnd)) << "no answer after " << sent << " events";
    }
    // The end: Yes to a question, Cancel to the folder dialog, close to a window, until it has ended.
    int attempt = 0;
    const auto closed = [&] {
        std::wstring className;
        const HWND hwnd = inFront(*installer, className);
        ++attempt;
        if (hwnd && className == L"#32770") support::answerBox(hwnd, attempt % 2 ? IDYES : IDCANCEL);
        else if (hwnd) PostMessageW(hwnd, WM_CLOSE, 0, 0);
        return installer->exitCode(1000) != STILL_ACTIVE;
    };
    ASSERT_TRUE(support::pumpUntil(closed, kHangMs)) << "it does not close";
    EXPECT_EQ(installer->exitCode(0), 0u);
    EXPECT_EQ(support::readFile(crashReport), crashesBefore);
    EXPECT_EQ(support::readFile(download + L"\\patch.rpa"), patch);
    EXPECT_EQ(namesIn(download), (std::set<std::wstring>{L"LumivexPatchInstaller.exe", L"patch.rpa"}));
    const std::wstring game = world.gameFolders[0];
    std::set<std::wstring> inGame = namesIn(game);
    if (inGame.erase(L"patch.rpa")) {
        EXPECT_EQ(support::readFile(game + L"\\patch.rpa"), patch);
    }
    EXPECT_EQ(inGame, std::set<std::wstring>{L"archive.rpa"});
}
