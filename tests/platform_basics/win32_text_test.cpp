// The W exports' conversion on Windows: UTF-16 to and from the ANSI code
// page. Wine and a Western Windows use code page 1252.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "platform/text/text_conversion.h"

using lumvek::platform::utf16ToUtf8;
using lumvek::platform::utf8ToUtf16;

namespace {

#define LUMVEK_REQUIRE_CODE_PAGE_1252()                                              \
    if (GetACP() != 1252) {                                                          \
        GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 1252";        \
    }

} // namespace

TEST(Win32Text, WideToAnsiUsesTheCodePageNotUtf8) {
    LUMVEK_REQUIRE_CODE_PAGE_1252();
    char out[16];
    ASSERT_TRUE(utf16ToUtf8(L"caf\u00e9 \u20ac", out, sizeof out));
    // One byte each: é is 0xE9 and the euro sign 0x80 in 1252.
    EXPECT_EQ(std::string(out), std::string("caf\xe9 \x80"));
    // The char16_t form of the same call converts alike.
    ASSERT_TRUE(utf16ToUtf8(u"\u00e9", out, sizeof out));
    EXPECT_EQ(std::string(out), std::string("\xe9"));
}

TEST(Win32Text, CharactersOutsideTheCodePageFailInsteadOfBecomingQuestionMarks) {
    LUMVEK_REQUIRE_CODE_PAGE_1252();
    char out[16] = "unchanged";
    // A file name with a character the page cannot hold would name another file.
    EXPECT_FALSE(utf16ToUtf8(L"a\u4e2d.bmp", out, sizeof out));
    // Best-fit mappings (U+0100 to 'A') are no conversion either.
    EXPECT_FALSE(utf16ToUtf8(L"\u0100", out, sizeof out));
}

TEST(Win32Text, BrokenOrOversizedInputFails) {
    char out[4];
    const wchar_t lone[] = {L'a', 0xD800, L'b', 0};
    EXPECT_FALSE(utf16ToUtf8(lone, out, sizeof out));
    const wchar_t loneLow[] = {0xDC00, 0};
    EXPECT_FALSE(utf16ToUtf8(loneLow, out, sizeof out));
    EXPECT_TRUE(utf16ToUtf8(L"abc", out, 4));
    EXPECT_EQ(std::string(out), "abc");
    EXPECT_FALSE(utf16ToUtf8(L"abcd", out, 4));  // no room for the terminator
    EXPECT_FALSE(utf16ToUtf8(static_cast<const wchar_t*>(nullptr), out, 4));
    EXPECT_FALSE(utf16ToUtf8(L"a", nullptr, 4));
    EXPECT_FALSE(utf16ToUtf8(L"a", out, 0));
}

TEST(Win32Text, AnsiToWideCountsUnitsWithTheTerminator) {
    LUMVEK_REQUIRE_CODE_PAGE_1252();
    wchar_t out[8];
    size_t written = 0;
    ASSERT_TRUE(utf8ToUtf16("x\xe9y", out, 8, &written));
    EXPECT_EQ(written, 4u);
    EXPECT_EQ(std::wstring(out), std::wstring(L"x\u00e9y"));
    EXPECT_FALSE(utf8ToUtf16("abcd", out, 4));  // four characters and the terminator need five
    EXPECT_FALSE(utf8ToUtf16(nullptr, out, 4));
}
#endif
