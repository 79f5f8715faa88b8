#include "platform/widgetsets/WidgetSetBase.h"

#include "platform/Captions.h"
#include "platform/StringList.h"
#include "platform/TextConv.h"
#include "platform/os/Drawing.h"

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cstdlib>

namespace WidgetSets {

namespace {

constexpr int ListBorder = 2;

AnsiString Plain(const AnsiString& Caption) {
    // Caption without accelerator marks ("&&" stays one '&'), in upper case.
    AnsiString Out;
    for (std::size_t I = 0; I < Caption.size(); ++I) {
        if (Caption[I] == '&' && I + 1 < Caption.size()) ++I;
        else if (Caption[I] == '&') continue;
        Out += static_cast<char>(std::toupper(static_cast<unsigned char>(Caption[I])));
    }
    return Out;
}

AnsiString Upper(AnsiString S) {
    for (char& Ch : S) Ch = static_cast<char>(std::toupper(static_cast<unsigned char>(Ch)));
    return S;
}

}  // namespace

namespace {

bool Usable(const TControlRecord& C) { return C.Props.Visible && C.Props.Enabled; }

bool IsListBox(const TControlRecord& C) { return C.Props.Kind == TWidgetKind::ListBox; }

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

// ------------------------------------------------------------- the model

TWidgetHandle TWidgetSetBase::CreateWindow(const TWindowProps& Props, TWindowEvents Events) {
    TWidgetHandle H = FNextHandle++;
    TWindowRecord& W = FWindows[H];
    W.Handle = H;
    W.Props = Props;
    W.Events = std::move(Events);
    try {
        NativeCreateWindow(W);
    } catch (...) {
        FWindows.erase(H);
        throw;
    }
    return H;
}

void TWidgetSetBase::UpdateWindow(TWidgetHandle Handle, const TWindowProps& Props) {
    TWindowRecord& W = Window(Handle);
    W.Props = Props;
    NativeUpdateWindow(W);
}

TWidgetHandle TWidgetSetBase::CreateControl(TWidgetHandle WindowHandle, const TControlProps& Props,
                                            TControlEvents Events) {
    TWindowRecord& W = Window(WindowHandle);
    TWidgetHandle H = FNextHandle++;
    TControlRecord& C = FControls[H];
    C.Handle = H;
    C.Window = WindowHandle;
    C.Props = Props;
    C.Events = std::move(Events);
    try {
        if (IsListBox(C)) {
            MeasureRows(C);
            // A row selected before the list was shown is in view when it shows.
            if (C.Props.ItemIndex >= static_cast<int>(C.Props.Items.size())) C.Props.ItemIndex = -1;
            if (C.Props.ItemIndex >= 0) EnsureVisible(C, C.Props.ItemIndex);
        }
        NativeCreateControl(W, C);
    } catch (...) {
        FControls.erase(H);
        throw;
    }
    W.Controls.push_back(H);
    return H;
}

void TWidgetSetBase::UpdateControl(TWidgetHandle Handle, const TControlProps& Props) {
    TControlRecord& C = Control(Handle);
    bool Remeasure = IsListBox(C) && (C.Props.Items != Props.Items || C.Props.Style != Props.Style ||
                                      C.Props.ItemHeight != Props.ItemHeight || !(C.Props.Font == Props.Font));
    C.Props = Props;
    if (IsListBox(C)) {
        if (Remeasure) MeasureRows(C);
        if (C.Props.ItemIndex < -1 || C.Props.ItemIndex >= static_cast<int>(C.Props.Items.size()))
            C.Props.ItemIndex = -1;
        if (C.Props.ItemIndex >= 0) EnsureVisible(C, C.Props.ItemIndex);
        SetScroll(C, C.ScrollY);
    }
    TWindowRecord& W = Window(C.Window);
    if (W.Focus == Handle && !Usable(C)) W.Focus = NoWidget;
    NativeUpdateControl(C);
}

void TWidgetSetBase::Destroy(TWidgetHandle Handle) {
    if (auto It = FControls.find(Handle); It != FControls.end()) {
        TControlRecord& C = It->second;
        NativeDestroyControl(C);
        if (auto W = FWindows.find(C.Window); W != FWindows.end()) {
            std::erase(W->second.Controls, Handle);
            if (W->second.Focus == Handle) W->second.Focus = NoWidget;
        }
        FControls.erase(It);
        return;
    }
    if (auto It = FWindows.find(Handle); It != FWindows.end()) {
        TWindowRecord& W = It->second;
        if (W.Showing) EndModal(Handle, mrCancel);
        for (TWidgetHandle Child : W.Controls) {
            NativeDestroyControl(Control(Child));
            FControls.erase(Child);
        }
        W.Controls.clear();
        NativeDestroyWindow(W);
        FWindows.erase(It);
    }
}

const TControlProps& TWidgetSetBase::GetControlProps(TWidgetHandle Handle) const { return Control(Handle).Props; }
const TWindowProps& TWidgetSetBase::GetWindowProps(TWidgetHandle Handle) const { return Window(Handle).Props; }
std::vector<TWidgetHandle> TWidgetSetBase::GetControls(TWidgetHandle Handle) const { return Window(Handle).Controls; }

void TWidgetSetBase::Invalidate(TWidgetHandle Handle) { NativeInvalidate(Control(Handle)); }

void TWidgetSetBase::SetFocus(TWidgetHandle Handle) {
    TControlRecord& C = Control(Handle);
    TWindowRecord& W = Window(C.Window);
    if (!Usable(C)) return;
    TWidgetHandle Old = W.Focus;
    W.Focus = Handle;
    NativeFocus(C);
    if (Old != Handle && IsControl(Old)) NativeInvalidate(Control(Old));
    NativeInvalidate(C);
}

TWidgetHandle TWidgetSetBase::GetFocus(TWidgetHandle Handle) const { return Window(Handle).Focus; }

int TWidgetSetBase::GetTopIndex(TWidgetHandle Handle) const {
    const TControlRecord& C = Control(Handle);
    int Y = 0;
    for (std::size_t I = 0; I < C.RowHeights.size(); ++I) {
        if (Y + C.RowHeights[I] > C.ScrollY) return static_cast<int>(I);
        Y += C.RowHeights[I];
    }
    return 0;
}

void TWidgetSetBase::EndModal(TWidgetHandle Handle, TModalResult Result) {
    auto It = FWindows.find(Handle);
    if (It == FWindows.end() || !It->second.Showing || Result == mrNone) return;
    It->second.ModalResult = Result;
    NativeEndModal(It->second);
}

bool TWidgetSetBase::IsShowing(TWidgetHandle Handle) const {
    auto It = FWindows.find(Handle);
    return It != FWindows.end() && It->second.Showing;
}

void TWidgetSetBase::SaveScreenshot(TWidgetHandle Handle, const AnsiString& FileName) {
    RenderWindow(Handle)->SaveToPngFile(FileName);
}

TControlRecord& TWidgetSetBase::Control(TWidgetHandle Handle) {
    auto It = FControls.find(Handle);
    if (It == FControls.end()) throw EWidgetSetError(Format("Unknown control handle %d", {Handle}));
    return It->second;
}

const TControlRecord& TWidgetSetBase::Control(TWidgetHandle Handle) const {
    return const_cast<TWidgetSetBase*>(this)->Control(Handle);
}

TWindowRecord& TWidgetSetBase::Window(TWidgetHandle Handle) {
    auto It = FWindows.find(Handle);
    if (It == FWindows.end()) throw EWidgetSetError(Format("Unknown window handle %d", {Handle}));
    return It->second;
}

const TWindowRecord& TWidgetSetBase::Window(TWidgetHandle Handle) const {
    return const_cast<TWidgetSetBase*>(this)->Window(Handle);
}

TWidgetHandle TWidgetSetBase::FindControl(TWidgetHandle WindowHandle, const AnsiString& NameOrCaption) const {
    const TWindowRecord& W = Window(WindowHandle);
    for (TWidgetHandle H : W.Controls)
        if (Upper(Control(H).Props.Name) == Upper(NameOrCaption)) return H;
    for (TWidgetHandle H : W.Controls)
        if (Plain(Control(H).Props.Caption) == Plain(NameOrCaption)) return H;
    return NoWidget;
}

TWidgetHandle TWidgetSetBase::FindControl(TWidgetHandle WindowHandle, TWidgetKind Kind) const {
    for (TWidgetHandle H : Window(WindowHandle).Controls)
        if (Control(H).Props.Kind == Kind) return H;
    return NoWidget;
}

int TWidgetSetBase::FindRow(TWidgetHandle ListBox, const AnsiString& Text) const {
    const auto& Items = Control(ListBox).Props.Items;
    auto It = std::find(Items.begin(), Items.end(), Text);
    return It == Items.end() ? -1 : static_cast<int>(It - Items.begin());
}

// ------------------------------------------------------------- list boxes

void TWidgetSetBase::MeasureRows(TControlRecord& C) {
    std::size_t Count = C.Props.Items.size();
    C.RowHeights.assign(Count, std::max(1, C.Props.ItemHeight));
    if (C.Props.Style == TListBoxStyle::OwnerDrawVariable && C.Events.OnMeasureItem) {
        auto Measure = C.Events.OnMeasureItem;
        for (std::size_t I = 0; I < Count; ++I)
            C.RowHeights[I] = std::clamp(Measure(static_cast<int>(I)), 1, 32767);
    }
}

bool TWidgetSetBase::ListOverflows(const TControlRecord& C) {
    int Sum = 0;
    for (int H : C.RowHeights) Sum += H;
    return Sum > C.Props.Bounds.Height() - 2 * ListBorder;
}

TRect TWidgetSetBase::ListClientRect(const TControlRecord& C) {
    const int Bar = ListOverflows(C) ? ListScrollBarWidth : 0;
    const int Width = C.NativeClientWidth > 0 ? C.NativeClientWidth : C.Props.Bounds.Width() - 2 * ListBorder - Bar;
    return {0, 0, std::max(0, Width), std::max(0, C.Props.Bounds.Height() - 2 * ListBorder)};
}

int TWidgetSetBase::ContentHeight(const TControlRecord& C) const {
    int Sum = 0;
    for (int H : C.RowHeights) Sum += H;
    return Sum;
}

TRect TWidgetSetBase::RowRect(TWidgetHandle ListBox, int Index) const {
    const TControlRecord& C = Control(ListBox);
    if (Index < 0 || Index >= static_cast<int>(C.RowHeights.size())) return {};
    int Y = 0;
    for (int I = 0; I < Index; ++I) Y += C.RowHeights[I];
    return {0, Y - C.ScrollY, ListClientRect(C).Right, Y - C.ScrollY + C.RowHeights[Index]};
}

int TWidgetSetBase::RowAt(TWidgetHandle ListBox, int Y) const {
    const TControlRecord& C = Control(ListBox);
    if (Y < 0 || Y >= ListClientRect(C).Bottom) return -1;
    int Top = -C.ScrollY;
    for (std::size_t I = 0; I < C.RowHeights.size(); ++I) {
        if (Y >= Top && Y < Top + C.RowHeights[I]) return static_cast<int>(I);
        Top += C.RowHeights[I];
    }
    return -1;
}

void TWidgetSetBase::SetScroll(TControlRecord& C, int Y) {
    int Max = std::max(0, ContentHeight(C) - ListClientRect(C).Height());
    int New = std::clamp(Y, 0, Max);
    if (New == C.ScrollY) return;
    C.ScrollY = New;
    NativeScrolled(C);
}

void TWidgetSetBase::EnsureVisible(TControlRecord& C, int Index) {
    TRect R = RowRect(C.Handle, Index);
    int Visible = ListClientRect(C).Height();
    if (R.Top < 0) SetScroll(C, C.ScrollY + R.Top);
    else if (R.Bottom > Visible) SetScroll(C, C.ScrollY + std::min(R.Top, R.Bottom - Visible));
}

int TWidgetSetBase::RowsPerPage(const TControlRecord& C, int From) const {
    int Visible = ListClientRect(C).Height(), Used = 0, Rows = 0;
    for (std::size_t I = std::max(0, From); I < C.RowHeights.size(); ++I) {
        if (Used + C.RowHeights[I] > Visible) break;
        Used += C.RowHeights[I];
        ++Rows;
    }
    return std::max(1, Rows);
}

void TWidgetSetBase::UserSelect(TControlRecord& C, int Index) {
    C.Props.ItemIndex = Index;
    EnsureVisible(C, Index);
    NativeScrolled(C);
    NativeInvalidate(C);
    if (auto OnSelect = C.Events.OnSelect) OnSelect(Index);
}

bool TWidgetSetBase::ClickRow(TWidgetHandle ListBox, int Index) {
    TControlRecord& C = Control(ListBox);
    if (!IsListBox(C) || !Usable(C) || Index < 0 || Index >= static_cast<int>(C.Props.Items.size())) return false;
    SetFocus(ListBox);
    UserSelect(C, Index);
    return true;
}

bool TWidgetSetBase::DoubleClickRow(TWidgetHandle ListBox, int Index) {
    if (!ClickRow(ListBox, Index)) return false;
    if (!IsControl(ListBox)) return true;
    if (auto OnDblClick = Control(ListBox).Events.OnDblClick) OnDblClick(Index);
    return true;
}

bool TWidgetSetBase::ClickButton(TWidgetHandle Button) {
    TControlRecord& C = Control(Button);
    if (C.Props.Kind != TWidgetKind::Button || !Usable(C)) return false;
    SetFocus(Button);
    if (auto OnClick = C.Events.OnClick) OnClick();
    return true;
}

bool TWidgetSetBase::ListKey(TControlRecord& C, TKey Key) {
    int Count = static_cast<int>(C.Props.Items.size());
    if (Count == 0) return false;
    int Cur = C.Props.ItemIndex, New = Cur;
    switch (Key) {
        case TKey::Up: New = Cur < 0 ? 0 : std::max(0, Cur - 1); break;
        case TKey::Down: New = Cur < 0 ? 0 : std::min(Count - 1, Cur + 1); break;
        case TKey::Home: New = 0; break;
        case TKey::End: New = Count - 1; break;
        case TKey::PageDown: {
            int From = Cur < 0 ? 0 : Cur;
            New = std::min(Count - 1, From + RowsPerPage(C, From) - 1);
            if (New == Cur) New = std::min(Count - 1, From + RowsPerPage(C, From));
            break;
        }
        case TKey::PageUp: {
            int From = Cur < 0 ? 0 : Cur;
            int Rows = 0, Used = 0, Visible = ListClientRect(C).Height();
            for (int I = From; I >= 0 && Used + C.RowHeights[I] <= Visible; --I) Used += C.RowHeights[I], ++Rows;
            New = std::max(0, From - std::max(1, Rows - 1));
            break;
        }
        case TKey::Space: return ListType(C, U' ');  // a letter of the rows' texts
        default: return false;
    }
    if (New != Cur) UserSelect(C, New);
    return true;
}

std::int64_t TWidgetSetBase::NowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool TWidgetSetBase::ListType(TControlRecord& C, char32_t Letter) {
    const int Count = static_cast<int>(C.Props.Items.size());
    const std::int64_t Now = NowMs();
    if (Now - C.TypedAt > TypingPauseMs) C.Typed.clear();
    C.TypedAt = Now;
    C.Typed += Letter;
    // One letter, or the same letter again and again: the next row after the
    // selected one that begins with it. More letters: the first row from the
    // selected one on that begins with them all.
    const AnsiString One = CodePointsToUtf8(std::u32string(1, Letter));
    bool Repeated = true;
    for (char32_t T : C.Typed) Repeated = Repeated && AnsiSameText(CodePointsToUtf8(std::u32string(1, T)), One);
    const std::u32string Prefix = Repeated ? std::u32string(1, Letter) : C.Typed;
    const AnsiString Wanted = CodePointsToUtf8(Prefix);
    const int Cur = C.Props.ItemIndex;
    const int From = Repeated ? Cur + 1 : std::max(Cur, 0);
    for (int K = 0; K < Count; ++K) {
        const int I = ((From + K) % Count + Count) % Count;
        const std::u32string Row = Utf8ToCodePoints(C.Props.Items[static_cast<std::size_t>(I)]);
        if (Row.size() < Prefix.size()) continue;
        if (AnsiCompareText(CodePointsToUtf8(std::u32string_view(Row).substr(0, Prefix.size())), Wanted) != 0) continue;
        if (I != Cur) UserSelect(C, I);
        return true;
    }
    return false;
}

bool TWidgetSetBase::TypeText(TWidgetHandle WindowHandle, const AnsiString& Text) {
    bool Found = false;
    for (char32_t Letter : Utf8ToCodePoints(Text)) {
        TWindowRecord& W = Window(WindowHandle);
        if (!IsControl(W.Focus)) return Found;
        TControlRecord& F = Control(W.Focus);
        if (!IsListBox(F) || !Usable(F) || F.Props.Items.empty()) return Found;
        Found = ListType(F, Letter);
    }
    return Found;
}

void TWidgetSetBase::FocusNext(TWindowRecord& W, bool Backward) {
    std::vector<TWidgetHandle> Stops;
    for (TWidgetHandle H : W.Controls)
        if (Usable(Control(H)) && Control(H).Props.TabOrder >= 0) Stops.push_back(H);
    if (Stops.empty()) return;
    std::stable_sort(Stops.begin(), Stops.end(), [&](TWidgetHandle A, TWidgetHandle B) {
        return Control(A).Props.TabOrder < Control(B).Props.TabOrder;
    });
    auto It = std::find(Stops.begin(), Stops.end(), W.Focus);
    std::ptrdiff_t N = static_cast<std::ptrdiff_t>(Stops.size());
    std::ptrdiff_t I = It == Stops.end() ? (Backward ? 0 : -1) : It - Stops.begin();
    I = ((I + (Backward ? -1 : 1)) % N + N) % N;
    SetFocus(Stops[static_cast<std::size_t>(I)]);
}

bool TWidgetSetBase::PressKey(TWidgetHandle WindowHandle, TKey Key) {
    TWindowRecord& W = Window(WindowHandle);
    if (IsControl(W.Focus)) {
        TControlRecord& F = Control(W.Focus);
        if (IsListBox(F) && Usable(F) && ListKey(F, Key)) return true;
        if (F.Props.Kind == TWidgetKind::Button && (Key == TKey::Enter || Key == TKey::Space))
            return ClickButton(F.Handle);
    }
    switch (Key) {
        case TKey::Enter:
        case TKey::Escape:
            for (TWidgetHandle H : W.Controls) {
                const TControlRecord& C = Control(H);
                if (C.Props.Kind == TWidgetKind::Button && Usable(C) &&
                    (Key == TKey::Enter ? C.Props.Default : C.Props.Cancel)) {
                    if (auto OnClick = C.Events.OnClick) OnClick();
                    return true;
                }
            }
            return false;
        case TKey::Tab:
        case TKey::ShiftTab: FocusNext(W, Key == TKey::ShiftTab); return true;
        default: return false;
    }
}

void TWidgetSetBase::Wheel(TWidgetHandle ListBox, int Notches) {
    TControlRecord& C = Control(ListBox);
    if (!IsListBox(C) || C.RowHeights.empty()) return;
    // Three rows of the average height per notch.
    int Step = 3 * std::max(1, ContentHeight(C) / static_cast<int>(C.RowHeights.size()));
    SetScroll(C, C.ScrollY + Notches * Step);
    NativeInvalidate(C);
}

void TWidgetSetBase::RequestClose(TWidgetHandle Handle) {
    TWindowRecord& W = Window(Handle);
    if (auto OnClose = W.Events.OnCloseRequest) OnClose();
    else EndModal(Handle, mrCancel);
}

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
