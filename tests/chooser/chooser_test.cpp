// A folder picked by hand in the folder dialog: where each pick leads, and whether it is taken.
#include <gtest/gtest.h>

#include "detect/detection.h"
#include "install/chooser.h"
#include "support.h"

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
