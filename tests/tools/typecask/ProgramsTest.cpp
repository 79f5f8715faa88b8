// "typecask res" and "typecask inspect" on programs and libraries, as a user
// runs them: Windows modules made by MinGW, read on Linux, and ELF ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/support/Command.h"

namespace {

namespace fs = std::filesystem;

struct TResult {
    int Status;
    std::string Out;
};

TResult Typecask(const std::string& Args) {
    const auto Run = TestSupport::RunCommand(std::string(TYPECASK_EXECUTABLE) + " " + Args + " 2>&1");
    return {Run.Status, Run.Output};
}

std::string Quoted(const std::string& Path) { return "'" + Path + "'"; }

std::string FileText(const fs::path& File) {
    std::ifstream In(File, std::ios::binary);
    return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

// The lines of Text, sorted, with each FileName in them as FILE.
std::string SortedLines(const std::string& Text, const std::string& FileName) {
    std::vector<std::string> Lines;
    std::istringstream In(Text);
    for (std::string Line; std::getline(In, Line);) {
        for (auto At = Line.find(FileName); At != std::string::npos; At = Line.find(FileName))
            Line.replace(At, FileName.size(), "FILE");
        Lines.push_back(Line);
    }
    std::sort(Lines.begin(), Lines.end());
    std::string Out;
    for (const auto& L : Lines) Out += L + "\n";
    return Out;
}

const std::string ProgramFont = TEST_PROGRAMS_DIR "/sysroot/fonts/ProgramSans.ttf";

class TFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        FFolder = fs::temp_directory_path() / ("typecask-programs-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(FFolder);
        fs::create_directories(FFolder);
    }
    void TearDown() override { fs::remove_all(FFolder); }
    fs::path FFolder;
};

// Each subcommand shows a Windows module as it shows the .res image its
// script compiles to (a module lists its resources in the tree's order).
TEST(ResCommandOnModules, ShowsWhatTheResourceFileShows) {
    const std::pair<std::string, std::string> Modules[] = {
        {TEST_WIN32_BUILD "/bin/TypecaskLib.dll", TEST_WIN32_BUILD "/resources/TypecaskResources.res"},
        {TEST_WIN64_BUILD "/bin/TypecaskLib.dll", TEST_WIN64_BUILD "/resources/TypecaskResources.res"},
        {TEST_PROGRAMS_DIR "/FormProgram-i686.exe", TEST_PROGRAMS_DIR "/FormProgramResources.res"},
        {TEST_PROGRAMS_DIR "/FormProgram-x86_64.exe", TEST_PROGRAMS_DIR "/FormProgramResources.res"},
    };
    int Read = 0;
    for (const auto& [Module, Res] : Modules) {
        if (!fs::exists(Module) || !fs::exists(Res)) {
            std::cout << "not built, left out: " << Module << '\n';
            continue;
        }
        ++Read;
        for (const char* Subcommand : {"list", "strings", "version", "package"}) {
            SCOPED_TRACE(Module + " " + Subcommand);
            const auto FromModule = Typecask(std::string("res ") + Subcommand + " " + Quoted(Module));
            const auto FromRes = Typecask(std::string("res ") + Subcommand + " " + Quoted(Res));
            EXPECT_EQ(FromModule.Status, FromRes.Status) << FromModule.Out;
            EXPECT_EQ(SortedLines(FromModule.Out, Module), SortedLines(FromRes.Out, Res));
        }
    }
    if (Read == 0) GTEST_SKIP() << "no Windows module is built (the Windows presets, MinGW)";
}

class InspectPrograms : public TFolderTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(InspectPrograms, ShowsTheFormAndWritesItsFontOnce) {
    const std::string Program = GetParam();
    if (!fs::exists(Program)) GTEST_SKIP() << Program << " is not built (MinGW for the Windows programs)";
    const std::string Written = (FFolder / "Program Sans.ttf").string();
    const auto First = Typecask("inspect " + Quoted(Program) + " --fonts-to " + Quoted(FFolder.string()));
    EXPECT_EQ(First.Status, 0) << First.Out;
    for (const std::string& Line : std::vector<std::string>{"form TFORM1 (language 0409): Form1: TForm1\n", "  Typecask1: TTypecask\n",
          "    TypecaskName.TTFontName = 'Program Sans'\n", "    family declared by the font file: Program Sans\n",
          "written: " + Written + " ("})
        EXPECT_NE(First.Out.find(Line), std::string::npos) << Line << "\n" << First.Out;
    EXPECT_EQ(FileText(Written), FileText(ProgramFont));

    // Never over an existing file: refused, and the file stays as it was.
    std::ofstream(Written, std::ios::trunc) << "someone's own";
    const auto Again = Typecask("inspect " + Quoted(Program) + " --fonts-to " + Quoted(FFolder.string()));
    EXPECT_EQ(Again.Status, 1) << Again.Out;
    EXPECT_NE(Again.Out.find(Written + " exists already: not replaced"), std::string::npos) << Again.Out;
    EXPECT_EQ(FileText(Written), "someone's own");
}

INSTANTIATE_TEST_SUITE_P(Real, InspectPrograms,
                         ::testing::Values(TEST_PROGRAMS_DIR "/FormProgram-i686.exe",
                                           TEST_PROGRAMS_DIR "/FormProgram-x86_64.exe",
                                           TEST_PROGRAMS_DIR "/FormProgram"));

TEST(InspectModules, ListsTheFormsOfALibraryWithoutTypecask) {
    for (const std::string& Module :
         std::vector<std::string>{TEST_PACKAGE_MODULE, TEST_WIN32_BUILD "/bin/TypecaskLib.dll"}) {
        if (!fs::exists(Module)) continue;
        SCOPED_TRACE(Module);
        const auto Run = Typecask("inspect " + Quoted(Module));
        EXPECT_EQ(Run.Status, 0);
        EXPECT_EQ(
            Run.Out,
            "form TFORMABOUT (language 0409): FormAbout: TFormAbout\n  no TTypecask\n"
            "form TFORMSUBSETRANGES (language 0409): FormSubsetRanges: TFormSubsetRanges\n  no TTypecask\n"
            "form TFORMTYPECASKEDITOR (language 0409): FormTypecaskEditor: TFormTypecaskEditor\n  no TTypecask\n");
    }
}

class DamagedPrograms : public TFolderTest {};

// Both commands refuse a damaged module with the reader's message and the
// status 1: no crash, no hang.
TEST_F(DamagedPrograms, AreRefusedWithStatusOne) {
    const std::string Good = FileText(TEST_PE_SEEDS "/FormProgram-x86_64.exe");
    ASSERT_GT(Good.size(), 1024u);
    const std::string Cut = (FFolder / "cut.exe").string();
    std::ofstream(Cut, std::ios::binary) << Good.substr(0, Good.size() / 2);
    const std::string DosStub = (FFolder / "dos.exe").string();
    std::ofstream(DosStub, std::ios::binary) << Good.substr(0, 0x40);
    for (const auto& [File, Fault] : {std::pair<std::string, std::string>{Cut, "section data beyond the end of the file"},
                                      {DosStub, "PE header beyond the end of the file"}})
        for (const char* Command : {"res list", "inspect"}) {
            SCOPED_TRACE(std::string(Command) + " " + File);
            const auto Run = Typecask(std::string(Command) + " " + Quoted(File));
            EXPECT_EQ(Run.Status, 1);
            EXPECT_NE(Run.Out.find(File + ": malformed PE file at offset "), std::string::npos) << Run.Out;
            EXPECT_NE(Run.Out.find(Fault), std::string::npos) << Run.Out;
        }
}

}  // namespace
