// Images and bevels.
#pragma once

#include "platform/Controls.h"

// ------------------------------------------------------------------ TImage

// Shows a picture. Its bitmap can be changed directly (Picture->GetBitmap()
// ->SetHandle(...)); the image takes the picture's size (AutoSize) and shows
// the new pixels when it is next shown, or at once after PictureChanged.
class TImage : public TGraphicControl {
    TYPECASK_CLASS(TImage, TGraphicControl)

public:
    explicit TImage(TComponent* Owner);
    ~TImage() override;

    TPicture* GetPicture() const { return FPicture.get(); }
    bool GetAutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    bool GetCenter() const { return FCenter; }
    void SetCenter(bool Value);
    bool GetStretch() const { return FStretch; }
    void SetStretch(bool Value);
    bool GetTransparent() const { return FTransparent; }
    void SetTransparent(bool Value);

    // The picture's pixels or size changed: adjusts the size (AutoSize) and
    // shows the picture again.
    void PictureChanged();

protected:
    bool GetWidgetKind(TWidgetKind& Kind) const override;
    void FillWidgetProps(TControlProps& Props) const override;
    void CreateWidget(TWidgetSet& Set, TWidgetHandle Window) override;

private:
    void AdjustSize();

    std::unique_ptr<TPicture> FPicture;
    bool FAutoSize = false;
    bool FCenter = false;
    bool FStretch = false;
    bool FTransparent = false;
};

// ------------------------------------------------------------------ TBevel

// The bevel shapes and styles, as the widgetset names them.
inline constexpr TBevelShape bsBox = TBevelShape::Box;
inline constexpr TBevelShape bsFrame = TBevelShape::Frame;
inline constexpr TBevelShape bsTopLine = TBevelShape::TopLine;
inline constexpr TBevelShape bsBottomLine = TBevelShape::BottomLine;
inline constexpr TBevelShape bsLeftLine = TBevelShape::LeftLine;
inline constexpr TBevelShape bsRightLine = TBevelShape::RightLine;
const TTypeInfo* TypeInfoFor(TBevelShape*);
inline constexpr TBevelStyle bsLowered = TBevelStyle::Lowered;
inline constexpr TBevelStyle bsRaised = TBevelStyle::Raised;
const TTypeInfo* TypeInfoFor(TBevelStyle*);

// A line or frame drawn in 3D colours.
class TBevel : public TGraphicControl {
    TYPECASK_CLASS(TBevel, TGraphicControl)

public:
    explicit TBevel(TComponent* Owner);
    ~TBevel() override;

    TBevelShape GetShape() const { return FShape; }
    void SetShape(TBevelShape Value);
    TBevelStyle GetStyle() const { return FStyle; }
    void SetStyle(TBevelStyle Value);

protected:
    bool GetWidgetKind(TWidgetKind& Kind) const override;
    void FillWidgetProps(TControlProps& Props) const override;

private:
    TBevelShape FShape = bsBox;
    TBevelStyle FStyle = bsLowered;
};
