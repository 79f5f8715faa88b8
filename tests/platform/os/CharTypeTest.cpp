// The classes of characters, which the Windows build takes from the system:
// the same table holds for both.
#include <gtest/gtest.h>

#include "platform/os/Windows.h"

namespace {

TEST(CharType, ClassesOfLettersMarksAndSymbols) {
    const struct {
        char32_t Char;
        WORD Type1;  // the bits that must be set
        WORD NotType1;
        WORD Type3;
    } Cases[] = {
        {U'A', C1_UPPER | C1_ALPHA | C1_DEFINED, C1_SPACE, 0},
        {U'\u0436', C1_LOWER | C1_ALPHA | C1_DEFINED, C1_PUNCT, 0},
        {U' ', C1_SPACE | C1_BLANK | C1_DEFINED, C1_ALPHA, 0},
        {U'\u0301', C1_DEFINED, C1_SPACE, C3_NONSPACING},
        {U'\uE000', C1_PUNCT | C1_DEFINED, C1_ALPHA, 0},
        {U'\x07', C1_CNTRL | C1_DEFINED, C1_ALPHA, 0},
    };
    for (const auto& C : Cases) {
        const WORD T1 = Os::GetCharTypeW(CT_CTYPE1, C.Char);
        EXPECT_EQ(T1 & C.Type1, C.Type1) << std::hex << static_cast<unsigned>(C.Char);
        EXPECT_EQ(T1 & C.NotType1, 0) << std::hex << static_cast<unsigned>(C.Char);
        EXPECT_EQ(Os::GetCharTypeW(CT_CTYPE3, C.Char), C.Type3) << std::hex << static_cast<unsigned>(C.Char);
    }
}

}  // namespace
