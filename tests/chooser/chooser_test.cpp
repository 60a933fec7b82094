// A folder picked by hand in the folder dialog: where each pick leads, and what adopting it does.
#include <gtest/gtest.h>

#include "detect/detection.h"
#include "install/chooser.h"
#include "support.h"

// Without a window manager Wine waits up to two seconds for the withdrawal of each managed
// window it hides; the windows of this program and of those it starts are unmanaged and go at once.
support::RegistryValue managedWindows(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", L"Managed");
const bool unmanaged = managedWindows.setString(L"N");

TEST(FolderChoice, EachPickLeadsToTheGameFolderOrToTheHint) {
    support::ScratchFolder root(L"chooser");
    const std::wstring library = root / L"Library", game = support::makeGameFolder(library);
    const std::wstring onlyPatch = support::gameFolderOf(root / L"OnlyPatch");
    support::writeFile(onlyPatch + L"\\patch.rpa", "a patch is no original archive");
    support::writeFile(root / L"Loose\\game\\archive.rpa", "outside a library");
    const struct { std::wstring picked; bool leads; } kPicks[] = {
        {game, true},          {game + L"\\", true},          {library + L"\\steamapps\\common\\Lumivex Orrendale", true},
        {library + L"\\steamapps\\common", true},               {library + L"\\steamapps", true},
        {library, true},       {library + L"/steamapps/common/", true},
        {onlyPatch, false},    {root / L"OnlyPatch", false},  {root / L"Loose\\game", false},
        {root / L"Missing", false}, {L"", false},            {game + L"\\..\\..", true},
    };
    for (const auto& pick : kPicks) {
        const WidePath resolved = resolveChosenFolder(pick.picked);
        EXPECT_TRUE(pick.leads ? pathEqualsNoCase(resolved, game) : resolved.empty()) << pick.picked << " -> " << resolved;
        const AdoptionDecision decision = decideAdoption(resolved);
        EXPECT_EQ(decision.adopt, pick.leads) << pick.picked;
        EXPECT_TRUE(pick.leads || (decision.warning == TextSlot::selectFolderHint && decision.icon == MB_ICONWARNING));
    }
}

// An adopted pick becomes the selected folder, marked as picked by hand, and ends a failed run;
// a pick that leads nowhere says so with the hint in the window's language and changes nothing.
TEST(FolderChoice, AdoptingAPick) {
    support::ScratchFolder root(L"adopt");
    const std::wstring game = support::makeGameFolder(root / L"Library");
    MainWindow window;
    window.language = 1;
    window.appFolder = root / L"Download";
    window.patchPath = window.appFolder + L"\\patch.rpa";
    window.state = Failed;
    support::BoxWatcher boxes;
    ASSERT_TRUE(adoptChosenFolder(window, root / L"Library"));
    ASSERT_NE(selectedCandidate(window), nullptr);
    EXPECT_TRUE(pathEqualsNoCase(selectedCandidate(window)->folder, game));
    EXPECT_EQ(selectedCandidate(window)->manual, 1);
    EXPECT_EQ(window.state, Ready);
    EXPECT_TRUE(boxes.boxes.empty());

    window.state = Complete;
    EXPECT_FALSE(adoptChosenFolder(window, root / L"Download"));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, textsFor(1)[TextSlot::selectFolderHint]);
    EXPECT_EQ(boxes.boxes[0].caption, textsFor(1)[TextSlot::windowTitle]);
    EXPECT_EQ(boxes.boxes[0].style, UINT(MB_OK | MB_ICONWARNING));
    EXPECT_EQ(window.state, Complete);
    EXPECT_TRUE(pathEqualsNoCase(window.manualFolder, game));
    EXPECT_EQ(window.candidates.size(), 1u);
}
