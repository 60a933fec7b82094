// The demo world of scripts/run.sh: Steam with a second library on D:, the game in both (D:'s newer),
// the installer and a 4 MiB patch in a downloads folder. Prints the installer's path.
// Usage: demo_world.exe <installer exe>
#include <cstdio>

#include "support.h"

using namespace support;

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    const std::wstring steam = L"C:\\demo\\Valve\\Steam";
    const std::wstring library = L"D:\\SteamLibrary";
    const std::wstring downloads = L"C:\\demo\\Downloads\\Lumivex Patch 1.0.0";
    removeTree(L"C:\\demo");
    removeTree(library);
    SteamWorld world(steam, {steam, library});
    world.keep();
    writeManifest(steam, "Lumivex Orrendale", 134060000000000000ull);  // FILETIMEs in 2025
    writeManifest(library, "Lumivex Orrendale", 134100000000000000ull);
    for (const std::wstring& game : world.gameFolders) writeFile(game + L"\\..\\Lumivex.exe.demo", "");
    writeFile(downloads + L"\\patch.rpa", std::string(4 << 20, 'p'));
    const std::wstring installer = downloads + L"\\LumivexPatchInstaller.exe";
    if (!CopyFileW(argv[1], installer.c_str(), FALSE)) return 1;
    std::printf("%ls\n", installer.c_str());
    return 0;
}
