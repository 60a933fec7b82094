#include <gtest/gtest.h>

#include <string>

#include "app/texts.h"

namespace {

TEST(Texts, EveryValueOtherThanOneAndTwoIsSimplifiedChinese) {
    for (LanguageId id : {0, 3, 100, -1, -100}) {
        EXPECT_EQ(&textsFor(id), &textsFor(0)) << id;
        int count = 0;
        const wchar_t* const* names = fontFamilyNames(id, &count);
        EXPECT_EQ(count, 5);
        EXPECT_STREQ(names[0], L"Microsoft YaHei UI");
    }
    EXPECT_NE(&textsFor(1), &textsFor(0));
    EXPECT_NE(&textsFor(2), &textsFor(0));
    EXPECT_STREQ(textsFor(2)[TextSlot::windowTitle],
                 L"[Sorvane Games] Lumivex: Orrendale Steam Patch - Ver1.0.0 Installer (English)");
}

TEST(Texts, EverySlotIsFilledInEveryLanguage) {
    for (LanguageId id : {0, 1, 2})
        for (int slot = 0; slot < static_cast<int>(TextSlot::textSlotCount); ++slot) {
            ASSERT_NE(textsFor(id).slot[slot], nullptr);
            EXPECT_GT(std::wcslen(textsFor(id).slot[slot]), 0u) << id << " " << slot;
        }
    for (LanguageId id : {0, 1, 2}) EXPECT_STREQ(textsFor(id)[TextSlot::steamAppIdLabel], L"Steam App ID");
}

TEST(Texts, MiddleDotsLineFeedsAndBackslashesAreExact) {
    EXPECT_STREQ(kInstallerCaption, L"Lumivex: Orrendale \u00B7 Patch Installer");
    EXPECT_STREQ(textsFor(0)[TextSlot::subtitle], L"游戏补丁 \u00B7 自动安装器");
    EXPECT_STREQ(textsFor(1)[TextSlot::subtitle], L"遊戲修補檔 \u00B7 自動安裝程式");
    std::wstring temp = textsFor(2)[TextSlot::runningFromTemp];
    EXPECT_EQ(temp.find(L'\r'), std::wstring::npos);
    // Three paragraphs: two empty lines made of two line feeds each.
    size_t first = temp.find(L"\n\n");
    ASSERT_NE(first, std::wstring::npos);
    size_t second = temp.find(L"\n\n", first + 2);
    ASSERT_NE(second, std::wstring::npos);
    EXPECT_EQ(temp.find(L'\n', second + 2), std::wstring::npos);
    EXPECT_TRUE(temp.rfind(L"Do not launch it from the archive window", std::wstring::npos) != std::wstring::npos);
    EXPECT_STREQ(textsFor(2)[TextSlot::selectFolderHint],
                 L"Select the Lumivex Orrendale\\game folder, or its parent game folder. A valid folder must "
                 L"contain an original game .rpa archive.");
    EXPECT_STREQ(textsFor(1)[TextSlot::windowTitle], L"【索凡尼遊戲】『露米維』Steam 修補檔 - Ver1.0.0 安裝程式（繁體中文）");
}

TEST(Texts, LanguageValues) {
    EXPECT_EQ(parseLanguageValue(L"zh-TW"), 1);
    EXPECT_EQ(parseLanguageValue(L"ZH-tw"), 1);
    EXPECT_EQ(parseLanguageValue(L"TRADITIONAL"), 1);
    EXPECT_EQ(parseLanguageValue(L"en"), 2);
    EXPECT_EQ(parseLanguageValue(L"EN"), 2);
    EXPECT_EQ(parseLanguageValue(L"English"), 2);
    EXPECT_EQ(parseLanguageValue(L"ENGLISH"), 2);
    EXPECT_EQ(parseLanguageValue(L"zh-CN"), 0);
    EXPECT_EQ(parseLanguageValue(L""), 0);
    EXPECT_EQ(parseLanguageValue(L"fr"), 0);
    EXPECT_EQ(parseLanguageValue(L"zh-TWx"), 0);
    EXPECT_EQ(parseLanguageValue(L"zh-TW "), 0);
    EXPECT_EQ(parseLanguageValue(L"eng"), 0);
    for (LanguageId id : {0, 1, 2}) EXPECT_EQ(parseLanguageValue(languageCode(id)), id);
    EXPECT_STREQ(languageCode(7), L"zh-CN");
    EXPECT_STREQ(languageLabels[0], L"简体中文");
    EXPECT_STREQ(languageLabels[1], L"繁體中文");
    EXPECT_STREQ(languageLabels[2], L"English");
}

TEST(Texts, FontFamilyOrder) {
    int count = 0;
    const wchar_t* const* english = fontFamilyNames(2, &count);
    ASSERT_EQ(count, 4);
    EXPECT_STREQ(english[0], L"Segoe UI");
    EXPECT_STREQ(english[1], L"Microsoft YaHei UI");
    EXPECT_STREQ(english[3], L"Arial");
    const wchar_t* const* traditional = fontFamilyNames(1, &count);
    ASSERT_EQ(count, 5);
    EXPECT_STREQ(traditional[0], L"Microsoft JhengHei UI");
    EXPECT_STREQ(traditional[2], L"Microsoft YaHei UI");
}

}  // namespace
