// The widgetset: the backend that shows top-level windows and the few native
// controls that the dialogs use.
//
// The control classes hold state and behaviour; a widgetset only shows them
// and reports what the user does. Every window and control is described by a
// plain value (TWindowProps, TControlProps) that the control classes hand
// over on creation and again after each change, and reports events through
// the callbacks they gave (TWindowEvents, TControlEvents). Handles are small
// numbers, 0 standing for none.
//
// The widgetsets: "headless" keeps windows in memory and is driven by tests
// and scripts (platform/widgetsets/headless/Headless.h); "gtk3" (Linux) and
// "win32" (Windows) show real windows. WidgetSet() picks one on first use:
// TYPECASK_WIDGETSET=headless|gtk3|win32 forces one; otherwise gtk3 when a
// display is set (DISPLAY or WAYLAND_DISPLAY) and GTK can open it, win32
// when it can make a window, else headless.
//
// All calls come from the one thread that drives the forms.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Graphics.h"

using TWidgetHandle = std::uint32_t;
inline constexpr TWidgetHandle NoWidget = 0;

using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrCancel = 2;
inline constexpr TModalResult mrAbort = 3;
inline constexpr TModalResult mrRetry = 4;
inline constexpr TModalResult mrIgnore = 5;
inline constexpr TModalResult mrYes = 6;
inline constexpr TModalResult mrNo = 7;

// A widgetset was asked for something it cannot do (an unknown handle, an
// unknown widgetset name, no display for real windows).
class EWidgetSetError : public Exception {
public:
    using Exception::Exception;
};

// ------------------------------------------------------------- windows

enum class TWindowPosition { Designed, ScreenCenter };

struct TWindowProps {
    AnsiString Caption;
    int Left = 0;  // used with TWindowPosition::Designed
    int Top = 0;
    int ClientWidth = 0;
    int ClientHeight = 0;
    TWindowPosition Position = TWindowPosition::ScreenCenter;
    TColor Color = clBtnFace;
    TFontData Font;
};

struct TWindowEvents {
    // The user asked to close the window (close button, window manager).
    // Without a handler the modal loop ends with mrCancel; a handler decides
    // itself (usually by calling EndModal with mrCancel).
    std::function<void()> OnCloseRequest;
};

// ------------------------------------------------------------ controls

enum class TWidgetKind {
    Label,       // text, optionally word-wrapped
    StaticText,  // text in an optionally sunken frame
    Button,      // push button with caption and optional glyph
    ListBox,     // list of rows, optionally owner-drawn with variable heights
    Image,       // a bitmap
    Bevel,       // a line or frame
    Edit,        // a single line of text the user types; Caption is the text
};

enum class TListBoxStyle { Standard, OwnerDrawFixed, OwnerDrawVariable };
enum class TStaticBorder { None, Single, Sunken };
enum class TBevelShape { Box, Frame, TopLine, BottomLine, LeftLine, RightLine };
enum class TBevelStyle { Lowered, Raised };

struct TControlProps {
    TWidgetKind Kind = TWidgetKind::Label;
    AnsiString Name;  // the component's name; scripts and messages use it
    TRect Bounds;     // in the window's client coordinates
    AnsiString Caption;
    TFontData Font;
    TColor Color = clBtnFace;
    bool Visible = true;
    bool Enabled = true;
    // Position in the Tab order; negative: not a tab stop.
    int TabOrder = -1;

    // Label
    bool WordWrap = false;
    bool Transparent = false;
    // StaticText
    TStaticBorder Border = TStaticBorder::None;
    // Button: Enter presses the default button, Escape the cancel button.
    bool Default = false;
    bool Cancel = false;
    const TBitmap* Glyph = nullptr;  // owned by the control class
    // ListBox. Items are the rows' texts; ItemIndex the selected row (-1:
    // none). Row heights come from ItemHeight, or for OwnerDrawVariable
    // from OnMeasureItem, asked once per row whenever Items change. Canvas,
    // when given, is the control's own canvas: the widgetset binds it to its
    // drawing surface around each OnDrawItem; otherwise it lends one.
    std::vector<AnsiString> Items;
    int ItemIndex = -1;
    TListBoxStyle Style = TListBoxStyle::Standard;
    int ItemHeight = 16;
    TCanvas* Canvas = nullptr;
    // Image: drawn at the top left, or centred / stretched.
    const TBitmap* Picture = nullptr;  // owned by the control class
    bool Center = false;
    bool Stretch = false;
    // Bevel
    TBevelShape Shape = TBevelShape::Box;
    TBevelStyle BevelStyle = TBevelStyle::Lowered;
};

// The state of an owner-drawn row.
struct TOwnerDrawState {
    bool Selected = false;
    bool Focused = false;
    bool Disabled = false;
};

struct TControlEvents {
    // Button: pressed (mouse, Enter/Escape for its role, Space).
    std::function<void()> OnClick;
    // Edit: the user changed the text (typed, deleted, pasted); Text is the
    // whole new text, in UTF-8. Not reported for a text set by code.
    std::function<void(const AnsiString& Text)> OnChange;
    // ListBox: the user clicked a row or moved the selection with the
    // keyboard; Index is the new ItemIndex. Comes before OnDblClick.
    std::function<void(int Index)> OnSelect;
    // ListBox: a row was double-clicked (after OnSelect for it).
    std::function<void(int Index)> OnDblClick;
    // ListBox (OwnerDrawVariable): the height of row Index in pixels.
    std::function<int(int Index)> OnMeasureItem;
    // ListBox (owner-drawn): draw row Index into Rect (the list's client
    // coordinates). The canvas comes prepared for the state: brush
    // clHighlight or the list's colour, font as the list's with colour
    // clHighlightText or its own.
    std::function<void(TCanvas& Canvas, int Index, const TRect& Rect, TOwnerDrawState State)> OnDrawItem;
};

// Keys the shared rules know. In a focused edit the dialog's keys (Enter,
// Escape, Tab) still go to the dialog; Space types a blank and Backspace
// deletes the character before the caret.
enum class TKey { Enter, Escape, Tab, ShiftTab, Space, Up, Down, Home, End, PageUp, PageDown, Backspace };

// ----------------------------------------------------------- interface

class TWidgetSet {
public:
    TWidgetSet() = default;
    TWidgetSet(const TWidgetSet&) = delete;
    TWidgetSet& operator=(const TWidgetSet&) = delete;
    virtual ~TWidgetSet();

    // "headless", "gtk3" or "win32".
    virtual AnsiString GetName() const = 0;

    // A hidden top-level window.
    virtual TWidgetHandle CreateWindow(const TWindowProps& Props, TWindowEvents Events) = 0;
    virtual void UpdateWindow(TWidgetHandle Window, const TWindowProps& Props) = 0;
    // A control on a window, shown with the window.
    virtual TWidgetHandle CreateControl(TWidgetHandle Window, const TControlProps& Props, TControlEvents Events) = 0;
    // New properties of a control (also after the control's own changes,
    // such as ItemIndex set by code; no events are reported for those).
    virtual void UpdateControl(TWidgetHandle Control, const TControlProps& Props) = 0;
    // Destroys a control, or a window with all its controls. Unknown handles
    // are ignored.
    virtual void Destroy(TWidgetHandle Handle) = 0;
    // The current properties (with the user's changes, such as ItemIndex).
    virtual const TControlProps& GetControlProps(TWidgetHandle Control) const = 0;
    virtual const TWindowProps& GetWindowProps(TWidgetHandle Window) const = 0;
    // The controls of a window in creation order.
    virtual std::vector<TWidgetHandle> GetControls(TWidgetHandle Window) const = 0;

    // Repaints a control (for instance after its owner-drawn content changed).
    virtual void Invalidate(TWidgetHandle Control) = 0;
    // Moves the keyboard focus to a control of its window.
    virtual void SetFocus(TWidgetHandle Control) = 0;
    virtual TWidgetHandle GetFocus(TWidgetHandle Window) const = 0;
    // The first visible row of a list box.
    virtual int GetTopIndex(TWidgetHandle ListBox) const = 0;

    // Shows the window modally and returns once EndModal was called for it
    // (or the user closed it: mrCancel), hiding it again.
    virtual TModalResult ShowModal(TWidgetHandle Window) = 0;
    // Ends the modal loop of Window with Result (not mrNone). Ignored for a
    // window that is not shown modally.
    virtual void EndModal(TWidgetHandle Window, TModalResult Result) = 0;
    virtual bool IsShowing(TWidgetHandle Window) const = 0;

    // Renders the window's client area as it is shown into a PNG file of the
    // client size.
    virtual void SaveScreenshot(TWidgetHandle Window, const AnsiString& FileName) = 0;
};

// The widgetset in use, chosen on first use (see above).
TWidgetSet& WidgetSet();
// Replaces the widgetset in use by a new one: "headless", "gtk3" or
// "win32". Raises EWidgetSetError for a name this build does not have, or
// when the widgetset cannot show windows here.
TWidgetSet& SelectWidgetSet(const AnsiString& Name);
// A new widgetset of that name beside the one in use (an off-screen render
// of a form has a headless one of its own); fails as SelectWidgetSet does.
std::unique_ptr<TWidgetSet> CreateWidgetSet(const AnsiString& Name);
// The widgetsets this build has: "headless", then "gtk3" when built with
// GTK 3, or "win32" on Windows.
std::vector<AnsiString> BuiltInWidgetSets();
