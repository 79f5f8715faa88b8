// The one rule for malformed text, in both directions. The expectations are
// written from the Unicode standard's table of well-formed UTF-8 sequences,
// one U+FFFD for each maximal piece that could not be completed.
#include <gtest/gtest.h>

#include "platform/TextConv.h"

namespace {

TEST(TextConv, Utf8ToUtf16ReplacesEveryMalformedPieceAndNeverMakesNul) {
    struct Case {
        const char* Name;
        std::string Utf8;
        std::u16string Utf16;
    };
    const Case Cases[] = {
        {"ASCII and NUL", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
        {"two, three and four bytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", u"\u00E9\u20AC\U0001F600"},
        {"last of two bytes, first of three", "\xDF\xBF\xE0\xA0\x80", u"\u07FF\u0800"},
        {"U+FFFF and U+10000", "\xEF\xBF\xBF\xF0\x90\x80\x80", u"\uFFFF\U00010000"},
        {"U+10FFFF", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"overlong NUL", "a\xC0\x80" "b", u"a\uFFFD\uFFFDb"},
        {"overlong in three bytes", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
        {"overlong in four bytes", "\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"encoded high surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"encoded low surrogate", "\xED\xBF\xBF", u"\uFFFD\uFFFD\uFFFD"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"bytes that never occur", "\xF5\xFE\xFF", u"\uFFFD\uFFFD\uFFFD"},
        {"stray continuation", "\x80" "a\xBF", u"\uFFFDa\uFFFD"},
        {"cut short at the end", "a\xF0\x9F\x98", u"a\uFFFD"},
        {"cut short before the next character", "\xE2\x82" "a\xC3", u"\uFFFDa\uFFFD"},
        // The standard's own example of replacing maximal pieces.
        {"mixed", "\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
         u"a\uFFFD\uFFFD\uFFFDb\uFFFDc\uFFFD\uFFFDd"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        EXPECT_EQ(Utf8ToUtf16(C.Utf8), C.Utf16);
        const AnsiString Valid = ValidUtf8(C.Utf8);
        EXPECT_EQ(IsValidUtf8(C.Utf8), Valid == C.Utf8);
        EXPECT_TRUE(IsValidUtf8(Valid));
        EXPECT_EQ(Utf16ToUtf8(C.Utf16), Valid) << "the repaired text is what the UTF-16 form stands for";
    }
}

TEST(TextConv, Utf16ToUtf8ReplacesUnpairedSurrogates) {
    struct Case {
        const char* Name;
        std::u16string Utf16;
        std::string Utf8;
    };
    const Case Cases[] = {
        {"pair", u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
        {"U+FFFF and NUL", std::u16string(u"\xFFFF\0", 2), std::string("\xEF\xBF\xBF\0", 4)},
        {"lone high", u"\xD800", "\xEF\xBF\xBD"},
        {"lone low", u"\xDC00", "\xEF\xBF\xBD"},
        {"high before a character", u"\xDBFF" "a", "\xEF\xBF\xBD" "a"},
        {"pair the wrong way round", u"\xDC00\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"high, then a pair", u"\xD800\xD800\xDC00", "\xEF\xBF\xBD\xF0\x90\x80\x80"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        EXPECT_EQ(Utf16ToUtf8(C.Utf16), C.Utf8);
        std::string Bytes;  // little-endian, and at an odd address
        Bytes += 'x';
        for (char16_t U : C.Utf16) {
            Bytes += static_cast<char>(U & 0xFF);
            Bytes += static_cast<char>(U >> 8);
        }
        EXPECT_EQ(Utf16LEToUtf8(reinterpret_cast<const std::uint8_t*>(Bytes.data()) + 1, C.Utf16.size()), C.Utf8);
    }
}

TEST(TextConv, Utf8PrefixLengthNeverEndsInsideACharacter) {
    const struct {
        const char* Text;
        std::size_t Max, Length;
    } Cases[] = {
        {"abc", 2, 2},
        {"ab\xC3\xA9", 3, 2},          // the byte after the cut continues the character
        {"ab\xC3\xA9", 4, 4},
        {"ab\xC3", 10, 2},              // cut before: the character is incomplete
        {"ab\xE2\x82", 10, 2},
        {"ab\xE2\x82\xAC", 10, 5},
        {"\xF0\x9F\x98\x80", 3, 0},
        {"\x80\x80", 10, 2},           // stray continuation bytes have no character to keep whole
    };
    for (const auto& C : Cases) EXPECT_EQ(Utf8PrefixLength(C.Text, C.Max), C.Length) << C.Text << " max " << C.Max;
}

}  // namespace
