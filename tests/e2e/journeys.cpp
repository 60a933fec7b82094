// The real installer (LUMIVEX_EXE; the shipped 32-bit one in e2e_journeys_pe32) driven as a player
// and a screen reader drive it, checked by what they see and hear and by what ends up on disk.
#include <gtest/gtest.h>
#include <oleacc.h>

#include <algorithm>
#include <optional>

#include "app/language_window.h"
#include "install/error_text.h"
#include "support.h"
#include "ui/layout.h"
#include "ui/palette.h"
#include "ui/screen_items.h"
#include "ui/screen_text.h"

namespace {
const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

// What a screen reader hears of a window's client: each child's name, "button:" before a button's,
// then "focus:" and the name of what has the focus (empty for the client) if it says it is focused.
std::vector<std::wstring> heard(HWND hwnd, ComPtr<IAccessible>* keep = nullptr) {
    ComPtr<IAccessible> client;
    std::vector<std::wstring> names;
    LONG count = 0;
    if (AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, __uuidof(IAccessible), client.outVoid()) || client->get_accChildCount(&count))
        return names;
    VARIANT child{}, role{};
    for (child.vt = VT_I4; child.lVal++ < count; VariantClear(&role)) {
        BSTR name = nullptr;
        client->get_accName(child, &name);
        client->get_accRole(child, &role);
        names.push_back((role.lVal == ROLE_SYSTEM_PUSHBUTTON ? L"button:" : L"") + std::wstring(name ? name : L""));
        SysFreeString(name);
    }
    const LONG focusable = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED;
    if (client->get_accFocus(&child) == S_OK && client->get_accState(child, &role) == S_OK && (role.lVal & focusable) == focusable)
        names.push_back(L"focus:" + (child.lVal ? names[child.lVal - 1] : L""));
    if (keep) *keep = std::move(client);
    return names;
}
bool hears(HWND hwnd, const std::wstring& name) {
    return support::pumpUntil([&] { const auto names = heard(hwnd); return std::count(names.begin(), names.end(), name) > 0; });
}
// Presses the button of that name as a screen reader does, telling the state it reported first.
bool press(HWND hwnd, const std::wstring& name, LONG* state = nullptr) {
    ComPtr<IAccessible> client;
    const auto names = heard(hwnd, &client);
    VARIANT child{}, told{};
    child.vt = VT_I4, child.lVal = LONG(std::find(names.begin(), names.end(), L"button:" + name) - names.begin()) + 1;
    if (child.lVal > LONG(names.size())) return false;
    client->get_accState(child, &told);
    if (state) *state = told.lVal;
    return client->accDoDefaultAction(child) == S_OK;
}
std::wstring title(HWND hwnd) {
    std::wstring text(256, L'\0');
    return text.substr(0, GetWindowTextW(hwnd, text.data(), 256));
}
bool shows(HWND hwnd, POINT at, Gdiplus::ARGB colour) {
    return support::pumpUntil([&] { return support::closeTo(support::screenPixel(hwnd, at.x, at.y), colour & 0xFFFFFF); });
}
// A folder nobody may write to, root included (as root Wine writes anywhere): Linux's immutable flag.
struct Immutable {
    std::string folder;
    explicit Immutable(const std::wstring& path) : folder(support::unixPath(path)) { EXPECT_TRUE(chattr("+i")); }
    ~Immutable() { chattr("-i"); }
    bool chattr(const char* flag) const {
        const char* argv[] = {"chattr", flag, folder.c_str(), nullptr};
        const auto spawn = reinterpret_cast<NTSTATUS(CDECL*)(const char* const*, int)>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "__wine_unix_spawnvp")));
        return spawn && spawn(argv, 1) == 0;
    }
};
}  // namespace

// Both windows at each starting DPI: titled, sized for the DPI, centred on the work area. Keys that
// pick nothing change nothing; a picking key or (without keys) a click at the button's scaled centre
// opens the installer window in that language, its pill selected; Escape and WM_CLOSE (key 0) end with 0.
TEST(RealWindows, StartSizedAndCentredAtEachDpiThenKeysAndClicks) {
    RECT work{}, client{}, outer{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    auto centred = [&](HWND hwnd) {
        return GetWindowRect(hwnd, &outer) && std::abs(outer.left + outer.right - work.left - work.right) <= 1 &&
               std::abs(outer.top + outer.bottom - work.top - work.bottom) <= 1;
    };
    const struct { int dpi; std::vector<WPARAM> keys; int language; } kRows[] = {
        {96, {VK_RETURN, 'X', VK_F5, '1'}, 0}, {144, {}, 1}, {144, {'A', VK_ESCAPE}, -1}, {96, {'B', 0}, -1}, {96, {'E'}, 2}};
    for (const auto& row : kRows) {
        support::ScratchFolder folder(L"windows");
        support::RegistryValue dpi(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");  // read at start-up
        dpi.set(REG_DWORD, &row.dpi, sizeof row.dpi);
        const support::Installer installer(folder.path(), L"");
        const HWND chooser = installer.window(kLanguageWindowClass);
        ASSERT_TRUE(chooser && GetClientRect(chooser, &client)) << row.dpi;
        EXPECT_EQ(title(chooser), kInstallerCaption);
        EXPECT_EQ(client.right * 10000 + client.bottom, MulDiv(650, row.dpi, 96) * 10000 + MulDiv(280, row.dpi, 96));
        EXPECT_TRUE(centred(chooser)) << row.dpi;
        for (WPARAM key : row.keys) key ? support::pressKey(chooser, key) : void(PostMessageW(chooser, WM_CLOSE, 0, 0));
        const float scale = languageWindowScale(client.right, client.bottom, row.dpi);
        if (row.keys.empty()) support::clickAt(chooser, support::pointIn(languageButtonRect(row.language), scale));
        if (row.language >= 0) {
            const HWND main = installer.window(kMainWindowClass);
            ASSERT_TRUE(main && GetClientRect(main, &client) && centred(main)) << row.dpi;
            EXPECT_EQ(title(main), textsFor(row.language)[TextSlot::windowTitle]);
            EXPECT_EQ(client.right, MulDiv(1160, row.dpi, 96));
            // Taller than the work area less its margin, the window takes that height.
            EXPECT_EQ(outer.bottom - outer.top, std::min(MulDiv(700, row.dpi, 96) + int(outer.bottom - outer.top - client.bottom),
                                                         int(work.bottom - work.top) - MulDiv(24, row.dpi, 96)));
            EXPECT_TRUE(shows(main, support::pointOf(main, Ready, support::kButtonRects[row.language], .1f, row.dpi), palette::kPillSelected))
                << row.dpi;
            row.language ? support::pressKey(main, VK_ESCAPE) : void(PostMessageW(main, WM_CLOSE, 0, 0));
        }
        EXPECT_EQ(installer.exitCode(10000), 0u) << row.dpi << " " << row.language;
    }
}

// First start by the keyboard alone, as a reader follows the focus: English by Left and Space (the ring
// drawn only then), Simplified Chinese by a pill, mute, the second library by Right, Space on "Install
// patch" (its place in screen pixels) installs there, and again launches the game; exit code 0.
TEST(RealJourney, FirstStartByKeyboardInstallAndLaunch) {
    support::ScratchFolder root(L"journey");
    const support::SteamWorld world(root / L"Steam", {root / L"Steam", root / L"Library"});
    std::string patch(3 << 20, '\0');
    for (size_t i = 0; i < patch.size(); ++i) patch[i] = char((i * 2654435761u) >> 13);
    ASSERT_TRUE(support::writeFile(root / L"Download\\patch.rpa", patch));
    const support::Installer installer(root / L"Download", L"");
    const HWND chooser = installer.window(kLanguageWindowClass);
    ASSERT_TRUE(chooser);
    const std::wstring labels[] = {L"button:" + std::wstring(languageLabels[0]), L"button:" + std::wstring(languageLabels[1]),
                                   L"button:" + std::wstring(languageLabels[2])};
    EXPECT_EQ(heard(chooser), (std::vector<std::wstring>{kLanguageSelectHeading, labels[0], labels[1], labels[2], L"focus:"}));
    const LayoutRect english = languageButtonRect(2);
    const POINT ring{LONG(english.left - 3), LONG(english.top + english.height / 2)};
    EXPECT_FALSE(support::closeTo(support::screenPixel(chooser, ring.x, ring.y), palette::kFocusRing & 0xFFFFFF));
    support::pressKey(chooser, VK_LEFT);
    EXPECT_TRUE(hears(chooser, L"focus:" + labels[2]));
    EXPECT_TRUE(shows(chooser, ring, palette::kFocusRing));
    support::pressKey(chooser, VK_SPACE);
    const HWND main = installer.window(kMainWindowClass);
    ASSERT_TRUE(main && hears(main, L"focus:"));
    const std::vector<std::wstring> shown = heard(main);
    const bool steamFirst = std::count(shown.begin(), shown.end(), world.gameFolders[0]) > 0;
    const std::wstring first = world.gameFolders[steamFirst ? 0 : 1], second = world.gameFolders[steamFirst ? 1 : 0];
    const LocalizedText& text = textsFor(0);
    const std::pair<std::vector<WPARAM>, std::wstring> kSteps[] = {
        {{VK_TAB}, kPillLabels[0]}, {{VK_SPACE}, kPillLabels[0]},
        {{VK_TAB, VK_TAB, VK_TAB}, buttonWordsFor(0).mute}, {{VK_SPACE, VK_RIGHT}, buttonWordsFor(0).unmute},
        {{VK_TAB, VK_TAB, VK_TAB, VK_TAB, VK_TAB}, text[TextSlot::installPatch]}};
    for (const auto& [keys, focus] : kSteps) {
        for (WPARAM key : keys) support::pressKey(main, key);
        EXPECT_TRUE(hears(main, L"focus:button:" + focus)) << support::utf8(focus);
    }
    EXPECT_EQ(title(main), text[TextSlot::windowTitle]);
    ComPtr<IAccessible> client;
    VARIANT focus{};
    LONG left = 0, top = 0, width = 0, height = 0;
    ASSERT_TRUE(!heard(main, &client).empty() && client->get_accFocus(&focus) == S_OK);
    client->accLocation(&left, &top, &width, &height, focus);
    POINT primary = support::pointOf(main, Ready, &MainLayout::primaryButton, 0);
    EXPECT_TRUE(shows(main, {primary.x - 3, primary.y}, palette::kFocusRing));
    ClientToScreen(main, &primary);
    EXPECT_NEAR(left, primary.x, 1);  // on the screen, not in the client: the window is not at the origin
    support::pressKey(main, VK_SPACE);
    ASSERT_TRUE(hears(main, L"focus:button:" + std::wstring(text[TextSlot::launchGame])));
    EXPECT_TRUE(support::readFile(second + L"\\patch.rpa") == patch);
    EXPECT_FALSE(support::exists(first + L"\\patch.rpa"));
    support::pressKey(main, VK_SPACE);
    EXPECT_EQ(installer.exitCode(), 0u);
    const std::wstring gameRoot = parentFolder(second);
    EXPECT_EQ(support::standInRecord(gameRoot + L"\\Lumivex.exe").second, gameRoot);  // its working folder
}

// Enter installs while the game holds its patch.rpa open as fopen does, sharing reading and writing
// (the in-use warning), then a click while the game folder cannot be written (Wine runs every process
// as administrator, so the installer says why instead of offering the restart): under each box a
// reader cannot press "Install patch"; each time the screen says it failed, the old patch stays;
// Escape ends with 0.
TEST(RealJourney, InUseAndNotWritableStayFailed) {
    support::ScratchFolder root(L"failures");
    const support::SteamWorld world(root / L"Steam", {root / L"Steam"});
    const std::wstring old = world.gameFolders[0] + L"\\patch.rpa";
    ASSERT_TRUE(support::writeFile(old, "the old patch") && support::writeFile(root / L"Download\\patch.rpa", "new"));
    const LocalizedText& text = textsFor(2);
    const support::Installer installer(root / L"Download", L"--lang en");
    const HWND main = installer.window(kMainWindowClass);
    ASSERT_TRUE(main && hears(main, text[TextSlot::patchWillOverwrite]));
    const struct { DWORD error; const wchar_t* box; UINT buttons; int answer; std::wstring status; } kFailures[] = {
        {ERROR_SHARING_VIOLATION, text[TextSlot::patchInUse], MB_OK, IDOK, text[TextSlot::patchInUse] + std::wstring(L" ")},
        {ERROR_ACCESS_DENIED, text[TextSlot::copyFailed], MB_OK, IDOK, text[TextSlot::copyFailed] + std::wstring(L": ")}};
    for (const auto& failure : kFailures) {
        const bool inUse = failure.error == ERROR_SHARING_VIOLATION;
        // The game holds its archive as fopen does: sharing reading and writing, not deleting.
        const DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
        FileHandle held;
        if (inUse) held.reset(CreateFileW(old.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr));
        std::optional<Immutable> unwritable;
        if (!inUse) unwritable.emplace(world.gameFolders[0]);
        const POINT primary = support::pointOf(main, Failed, &MainLayout::primaryButton);
        inUse ? support::pressKey(main, VK_RETURN) : support::clickAt(main, primary);
        const HWND box = installer.window(L"#32770");
        ASSERT_TRUE(box) << failure.error;
        LONG state = 0;  // the box disables the window: its buttons are unavailable and a reader's press fails
        EXPECT_FALSE(press(main, text[TextSlot::installPatch], &state));
        EXPECT_TRUE(state & STATE_SYSTEM_UNAVAILABLE) << failure.error;
        const support::SeenBox seen = support::readBox(box);
        EXPECT_EQ(seen.text.rfind(failure.box, 0), 0u) << support::utf8(seen.text);  // the in-use text goes on with the error's
        EXPECT_EQ(seen.caption, text[TextSlot::windowTitle]);
        EXPECT_EQ(seen.style & MB_TYPEMASK, failure.buttons);  // the icon of another process is not comparable here
        support::answerBox(box, failure.answer);
        EXPECT_TRUE(hears(main, failure.status + systemErrorText(failure.error))) << failure.error;
        EXPECT_TRUE(hears(main, L"button:" + std::wstring(text[TextSlot::installPatch])));
    }
    EXPECT_EQ(support::readFile(old), "the old patch");
    support::pressKey(main, VK_ESCAPE);
    EXPECT_EQ(installer.exitCode(), 0u);
}
