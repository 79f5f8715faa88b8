#include "platform/Controls.h"

#include <algorithm>

#include "platform/Forms.h"

// -------------------------------------------------------------- TControl

TYPECASK_IMPLEMENT_CLASS(TControl)
void TControl::Publish(TPublisher<TControl>& P) {
    P.Property("Left", &TControl::GetLeft, &TControl::SetLeft);
    P.Property("Top", &TControl::GetTop, &TControl::SetTop);
    P.Property("Width", &TControl::GetWidth, &TControl::SetWidth).Stored(&TControl::IsSizeStored);
    P.Property("Height", &TControl::GetHeight, &TControl::SetHeight).Stored(&TControl::IsSizeStored);
}

TControl::TControl(TComponent* Owner) : TComponent(Owner), FFont(std::make_unique<TFont>()) {
    FFont->OnChange = [this](TFont*) { FontChanged(); };
}

TControl::~TControl() {
    DestroyWidget();
    if (FParent) FParent->RemoveControl(this);
}

void TControl::SetBounds(int Left, int Top, int Width, int Height) {
    Width = std::max(0, Width);
    Height = std::max(0, Height);
    if (Left == FLeft && Top == FTop && Width == FWidth && Height == FHeight) return;
    FLeft = Left;
    FTop = Top;
    FWidth = Width;
    FHeight = Height;
    Resized();
    Changed();
}

void TControl::SetText(const AnsiString& Value) {
    if (Value == FText) return;
    FText = Value;
    Changed();
}

void TControl::SetFont(TFont* Value) {
    if (Value) FFont->Assign(*Value);
}

void TControl::FontChanged() {
    // A font set from the parent keeps ParentFont; any other change is the
    // control's own font.
    if (!FFontFromParent) FParentFont = false;
    Changed();
}

void TControl::SetParentFont(bool Value) {
    if (FParentFont == Value) return;
    FParentFont = Value;
    if (Value) ParentFontChanged();
}

void TControl::ParentFontChanged() {
    if (!FParentFont) return;
    TFontData Data;
    if (FParent) Data = FParent->GetFont()->GetData();
    FFontFromParent = true;
    try {
        FFont->SetData(Data);
    } catch (...) {
        FFontFromParent = false;
        throw;
    }
    FFontFromParent = false;
}

void TControl::SetColor(TColor Value) {
    FParentColor = false;
    if (Value == FColor) return;
    FColor = Value;
    Changed();
    if (auto* W = dynamic_cast<TWinControl*>(this)) W->NotifyChildren(&TControl::ParentColorChanged);
}

void TControl::SetParentColor(bool Value) {
    if (FParentColor == Value) return;
    FParentColor = Value;
    if (Value) ParentColorChanged();
}

void TControl::ParentColorChanged() {
    if (!FParentColor || !FParent) return;
    if (FParent->GetColor() == FColor) return;
    FColor = FParent->GetColor();
    Changed();
}

void TControl::SetShowHint(bool Value) {
    FParentShowHint = false;
    FShowHint = Value;
    if (auto* W = dynamic_cast<TWinControl*>(this)) W->NotifyChildren(&TControl::ParentShowHintChanged);
}

void TControl::SetParentShowHint(bool Value) {
    if (FParentShowHint == Value) return;
    FParentShowHint = Value;
    if (Value) ParentShowHintChanged();
}

void TControl::ParentShowHintChanged() {
    if (FParentShowHint && FParent) FShowHint = FParent->GetShowHint();
}

void TControl::SetVisible(bool Value) {
    if (FVisible == Value) return;
    FVisible = Value;
    Changed();
}

void TControl::SetEnabled(bool Value) {
    if (FEnabled == Value) return;
    FEnabled = Value;
    Changed();
}

bool TControl::IsShowing() const {
    for (const TControl* C = this; C; C = C->FParent)
        if (!C->FVisible && !dynamic_cast<const TCustomForm*>(C)) return false;
    return true;
}

bool TControl::IsEnabledInParents() const {
    for (const TControl* C = this; C; C = C->FParent)
        if (!C->FEnabled) return false;
    return true;
}

void TControl::SetParent(TWinControl* Value) {
    if (Value == FParent) return;
    for (const TControl* P = Value; P; P = P->FParent)
        if (P == this) throw EInvalidOperation("Control %s cannot be its own parent", {GetName()});
    DestroyWidget();
    if (FParent) FParent->RemoveControl(this);
    if (Value) Value->InsertControl(this);
    ParentFontChanged();
    ParentColorChanged();
    ParentShowHintChanged();
    // A control placed on a shown form gets its widget there.
    if (TCustomForm* Form = GetParentForm(); Form && Form != this && Form->WindowAllocated())
        CreateWidget(*Form->FWidgetSet, Form->GetWindow());
}

TComponent* TControl::GetParentComponent() const { return FParent; }

void TControl::SetParentComponent(TComponent* Value) {
    if (auto* W = dynamic_cast<TWinControl*>(Value)) SetParent(W);
}

TCustomForm* GetParentForm(const TControl* Control) {
    const TControl* C = Control;
    while (C && C->GetParent()) C = C->GetParent();
    return const_cast<TCustomForm*>(dynamic_cast<const TCustomForm*>(C));
}

TCustomForm* TControl::GetParentForm() const { return ::GetParentForm(this); }

void TControl::Click() { OnClick(this); }

void TControl::DblClick() { OnDblClick(this); }

void TControl::Invalidate() {
    if (FWidget != NoWidget) FWidgetSet->Invalidate(FWidget);
}

void TControl::Loaded() { TComponent::Loaded(); }

TPoint TControl::GetFormOrigin() const {
    TPoint P{FLeft, FTop};
    for (const TControl* C = FParent; C && C->FParent; C = C->FParent) {
        P.X += C->FLeft;
        P.Y += C->FTop;
    }
    return P;
}

bool TControl::GetWidgetKind(TWidgetKind&) const { return false; }

void TControl::FillWidgetProps(TControlProps& Props) const {
    Props.Name = GetName();
    const TPoint Origin = GetFormOrigin();
    Props.Bounds = Bounds(Origin.X, Origin.Y, FWidth, FHeight);
    Props.Caption = FText;
    Props.Font = FFont->GetData();
    Props.Color = FColor;
    Props.Visible = IsShowing();
    Props.Enabled = IsEnabledInParents();
    Props.TabOrder = -1;
}

TControlEvents TControl::GetWidgetEvents() { return {}; }

void TControl::CreateWidget(TWidgetSet& Set, TWidgetHandle Window) {
    TWidgetKind Kind;
    if (FWidget != NoWidget || !GetWidgetKind(Kind)) return;
    TControlProps Props;
    Props.Kind = Kind;
    FillWidgetProps(Props);
    FWidget = Set.CreateControl(Window, Props, GetWidgetEvents());
    FWidgetSet = &Set;
}

void TControl::DestroyWidget() {
    if (FWidget != NoWidget) FWidgetSet->Destroy(FWidget);
    FWidget = NoWidget;
    FWidgetSet = nullptr;
}

void TControl::UpdateWidget() {
    if (FWidget == NoWidget) return;
    TControlProps Props;
    TWidgetKind Kind;
    GetWidgetKind(Kind);
    Props.Kind = Kind;
    FillWidgetProps(Props);
    FWidgetSet->UpdateControl(FWidget, Props);
}

void TControl::Changed() { UpdateWidget(); }

// ----------------------------------------------------- TGraphicControl

TYPECASK_IMPLEMENT_CLASS(TGraphicControl)
void TGraphicControl::Publish(TPublisher<TGraphicControl>&) {}

TGraphicControl::TGraphicControl(TComponent* Owner) : TControl(Owner) {}
TGraphicControl::~TGraphicControl() = default;

// ---------------------------------------------------------- TWinControl

TYPECASK_IMPLEMENT_CLASS(TWinControl)
void TWinControl::Publish(TPublisher<TWinControl>&) {}

TWinControl::TWinControl(TComponent* Owner) : TControl(Owner) {}

TWinControl::~TWinControl() {
    // The children stay with their owners but lose their parent.
    for (auto* List : {&FGraphicControls, &FWinControls}) {
        for (TControl* C : *List) {
            C->DestroyWidget();
            C->FParent = nullptr;
        }
        List->clear();
    }
}

int TWinControl::ControlCount() const { return static_cast<int>(FGraphicControls.size() + FWinControls.size()); }

TControl* TWinControl::Controls(int Index) const {
    const int Graphic = static_cast<int>(FGraphicControls.size());
    if (Index < 0 || Index >= ControlCount()) throw EInvalidOperation("Control index out of bounds (%d)", {Index});
    return Index < Graphic ? FGraphicControls[static_cast<std::size_t>(Index)]
                           : FWinControls[static_cast<std::size_t>(Index - Graphic)];
}

bool TWinControl::ContainsControl(const TControl* Control) const {
    for (const TControl* C = Control; C; C = C->GetParent())
        if (C == this) return true;
    return false;
}

void TWinControl::InsertControl(TControl* Control) {
    Control->FParent = this;
    if (auto* W = dynamic_cast<TWinControl*>(Control)) {
        FWinControls.push_back(W);
        if (W->FTabOrder < 0) {
            int Next = 0;
            for (TControl* Other : FWinControls)
                Next = std::max(Next, static_cast<TWinControl*>(Other)->FTabOrder + 1);
            W->FTabOrder = Next;
        }
    } else {
        FGraphicControls.push_back(Control);
    }
}

void TWinControl::RemoveControl(TControl* Control) {
    std::erase(FGraphicControls, Control);
    std::erase(FWinControls, Control);
    Control->FParent = nullptr;
    if (TCustomForm* Form = GetParentForm()) Form->ControlRemoved(Control);
}

void TWinControl::SetTabOrder(int Value) {
    FTabOrder = Value < -1 ? -1 : Value;
    UpdateWidget();
}

void TWinControl::SetTabStop(bool Value) {
    if (FTabStop == Value) return;
    FTabStop = Value;
    UpdateWidget();
}

bool TWinControl::CanFocus() const { return IsShowing() && IsEnabledInParents(); }

void TWinControl::SetFocus() {
    if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
    if (TCustomForm* Form = GetParentForm(); Form && Form != this) Form->SetActiveControl(this);
}

bool TWinControl::Focused() const {
    if (FWidget == NoWidget) return false;
    TCustomForm* Form = GetParentForm();
    return Form && Form->WindowAllocated() && FWidgetSet->GetFocus(Form->GetWindow()) == FWidget;
}

void TWinControl::GetChildren(const TGetChildProc& Proc, TComponent* Root) {
    for (int I = 0; I < ControlCount(); ++I) {
        TControl* C = Controls(I);
        if (C->Owner() == Root) Proc(C);
    }
}

void TWinControl::FillWidgetProps(TControlProps& Props) const {
    TControl::FillWidgetProps(Props);
    Props.TabOrder = FTabStop ? std::max(0, FTabOrder) : -1;
}

void TWinControl::CreateWidget(TWidgetSet& Set, TWidgetHandle Window) {
    TControl::CreateWidget(Set, Window);
    // Graphic controls first: windowed controls are drawn over them.
    for (int I = 0; I < ControlCount(); ++I) Controls(I)->CreateWidget(Set, Window);
}

void TWinControl::DestroyWidget() {
    for (int I = ControlCount(); I-- > 0;) Controls(I)->DestroyWidget();
    TControl::DestroyWidget();
}

void TWinControl::NotifyChildren(void (TControl::*What)()) {
    const auto Graphic = FGraphicControls;
    const auto Win = FWinControls;
    for (TControl* C : Graphic) (C->*What)();
    for (TControl* C : Win) (C->*What)();
}

void TWinControl::NotifyChildrenChanged() { NotifyChildren(&TControl::Changed); }

void TWinControl::Changed() {
    TControl::Changed();
    // Children show their parent's visibility, state and position.
    NotifyChildrenChanged();
}

void TWinControl::FontChanged() {
    TControl::FontChanged();
    NotifyChildren(&TControl::ParentFontChanged);
}

void TWinControl::ParentFontChanged() { TControl::ParentFontChanged(); }

void TWinControl::ParentColorChanged() {
    TControl::ParentColorChanged();
    NotifyChildren(&TControl::ParentColorChanged);
}

void TWinControl::ParentShowHintChanged() {
    TControl::ParentShowHintChanged();
    NotifyChildren(&TControl::ParentShowHintChanged);
}
