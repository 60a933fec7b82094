// The real installer (LUMIVEX_EXE; the shipped 32-bit one in e2e_journeys_pe32) driven as a player
// and a screen reader drive it, checked by what they see and hear and by what ends up on disk.
#include <gtest/gtest.h>
#include <oleacc.h>

#include <algorithm>

#include "app/language_window.h"
#include "install/error_text.h"
#include "support.h"
#include "ui/layout.h"
#include "ui/palette.h"
#include "ui/screen_items.h"
#include "ui/screen_text.h"

using namespace support;

namespace {
const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

// What a reader hears of a window's client: each child's name ("button:" before a button's, and
// "unavailable " before that when it does not react), then "focus:" and the focused child's name
// (empty for the client) when it says it is focused.
std::vector<std::wstring> heard(HWND hwnd, ComPtr<IAccessible>* keep = nullptr) {
    ComPtr<IAccessible> client;
    std::vector<std::wstring> names;
    LONG count = 0;
    if (AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, __uuidof(IAccessible), client.outVoid())) return names;
    if (client->get_accChildCount(&count)) return names;
    VARIANT child{};
    child.vt = VT_I4;
    for (child.lVal = 1; child.lVal <= count; ++child.lVal) {
        BSTR name = nullptr;
        VARIANT role{};
        VARIANT state{};
        client->get_accName(child, &name);
        client->get_accRole(child, &role);
        client->get_accState(child, &state);
        std::wstring prefix = role.lVal == ROLE_SYSTEM_PUSHBUTTON ? L"button:" : L"";
        if (state.lVal & STATE_SYSTEM_UNAVAILABLE) prefix = L"unavailable " + prefix;
        names.push_back(prefix + std::wstring(name ? name : L""));
        SysFreeString(name);
    }
    VARIANT state{};
    const LONG focused = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED;
    const bool hasFocus = client->get_accFocus(&child) == S_OK && client->get_accState(child, &state) == S_OK;
    if (hasFocus && (state.lVal & focused) == focused) {
        names.push_back(L"focus:" + (child.lVal ? names[child.lVal - 1] : L""));
    }
    if (keep) *keep = std::move(client);
    return names;
}

bool hears(HWND hwnd, const std::wstring& name) {
    return pumpUntil([&] {
        const std::vector<std::wstring> names = heard(hwnd);
        return std::count(names.begin(), names.end(), name) > 0;
    });
}

bool shows(HWND hwnd, POINT at, Gdiplus::ARGB colour) {
    return pumpUntil([&] { return closeTo(screenPixel(hwnd, at.x, at.y), colour & 0xFFFFFF); });
}
}  // namespace

// One player's first start at 144 DPI as a reader follows it: English by a click after Left showed
// the ring; the main window sized and centred; Enter while the game holds patch.rpa (the in-use
// warning, the buttons under it unavailable); Simplified Chinese, mute, the second library and
// "Install patch" (at its place on the screen) by keys; the game launched in its folder.
TEST(RealJourney, FirstStartThroughFailuresToTheGame) {
    const int dpi = 144;
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    ScratchFolder root(L"journey");
    RegistryValue logPixels(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");
    logPixels.set(REG_DWORD, &dpi, sizeof dpi);
    const SteamWorld world(root / L"Steam", {root / L"Steam", root / L"Library"});
    for (const std::wstring& game : world.gameFolders) {
        ASSERT_TRUE(writeFile(game + L"\\patch.rpa", "the old patch"));
    }
    const std::string patch(3 << 20, 'p');
    ASSERT_TRUE(writeFile(root / L"Download\\patch.rpa", patch));
    const Installer installer(root / L"Download", L"");

    const HWND chooser = installer.window(kLanguageWindowClass);
    RECT client{};
    ASSERT_TRUE(chooser && GetClientRect(chooser, &client));
    EXPECT_EQ(windowText(chooser), kInstallerCaption);
    std::vector<std::wstring> labels;
    for (const wchar_t* label : languageLabels) labels.push_back(L"button:" + std::wstring(label));
    const std::vector<std::wstring> chooserHeard = {kLanguageSelectHeading, labels[0], labels[1], labels[2], L"focus:"};
    EXPECT_EQ(heard(chooser), chooserHeard);
    const float chooserScale = languageWindowScale(client.right, client.bottom, dpi);
    const LayoutRect englishButton = languageButtonRect(2);
    const LayoutRect ringPoint{englishButton.left - 3, englishButton.top, 0, englishButton.height};
    const POINT ring = pointIn(ringPoint, chooserScale);
    EXPECT_FALSE(closeTo(screenPixel(chooser, ring.x, ring.y), palette::kFocusRing & 0xFFFFFF));
    pressKey(chooser, VK_LEFT);
    EXPECT_TRUE(hears(chooser, L"focus:" + labels[2]));
    EXPECT_TRUE(shows(chooser, ring, palette::kFocusRing));
    clickAt(chooser, pointIn(englishButton, chooserScale));

    const HWND main = installer.window(kMainWindowClass);
    RECT outer{};
    ASSERT_TRUE(main && GetClientRect(main, &client) && GetWindowRect(main, &outer));
    // Centred on the work area, its client scaled for the DPI.
    EXPECT_NEAR(outer.left + outer.right, work.left + work.right, 1);
    EXPECT_NEAR(outer.top + outer.bottom, work.top + work.bottom, 1);
    EXPECT_EQ(client.right, MulDiv(1160, dpi, 96));
    // Taller than the work area less its margin, the window takes that height.
    const int frame = outer.bottom - outer.top - client.bottom;
    const int wanted = MulDiv(700, dpi, 96) + frame;
    EXPECT_EQ(outer.bottom - outer.top, std::min(wanted, int(work.bottom - work.top) - MulDiv(24, dpi, 96)));
    const POINT inPill = pointOf(main, Ready, &MainLayout::langEnglishButton, .1f, dpi);
    EXPECT_TRUE(shows(main, inPill, palette::kPillSelected));
    const LocalizedText& english = textsFor(2);
    EXPECT_EQ(windowText(main), english[TextSlot::windowTitle]);
    ASSERT_TRUE(hears(main, L"focus:") && hears(main, english[TextSlot::patchWillOverwrite]));
    const std::vector<std::wstring> shown = heard(main);
    const bool steamFirst = std::count(shown.begin(), shown.end(), world.gameFolders[0]) > 0;
    const std::wstring first = world.gameFolders[steamFirst ? 0 : 1];
    const std::wstring second = world.gameFolders[steamFirst ? 1 : 0];

    // The game holds its archive as fopen does: sharing reading and writing, not deleting.
    const std::wstring old = first + L"\\patch.rpa";
    const DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
    FileHandle held(CreateFileW(old.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr));
    pressKey(main, VK_RETURN);
    const HWND box = installer.window(L"#32770");
    ASSERT_TRUE(box);
    // The box disables the window: readers are told its buttons do not react.
    EXPECT_TRUE(hears(main, L"unavailable button:" + std::wstring(english[TextSlot::installPatch])));
    const SeenBox seen = readBox(box);
    // The lead text goes on with the error's; the icon of another process is not comparable.
    const std::wstring inUse = english[TextSlot::patchInUse];
    EXPECT_EQ(seen.text.rfind(inUse, 0), 0u) << utf8(seen.text);
    EXPECT_EQ(seen.caption, english[TextSlot::windowTitle]);
    EXPECT_EQ(seen.style & MB_TYPEMASK, UINT(MB_OK));
    answerBox(box, IDOK);
    EXPECT_TRUE(hears(main, inUse + L" " + systemErrorText(ERROR_SHARING_VIOLATION)));
    held.reset();

    const LocalizedText& text = textsFor(0);
    const std::pair<std::vector<WPARAM>, std::wstring> steps[] = {
        {{VK_TAB}, kPillLabels[0]},
        {{VK_SPACE}, kPillLabels[0]},
        {std::vector<WPARAM>(3, VK_TAB), buttonWordsFor(0).mute},
        {{VK_SPACE, VK_RIGHT}, buttonWordsFor(0).unmute},
        {std::vector<WPARAM>(5, VK_TAB), text[TextSlot::installPatch]},
    };
    for (const auto& [keys, focus] : steps) {
        for (WPARAM key : keys) pressKey(main, key);
        EXPECT_TRUE(hears(main, L"focus:button:" + focus)) << utf8(focus);
    }
    EXPECT_EQ(windowText(main), text[TextSlot::windowTitle]);
    ComPtr<IAccessible> reader;
    VARIANT focus{};
    ASSERT_FALSE(heard(main, &reader).empty());
    ASSERT_EQ(reader->get_accFocus(&focus), S_OK);
    RECT place{};  // left, top, width, height
    reader->accLocation(&place.left, &place.top, &place.right, &place.bottom, focus);
    POINT primary = pointOf(main, Ready, &MainLayout::primaryButton, 0, dpi);
    ClientToScreen(main, &primary);
    // On the screen, not in the client: the window is not at the origin.
    EXPECT_NEAR(place.left, primary.x, 1);
    pressKey(main, VK_SPACE);
    ASSERT_TRUE(hears(main, L"focus:button:" + std::wstring(text[TextSlot::launchGame])));
    EXPECT_TRUE(readFile(second + L"\\patch.rpa") == patch);
    EXPECT_EQ(readFile(first + L"\\patch.rpa"), "the old patch");
    pressKey(main, VK_SPACE);
    EXPECT_EQ(installer.exitCode(), 0u);
    // The game starts in its own folder.
    const std::wstring gameRoot = parentFolder(second);
    EXPECT_EQ(standInRecord(gameRoot + L"\\Lumivex.exe").second, gameRoot);
}
