// typecask designer: the builder's stand-in. Shows the palette, creates a
// form with the component dropped on it, lists what an object inspector
// shows, and runs the component editor and property editors with their
// dialogs, saving the form when it changed.
#include <charconv>
#include <cstdio>
#include <iostream>
#include <map>

#include "Typecask/component/FormFonts.h"
#include "Typecask/component/Typecask.h"
#include "TypecaskLib/Package.h"
#include "platform/DesignEditors.h"
#include "platform/widgetsets/WidgetSet.h"
#include "tools/typecask/Command.h"
#include "tools/typecask/DesignerHost.h"

namespace Tool {

namespace {

const char* const DesignerHelp =
    "Usage: typecask designer SUBCOMMAND ARGS...\n"
    "The builder's stand-in: loads the package into the designer (its Register)\n"
    "and works on form data in design state.\n\n"
    "Subcommands:\n"
    "  palette                          the palette pages and their components\n"
    "  new FORM.dfm [--text] [--force]  a new form with one TTypecask dropped on it\n"
    "  inspect FORM.dfm                 every property of every component, as an\n"
    "                                   object inspector shows it\n"
    "  verbs FORM.dfm COMPONENT         the commands of the component's context menu\n"
    "  verb FORM.dfm COMPONENT INDEX    runs context-menu command INDEX\n"
    "  dblclick FORM.dfm COMPONENT      double-clicks the component\n"
    "  edit FORM.dfm COMPONENT PROPERTY runs the property's editor (PROPERTY may be\n"
    "                                   a path such as TypecaskName.TTFontName)\n\n"
    "verb, dblclick and edit show the dialog the editor opens: a real window when\n"
    "a display is available. These options answer it without a display:\n"
    "  --choose FAMILY   select FAMILY in the font picker and press OK; a family\n"
    "                    that is not listed ends the dialog with Cancel\n"
    "  --screenshot PNG  save the dialog as shown (then close it, or answer it\n"
    "                    with --choose or --ranges)\n"
    "  --ranges LIST     type LIST (\"\" for none) into the subset dialog, the\n"
    "                    further characters to keep, and press OK\n"
    "A form that changed is saved back in its own format. Errors print their\n"
    "message and leave the file as it was; so does a form that could not be\n"
    "read completely, which is never saved. Read errors make every subcommand\n"
    "exit with status 1.\n\n"
    "Run \"typecask designer SUBCOMMAND --help\" for one subcommand.\n";

struct TSubcommand {
    const char* Usage;
    int (*Run)(TArgs& Args);
};

// Prints what could not be read from the form; true when that was anything.
bool ReportReadErrors(TDesignerHost& Host, const std::string& FileName) {
    for (const auto& Message : Host.ReadErrors()) std::cerr << Message << '\n';
    if (Host.ReadErrors().empty()) return false;
    std::cerr << FileName << " could not be read completely\n";
    return true;
}

int Palette(TArgs& Args) {
    Args.Positional(0);
    RegisterPackage();
    for (const auto& Page : GetPalettePages()) {
        for (TClass Class : Page.Classes) {
            std::cout << Page.Name << ": " << Class->ClassName();
            // The builder shows the bitmap named by the class name in capitals.
            const AnsiString BitmapName = UpperCase(Class->ClassName());
            HANDLE Bitmap = LoadImageA(GetPackageInstance(), BitmapName.c_str(), IMAGE_BITMAP, 0, 0, LR_DEFAULTSIZE);
            BITMAP Info{};
            if (Bitmap && GetObjectA(Bitmap, sizeof Info, &Info) == sizeof Info)
                std::cout << " (" << Info.bmWidth << 'x' << Info.bmHeight << " palette bitmap)\n";
            else
                std::cout << " (no palette bitmap " << BitmapName << ")\n";
            if (Bitmap) DeleteObject(Bitmap);
        }
    }
    return 0;
}

int New(TArgs& Args) {
    const bool Text = Args.Flag("--text");
    const bool Force = Args.Flag("--force");
    const auto Words = Args.Positional(1);
    if (!Force && FileExists(Words[0])) throw Exception(Words[0] + " exists; --force replaces it");
    RegisterPackage();
    auto Host = TDesignerHost::NewForm(FindPaletteClass("TTypecask"));
    Host->Save(Words[0], Text ? TFormDataFormat::Text : TFormDataFormat::Binary);
    std::cout << "created " << Words[0] << ": " << Host->Root()->GetName() << " with";
    for (int I = 0; I < Host->Root()->ComponentCount(); ++I) {
        TComponent* C = Host->Root()->Components(I);
        std::cout << ' ' << C->GetName() << ": " << C->ClassName();
    }
    std::cout << '\n';
    return 0;
}

void PrintInspector(TPersistent* Instance, IDesigner* Designer) {
    for (const auto& Row : InspectObject(Instance, Designer)) {
        std::cout << std::string(static_cast<std::size_t>(2 * (Row.Depth + 1)), ' ') << Row.Name << " = ";
        if (!Row.Error.empty())
            std::cout << "(error: " << Row.Error << ')';
        else
            std::cout << Row.Value;
        std::cout << "  [" << PropertyAttributesToString(Row.Attributes) << "]\n";
    }
}

int Inspect(TArgs& Args) {
    const auto Words = Args.Positional(1);
    RegisterPackage();
    auto Host = TDesignerHost::OpenFile(Words[0]);
    const bool Incomplete = ReportReadErrors(*Host, Words[0]);
    TComponent* Root = Host->Root();
    std::cout << Root->GetName() << ": " << Root->ClassName() << '\n';
    PrintInspector(Root, &Host->Designer());
    for (int I = 0; I < Root->ComponentCount(); ++I) {
        TComponent* C = Root->Components(I);
        std::cout << C->GetName() << ": " << C->ClassName() << '\n';
        PrintInspector(C, &Host->Designer());
        if (auto* Typecask = dynamic_cast<TTypecask*>(C)) {
            if (TMemoryStream* Data = Typecask->GetFontData()) {
                std::cout << "  (font data: " << Data->GetSize() << " bytes)\n";
                const AnsiString Note =
                    GetLicenceNote(Typecask->GetTypecaskName()->GetTTFontName(), Typecask->GetFontEmbedding());
                if (!Note.empty()) std::cout << "  (" << Note << ")\n";
                if (const auto Subset = SubsetDescription(Typecask->GetFontSubset()); !Subset.empty())
                    std::cout << "  (" << Subset << ")\n";
            } else
                std::cout << "  (no font data)\n";
        }
    }
    return Incomplete ? 1 : 0;
}

int Verbs(TArgs& Args) {
    const auto Words = Args.Positional(2);
    RegisterPackage();
    auto Host = TDesignerHost::OpenFile(Words[0]);
    const bool Incomplete = ReportReadErrors(*Host, Words[0]);
    auto Editor = Host->Designer().GetComponentEditor(Host->Component(Words[1]));
    for (int I = 0; I < Editor->GetVerbCount(); ++I) std::cout << I << ": " << Editor->GetVerb(I) << '\n';
    return Incomplete ? 1 : 0;
}

// Opens FORM, runs Action on it with the dialogs answered as the options
// say, and saves the form back when it changed. A form that could not be
// read completely is not edited at all: saving it would drop what was not
// read (a property of a newer version, damaged font data, a family emptied
// because it is not installed here). An error leaves the file untouched: the
// component may have dropped its font data on the way.
template <class F>
int RunEditor(TArgs& Args, std::size_t Count, F&& Action) {
    TDialogAnswer Answer;
    Answer.Choose = Args.Option("--choose");
    Answer.Screenshot = Args.Option("--screenshot");
    Answer.Ranges = Args.OptionValue("--ranges");
    const auto Words = Args.Positional(Count);
    RegisterPackage();
    auto Host = TDesignerHost::OpenFile(Words[0]);
    if (ReportReadErrors(*Host, Words[0])) {
        std::cerr << Words[0] << " not saved\n";
        return 1;
    }
    const TFormDataFormat Format = FormatOfFile(Words[0]);
    PrepareDialogs(Answer);
    try {
        Action(*Host, Words);
    } catch (const EUsage&) {
        throw;
    } catch (const Exception& E) {
        std::cerr << E.GetMessage() << '\n';
        std::cerr << Words[0] << " not saved\n";
        return 1;
    }
    for (const auto& Why : DialogAnswerErrors()) std::cout << Why << ": the dialog ended with Cancel\n";
    if (!Answer.Scripted() && WidgetSet().GetName() == "headless")
        std::cout << "no display: dialogs end unanswered (Cancel); answer them with --choose, --ranges or "
                     "--screenshot\n";
    if (!Answer.Screenshot.empty()) std::cout << "screenshot: " << Answer.Screenshot << '\n';
    if (!Host->Designer().IsModified()) {
        std::cout << Words[0] << " unchanged\n";
        return 0;
    }
    Host->Save(Words[0], Format);
    std::cout << "saved " << Words[0] << '\n';
    return 0;
}

int Verb(TArgs& Args) {
    return RunEditor(Args, 3, [](TDesignerHost& Host, const std::vector<std::string>& Words) {
        auto Editor = Host.Designer().GetComponentEditor(Host.Component(Words[1]));
        const int Count = Editor->GetVerbCount();
        int Index = -1;
        const auto [End, Error] = std::from_chars(Words[2].data(), Words[2].data() + Words[2].size(), Index);
        if (Error != std::errc() || End != Words[2].data() + Words[2].size() || Index < 0 || Index >= Count)
            throw EUsage("INDEX must be a number from 0 to " + std::to_string(Count - 1));
        std::cout << "running " << Editor->GetVerb(Index) << '\n';
        Editor->ExecuteVerb(Index);
    });
}

int DblClick(TArgs& Args) {
    return RunEditor(Args, 2, [](TDesignerHost& Host, const std::vector<std::string>& Words) {
        Host.Designer().GetComponentEditor(Host.Component(Words[1]))->Edit();
    });
}

int Edit(TArgs& Args) {
    return RunEditor(Args, 3, [](TDesignerHost& Host, const std::vector<std::string>& Words) {
        Host.Designer().GetPropertyEditor(Host.Component(Words[1]), Words[2])->Edit();
    });
}

const std::map<std::string, TSubcommand>& Subcommands() {
    static const std::map<std::string, TSubcommand> All = {
        {"palette",
         {"Usage: typecask designer palette\n"
          "Lists the palette pages with their components and the size of each\n"
          "component's palette bitmap.\n",
          Palette}},
        {"new",
         {"Usage: typecask designer new FORM.dfm [--text] [--force]\n"
          "Creates a form (a data module named Form1), drops TTypecask on it from the\n"
          "palette (Typecask1) and saves it. An existing FORM.dfm is an error.\n\n"
          "  --text   write the text form instead of the binary one\n"
          "  --force  replace FORM.dfm when it exists\n",
          New}},
        {"inspect",
         {"Usage: typecask designer inspect FORM.dfm\n"
          "Opens FORM.dfm in the designer and lists, for the form and each component,\n"
          "every property with its value and attributes, sub-properties indented\n"
          "below their property. Errors met while reading are printed; reading goes on,\n"
          "and the command exits with status 1 after the listing.\n",
          Inspect}},
        {"verbs",
         {"Usage: typecask designer verbs FORM.dfm COMPONENT\n"
          "Lists the commands of COMPONENT's context menu with their indexes.\n",
          Verbs}},
        {"verb",
         {"Usage: typecask designer verb FORM.dfm COMPONENT INDEX [--choose FAMILY] [--ranges LIST]\n"
          "                                [--screenshot PNG]\n"
          "Runs context-menu command INDEX of COMPONENT (see verbs) and saves the form\n"
          "when it changed.\n\n"
          "  --choose FAMILY   answer the font picker: select FAMILY and press OK\n"
          "  --ranges LIST     answer the subset dialog: type LIST and press OK\n"
          "  --screenshot PNG  save the dialog as shown\n",
          Verb}},
        {"dblclick",
         {"Usage: typecask designer dblclick FORM.dfm COMPONENT [--choose FAMILY] [--screenshot PNG]\n"
          "Double-clicks COMPONENT (its component editor's Edit) and saves the form\n"
          "when it changed.\n\n"
          "  --choose FAMILY   answer the font picker: select FAMILY and press OK\n"
          "  --screenshot PNG  save the dialog as shown\n",
          DblClick}},
        {"edit",
         {"Usage: typecask designer edit FORM.dfm COMPONENT PROPERTY [--choose FAMILY] [--screenshot PNG]\n"
          "Runs the editor of COMPONENT's PROPERTY (a name, or a path through\n"
          "sub-properties such as TypecaskName.TTFontName), as the ellipsis button\n"
          "or a double-click in the object inspector does, and saves the form when\n"
          "it changed.\n\n"
          "  --choose FAMILY   answer the font picker: select FAMILY and press OK\n"
          "  --screenshot PNG  save the dialog as shown\n",
          Edit}},
    };
    return All;
}

int Designer(TArgs& Args) {
    const std::string Name = Args.Shift();
    if (Name.empty() || Name == "--help" || Name == "-h" || Name == "help") {
        std::cout << DesignerHelp;
        return Name.empty() ? 2 : 0;
    }
    const auto It = Subcommands().find(Name);
    if (It == Subcommands().end()) throw EUsage("unknown subcommand \"" + Name + "\"");
    if (Args.WantsHelp()) {
        std::cout << It->second.Usage;
        return 0;
    }
    try {
        return It->second.Run(Args);
    } catch (const EUsage& E) {
        std::cerr << "typecask designer " << Name << ": " << E.GetMessage() << "\n\n" << It->second.Usage;
        return 2;
    }
}

TCommand DesignerCommandInfo() {
    TCommand C{"designer", "the builder's stand-in: palette, new form, inspector, editors", DesignerHelp, Designer};
    C.OwnHelp = true;
    return C;
}

const TCommandRegistration DesignerCommand(DesignerCommandInfo());

}  // namespace

}  // namespace Tool
