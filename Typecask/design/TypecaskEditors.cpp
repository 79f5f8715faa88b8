#include "Typecask/design/TypecaskEditors.h"

#include <memory>

#include "Typecask/component/SubsetCharacters.h"
#include "Typecask/component/Typecask.h"
#include "Typecask/design/FormAbout.h"
#include "Typecask/design/FormSubsetRanges.h"
#include "Typecask/design/FormTypecaskEditor.h"
#include "Typecask/support/Errors.h"
#include "TypecaskLib/Package.h"
#include "platform/os/WinResources.h"

// ------------------------------------------------- the about property

void TTypecaskAboutPropertyEditor::Edit() {
    auto* Info = reinterpret_cast<TVersionInfo*>(GetOrdValue());
    auto Field = [Info](TVersionInfo::TVersionField F) { return Info ? Info->GetVersionField(F) : AnsiString(); };
    auto Form = std::make_unique<TFormAbout>(Application);
    Form->SetCaption(Field(TVersionInfo::vfInternalName));
    Form->LabelProductName->SetCaption(Field(TVersionInfo::vfProductName) + "\nVersion " +
                                       Field(TVersionInfo::vfProductVersion) + " (Build " +
                                       Field(TVersionInfo::vfFileVersion) + ")");
    Form->LabelProductInfo->SetCaption(Field(TVersionInfo::vfLegalCopyright) + "\n\n" + Field(TVersionInfo::vfAuthor) +
                                       "\n\n" + Field(TVersionInfo::vfFileDescription));
    // From the package's own module, not the host's; a missing bitmap leaves
    // the image empty.
    auto Icon = static_cast<HBITMAP>(LoadImageA(GetPackageInstance(), "TTYPECASK48", IMAGE_BITMAP, 0, 0, LR_DEFAULTSIZE));
    Form->ImageIcon->GetPicture()->GetBitmap()->SetHandle(Icon);
    Form->ShowModal();
}

TPropertyAttributes TTypecaskAboutPropertyEditor::GetAttributes() { return {paSubProperties, paDialog}; }

// -------------------------------------------------- the name property

void TTypecaskNamePropertyEditor::Edit() {
    auto Dialog = std::make_unique<TFormTypecaskEditor>(Application);
    Dialog->SetTypecaskName(reinterpret_cast<TTypecaskName*>(GetOrdValue()));
    // The component's writer copies the name; the dialog's object goes with
    // the dialog. OK with no row selected (nothing chosen, or the current
    // family is not listed any more) is no choice: applying its empty name
    // would drop the font the component carries.
    if (Dialog->ShowModal() == mrOk && Dialog->ListBoxTTFonts->GetItemIndex() >= 0)
        SetOrdValue(reinterpret_cast<std::intptr_t>(Dialog->FFontName.get()));
}

TPropertyAttributes TTypecaskNamePropertyEditor::GetAttributes() { return {paSubProperties, paDialog}; }

// -------------------------------------------------- the component editor

TTypecaskComponentEditor::TTypecaskComponentEditor(TComponent* AComponent, IDesigner* ADesigner)
    : TDefaultEditor(AComponent, ADesigner) {}

namespace {

constexpr int SubsetVerb = 2;

void SubsetToFormTexts(TTypecask* Typecask, IDesigner* Designer, const AnsiString& Ranges) {
    TComponent* Root = Designer && Designer->GetRoot() ? Designer->GetRoot() : Typecask->Owner();
    Os::TCodePoints Keep = RunTimeCharacters();
    try {
        AddCharacterRanges(Keep, Ranges);
    } catch (const EConvertError& E) {
        throw ETypecask(msgBadSubsetRanges, E.GetMessage());
    }
    if (Root) {
        TMemoryStream Form;
        WriteComponentToStream(&Form, Root);
        Form.SetPosition(0);
        AddFormCharacters(Keep, &Form);
    }
    Typecask->SubsetFontResource(Keep);
    if (Designer) Designer->Modified();
}

}  // namespace

void TTypecaskComponentEditor::ExecuteVerb(int Index) {
    if (Index == SubsetVerb) {
        auto* Typecask = dynamic_cast<TTypecask*>(Component());
        if (!Typecask) return;
        auto Dialog = std::make_unique<TFormSubsetRanges>(Application);
        if (Dialog->ShowModal() != mrOk) return;
        SubsetToFormTexts(Typecask, Designer(), Dialog->EditRanges->GetText());
        return;
    }
    FVerbIndex = Index;
    // Back to 0 also when the edit raises, so that a later double-click
    // opens the picker again.
    struct TResetVerb {
        std::int32_t& Index;
        ~TResetVerb() { Index = 0; }
    } Reset{FVerbIndex};
    Edit();
}

AnsiString TTypecaskComponentEditor::GetVerb(int Index) {
    if (Index == SubsetVerb) return "Subset to the form's texts";
    return (Index == 0 ? FontNamePropName : AboutPropName) + "...";
}

int TTypecaskComponentEditor::GetVerbCount() { return 3; }

void TTypecaskComponentEditor::EditProperty(TPropertyEditor* PropertyEditor, bool& Continue, bool&) {
    const AnsiString Wanted = FVerbIndex == 0 ? FontNamePropName : AboutPropName;
    if (PropertyEditor->GetName() != Wanted) return;
    Continue = false;
    PropertyEditor->Edit();
}

// ------------------------------------------------------- registration

void Register() {
    RegisterComponents(LoadStr(msgPalettePage), {TTypecask::StaticClass()});
    RegisterPropertyEditor(TypeInfoOf<TVersionInfo*>(), TTypecask::StaticClass(), AboutPropName,
                           PropertyEditorClass<TTypecaskAboutPropertyEditor>());
    RegisterPropertyEditor(TypeInfoOf<TTypecaskName*>(), TTypecask::StaticClass(), FontNamePropName,
                           PropertyEditorClass<TTypecaskNamePropertyEditor>());
    RegisterComponentEditor(TTypecask::StaticClass(), ComponentEditorClass<TTypecaskComponentEditor>());
}

extern "C" void TypecaskRegister() { Register(); }
