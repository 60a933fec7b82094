// The product's names and numbers, each written once. The version comes from the build
// (project(VERSION) in CMakeLists.txt), which also writes it into the version block.
#pragma once
#include "lumivex_version.h"

// Macros where the texts are joined at compile time (window titles, footer, key and file names).
#define LUMIVEX_APP_ID L"2468020"
#define LUMIVEX_VERSION L"" LUMIVEX_VERSION_TEXT

constexpr const wchar_t* kAppId = LUMIVEX_APP_ID;
constexpr const wchar_t* kVersionText = LUMIVEX_VERSION;
constexpr const wchar_t* kPatchFileName = L"patch.rpa";
// The copy in progress beside patch.rpa: a name the game never takes for an archive.
constexpr const wchar_t* kPartialSuffix = L".partial";
constexpr const wchar_t* kGameExeName = L"Lumivex.exe";
constexpr const wchar_t* kGameFolderName = L"Lumivex Orrendale";
constexpr const wchar_t* kManifestName = L"appmanifest_" LUMIVEX_APP_ID L".acf";
constexpr const wchar_t* kUninstallKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Steam App " LUMIVEX_APP_ID;
constexpr const wchar_t* kMainWindowClass = L"LumivexPatchInstallerMain";
constexpr const wchar_t* kLanguageWindowClass = L"LumivexPatchInstallerLanguage";
