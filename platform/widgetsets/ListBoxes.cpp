// The list box's rules (rows, scrolling, selection, keys and typed letters),
// the edit's (typed text, Space and Backspace at the end of its text) and the
// user's actions on a window, as every backend reports them.
#include "platform/widgetsets/WidgetSetBase.h"

#include "platform/StringList.h"
#include "platform/TextConv.h"

#include <algorithm>
#include <chrono>

namespace WidgetSets {

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

// ------------------------------------------------------------------ edits

void TWidgetSetBase::UserEdited(TControlRecord& C, const AnsiString& Text) {
    if (C.Props.Caption == Text) return;
    C.Props.Caption = Text;
    NativeInvalidate(C);
    if (auto OnChange = C.Events.OnChange) OnChange(Text);
}

bool TWidgetSetBase::EditKey(TControlRecord& C, TKey Key) {
    if (Key == TKey::Space) {
        UserEdited(C, C.Props.Caption + " ");
        return true;
    }
    if (Key != TKey::Backspace) return false;
    std::u32string Text = Utf8ToCodePoints(C.Props.Caption);
    if (!Text.empty()) {
        Text.pop_back();
        UserEdited(C, CodePointsToUtf8(Text));
    }
    return true;
}

bool TWidgetSetBase::TypeText(TWidgetHandle WindowHandle, const AnsiString& Text) {
    bool Found = false;
    for (char32_t Letter : Utf8ToCodePoints(Text)) {
        TWindowRecord& W = Window(WindowHandle);
        if (!IsControl(W.Focus)) return Found;
        TControlRecord& F = Control(W.Focus);
        if (IsEdit(F) && Usable(F)) {
            UserEdited(F, F.Props.Caption + CodePointsToUtf8(std::u32string(1, Letter)));
            Found = true;
            continue;
        }
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
        if (IsEdit(F) && Usable(F) && !IsDialogKey(Key)) return EditKey(F, Key);
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

}  // namespace WidgetSets
