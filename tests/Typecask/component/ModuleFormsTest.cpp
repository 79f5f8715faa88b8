// The forms of module files that are not loaded, and the fonts their
// TTypecask components carry: real programs and libraries of both systems.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "Typecask/component/FormFonts.h"

namespace {

std::vector<std::uint8_t> FileBytes(const std::string& FileName) {
    std::ifstream In(FileName, std::ios::binary);
    return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

struct TModuleCase {
    const char* File;
    std::vector<std::string> Forms;  // "RESOURCE Name: Class"
    bool CarriesTheFont;             // the form's TTypecask carries ProgramSans.ttf
};

class ModuleForms : public ::testing::TestWithParam<TModuleCase> {};

TEST_P(ModuleForms, ListEachFormAndTheFontItsTypecaskCarries) {
    const auto& Case = GetParam();
    if (!std::filesystem::exists(Case.File))
        GTEST_SKIP() << Case.File << " is not built (a Windows preset, or MinGW for the test programs)";
    const auto Module = SummarizeModuleForms(Case.File);
    std::vector<std::string> Forms;
    for (const auto& F : Module.Forms) {
        Forms.push_back(F.Form.Resource.ToString() + " " + F.Form.Name + ": " + F.Form.ClassName);
        EXPECT_EQ(F.Error, "");
    }
    EXPECT_EQ(Forms, Case.Forms);
    if (!Case.CarriesTheFont) {
        for (const auto& F : Module.Forms) EXPECT_TRUE(F.Typecasks.empty()) << F.Form.Name;
        return;
    }
    ASSERT_EQ(Module.Forms.size(), 1u);
    ASSERT_EQ(Module.Forms[0].Typecasks.size(), 1u);
    const auto& T = Module.Forms[0].Typecasks[0];
    EXPECT_EQ(T.Name, "Typecask1");
    EXPECT_EQ(T.FamilyName, "Program Sans");
    EXPECT_EQ(T.DeclaredFamilies, std::vector<AnsiString>{"Program Sans"});
    EXPECT_EQ(T.DataError, "");
    EXPECT_EQ(T.Font, FileBytes(TEST_PROGRAMS_DIR "/sysroot/fonts/ProgramSans.ttf"));
    EXPECT_EQ(T.FontSize, static_cast<std::int64_t>(T.Font.size()));
    EXPECT_LT(T.CompressedSize, T.FontSize);
}

const std::vector<std::string> PackageForms = {"TFORMABOUT FormAbout: TFormAbout",
                                               "TFORMSUBSETRANGES FormSubsetRanges: TFormSubsetRanges",
                                               "TFORMTYPECASKEDITOR FormTypecaskEditor: TFormTypecaskEditor"};
const std::vector<std::string> ProgramForms = {"TFORM1 Form1: TForm1"};

std::vector<TModuleCase> Modules() {
    std::vector<TModuleCase> Cases = {
        {TEST_PROGRAMS_DIR "/FormProgram-i686.exe", ProgramForms, true},
        {TEST_PROGRAMS_DIR "/FormProgram-x86_64.exe", ProgramForms, true},
        {TEST_WIN32_BUILD "/bin/TypecaskLib.dll", PackageForms, false},
        {TEST_WIN64_BUILD "/bin/TypecaskLib.dll", PackageForms, false},
        {TEST_PACKAGE_MODULE, PackageForms, false},
    };
#ifndef _WIN32
    Cases.push_back({TEST_PROGRAMS_DIR "/FormProgram", ProgramForms, true});  // an ELF program
#endif
    return Cases;
}

INSTANTIATE_TEST_SUITE_P(Real, ModuleForms, ::testing::ValuesIn(Modules()));

}  // namespace
