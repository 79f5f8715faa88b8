// The designer host behind the "designer" and "embed" commands.
#include "tools/typecask/DesignerHost.h"

#include "Typecask/design/TypecaskEditors.h"
#include <cstring>

#include "platform/Filer.h"
#include "platform/Forms.h"
#include "platform/ObjectText.h"
#include "platform/widgetsets/headless/Headless.h"

namespace Tool {

void RegisterPackage() {
    static const bool Registered = [] {
        Register();
        return true;
    }();
    (void)Registered;
}

TClass FindPaletteClass(const AnsiString& Name) {
    for (const auto& Page : GetPalettePages())
        for (TClass Class : Page.Classes)
            if (AnsiSameText(Class->ClassName(), Name)) return Class;
    throw Exception(Name + " is not on the palette");
}

namespace {
WidgetSets::THeadlessWidgetSet* ScriptedWidgetSet = nullptr;
}

void PrepareDialogs(const TDialogAnswer& Answer) {
    if (!Answer.Scripted()) return;  // the widgetset chosen by the environment shows them
    auto& Headless = WidgetSets::UseHeadlessWidgetSet();
    ScriptedWidgetSet = &Headless;
    std::vector<WidgetSets::THeadlessAction> Script;
    if (!Answer.Screenshot.empty()) Script.push_back(WidgetSets::THeadlessAction::SaveScreenshot(Answer.Screenshot));
    // A family that is no row makes Select fail, which drops the rest of the
    // script: the dialog is closed, which is Cancel.
    if (!Answer.Choose.empty()) {
        Script.push_back(WidgetSets::THeadlessAction::Select(Answer.Choose));
        Script.push_back(WidgetSets::THeadlessAction::Press("OK"));
    }
    if (Answer.Ranges) {
        if (!Answer.Ranges->empty()) Script.push_back(WidgetSets::THeadlessAction::Type(*Answer.Ranges));
        Script.push_back(WidgetSets::THeadlessAction::Press("OK"));
    }
    Headless.Script(std::move(Script));
}

std::vector<AnsiString> DialogAnswerErrors() {
    return ScriptedWidgetSet ? ScriptedWidgetSet->GetScriptErrors() : std::vector<AnsiString>{};
}

std::unique_ptr<TDesignerHost> TDesignerHost::NewForm(TClass ComponentClass) {
    auto Form = std::make_unique<TDataModule>(nullptr, 0);
    Form->SetName("Form1");
    std::unique_ptr<TDesignerHost> Host(new TDesignerHost(std::make_unique<TFormDesigner>(std::move(Form))));
    Host->FDesigner->DropComponent(ComponentClass);
    return Host;
}

std::unique_ptr<TDesignerHost> TDesignerHost::OpenFile(const std::string& FileName) {
    TMemoryStream Data;
    {
        TFileStream File(FileName, fmOpenRead | fmShareDenyWrite);
        Data.CopyFrom(&File, 0);
    }
    if (Data.GetSize() < 4 || std::memcmp(Data.GetMemory(), FilerSignature, 4) != 0) {
        TMemoryStream Text;
        Data.SetPosition(0);
        Text.CopyFrom(&Data, 0);
        Text.SetPosition(0);
        Data.Clear();
        ObjectTextToBinary(&Text, &Data);
    }
    // The root is made from the class that the data names, in design state
    // before anything is read into it.
    AnsiString ClassName;
    {
        Data.SetPosition(0);
        TReader Peek(&Data);
        Peek.ReadSignature();
        TFilerFlags Flags;
        int Pos = 0;
        Peek.ReadPrefix(Flags, Pos);
        ClassName = Peek.ReadStr();
    }
    TClass Class = FindClass(ClassName);
    if (!Class->InheritsFrom(TComponent::StaticClass()) || !Class->IsCreatable())
        throw EReadError("%s is not a component class that can be designed", {ClassName});
    std::unique_ptr<TComponent> Root(static_cast<TComponent*>(Class->Create(nullptr)));
    std::unique_ptr<TDesignerHost> Host(new TDesignerHost(std::make_unique<TFormDesigner>(std::move(Root))));
    Data.SetPosition(0);
    try {
        Host->FDesigner->ReadForm(&Data);
        Host->FReadErrors = Host->FDesigner->ReadErrors();
    } catch (const Exception& E) {
        // A component that fails once the data is read (in Loaded) keeps
        // what was read into it, the stored font bytes among them; the
        // designer shows the error and goes on with the form.
        Host->FReadErrors = Host->FDesigner->ReadErrors();
        Host->FReadErrors.push_back(E.GetMessage());
        Host->Root()->SetDesigning(true);
    }
    return Host;
}

TComponent* TDesignerHost::Component(const std::string& Name) {
    if (TComponent* C = FDesigner->GetComponent(Name)) return C;
    throw Exception("No component named " + Name + " in " + Root()->GetName());
}

void TDesignerHost::Save(const std::string& FileName, TFormDataFormat Format) {
    FDesigner->SaveToFile(FileName, Format);
}

TFormDataFormat FormatOfFile(const std::string& FileName) {
    TFileStream Input(FileName, fmOpenRead | fmShareDenyWrite);
    char Head[64] = {};
    const auto N = Input.Read(Head, sizeof Head);
    std::string Text(Head, static_cast<std::size_t>(N));
    const auto First = Text.find_first_not_of(" \t\r\n");
    return First != std::string::npos && Text.compare(First, 6, "object") == 0 ? TFormDataFormat::Text
                                                                                : TFormDataFormat::Binary;
}

}  // namespace Tool
