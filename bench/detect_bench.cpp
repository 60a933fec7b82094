// Times one detection pass in worlds of 1, 10 and 100 Steam libraries, each with a manifest and
// a game folder, and counts the file-system calls of a pass.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "detect/detection.h"
#include "detect/steam.h"
#include "support.h"
#include "ui/main_window.h"

using namespace support;

int wmain() {
    for (int libraryCount : {1, 10, 100}) {
        ScratchFolder scratch(L"bench");
        std::wstring root = scratch / L"Steam";
        makeFolders(root + L"\\steamapps");
        std::vector<std::wstring> libraries;
        for (int i = 0; i < libraryCount; ++i) {
            std::wstring library = scratch / (L"Library" + std::to_wstring(i));
            makeGameFolder(library);
            writeManifest(library, "Lumivex Orrendale", 0x01D9000000000000ull + i);
            libraries.push_back(library);
        }
        writeFile(root + L"\\steamapps\\libraryfolders.vdf", libraryFoldersVdf(libraries));
        RegistryValue steamPath(HKEY_CURRENT_USER, L"Software\\Valve\\Steam", L"SteamPath");
        steamPath.setString(root);

        MainWindow window;
        window.appFolder = scratch / L"installer";
        window.patchPath = window.appFolder + L"\\patch.rpa";
        detectGameFolders(window);  // warm the caches once
        double best = 1e9, total = 0;
        std::uint64_t calls = 0;
        const int runs = 5;
        for (int run = 0; run < runs; ++run) {
            std::uint64_t before = detectionFileCalls();
            auto started = std::chrono::steady_clock::now();
            detectGameFolders(window);
            double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
            calls = detectionFileCalls() - before;
            best = std::min(best, ms);
            total += ms;
        }
        size_t own = 0;
        for (const GameCandidate& c : window.candidates) own += startsWith(c.folder, scratch.path() + L"\\");
        std::printf("%3d libraries: pass %.2f ms best, %.2f ms mean of %d; %llu file-system calls per pass; "
                    "%zu candidates found (%zu on the whole machine)\n",
                    libraryCount, best, total / runs, runs, static_cast<unsigned long long>(calls), own,
                    window.candidates.size());
    }
    return 0;
}
