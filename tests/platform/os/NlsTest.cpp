// Comparing texts by the user's collation and classifying characters.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <optional>
#include <string>

#include "platform/os/Windows.h"

namespace {

// Sets an environment variable for the length of a scope.
class TEnvironment {
public:
    TEnvironment(const char* Name, const char* Value) : FName(Name) {
        if (const char* Old = std::getenv(Name)) FOld = Old;
        ::setenv(Name, Value, 1);
    }
    ~TEnvironment() {
        if (FOld) ::setenv(FName, FOld->c_str(), 1);
        else ::unsetenv(FName);
    }

private:
    const char* FName;
    std::optional<std::string> FOld;
};

int Compare(const std::string& A, const std::string& B, DWORD Flags) {
    return CompareStringA(LOCALE_USER_DEFAULT, Flags, A.c_str(), -1, B.c_str(), -1);
}

// The C locale orders by code point; the texts then take the language-neutral
// order of letters. The same answers hold for a language's locale where one
// is installed.
TEST(CompareString, AccentsSortBesideTheirLettersAndCaseFolds) {
    const struct {
        const char* A;
        const char* B;
        DWORD Flags;
        int Expected;
    } Cases[] = {
        {"\xC3\x89migr\xC3\xA9", "Zulu", NORM_IGNORECASE, CSTR_LESS_THAN},
        {"Eagle", "\xC3\x89migr\xC3\xA9", NORM_IGNORECASE, CSTR_LESS_THAN},
        {"\xC3\x89migr\xC3\xA9", "Emz", NORM_IGNORECASE, CSTR_LESS_THAN},
        {"e", "\xC3\xA9", NORM_IGNORECASE, CSTR_LESS_THAN},
        {"\xC3\xA9", "f", 0, CSTR_LESS_THAN},
        {"\xC3\xA9migr\xC3\xA9", "\xC3\x89MIGR\xC3\x89", NORM_IGNORECASE, CSTR_EQUAL},
        {"abc", "ABD", NORM_IGNORECASE, CSTR_LESS_THAN},
        {"Sans", "sans mono", NORM_IGNORECASE, CSTR_LESS_THAN},
        {"\xC5\x81\xC3\xB3" "d\xC5\xBA", "Lodz", NORM_IGNORECASE, CSTR_GREATER_THAN},
        {"\xCE\xB1", "\xCE\x91", NORM_IGNORECASE, CSTR_EQUAL},
        {"same", "same", 0, CSTR_EQUAL},
    };
    for (const char* Locale : {"C", "en_US.UTF-8", "fr_FR.UTF-8"}) {
        TEnvironment All("LC_ALL", Locale);
        if (std::string(Locale) != "C") {
            const locale_t Installed = ::newlocale(LC_COLLATE_MASK, Locale, static_cast<locale_t>(nullptr));
            if (!Installed) continue;
            ::freelocale(Installed);
        }
        for (const auto& C : Cases)
            EXPECT_EQ(Compare(C.A, C.B, C.Flags), C.Expected) << Locale << ": " << C.A << " / " << C.B;
    }
    EXPECT_EQ(CompareStringA(0x0409, 0, "a", -1, "b", -1), 0) << "only the user's locale is known";
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, "ab", 1, "a", -1), CSTR_EQUAL) << "counted lengths";
}

}  // namespace
