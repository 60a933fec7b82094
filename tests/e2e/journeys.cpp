// The real installer from start to end, driven as a player and a screen reader drive it (clicks,
// keys, the accessible object's default actions) and checked by what they see and hear and by
// what ends up on disk. e2e_journeys_pe32 runs the same on the shipped 32-bit exe.
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

// Without a window manager Wine waits up to two seconds for the withdrawal of each managed
// window it hides; the windows of this program and of those it starts are unmanaged and go at once.
support::RegistryValue managedWindows(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", L"Managed");
const bool unmanaged = managedWindows.setString(L"N");

namespace {

struct Com : ::testing::Environment {
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override { CoUninitialize(); }
};
const auto* const com = ::testing::AddGlobalTestEnvironment(new Com);

// What a screen reader hears of a window's client: each child's name, "button:" before a button's.
std::vector<std::wstring> heard(HWND hwnd, ComPtr<IAccessible>* keep = nullptr) {
    ComPtr<IAccessible> client;
    std::vector<std::wstring> names;
    LONG count = 0;
    if (FAILED(AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, __uuidof(IAccessible), client.outVoid())) || !client ||
        FAILED(client->get_accChildCount(&count)))
        return names;
    for (LONG id = 1; id <= count; ++id) {
        VARIANT child{}, role{};
        child.vt = VT_I4, child.lVal = id;
        BSTR name = nullptr;
        client->get_accName(child, &name);
        client->get_accRole(child, &role);
        names.push_back((role.lVal == ROLE_SYSTEM_PUSHBUTTON ? L"button:" : L"") + std::wstring(name ? name : L""));
        SysFreeString(name);
    }
    if (keep) *keep = std::move(client);
    return names;
}

// Presses the button of that name the way a screen reader does.
bool press(HWND hwnd, const std::wstring& name) {
    ComPtr<IAccessible> client;
    const std::vector<std::wstring> names = heard(hwnd, &client);
    const auto found = std::find(names.begin(), names.end(), L"button:" + name);
    VARIANT child{};
    child.vt = VT_I4, child.lVal = LONG(found - names.begin()) + 1;
    return client && found != names.end() && client->accDoDefaultAction(child) == S_OK;
}

bool hears(HWND hwnd, const std::wstring& name) {
    return support::pumpUntil([&] {
        const auto names = heard(hwnd);
        return std::find(names.begin(), names.end(), name) != names.end();
    }, 60000);
}

std::vector<std::wstring> buttonsOf(const std::vector<std::wstring>& names) {
    std::vector<std::wstring> buttons;
    for (const auto& name : names)
        if (name.rfind(L"button:", 0) == 0) buttons.push_back(name.substr(7));
    return buttons;
}

// Where a layout rectangle's point (a fraction across it) lies in the window's client pixels.
POINT pointOf(HWND hwnd, InstallerState state, LayoutRect MainLayout::*rect, float fx = .5f, float fy = .5f) {
    RECT client{};
    GetClientRect(hwnd, &client);
    const float scale = scaleFor(float(client.right), float(client.bottom), 96);
    const LayoutRect r = computeLayout(client.right / scale, client.bottom / scale, state).*rect;
    return POINT{LONG((r.left + r.width * fx) * scale), LONG((r.top + r.height * fy) * scale)};
}

bool shows(HWND hwnd, POINT at, Gdiplus::ARGB colour) {
    return support::pumpUntil([&] { return support::closeTo(support::screenPixel(hwnd, at.x, at.y), colour & 0xFFFFFF); },
                              10000);
}

// A folder nobody may write to, root included (Linux's immutable flag: as root Wine writes
// anywhere), as a game folder of another user is on Windows.
struct Immutable {
    std::string folder;
    explicit Immutable(const std::wstring& path) : folder(support::unixPath(path)) { EXPECT_TRUE(chattr("+i")); }
    ~Immutable() { chattr("-i"); }
    bool chattr(const char* flag) const {
        using Spawn = NTSTATUS(CDECL*)(char* const*, int);
        const auto spawn = reinterpret_cast<Spawn>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "__wine_unix_spawnvp")));
        const char* argv[] = {"chattr", flag, folder.c_str(), nullptr};
        return spawn && spawn(const_cast<char* const*>(argv), 1) == 0;
    }
};

std::string patchBytes() {
    std::string bytes(3 << 20, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char((i * 2654435761u) >> 13);
    return bytes;
}

}  // namespace

// First start: the language window (heard as its heading and three buttons), English by a click;
// the screen heard in each language, switched with the pills' default actions; the install by
// a click copies the patch byte for byte; "Launch game" starts Lumivex.exe in the game's folder
// and the installer ends with 0.
TEST(RealJourney, FirstStartInstallAndLaunch) {
    support::ScratchFolder root(L"journey");
    const support::SteamWorld world(root / L"Steam", {root / L"Steam"});
    const std::string patch = patchBytes();
    ASSERT_TRUE(support::writeFile(root / L"Download\\patch.rpa", patch));
    const support::Installer installer(root / L"Download", L"");
    const HWND chooser = installer.window(kLanguageWindowClass);
    ASSERT_TRUE(chooser);
    EXPECT_EQ(heard(chooser), (std::vector<std::wstring>{kLanguageSelectHeading, L"button:" + std::wstring(languageLabels[0]),
                                                        L"button:" + std::wstring(languageLabels[1]),
                                                        L"button:" + std::wstring(languageLabels[2])}));
    const POINT english = support::centreOf(languageButtonRect(2), 1.0f);
    support::clickAt(chooser, english.x, english.y);

    const HWND main = installer.window(kMainWindowClass);
    ASSERT_TRUE(main);
    for (LanguageId language : {0, 1, 2}) {
        const LocalizedText& text = textsFor(language);
        ASSERT_TRUE(press(main, kPillLabels[language])) << language;
        const std::vector<std::wstring> buttons = {text[TextSlot::chooseFolder], text[TextSlot::detectAgain],
            text[TextSlot::installPatch], kPillLabels[0], kPillLabels[1], kPillLabels[2], buttonWordsFor(language).mute};
        EXPECT_TRUE(support::pumpUntil([&] { return buttonsOf(heard(main)) == buttons; }, 10000)) << language;
        EXPECT_TRUE(hears(main, text[TextSlot::readyToInstall])) << language;
        EXPECT_TRUE(hears(main, text[TextSlot::steamDetected])) << language;
        wchar_t title[256] = {};
        GetWindowTextW(main, title, 256);
        EXPECT_STREQ(title, text[TextSlot::windowTitle]);
    }
    EXPECT_TRUE(shows(main, pointOf(main, Ready, &MainLayout::langEnglishButton, .1f), palette::kPillSelected));
    EXPECT_TRUE(shows(main, pointOf(main, Ready, &MainLayout::patchDot), palette::kPatchFoundDot));

    const POINT install = pointOf(main, Ready, &MainLayout::primaryButton);
    support::clickAt(main, install.x, install.y);
    ASSERT_TRUE(hears(main, L"button:" + std::wstring(textsFor(2)[TextSlot::launchGame])));
    EXPECT_TRUE(support::readFile(world.gameFolders[0] + L"\\patch.rpa") == patch);
    EXPECT_TRUE(shows(main, pointOf(main, Complete, &MainLayout::progressBar, .98f), palette::kAccent));
    const POINT launch = pointOf(main, Complete, &MainLayout::primaryButton);
    support::clickAt(main, launch.x, launch.y);
    EXPECT_EQ(installer.exitCode(), 0u);
    const std::wstring gameRoot = world.gameFolders[0].substr(0, world.gameFolders[0].size() - 5);  // less "\\game"
    std::string record;
    ASSERT_TRUE(support::pumpUntil([&] { return !(record = support::readFile(gameRoot + L"\\Lumivex.exe.record")).empty(); }));
    EXPECT_EQ(record.substr(record.find('\n') + 1), support::utf8(gameRoot) + "\n");
}

// The game holds its patch.rpa open: Enter installs, the in-use warning comes and the screen says
// it failed. Then the old patch is read-only (access denied): the administrator question,
// answered No, leaves the installer Failed with the old patch as it was; Escape ends with 0.
TEST(RealJourney, InUseAndNotWritableStayFailed) {
    support::ScratchFolder root(L"failures");
    const support::SteamWorld world(root / L"Steam", {root / L"Steam"});
    const std::wstring old = world.gameFolders[0] + L"\\patch.rpa";
    ASSERT_TRUE(support::writeFile(old, "the old patch"));
    ASSERT_TRUE(support::writeFile(root / L"Download\\patch.rpa", patchBytes()));
    const LocalizedText& text = textsFor(2);
    const support::Installer installer(root / L"Download", L"--lang en");
    const HWND main = installer.window(kMainWindowClass);
    ASSERT_TRUE(main);
    {
        const FileHandle held(CreateFileW(old.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        ASSERT_TRUE(hears(main, text[TextSlot::patchWillOverwrite]));
        support::pressKey(main, VK_RETURN);
        const HWND box = installer.window(L"#32770");
        ASSERT_TRUE(box);
        const support::SeenBox seen = support::readBox(box);
        EXPECT_EQ(seen.text.rfind(text[TextSlot::patchInUse], 0), 0u) << seen.text;
        EXPECT_EQ(seen.caption, text[TextSlot::windowTitle]);
        EXPECT_EQ(seen.style & MB_TYPEMASK, UINT(MB_OK));  // another process's icon is not ours to compare
        support::answerBox(box, IDOK);
        EXPECT_TRUE(hears(main, std::wstring(text[TextSlot::patchInUse]) + L" " + systemErrorText(ERROR_SHARING_VIOLATION)));
    }
    const Immutable unwritable(world.gameFolders[0]);
    support::pressKey(main, VK_RETURN);
    const HWND box = installer.window(L"#32770");
    ASSERT_TRUE(box);
    const support::SeenBox seen = support::readBox(box);
    EXPECT_EQ(seen.text, text[TextSlot::notWritableRestartAdmin]);
    EXPECT_EQ(seen.style & MB_TYPEMASK, UINT(MB_YESNO));
    support::answerBox(box, IDNO);
    EXPECT_TRUE(hears(main, std::wstring(text[TextSlot::copyFailed]) + L": " + systemErrorText(ERROR_ACCESS_DENIED)));
    EXPECT_TRUE(hears(main, L"button:" + std::wstring(text[TextSlot::installPatch])));
    EXPECT_EQ(support::readFile(old), "the old patch");
    EXPECT_FALSE(support::exists(old + L".partial"));
    support::pressKey(main, VK_ESCAPE);
    EXPECT_EQ(installer.exitCode(), 0u);
}
