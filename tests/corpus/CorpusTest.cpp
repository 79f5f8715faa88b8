// The fonts of an ordinary desktop: every family that the picker lists can
// be embedded, and its form data carries the very file that declares it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Typecask/component/Typecask.h"
#include "platform/os/Windows.h"
#include "tests/Typecask/component/ComponentTestSupport.h"
#include "tests/support/Sandbox.h"

namespace {

using namespace ComponentTest;
using TestSupport::TSandbox;
namespace fs = std::filesystem;

// Where the packages of scripts/install-deps put their fonts. The CFF font
// of font-awesome comes along: it is no TrueType font and stays off the list.
const char* const CorpusFolders[] = {
    "/usr/share/fonts/truetype/noto",        "/usr/share/fonts/truetype/arphic",
    "/usr/share/fonts/truetype/wqy",         "/usr/share/fonts/truetype/liberation2",
    "/usr/share/fonts/truetype/dejavu",      "/usr/share/fonts/truetype/freefont",
    "/usr/share/fonts/truetype/font-awesome", "/usr/share/fonts/opentype/font-awesome",
};


// What fontconfig's own scanner, another program, says each font file of
// Folder declares: file -> face names of its families, in lower case.
std::map<std::string, std::set<std::string>> ScanFamilies(const std::string& Folder) {
    std::map<std::string, std::set<std::string>> Files;
    const std::string Command = "fc-scan --format '%{file}\\t%{family}\\n' '" + Folder + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> Pipe(::popen(Command.c_str(), "r"), ::pclose);
    if (!Pipe) return Files;
    char Line[4096];
    while (std::fgets(Line, sizeof Line, Pipe.get())) {
        std::string Text(Line);
        if (!Text.empty() && Text.back() == '\n') Text.pop_back();
        const auto Tab = Text.find('\t');
        if (Tab == std::string::npos) continue;
        auto& Families = Files[Text.substr(0, Tab)];
        for (std::size_t Start = Tab + 1; Start <= Text.size();) {
            std::size_t End = Text.find(',', Start);
            if (End == std::string::npos) End = Text.size();
            Families.insert(LowerCase(Os::GetFaceName(Text.substr(Start, End - Start))));
            Start = End + 1;
        }
    }
    return Files;
}

struct TSample {
    std::string Family;
    std::string Form;
    std::string Font;
};

TEST(Corpus, EveryListedFamilyEmbedsAndTravelsIntact) {
    std::vector<fs::path> Sources;
    for (const char* Folder : CorpusFolders) {
        std::error_code Ec;
        for (const auto& E : fs::directory_iterator(Folder, Ec))
            if (E.is_regular_file()) Sources.push_back(E.path());
    }
    if (Sources.empty()) GTEST_SKIP() << "no corpus fonts; scripts/install-deps installs them";

    TSandbox Box;
    const std::string Fonts = Box.Paths().UserFontsFolder;
    fs::create_directories(Fonts);
    for (const auto& Source : Sources)
        ASSERT_TRUE(fs::copy_file(Source, Fonts + "/" + Source.filename().string())) << Source << ": a name twice";
    Os::RefreshFontConfiguration();

    const auto Declared = ScanFamilies(Fonts);
    ASSERT_FALSE(Declared.empty()) << "fc-scan found no fonts";
    std::multimap<std::uintmax_t, std::string> BySize;
    for (const auto& [File, Families] : Declared) BySize.emplace(fs::file_size(File), File);

    const auto Listed = Families();
    ASSERT_GT(Listed.size(), Sources.size() / 3) << "the corpus's families are listed";
    std::vector<std::string> Failures;
    std::vector<TSample> Samples;
    TSample Largest;
    for (std::size_t I = 0; I < Listed.size(); ++I) {
        const std::string& Family = Listed[I];
        TSample Sample{Family, {}, {}};
        try {
            // The designer's road: the family chosen, the form saved.
            TForm Design(true);
            TTypecask* T = Design.Add();
            TTypecaskName Choice(nullptr);
            Choice.SetTTFontName(Family);
            T->SetTypecaskName(&Choice);
            TMemoryStream Data;
            SaveForm(Design.Root, Data);
            Sample.Form = StreamBytes(&Data);

            // The application's road on this machine: the bytes restored,
            // nothing installed, as the family is there already.
            TForm Run(false);
            LoadForm(Data, Run.Root);
            auto* Loaded = dynamic_cast<TTypecask*>(Run.Root->Components(0));
            ASSERT_NE(Loaded, nullptr);
            if (Loaded->GetFontAdded()) Failures.push_back(Family + ": installed again where it is installed");
            Sample.Font = StreamBytes(Loaded->GetFontData());
        } catch (const Exception& E) {
            Failures.push_back(Family + ": " + E.GetMessage());
            continue;
        }
        bool Carried = false;
        const auto [From, To] = BySize.equal_range(Sample.Font.size());
        for (auto It = From; It != To && !Carried; ++It)
            Carried = Declared.at(It->second).contains(LowerCase(Family)) && ReadFileBytes(It->second) == Sample.Font;
        if (!Carried) Failures.push_back(Family + ": the stored bytes are no file that declares the family");
        // Loaded again on fresh machines: every tenth family, the names cut
        // to the face-name limit, and the largest font.
        if (Sample.Font.size() >= Largest.Font.size()) Largest = Sample;
        if (I % 10 == 0 || Family.size() >= 29) Samples.push_back(std::move(Sample));
    }
    EXPECT_EQ(Failures, std::vector<std::string>{}) << Failures.size() << " of " << Listed.size() << " families";
    Samples.push_back(std::move(Largest));

    for (const auto& S : Samples) {
        TSandbox Fresh;
        ASSERT_FALSE(HasFamily(S.Family));
        TForm Run(false);
        TMemoryStream Data;
        Data.WriteBuffer(S.Form.data(), static_cast<std::int64_t>(S.Form.size()));
        LoadForm(Data, Run.Root);
        auto* T = dynamic_cast<TTypecask*>(Run.Root->Components(0));
        ASSERT_NE(T, nullptr);
        EXPECT_TRUE(T->GetFontAdded()) << S.Family;
        EXPECT_TRUE(HasFamily(S.Family)) << S.Family << " is installed";
        EXPECT_TRUE(ReadFileBytes(T->GetFontFilePath()) == S.Font) << S.Family << ": the installed file";
        const auto Written = ScanFamilies(Fresh.Paths().UserFontsFolder);
        EXPECT_TRUE(Written.contains(T->GetFontFilePath()) && Written.at(T->GetFontFilePath()).contains(LowerCase(S.Family)))
            << S.Family << ": another program sees the installed family";
    }
}

}  // namespace
