// Random clicks, keys and close requests on the real installer's window in front, its boxes and
// folder dialog answered at random; an installer that ends is started again. It must never crash
// (exit code 0, Wine's crash report untouched) nor hang. LUMIVEX_MONKEY_SEED=<number> replays a run
// (its seed is printed first), =random draws one; LUMIVEX_MONKEY_EVENTS=<count> (300) makes it longer.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "app/language_window.h"
#include "support.h"

using namespace support;

TEST(RealMonkey, RandomInputNeitherCrashesNorHangs) {
    // A hang: no answer for a minute, where the busiest machine answers within seconds.
    const DWORD kHangMs = 60000;
    const WPARAM kKeys[] = {VK_RETURN, VK_F5, VK_ESCAPE, VK_TAB, VK_SPACE, VK_RIGHT, '1', '3'};
    const std::wstring seedText = env(L"LUMIVEX_MONKEY_SEED");
    const std::wstring eventsText = env(L"LUMIVEX_MONKEY_EVENTS");
    unsigned seed = 1354983186u;
    if (seedText == L"random") seed = std::random_device{}();
    else if (!seedText.empty()) seed = std::stoul(seedText);
    const int events = eventsText.empty() ? 300 : std::stoi(eventsText);
    std::printf("LUMIVEX_MONKEY_SEED=%u LUMIVEX_MONKEY_EVENTS=%d\n", seed, events);
    std::mt19937 random(seed);
    ScratchFolder root(L"monkey");
    const SteamWorld world(root / L"Steam", {root / L"Steam"});
    const std::wstring download = root / L"Download";
    ASSERT_TRUE(writeFile(download + L"\\patch.rpa", std::string(300000, 'p')));
    const std::wstring crashReport = env(L"SystemDrive") + L"\\crash-report.txt";  // the harness's
    const std::string crashesBefore = readFile(crashReport);
    std::unique_ptr<Installer> installer;
    for (int sent = 0; sent < events; ++sent) {
        if (installer && installer->exitCode(0) != STILL_ACTIVE) {
            ASSERT_EQ(installer->exitCode(0), 0u) << "after " << sent << " events";
            installer.reset();
        }
        if (!installer) installer = std::make_unique<Installer>(download, random() % 2 ? L"--lang en" : L"");
        // The window in front: a box or dialog comes before the window it belongs to.
        HWND box = nullptr;
        HWND hwnd = nullptr;
        const auto shown = [&] {
            box = installer->window(L"#32770", 0);
            hwnd = box ? box : installer->window(kMainWindowClass, 0);
            if (!hwnd) hwnd = installer->window(kLanguageWindowClass, 0);
            return hwnd || installer->exitCode(0) != STILL_ACTIVE;
        };
        ASSERT_TRUE(pumpUntil(shown, kHangMs)) << "no window and no end after " << sent << " events";
        RECT client{};
        if (!hwnd || !GetClientRect(hwnd, &client)) continue;  // it ended: the next round checks how
        const unsigned action = random() % 40;
        if (box) {
            answerBox(hwnd, IDOK + random() % 7);
        } else if (action == 0) {
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
        } else if (action < 11) {
            pressKey(hwnd, kKeys[random() % std::size(kKeys)]);
        } else if (action < 30) {
            const InstallerState state = random() % 2 ? Ready : Complete;
            clickAt(hwnd, pointOf(hwnd, state, kButtonRects[random() % 10]));
        } else {
            clickAt(hwnd, POINT{LONG(random() % (client.right + 1)), LONG(random() % (client.bottom + 1))});
        }
        // Twice: the second answer comes after at least one of the posted messages was taken.
        for (int ask = 0; ask < 2; ++ask) {
            DWORD_PTR answer = 0;
            const bool answered = SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, kHangMs, &answer);
            ASSERT_TRUE(answered || !IsWindow(hwnd)) << "no answer after " << sent << " events";
        }
    }
    EXPECT_EQ(readFile(crashReport), crashesBefore);
}
