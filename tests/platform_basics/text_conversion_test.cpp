#include <gtest/gtest.h>

#include <string>

#include "platform/text/text_conversion.h"

using lumvek::platform::utf16ToUtf8;
using lumvek::platform::utf8ToUtf16;

TEST(Utf16ToUtf8, ConvertsAsciiBmpAndSurrogatePairs) {
    char out[32];
    ASSERT_TRUE(utf16ToUtf8(u"ab\u00e9\u6f22\U0001F600", out, sizeof out));
    EXPECT_EQ(std::string(out), "ab\xc3\xa9\xe6\xbc\xa2\xf0\x9f\x98\x80");
}

TEST(Utf16ToUtf8, RefusesUnpairedSurrogates) {
    char out[32];
    const char16_t loneHigh[] = {u'a', 0xD800, u'b', 0};
    const char16_t loneLow[] = {0xDC00, 0};
    const char16_t highAtEnd[] = {u'x', 0xDBFF, 0};
    EXPECT_FALSE(utf16ToUtf8(loneHigh, out, sizeof out));
    EXPECT_FALSE(utf16ToUtf8(loneLow, out, sizeof out));
    EXPECT_FALSE(utf16ToUtf8(highAtEnd, out, sizeof out));
}

TEST(Utf16ToUtf8, NeedsRoomForTheTerminator) {
    char out[4];
    EXPECT_TRUE(utf16ToUtf8(u"abc", out, 4));
    EXPECT_FALSE(utf16ToUtf8(u"abcd", out, 4));
    // A multi-byte character that would straddle the end is refused whole.
    EXPECT_FALSE(utf16ToUtf8(u"ab\u00e9", out, 4));
    EXPECT_FALSE(utf16ToUtf8(nullptr, out, 4));
    EXPECT_FALSE(utf16ToUtf8(u"a", nullptr, 4));
    EXPECT_FALSE(utf16ToUtf8(u"a", out, 0));
}

TEST(Utf8ToUtf16, RoundTripsAndCountsUnits) {
    char16_t out[16];
    size_t written = 0;
    ASSERT_TRUE(utf8ToUtf16("x\xf0\x9f\x98\x80y", out, 16, &written));
    EXPECT_EQ(written, 5u);  // x, pair, y, terminator
    EXPECT_EQ(std::u16string(out), u"x\U0001F600y");
}

TEST(Utf8ToUtf16, RefusesMalformedInputAndOverflow) {
    char16_t out[8];
    EXPECT_FALSE(utf8ToUtf16("\xc3", out, 8));              // truncated
    EXPECT_FALSE(utf8ToUtf16("\xc0\xaf", out, 8));          // overlong
    EXPECT_FALSE(utf8ToUtf16("\xed\xa0\x80", out, 8));      // encoded surrogate
    EXPECT_FALSE(utf8ToUtf16("\xf4\x90\x80\x80", out, 8));  // above U+10FFFF
    EXPECT_FALSE(utf8ToUtf16("abcdefgh", out, 8));          // no room for the terminator
    EXPECT_TRUE(utf8ToUtf16("abcdefg", out, 8));
}
