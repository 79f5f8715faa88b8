// The commands of the font road: list the families, embed one into form
// data, look into such form data, load it as an application would, and show
// the package's version values.
#include <chrono>
#include <cstdio>
#include <iostream>

#include "Typecask/component/Typecask.h"
#include "platform/Forms.h"
#include "platform/Registry.h"
#include "platform/os/Windows.h"
#include "tools/typecask/Command.h"
#include "tools/typecask/DesignerHost.h"
#include "tools/typecask/Road.h"

namespace Tool {

namespace {

int Families(TArgs& Args) {
    Args.Positional(0);
    TStringList List;
    GetTrueTypeFamilies(&List);
    for (int I = 0; I < List.Count(); ++I) std::cout << List[I] << '\n';
    return 0;
}

int Embed(TArgs& Args) {
    const std::string Output = Args.Option("--output", "-o");
    const bool Text = Args.Flag("--text");
    const bool Temporary = Args.Flag("--temporary");
    const auto Words = Args.Positional(1);
    if (Output.empty()) throw EUsage("missing -o FORM.dfm");

    // The designer's road: a new form, TTypecask dropped from the palette,
    // InstallPermanently set in the object inspector and the family chosen
    // through TypecaskName's editor, as the picker's OK hands it over.
    RegisterPackage();
    auto Host = TDesignerHost::NewForm(FindPaletteClass(TTypecask::StaticClassName()));
    auto* Typecask = static_cast<TTypecask*>(Host->Root()->Components(0));
    Host->Designer().GetPropertyEditor(Typecask, "InstallPermanently")->SetValue(Temporary ? "False" : "True");
    TTypecaskName Choice(nullptr);
    Choice.SetTTFontName(Words[0]);
    Host->Designer().GetPropertyEditor(Typecask, FontNamePropName)->SetOrdValue(reinterpret_cast<std::intptr_t>(&Choice));

    TOutput Out(Output);
    Host->Designer().WriteForm(Out.Stream(), Text ? TFormDataFormat::Text : TFormDataFormat::Binary);
    Out.Commit();
    if (Output != "-")
        std::cerr << "embedded " << Typecask->GetTypecaskName()->GetTTFontName() << " ("
                  << FormatSize(Typecask->GetFontData()->GetSize()) << ") into " << Output << '\n';
    return 0;
}

int Inspect(TArgs& Args) {
    const auto Words = Args.Positional(1);
    auto Input = OpenInput(Words[0]);
    const auto Components = SummarizeForm(Input.get());
    if (Components.empty()) throw Exception("No TTypecask in " + Words[0]);
    bool Unrestorable = false;
    for (const auto& C : Components) {
        std::cout << C.Name << ": TTypecask\n";
        for (const auto& [Name, Value] : C.Properties) std::cout << "  " << Name << " = " << Value << '\n';
        if (!C.HasFontData) {
            std::cout << "  no font data\n";
            continue;
        }
        const double Ratio = C.FontSize ? static_cast<double>(C.CompressedSize) / static_cast<double>(C.FontSize) : 0;
        std::printf("  font data: %s compressed, %s uncompressed (%.1f%%)\n", FormatSize(C.CompressedSize).c_str(),
                    FormatSize(C.FontSize).c_str(), Ratio * 100);
        if (!C.DataError.empty()) {
            std::cout << "  font data cannot be restored: " << C.DataError << '\n';
            Unrestorable = true;
            continue;
        }
        if (C.DeclaredFamilies.empty()) {
            std::cout << "  warning: the font data is no font this system can read\n";
            continue;
        }
        for (const auto& F : C.DeclaredFamilies) std::cout << "  family declared by the font file: " << F << '\n';
        std::cout << "  licence: " << Os::EmbeddingPermissionName(C.Embedding.Permission)
                  << (C.Embedding.NoSubsetting ? ", no subsetting" : ", subsetting allowed") << '\n';
        bool Matches = false;
        // The font table reports names cut to the face-name limit; so does
        // the installation's test.
        for (const auto& F : C.DeclaredFamilies)
            Matches |= AnsiSameText(Os::GetFaceName(F), Os::GetFaceName(C.FamilyName));
        if (!Matches)
            std::cout << "  warning: the font file declares another family than TTFontName \"" << C.FamilyName
                      << "\": the installed font is never found under that name, so every run installs it again\n";
    }
    return Unrestorable ? 1 : 0;
}

int Load(TArgs& Args) {
    const std::string Sample = Args.Option("--sample");
    const auto Words = Args.Positional(1);
    auto Input = OpenInput(Words[0]);

    // As an application does: the form is read at run time; Loaded installs.
    auto Form = std::make_unique<TDataModule>(nullptr, 0);
    const auto Start = std::chrono::steady_clock::now();
    ReadForm(Input.get(), Form.get());
    const auto Took = std::chrono::steady_clock::now() - Start;
    TTypecask* Typecask = FindTypecask(Form.get());
    if (!Typecask) throw Exception("No TTypecask in " + Words[0]);

    const AnsiString Family = Typecask->GetTypecaskName()->GetTTFontName();
    std::printf("read %s in %.1f ms\n", Words[0].c_str(),
                std::chrono::duration<double, std::milli>(Took).count());
    std::cout << "family: " << Family << '\n';
    if (!Typecask->GetFontData()) {
        std::cout << "no font data: nothing installed\n";
    } else if (!Typecask->GetFontAdded()) {
        std::cout << "already installed: nothing written\n";
    } else {
        const TInstallationKind Kind = Typecask->GetInstallationKind();
        const bool Permanent = Kind != ikTemporary;
        std::cout << (Permanent ? "installed permanently: " : "installed temporarily: ") << Typecask->GetFontFilePath()
                  << " (" << FormatSize(Typecask->GetFontData()->GetSize()) << ")\n";
        std::cout << "installation: "
                  << (Kind == ikMachineWide ? "machine-wide" : Kind == ikPerUser ? "per user" : "temporary") << '\n';
        if (Permanent) {
            const HKEY Root = Kind == ikPerUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
            TRegIniFile Registry("");
            Registry.SetRootKey(Root);
            const AnsiString Name = Family + TrueTypeSuffix;
            std::cout << "registry: " << Os::RegRootKeyName(Root) << GetFontsKey() << "\\" << Name << " = "
                      << Registry.ReadString(GetFontsKey(), Name, "") << '\n';
        }
    }
    {
        TStringList Families;
        GetTrueTypeFamilies(&Families);
        std::cout << "family enumerated: " << (Families.IndexOf(Family) >= 0 ? "yes" : "no") << '\n';
    }
    if (!Sample.empty()) {
        RenderSample(Family, Sample);
        std::cout << "sample: " << Sample << '\n';
    }
    const bool Temporary = Typecask->GetInstallationKind() == ikTemporary;
    const AnsiString Path = Typecask->GetFontFilePath();
    Form.reset();
    if (Temporary) {
        TStringList Families;
        GetTrueTypeFamilies(&Families);
        const bool FileLeft = FileExists(Path);
        const bool FamilyLeft = Families.IndexOf(Family) >= 0;
        std::cout << "removed: " << Path << (FileLeft ? " (the file is still there)" : "")
                  << (FamilyLeft ? " (the family is still enumerated)" : "") << '\n';
        if (FileLeft || FamilyLeft) return 1;
    }
    return 0;
}

int About(TArgs& Args) {
    Args.Positional(0);
    TVersionInfo Info;
    static const char* const Names[] = {"CompanyName",      "FileDescription", "FileVersion", "InternalName",
                                        "LegalCopyright",   "LegalTrademarks", "Author",      "OriginalFilename",
                                        "ProductName",      "ProductVersion",  "Comments",    "BuildFlags"};
    for (int I = 0; I < TVersionInfo::VersionFieldCount; ++I)
        std::printf("%-17s %s\n", Names[I], Info.GetVersionField(I).c_str());
    return 0;
}

const TCommandRegistration FamiliesCommand({"families", "list the TrueType families of the screen",
                                            "Usage: typecask families\n"
                                            "Lists the TrueType families of the screen, one per line, in the order\n"
                                            "the system reports them.\n",
                                            Families});

const TCommandRegistration EmbedCommand(
    {"embed", "embed an installed family into new form data",
     "Usage: typecask embed FAMILY -o FORM.dfm [--text] [--temporary]\n"
     "As the designer does: creates a form with one TTypecask, chooses FAMILY\n"
     "(an installed TrueType family, see \"typecask families\") and saves the form\n"
     "data with the compressed font file in it. A family whose licence forbids\n"
     "embedding (Restricted License, bitmaps only) is refused with status 1.\n\n"
     "  -o, --output FILE  the form data to write (\"-\" for standard output)\n"
     "  --text             write the text form instead of the binary one\n"
     "  --temporary        store InstallPermanently = False: the application installs\n"
     "                     the font only while it runs\n",
     Embed});

const TCommandRegistration InspectCommand(
    {"inspect", "show what form data carries",
     "Usage: typecask inspect FORM.dfm\n"
     "Shows the stored properties of each TTypecask in FORM.dfm (binary or text),\n"
     "the compressed and uncompressed sizes of its font, the family that the\n"
     "font file itself declares and its licence (the embedding permission and\n"
     "whether it may be subset). Nothing is installed. The status is 1 when\n"
     "font data cannot be restored.\n",
     Inspect});

const TCommandRegistration LoadCommand(
    {"load", "read form data as an application does and install its font",
     "Usage: typecask load FORM.dfm [--sample PNG]\n"
     "Reads FORM.dfm at run time, which installs the embedded font unless its\n"
     "family is already installed, and reports what was done (an installation\n"
     "machine-wide, per user where the machine refuses it, or temporary); then\n"
     "destroys the form, which removes a temporary installation again.\n\n"
     "  --sample PNG  render a line of text in the embedded family to PNG\n",
     Load});

const TCommandRegistration AboutCommand({"about", "show the package's version values",
                                         "Usage: typecask about\n"
                                         "Shows the twelve version values of the package, as its About property\n"
                                         "does in the designer.\n",
                                         About});

}  // namespace

}  // namespace Tool
