// Adopting a folder picked by hand, on real Steam-layout folder trees, and the shell's folder
// dialog itself driven from a second thread as a user would.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "detect/detection.h"
#include "install/chooser.h"
#include "test_support.h"
#include "ui/main_window.h"

using testing_support::BoxWatcher;
using testing_support::ScratchFolder;
using testing_support::pumpUntil;
using testing_support::writeFile;

namespace {

const wchar_t* const kGameSuffix = L"steamapps\\common\\Lumivex Orrendale\\game";

// A Steam library folder with the game installed in it (one original archive).
std::wstring makeLibrary(const std::wstring& library) {
    std::wstring game = library + L"\\" + kGameSuffix;
    EXPECT_TRUE(writeFile(game + L"\\archive.rpa", "RPA-3.0 original"));
    return game;
}

// An installer record in its own folder, with its patch, in English.
struct Installer {
    ScratchFolder root{L"chooser"};
    MainWindow window;
    Installer() {
        window.language = 2;
        window.appFolder = root / L"Download";
        window.exePath = window.appFolder + L"\\LumivexPatchInstaller.exe";
        window.patchPath = window.appFolder + L"\\patch.rpa";
        writeFile(window.patchPath, "the patch");
    }
};

// The uninstall record Steam writes for the game, removed again at the end of the test.
struct UninstallRecord {
    static constexpr const wchar_t* kKey =
        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Steam App 2468020";
    explicit UninstallRecord(const std::wstring& location) {
        RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"InstallLocation", REG_SZ, location.c_str(),
                        static_cast<DWORD>((location.size() + 1) * sizeof(wchar_t)));
    }
    ~UninstallRecord() { RegDeleteKeyW(HKEY_CURRENT_USER, kKey); }
};

const std::wstring kHint =
    L"Select the Lumivex Orrendale\\game folder, or its parent game folder. A valid folder must contain an "
    L"original game .rpa archive.";
const std::wstring kEnglishTitle = L"[Sorvane Games] Lumivex: Orrendale Steam Patch - Ver1.0.0 Installer (English)";

TEST(AdoptChosenFolder, EveryFormOfTheLibraryLeadsToTheGameFolder) {
    Installer installer;
    std::wstring library = installer.root / L"SteamLibrary";
    std::wstring game = makeLibrary(library);
    const std::wstring forms[] = {
        game,
        library + L"\\steamapps\\common\\Lumivex Orrendale",
        library + L"\\steamapps\\common",
        library + L"\\steamapps",
        library,
        library + L"\\",
        library + L"/steamapps/common/",
    };
    for (const std::wstring& form : forms) {
        Installer fresh;
        fresh.window.manualFolder.clear();
        BoxWatcher boxes;
        EXPECT_TRUE(adoptChosenFolder(fresh.window, form)) << form;
        EXPECT_TRUE(boxes.boxes().empty()) << form;
        EXPECT_TRUE(pathEqualsNoCase(fresh.window.manualFolder, game)) << form;
        const GameCandidate* selected = selectedCandidate(fresh.window);
        ASSERT_NE(selected, nullptr) << form;
        EXPECT_TRUE(pathEqualsNoCase(selected->folder, game)) << form << " selected " << selected->folder;
        EXPECT_EQ(selected->manual, 1);
        EXPECT_EQ(selected->score, 1200);
        EXPECT_EQ(fresh.window.state, Ready);
        EXPECT_TRUE(fresh.window.patchPresent);
    }
}

TEST(AdoptChosenFolder, FolderWithoutAnOriginalArchiveShowsTheHintAndChangesNothing) {
    Installer installer;
    std::wstring game = makeLibrary(installer.root / L"SteamLibrary");
    ASSERT_TRUE(adoptChosenFolder(installer.window, game));
    installer.window.state = Complete;
    installer.window.statusMessage = L"done";
    installer.window.progressPerMille = 1000;
    CandidateList before = installer.window.candidates;
    std::uint32_t selectedBefore = installer.window.selectedIndex;

    // Right layout, but only the patch in it; a folder outside any library; one that does not exist.
    std::wstring onlyPatch = installer.root / (L"Other\\" + std::wstring(kGameSuffix));
    writeFile(onlyPatch + L"\\patch.rpa", "patch only");
    std::wstring loose = installer.root / L"Loose\\game";
    writeFile(loose + L"\\archive.rpa", "not in a library");
    for (const std::wstring& picked : {onlyPatch, loose, installer.root / L"Missing", std::wstring()}) {
        BoxWatcher boxes;
        EXPECT_FALSE(adoptChosenFolder(installer.window, picked)) << picked;
        ASSERT_EQ(boxes.boxes().size(), 1u) << picked;
        EXPECT_EQ(boxes.boxes()[0].caption, kEnglishTitle);
        EXPECT_EQ(boxes.boxes()[0].text, kHint);
        EXPECT_EQ(boxes.boxes()[0].style(), static_cast<UINT>(MB_OK | MB_ICONWARNING));
        EXPECT_TRUE(pathEqualsNoCase(installer.window.manualFolder, game));
        ASSERT_EQ(installer.window.candidates.size(), before.size());
        for (size_t i = 0; i < before.size(); ++i) {
            EXPECT_EQ(installer.window.candidates[i].folder, before[i].folder);
            EXPECT_EQ(installer.window.candidates[i].manual, before[i].manual);
        }
        EXPECT_EQ(installer.window.selectedIndex, selectedBefore);
        EXPECT_EQ(installer.window.state, Complete);
        EXPECT_EQ(installer.window.statusMessage, L"done");
        EXPECT_EQ(installer.window.progressPerMille, 1000);
    }
}

TEST(AdoptChosenFolder, DetectedFolderBecomesOneManualRecordAtTheTop) {
    Installer installer;
    // The installer sits in one game folder (found automatically first); Steam's uninstall record
    // names another copy in a second library, which also holds an older patch.
    std::wstring first = makeLibrary(installer.root / L"LibraryA");
    std::wstring second = makeLibrary(installer.root / L"LibraryB");
    writeFile(second + L"\\patch.rpa", "an older patch");
    installer.window.appFolder = first;
    installer.window.patchPath = first + L"\\patch.rpa";
    writeFile(installer.window.patchPath, "the patch");
    UninstallRecord record(installer.root / L"LibraryB\\steamapps\\common\\Lumivex Orrendale");

    detectGameFolders(installer.window);
    ASSERT_EQ(installer.window.candidates.size(), 2u);
    ASSERT_TRUE(pathEqualsNoCase(installer.window.candidates[1].folder, second));
    EXPECT_EQ(installer.window.candidates[1].manual, 0);
    EXPECT_EQ(installer.window.selectedIndex, 0u);
    // Run from inside the first game folder, the patch there is the installer's own file.
    EXPECT_TRUE(installer.window.targetHasPatch);
    EXPECT_TRUE(installer.window.targetPatchIdentical);

    ASSERT_TRUE(adoptChosenFolder(installer.window, installer.root / L"LibraryB"));
    ASSERT_EQ(installer.window.candidates.size(), 2u);
    EXPECT_TRUE(pathEqualsNoCase(installer.window.candidates[0].folder, second));
    EXPECT_EQ(installer.window.candidates[0].manual, 1);
    EXPECT_EQ(installer.window.candidates[0].score, 1200);
    EXPECT_TRUE(pathEqualsNoCase(installer.window.candidates[1].folder, first));
    EXPECT_EQ(installer.window.candidates[1].manual, 0);
    EXPECT_EQ(installer.window.selectedIndex, 0u);
    // The target facts follow the new selection.
    EXPECT_TRUE(installer.window.targetHasPatch);
    EXPECT_FALSE(installer.window.targetPatchIdentical);
}

TEST(AdoptChosenFolder, PickDuringACopyKeepsInstalling) {
    Installer installer;
    std::wstring game = makeLibrary(installer.root / L"SteamLibrary");
    installer.window.state = Installing;
    installer.window.progressPerMille = 400;
    ASSERT_TRUE(adoptChosenFolder(installer.window, installer.root / L"SteamLibrary"));
    EXPECT_EQ(installer.window.state, Installing);
    ASSERT_NE(selectedCandidate(installer.window), nullptr);
    EXPECT_TRUE(pathEqualsNoCase(selectedCandidate(installer.window)->folder, game));

    // Outside a copy, a later pick returns a failed run to Ready.
    installer.window.state = Failed;
    ASSERT_TRUE(adoptChosenFolder(installer.window, game));
    EXPECT_EQ(installer.window.state, Ready);
}

// --- The shell's folder dialog, answered from a second thread. ---

struct Com {
    Com() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~Com() { CoUninitialize(); }
};

const wchar_t* const kDialogTitle = L"Select the Lumivex: Orrendale game folder";

HWND findChild(HWND parent, const wchar_t* className) {
    struct Search {
        const wchar_t* className;
        HWND found;
    } search{className, nullptr};
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            wchar_t name[64] = {};
            GetClassNameW(child, name, 64);
            if (lstrcmpiW(name, s->className) == 0 && IsWindowVisible(child)) {
                s->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Runs chooseGameFolder while `answer` deals with the dialog; closes it if the answer did not.
bool runDialog(MainWindow& window, const std::function<void(HWND)>& answer) {
    bool seen = false;
    std::atomic<bool> done{false};
    std::thread driver([&] {
        HWND dialog = nullptr;
        seen = pumpUntil(
            [&] {
                dialog = FindWindowW(nullptr, kDialogTitle);
                return dialog && IsWindowVisible(dialog);
            },
            10000);
        if (!seen) return;
        Sleep(300);
        answer(dialog);
        if (!pumpUntil([&] { return done.load() || !IsWindow(dialog); }, 5000)) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    chooseGameFolder(window);
    done = true;
    driver.join();
    return seen;
}

TEST(FolderDialog, TypedPathIsAdoptedAndCancelChangesNothing) {
    Com com;
    BoxWatcher boxes;  // answers any message box, so a wrong turn cannot hang the test
    Installer installer;
    std::wstring library = installer.root / L"SteamLibrary";
    std::wstring game = makeLibrary(library);

    bool seen = runDialog(installer.window, [&](HWND dialog) {
        HWND edit = findChild(dialog, L"Edit");
        ASSERT_NE(edit, nullptr);
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(library.c_str()));
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    ASSERT_TRUE(seen) << "no dialog titled with the English folder-dialog title";
    const GameCandidate* selected = selectedCandidate(installer.window);
    ASSERT_NE(selected, nullptr);
    EXPECT_TRUE(pathEqualsNoCase(selected->folder, game)) << selected->folder;
    EXPECT_EQ(selected->manual, 1);

    // Cancel: nothing changes and nothing is said.
    std::wstring other = makeLibrary(installer.root / L"Other");
    boxes.clear();
    CandidateList before = installer.window.candidates;
    seen = runDialog(installer.window, [&](HWND dialog) {
        HWND edit = findChild(dialog, L"Edit");
        if (edit) SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(other.c_str()));
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_TRUE(seen);
    // The watcher also sees the folder dialog itself; no message box of the installer came up.
    for (const auto& box : boxes.boxes()) EXPECT_NE(box.caption, kEnglishTitle);
    EXPECT_FALSE(boxes.boxes().empty());
    EXPECT_EQ(installer.window.candidates.size(), before.size());
    EXPECT_TRUE(pathEqualsNoCase(installer.window.manualFolder, game));
    EXPECT_TRUE(pathEqualsNoCase(selectedCandidate(installer.window)->folder, game));

    // The dialog opens inside the selected game folder: a name typed relative to it is found there.
    seen = runDialog(installer.window, [&](HWND dialog) {
        HWND edit = findChild(dialog, L"Edit");
        ASSERT_NE(edit, nullptr);
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"..\\..\\..\\..\\..\\Other"));
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_TRUE(seen);
    ASSERT_NE(selectedCandidate(installer.window), nullptr);
    EXPECT_TRUE(pathEqualsNoCase(selectedCandidate(installer.window)->folder, other))
        << selectedCandidate(installer.window)->folder;
}

}  // namespace
