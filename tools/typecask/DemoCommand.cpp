// typecask demo: the whole road of one font, on a generated sample font, in
// two fresh sandboxes that stand for the developer's and the user's machine.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <random>

#include "Typecask/component/Typecask.h"
#include "platform/Forms.h"
#include "platform/os/SysRoot.h"
#include "tools/fontgen/FontGen.h"
#include "tools/typecask/Command.h"
#include "tools/typecask/Road.h"

namespace Tool {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* DemoFamily = "Typecask Demo";

double Milliseconds(Clock::time_point Since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - Since).count();
}

// A new, empty folder under the system's temporary directory.
fs::path NewWorkFolder() {
    std::random_device Random;
    for (int Try = 0; Try < 100; ++Try) {
        const fs::path Candidate = fs::temp_directory_path() / ("typecask-demo-" + std::to_string(Random()));
        if (fs::create_directory(Candidate)) return Candidate;
    }
    throw Exception("Cannot create a work folder in " + fs::temp_directory_path().string());
}

// Switches the OS services to a sandbox for as long as the object lives.
struct TSandboxSwitch {
    explicit TSandboxSwitch(const fs::path& Root) { Os::UseSysRoot(Root.string()); }
    ~TSandboxSwitch() { Os::UseSysRoot(Previous); }
    AnsiString Previous = Os::GetSystemPaths().SysRoot;
};

bool Enumerated(const AnsiString& Family) {
    TStringList List;
    GetTrueTypeFamilies(&List);
    return List.IndexOf(Family) >= 0;
}

void Step(int Number, const std::string& Text) { std::cout << "\n" << Number << ". " << Text << '\n'; }

int RunDemo(TArgs& Args) {
    const std::string OutOption = Args.Option("--out");
    const bool Keep = Args.Flag("--keep");
    Args.Positional(0);
    // The two machines are sandboxes; where the registry and the font table
    // are the system's, they would be the user's own.
    if (!Os::SysRootIsolates())
        throw Exception("demo: this system has one registry and one font table for every program, so the demo's "
                        "two sandboxed machines cannot exist here; run \"typecask embed\" and \"typecask load\" "
                        "instead");
    const fs::path Out = fs::absolute(OutOption.empty() ? "typecask-demo" : OutOption);
    fs::create_directories(Out);
    const fs::path Work = NewWorkFolder();
    struct TCleanup {
        fs::path Folder;
        bool Keep;
        ~TCleanup() {
            std::error_code Ec;
            if (!Keep) fs::remove_all(Folder, Ec);
        }
    } Cleanup{Work, Keep};

    std::cout << "The road of one font, from the developer's machine to the user's.\n"
              << "Sandboxes (private registry, fonts, temporary folder and font configuration) under " << Work.string()
              << "\nResults in " << Out.string() << '\n';

    const fs::path FormFile = Out / "Form1.dfm";
    const fs::path TextFile = Out / "Form1.txt";
    const fs::path SampleFile = Out / "sample.png";
    std::int64_t FontSize = 0;

    {
        TSandboxSwitch Designer(Work / "developer");
        Step(1, "Developer's machine: a sample font is installed");
        FontGen::TFontDesign FontDesign;
        FontDesign.FamilyName = DemoFamily;
        FontDesign.UnitsPerEm = 2048;
        FontDesign.Ascender = 1700;
        FontDesign.Descender = -400;
        const AnsiString FontFile = Os::GetSystemPaths().UserFontsFolder + "/TypecaskDemo.ttf";
        fs::create_directories(fs::path(FontFile).parent_path());
        FontGen::WriteTrueTypeFont(FontDesign, FontFile);
        Os::RefreshFontConfiguration();
        FontSize = static_cast<std::int64_t>(fs::file_size(FontFile));
        std::cout << "   " << FontFile << " (" << FormatSize(FontSize) << "), family \"" << DemoFamily
                  << "\" installed: " << (Enumerated(DemoFamily) ? "yes" : "no") << '\n';

        Step(2, "Designer: a TTypecask on a form, the family chosen, the form saved");
        auto Start = Clock::now();
        TDataModule Form(nullptr, 0);
        Form.SetName("Form1");
        Form.SetDesigning(true);
        auto* Typecask = new TTypecask(&Form);
        Typecask->SetName("Typecask1");
        Typecask->SetInstallPermanently(false);
        TTypecaskName Choice(nullptr);
        Choice.SetTTFontName(DemoFamily);
        Typecask->SetTypecaskName(&Choice);
        std::printf("   font file found through the registry and loaded: %s in %.1f ms\n",
                    FormatSize(Typecask->GetFontData()->GetSize()).c_str(), Milliseconds(Start));
        Start = Clock::now();
        {
            TOutput Binary(FormFile.string());
            WriteForm(&Form, Binary.Stream(), false);
            Binary.Commit();
            TOutput Text(TextFile.string());
            WriteForm(&Form, Text.Stream(), true);
            Text.Commit();
        }
        const auto FormSize = static_cast<std::int64_t>(fs::file_size(FormFile));
        std::printf("   form data written in %.1f ms: %s (%s as text)\n", Milliseconds(Start),
                    FormatSize(FormSize).c_str(), FormatSize(static_cast<std::int64_t>(fs::file_size(TextFile))).c_str());
        std::cout << "   " << FormFile.string() << "\n   " << TextFile.string() << '\n';
    }

    {
        TSandboxSwitch User(Work / "user");
        Step(3, "User's machine: the family is not installed");
        std::cout << "   \"" << DemoFamily << "\" installed: " << (Enumerated(DemoFamily) ? "yes" : "no") << '\n';

        Step(4, "Application: the form is read, Loaded installs the font for the run");
        auto Start = Clock::now();
        auto Form = std::make_unique<TDataModule>(nullptr, 0);
        {
            auto Input = OpenInput(FormFile.string());
            ReadForm(Input.get(), Form.get());
        }
        TTypecask* Typecask = FindTypecask(Form.get());
        if (!Typecask || !Typecask->GetFontAdded()) throw Exception("The demo font was not installed");
        const AnsiString Path = Typecask->GetFontFilePath();
        std::printf("   read, restored (%s) and installed in %.1f ms\n",
                    FormatSize(Typecask->GetFontData()->GetSize()).c_str(), Milliseconds(Start));
        std::cout << "   temporary font file: " << Path << "\n   \"" << DemoFamily
                  << "\" installed: " << (Enumerated(DemoFamily) ? "yes" : "no") << '\n';

        Step(5, "Application: a line of text drawn in the embedded family");
        RenderSample(DemoFamily, SampleFile.string());
        std::cout << "   " << SampleFile.string() << '\n';

        Step(6, "Application ends: the form is destroyed and the temporary installation removed");
        Form.reset();
        const bool FileGone = !fs::exists(Path);
        const bool FamilyGone = !Enumerated(DemoFamily);
        std::cout << "   font file removed: " << (FileGone ? "yes" : "NO") << "\n   \"" << DemoFamily
                  << "\" installed: " << (FamilyGone ? "no" : "YES") << '\n';
        if (!FileGone || !FamilyGone) throw Exception("The temporary installation was not removed");
    }
    std::cout << "\nDone: " << FormatSize(FontSize) << " of font travelled in " << FormatSize(
                     static_cast<std::int64_t>(fs::file_size(FormFile)))
              << " of form data and was installed and removed again.\n";
    if (Keep) std::cout << "Sandboxes kept in " << Work.string() << '\n';
    return 0;
}

const TCommandRegistration DemoCommand(
    {"demo", "the whole road of one font, in fresh sandboxes",
     "Usage: typecask demo [--out DIR] [--keep]\n"
     "Shows the whole road of one font on a generated sample font: installed on\n"
     "a developer's machine, chosen in the designer and saved into form data,\n"
     "then read by an application on a user's machine that lacks the font,\n"
     "installed for the run, used to draw text, and removed again. Both machines\n"
     "are fresh sandboxes that are deleted afterwards; nothing outside them is\n"
     "touched.\n\n"
     "  --out DIR  where the form data and the sample picture go (./typecask-demo)\n"
     "  --keep     keep the sandboxes for a look inside\n",
     RunDemo});

}  // namespace

}  // namespace Tool
