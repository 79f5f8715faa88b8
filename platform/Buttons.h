// Buttons with a glyph: TBitBtn, whose Kind gives it a standard caption,
// glyph and modal result.
#pragma once

#include "platform/StdCtrls.h"

enum TBitBtnKind { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll };
TYPECASK_ENUM(TBitBtnKind, bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll)

// The caption and modal result that a kind gives its button.
AnsiString BitBtnCaption(TBitBtnKind Kind);
TModalResult BitBtnModalResult(TBitBtnKind Kind);

class TBitBtn : public TButton {
    TYPECASK_CLASS(TBitBtn, TButton)

public:
    explicit TBitBtn(TComponent* Owner);
    ~TBitBtn() override;

    // Setting a kind other than bkCustom sets the caption, the glyph (a
    // check mark for OK, Yes and All, a cross for Cancel, No and Abort, none
    // for the others), the modal result, and Default (OK, Yes) and Cancel
    // (Cancel, No). While the form is read the caption read stays.
    TBitBtnKind GetKind() const { return FKind; }
    void SetKind(TBitBtnKind Value);
    // The glyph shown beside the caption (empty: none).
    TBitmap* GetGlyph() const { return FGlyph.get(); }

    // A bkClose button closes its form; the others click as buttons do.
    void Click() override;

    bool IsCaptionStored() const override;
    bool IsCustom() const override { return FKind == bkCustom; }

protected:
    void FillWidgetProps(TControlProps& Props) const override;

private:
    void MakeGlyph();

    TBitBtnKind FKind = bkCustom;
    std::unique_ptr<TBitmap> FGlyph;
};
