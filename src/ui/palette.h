// Every colour the two windows draw with, as 0xAARRGGBB.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

namespace palette {
using Gdiplus::ARGB;

// Installer screen: backdrop (when the picture is missing) and the card.
constexpr ARGB kBackdropTop = 0xFFFFFAFC;
constexpr ARGB kBackdropBottom = 0xFFF7E7F0;
constexpr ARGB kCardShadow = 0x2A4E3348;
constexpr ARGB kCardFill = 0xE8FFFBFD;
constexpr ARGB kCardOutline = 0x9BFFFFFF;
constexpr ARGB kSubtitleText = 0xFF6F5973;
constexpr ARGB kTitleText = 0xFF41314B;
constexpr ARGB kAccent = 0xFFF1719E;  // the bar under the title and the progress fill

// The patch and location boxes.
constexpr ARGB kBoxFill = 0xCDFFFFFF;
constexpr ARGB kBoxOutline = 0x64E6CAD7;
constexpr ARGB kPatchFoundDot = 0xFF3DB784;
constexpr ARGB kPatchMissingDot = 0xFFE85B76;
constexpr ARGB kPatchHeadingText = 0xFF413648;
constexpr ARGB kPatchDetailText = 0xE16B5F71;
constexpr ARGB kLocationLabelText = 0xE169586E;
constexpr ARGB kFolderText = 0xF543394B;
constexpr ARGB kCounterText = 0xBE716375;
constexpr ARGB kFooterText = 0xBE706074;

// Status colours: good news, a caution, a failure.
constexpr ARGB kSourceText = 0xFF2B8B69;  // "detected by Steam" / "chosen by hand", and ready to install
constexpr ARGB kDoneText = 0xFF268E67;
constexpr ARGB kCautionText = 0xFFB16719;
constexpr ARGB kNoFolderText = 0xFFB5691F;
constexpr ARGB kFailedText = 0xFFC33B53;

constexpr ARGB kProgressTrack = 0x7DE0CFD7;

// The main button.
constexpr ARGB kPrimaryShadow = 0x225B364E;
constexpr ARGB kPrimaryDisabled = 0xB4D2CAD2;
constexpr ARGB kPrimaryNormal = 0xFFEC699A;
constexpr ARGB kPrimaryHover = 0xFFF97EA9;
constexpr ARGB kCancelNormal = 0xE6C64865;
constexpr ARGB kCancelHover = 0xF5E05972;
constexpr ARGB kPrimaryLabel = 0xFFFFFFFF;
constexpr ARGB kPrimaryLabelDisabled = 0x96FFFFFF;

// The smaller buttons (drawButton): filled pink ones and white ones.
constexpr ARGB kButtonFilled = 0xFFE86094;
constexpr ARGB kButtonFilledHover = 0xFFF579A5;
constexpr ARGB kButtonFilledOutline = 0x5AFFFFFF;
constexpr ARGB kButtonFilledText = 0xFFFFFFFF;
constexpr ARGB kButtonPlain = 0xD7FFFFFF;
constexpr ARGB kButtonPlainHover = 0xF5FFF2F7;
constexpr ARGB kButtonPlainOutline = 0x69E0C1D0;
constexpr ARGB kButtonPlainText = 0xFF493B50;

// The location arrows.
constexpr ARGB kArrowFill = 0xDCFFFFFF;
constexpr ARGB kArrowFillHover = 0xFFF9DAE7;
constexpr ARGB kArrowStroke = 0xEB5C465F;

// The language pills and the mute button in the top right corner.
constexpr ARGB kCornerFill = 0xE1FFFFFF;
constexpr ARGB kCornerOutline = 0x5FE8CCD8;
constexpr ARGB kPillSelected = 0xFFEB6397;
constexpr ARGB kPillHover = 0xD2FFECF4;
constexpr ARGB kPillSelectedText = 0xFFFFFFFF;
constexpr ARGB kPillText = 0xFF46374E;
constexpr ARGB kMuteHover = 0xFAFFEBF3;
constexpr ARGB kSpeaker = 0xFF4C3A53;
constexpr ARGB kSpeakerNoDevice = 0xB48E8491;
constexpr ARGB kMuteCross = 0xFFE04A6F;

// The ring around the button that has the keyboard focus, in both windows: the card's text colour.
constexpr ARGB kFocusRing = 0xFF41314B;

// The language window.
constexpr ARGB kLanguageBackdropTop = 0xFFFFFBFD;
constexpr ARGB kLanguageBackdropBottom = 0xFFF7E6F0;
constexpr ARGB kLanguageHeadingText = 0xFF44324E;
constexpr ARGB kLanguageButtonShadow = 0x1C5E3950;
constexpr ARGB kLanguageButtonFill = 0xE1FFFFFF;
constexpr ARGB kLanguageButtonFillHover = 0xFFFFE5F0;
constexpr ARGB kLanguageButtonOutline = 0x69E4C2D1;
constexpr ARGB kLanguageButtonOutlineHover = 0xBEEC6899;
constexpr ARGB kLanguageLabelText = 0xFF45344E;
}  // namespace palette
