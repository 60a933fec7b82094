// The texts the installer shows, in its three languages, and the fonts that draw them.
#pragma once
#include <windows.h>
#include <gdiplus.h>

#include <cstdint>

#include "app/handles.h"

using LanguageId = std::int32_t;

// Scoped: several slots share a name with a button or a state but for the case of one letter.
enum class TextSlot : int {
    windowTitle = 0,
    gameTitle = 1,
    subtitle = 2,
    patchFound = 3,
    patchNotFound = 4,
    patchPlaceHint = 5,
    openAppFolder = 6,
    installLocation = 7,
    steamDetected = 8,
    manualFolder = 9,
    noGameFolder = 10,
    chooseFolder = 11,
    detectAgain = 12,
    patchWillOverwrite = 13,
    patchAlreadyInPlace = 14,
    readyToInstall = 15,
    installPatch = 16,
    installing = 17,
    cancelInstall = 18,
    installComplete = 19,
    canStartGame = 20,
    installCancelled = 21,
    installFailed = 22,
    selectFolderHint = 23,
    extractZipFirst = 24,
    runningFromTemp = 25,
    notWritableRestartAdmin = 26,
    folderDialogTitle = 27,
    confirmCancelExit = 28,
    notEnoughSpace = 29,
    patchEmpty = 30,
    copyFailed = 31,
    steamAppIdLabel = 32,
    detectedLocations = 33,
    noAudioDevice = 34,
    patchInUse = 35,
    closeInstaller = 36,
    launchGame = 37,
    gameExeNotFound = 38,
    gameLaunchFailed = 39,
    textSlotCount = 40,
};

// One language: 40 constant texts indexed by TextSlot.
struct LocalizedText {
    const wchar_t* slot[static_cast<int>(TextSlot::textSlotCount)];
    const wchar_t* operator[](TextSlot key) const { return slot[static_cast<int>(key)]; }
};

// Fixed English texts that are never translated.
extern const wchar_t* const kInstallerCaption;     // "Lumivex: Orrendale \u00B7 Patch Installer"
extern const wchar_t* const kWindowCreationFailed;  // "Unable to create the installer window."
extern const wchar_t* const kLanguageSelectHeading; // "Language Select"

const LocalizedText& textsFor(LanguageId language);
LanguageId parseLanguageValue(const wchar_t* value);
const wchar_t* languageCode(LanguageId language);
// Button labels of the language window, each in its own script, indexed by LanguageId 0..2.
extern const wchar_t* const languageLabels[3];

// Family names tried for the language, best first.
const wchar_t* const* fontFamilyNames(LanguageId language, int* count);
// A new font family for the language, tried in the language's order of preference.
FontFamilyPtr createUiFontFamily(LanguageId language);
