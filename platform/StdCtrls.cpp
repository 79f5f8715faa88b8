#include "platform/StdCtrls.h"

#include <algorithm>

#include "platform/Forms.h"
#include "platform/Captions.h"

namespace {

// The size of Text in Font as a label shows it: lines broken at line feeds
// (and between words within Width when WordWrap is set).
TPoint TextSize(const TFontData& Font, const AnsiString& Text, int Width, bool WordWrap) {
    TCanvas Canvas;
    Canvas.GetFont()->SetData(Font);
    const int LineHeight = Canvas.TextHeight("Wg");
    int W = 0, Lines = 0;
    for (const AnsiString& Line : WrapCaption(Font, Text, Width, WordWrap)) {
        W = std::max(W, Canvas.TextWidth(Line));
        ++Lines;
    }
    return {W, std::max(1, Lines) * LineHeight};
}

// The caption as measured: accelerator marks removed, an empty one as a
// blank so that an empty label keeps a height and a small width.
AnsiString MeasuredCaption(const AnsiString& Caption) {
    AnsiString Text = CaptionText(Caption);
    return Text.empty() ? AnsiString(" ") : Text;
}

}  // namespace

// ------------------------------------------------------------------ TLabel

TYPECASK_IMPLEMENT_CLASS(TLabel)
void TLabel::Publish(TPublisher<TLabel>& P) {
    using namespace ControlPublish;
    P.Property("AutoSize", &TLabel::GetAutoSize, &TLabel::SetAutoSize).Default(true);
    Caption(P);
    Color(P, clBtnFace);
    Enabled(P);
    Font(P);
    Hint(P);
    ParentColor(P, true);
    ParentFont(P, true);
    ParentShowHint(P);
    ShowHint(P);
    P.Property("Transparent", &TLabel::GetTransparent, &TLabel::SetTransparent).Default(false);
    Visible(P);
    P.Property("WordWrap", &TLabel::GetWordWrap, &TLabel::SetWordWrap).Default(false);
    OnClickEvent(P);
    OnDblClickEvent(P);
}

TLabel::TLabel(TComponent* Owner) : TGraphicControl(Owner) { SetBounds(0, 0, 65, 17); }

TLabel::~TLabel() = default;

void TLabel::SetAutoSize(bool Value) {
    if (FAutoSize == Value) return;
    FAutoSize = Value;
    Changed();
}

void TLabel::SetWordWrap(bool Value) {
    if (FWordWrap == Value) return;
    FWordWrap = Value;
    Changed();
}

void TLabel::SetTransparent(bool Value) {
    if (FTransparent == Value) return;
    FTransparent = Value;
    Changed();
}

void TLabel::Loaded() {
    TGraphicControl::Loaded();
    AdjustBounds();
}

namespace {

// Marks a control as resizing itself for the length of a scope, so that the
// bounds it sets do not start another adjustment; cleared on every way out.
class TAdjusting {
public:
    explicit TAdjusting(bool& Flag) : FFlag(Flag) { FFlag = true; }
    ~TAdjusting() { FFlag = false; }
    TAdjusting(const TAdjusting&) = delete;
    TAdjusting& operator=(const TAdjusting&) = delete;

private:
    bool& FFlag;
};

}  // namespace

void TLabel::AdjustBounds() {
    if (!FAutoSize || FAdjusting || IsLoading()) return;
    const TAdjusting Guard(FAdjusting);
    const TPoint Size = TextSize(GetFont()->GetData(), MeasuredCaption(GetCaption()), GetWidth(), FWordWrap);
    SetBounds(GetLeft(), GetTop(), FWordWrap ? GetWidth() : Size.X, Size.Y);
}

void TLabel::Changed() {
    AdjustBounds();
    TGraphicControl::Changed();
}

bool TLabel::GetWidgetKind(TWidgetKind& Kind) const {
    Kind = TWidgetKind::Label;
    return true;
}

void TLabel::FillWidgetProps(TControlProps& Props) const {
    TGraphicControl::FillWidgetProps(Props);
    Props.WordWrap = FWordWrap;
    Props.Transparent = FTransparent;
}

// ------------------------------------------------------------- TStaticText

TYPECASK_IMPLEMENT_CLASS(TStaticText)
void TStaticText::Publish(TPublisher<TStaticText>& P) {
    using namespace ControlPublish;
    P.Property("AutoSize", &TStaticText::GetAutoSize, &TStaticText::SetAutoSize).Default(true);
    P.Property("BorderStyle", &TStaticText::GetBorderStyle, &TStaticText::SetBorderStyle).Default(sbsNone);
    Caption(P);
    Color(P, clBtnFace);
    Enabled(P);
    Font(P);
    Hint(P);
    ParentColor(P, true);
    ParentFont(P, true);
    ParentShowHint(P);
    ShowHint(P);
    TabOrder(P);
    TabStop(P, false);
    Visible(P);
    OnClickEvent(P);
    OnDblClickEvent(P);
}

TStaticText::TStaticText(TComponent* Owner) : TWinControl(Owner) { SetBounds(0, 0, 65, 17); }

TStaticText::~TStaticText() = default;

void TStaticText::SetAutoSize(bool Value) {
    if (FAutoSize == Value) return;
    FAutoSize = Value;
    Changed();
}

void TStaticText::SetBorderStyle(TStaticBorderStyle Value) {
    if (FBorderStyle == Value) return;
    FBorderStyle = Value;
    Changed();
}

void TStaticText::Loaded() {
    TWinControl::Loaded();
    AdjustBounds();
}

void TStaticText::AdjustBounds() {
    if (!FAutoSize || FAdjusting || IsLoading()) return;
    const TAdjusting Guard(FAdjusting);
    const int Frame = FBorderStyle == sbsNone ? 0 : 2;
    const TPoint Size = TextSize(GetFont()->GetData(), MeasuredCaption(GetCaption()), 0, false);
    SetBounds(GetLeft(), GetTop(), Size.X + Frame, Size.Y + Frame);
}

void TStaticText::Changed() {
    AdjustBounds();
    TWinControl::Changed();
}

bool TStaticText::GetWidgetKind(TWidgetKind& Kind) const {
    Kind = TWidgetKind::StaticText;
    return true;
}

void TStaticText::FillWidgetProps(TControlProps& Props) const {
    TWinControl::FillWidgetProps(Props);
    Props.Border = FBorderStyle == sbsSunken   ? TStaticBorder::Sunken
                   : FBorderStyle == sbsSingle ? TStaticBorder::Single
                                               : TStaticBorder::None;
}

// ----------------------------------------------------------------- TButton

TYPECASK_IMPLEMENT_CLASS(TButton)
void TButton::Publish(TPublisher<TButton>& P) {
    using namespace ControlPublish;
    P.Property("Cancel", &TButton::GetCancel, &TButton::SetCancel).Default(false).Stored(&TButton::IsCustom);
    P.Property("Caption", &TControl::GetCaption, &TControl::SetCaption).Stored(&TButton::IsCaptionStored);
    P.Property("Default", &TButton::GetDefault, &TButton::SetDefault).Default(false).Stored(&TButton::IsCustom);
    Enabled(P);
    Font(P);
    Hint(P);
    P.Property("ModalResult", &TButton::GetModalResult, &TButton::SetModalResult)
        .Default(mrNone)
        .Stored(&TButton::IsCustom);
    ParentFont(P, true);
    ParentShowHint(P);
    ShowHint(P);
    TabOrder(P);
    TabStop(P, true);
    Visible(P);
    OnClickEvent(P);
}

TButton::TButton(TComponent* Owner) : TWinControl(Owner) {
    SetTabStopDefault(true);
    SetBounds(0, 0, 75, 25);
}

TButton::~TButton() = default;

void TButton::SetDefault(bool Value) {
    if (FDefault == Value) return;
    FDefault = Value;
    Changed();
}

void TButton::SetCancel(bool Value) {
    if (FCancel == Value) return;
    FCancel = Value;
    Changed();
}

void TButton::Click() {
    // The handler runs first; the form then ends with the button's result.
    const TModalResult Result = FModalResult;
    TCustomForm* Form = GetParentForm();
    TWinControl::Click();
    if (Result != mrNone && Form) Form->SetModalResult(Result);
}

bool TButton::GetWidgetKind(TWidgetKind& Kind) const {
    Kind = TWidgetKind::Button;
    return true;
}

void TButton::FillWidgetProps(TControlProps& Props) const {
    TWinControl::FillWidgetProps(Props);
    Props.Default = FDefault;
    Props.Cancel = FCancel;
}

TControlEvents TButton::GetWidgetEvents() {
    TControlEvents E;
    E.OnClick = [this] { Click(); };
    return E;
}

// ------------------------------------------------------------------- TEdit

TYPECASK_IMPLEMENT_CLASS(TEdit)
void TEdit::Publish(TPublisher<TEdit>& P) {
    using namespace ControlPublish;
    Color(P, clWindow);
    Enabled(P);
    Font(P);
    Hint(P);
    ParentColor(P, false);
    ParentFont(P, true);
    ParentShowHint(P);
    ShowHint(P);
    TabOrder(P);
    TabStop(P, true);
    P.Property("Text", &TControl::GetText, &TControl::SetText);
    Visible(P);
    P.Property("OnChange", &TEdit::OnChange, &TEdit::OnChange);
    OnClickEvent(P);
    OnDblClickEvent(P);
}

TEdit::TEdit(TComponent* Owner) : TWinControl(Owner) {
    SetTabStopDefault(true);
    SetColor(clWindow);
    SetBounds(0, 0, 121, 21);
}

TEdit::~TEdit() = default;

void TEdit::SetText(const AnsiString& Value) {
    if (Value == GetText()) return;
    TWinControl::SetText(Value);
    Change();
}

void TEdit::Change() {
    if (OnChange) OnChange(this);
}

bool TEdit::GetWidgetKind(TWidgetKind& Kind) const {
    Kind = TWidgetKind::Edit;
    return true;
}

TControlEvents TEdit::GetWidgetEvents() {
    TControlEvents E;
    // The widgetset shows the text already; giving it back changes nothing.
    E.OnChange = [this](const AnsiString& Text) { SetText(Text); };
    return E;
}

// ---------------------------------------------------------------- TListBox

const TTypeInfo* TypeInfoFor(TListBoxStyle*) {
    static const TTypeInfo Info =
        TTypeInfo::Enumeration("TListBoxStyle", "lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable");
    return &Info;
}

TListBoxStrings::~TListBoxStrings() = default;

void TListBoxStrings::Put(int Index, const AnsiString& S) {
    TStringList::Put(Index, S);
    FListBox->ItemsChanged();
}

void TListBoxStrings::Insert(int Index, const AnsiString& S) {
    TStringList::Insert(Index, S);
    if (FListBox->FItemIndex >= Index) ++FListBox->FItemIndex;
    FListBox->ItemsChanged();
}

void TListBoxStrings::Delete(int Index) {
    TStringList::Delete(Index);
    int& Selected = FListBox->FItemIndex;
    if (Selected == Index) Selected = -1;
    else if (Selected > Index) --Selected;
    FListBox->ItemsChanged();
}

void TListBoxStrings::Clear() {
    TStringList::Clear();
    FListBox->FItemIndex = -1;
    FListBox->ItemsChanged();
}

int TListBoxStrings::Add(const AnsiString& S) {
    const int Before = Count();
    const int Index = TStringList::Add(S);
    // A row inserted before the selected one moves it down.
    if (Count() > Before && FListBox->FItemIndex >= Index) ++FListBox->FItemIndex;
    FListBox->ItemsChanged();
    return Index;
}

TYPECASK_IMPLEMENT_CLASS(TListBox)
void TListBox::Publish(TPublisher<TListBox>& P) {
    using namespace ControlPublish;
    Color(P, clWindow);
    Enabled(P);
    Font(P);
    Hint(P);
    P.Property("ItemHeight", &TListBox::GetItemHeight, &TListBox::SetItemHeight).Stored(&TListBox::IsItemHeightStored);
    P.Property("Items", &TListBox::GetItems, &TListBox::SetItems);
    ParentColor(P, false);
    ParentFont(P, true);
    ParentShowHint(P);
    ShowHint(P);
    P.Property("Sorted", &TListBox::GetSorted, &TListBox::SetSorted).Default(false);
    P.Property("Style", &TListBox::GetStyle, &TListBox::SetStyle).Default(lbStandard);
    TabOrder(P);
    TabStop(P, true);
    Visible(P);
    OnClickEvent(P);
    OnDblClickEvent(P);
    P.Property("OnDrawItem", &TListBox::OnDrawItem, &TListBox::OnDrawItem);
    P.Property("OnMeasureItem", &TListBox::OnMeasureItem, &TListBox::OnMeasureItem);
}

TListBox::TListBox(TComponent* Owner)
    : TWinControl(Owner), FItems(std::make_unique<TListBoxStrings>(this)), FCanvas(std::make_unique<TCanvas>()) {
    SetTabStopDefault(true);
    SetColor(clWindow);
    SetBounds(0, 0, 121, 97);
}

TListBox::~TListBox() {
    // The widget goes before the canvas it draws with.
    DestroyWidget();
}

void TListBox::SetItems(TStrings* Value) {
    if (Value && Value != FItems.get()) FItems->Assign(Value);
}

void TListBox::ItemsChanged() {
    if (FItemIndex >= FItems->Count()) FItemIndex = -1;
    UpdateWidget();
}

void TListBox::SetItemIndex(int Value) {
    if (Value < 0 || Value >= FItems->Count()) Value = -1;
    if (Value == FItemIndex) return;
    FItemIndex = Value;
    UpdateWidget();
}

void TListBox::SetStyle(TListBoxStyle Value) {
    if (FStyle == Value) return;
    FStyle = Value;
    UpdateWidget();
}

void TListBox::SetSorted(bool Value) {
    if (FSorted == Value) return;
    FSorted = Value;
    const AnsiString Selected = FItemIndex >= 0 ? FItems->Get(FItemIndex) : AnsiString();
    const int Old = FItemIndex;
    FItems->SetSorted(Value);
    if (Old >= 0) FItemIndex = FItems->IndexOf(Selected);
    ItemsChanged();
}

void TListBox::SetItemHeight(int Value) {
    if (Value < 1) throw EInvalidOperation("Invalid item height %d", {Value});
    if (FItemHeight == Value) return;
    FItemHeight = Value;
    UpdateWidget();
}

int TListBox::MeasureItem(int Index) {
    int Height = FItemHeight;
    if (FStyle == lbOwnerDrawVariable && OnMeasureItem) {
        FCanvas->GetFont()->SetData(GetFont()->GetData());
        OnMeasureItem(this, Index, Height);
    }
    return Height;
}

void TListBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
    TCanvas& C = *FCanvas;
    C.GetFont()->SetData(GetFont()->GetData());
    C.GetBrush()->SetStyle(bsSolid);
    if (State.Selected) {
        C.GetBrush()->SetColor(clHighlight);
        C.GetFont()->SetColor(clHighlightText);
    } else {
        C.GetBrush()->SetColor(GetColor());
    }
    if (OnDrawItem) {
        OnDrawItem(this, Index, Rect, State);
    } else {
        C.FillRect(Rect);
        if (Index >= 0 && Index < FItems->Count()) C.TextOut(Rect.Left + 2, Rect.Top, FItems->Get(Index));
    }
}

bool TListBox::GetWidgetKind(TWidgetKind& Kind) const {
    Kind = TWidgetKind::ListBox;
    return true;
}

void TListBox::FillWidgetProps(TControlProps& Props) const {
    TWinControl::FillWidgetProps(Props);
    Props.Items.clear();
    for (int I = 0; I < FItems->Count(); ++I) Props.Items.push_back(FItems->Get(I));
    Props.ItemIndex = FItemIndex;
    Props.Style = FStyle;
    Props.ItemHeight = FItemHeight;
    Props.Canvas = FCanvas.get();
}

TControlEvents TListBox::GetWidgetEvents() {
    TControlEvents E;
    // A row chosen by the user is selected, then reported as a click.
    E.OnSelect = [this](int Index) {
        FItemIndex = Index;
        Click();
    };
    E.OnDblClick = [this](int) { DblClick(); };
    E.OnMeasureItem = [this](int Index) { return MeasureItem(Index); };
    E.OnDrawItem = [this](TCanvas& Canvas, int Index, const TRect& Rect, TOwnerDrawState State) {
        if (&Canvas == FCanvas.get()) return DrawItem(Index, Rect, State);
        // A widgetset that lends a canvas of its own: draw through ours on
        // the same surface.
        FCanvas->SetHandle(Canvas.GetHandle());
        try {
            DrawItem(Index, Rect, State);
        } catch (...) {
            FCanvas->ReleaseHandle();
            throw;
        }
        FCanvas->ReleaseHandle();
    };
    return E;
}

// --------------------------------------------------------- registration

namespace {

const bool StdClassesRegistered = [] {
    RegisterClasses({TLabel::StaticClass(), TStaticText::StaticClass(), TButton::StaticClass(), TEdit::StaticClass(),
                     TListBox::StaticClass()});
    return true;
}();

}  // namespace
