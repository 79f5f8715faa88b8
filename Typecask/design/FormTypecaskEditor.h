// TFormTypecaskEditor: the modal dialog in which the developer picks the
// installed TrueType family that a TTypecask carries. Every family is drawn
// in its own typeface; the choice is kept in FFontName.
#pragma once

#include <memory>

#include "Typecask/component/TypecaskName.h"
#include "platform/Buttons.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"

class TFormTypecaskEditor : public TForm {
    TYPECASK_CLASS(TFormTypecaskEditor, TForm)

public:
    // Builds the form from its layout resource, then the (empty) choice.
    explicit TFormTypecaskEditor(TComponent* Owner);
    ~TFormTypecaskEditor() override;

    TBitBtn* BitBtnOK = nullptr;
    TBitBtn* BitBtnCancel = nullptr;
    TLabel* LabelPrompt = nullptr;
    TListBox* ListBoxTTFonts = nullptr;
    TStaticText* StaticTextSample = nullptr;

    void FormCreate(TObject* Sender);
    void ListBoxTTFontsDrawItem(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State);
    void ListBoxTTFontsMeasureItem(TWinControl* Control, int Index, int& Height);
    void ListBoxTTFontsClick(TObject* Sender);
    void ListBoxTTFontsDblClick(TObject* Sender);

    // Preselects Value's family when it is listed and takes it as the
    // choice; an unlisted family leaves no row selected and the choice as it
    // was.
    virtual void SetTypecaskName(TTypecaskName* Value);

    // The current choice. Its owner is the form, so changing it loads no font.
    std::unique_ptr<TTypecaskName> FFontName;
};
