// TFormTypecaskEditor: the modal dialog in which the developer picks the
// installed TrueType family that a TTypecask carries. Every family is drawn
// in its own typeface, marked when its licence forbids embedding it or lets
// it be installed only while the application runs; the choice is kept in
// FFontName.
#pragma once

#include <map>
#include <memory>
#include <optional>

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
    // OK ends the dialog with the choice, unless the licence of the chosen
    // family forbids embedding it: then the sample line shows why, and the
    // dialog stays open with nothing chosen.
    void BitBtnOKClick(TObject* Sender);

    // Preselects Value's family when it is listed and takes it as the
    // choice; an unlisted family leaves no row selected and the choice as it
    // was.
    virtual void SetTypecaskName(TTypecaskName* Value);

    // The current choice. Its owner is the form, so changing it loads no font.
    std::unique_ptr<TTypecaskName> FFontName;

    // The licence of a listed family's font file, read when its row is
    // first drawn or chosen.
    const Os::TFontEmbedding& GetEmbedding(const AnsiString& Family);

private:
    std::map<AnsiString, Os::TFontEmbedding> FEmbeddings;
    // The Fonts key's values, read for the first row's licence.
    std::optional<TFontsKeyValues> FFontsKeyValues;
};
