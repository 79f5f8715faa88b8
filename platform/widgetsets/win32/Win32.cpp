// The win32 widgetset: real windows of user32. A window is a top-level
// popup with a caption; its controls are child windows. The list box is a
// native LBS_OWNERDRAWVARIABLE list whose rows are measured (WM_MEASUREITEM)
// and drawn (WM_DRAWITEM) through TCanvas on the row's device context, by the
// shared rules; labels, static texts, buttons with their glyphs, images and
// bevels are owner-drawn by the shared painter. An edit is a native EDIT
// window of the Unicode side of user32, its text given and read as UTF-16.
// A modal showing runs a message loop of its own with the thread's other
// windows disabled; keys go through the shared dialog rules, as the other
// backends do.
#include <algorithm>
#include <exception>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "platform/TextConv.h"

#include "platform/os/Drawing.h"
#include "platform/os/win32/WinApi.h"
#include "platform/widgetsets/WidgetSetBase.h"

namespace WidgetSets {

namespace {

const char WindowClass[] = "TypecaskWindow";

HINSTANCE Module() { return GetModuleHandleA(nullptr); }

// The child window identifier of a control (WM_MEASUREITEM names the
// control by it).
WORD ControlId(TWidgetHandle Handle) { return static_cast<WORD>(Handle & 0xFFFF); }

std::optional<TKey> KeyOf(WPARAM Key) {
    const bool Shift = GetKeyState(VK_SHIFT) < 0;
    switch (Key) {
        case VK_RETURN: return TKey::Enter;
        case VK_ESCAPE: return TKey::Escape;
        case VK_TAB: return Shift ? TKey::ShiftTab : TKey::Tab;
        case VK_SPACE: return TKey::Space;
        case VK_UP: return TKey::Up;
        case VK_DOWN: return TKey::Down;
        case VK_HOME: return TKey::Home;
        case VK_END: return TKey::End;
        case VK_PRIOR: return TKey::PageUp;
        case VK_NEXT: return TKey::PageDown;
        case VK_BACK: return TKey::Backspace;
        default: return std::nullopt;
    }
}

class TWin32WidgetSet : public TWidgetSetBase {
public:
    ~TWin32WidgetSet() override {
        for (auto& [Handle, Hwnd] : FNative)
            if (IsWindow(Handle)) DestroyWindow(Hwnd);
    }

    AnsiString GetName() const override { return "win32"; }

    int GetTopIndex(TWidgetHandle ListBox) const override {
        const TControlRecord& C = Control(ListBox);
        return static_cast<int>(SendMessageA(Native(C.Handle), LB_GETTOPINDEX, 0, 0));
    }

    TModalResult ShowModal(TWidgetHandle Handle) override {
        TWindowRecord& W = Window(Handle);
        if (W.Showing) throw EWidgetSetError("The window is already shown");
        HWND Hwnd = Native(Handle);
        W.ModalResult = mrNone;
        W.Showing = true;
        // The thread's other windows wait for this one.
        std::vector<HWND> Disabled;
        EnumThreadWindows(GetCurrentThreadId(), CollectEnabled, reinterpret_cast<LPARAM>(&Disabled));
        std::erase(Disabled, Hwnd);
        for (HWND Other : Disabled) EnableWindow(Other, FALSE);
        ShowWindow(Hwnd, SW_SHOW);
        SetForegroundWindow(Hwnd);
        if (W.Focus == NoWidget) FocusNext(W, false);
        else NativeFocus(Control(W.Focus));

        MSG Message;
        while (IsWindow(Handle) && Window(Handle).ModalResult == mrNone && !FError) {
            const BOOL Got = GetMessageA(&Message, nullptr, 0, 0);
            if (Got == 0) {
                PostQuitMessage(static_cast<int>(Message.wParam));  // for the loop outside
                break;
            }
            if (Got < 0) break;
            if (Guarded([&] { return PreTranslate(Handle, Message); })) continue;
            TranslateMessage(&Message);
            DispatchMessageA(&Message);
            Guarded([&] { return FollowFocus(Handle); });
        }

        for (HWND Other : Disabled) EnableWindow(Other, TRUE);
        TModalResult Result = mrCancel;
        if (IsWindow(Handle)) {
            TWindowRecord& Shown = Window(Handle);
            Result = Shown.ModalResult == mrNone ? mrCancel : Shown.ModalResult;
            Shown.Showing = false;
            Shown.ModalResult = mrNone;
            ShowWindow(Hwnd, SW_HIDE);
        }
        if (FError) std::rethrow_exception(std::exchange(FError, nullptr));
        return Result;
    }

protected:
    void NativeCreateWindow(TWindowRecord& W) override {
        RECT Frame{0, 0, W.Props.ClientWidth, W.Props.ClientHeight};
        const DWORD Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, ExStyle = WS_EX_DLGMODALFRAME;
        AdjustWindowRectEx(&Frame, Style, FALSE, ExStyle);
        HWND Hwnd = CreateWindowExA(ExStyle, WindowClass, W.Props.Caption.c_str(), Style, 0, 0, Frame.right - Frame.left,
                                    Frame.bottom - Frame.top, nullptr, nullptr, Module(), this);
        if (!Hwnd) throw EWidgetSetError(Format("Cannot create the window \"%s\"", {W.Props.Caption}));
        Register(W.Handle, Hwnd);
        Place(W);
    }

    void NativeUpdateWindow(TWindowRecord& W) override {
        HWND Hwnd = Native(W.Handle);
        SetWindowTextA(Hwnd, W.Props.Caption.c_str());
        Place(W);
        InvalidateRect(Hwnd, nullptr, TRUE);
    }

    void NativeCreateControl(TWindowRecord& W, TControlRecord& C) override {
        const bool List = C.Props.Kind == TWidgetKind::ListBox;
        DWORD Style = WS_CHILD | WS_CLIPSIBLINGS, ExStyle = 0;
        const char* Class = "STATIC";
        if (List) {
            Class = "LISTBOX";
            // The rows keep their texts, so that what user32 reports of the
            // list (LB_GETTEXT, LB_FINDSTRINGEXACT, assistive tools) is what
            // it shows.
            Style |= WS_VSCROLL | LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
            ExStyle = WS_EX_CLIENTEDGE;
        } else if (C.Props.Kind == TWidgetKind::Button) {
            Class = "BUTTON";
            Style |= BS_OWNERDRAW;
        } else if (C.Props.Kind == TWidgetKind::Edit) {
            // One line that scrolls with the caret (and none of the static
            // styles, whose bits are an edit's upper case and centring).
            Style |= ES_AUTOHSCROLL;
            ExStyle = WS_EX_CLIENTEDGE;
        } else {
            Style |= SS_OWNERDRAW;
        }
        if (C.Props.TabOrder >= 0) Style |= WS_TABSTOP;
        const TRect& B = C.Props.Bounds;
        const auto Id = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(ControlId(C.Handle)));
        // An edit keeps any character: a window of the Unicode side.
        HWND Hwnd = C.Props.Kind == TWidgetKind::Edit
                        ? CreateWindowExW(ExStyle, L"EDIT", L"", Style, B.Left, B.Top, B.Width(), B.Height(),
                                          Native(W.Handle), Id, Module(), nullptr)
                        : CreateWindowExA(ExStyle, Class, "", Style, B.Left, B.Top, B.Width(), B.Height(),
                                          Native(W.Handle), Id, Module(), nullptr);
        if (!Hwnd) throw EWidgetSetError(Format("Cannot create the control \"%s\"", {C.Props.Name}));
        Register(C.Handle, Hwnd);
        Apply(C, true);
    }

    void NativeUpdateControl(TControlRecord& C) override { Apply(C, false); }

    void NativeDestroyControl(TControlRecord& C) override { Unregister(C.Handle); }
    void NativeDestroyWindow(TWindowRecord& W) override { Unregister(W.Handle); }

    void NativeInvalidate(TControlRecord& C) override {
        if (auto It = FNative.find(C.Handle); It != FNative.end()) InvalidateRect(It->second, nullptr, TRUE);
    }

    void NativeFocus(TControlRecord& C) override {
        if (auto It = FNative.find(C.Handle); It != FNative.end()) ::SetFocus(It->second);
    }

    void NativeScrolled(TControlRecord& C) override {
        auto It = FNative.find(C.Handle);
        if (It == FNative.end() || C.Props.Kind != TWidgetKind::ListBox) return;
        SendMessageA(It->second, LB_SETCURSEL, static_cast<WPARAM>(C.Props.ItemIndex), 0);
    }

    void NativeEndModal(TWindowRecord& W) override { PostMessageA(Native(W.Handle), WM_NULL, 0, 0); }

private:
    friend std::unique_ptr<TWidgetSet> WidgetSets::CreateWin32WidgetSet();

    HWND Native(TWidgetHandle Handle) const {
        auto It = FNative.find(Handle);
        if (It == FNative.end()) throw EWidgetSetError(Format("Unknown handle %d", {Handle}));
        return It->second;
    }

    TWidgetHandle HandleOf(HWND Hwnd) const {
        auto It = FByHwnd.find(Hwnd);
        return It == FByHwnd.end() ? NoWidget : It->second;
    }

    void Register(TWidgetHandle Handle, HWND Hwnd) {
        FNative[Handle] = Hwnd;
        FByHwnd[Hwnd] = Handle;
    }

    void Unregister(TWidgetHandle Handle) {
        auto It = FNative.find(Handle);
        if (It == FNative.end()) return;
        HWND Hwnd = It->second;
        FByHwnd.erase(Hwnd);
        FNative.erase(It);
        FShownRows.erase(Handle);
        DestroyWindow(Hwnd);
    }

    void Place(const TWindowRecord& W) {
        HWND Hwnd = Native(W.Handle);
        RECT Frame;
        GetWindowRect(Hwnd, &Frame);
        int X = W.Props.Left, Y = W.Props.Top;
        if (W.Props.Position == TWindowPosition::ScreenCenter) {
            X = (GetSystemMetrics(SM_CXSCREEN) - (Frame.right - Frame.left)) / 2;
            Y = (GetSystemMetrics(SM_CYSCREEN) - (Frame.bottom - Frame.top)) / 2;
        }
        SetWindowPos(Hwnd, nullptr, X, Y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // Brings a child window in line with its control's properties.
    void Apply(TControlRecord& C, bool Created) {
        HWND Hwnd = Native(C.Handle);
        const TRect& B = C.Props.Bounds;
        SetWindowPos(Hwnd, nullptr, B.Left, B.Top, B.Width(), B.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
        EnableWindow(Hwnd, C.Props.Enabled);
        if (C.Props.Kind == TWidgetKind::ListBox) {
            // Rows are given again when their texts or heights changed.
            auto Rows = std::make_pair(C.Props.Items, C.RowHeights);
            auto& Shown = FShownRows[C.Handle];
            if (Created || Shown != Rows) {
                SendMessageA(Hwnd, WM_SETREDRAW, FALSE, 0);
                SendMessageA(Hwnd, LB_RESETCONTENT, 0, 0);
                for (std::size_t I = 0; I < C.Props.Items.size(); ++I)
                    SendMessageA(Hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(C.Props.Items[I].c_str()));
                SendMessageA(Hwnd, WM_SETREDRAW, TRUE, 0);
                Shown = std::move(Rows);
            }
            RECT Client;
            GetClientRect(Hwnd, &Client);
            C.NativeClientWidth = Client.right;
            SendMessageA(Hwnd, LB_SETCURSEL, static_cast<WPARAM>(C.Props.ItemIndex), 0);
        } else if (C.Props.Kind == TWidgetKind::Edit) {
            if (Created)
                SendMessageW(Hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
            // Set only when it differs, which keeps the caret where the user
            // left it; a new text has it at its end, as in every widgetset.
            // The EN_CHANGE that setting sends is no user's change.
            const std::u16string Text = Utf8ToUtf16(C.Props.Caption);
            if (Text != EditText(Hwnd)) {
                FSyncing = true;
                SetWindowTextW(Hwnd, reinterpret_cast<LPCWSTR>(Text.c_str()));
                FSyncing = false;
                SendMessageW(Hwnd, EM_SETSEL, Text.size(), static_cast<LPARAM>(Text.size()));
            }
        } else {
            // Drawn by the painter; the window text names the control to
            // user32 (FindWindowEx, assistive tools).
            SetWindowTextA(Hwnd, C.Props.Caption.c_str());
        }
        ShowWindow(Hwnd, C.Props.Visible ? SW_SHOWNA : SW_HIDE);
        InvalidateRect(Hwnd, nullptr, TRUE);
    }

    static std::u16string EditText(HWND Hwnd) {
        std::u16string Text(static_cast<std::size_t>(GetWindowTextLengthW(Hwnd)) + 1, u'\0');
        Text.resize(static_cast<std::size_t>(
            GetWindowTextW(Hwnd, reinterpret_cast<LPWSTR>(Text.data()), static_cast<int>(Text.size()))));
        return Text;
    }

    static BOOL CALLBACK CollectEnabled(HWND Other, LPARAM List) {
        if (IsWindowVisible(Other) && IsWindowEnabled(Other)) reinterpret_cast<std::vector<HWND>*>(List)->push_back(Other);
        return TRUE;
    }

    // Keys of a modal window go through the shared dialog rules first. True
    // when the message was used.
    bool PreTranslate(TWidgetHandle Top, const MSG& Message) {
        if (Message.hwnd != Native(Top) && !IsChild(Native(Top), Message.hwnd)) return false;
        // A focused edit types, deletes and moves its caret itself.
        const TWidgetHandle Focus = HandleOf(Message.hwnd);
        const bool IntoEdit = IsControl(Focus) && Control(Focus).Props.Kind == TWidgetKind::Edit;
        if (Message.message == WM_KEYDOWN) {
            const auto Key = KeyOf(Message.wParam);
            if (Key && (!IntoEdit || IsDialogKey(*Key))) return PressKey(Top, *Key);
        } else if (IntoEdit) {
            return false;
        } else if (Message.message == WM_CHAR && Message.wParam > ' ') {
            // Typed into a list, the letters are the shared rules' alone: the
            // native list would otherwise move to the next row beginning with
            // a letter that the rules found no row for.
            const TWidgetHandle Target = HandleOf(Message.hwnd);
            const bool IntoList = IsControl(Target) && Control(Target).Props.Kind == TWidgetKind::ListBox;
            // A character of the ANSI code page; rows are found by UTF-8.
            const char Byte = static_cast<char>(Message.wParam);
            wchar_t Wide = 0;
            if (MultiByteToWideChar(CP_ACP, 0, &Byte, 1, &Wide, 1) != 1) return IntoList;
            return TypeText(Top, Utf16ToUtf8(std::u16string(1, static_cast<char16_t>(Wide)))) || IntoList;
        }
        return false;
    }

    // The model's focus follows the native one (a click on a control).
    bool FollowFocus(TWidgetHandle Top) {
        if (!IsWindow(Top)) return false;
        const TWidgetHandle Focused = HandleOf(::GetFocus());
        TWindowRecord& W = Window(Top);
        if (Focused == NoWidget || Focused == W.Focus || !IsControl(Focused)) return false;
        const TWidgetHandle Old = W.Focus;
        W.Focus = Focused;
        if (IsControl(Old)) NativeInvalidate(Control(Old));
        NativeInvalidate(Control(Focused));
        return true;
    }

    // Runs a step of a callback; an exception ends the modal loops and is
    // raised again by ShowModal, since it must not travel through user32.
    template <class F>
    bool Guarded(F&& Step) {
        try {
            return Step();
        } catch (...) {
            if (!FError) FError = std::current_exception();
            return true;
        }
    }

    void DrawItem(const DRAWITEMSTRUCT& Item) {
        const TWidgetHandle Handle = HandleOf(Item.hwndItem);
        if (!IsControl(Handle)) return;
        TControlRecord& C = Control(Handle);
        TSavedContextScope Saved(Item.hDC);
        if (C.Props.Kind != TWidgetKind::ListBox) {
            PaintControl(C, Item.hDC);
            return;
        }
        if (Item.itemID == static_cast<UINT>(-1)) return;  // an empty list with the focus
        // The shared rows, moved to where the native list shows the row.
        const TRect Row = RowRect(Handle, static_cast<int>(Item.itemID));
        Os::Translate(Item.hDC, Item.rcItem.left - Row.Left, Item.rcItem.top - Row.Top);
        Os::IntersectClip(Item.hDC, Row);
        PaintListRows(C, Item.hDC);
    }

    // The device context's state for the length of one drawing.
    class TSavedContextScope {
    public:
        explicit TSavedContextScope(HDC Dc) : FDc(Dc), FSaved(Os::SaveContext(Dc)) {}
        ~TSavedContextScope() { Os::RestoreContext(FDc, FSaved); }
        TSavedContextScope(const TSavedContextScope&) = delete;
        TSavedContextScope& operator=(const TSavedContextScope&) = delete;

    private:
        HDC FDc;
        int FSaved;
    };

    LRESULT Handle(HWND Hwnd, UINT Message, WPARAM WParam, LPARAM LParam) {
        const TWidgetHandle Top = HandleOf(Hwnd);
        switch (Message) {
            case WM_CLOSE:
                if (IsWindow(Top)) Guarded([&] { RequestClose(Top); return true; });
                return 0;
            case WM_ERASEBKGND: {
                if (!IsWindow(Top)) break;
                RECT Client;
                GetClientRect(Hwnd, &Client);
                Guarded([&] {
                    Os::FillRect(reinterpret_cast<HDC>(WParam), {0, 0, Client.right, Client.bottom},
                                 Window(Top).Props.Color);
                    return true;
                });
                return 1;
            }
            case WM_MEASUREITEM: {
                auto* Item = reinterpret_cast<MEASUREITEMSTRUCT*>(LParam);
                // Asked while the rows are given, before the window lists the
                // control: found by its child window.
                const TWidgetHandle Source = HandleOf(GetDlgItem(Hwnd, static_cast<int>(Item->CtlID)));
                if (Item->CtlType != ODT_LISTBOX || !IsControl(Source)) break;
                const TControlRecord& C = Control(Source);
                if (Item->itemID >= C.RowHeights.size()) break;
                // A native row is at most 255 pixels high.
                Item->itemHeight = static_cast<UINT>(std::min(C.RowHeights[Item->itemID], 255));
                return TRUE;
            }
            case WM_DRAWITEM:
                Guarded([&] { DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(LParam)); return true; });
                return TRUE;
            case WM_COMMAND: {
                const TWidgetHandle Source = HandleOf(reinterpret_cast<HWND>(LParam));
                if (!IsControl(Source)) break;
                Guarded([&] {
                    switch (HIWORD(WParam)) {
                        case BN_CLICKED: ClickButton(Source); break;
                        case EN_CHANGE:
                            if (!FSyncing) UserEdited(Control(Source), Utf16ToUtf8(EditText(Native(Source))));
                            break;
                        case LBN_SELCHANGE: {
                            const int Index = static_cast<int>(SendMessageA(Native(Source), LB_GETCURSEL, 0, 0));
                            if (Index >= 0) ClickRow(Source, Index);
                            break;
                        }
                        case LBN_DBLCLK: {
                            const int Index = static_cast<int>(SendMessageA(Native(Source), LB_GETCURSEL, 0, 0));
                            if (Index >= 0) DoubleClickRow(Source, Index);
                            break;
                        }
                        default: break;
                    }
                    return true;
                });
                return 0;
            }
            default: break;
        }
        return DefWindowProcA(Hwnd, Message, WParam, LParam);
    }

    static LRESULT CALLBACK WindowProc(HWND Hwnd, UINT Message, WPARAM WParam, LPARAM LParam) {
        if (Message == WM_NCCREATE) {
            auto* Create = reinterpret_cast<CREATESTRUCTA*>(LParam);
            SetWindowLongPtrA(Hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Create->lpCreateParams));
        }
        auto* Set = reinterpret_cast<TWin32WidgetSet*>(GetWindowLongPtrA(Hwnd, GWLP_USERDATA));
        return Set ? Set->Handle(Hwnd, Message, WParam, LParam) : DefWindowProcA(Hwnd, Message, WParam, LParam);
    }

    std::map<TWidgetHandle, HWND> FNative;
    std::map<HWND, TWidgetHandle> FByHwnd;
    std::map<TWidgetHandle, std::pair<std::vector<AnsiString>, std::vector<int>>> FShownRows;
    std::exception_ptr FError;
    bool FSyncing = false;  // an edit's text is being set by the model
};

}  // namespace

std::unique_ptr<TWidgetSet> CreateWin32WidgetSet() {
    WNDCLASSEXA Class{};
    Class.cbSize = sizeof Class;
    Class.lpfnWndProc = TWin32WidgetSet::WindowProc;
    Class.hInstance = Module();
    Class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    Class.lpszClassName = WindowClass;
    if (!RegisterClassExA(&Class) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    // Without a display (Wine without an X server) no window can be made.
    HWND Probe = CreateWindowExA(0, WindowClass, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, Module(), nullptr);
    if (!Probe) return nullptr;
    DestroyWindow(Probe);
    return std::unique_ptr<TWidgetSet>(new TWin32WidgetSet);
}

}  // namespace WidgetSets
