// The real installer (LUMIVEX_EXE; the shipped 32-bit one in ui_real_installer_pe32) started at
// three DPIs and read the way a screen reader reads it, through oleacc from this process: in each
// state a real copy reaches under Wine and in each language. A real main window in this process
// adds the states Wine's copy cannot reach, the WinEvents, the object outliving its window and the
// taskbar calls.
#include <gtest/gtest.h>

#include <oleacc.h>

#include <algorithm>
#include <sstream>

#include "app/language_window.h"
#include "audio/music.h"
#include "detect/detection.h"
#include "install/copy_worker.h"
#include "install/error_text.h"
#include "test_support.h"
#include "ui/screen_items.h"
#include "ui_test_support.h"

using namespace testing_support;
using namespace ui_testing;

namespace {

using Accessible = ComPtr<IAccessible>;

Accessible clientOf(HWND hwnd) {
    Accessible object;
    AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, __uuidof(IAccessible), object.outVoid());
    return object;
}

VARIANT child(LONG id) {
    VARIANT v{};
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

std::wstring take(BSTR text) {
    std::wstring s = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
    SysFreeString(text);
    return s;
}

// One child as a reader finds it: "role state [name] value acts" (HOTTRACKED kept apart) and its place.
struct Seen {
    std::wstring said;
    bool hot = false;
    RECT at{};
};

std::wstring describe(LONG role, LONG state, const std::wstring& name, const std::wstring& value, bool acts) {
    return std::to_wstring(role) + L" " + std::to_wstring(state) + L" [" + name + L"] " + value + (acts ? L" acts" : L"");
}

Seen readChild(IAccessible* object, LONG id) {
    BSTR name = nullptr, value = nullptr, action = nullptr;
    VARIANT role{}, state{};
    object->get_accName(child(id), &name);
    object->get_accValue(child(id), &value);
    object->get_accDefaultAction(child(id), &action);
    object->get_accRole(child(id), &role);
    object->get_accState(child(id), &state);
    LONG x = 0, y = 0, w = 0, h = 0;
    object->accLocation(&x, &y, &w, &h, child(id));
    return Seen{describe(role.lVal, state.lVal & ~STATE_SYSTEM_HOTTRACKED, take(name), take(value), !take(action).empty()),
                (state.lVal & STATE_SYSTEM_HOTTRACKED) != 0, RECT{x, y, x + w, y + h}};
}

std::vector<Seen> readAll(IAccessible* object) {
    LONG count = 0;
    std::vector<Seen> all;
    if (object && object->get_accChildCount(&count) == S_OK)
        for (LONG id = 1; id <= count; ++id) all.push_back(readChild(object, id));
    return all;
}

LONG childNamed(IAccessible* object, const std::wstring& name) {
    const std::vector<Seen> all = readAll(object);
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].said.find(L" [" + name + L"] ") != std::wstring::npos) return static_cast<LONG>(i + 1);
    return 0;
}

POINT centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

struct Want {
    std::wstring said;
    LayoutRect rect;
};

// What differs between screens beyond the fixed texts.
struct Facts {
    std::wstring folder, failure;
    int percent;
    size_t folders = 2;  // shown in the counter when there are two or more
};

// The main screen's children in reading order, from one word per element between the titles and
// the footer (a button word ending in '-' does not react). The patch is 1.50 KB; the first folder
// is selected.
std::vector<Want> wanted(const std::string& words, LanguageId language, const MainLayout& l, const Facts& facts) {
    const LocalizedText& t = textsFor(language);
    const ButtonWords& b = buttonWordsFor(language);
    std::vector<Want> out;
    auto text = [&](const std::wstring& name, const LayoutRect& r) {
        out.push_back({describe(ROLE_SYSTEM_STATICTEXT, STATE_SYSTEM_READONLY, name, L"", false), r});
    };
    auto button = [&](const std::wstring& name, const LayoutRect& r, bool reacts, LONG more = 0) {
        const LONG state = (reacts ? 0 : STATE_SYSTEM_UNAVAILABLE) | more;
        out.push_back({describe(ROLE_SYSTEM_PUSHBUTTON, state, name, L"", reacts), r});
    };
    bool muted = false;
    using S = TextSlot;
    std::istringstream in("subtitle title " + words + " footer");
    for (std::string w; in >> w;) {
        const bool on = w.back() != '-';
        if (!on) w.pop_back();
        if (w == "subtitle") text(t[S::subtitle], l.subtitle);
        else if (w == "title") text(t[S::gameTitle], l.title);
        else if (w == "found") text(t[S::patchFound], l.patchHeading), text(L"1.50 KB", l.patchDetail);
        else if (w == "missing") text(t[S::patchNotFound], l.patchHeading), text(t[S::patchPlaceHint], l.patchDetail),
                                 button(t[S::openAppFolder], l.openAppFolderButton, true);
        else if (w == "steam" || w == "manual")
            text(t[S::installLocation], l.locationLabel),
                text(t[w == "steam" ? S::steamDetected : S::manualFolder], l.locationSource),
                text(facts.folder, l.locationFolder);
        else if (w == "nofolder") text(t[S::installLocation], l.locationLabel), text(t[S::noGameFolder], l.locationSource);
        else if (w == "two")
            text(std::wstring(t[S::detectedLocations]) + L"  1 / " + std::to_wstring(facts.folders), l.locationCounter),
                button(b.previous, l.prevButton, on), button(b.next, l.nextButton, on);
        else if (w == "folders")
            button(t[S::chooseFolder], l.chooseFolderButton, on), button(t[S::detectAgain], l.detectAgainButton, on);
        else if (w == "ready") text(t[S::readyToInstall], l.statusLine);
        else if (w == "overwrite") text(t[S::patchWillOverwrite], l.statusLine);
        else if (w == "done") text(t[S::installComplete] + std::wstring(L" \u00B7 ") + t[S::canStartGame], l.statusLine);
        else if (w == "cancelled") text(t[S::installCancelled], l.statusLine);
        else if (w == "failed") text(facts.failure, l.statusLine);
        else if (w == "bar") out.push_back({describe(ROLE_SYSTEM_PROGRESSBAR, STATE_SYSTEM_READONLY, t[S::installing],
                                                     std::to_wstring(facts.percent) + L"%", false), l.progressBar});
        else if (w == "install") button(t[S::installPatch], l.primaryButton, on);
        else if (w == "cancel") button(t[S::cancelInstall], l.primaryButton, on);
        else if (w == "launch") button(t[S::launchGame], l.primaryButton, on), button(t[S::closeInstaller], l.closeButton, on);
        else if (w == "footer") text(t[S::steamAppIdLabel] + std::wstring(L"  2468020   \u00B7   v1.0.0"), l.footer);
        else if (w == "muted") muted = true;
        else ADD_FAILURE() << "unknown word " << w;
    }
    const wchar_t* const pills[3] = {L"简中", L"繁中", L"EN"};
    const LayoutRect pillRects[3] = {l.langSimplifiedButton, l.langTraditionalButton, l.langEnglishButton};
    for (int k = 0; k < 3; ++k) button(pills[k], pillRects[k], true, language == k ? STATE_SYSTEM_CHECKED : 0);
    button(muted ? b.unmute : b.mute, l.musicButton, true);
    return out;
}

// Every child against what is wanted; places are the layout's rectangles at the scale from the
// client's corner on the screen, to a pixel.
void expectScreen(const std::vector<Seen>& seen, const std::vector<Want>& want, float scale, HWND hwnd,
                  const std::string& where) {
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    std::vector<std::wstring> said, wantSaid;
    for (const Seen& s : seen) said.push_back(s.said);
    for (const Want& w : want) wantSaid.push_back(w.said);
    ASSERT_EQ(said, wantSaid) << where;
    for (size_t i = 0; i < want.size(); ++i) {
        const LayoutRect& r = want[i].rect;
        const double edges[4] = {origin.x + r.left * scale, origin.y + r.top * scale, origin.x + r.right() * scale,
                                 origin.y + r.bottom() * scale};
        const LONG got[4] = {seen[i].at.left, seen[i].at.top, seen[i].at.right, seen[i].at.bottom};
        for (int e = 0; e < 4; ++e) EXPECT_NEAR(got[e], edges[e], 1.0) << where << ", child " << i + 1 << ", edge " << e;
    }
}

// Asks oleacc what is at each child's centre: the answer must be that child.
void expectFoundAtTheirCentres(const std::vector<Seen>& seen) {
    for (size_t i = 0; i < seen.size(); ++i) {
        Accessible found;
        VARIANT at{};
        ASSERT_EQ(AccessibleObjectFromPoint(centre(seen[i].at), found.out(), &at), S_OK) << i;
        EXPECT_EQ(at.vt == VT_I4 ? at.lVal : -1, LONG(i + 1)) << testing::PrintToString(seen[i].said);
    }
}

// A visible top-level window of the process, waited for.
HWND windowOf(DWORD process, const wchar_t* className) {
    HWND found = nullptr;
    pumpUntil([&] {
        for (HWND w = FindWindowExW(nullptr, nullptr, className, nullptr); w && !found;
             w = FindWindowExW(nullptr, w, className, nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == process && IsWindowVisible(w)) found = w;
        }
        return found != nullptr;
    }, 30000);
    return found;
}

// The installer under test (LUMIVEX_EXE) copied into a folder and started from there.
class Started {
public:
    Started(const ScratchFolder& folder, const std::wstring& arguments) {
        std::wstring exe = L"Z:" + environmentVariable(L"LUMIVEX_EXE"), copy = folder / L"LumivexPatchInstaller.exe";
        std::replace(exe.begin(), exe.end(), L'/', L'\\');
        CopyFileW(exe.c_str(), copy.c_str(), FALSE);
        std::wstring line = L"\"" + copy + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        if (!CreateProcessW(copy.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.path().c_str(),
                            &startup, &started))
            return;
        ThreadHandle thread(started.hThread);
        process_.reset(started.hProcess);
        id_ = started.dwProcessId;
    }
    ~Started() {
        if (WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) TerminateProcess(process_.get(), 99);
    }
    HWND window(const wchar_t* className) const { return windowOf(id_, className); }
    DWORD exitCode() const {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(process_.get(), 15000) == WAIT_OBJECT_0) GetExitCodeProcess(process_.get(), &code);
        return code;
    }

private:
    ThreadHandle process_;  // a process handle closes as a thread's does
    DWORD id_ = 0;
};

// The DPI of the programs started while it lives (Wine reads it at a program's start); then back
// to Wine's default 96, which the other tests of this prefix expect.
struct StartingDpi {
    explicit StartingDpi(DWORD dpi) { set(dpi); }
    ~StartingDpi() { set(96); }
    static void set(DWORD dpi) {
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi, sizeof dpi);
    }
};

std::vector<Want> languageWindowWanted() {
    std::vector<Want> want = {{describe(ROLE_SYSTEM_STATICTEXT, STATE_SYSTEM_READONLY, L"Language Select", L"", false),
                               languageHeadingRect(650)}};
    for (int k = 0; k < 3; ++k)
        want.push_back({describe(ROLE_SYSTEM_PUSHBUTTON, 0, languageLabels[k], L"", true), languageButtonRect(k)});
    return want;
}

// Whether the screen shows about (r, g, b) at a point of the window's client area.
bool screenShows(HWND hwnd, int x, int y, int r, int g, int b) {
    POINT at{x, y};
    ClientToScreen(hwnd, &at);
    const HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, at.x, at.y);
    ReleaseDC(nullptr, screen);
    return std::abs(GetRValue(c) - r) <= 3 && std::abs(GetGValue(c) - g) <= 3 && std::abs(GetBValue(c) - b) <= 3;
}

// A game folder below the folder, given to the installer as --dest. Other tests may leave Steam
// worlds in the prefix: a detection pass here finds what the installer will find besides it
// (" two" when the screen counts the folders). The --dest folder comes first, picked by hand.
std::string gameFolderFor(const ScratchFolder& folder, std::wstring& game, Facts& facts) {
    game = folder / L"lib\\steamapps\\common\\Lumivex Orrendale\\game";
    makeFolders(game);
    writeFile(game + L"\\archive.rpa", "RPA-3.0");
    MainWindow probe;
    probe.appFolder = folder.path();
    probe.destOverride = game;
    detectGameFolders(probe);
    facts.folder = game;
    facts.folders = probe.candidates.size();
    return facts.folders > 1 ? " two" : "";
}

}  // namespace

// Start-up at high DPIs (96 DPI: the next test). Without --lang at 192 DPI the language window is
// twice its design size, with every element and its drawing twice as far from the corner, and
// Escape ends the program with 0. With --lang en at 144 DPI the installer window takes the screen's
// height less the margin; its elements follow the scale.
TEST(RealInstaller, StartsAtEachDpi) {
    ScratchFolder folder(L"dpi");
    {
        const StartingDpi dpi(192);
        const Started installer(folder, L"");
        HWND chooser = installer.window(kLanguageWindowClass);
        RECT client{};
        GetClientRect(chooser, &client);
        EXPECT_EQ(client.right * 10000 + client.bottom, 1300 * 10000 + 560);
        expectScreen(readAll(clientOf(chooser).get()), languageWindowWanted(), 2.0f, chooser, "192 DPI");
        // The first button's fill at layout (52, 128) and the bare gradient between the first two.
        EXPECT_TRUE(pumpUntil([&] { return screenShows(chooser, 104, 256, 253, 252, 252); }, 3000));
        EXPECT_TRUE(screenShows(chooser, 454, 332, 252, 243, 248));
        PostMessageW(chooser, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_EQ(installer.exitCode(), 0u);
    }
    std::wstring game;
    Facts facts{L"", L"", 0};
    const std::string two = gameFolderFor(folder, game, facts);
    const StartingDpi setting(144);
    const Started installer(folder, L"--lang en --dest \"" + game + L"\"");
    HWND main = installer.window(kMainWindowClass);
    RECT client{}, outer{};
    GetClientRect(main, &client);
    GetWindowRect(main, &outer);
    // 1740 x 1050 does not fit the height: 1080 less the 36-pixel margin, centred.
    EXPECT_EQ(client.right, 1740);
    EXPECT_EQ(outer.bottom - outer.top, 1044);
    EXPECT_EQ(outer.top, 18);
    const float scale = scaleFor(float(client.right), float(client.bottom), 144);
    expectScreen(readAll(clientOf(main).get()),
                 wanted("missing manual" + two + " folders install-", 2,
                        computeLayout(client.right / scale, client.bottom / scale, Ready), facts),
                 scale, main, "144 DPI");
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(installer.exitCode(), 0u);
}

TEST(RealInstaller, ReadAndPressedInEveryStateAndLanguage) {
    ScratchFolder folder(L"reader");
    std::wstring game;
    Facts facts{L"", L"", 100};
    const std::string two = gameFolderFor(folder, game, facts);
    const Started installer(folder, L"--dest \"" + game + L"\"");
    auto press = [](IAccessible* object, const std::wstring& name) {
        const LONG id = childNamed(object, name);
        EXPECT_TRUE(id != 0 && object->accDoDefaultAction(child(id)) == S_OK) << testing::PrintToString(name);
    };
    auto shows = [](IAccessible* object, const std::wstring& name) {
        return pumpUntil([&] { return childNamed(object, name) != 0; }, 30000);
    };

    // The language window: the heading and three buttons, each found at its centre; a default
    // action picks the language as a click does, and the window's object then fails cleanly.
    HWND chooser = installer.window(kLanguageWindowClass);
    Accessible languages = clientOf(chooser);
    ASSERT_TRUE(languages);
    RECT box{};  // at 96 DPI the design size, in a frame with a caption and only the close box
    GetClientRect(chooser, &box);
    EXPECT_EQ(box.right * 10000 + box.bottom, 650 * 10000 + 280);
    const LONG frame = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    EXPECT_EQ(GetWindowLongW(chooser, GWL_STYLE) & frame, WS_CAPTION | WS_SYSMENU);
    expectScreen(readAll(languages.get()), languageWindowWanted(), 1.0f, chooser, "language window");
    expectFoundAtTheirCentres(readAll(languages.get()));
    press(languages.get(), L"English");
    HWND main = installer.window(kMainWindowClass);
    Accessible screen = clientOf(main);
    ASSERT_TRUE(screen);
    LONG count = 0;
    EXPECT_TRUE(FAILED(languages->get_accChildCount(&count)));

    // At 96 DPI the window takes its design size, centred on the 1920 x 1080 screen.
    RECT client{}, outer{};
    GetClientRect(main, &client);
    GetWindowRect(main, &outer);
    EXPECT_EQ(client.right * 10000 + client.bottom, 1160 * 10000 + 700);
    EXPECT_NEAR(outer.left + outer.right, 1920, 1);
    EXPECT_NEAR(outer.top + outer.bottom, 1080, 1);

    // Each screen in the three languages, switched with the pills' default actions; the client
    // itself is named like the window.
    const float scale = scaleFor(float(client.right), float(client.bottom), 96);
    auto everyLanguage = [&](InstallerState state, const std::string& words) {
        for (LanguageId language : {0, 1, 2}) {
            press(screen.get(), language == 0 ? L"简中" : language == 1 ? L"繁中" : L"EN");
            ASSERT_TRUE(shows(screen.get(), textsFor(language)[TextSlot::subtitle]));
            BSTR title = nullptr;
            EXPECT_EQ(screen->get_accName(child(CHILDID_SELF), &title), S_OK);
            EXPECT_EQ(take(title), textsFor(language)[TextSlot::windowTitle]);
            const MainLayout layout = computeLayout(client.right / scale, client.bottom / scale, state);
            expectScreen(readAll(screen.get()), wanted(words, language, layout, facts), scale, main,
                         words + " in " + std::to_string(language));
        }
    };
    everyLanguage(Ready, "missing manual" + two + " folders install-");

    // The patch appears and "Detect again" finds it; every child is found at its centre.
    ASSERT_TRUE(writeFile(folder / L"patch.rpa", std::string(1536, 'p')));
    press(screen.get(), textsFor(2)[TextSlot::detectAgain]);
    ASSERT_TRUE(shows(screen.get(), textsFor(2)[TextSlot::patchFound]));
    everyLanguage(Ready, "found manual" + two + " folders ready install");
    expectFoundAtTheirCentres(readAll(screen.get()));

    // The main button's default action starts the copy, as a click does.
    press(screen.get(), textsFor(2)[TextSlot::installPatch]);
    ASSERT_TRUE(shows(screen.get(), textsFor(2)[TextSlot::launchGame]));
    EXPECT_EQ(readFile(game + L"\\patch.rpa"), std::string(1536, 'p'));
    everyLanguage(Complete, "found manual" + two + " folders done bar launch");

    // A failure: the game holds the patch open; the warning is answered and the line stays.
    FileHandle held(CreateFileW((game + L"\\patch.rpa").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    press(screen.get(), textsFor(2)[TextSlot::detectAgain]);
    ASSERT_TRUE(shows(screen.get(), textsFor(2)[TextSlot::patchWillOverwrite]));
    press(screen.get(), textsFor(2)[TextSlot::installPatch]);
    PostMessageW(GetDlgItem(installer.window(L"#32770"), IDOK), BM_CLICK, 0, 0);
    facts.failure = std::wstring(textsFor(2)[TextSlot::patchInUse]) + L" " + systemErrorText(ERROR_SHARING_VIOLATION);
    ASSERT_TRUE(shows(screen.get(), facts.failure));
    held.reset();
    everyLanguage(Failed, "found manual" + two + " folders failed install");

    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(installer.exitCode(), 0u);
}

// The screens of the paint test (kScenes, which also finds each text's ink where it is said to be;
// among them the states a copy reaches only where it can be slowed down or cancelled), with muted
// music, read from a real window; buttons are checked against the window's own hit test (the
// pointer lights exactly that one up).
TEST(Accessible, EveryStateInEveryLanguage) {
    static MusicPlayer mutedPlayer;  // on the first screen: the music button offers to unmute
    mutedPlayer.muted = 1;
    const char* const words[7] = {
        "missing nofolder folders install- muted", "found steam two folders ready install",
        "found manual folders overwrite install", "found steam two- folders- ready bar cancel",
        "found steam folders done bar launch", "found steam folders cancelled install", "found steam folders failed install"};
    for (int k = 0; k < 7; ++k) {
        for (LanguageId language : {0, 1, 2}) {
            const std::wstring name = kScenes[k].name;
            const std::string where = std::string(name.begin(), name.end()) + " in " + std::to_string(language);
            // One language on a bigger client, where the card is centred and its rows spread out.
            const int width = language == 1 ? 1160 : 920, height = language == 1 ? 700 : 620;
            LiveWindow live(language, false, width, height);
            kScenes[k].setUp(live.record);
            live.record.patchSize = 1536;
            if (k == 0) live.record.music = &mutedPlayer;
            const Accessible screen = clientOf(live.hwnd);
            const std::vector<Seen> seen = readAll(screen.get());
            const Facts facts{live.record.candidates.empty() ? L"" : live.record.candidates[0].folder,
                              live.record.statusMessage, live.record.state == Complete ? 100 : 50,
                              live.record.candidates.size()};
            expectScreen(seen, wanted(words[k], language, computeLayout(width, height, live.record.state), facts), 1.0f,
                         live.hwnd, where);
            POINT origin{0, 0};
            ClientToScreen(live.hwnd, &origin);
            for (size_t i = 0; i < seen.size(); ++i) {
                const RECT r{seen[i].at.left - origin.x, seen[i].at.top - origin.y, seen[i].at.right - origin.x,
                             seen[i].at.bottom - origin.y};
                if (seen[i].said.rfind(std::to_wstring(ROLE_SYSTEM_PUSHBUTTON) + L" ", 0) != 0) continue;
                const bool acts = seen[i].said.find(L" acts") != std::wstring::npos;
                live.send(WM_MOUSEMOVE, 0, MAKELPARAM(centre(r).x, centre(r).y));
                for (size_t j = 0; j < seen.size(); ++j)
                    EXPECT_EQ(readChild(screen.get(), LONG(j + 1)).hot, acts && i == j) << where << ", " << i;
            }
            live.record.music = nullptr;
        }
    }
}

// Progress is told at most a few times a second: a change that is not due yet is kept back and
// told by a later announcement.
TEST(Accessible, ProgressWaitsItsTurn) {
    MainWindow record;
    record.state = Installing;
    record.progressPerMille = 100;
    const ScreenItems at10 = mainScreenItems(record, 920, 620, 96);
    record.progressPerMille = 200;
    const ScreenItems at20 = mainScreenItems(record, 920, 620, 96);
    const Announcement early = announceChanges(at10, at20, false), due = announceChanges(early.told, at20, true);
    EXPECT_TRUE(early.events.empty());
    ASSERT_EQ(due.events.size(), 1u);
    EXPECT_EQ(due.events[0].event, EVENT_OBJECT_VALUECHANGE);
    EXPECT_EQ(at20[due.events[0].child - 1].value, L"20%");
}

namespace {

struct Heard {
    DWORD event;
    HWND hwnd;
    LONG object, child;
};
std::vector<Heard> heard;
std::vector<std::pair<bool, ULONGLONG>> taskbarCalls;  // (a state call, the state or the per-mille)
int taskbarSinks = 0;

class RecordingSink final : public TaskbarSink {
public:
    RecordingSink() { ++taskbarSinks; }
    ~RecordingSink() override { --taskbarSinks; }
    void setState(HWND, TBPFLAG state) override { taskbarCalls.emplace_back(true, state); }
    void setValue(HWND, ULONGLONG done, ULONGLONG total) override { taskbarCalls.emplace_back(false, done * 1000 / total); }
};

void CALLBACK listen(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
    heard.push_back({event, hwnd, object, child});
}

// Waits for an event on the window's client whose child then reads `expected` (its name, or its value).
bool hearOf(HWND hwnd, DWORD event, const std::wstring& expected, bool value = false) {
    return pumpUntil([&] {
        for (const Heard& e : heard) {
            BSTR text = nullptr;
            const Accessible screen = clientOf(hwnd);
            if (e.event == event && e.hwnd == hwnd && e.object == OBJID_CLIENT &&
                (value ? screen->get_accValue(child(e.child), &text) : screen->get_accName(child(e.child), &text)) == S_OK &&
                take(text) == expected)
                return true;
        }
        return false;
    }, 5000);
}

}  // namespace

// Readers hear of a language switch, a new selection, the music button's new name, progress and
// how each copy ended; the taskbar button follows the copies once the shell has made it. Both go
// with the window: the taskbar's interface is released and the accessible object fails cleanly.
TEST(Accessible, ReadersAndTheTaskbarFollowTheCopy) {
    setTaskbarSinkFactory([]() -> std::unique_ptr<TaskbarSink> { return std::make_unique<RecordingSink>(); });
    const HWINEVENTHOOK hook =
        SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, &listen, GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    Accessible kept;
    {
        LiveWindow live(2, true);
        kept = clientOf(live.hwnd);
        live.record.patchPresent = true;
        addCandidates(live.record, 2);
        const MainLayout layout = computeLayout(920, 620, Ready);
        live.clickAt(layout.langSimplifiedButton.left + 5, layout.langSimplifiedButton.top + 5);
        EXPECT_TRUE(hearOf(live.hwnd, EVENT_OBJECT_NAMECHANGE, textsFor(0)[TextSlot::subtitle]));
        EXPECT_TRUE(hearOf(live.hwnd, EVENT_OBJECT_STATECHANGE, L"简中"));  // now the checked one
        live.clickAt(layout.nextButton.left + 5, layout.nextButton.top + 5);
        EXPECT_TRUE(hearOf(live.hwnd, EVENT_OBJECT_NAMECHANGE, live.record.candidates[1].folder));
        MusicPlayer player;
        live.record.music = &player;
        live.clickAt(layout.musicButton.left + 5, layout.musicButton.top + 5);
        EXPECT_EQ(player.muted, 1);
        EXPECT_TRUE(hearOf(live.hwnd, EVENT_OBJECT_NAMECHANGE, buttonWordsFor(0).unmute));
        live.record.music = nullptr;

        BoxWatcher boxes(IDOK);
        auto copy = [&](std::initializer_list<WPARAM> steps, void (*result)(InstallJob&)) {
            heard.clear();
            live.record.state = Installing;
            live.record.copyJob = std::make_unique<InstallJob>();
            live.validate();
            for (WPARAM step : steps) live.send(WM_APP_COPY_PROGRESS, step);
            EXPECT_EQ(live.record.progressPerMille, int(*(steps.end() - 1)));
            EXPECT_TRUE(live.invalidated());
            result(*live.record.copyJob);
            PostMessageW(live.hwnd, WM_APP_COPY_DONE, 0, 0);  // as the worker does it
            EXPECT_TRUE(pumpUntil([&] { return live.record.copyJob == nullptr; }, 5000));  // joined and freed
        };
        copy({100}, [](InstallJob& job) { job.succeeded = 1; });
        EXPECT_TRUE(hearOf(live.hwnd, EVENT_OBJECT_VALUECHANGE, L"100%", true));  // the first value told
        EXPECT_TRUE(hearOf(live.hwnd, EVENT_SYSTEM_ALERT,
                           textsFor(0)[TextSlot::installComplete] + std::wstring(L" \u00B7 ") + textsFor(0)[TextSlot::canStartGame]));
        EXPECT_EQ(live.record.progressPerMille, 1000);
        EXPECT_TRUE(taskbarCalls.empty());  // no button yet
        live.send(taskbarButtonCreatedMessage());
        EXPECT_EQ(taskbarSinks, 1);
        copy({500, 600, 700}, [](InstallJob& job) { job.succeeded = 1; });
        // Four quick value changes (the last to 100%): told at most four times a second, not each.
        EXPECT_LE(std::count_if(heard.begin(), heard.end(),
                                [](const Heard& e) { return e.event == EVENT_OBJECT_VALUECHANGE; }), 2);
        copy({300}, [](InstallJob& job) { job.cancelled = 1; });
        EXPECT_TRUE(hearOf(live.hwnd, EVENT_SYSTEM_ALERT, textsFor(0)[TextSlot::installCancelled]));
        live.send(WM_APP_COPY_DONE);  // a second end message finds no job and changes nothing
        EXPECT_EQ(live.record.state, Cancelled);
        copy({700}, [](InstallJob& job) { job.errorCode = ERROR_DISK_FULL; });
        EXPECT_TRUE(hearOf(live.hwnd, EVENT_SYSTEM_ALERT,
                           textsFor(0)[TextSlot::copyFailed] + std::wstring(L": ") + systemErrorText(ERROR_DISK_FULL)));
        live.send(WM_KEYDOWN, VK_F5);  // the next action
        const std::vector<std::pair<bool, ULONGLONG>> expected = {
            {true, TBPF_NORMAL}, {false, 500}, {false, 600}, {false, 700}, {true, TBPF_NOPROGRESS},
            {true, TBPF_NORMAL}, {false, 300}, {true, TBPF_NOPROGRESS},
            {true, TBPF_NORMAL}, {false, 700}, {true, TBPF_ERROR}, {false, 1000}, {true, TBPF_NOPROGRESS}};
        EXPECT_EQ(taskbarCalls, expected);
    }
    EXPECT_EQ(taskbarSinks, 0);
    UnhookWinEvent(hook);
    LONG count = 0;
    BSTR text = nullptr;
    EXPECT_EQ(kept->get_accChildCount(&count), CO_E_OBJNOTCONNECTED);  // the record is freed too
    EXPECT_EQ(kept->get_accName(child(1), &text), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(kept->accDoDefaultAction(child(1)), CO_E_OBJNOTCONNECTED);
    // Where the shell has no taskbar interface nothing is shown and nothing fails.
    setTaskbarSinkFactory([]() -> std::unique_ptr<TaskbarSink> { return nullptr; });
    {
        LiveWindow live(2);
        live.send(taskbarButtonCreatedMessage());
        live.record.state = Installing;
        live.send(WM_APP_COPY_PROGRESS, 10);
    }
    setTaskbarSinkFactory(nullptr);
}
