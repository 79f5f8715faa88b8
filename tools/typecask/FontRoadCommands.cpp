// The commands of the font road: list the families, embed one into form
// data, look into such form data, load it as an application would, and show
// the package's version values.
#include <chrono>
#include <cstdio>
#include <iostream>

#include "Typecask/component/FormFonts.h"
#include "Typecask/component/SubsetCharacters.h"
#include "Typecask/component/Typecask.h"
#include "platform/Forms.h"
#include "platform/Graphics.h"
#include "platform/Registry.h"
#include "platform/Streams.h"
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

// The bytes of the file FileName ("-": the standard input).
AnsiString ReadText(const std::string& FileName) {
    auto Input = OpenInput(FileName);
    AnsiString Text(static_cast<std::size_t>(Input->GetSize()), '\0');
    Input->ReadBuffer(Text.data(), static_cast<std::int64_t>(Text.size()));
    return Text;
}

int Embed(TArgs& Args) {
    const std::string Output = Args.Option("--output", "-o");
    const bool Text = Args.Flag("--text");
    const bool Temporary = Args.Flag("--temporary");
    const std::string SubsetText = Args.Option("--subset-text");
    const std::string SubsetRanges = Args.Option("--subset-ranges");
    const std::string SubsetForm = Args.Option("--subset-form");
    const auto Words = Args.Positional(1);
    if (Output.empty()) throw EUsage("missing -o FORM.dfm");
    // What the subset keeps besides the new form's own texts, read before
    // anything is embedded.
    const bool Subset = !SubsetText.empty() || !SubsetRanges.empty() || !SubsetForm.empty();
    Os::TCodePoints Keep = RunTimeCharacters();
    if (!SubsetText.empty()) AddTextCharacters(Keep, ReadText(SubsetText));
    if (!SubsetRanges.empty()) AddCharacterRanges(Keep, SubsetRanges);
    if (!SubsetForm.empty()) AddFormCharacters(Keep, OpenInput(SubsetForm).get());

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
    if (Subset) {
        TMemoryStream Form;
        Host->Designer().WriteForm(&Form, TFormDataFormat::Binary);
        Form.SetPosition(0);
        AddFormCharacters(Keep, &Form);
        Typecask->SubsetFontResource(Keep);
    }

    TOutput Out(Output);
    Host->Designer().WriteForm(Out.Stream(), Text ? TFormDataFormat::Text : TFormDataFormat::Binary);
    Out.Commit();
    if (Output != "-")
        std::cerr << "embedded " << Typecask->GetTypecaskName()->GetTTFontName() << " ("
                  << FormatSize(Typecask->GetFontData()->GetSize())
                  << (Subset ? ", " + SubsetDescription(Typecask->GetFontSubset()) + ", for " +
                                   std::to_string(Keep.size()) + " characters"
                             : std::string())
                  << ") into " << Output << '\n';
    return 0;
}

// Whether FileName holds resources (a Windows or ELF module, or a .res file)
// rather than form data.
bool IsResourceCarrier(const std::string& FileName) {
    if (FileName == "-") return false;
    TFileStream File(FileName, fmOpenRead | fmShareDenyNone);
    std::uint8_t Head[8] = {};
    const auto Got = File.Read(Head, sizeof Head);
    if (Got >= 2 && Head[0] == 'M' && Head[1] == 'Z') return true;
    if (Got >= 4 && Head[0] == 0x7F && Head[1] == 'E' && Head[2] == 'L' && Head[3] == 'F') return true;
    return Got == 8 && Head[0] == 0 && Head[1] == 0 && Head[2] == 0 && Head[3] == 0 && Head[4] == 0x20;
}

// Prints what each TTypecask carries, indented by Indent; false when a font
// cannot be restored.
bool PrintTypecasks(const std::vector<TTypecaskSummary>& Components, const std::string& Indent) {
    bool Restorable = true;
    for (const auto& C : Components) {
        std::cout << Indent << C.Name << ": TTypecask\n";
        for (const auto& [Name, Value] : C.Properties) std::cout << Indent << "  " << Name << " = " << Value << '\n';
        if (!C.HasFontData) {
            std::cout << Indent << "  no font data\n";
            continue;
        }
        const double Ratio = C.FontSize ? static_cast<double>(C.CompressedSize) / static_cast<double>(C.FontSize) : 0;
        std::printf("%s  font data: %s compressed, %s uncompressed (%.1f%%)\n", Indent.c_str(),
                    FormatSize(C.CompressedSize).c_str(), FormatSize(C.FontSize).c_str(), Ratio * 100);
        if (!C.DataError.empty()) {
            std::cout << Indent << "  font data cannot be restored: " << C.DataError << '\n';
            Restorable = false;
            continue;
        }
        if (C.DeclaredFamilies.empty()) {
            std::cout << Indent << "  warning: the font data is no font this system can read\n";
            continue;
        }
        for (const auto& F : C.DeclaredFamilies) std::cout << Indent << "  family declared by the font file: " << F << '\n';
        std::cout << Indent << "  licence: " << Os::EmbeddingPermissionName(C.Embedding.Permission)
                  << (C.Embedding.NoSubsetting ? ", no subsetting" : ", subsetting allowed") << '\n';
        if (C.Subset.IsSubset) std::cout << Indent << "  " << SubsetDescription(C.Subset) << '\n';
        bool Matches = false;
        // The font table reports names cut to the face-name limit; so does
        // the installation's test.
        for (const auto& F : C.DeclaredFamilies)
            Matches |= AnsiSameText(Os::GetFaceName(F), Os::GetFaceName(C.FamilyName));
        if (!Matches)
            std::cout << Indent << "  warning: the font file declares another family than TTFontName \"" << C.FamilyName
                      << "\": the installed font is never found under that name, so every run installs it again\n";
    }
    return Restorable;
}

// Writes each restored font into Folder as FAMILY.ttf, never over a file
// that is there.
void WriteFonts(const std::vector<const TTypecaskSummary*>& Components, const std::string& Folder) {
    for (const auto* C : Components) {
        if (C->Font.empty()) continue;
        const AnsiString Family = !C->FamilyName.empty()         ? C->FamilyName
                                  : !C->DeclaredFamilies.empty() ? C->DeclaredFamilies.front()
                                                                 : AnsiString(C->Name);
        if (!IsSafeFontFileName(Family))
            throw Exception("The family name \"" + Family + "\" of " + C->Name + " cannot name a file");
        const AnsiString Path = IncludeTrailingPathDelimiter(Folder) + Family + FontFileExt;
        TAtomicFileStream File(Path);
        File.WriteBuffer(C->Font.data(), static_cast<std::int64_t>(C->Font.size()));
        if (!File.CommitIfAbsent()) throw Exception(Path + " exists already: not replaced");
        std::cout << "written: " << Path << " (" << FormatSize(static_cast<std::int64_t>(C->Font.size())) << ")\n";
    }
}

int Inspect(TArgs& Args) {
    const std::string FontsTo = Args.Option("--fonts-to");
    const auto Words = Args.Positional(1);
    const std::string& FileName = Words[0];
    std::vector<const TTypecaskSummary*> Fonts;
    bool Restorable = true;
    TModuleForms Module;
    std::vector<TTypecaskSummary> Components;
    if (IsResourceCarrier(FileName)) {
        Module = SummarizeModuleForms(FileName);
        if (Module.Forms.empty()) throw Exception("No form data in " + FileName);
        for (const auto& F : Module.Forms) {
            std::printf("form %s (language %04X): %s: %s\n", F.Form.Resource.ToString().c_str(),
                        static_cast<unsigned>(F.Form.Language), F.Form.Name.c_str(), F.Form.ClassName.c_str());
            if (!F.Error.empty()) {
                std::cout << "  form data cannot be read: " << F.Error << '\n';
                Restorable = false;
                continue;
            }
            if (F.Typecasks.empty()) std::cout << "  no TTypecask\n";
            Restorable &= PrintTypecasks(F.Typecasks, "  ");
            for (const auto& C : F.Typecasks) Fonts.push_back(&C);
        }
    } else {
        auto Input = OpenInput(FileName);
        Components = SummarizeForm(Input.get());
        if (Components.empty()) throw Exception("No TTypecask in " + FileName);
        Restorable = PrintTypecasks(Components, "");
        for (const auto& C : Components) Fonts.push_back(&C);
    }
    if (!FontsTo.empty()) WriteFonts(Fonts, FontsTo);
    return Restorable ? 0 : 1;
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
        // A subset shows some of the characters it kept beyond the letters.
        const bool Subset = Typecask->GetFontSubset().IsSubset;
        RenderSample(Family, Sample, Subset ? FontSampleText(Family, 16) : AnsiString());
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
     "                      [--subset-text FILE] [--subset-ranges LIST] [--subset-form FORM]\n"
     "As the designer does: creates a form with one TTypecask, chooses FAMILY\n"
     "(an installed TrueType family, see \"typecask families\") and saves the form\n"
     "data with the compressed font file in it. A family whose licence forbids\n"
     "embedding (Restricted License, bitmaps only) is refused with status 1.\n\n"
     "  -o, --output FILE  the form data to write (\"-\" for standard output)\n"
     "  --text             write the text form instead of the binary one\n"
     "  --temporary        store InstallPermanently = False: the application installs\n"
     "                     the font only while it runs\n"
     "  --subset-text FILE    carry only a subset of the font: the characters of the\n"
     "                        form's texts, U+0020 to U+007E, and those of FILE (UTF-8)\n"
     "  --subset-ranges LIST  ... and those of LIST, as \"U+0400-U+04FF,U+20AC\"\n"
     "  --subset-form FORM    ... and those of the texts of the form data FORM\n"
     "Any --subset option makes a subset (on Linux; the Windows build has no\n"
     "subsetter). A subset is always installed only while the application runs.\n"
     "A font whose licence forbids subsetting is refused with status 1.\n",
     Embed});

const TCommandRegistration InspectCommand(
    {"inspect", "show what form data or a program's forms carry",
     "Usage: typecask inspect FORM.dfm [--fonts-to DIR]\n"
     "       typecask inspect PROGRAM [--fonts-to DIR]\n"
     "Shows the stored properties of each TTypecask in FORM.dfm (binary or text),\n"
     "the compressed and uncompressed sizes of its font, the family that the\n"
     "font file itself declares and its licence (the embedding permission and\n"
     "whether it may be subset). For a PROGRAM (a Windows program or DLL, an ELF\n"
     "program or library, or a .res file) it lists each resource that holds form\n"
     "data, with the form's name and class, and shows the same for each TTypecask\n"
     "inside; the file is read, not loaded. Nothing is installed. The status is 1\n"
     "when font or form data cannot be restored.\n\n"
     "  --fonts-to DIR  write each carried font file into DIR as FAMILY.ttf; an\n"
     "                  existing file is never replaced (the status is then 1)\n",
     Inspect});

const TCommandRegistration LoadCommand(
    {"load", "read form data as an application does and install its font",
     "Usage: typecask load FORM.dfm [--sample PNG]\n"
     "Reads FORM.dfm at run time, which installs the embedded font unless its\n"
     "family is already installed, and reports what was done (an installation\n"
     "machine-wide, per user where the machine refuses it, or temporary); then\n"
     "destroys the form, which removes a temporary installation again.\n\n"
     "  --sample PNG  render a line of text in the embedded family to PNG (for a\n"
     "                subset, a line of the characters it kept besides)\n",
     Load});

const TCommandRegistration AboutCommand({"about", "show the package's version values",
                                         "Usage: typecask about\n"
                                         "Shows the twelve version values of the package, as its About property\n"
                                         "does in the designer.\n",
                                         About});

}  // namespace

}  // namespace Tool
