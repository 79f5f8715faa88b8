#include "Typecask/design/FormTypecaskEditor.h"

#include "Typecask/component/Typecask.h"
#include "Typecask/support/Errors.h"

TYPECASK_IMPLEMENT_CLASS(TFormTypecaskEditor)
void TFormTypecaskEditor::Publish(TPublisher<TFormTypecaskEditor>& P) {
    P.Field("BitBtnOK", &TFormTypecaskEditor::BitBtnOK);
    P.Field("BitBtnCancel", &TFormTypecaskEditor::BitBtnCancel);
    P.Field("LabelPrompt", &TFormTypecaskEditor::LabelPrompt);
    P.Field("ListBoxTTFonts", &TFormTypecaskEditor::ListBoxTTFonts);
    P.Field("StaticTextSample", &TFormTypecaskEditor::StaticTextSample);
    P.Method("FormCreate", &TFormTypecaskEditor::FormCreate);
    P.Method("ListBoxTTFontsDrawItem", &TFormTypecaskEditor::ListBoxTTFontsDrawItem);
    P.Method("ListBoxTTFontsMeasureItem", &TFormTypecaskEditor::ListBoxTTFontsMeasureItem);
    P.Method("ListBoxTTFontsClick", &TFormTypecaskEditor::ListBoxTTFontsClick);
    P.Method("ListBoxTTFontsDblClick", &TFormTypecaskEditor::ListBoxTTFontsDblClick);
}

TFormTypecaskEditor::TFormTypecaskEditor(TComponent* Owner) : TForm(Owner) {
    CreateFromResource();
    FFontName = std::make_unique<TTypecaskName>(this);
}

TFormTypecaskEditor::~TFormTypecaskEditor() = default;

void TFormTypecaskEditor::FormCreate(TObject*) {
    SetCaption(LoadStr(msgPickerCaption));
    LabelPrompt->SetCaption(LoadStr(msgPickerPrompt));
    GetTrueTypeFamilies(ListBoxTTFonts->GetItems());
}

void TFormTypecaskEditor::SetTypecaskName(TTypecaskName* Value) {
    if (*FFontName == *Value) return;
    ListBoxTTFonts->SetItemIndex(ListBoxTTFonts->GetItems()->IndexOf(Value->GetTTFontName()));
    if (ListBoxTTFonts->GetItemIndex() == -1) return;
    StaticTextSample->SetCaption(Value->GetTTFontName());
    FFontName->Assign(Value);
}

void TFormTypecaskEditor::ListBoxTTFontsMeasureItem(TWinControl*, int Index, int& Height) {
    TCanvas* Canvas = ListBoxTTFonts->GetCanvas();
    const AnsiString Face = ListBoxTTFonts->GetItems()->Get(Index);
    Canvas->GetFont()->SetName(Face);
    // Size 0: the face's own default height.
    Canvas->GetFont()->SetSize(0);
    Height = Canvas->TextHeight(Face) + 2;
}

void TFormTypecaskEditor::ListBoxTTFontsDrawItem(TWinControl*, int Index, TRect Rect, TOwnerDrawState) {
    // The list box has prepared brush and font colours for the row's state.
    TCanvas* Canvas = ListBoxTTFonts->GetCanvas();
    const AnsiString Face = ListBoxTTFonts->GetItems()->Get(Index);
    Canvas->FillRect(Rect);
    Canvas->GetFont()->SetName(Face);
    Canvas->GetFont()->SetSize(0);
    Canvas->TextOut(Rect.Left + 1, Rect.Top + 1, Face);
}

void TFormTypecaskEditor::ListBoxTTFontsClick(TObject*) {
    const int Index = ListBoxTTFonts->GetItemIndex();
    if (Index < 0) return;  // a click beside the rows selects nothing
    FFontName->SetTTFontName(ListBoxTTFonts->GetItems()->Get(Index));
    StaticTextSample->SetCaption(FFontName->GetTTFontName());
}

void TFormTypecaskEditor::ListBoxTTFontsDblClick(TObject*) { BitBtnOK->Click(); }
