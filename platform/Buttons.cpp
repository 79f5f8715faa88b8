#include "platform/Buttons.h"

#include "platform/Forms.h"

namespace {

struct TKindInfo {
    const char* Caption;
    TModalResult Result;
};

const TKindInfo& KindInfo(TBitBtnKind Kind) {
    static const TKindInfo Infos[] = {
        {"", mrNone},          {"OK", mrOk},          {"Cancel", mrCancel}, {"&Help", mrNone},
        {"&Yes", mrYes},       {"&No", mrNo},         {"&Close", mrNone},   {"Abort", mrAbort},
        {"&Retry", mrRetry},   {"&Ignore", mrIgnore}, {"&All", mrAll},
    };
    const auto Index = static_cast<std::size_t>(Kind);
    return Infos[Index < std::size(Infos) ? Index : 0];
}

constexpr int GlyphSize = 16;

void Stroke(TCanvas& C, TColor Color, std::initializer_list<TPoint> Points) {
    C.GetPen()->SetColor(Color);
    C.GetPen()->SetWidth(2);
    bool First = true;
    for (const TPoint& P : Points) {
        if (First)
            C.MoveTo(P.X, P.Y);
        else
            C.LineTo(P.X, P.Y);
        First = false;
    }
}

}  // namespace

AnsiString BitBtnCaption(TBitBtnKind Kind) { return KindInfo(Kind).Caption; }
TModalResult BitBtnModalResult(TBitBtnKind Kind) { return KindInfo(Kind).Result; }

TYPECASK_IMPLEMENT_CLASS(TBitBtn)
void TBitBtn::Publish(TPublisher<TBitBtn>& P) {
    P.Property("Kind", &TBitBtn::GetKind, &TBitBtn::SetKind).Default(bkCustom);
}

TBitBtn::TBitBtn(TComponent* Owner) : TButton(Owner), FGlyph(std::make_unique<TBitmap>()) {}

TBitBtn::~TBitBtn() {
    // The widget goes before the glyph it shows.
    DestroyWidget();
}

void TBitBtn::SetKind(TBitBtnKind Value) {
    if (Value == FKind) return;
    FKind = Value;
    if (Value != bkCustom) {
        SetDefault(Value == bkOK || Value == bkYes);
        SetCancel(Value == bkCancel || Value == bkNo);
        SetModalResult(BitBtnModalResult(Value));
        // Form data read so far may have given the button its own caption.
        if (!IsLoading() || GetCaption().empty()) SetCaption(BitBtnCaption(Value));
    }
    MakeGlyph();
    Changed();
}

bool TBitBtn::IsCaptionStored() const { return FKind == bkCustom || GetCaption() != BitBtnCaption(FKind); }

void TBitBtn::MakeGlyph() {
    FGlyph->SetSize(0, 0);
    const bool Check = FKind == bkOK || FKind == bkYes || FKind == bkAll;
    const bool Cross = FKind == bkCancel || FKind == bkNo || FKind == bkAbort;
    if (!Check && !Cross) return;
    FGlyph->SetSize(GlyphSize, GlyphSize);
    TCanvas& C = *FGlyph->GetCanvas();
    if (Check)
        Stroke(C, RGB(0, 128, 0), {{2, 8}, {6, 12}, {14, 3}});
    else {
        Stroke(C, RGB(192, 0, 0), {{3, 3}, {13, 13}});
        Stroke(C, RGB(192, 0, 0), {{13, 3}, {3, 13}});
    }
}

void TBitBtn::Click() {
    if (FKind != bkClose) return TButton::Click();
    TCustomForm* Form = GetParentForm();
    TWinControl::Click();
    if (Form) Form->Close();
}

void TBitBtn::FillWidgetProps(TControlProps& Props) const {
    TButton::FillWidgetProps(Props);
    Props.Glyph = FGlyph->Empty() ? nullptr : FGlyph.get();
}

namespace {

const bool ButtonClassesRegistered = [] {
    RegisterClass(TBitBtn::StaticClass());
    return true;
}();

}  // namespace
