// The painter: controls drawn in a plain native-like style through TCanvas,
// for the backends that draw their own (headless, and parts of the others).
#include "platform/widgetsets/WidgetSetBase.h"

#include "platform/Captions.h"
#include "platform/os/Drawing.h"

#include <algorithm>

namespace WidgetSets {

namespace {

// A canvas bound to Cr for the length of one paint step.
class TBoundCanvas {
public:
    TBoundCanvas(TCanvas& Canvas, TCanvasHandle Cr) : FCanvas(Canvas) { FCanvas.SetHandle(Cr); }
    ~TBoundCanvas() { FCanvas.ReleaseHandle(); }
    TBoundCanvas(const TBoundCanvas&) = delete;
    TBoundCanvas& operator=(const TBoundCanvas&) = delete;
    TCanvas* operator->() { return &FCanvas; }
    TCanvas& operator*() { return FCanvas; }
    // Ends the binding before the step does.
    void Release() { FCanvas.ReleaseHandle(); }

private:
    TCanvas& FCanvas;
};

void Line(TCanvas& C, TColor Color, int X1, int Y1, int X2, int Y2) {
    C.GetPen()->SetColor(Color);
    C.GetPen()->SetStyle(psSolid);
    C.GetPen()->SetWidth(1);
    C.MoveTo(X1, Y1);
    C.LineTo(X2, Y2);
}

// Two colours around R: TopLeft on the top and left edges, BottomRight on
// the others.
void Frame3D(TCanvas& C, TRect R, TColor TopLeft, TColor BottomRight) {
    Line(C, TopLeft, R.Left, R.Bottom - 1, R.Left, R.Top);
    Line(C, TopLeft, R.Left, R.Top, R.Right - 1, R.Top);
    Line(C, BottomRight, R.Right - 1, R.Top, R.Right - 1, R.Bottom);
    Line(C, BottomRight, R.Left, R.Bottom - 1, R.Right - 1, R.Bottom - 1);
}

// The context's state saved for the length of one paint step.
class TSavedContext {
public:
    explicit TSavedContext(TCanvasHandle Cr) : FContext(Cr), FSaved(Os::SaveContext(Cr)) {}
    ~TSavedContext() { Os::RestoreContext(FContext, FSaved); }
    TSavedContext(const TSavedContext&) = delete;
    TSavedContext& operator=(const TSavedContext&) = delete;

private:
    TCanvasHandle FContext;
    int FSaved;
};

}  // namespace

// --------------------------------------------------------------- painting

void TWidgetSetBase::PaintListRows(TControlRecord& C, TCanvasHandle Cr) {
    TCanvas Lent;
    TCanvas& Canvas = C.Props.Canvas ? *C.Props.Canvas : Lent;
    bool OwnerDraw = C.Props.Style != TListBoxStyle::Standard && C.Events.OnDrawItem;
    bool HasFocus = IsWindow(C.Window) && Window(C.Window).Focus == C.Handle;
    const TRect Clip = Os::ClipRect(Cr);
    TWidgetHandle Handle = C.Handle;
    for (int I = 0; I < static_cast<int>(C.RowHeights.size()); ++I) {
        TRect R = RowRect(Handle, I);
        if (R.Bottom <= Clip.Top || R.Top >= Clip.Bottom) continue;
        TOwnerDrawState State;
        State.Selected = I == C.Props.ItemIndex;
        State.Focused = HasFocus && State.Selected;
        State.Disabled = !C.Props.Enabled;
        {
            TSavedContext Saved(Cr);
            Os::IntersectClip(Cr, R);
            TBoundCanvas B(Canvas, Cr);
            B->GetFont()->SetData(C.Props.Font);
            B->GetBrush()->SetStyle(bsSolid);
            B->GetBrush()->SetColor(State.Selected ? clHighlight : C.Props.Color);
            if (State.Selected) B->GetFont()->SetColor(clHighlightText);
            if (OwnerDraw) {
                auto Draw = C.Events.OnDrawItem;
                Draw(*B, I, R, State);
            } else {
                B->FillRect(R);
                B->TextOut(R.Left + 2, R.Top, C.Props.Items[static_cast<std::size_t>(I)]);
            }
            B.Release();
            if (State.Focused) Os::DottedFrame(Cr, R);
        }
        if (!IsControl(Handle)) return;  // a handler destroyed the list
    }
}

void TWidgetSetBase::PaintScrollBar(TCanvas& Canvas, const TControlRecord& C, const TRect& R) {
    // A track between two arrow buttons, with a thumb whose length and place
    // show the visible part of the rows.
    const int Button = std::min(ListScrollBarWidth, R.Height() / 2);
    Canvas.GetBrush()->SetColor(cl3DLight);
    Canvas.FillRect(R);
    auto Raised = [&](const TRect& Box) {
        Canvas.GetBrush()->SetColor(clBtnFace);
        Canvas.FillRect(Box);
        Frame3D(Canvas, Box, cl3DLight, cl3DDkShadow);
        Frame3D(Canvas, {Box.Left + 1, Box.Top + 1, Box.Right - 1, Box.Bottom - 1}, clBtnHighlight, clBtnShadow);
    };
    auto Arrow = [&](const TRect& Box, bool Up) {
        Raised(Box);
        const int Mx = (Box.Left + Box.Right) / 2, My = (Box.Top + Box.Bottom) / 2;
        for (int I = 0; I < 4; ++I) {
            const int Y = Up ? My - 2 + I : My + 1 - I;
            Line(Canvas, clBtnText, Mx - I, Y, Mx + I + 1, Y);
        }
    };
    Arrow({R.Left, R.Top, R.Right, R.Top + Button}, true);
    Arrow({R.Left, R.Bottom - Button, R.Right, R.Bottom}, false);
    const int Track = R.Height() - 2 * Button, Content = std::max(1, ContentHeight(C));
    const int Visible = ListClientRect(C).Height();
    if (Track < 8) return;
    const int Thumb = std::clamp(Track * Visible / Content, 8, Track);
    const int Range = std::max(1, Content - Visible);
    const int Top = R.Top + Button + (Track - Thumb) * std::clamp(C.ScrollY, 0, Range) / Range;
    Raised({R.Left, Top, R.Right, Top + Thumb});
}

void TWidgetSetBase::PaintControl(TControlRecord& C, TCanvasHandle Cr) {
    const TControlProps& P = C.Props;
    TRect R{0, 0, P.Bounds.Width(), P.Bounds.Height()};
    TCanvas Canvas;
    TBoundCanvas B(Canvas, Cr);
    B->IntersectClipRect(R);
    B->GetFont()->SetData(P.Font);
    if (!P.Enabled) B->GetFont()->SetColor(clGrayText);
    bool Focused = IsWindow(C.Window) && Window(C.Window).Focus == C.Handle;
    switch (P.Kind) {
        case TWidgetKind::Label: {
            if (!P.Transparent) {
                B->GetBrush()->SetColor(P.Color);
                B->FillRect(R);
            }
            B->GetBrush()->SetStyle(bsClear);
            int LineHeight = B->TextHeight("Wg"), Y = 0;
            for (const AnsiString& L : WrapCaption(*B, CaptionText(P.Caption), R.Width(), P.WordWrap)) {
                B->TextOut(0, Y, L);
                Y += LineHeight;
            }
            break;
        }
        case TWidgetKind::StaticText: {
            B->GetBrush()->SetColor(P.Color);
            B->FillRect(R);
            int Inset = 0;
            if (P.Border == TStaticBorder::Sunken) {
                Frame3D(*B, R, clBtnShadow, clBtnHighlight);
                Inset = 1;
            } else if (P.Border == TStaticBorder::Single) {
                Frame3D(*B, R, clWindowFrame, clWindowFrame);
                Inset = 1;
            }
            B->GetBrush()->SetStyle(bsClear);
            B->IntersectClipRect({Inset, Inset, R.Right - Inset, R.Bottom - Inset});
            B->TextOut(Inset, Inset, CaptionText(P.Caption));
            break;
        }
        case TWidgetKind::Button: {
            B->GetBrush()->SetColor(clBtnFace);
            B->FillRect(R);
            TRect Face = R;
            if (P.Default || Focused) {
                Frame3D(*B, Face, clWindowFrame, clWindowFrame);
                Face = {Face.Left + 1, Face.Top + 1, Face.Right - 1, Face.Bottom - 1};
            }
            Frame3D(*B, Face, clBtnHighlight, cl3DDkShadow);
            Frame3D(*B, {Face.Left + 1, Face.Top + 1, Face.Right - 1, Face.Bottom - 1}, cl3DLight, clBtnShadow);
            AnsiString Text = CaptionText(P.Caption);
            int TW = B->TextWidth(Text), TH = B->TextHeight(Text);
            int GW = P.Glyph ? P.Glyph->GetWidth() : 0, GH = P.Glyph ? P.Glyph->GetHeight() : 0;
            int Gap = GW && !Text.empty() ? 4 : 0;
            int X = (R.Width() - (GW + Gap + TW)) / 2;
            if (P.Glyph) B->Draw(X, (R.Height() - GH) / 2, P.Glyph);
            B->GetBrush()->SetStyle(bsClear);
            B->TextOut(X + GW + Gap, (R.Height() - TH) / 2, Text);
            if (Focused) Os::DottedFrame(Cr, {4, 4, R.Right - 4, R.Bottom - 4});
            break;
        }
        case TWidgetKind::ListBox: {
            B->GetBrush()->SetColor(P.Color);
            B->FillRect(R);
            Frame3D(*B, R, clBtnShadow, clBtnHighlight);
            Frame3D(*B, {1, 1, R.Right - 1, R.Bottom - 1}, cl3DDkShadow, cl3DLight);
            TRect Client = ListClientRect(C);
            if (ListOverflows(C)) PaintScrollBar(*B, C, {ListBorder + Client.Right, ListBorder,
                                                        ListBorder + Client.Right + ListScrollBarWidth,
                                                        ListBorder + Client.Bottom});
            TSavedContext Saved(Cr);
            Os::Translate(Cr, ListBorder, ListBorder);
            Os::IntersectClip(Cr, {0, 0, Client.Width(), Client.Height()});
            PaintListRows(C, Cr);
            break;
        }
        case TWidgetKind::Edit: {
            // The text on the edit's colour in a sunken edge, vertically
            // centred; with the focus a caret after its end (the shared
            // rules type at the end).
            B->GetBrush()->SetColor(P.Color);
            B->FillRect(R);
            Frame3D(*B, R, clBtnShadow, clBtnHighlight);
            Frame3D(*B, {1, 1, R.Right - 1, R.Bottom - 1}, cl3DDkShadow, cl3DLight);
            const int Inset = EditBorder + EditMargin;
            B->IntersectClipRect({EditBorder, EditBorder, R.Right - EditBorder, R.Bottom - EditBorder});
            B->GetBrush()->SetStyle(bsClear);
            const int TH = B->TextHeight("Wg"), Y = (R.Height() - TH) / 2;
            B->TextOut(Inset, Y, P.Caption);
            if (Focused && P.Enabled) {
                const int X = Inset + B->TextWidth(P.Caption);
                Line(*B, P.Font.Color, X, Y, X, Y + TH);
            }
            break;
        }
        case TWidgetKind::Image: {
            const TBitmap* Pic = P.Picture;
            if (!Pic || Pic->Empty()) break;
            // A transparent image shows its bitmap as a transparent one.
            TBitmap Keyed;
            if (P.Transparent && !Pic->GetTransparent()) {
                Keyed.Assign(*Pic);
                Keyed.SetTransparent(true);
                Pic = &Keyed;
            }
            if (P.Stretch) B->StretchDraw(R, Pic);
            else if (P.Center) B->Draw((R.Width() - Pic->GetWidth()) / 2, (R.Height() - Pic->GetHeight()) / 2, Pic);
            else B->Draw(0, 0, Pic);
            break;
        }
        case TWidgetKind::Bevel: {
            TColor C1 = P.BevelStyle == TBevelStyle::Lowered ? clBtnShadow : clBtnHighlight;
            TColor C2 = P.BevelStyle == TBevelStyle::Lowered ? clBtnHighlight : clBtnShadow;
            int W = R.Width(), H = R.Height();
            switch (P.Shape) {
                case TBevelShape::Box: Frame3D(*B, R, C1, C2); break;
                case TBevelShape::Frame:
                    Frame3D(*B, {0, 0, W - 1, H - 1}, C1, C1);
                    Frame3D(*B, {1, 1, W, H}, C2, C2);
                    break;
                case TBevelShape::TopLine: Line(*B, C1, 0, 0, W, 0); Line(*B, C2, 0, 1, W, 1); break;
                case TBevelShape::BottomLine: Line(*B, C1, 0, H - 2, W, H - 2); Line(*B, C2, 0, H - 1, W, H - 1); break;
                case TBevelShape::LeftLine: Line(*B, C1, 0, 0, 0, H); Line(*B, C2, 1, 0, 1, H); break;
                case TBevelShape::RightLine: Line(*B, C1, W - 2, 0, W - 2, H); Line(*B, C2, W - 1, 0, W - 1, H); break;
            }
            break;
        }
    }
}

void TWidgetSetBase::PaintWindow(TWidgetHandle Handle, TCanvasHandle Cr) {
    const TWindowRecord& W = Window(Handle);
    TSavedContext Saved(Cr);
    Os::Paint(Cr, W.Props.Color);
    std::vector<TWidgetHandle> Controls = W.Controls;
    for (TWidgetHandle H : Controls) {
        if (!IsControl(H)) continue;
        TControlRecord& C = Control(H);
        if (!C.Props.Visible) continue;
        TSavedContext SavedForControl(Cr);
        Os::Translate(Cr, C.Props.Bounds.Left, C.Props.Bounds.Top);
        PaintControl(C, Cr);
    }
}

std::unique_ptr<TBitmap> TWidgetSetBase::RenderWindow(TWidgetHandle Handle) {
    const TWindowRecord& W = Window(Handle);
    auto Bitmap = std::make_unique<TBitmap>(W.Props.ClientWidth, W.Props.ClientHeight);
    if (Bitmap->Empty()) return Bitmap;
    TCanvas* Canvas = Bitmap->GetCanvas();
    PaintWindow(Handle, Canvas->GetHandle());
    Canvas->ReleaseHandle();
    return Bitmap;
}

}  // namespace WidgetSets
