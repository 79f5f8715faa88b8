#include <gtest/gtest.h>

#include "platform/SysUtils.h"

namespace {

struct FormatCase {
    const char* Fmt;
    std::vector<TVarRec> Args;
    const char* Expected;
};

TEST(Format, Specifiers) {
    const FormatCase Cases[] = {
        {"Not enough memory to allocate %d bytes", {512}, "Not enough memory to allocate 512 bytes"},
        {"Font file (%s) not found", {"/a/b.ttf"}, "Font file (/a/b.ttf) not found"},
        {"%d%%", {-7}, "-7%"},
        {"[%5d|%-5d]", {42, 42}, "[   42|42   ]"},
        {"%.3d", {5}, "005"},
        {"%x", {255}, "FF"},
        {"%.4x", {10}, "000A"},
        {"%u", {-1}, "4294967295"},
        {"%s and %s", {"a", AnsiString("b")}, "a and b"},
        {"%1:s %0:s %s", {"x", "y"}, "y x y"},
        {"%*d", {4, 3}, "   3"},
        {"%.2s", {"abc"}, "ab"},
        {"%c", {'q'}, "q"},
        {"%s", {Variant(12)}, "12"},
        {"%d", {Variant("34")}, "34"},
        {"no placeholders", {}, "no placeholders"},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(Format(C.Fmt, C.Args.data(), C.Args.size()), C.Expected) << C.Fmt;
}

TEST(Format, MismatchesRaiseConvertError) {
    const FormatCase Cases[] = {
        {"%d", {"text"}, ""},
        {"%s", {1}, ""},
        {"%d", {}, ""},
        {"%d", {Variant("x1")}, ""},
        {"%q", {1}, ""},
        {"trailing %", {}, ""},
    };
    for (const auto& C : Cases)
        EXPECT_THROW(Format(C.Fmt, C.Args.data(), C.Args.size()), EConvertError) << C.Fmt;
}

TEST(Exception, ResourceStringsComeFromTheNewestSourceThatHasThem) {
    const int Older = AddResStringSource([](int Id) -> std::optional<AnsiString> {
        if (Id == 90001) return "older %d";
        if (Id == 90002) return "only older";
        return std::nullopt;
    });
    const int Newer = AddResStringSource([](int Id) -> std::optional<AnsiString> {
        if (Id == 90001) return "newer %d";
        return std::nullopt;
    });
    EXPECT_EQ(Exception(90001, {3}).GetMessage(), "newer 3");
    EXPECT_EQ(Exception(90002).GetMessage(), "only older");
    EXPECT_EQ(LoadStr(90003), "");
    RemoveResStringSource(Newer);
    EXPECT_EQ(LoadStr(90001), "older %d");
    RemoveResStringSource(Older);
    EXPECT_EQ(LoadStr(90001), "");
}

TEST(SysUtils, AnsiLastCharStepsOverMultiByteCharacters) {
    EXPECT_EQ(AnsiLastChar(""), nullptr);
    const AnsiString Ascii = "C:/Fonts/";
    EXPECT_EQ(*AnsiLastChar(Ascii), '/');
    const AnsiString Utf8 = "Fonts\xC3\xA9";  // ends in a two-byte character
    EXPECT_EQ(AnsiLastChar(Utf8), Utf8.data() + 5);
    const AnsiString Delimited = AnsiString("a") + PathDelim;  // "a/", on Windows "a\\"
    EXPECT_EQ(IncludeTrailingPathDelimiter("a"), Delimited);
    EXPECT_EQ(IncludeTrailingPathDelimiter(Delimited), Delimited);
}

// Names fold the ASCII letters alone; a byte past 0x7F is itself in any case
// and orders as an unsigned byte.
TEST(SysUtils, LetterCaseOfNamesAndHexDigits) {
    EXPECT_TRUE(SameText("Form1", "fORM1"));
    EXPECT_FALSE(SameText("Form1", "Form"));
    EXPECT_FALSE(SameText("\xC3\xA9", "\xC3\x89"));  // é and É
    EXPECT_EQ(UpperCase("tTypecask_\xC3\xA9"), "TTYPECASK_\xC3\xA9");
    EXPECT_EQ(LowerCase("A-Z[@]"), "a-z[@]");
    EXPECT_LT(CompareText("apple", "BANANA"), 0);
    EXPECT_GT(CompareText("ab", "A"), 0);
    EXPECT_LT(CompareText("_", "a"), 0);  // '_' lies between the upper and the lower letters
    EXPECT_LT(CompareText("z", "\xC3\xA9"), 0);
    const unsigned char Bytes[] = {0x00, 0x0F, 0xA5, 0xFF};
    EXPECT_EQ(BytesToHex(Bytes, sizeof Bytes), "000FA5FF");
    EXPECT_EQ(BytesToHex(Bytes, 0), "");
}

}  // namespace
