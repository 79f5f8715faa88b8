#include "Typecask/design/FormTypecaskEditor.h"

#include "Typecask/component/Typecask.h"
#include "Typecask/support/Errors.h"

#include <algorithm>
#include <vector>

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
    P.Method("BitBtnOKClick", &TFormTypecaskEditor::BitBtnOKClick);
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
    // OK ends the dialog itself once the licence allows the choice.
    BitBtnOK->SetModalResult(mrNone);
}

const Os::TFontEmbedding& TFormTypecaskEditor::GetEmbedding(const AnsiString& Family) {
    auto It = FEmbeddings.find(Family);
    if (It == FEmbeddings.end()) {
        if (!FFontsKeyValues) FFontsKeyValues = ReadFontsKeyValues();
        It = FEmbeddings.emplace(Family, GetFamilyEmbedding(Family, &*FFontsKeyValues)).first;
    }
    return It->second;
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
// of characters the family has, in its own face; then, in the dialog's
// face, the mark of a licence that forbids embedding or allows only a
// temporary installation.
struct TRowFaces {
    AnsiString Name;
    AnsiString Sample;  // empty when the name is drawn in its own face
    AnsiString NameFace;
    AnsiString Mark;    // empty for an Installable font
    AnsiString DialogFace;
};

TRowFaces RowFaces(TFormTypecaskEditor* Dialog, int Index) {
    TListBox* List = Dialog->ListBoxTTFonts;
    TRowFaces R;
    R.Name = List->GetItems()->Get(Index);
    R.NameFace = R.Name;
    R.DialogFace = List->GetFont()->GetName();
    if (!FontCoversText(R.Name, R.Name)) {
        R.NameFace = R.DialogFace;
        R.Sample = FontSampleText(R.Name, SampleLength);
    }
    const Os::TFontEmbedding& Embedding = Dialog->GetEmbedding(R.Name);
    if (!Os::MayEmbed(Embedding))
        R.Mark = LoadStr(msgPickerNotEmbeddable);
    else if (Embedding.Permission != Os::TEmbeddingPermission::Installable)
        R.Mark = LoadStr(msgPickerTemporary);
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
    const TRowFaces Row = RowFaces(this, Index);
    int Text = FaceTextHeight(Canvas, Row.NameFace, Row.Name);
    if (!Row.Sample.empty()) Text = std::max(Text, FaceTextHeight(Canvas, Row.Name, Row.Sample));
    if (!Row.Mark.empty()) Text = std::max(Text, FaceTextHeight(Canvas, Row.DialogFace, Row.Mark));
    Height = Text + 2;
}

void TFormTypecaskEditor::ListBoxTTFontsDrawItem(TWinControl*, int Index, TRect Rect, TOwnerDrawState) {
    // The list box has prepared brush and font colours for the row's state.
    TCanvas* Canvas = ListBoxTTFonts->GetCanvas();
    const TRowFaces Row = RowFaces(this, Index);
    Canvas->FillRect(Rect);
    // Each face of the row centred in the row's text height.
    struct TPart {
        const AnsiString& Face;
        const AnsiString& Text;
    };
    std::vector<TPart> Parts{{Row.NameFace, Row.Name}};
    if (!Row.Sample.empty()) Parts.push_back({Row.Name, Row.Sample});
    if (!Row.Mark.empty()) Parts.push_back({Row.DialogFace, Row.Mark});
    if (Parts.size() == 1) {
        FaceTextHeight(Canvas, Row.NameFace, Row.Name);
        Canvas->TextOut(Rect.Left + 1, Rect.Top + 1, Row.Name);
        return;
    }
    int Text = 0;
    for (const auto& P : Parts) Text = std::max(Text, FaceTextHeight(Canvas, P.Face, P.Text));
    int X = Rect.Left + 1;
    for (const auto& P : Parts) {
        const int Height = FaceTextHeight(Canvas, P.Face, P.Text);
        Canvas->TextOut(X, Rect.Top + 1 + (Text - Height) / 2, P.Text);
        X = Canvas->GetPenPos().X + SampleGap;
    }
}

void TFormTypecaskEditor::ListBoxTTFontsClick(TObject*) {
    const int Index = ListBoxTTFonts->GetItemIndex();
    if (Index < 0) return;  // a click beside the rows selects nothing
    FFontName->SetTTFontName(ListBoxTTFonts->GetItems()->Get(Index));
    // The sample line names the family, or says what its licence allows.
    const AnsiString& Family = FFontName->GetTTFontName();
    const AnsiString Note = GetLicenceNote(Family, GetEmbedding(Family));
    StaticTextSample->SetCaption(Note.empty() ? Family : Note);
}

void TFormTypecaskEditor::ListBoxTTFontsDblClick(TObject*) { BitBtnOK->Click(); }

void TFormTypecaskEditor::BitBtnOKClick(TObject*) {
    const AnsiString& Family = FFontName->GetTTFontName();
    if (ListBoxTTFonts->GetItemIndex() >= 0 && GetEmbeddingRefusal(GetEmbedding(Family)) != 0) {
        StaticTextSample->SetCaption(GetLicenceNote(Family, GetEmbedding(Family)));
        return;
    }
    SetModalResult(mrOk);
}
