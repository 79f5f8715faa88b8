#include "platform/widgetsets/headless/Headless.h"

namespace WidgetSets {

void THeadlessWidgetSet::Script(std::vector<THeadlessAction> Actions) {
    for (auto& A : Actions) FScript.push_back(std::move(A));
}

bool THeadlessWidgetSet::Fail(const AnsiString& Why) {
    FErrors.push_back(Why);
    return false;
}

bool THeadlessWidgetSet::Perform(TWidgetHandle WindowHandle, const THeadlessAction& A) {
    if (!IsWindow(WindowHandle)) return Fail(Format("Window %d does not exist", {WindowHandle}));
    auto List = [&]() { return FindControl(WindowHandle, TWidgetKind::ListBox); };
    switch (A.Kind) {
        case THeadlessAction::SelectRow:
        case THeadlessAction::DoubleClickRow:
        case THeadlessAction::SelectIndex:
        case THeadlessAction::DoubleClickIndex: {
            TWidgetHandle L = List();
            if (L == NoWidget) return Fail("The window has no list box");
            bool ByText = A.Kind == THeadlessAction::SelectRow || A.Kind == THeadlessAction::DoubleClickRow;
            int Row = ByText ? FindRow(L, A.Target) : A.Index;
            if (Row < 0 || Row >= static_cast<int>(Control(L).Props.Items.size()))
                return Fail(ByText ? Format("The list has no row \"%s\"", {A.Target})
                                   : Format("The list has no row %d", {A.Index}));
            bool Double = A.Kind == THeadlessAction::DoubleClickRow || A.Kind == THeadlessAction::DoubleClickIndex;
            if (!(Double ? DoubleClickRow(L, Row) : ClickRow(L, Row))) return Fail("The list box is disabled");
            return true;
        }
        case THeadlessAction::Click: {
            TWidgetHandle B = FindControl(WindowHandle, A.Target);
            if (B == NoWidget || Control(B).Props.Kind != TWidgetKind::Button)
                return Fail(Format("The window has no button \"%s\"", {A.Target}));
            if (!ClickButton(B)) return Fail(Format("The button \"%s\" is disabled", {A.Target}));
            return true;
        }
        case THeadlessAction::Key: PressKey(WindowHandle, A.KeyPressed); return true;
        case THeadlessAction::TypeText: TypeText(WindowHandle, A.Target); return true;
        case THeadlessAction::Close: RequestClose(WindowHandle); return true;
        case THeadlessAction::Screenshot: SaveScreenshot(WindowHandle, A.FileName); return true;
        case THeadlessAction::Custom:
            if (A.Run) A.Run(*this, WindowHandle);
            return true;
    }
    return Fail("Unknown action");
}

TModalResult THeadlessWidgetSet::ShowModal(TWidgetHandle Handle) {
    TWindowRecord& W = Window(Handle);
    if (W.Showing) throw EWidgetSetError("The window is already shown modally");
    W.Showing = true;
    W.ModalResult = mrNone;
    if (W.Focus == NoWidget) FocusNext(W, false);
    FModalStack.push_back(Handle);
    struct TGuard {
        THeadlessWidgetSet& Set;
        TWidgetHandle Handle;
        ~TGuard() {
            std::erase(Set.FModalStack, Handle);
            if (Set.IsWindow(Handle)) Set.Window(Handle).Showing = false;
        }
    } Guard{*this, Handle};

    auto Running = [&] { return IsWindow(Handle) && Window(Handle).ModalResult == mrNone; };
    while (Running()) {
        if (FScript.empty()) {
            RequestClose(Handle);
            // A close handler that refuses cannot keep a scripted dialog
            // open for ever.
            if (Running()) EndModal(Handle, mrCancel);
            break;
        }
        THeadlessAction Action = std::move(FScript.front());
        FScript.pop_front();
        if (!Perform(Handle, Action)) FScript.clear();
    }
    return IsWindow(Handle) ? Window(Handle).ModalResult : mrCancel;
}

std::unique_ptr<TWidgetSet> CreateHeadlessWidgetSet() { return std::make_unique<THeadlessWidgetSet>(); }

THeadlessWidgetSet& UseHeadlessWidgetSet() {
    return static_cast<THeadlessWidgetSet&>(SelectWidgetSet("headless"));
}

}  // namespace WidgetSets
