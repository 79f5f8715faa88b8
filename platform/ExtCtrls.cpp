#include "platform/ExtCtrls.h"

// ------------------------------------------------------------------ TImage

TYPECASK_IMPLEMENT_CLASS(TImage)
void TImage::Publish(TPublisher<TImage>& P) {
    using namespace ControlPublish;
    P.Property("AutoSize", &TImage::GetAutoSize, &TImage::SetAutoSize).Default(false);
    P.Property("Center", &TImage::GetCenter, &TImage::SetCenter).Default(false);
    Enabled(P);
    Hint(P);
    ParentShowHint(P);
    ShowHint(P);
    P.Property("Stretch", &TImage::GetStretch, &TImage::SetStretch).Default(false);
    P.Property("Transparent", &TImage::GetTransparent, &TImage::SetTransparent).Default(false);
    Visible(P);
    OnClickEvent(P);
    OnDblClickEvent(P);
}

TImage::TImage(TComponent* Owner) : TGraphicControl(Owner), FPicture(std::make_unique<TPicture>()) {
    SetBounds(0, 0, 105, 105);
}

TImage::~TImage() {
    // The widget goes before the picture it shows.
    DestroyWidget();
}

void TImage::SetAutoSize(bool Value) {
    if (FAutoSize == Value) return;
    FAutoSize = Value;
    PictureChanged();
}

void TImage::SetCenter(bool Value) {
    if (FCenter == Value) return;
    FCenter = Value;
    Changed();
}

void TImage::SetStretch(bool Value) {
    if (FStretch == Value) return;
    FStretch = Value;
    Changed();
}

void TImage::SetTransparent(bool Value) {
    if (FTransparent == Value) return;
    FTransparent = Value;
    Changed();
}

void TImage::AdjustSize() {
    if (FAutoSize && !IsLoading() && FPicture->GetWidth() > 0 && FPicture->GetHeight() > 0)
        SetBounds(GetLeft(), GetTop(), FPicture->GetWidth(), FPicture->GetHeight());
}

void TImage::PictureChanged() {
    AdjustSize();
    Changed();
    Invalidate();
}

void TImage::CreateWidget(TWidgetSet& Set, TWidgetHandle Window) {
    // The bitmap may have been changed directly since the last showing.
    AdjustSize();
    TGraphicControl::CreateWidget(Set, Window);
}

bool TImage::GetWidgetKind(TWidgetKind& Kind) const {
    Kind = TWidgetKind::Image;
    return true;
}

void TImage::FillWidgetProps(TControlProps& Props) const {
    TGraphicControl::FillWidgetProps(Props);
    const TBitmap* Bitmap = FPicture->Graphic();
    Props.Picture = Bitmap && !Bitmap->Empty() ? Bitmap : nullptr;
    Props.Center = FCenter;
    Props.Stretch = FStretch;
    Props.Transparent = FTransparent;
}

// ------------------------------------------------------------------ TBevel

const TTypeInfo* TypeInfoFor(TBevelShape*) {
    static const TTypeInfo Info =
        TTypeInfo::Enumeration("TBevelShape", "bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine");
    return &Info;
}

const TTypeInfo* TypeInfoFor(TBevelStyle*) {
    static const TTypeInfo Info = TTypeInfo::Enumeration("TBevelStyle", "bsLowered, bsRaised");
    return &Info;
}

TYPECASK_IMPLEMENT_CLASS(TBevel)
void TBevel::Publish(TPublisher<TBevel>& P) {
    using namespace ControlPublish;
    ParentShowHint(P);
    P.Property("Shape", &TBevel::GetShape, &TBevel::SetShape).Default(bsBox);
    ShowHint(P);
    P.Property("Style", &TBevel::GetStyle, &TBevel::SetStyle).Default(bsLowered);
    Visible(P);
}

TBevel::TBevel(TComponent* Owner) : TGraphicControl(Owner) { SetBounds(0, 0, 50, 50); }

TBevel::~TBevel() = default;

void TBevel::SetShape(TBevelShape Value) {
    if (FShape == Value) return;
    FShape = Value;
    Changed();
}

void TBevel::SetStyle(TBevelStyle Value) {
    if (FStyle == Value) return;
    FStyle = Value;
    Changed();
}

bool TBevel::GetWidgetKind(TWidgetKind& Kind) const {
    Kind = TWidgetKind::Bevel;
    return true;
}

void TBevel::FillWidgetProps(TControlProps& Props) const {
    TGraphicControl::FillWidgetProps(Props);
    Props.Shape = FShape;
    Props.BevelStyle = FStyle;
}

namespace {

const bool ExtClassesRegistered = [] {
    RegisterClasses({TImage::StaticClass(), TBevel::StaticClass()});
    return true;
}();

}  // namespace
