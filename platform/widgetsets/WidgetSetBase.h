// What the widgetsets share: the model of windows and controls
// (WidgetSetBase.cpp), the list box's selection, scrolling and keyboard
// rules, the edit's typing and the dialog keys (ListBoxes.cpp), and a painter that draws
// controls in a plain native-like style through TCanvas (Painter.cpp). A
// backend adds its native side through the hooks at the end; Backends.cpp
// is the table of backends.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/widgetsets/WidgetSet.h"

namespace WidgetSets {

struct TControlRecord {
    TWidgetHandle Handle = NoWidget;
    TWidgetHandle Window = NoWidget;
    TControlProps Props;
    TControlEvents Events;
    // List box: the measured row heights and the scroll position in pixels.
    std::vector<int> RowHeights;
    int ScrollY = 0;
    // List box: the letters typed so far to find a row, and when the last
    // one came (milliseconds of a steady clock).
    std::u32string Typed;
    std::int64_t TypedAt = 0;
    // List box: the width of the rows as a backend with a scroll bar of its
    // own measures it; 0 for the shared rule.
    int NativeClientWidth = 0;
};

// The width of a list box's vertical scroll bar, shown while its rows
// overflow it.
inline constexpr int ListScrollBarWidth = 16;
// Letters typed within this time find a row together.
inline constexpr std::int64_t TypingPauseMs = 1000;
// The sunken edge around a list box's rows.
inline constexpr int ListBorder = 2;

struct TWindowRecord {
    TWidgetHandle Handle = NoWidget;
    TWindowProps Props;
    TWindowEvents Events;
    std::vector<TWidgetHandle> Controls;
    TWidgetHandle Focus = NoWidget;
    bool Showing = false;
    TModalResult ModalResult = mrNone;
};

// Whether a control takes the user's input: shown and enabled.
inline bool Usable(const TControlRecord& C) { return C.Props.Visible && C.Props.Enabled; }
inline bool IsListBox(const TControlRecord& C) { return C.Props.Kind == TWidgetKind::ListBox; }
inline bool IsEdit(const TControlRecord& C) { return C.Props.Kind == TWidgetKind::Edit; }
// The keys a focused edit leaves to its dialog; a native edit takes the
// others itself.
inline bool IsDialogKey(TKey K) {
    return K == TKey::Enter || K == TKey::Escape || K == TKey::Tab || K == TKey::ShiftTab;
}
// The sunken edge around an edit's text, and the gap between it and the text.
inline constexpr int EditBorder = 2;
inline constexpr int EditMargin = 1;

class TWidgetSetBase : public TWidgetSet {
public:
    TWidgetHandle CreateWindow(const TWindowProps& Props, TWindowEvents Events) override;
    void UpdateWindow(TWidgetHandle Window, const TWindowProps& Props) override;
    TWidgetHandle CreateControl(TWidgetHandle Window, const TControlProps& Props, TControlEvents Events) override;
    void UpdateControl(TWidgetHandle Control, const TControlProps& Props) override;
    void Destroy(TWidgetHandle Handle) override;
    const TControlProps& GetControlProps(TWidgetHandle Control) const override;
    const TWindowProps& GetWindowProps(TWidgetHandle Window) const override;
    std::vector<TWidgetHandle> GetControls(TWidgetHandle Window) const override;
    void Invalidate(TWidgetHandle Control) override;
    void SetFocus(TWidgetHandle Control) override;
    TWidgetHandle GetFocus(TWidgetHandle Window) const override;
    int GetTopIndex(TWidgetHandle ListBox) const override;
    void EndModal(TWidgetHandle Window, TModalResult Result) override;
    bool IsShowing(TWidgetHandle Window) const override;
    void SaveScreenshot(TWidgetHandle Window, const AnsiString& FileName) override;

    // ---- user actions, as both backends report them

    // A click on row Index (selects it, reports OnSelect); false when there
    // is no such row.
    bool ClickRow(TWidgetHandle ListBox, int Index);
    // A double click on row Index: the click, then OnDblClick.
    bool DoubleClickRow(TWidgetHandle ListBox, int Index);
    // A click on a button (focuses it, reports OnClick); false when it is
    // disabled or hidden.
    bool ClickButton(TWidgetHandle Button);
    // A key pressed in a window: goes to the focused control, then to the
    // dialog (Enter: default button, Escape: cancel button, Tab: next
    // control). True when something handled it.
    bool PressKey(TWidgetHandle Window, TKey Key);
    // Text typed in a window, one character after the other: a list box
    // with the focus selects (and reports) the next row whose text begins
    // with the letters typed without a pause, letter case and accents as the
    // list's sorting has them; the same letter again goes on to the next row
    // that begins with it. True when a row was found. An edit with the focus
    // takes the characters at the end of its text and reports the change
    // (true).
    bool TypeText(TWidgetHandle Window, const AnsiString& Text);
    // The mouse wheel over a list box; positive Notches scroll down.
    void Wheel(TWidgetHandle ListBox, int Notches);
    // The user asked to close the window.
    void RequestClose(TWidgetHandle Window);

    // ---- geometry and painting

    // The row at a y coordinate of the list's client area, or -1.
    int RowAt(TWidgetHandle ListBox, int Y) const;
    // Row Index in the list's client coordinates (scrolling applied).
    TRect RowRect(TWidgetHandle ListBox, int Index) const;
    // The list's client rectangle (inside its border, left of the scroll bar
    // when there is one), origin at 0, 0.
    static TRect ListClientRect(const TControlRecord& C);
    // Whether the rows overflow the list, which then shows a scroll bar.
    static bool ListOverflows(const TControlRecord& C);
    int ContentHeight(const TControlRecord& C) const;
    // Draws the rows of a list box that meet the context's clip; the
    // context's origin is the list's client origin.
    void PaintListRows(TControlRecord& C, TCanvasHandle Cr);
    // Draws a list's vertical scroll bar into R of the list's canvas.
    void PaintScrollBar(TCanvas& Canvas, const TControlRecord& C, const TRect& R);
    // Draws a control, the context's origin being the control's top left.
    void PaintControl(TControlRecord& C, TCanvasHandle Cr);
    // Draws a whole window's client area.
    void PaintWindow(TWidgetHandle Window, TCanvasHandle Cr);
    // Renders a window into a new bitmap of the client size.
    std::unique_ptr<TBitmap> RenderWindow(TWidgetHandle Window);

    // ---- lookups

    TControlRecord& Control(TWidgetHandle Handle);
    const TControlRecord& Control(TWidgetHandle Handle) const;
    TWindowRecord& Window(TWidgetHandle Handle);
    const TWindowRecord& Window(TWidgetHandle Handle) const;
    bool IsControl(TWidgetHandle Handle) const { return FControls.count(Handle) != 0; }
    bool IsWindow(TWidgetHandle Handle) const { return FWindows.count(Handle) != 0; }
    // A control of a window by name or by caption (letter case and '&'
    // ignored); NoWidget when none matches.
    TWidgetHandle FindControl(TWidgetHandle Window, const AnsiString& NameOrCaption) const;
    // The first control of a kind on a window.
    TWidgetHandle FindControl(TWidgetHandle Window, TWidgetKind Kind) const;
    // The row of a list box with exactly this text, or -1.
    int FindRow(TWidgetHandle ListBox, const AnsiString& Text) const;

protected:
    // Native hooks; the model is already updated when they run.
    virtual void NativeCreateWindow(TWindowRecord&) {}
    virtual void NativeUpdateWindow(TWindowRecord&) {}
    virtual void NativeCreateControl(TWindowRecord&, TControlRecord&) {}
    virtual void NativeUpdateControl(TControlRecord&) {}
    virtual void NativeDestroyControl(TControlRecord&) {}
    virtual void NativeDestroyWindow(TWindowRecord&) {}
    virtual void NativeInvalidate(TControlRecord&) {}
    virtual void NativeFocus(TControlRecord&) {}
    // The list's scroll position or selection changed.
    virtual void NativeScrolled(TControlRecord&) {}
    virtual void NativeEndModal(TWindowRecord&) {}

    void MeasureRows(TControlRecord& C);
    // Makes row Index fully visible.
    void EnsureVisible(TControlRecord& C, int Index);
    void SetScroll(TControlRecord& C, int Y);
    // Selects a row as the user did and reports it.
    void UserSelect(TControlRecord& C, int Index);
    bool ListKey(TControlRecord& C, TKey Key);
    bool ListType(TControlRecord& C, char32_t Letter);
    // The user changed an edit's text to Text: kept and reported.
    void UserEdited(TControlRecord& C, const AnsiString& Text);
    // A key in a focused edit whose text the shared rules keep (Space,
    // Backspace); true when it was used.
    bool EditKey(TControlRecord& C, TKey Key);
    // The steady clock of typing, in milliseconds.
    virtual std::int64_t NowMs() const;
    void FocusNext(TWindowRecord& W, bool Backward);
    // The rows that fit into the visible part from row From on (at least 1).
    int RowsPerPage(const TControlRecord& C, int From) const;

    std::map<TWidgetHandle, TWindowRecord> FWindows;
    std::map<TWidgetHandle, TControlRecord> FControls;
    TWidgetHandle FNextHandle = 1;
};

// The backends, created by SelectWidgetSet.
std::unique_ptr<TWidgetSet> CreateHeadlessWidgetSet();
// nullptr when GTK cannot open a display.
std::unique_ptr<TWidgetSet> CreateGtk3WidgetSet();
// nullptr when no window can be made (no display).
std::unique_ptr<TWidgetSet> CreateWin32WidgetSet();

}  // namespace WidgetSets
