// What a screen reader finds. The real installer (LUMIVEX_EXE) is read from this process through
// oleacc in every state a real copy reaches under Wine and in every language; a real main window
// in this process adds the states Wine's copy cannot reach (running, cancelled), the WinEvents, the
// object outliving its window and the taskbar calls (Wine's taskbar shows no progress).
#include <gtest/gtest.h>

#include <oleacc.h>

#include <algorithm>
#include <memory>
#include <sstream>

#include "app/language_window.h"
#include "audio/music.h"
#include "install/copy_worker.h"
#include "install/error_text.h"
#include "test_support.h"
#include "ui/layout.h"
#include "ui/paint.h"
#include "ui/screen_items.h"
#include "ui/window_extras.h"
#include "ui_test_support.h"

using namespace testing_support;
using ui_testing::LiveWindow;

namespace {

class ComEnvironment : public ::testing::Environment {
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), gdiplus = std::make_unique<ui_testing::GdiplusSession>(); }
    void TearDown() override { gdiplus.reset(), CoUninitialize(); }
    std::unique_ptr<ui_testing::GdiplusSession> gdiplus;
};
::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new ComEnvironment);

struct Released {
    void operator()(IUnknown* object) const { object->Release(); }
};
using Accessible = std::unique_ptr<IAccessible, Released>;

Accessible clientOf(HWND hwnd) {
    IAccessible* object = nullptr;
    AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&object));
    return Accessible(object);
}

VARIANT child(LONG id) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

std::wstring take(BSTR text) {
    std::wstring s = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
    SysFreeString(text);
    return s;
}

// One child as a reader sees it; HOTTRACKED is left out of `state` and kept in `hot`.
struct Seen {
    LONG role = 0, state = 0;
    bool hot = false;
    std::wstring name, value, action;
    RECT at{};
};

Seen readChild(IAccessible* object, LONG id) {
    Seen s;
    BSTR text = nullptr;
    VARIANT out;
    if (object->get_accName(child(id), &text) == S_OK) s.name = take(text);
    if (object->get_accValue(child(id), &text) == S_OK) s.value = take(text);
    if (object->get_accDefaultAction(child(id), &text) == S_OK) s.action = take(text);
    if (object->get_accRole(child(id), &out) == S_OK) s.role = out.lVal;
    if (object->get_accState(child(id), &out) == S_OK) s.state = out.lVal & ~STATE_SYSTEM_HOTTRACKED;
    s.hot = (out.lVal & STATE_SYSTEM_HOTTRACKED) != 0;
    LONG x = 0, y = 0, w = 0, h = 0;
    object->accLocation(&x, &y, &w, &h, child(id));
    s.at = RECT{x, y, x + w, y + h};
    return s;
}

std::vector<Seen> readAll(IAccessible* object) {
    LONG count = 0;
    std::vector<Seen> all;
    if (object && object->get_accChildCount(&count) == S_OK)
        for (LONG id = 1; id <= count; ++id) all.push_back(readChild(object, id));
    return all;
}

// --- what a reader must find ---------------------------------------------------------------------

struct Want {
    LONG role;
    std::wstring name;
    LayoutRect rect;
    LONG state;
    std::wstring value;
};

// The parts of a screen that are not fixed texts.
struct Facts {
    std::wstring size, folder, counter, failure;
    int percent = 0;
};

// The children of a main screen in reading order, from one word per element between the titles
// and the footer; a button word ending in '-' names a button that does not react.
std::vector<Want> wanted(const std::string& words, LanguageId language, const MainLayout& l, const Facts& facts) {
    const LocalizedText& t = textsFor(language);
    const ButtonWords& b = buttonWordsFor(language);
    std::vector<Want> out;
    auto text = [&](const std::wstring& name, const LayoutRect& r) {
        out.push_back({ROLE_SYSTEM_STATICTEXT, name, r, STATE_SYSTEM_READONLY, L""});
    };
    auto button = [&](const std::wstring& name, const LayoutRect& r, bool reacts, LONG more = 0) {
        out.push_back({ROLE_SYSTEM_PUSHBUTTON, name, r, (reacts ? 0 : STATE_SYSTEM_UNAVAILABLE) | more, L""});
    };
    bool muted = false;
    std::istringstream in("subtitle title " + words + " footer");
    for (std::string w; in >> w;) {
        const bool on = w.back() != '-';
        if (!on) w.pop_back();
        if (w == "subtitle") text(t[subtitle], l.subtitleLine);
        else if (w == "title") text(t[gameTitle], l.titleLine);
        else if (w == "found") text(t[patchFound], l.patchLine);
        else if (w == "missing") text(t[patchNotFound], l.patchLine);
        else if (w == "size") text(facts.size, l.patchDetailLine);
        else if (w == "hint") text(t[patchPlaceHint], l.patchDetailLine), button(t[openAppFolder], l.openAppFolderButton, on);
        else if (w == "label") text(t[installLocation], l.locationLabel);
        else if (w == "steam") text(t[steamDetected], l.sourceLine), text(facts.folder, l.folderLine);
        else if (w == "manual") text(t[manualFolder], l.sourceLine), text(facts.folder, l.folderLine);
        else if (w == "nofolder") text(t[noGameFolder], l.sourceLine);
        else if (w == "counter") text(t[detectedLocations] + facts.counter, l.counterLine);
        else if (w == "arrows") button(b.previous, l.prevButton, on), button(b.next, l.nextButton, on);
        else if (w == "folders") button(t[chooseFolder], l.chooseFolderButton, on), button(t[detectAgain], l.detectAgainButton, on);
        else if (w == "ready") text(t[readyToInstall], l.statusLine);
        else if (w == "overwrite") text(t[patchWillOverwrite], l.statusLine);
        else if (w == "done") text(t[installComplete] + std::wstring(L" \u00B7 ") + t[canStartGame], l.statusLine);
        else if (w == "cancelled") text(t[installCancelled], l.statusLine);
        else if (w == "failed") text(facts.failure, l.statusLine);
        else if (w == "bar") out.push_back({ROLE_SYSTEM_PROGRESSBAR, t[installing], l.progressBar, STATE_SYSTEM_READONLY, std::to_wstring(facts.percent) + L"%"});
        else if (w == "install") button(t[installPatch], l.primaryButton, on);
        else if (w == "cancel") button(t[cancelInstall], l.primaryButton, on);
        else if (w == "launch") button(t[launchGame], l.primaryButton, on), button(t[closeInstaller], l.closeButton, on);
        else if (w == "footer") text(t[steamAppIdLabel] + std::wstring(L"  2468020   \u00B7   v1.0.0"), l.footerLine);
        else if (w == "muted") muted = true;
        else ADD_FAILURE() << "unknown word " << w;
    }
    const wchar_t* const pills[3] = {L"简中", L"繁中", L"EN"};
    const LayoutRect pillRects[3] = {l.langSimplifiedButton, l.langTraditionalButton, l.langEnglishButton};
    for (int k = 0; k < 3; ++k) button(pills[k], pillRects[k], true, language == k ? STATE_SYSTEM_CHECKED : 0);
    button(muted ? b.unmute : b.mute, l.musicButton, true);
    return out;
}

// Compares every child; places are the layout's rectangles in pixels (scale) from the client's
// top-left corner on the screen, to a pixel.
void expectScreen(const std::vector<Seen>& seen, const std::vector<Want>& want, float scale, POINT origin,
                  const std::string& where) {
    std::wstring names;
    for (const Seen& s : seen) names += L"[" + s.name + L"] ";
    ASSERT_EQ(seen.size(), want.size()) << where << ": " << testing::PrintToString(names);
    for (size_t i = 0; i < want.size(); ++i) {
        const Seen& s = seen[i];
        const Want& w = want[i];
        const std::string at = where + ", child " + std::to_string(i + 1);
        EXPECT_EQ(s.role, w.role) << at;
        EXPECT_EQ(s.name, w.name) << at;
        EXPECT_EQ(s.state, w.state) << at;
        EXPECT_EQ(s.value, w.value) << at;
        EXPECT_EQ(s.action.empty(), w.role != ROLE_SYSTEM_PUSHBUTTON || (w.state & STATE_SYSTEM_UNAVAILABLE)) << at;
        const double edges[4] = {origin.x + w.rect.left * scale, origin.y + w.rect.top * scale,
                                 origin.x + w.rect.right() * scale, origin.y + w.rect.bottom() * scale};
        const LONG got[4] = {s.at.left, s.at.top, s.at.right, s.at.bottom};
        for (int e = 0; e < 4; ++e) EXPECT_NEAR(got[e], edges[e], 1.0) << at << ", edge " << e;
    }
}

POINT clientOrigin(HWND hwnd) {
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    return origin;
}

POINT centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

// --- the real installer ---------------------------------------------------------------------------

// The installer under test copied into a scratch folder and started from there with arguments.
class RealInstaller {
public:
    RealInstaller(const ScratchFolder& folder, const std::wstring& arguments) {
        std::wstring exe = L"Z:" + environmentVariable(L"LUMIVEX_EXE");
        for (wchar_t& c : exe) c = c == L'/' ? L'\\' : c;
        const std::wstring copy = folder / L"LumivexPatchInstaller.exe";
        CopyFileW(exe.c_str(), copy.c_str(), FALSE);
        std::wstring line = L"\"" + copy + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (CreateProcessW(copy.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.path().c_str(),
                           &startup, &process_)) CloseHandle(process_.hThread);
    }
    ~RealInstaller() {
        if (!process_.hProcess) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            EnumWindows([](HWND hwnd, LPARAM pid) {
                DWORD owner = 0;
                GetWindowThreadProcessId(hwnd, &owner);
                if (owner == static_cast<DWORD>(pid)) PostMessageW(hwnd, WM_CLOSE, 0, 0);
                return TRUE;
            }, process_.dwProcessId);
            if (WaitForSingleObject(process_.hProcess, 15000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 99);
        }
        CloseHandle(process_.hProcess);
    }
    // A visible top-level window of this process, waited for.
    HWND window(const wchar_t* className) const {
        HWND found = nullptr;
        pumpUntil([&] {
            for (HWND w = FindWindowExW(nullptr, nullptr, className, nullptr); w && !found;
                 w = FindWindowExW(nullptr, w, className, nullptr)) {
                DWORD owner = 0;
                GetWindowThreadProcessId(w, &owner);
                if (owner == process_.dwProcessId && IsWindowVisible(w)) found = w;
            }
            return found != nullptr;
        }, 30000);
        return found;
    }
    DWORD exitCode(DWORD timeoutMs) const {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION process_{};
};

// The child a reader finds by name, 0 when there is none.
LONG childNamed(IAccessible* object, const std::wstring& name) {
    const std::vector<Seen> all = readAll(object);
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].name == name) return static_cast<LONG>(i + 1);
    return 0;
}

// Presses a button by its name through its default action, as a reader does.
void press(IAccessible* object, const std::wstring& name) {
    const LONG id = childNamed(object, name);
    ASSERT_NE(id, 0) << testing::PrintToString(name);
    EXPECT_EQ(object->accDoDefaultAction(child(id)), S_OK);
}

bool waitForChild(IAccessible* object, const std::wstring& name) {
    return pumpUntil([&] { return childNamed(object, name) != 0; }, 30000);
}

}  // namespace

TEST(RealInstaller, LanguageWindowThenEveryStateInEveryLanguage) {
    ScratchFolder folder(L"a11y");
    const std::wstring game = folder / L"lib\\steamapps\\common\\Lumivex Orrendale\\game";
    ASSERT_TRUE(makeFolders(game) && writeFile(game + L"\\archive.rpa", "RPA-3.0"));
    RealInstaller installer(folder, L"--dest \"" + game + L"\"");

    // The language window: its heading and three buttons, each found at its centre.
    HWND chooser = installer.window(kLanguageWindowClass);
    ASSERT_TRUE(chooser);
    Accessible languages = clientOf(chooser);
    ASSERT_TRUE(languages);
    const std::vector<Seen> seen = readAll(languages.get());
    ASSERT_EQ(seen.size(), 4u);
    const POINT origin = clientOrigin(chooser);
    std::vector<Want> want = {{ROLE_SYSTEM_STATICTEXT, L"Language Select", languageHeadingRect(650), STATE_SYSTEM_READONLY, L""}};
    for (int k = 0; k < 3; ++k) want.push_back({ROLE_SYSTEM_PUSHBUTTON, languageLabels[k], languageButtonRect(k), 0, L""});
    expectScreen(seen, want, 1.0f, origin, "language window");
    for (LONG id = 1; id <= 4; ++id) {
        IAccessible* found = nullptr;
        VARIANT at;
        VariantInit(&at);
        ASSERT_EQ(AccessibleObjectFromPoint(centre(seen[id - 1].at), &found, &at), S_OK) << id;
        Accessible hold(found);
        EXPECT_EQ(at.vt == VT_I4 ? at.lVal : -1, id);
    }
    // Its default action picks the language as a click does; the window's object then fails cleanly.
    press(languages.get(), L"English");
    HWND main = installer.window(kMainWindowClass);
    ASSERT_TRUE(main);
    LONG count = 0;
    EXPECT_TRUE(FAILED(languages->get_accChildCount(&count)));

    Accessible screen = clientOf(main);
    ASSERT_TRUE(screen);
    RECT client{};
    GetClientRect(main, &client);
    const float scale = scaleFor(float(client.right), float(client.bottom), 96);
    Facts facts{L"1.50 KB", game, L"", L"", 100};
    // Every screen is read in the three languages, switched with the pills' default actions.
    auto everyLanguage = [&](InstallerState state, const std::string& words, const char* what) {
        for (LanguageId language : {0, 1, 2}) {
            press(screen.get(), language == 0 ? L"简中" : language == 1 ? L"繁中" : L"EN");
            ASSERT_TRUE(pumpUntil([&] { return childNamed(screen.get(), textsFor(language)[subtitle]) != 0; }, 10000));
            expectScreen(readAll(screen.get()), wanted(words, language, computeLayout(client.right / scale, client.bottom / scale, state), facts),
                         scale, clientOrigin(main), std::string(what) + " in " + std::to_string(language));
        }
    };
    everyLanguage(Ready, "missing hint label manual folders install-", "no patch");

    // The patch appears; "Detect again" finds it.
    ASSERT_TRUE(writeFile(folder / L"patch.rpa", std::string(1536, 'p')));
    press(screen.get(), textsFor(2)[detectAgain]);
    ASSERT_TRUE(waitForChild(screen.get(), textsFor(2)[patchFound]));
    everyLanguage(Ready, "found size label manual folders ready install", "ready");
    // Every child is found at its centre; the pointer over a button lights it up: the window's own
    // hit test agrees with the places a reader is given.
    const std::vector<Seen> ready = readAll(screen.get());
    for (size_t i = 0; i < ready.size(); ++i) {
        IAccessible* found = nullptr;
        VARIANT at;
        VariantInit(&at);
        ASSERT_EQ(AccessibleObjectFromPoint(centre(ready[i].at), &found, &at), S_OK) << i;
        Accessible hold(found);
        EXPECT_EQ(at.vt == VT_I4 ? at.lVal : -1, LONG(i + 1)) << testing::PrintToString(ready[i].name);
        if (ready[i].role != ROLE_SYSTEM_PUSHBUTTON) continue;
        SetCursorPos(centre(ready[i].at).x, centre(ready[i].at).y);
        EXPECT_TRUE(pumpUntil([&] { return readChild(screen.get(), LONG(i + 1)).hot; }, 5000))
            << testing::PrintToString(ready[i].name);
    }
    SetCursorPos(0, 0);

    // The main button's default action starts the copy, as a click does.
    press(screen.get(), textsFor(2)[installPatch]);
    ASSERT_TRUE(waitForChild(screen.get(), textsFor(2)[launchGame]));
    EXPECT_EQ(readFile(game + L"\\patch.rpa"), std::string(1536, 'p'));
    everyLanguage(Complete, "found size label manual folders done bar launch", "complete");

    // A failure: the game holds the patch open. The warning is answered, the line stays.
    HANDLE held = CreateFileW((game + L"\\patch.rpa").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    press(screen.get(), textsFor(2)[detectAgain]);
    ASSERT_TRUE(waitForChild(screen.get(), textsFor(2)[patchWillOverwrite]));
    press(screen.get(), textsFor(2)[installPatch]);
    HWND box = installer.window(L"#32770");
    ASSERT_TRUE(box);
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    facts.failure = std::wstring(textsFor(2)[patchInUse]) + L" " + systemErrorText(ERROR_SHARING_VIOLATION);
    ASSERT_TRUE(waitForChild(screen.get(), facts.failure));
    CloseHandle(held);
    everyLanguage(Failed, "found size label manual folders failed install", "failed");

    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(installer.exitCode(15000), 0u);
}

// --- a real window in this process -------------------------------------------------------------------

namespace {

void addCandidates(MainWindow& record, int count) {
    for (int i = 0; i < count; ++i)
        record.candidates.push_back(GameCandidate{L"D:\\SteamLibrary\\steamapps\\common\\Lumivex Orrendale\\game" + std::to_wstring(i), 0, 0, 0});
}

void withPatch(MainWindow& record, int candidates) {
    record.patchPresent = true;
    record.patchSize = 1536;
    addCandidates(record, candidates);
}

MusicPlayer mutedPlayer = [] {
    MusicPlayer player;
    player.muted = 1;
    return player;
}();

int darkPixelsIn(const ui_testing::Dib& dib, const RECT& r) {
    int count = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            const std::uint32_t p = dib.pixel(x, y);
            if ((((p >> 16) & 0xFF) * 3 + ((p >> 8) & 0xFF) * 6 + (p & 0xFF)) / 10 < 170) ++count;
        }
    return count;
}

}  // namespace

// States a copy reaches only where it can be slowed down or cancelled, and the arrows of two
// folders: read through oleacc from a real window, text places checked against the painted
// pixels and button places against the window's own hit test (the pointer lights the button up).
TEST(InProcessWindow, EveryStateInEveryLanguage) {
    const struct {
        const char* name;
        void (*setUp)(MainWindow&);
        const char* words;
    } scenes[] = {
        {"nothing, muted", [](MainWindow& r) { r.music = &mutedPlayer; }, "missing hint label nofolder folders install- muted"},
        {"two folders", [](MainWindow& r) { withPatch(r, 2); }, "found size label steam counter arrows folders ready install"},
        {"overwrite", [](MainWindow& r) { withPatch(r, 1), r.targetHasPatch = true, r.candidates[0].manual = 1; },
         "found size label manual folders overwrite install"},
        {"installing", [](MainWindow& r) { withPatch(r, 2), r.state = Installing, r.progressPerMille = 427; },
         "found size label steam counter arrows- folders- ready bar cancel"},
        {"complete", [](MainWindow& r) { withPatch(r, 1), r.state = Complete; }, "found size label steam folders done bar launch"},
        {"cancelled", [](MainWindow& r) { withPatch(r, 1), r.state = Cancelled; }, "found size label steam folders cancelled install"},
        {"failed", [](MainWindow& r) { withPatch(r, 1), r.state = Failed, r.statusMessage = L"Copy failed: disk full"; },
         "found size label steam folders failed install"},
    };
    for (const auto& scene : scenes) {
        for (LanguageId language : {0, 1, 2}) {
            const std::string where = std::string(scene.name) + " in " + std::to_string(language);
            // One language on a bigger client, where the card is centred and its rows spread out.
            const int width = language == 1 ? 1160 : 920, height = language == 1 ? 700 : 620;
            const float scale = scaleFor(float(width), float(height), 96);
            LiveWindow live(language, false, width, height);
            ASSERT_TRUE(live.hwnd);
            scene.setUp(live.record);
            Accessible screen = clientOf(live.hwnd);
            ASSERT_TRUE(screen) << where;
            const std::vector<Seen> seen = readAll(screen.get());
            const Facts facts{L"1.50 KB", live.record.candidates.empty() ? L"" : live.record.candidates[0].folder,
                              L"  1 / 2", L"Copy failed: disk full", live.record.state == Complete ? 100 : 42};
            const POINT origin = clientOrigin(live.hwnd);
            expectScreen(seen, wanted(scene.words, language, computeLayout(width / scale, height / scale, live.record.state), facts), scale,
                         origin, where);
            ui_testing::Dib dib(width, height);
            renderMainWindowAtDpi(live.record, dib.dc(), width, height, 96);
            GdiFlush();
            for (size_t i = 0; i < seen.size(); ++i) {
                const RECT inClient{seen[i].at.left - origin.x, seen[i].at.top - origin.y, seen[i].at.right - origin.x,
                                    seen[i].at.bottom - origin.y};
                if (seen[i].role == ROLE_SYSTEM_STATICTEXT) {
                    EXPECT_GT(darkPixelsIn(dib, inClient), 10) << where << ": " << testing::PrintToString(seen[i].name);
                }
                if (seen[i].role != ROLE_SYSTEM_PUSHBUTTON || seen[i].action.empty()) continue;
                live.send(WM_MOUSEMOVE, 0, MAKELPARAM(centre(inClient).x, centre(inClient).y));
                for (size_t j = 0; j < seen.size(); ++j)
                    EXPECT_EQ(readChild(screen.get(), LONG(j + 1)).hot, i == j) << where << ": " << i << " " << j;
            }
            live.record.music = nullptr;
        }
    }
}

// At 144 DPI every element sits one and a half times as far from the corner, in both windows.
TEST(InProcessWindow, PlacesFollowTheDpi) {
    MainWindow record;
    withPatch(record, 2);
    const ScreenItems pairs[2][2] = {{mainScreenItems(record, 920, 620, 96), mainScreenItems(record, 1380, 930, 144)},
                                     {languageScreenItems(-1, 650, 280, 96), languageScreenItems(-1, 975, 420, 144)}};
    for (const auto& pair : pairs) {
        ASSERT_EQ(pair[0].size(), pair[1].size());
        for (size_t i = 0; i < pair[0].size(); ++i) {
            const RECT &a = pair[0][i].bounds, &b = pair[1][i].bounds;
            EXPECT_NEAR(b.left, a.left * 1.5, 1.5) << i;
            EXPECT_NEAR(b.bottom, a.bottom * 1.5, 1.5) << i;
        }
    }
}

namespace {

struct HeardEvent {
    DWORD event;
    HWND hwnd;
    LONG object, child;
};
std::vector<HeardEvent> heard;

void CALLBACK listen(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
    heard.push_back({event, hwnd, object, child});
}

// Waits for an event of a kind on the window's client whose child then reads `expected` (its name,
// or with value = true its value).
bool hearOf(HWND hwnd, DWORD event, const std::wstring& expected, bool value = false) {
    return pumpUntil([&] {
        for (const HeardEvent& e : heard) {
            if (e.event != event || e.hwnd != hwnd || e.object != OBJID_CLIENT) continue;
            Accessible screen = clientOf(hwnd);
            BSTR text = nullptr;
            const HRESULT read = value ? screen->get_accValue(child(e.child), &text) : screen->get_accName(child(e.child), &text);
            if (read == S_OK && take(text) == expected) return true;
        }
        return false;
    }, 5000);
}

}  // namespace

TEST(InProcessWindow, ReadersHearOfChangesAndOfHowTheCopyEnded) {
    heard.clear();
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, &listen, GetCurrentProcessId(), 0,
                                         WINEVENT_OUTOFCONTEXT);
    ASSERT_TRUE(hook);
    {
        LiveWindow live(2, true);
        ASSERT_TRUE(live.hwnd);
        withPatch(live.record, 2);
        const MainLayout layout = computeLayout(920, 620, Ready);
        live.clickAt(layout.langSimplifiedButton.left + 5, layout.langSimplifiedButton.top + 5);
        EXPECT_TRUE(hearOf(live.hwnd, EVENT_OBJECT_NAMECHANGE, textsFor(0)[subtitle]));
        EXPECT_TRUE(hearOf(live.hwnd, EVENT_OBJECT_STATECHANGE, L"简中"));  // now the checked one
        live.clickAt(layout.nextButton.left + 5, layout.nextButton.top + 5);
        EXPECT_TRUE(hearOf(live.hwnd, EVENT_OBJECT_NAMECHANGE, live.record.candidates[1].folder));

        BoxWatcher boxes(IDOK);
        const struct {
            void (*result)(InstallJob&);
            std::wstring said;
        } endings[] = {
            {[](InstallJob& job) { job.succeeded = 1; }, textsFor(0)[installComplete] + std::wstring(L" \u00B7 ") + textsFor(0)[canStartGame]},
            {[](InstallJob& job) { job.cancelled = 1; }, textsFor(0)[installCancelled]},
            {[](InstallJob& job) { job.errorCode = ERROR_DISK_FULL; }, textsFor(0)[copyFailed] + std::wstring(L": ") + systemErrorText(ERROR_DISK_FULL)},
        };
        // Progress: the first change is told at once, the next ones within a quarter second are not.
        live.record.state = Installing;
        live.send(WM_APP_COPY_PROGRESS, 0);
        heard.clear();
        auto valueEvents = [] {
            return std::count_if(heard.begin(), heard.end(), [](const HeardEvent& e) { return e.event == EVENT_OBJECT_VALUECHANGE; });
        };
        for (WPARAM perMille : {500, 600, 700}) live.send(WM_APP_COPY_PROGRESS, perMille);
        const DWORD sent = GetTickCount();
        EXPECT_TRUE(hearOf(live.hwnd, EVENT_OBJECT_VALUECHANGE, L"70%", true));
        EXPECT_EQ(valueEvents(), 1);
        // The value held back is told with the first message after the quarter second.
        pumpUntil([&] { return GetTickCount() - sent > 300; }, 1000);
        live.send(WM_NULL);
        EXPECT_TRUE(pumpUntil([&] { return valueEvents() == 2; }, 5000));
        for (const auto& ending : endings) {
            heard.clear();
            live.record.state = Installing;
            live.record.copyJob = new InstallJob;
            ending.result(*live.record.copyJob);
            PostMessageW(live.hwnd, WM_APP_COPY_DONE, 0, 0);
            EXPECT_TRUE(hearOf(live.hwnd, EVENT_SYSTEM_ALERT, ending.said)) << testing::PrintToString(ending.said);
        }
    }
    UnhookWinEvent(hook);
}

TEST(InProcessWindow, TheObjectFailsCleanlyOnceItsWindowIsGone) {
    Accessible screen;
    {
        LiveWindow live(2);
        ASSERT_TRUE(live.hwnd);
        screen = clientOf(live.hwnd);
        LONG count = 0;
        ASSERT_TRUE(screen);
        EXPECT_EQ(screen->get_accChildCount(&count), S_OK);
        DestroyWindow(live.hwnd);
    }  // and the record is freed too
    LONG count = 0, x, y, w, h;
    BSTR text = nullptr;
    VARIANT out;
    IDispatch* parent = nullptr;
    EXPECT_EQ(screen->get_accChildCount(&count), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(screen->get_accName(child(1), &text), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(screen->get_accState(child(1), &out), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(screen->accLocation(&x, &y, &w, &h, child(1)), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(screen->accHitTest(30, 30, &out), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(screen->accDoDefaultAction(child(1)), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(screen->get_accParent(&parent), CO_E_OBJNOTCONNECTED);
}

namespace {

struct TaskbarCall {
    bool state;
    ULONGLONG value;  // the state, or the per-mille
};
std::vector<TaskbarCall> taskbarCalls;
int taskbarSinks = 0;  // alive

class RecordingSink final : public TaskbarSink {
public:
    RecordingSink() { ++taskbarSinks; }
    ~RecordingSink() override { --taskbarSinks; }
    void setState(HWND, TBPFLAG state) override { taskbarCalls.push_back({true, static_cast<ULONGLONG>(state)}); }
    void setValue(HWND, ULONGLONG completed, ULONGLONG total) override {
        taskbarCalls.push_back({false, total == 1000 ? completed : ~0ULL});
    }
};

}  // namespace

TEST(InProcessWindow, TaskbarShowsTheCopy) {
    setTaskbarSinkFactory([]() -> std::unique_ptr<TaskbarSink> { return std::make_unique<RecordingSink>(); });
    {
        LiveWindow live(2, true);
        ASSERT_TRUE(live.hwnd);
        withPatch(live.record, 1);
        BoxWatcher boxes(IDOK);
        auto copy = [&](std::initializer_list<WPARAM> steps, void (*result)(InstallJob&)) {
            live.record.state = Installing;
            live.record.copyJob = new InstallJob;
            for (WPARAM step : steps) live.send(WM_APP_COPY_PROGRESS, step);
            result(*live.record.copyJob);
            live.send(WM_APP_COPY_DONE);
        };
        copy({100}, [](InstallJob& job) { job.succeeded = 1; });
        EXPECT_TRUE(taskbarCalls.empty());  // no button yet: nothing is shown
        live.send(taskbarButtonCreatedMessage());
        EXPECT_EQ(taskbarSinks, 1);
        copy({100, 400, 900}, [](InstallJob& job) { job.succeeded = 1; });
        copy({300}, [](InstallJob& job) { job.cancelled = 1; });
        copy({700}, [](InstallJob& job) { job.errorCode = ERROR_DISK_FULL; });
        live.send(WM_KEYDOWN, VK_F5);  // the next action
        const std::vector<std::pair<bool, ULONGLONG>> expected = {
            {true, TBPF_NORMAL}, {false, 100}, {false, 400},      {false, 900}, {true, TBPF_NOPROGRESS},
            {true, TBPF_NORMAL}, {false, 300}, {true, TBPF_NOPROGRESS},
            {true, TBPF_NORMAL}, {false, 700}, {true, TBPF_ERROR}, {false, 1000}, {true, TBPF_NOPROGRESS}};
        std::vector<std::pair<bool, ULONGLONG>> got;
        for (const TaskbarCall& call : taskbarCalls) got.emplace_back(call.state, call.value);
        EXPECT_EQ(got, expected);
    }
    EXPECT_EQ(taskbarSinks, 0);  // released with the window
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
