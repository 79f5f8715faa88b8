// The designer host: the builder's stand-in that the "designer" and "embed"
// commands drive. It loads the package into the designer (Register, once),
// opens and creates forms in design state, runs component and property
// editors, answers their dialogs from the command line when asked to, and
// saves a form that changed.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Designer.h"

namespace Tool {

// Calls the package's Register once per process, as the builder does when it
// loads the package into the designer. The package itself is initialised
// when its library is loaded.
void RegisterPackage();

// The class named Name (letter case ignored) on any palette page; raises
// when the palette has none.
TClass FindPaletteClass(const AnsiString& Name);

// How the dialogs that editors open are answered. Without a choice and a
// screenshot they are shown by the widgetset in use (a real window when a
// display is available). Otherwise they are played headless: the dialog is
// saved as a PNG as it is shown, then Choose is selected and OK pressed (a
// Choose that is no row of the list ends the dialog with Cancel, as does an
// empty Choose), or Ranges is typed into the subset dialog and OK pressed.
struct TDialogAnswer {
    std::string Choose;
    std::string Screenshot;
    std::optional<std::string> Ranges;  // "" answers OK with no further ranges
    bool Scripted() const { return !Choose.empty() || !Screenshot.empty() || Ranges; }
};
// Prepares the widgetset for Answer. Call before the editor runs.
void PrepareDialogs(const TDialogAnswer& Answer);
// Why parts of the prepared answer could not be given (a family that is no
// row of the list), oldest first.
std::vector<AnsiString> DialogAnswerErrors();

class TDesignerHost {
public:
    // A new form: an empty data module named Form1 with one component of
    // ComponentClass dropped on it from the palette.
    static std::unique_ptr<TDesignerHost> NewForm(TClass ComponentClass);
    // Opens form data (binary or text); errors met while reading are
    // collected (ReadErrors) and reading goes on, as the designer's reader
    // does, also after an error that a component raises once it is read.
    static std::unique_ptr<TDesignerHost> OpenFile(const std::string& FileName);

    TFormDesigner& Designer() { return *FDesigner; }
    TComponent* Root() { return FDesigner->GetRoot(); }
    // The messages of the errors met while the form was opened, in order.
    const std::vector<AnsiString>& ReadErrors() const { return FReadErrors; }

    // The root or one of its components by name (letter case ignored);
    // raises when there is none.
    TComponent* Component(const std::string& Name);
    void Save(const std::string& FileName, TFormDataFormat Format);

private:
    explicit TDesignerHost(std::unique_ptr<TFormDesigner> Designer) : FDesigner(std::move(Designer)) {}
    std::unique_ptr<TFormDesigner> FDesigner;
    std::vector<AnsiString> FReadErrors;
};

// The format form data in FileName is written in: text when it starts with
// "object" (after blanks), binary otherwise.
TFormDataFormat FormatOfFile(const std::string& FileName);

}  // namespace Tool
