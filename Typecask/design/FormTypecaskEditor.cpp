#include "Typecask/design/FormTypecaskEditor.h"

#include "Typecask/component/Typecask.h"
#include "Typecask/support/Errors.h"

#include <algorithm>

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

namespace {

// The gap between a family's name and its sample.
constexpr int SampleGap = 6;
// The characters of a sample.
constexpr int SampleLength = 6;

// How a row shows its family: the name in the family's own face when the
// family draws it, else the name in the dialog's face followed by a sample
// of characters the family has, in its own face.
struct TRowFaces {
    AnsiString Name;
    AnsiString Sample;  // empty when the name is drawn in its own face
    AnsiString NameFace;
};

TRowFaces RowFaces(TListBox* List, int Index) {
    TRowFaces R;
    R.Name = List->GetItems()->Get(Index);
    R.NameFace = R.Name;
    if (!FontCoversText(R.Name, R.Name)) {
        R.NameFace = List->GetFont()->GetName();
        R.Sample = FontSampleText(R.Name, SampleLength);
    }
    return R;
}

// The text height of Text in Face at the face's default height.
int FaceTextHeight(TCanvas* Canvas, const AnsiString& Face, const AnsiString& Text) {
    Canvas->GetFont()->SetName(Face);
    // Size 0: the face's own default height.
    Canvas->GetFont()->SetSize(0);
    return Canvas->TextHeight(Text);
}

}  // namespace

void TFormTypecaskEditor::ListBoxTTFontsMeasureItem(TWinControl*, int Index, int& Height) {
    TCanvas* Canvas = ListBoxTTFonts->GetCanvas();
    const TRowFaces Row = RowFaces(ListBoxTTFonts, Index);
    int Text = FaceTextHeight(Canvas, Row.NameFace, Row.Name);
    if (!Row.Sample.empty()) Text = std::max(Text, FaceTextHeight(Canvas, Row.Name, Row.Sample));
    Height = Text + 2;
}

void TFormTypecaskEditor::ListBoxTTFontsDrawItem(TWinControl*, int Index, TRect Rect, TOwnerDrawState) {
    // The list box has prepared brush and font colours for the row's state.
    TCanvas* Canvas = ListBoxTTFonts->GetCanvas();
    const TRowFaces Row = RowFaces(ListBoxTTFonts, Index);
    Canvas->FillRect(Rect);
    const int NameHeight = FaceTextHeight(Canvas, Row.NameFace, Row.Name);
    if (Row.Sample.empty()) {
        Canvas->TextOut(Rect.Left + 1, Rect.Top + 1, Row.Name);
        return;
    }
    // Two faces on one row: each centred in the row's text height.
    const int SampleHeight = FaceTextHeight(Canvas, Row.Name, Row.Sample);
    const int Text = std::max(NameHeight, SampleHeight);
    FaceTextHeight(Canvas, Row.NameFace, Row.Name);
    Canvas->TextOut(Rect.Left + 1, Rect.Top + 1 + (Text - NameHeight) / 2, Row.Name);
    const int X = Canvas->GetPenPos().X + SampleGap;
    FaceTextHeight(Canvas, Row.Name, Row.Sample);
    Canvas->TextOut(X, Rect.Top + 1 + (Text - SampleHeight) / 2, Row.Sample);
}

void TFormTypecaskEditor::ListBoxTTFontsClick(TObject*) {
    const int Index = ListBoxTTFonts->GetItemIndex();
    if (Index < 0) return;  // a click beside the rows selects nothing
    FFontName->SetTTFontName(ListBoxTTFonts->GetItems()->Get(Index));
    StaticTextSample->SetCaption(FFontName->GetTTFontName());
}

void TFormTypecaskEditor::ListBoxTTFontsDblClick(TObject*) { BitBtnOK->Click(); }
