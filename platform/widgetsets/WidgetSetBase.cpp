#include "platform/widgetsets/WidgetSetBase.h"

#include "platform/SysUtils.h"

namespace WidgetSets {

namespace {

AnsiString Plain(const AnsiString& Caption) {
    // Caption without accelerator marks ("&&" stays one '&').
    AnsiString Out;
    for (std::size_t I = 0; I < Caption.size(); ++I) {
        if (Caption[I] == '&' && I + 1 < Caption.size()) ++I;
        else if (Caption[I] == '&') continue;
        Out += Caption[I];
    }
    return Out;
}

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
        if (SameText(Control(H).Props.Name, NameOrCaption)) return H;
    for (TWidgetHandle H : W.Controls)
        if (SameText(Plain(Control(H).Props.Caption), Plain(NameOrCaption))) return H;
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

}  // namespace WidgetSets
