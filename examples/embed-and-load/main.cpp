// embed-and-load: the two halves of an application that carries its font.
//
//   embed-and-load embed FAMILY FORM.dfm   at design time, on the developer's
//                                          machine: a form with one TTypecask
//                                          that holds FAMILY's font file
//   embed-and-load load FORM.dfm           at run time, on a user's machine:
//                                          reading the form installs the font,
//                                          destroying it removes it again
//   embed-and-load version                 the package's version resource
#include <iostream>
#include <string>

#include "Typecask/component/Typecask.h"
#include "platform/Forms.h"

namespace {

int Embed(const std::string& Family, const std::string& FileName) {
    TDataModule Form(nullptr, 0);
    Form.SetDesigning(true);
    auto* Typecask = new TTypecask(&Form);  // owned by the form
    Typecask->SetName("Typecask1");
    Typecask->SetInstallPermanently(false);
    TTypecaskName Choice(nullptr);
    Choice.SetTTFontName(Family);
    Typecask->SetTypecaskName(&Choice);  // finds, loads and keeps the font file
    TFileStream Out(FileName, fmCreate);
    WriteComponentToStream(&Out, &Form);
    std::cout << "embedded " << Family << " (" << Typecask->GetFontData()->GetSize() << " bytes) into " << FileName
              << '\n';
    return 0;
}

bool Enumerated(const AnsiString& Family) {
    TStringList Families;
    GetTrueTypeFamilies(&Families);
    return Families.IndexOf(Family) >= 0;
}

int Load(const std::string& FileName) {
    AnsiString Family;
    {
        TDataModule App(nullptr, 0);
        TFileStream In(FileName, fmOpenRead | fmShareDenyWrite);
        ReadComponentFromStream(&In, &App);  // Loaded() installs the font
        auto* Typecask = dynamic_cast<TTypecask*>(App.FindComponent("Typecask1"));
        if (!Typecask) {
            std::cerr << "embed-and-load: no Typecask1 in " << FileName << '\n';
            return 1;
        }
        Family = Typecask->GetTypecaskName()->GetTTFontName();
        std::cout << "family: " << Family << '\n'
                  << "installed: " << (Typecask->GetFontAdded() ? "yes" : "no") << '\n'
                  << "enumerated while running: " << (Enumerated(Family) ? "yes" : "no") << '\n';
    }  // the form goes, and with it the temporary installation
    std::cout << "enumerated after the form: " << (Enumerated(Family) ? "yes" : "no") << '\n';
    return 0;
}

int Version() {
    const TVersionInfo Info;
    std::cout << Info.GetVersionFieldFromResource(TVersionInfo::vfProductName) << ' '
              << Info.GetVersionFieldFromResource(TVersionInfo::vfProductVersion) << '\n';
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string Command = argc > 1 ? argv[1] : "";
    try {
        if (Command == "embed" && argc == 4) return Embed(argv[2], argv[3]);
        if (Command == "load" && argc == 3) return Load(argv[2]);
        if (Command == "version" && argc == 2) return Version();
    } catch (const Exception& E) {  // ETypecask, EReadError, EFCreateError, ...
        std::cerr << "embed-and-load: " << E.GetMessage() << '\n';
        return 1;
    }
    std::cerr << "Usage: embed-and-load embed FAMILY FORM.dfm | load FORM.dfm | version\n";
    return 2;
}
