#include <gtest/gtest.h>

#include "install/error_text.h"

namespace {
std::wstring withoutSuffix(const std::wstring& text) { return text.substr(0, text.size() - 13); }
}  // namespace

TEST(SystemErrorText, AccessDeniedIsTheSystemSentenceAndTheCode) {
    std::wstring text = systemErrorText(ERROR_ACCESS_DENIED);
    ASSERT_GT(text.size(), 13u);
    EXPECT_EQ(text.substr(text.size() - 13), L" (0x00000005)");
    wchar_t* system = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
                   ERROR_ACCESS_DENIED, 0, reinterpret_cast<LPWSTR>(&system), 0, nullptr);
    ASSERT_NE(system, nullptr);
    std::wstring raw = system;
    LocalFree(system);
    // The system's own words, with its line break gone and exactly one blank before the code.
    EXPECT_NE(raw.find(withoutSuffix(text)), std::wstring::npos);
    EXPECT_NE(raw, withoutSuffix(text));
    EXPECT_FALSE(iswspace(text[text.size() - 14]));
    EXPECT_NE(withoutSuffix(text), L"Unknown error");
}

TEST(SystemErrorText, HexDigitsAreUpperCase) {
    std::wstring text = systemErrorText(ERROR_WRITE_FAULT);
    EXPECT_EQ(text.substr(text.size() - 13), L" (0x0000001D)");
    EXPECT_NE(withoutSuffix(text), L"Unknown error");
}

TEST(SystemErrorText, SharingViolationHasText) {
    std::wstring text = systemErrorText(ERROR_SHARING_VIOLATION);
    EXPECT_EQ(text.substr(text.size() - 13), L" (0x00000020)");
    EXPECT_NE(withoutSuffix(text), L"Unknown error");
    EXPECT_GT(text.size(), 20u) << text;
}

TEST(SystemErrorText, CodeWithoutTextIsUnknownError) {
    EXPECT_EQ(systemErrorText(0x2000ABCDu), L"Unknown error (0x2000ABCD)");
    EXPECT_EQ(systemErrorText(0xFFFFFFFFu), L"Unknown error (0xFFFFFFFF)");
}

