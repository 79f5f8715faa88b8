// Controls: TControl, the base of everything that sits on a form, and
// TWinControl, the controls that take the keyboard focus and hold other
// controls.
//
// A control holds its state (bounds, caption, font, colour, ...) and its
// behaviour; while its form is shown the widgetset (platform/widgetsets)
// shows it as a widget, described by a TControlProps value that the control
// hands over again after each change. Positions are in the parent's client
// coordinates; controls are streamed inside their parent in form data.
//
// Colours and character sets stream as identifiers (clWindowText,
// DEFAULT_CHARSET) where the value has one (see Graphics.h); fonts stream as
// Font.Charset, Font.Color, Font.Height, Font.Name, Font.Style.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Classes.h"
#include "platform/Graphics.h"
#include "platform/widgetsets/WidgetSet.h"

class TWinControl;
class TCustomForm;

// An operation that the control cannot carry out in its state.
class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
};

inline constexpr TModalResult mrAll = mrNo + 1;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
TYPECASK_ENUM(TAlign, alNone, alTop, alBottom, alLeft, alRight, alClient)

// -------------------------------------------------------------- TControl

class TControl : public TComponent {
    TYPECASK_CLASS(TControl, TComponent)

public:
    explicit TControl(TComponent* Owner);
    // Leaves the parent and destroys the widget.
    ~TControl() override;

    // ---- position and size, in the parent's client coordinates
    int GetLeft() const { return FLeft; }
    void SetLeft(int Value) { SetBounds(Value, FTop, FWidth, FHeight); }
    int GetTop() const { return FTop; }
    void SetTop(int Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
    int GetWidth() const { return FWidth; }
    void SetWidth(int Value) { SetBounds(FLeft, FTop, Value, FHeight); }
    int GetHeight() const { return FHeight; }
    void SetHeight(int Value) { SetBounds(FLeft, FTop, FWidth, Value); }
    virtual void SetBounds(int Left, int Top, int Width, int Height);
    TRect GetBoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
    // The client area: the whole control unless a class has a frame.
    virtual int GetClientWidth() const { return FWidth; }
    virtual void SetClientWidth(int Value) { SetWidth(Value); }
    virtual int GetClientHeight() const { return FHeight; }
    virtual void SetClientHeight(int Value) { SetHeight(Value); }
    TRect GetClientRect() const { return {0, 0, GetClientWidth(), GetClientHeight()}; }
    // Whether Width and Height are written to form data (a form writes its
    // client size instead).
    virtual bool IsSizeStored() const { return true; }

    // ---- text, font, colour
    // Caption and Text are the same value.
    const AnsiString& GetCaption() const { return FText; }
    void SetCaption(const AnsiString& Value) { SetText(Value); }
    const AnsiString& GetText() const { return FText; }
    virtual void SetText(const AnsiString& Value);
    TFont* GetFont() const { return FFont.get(); }
    // Copies Value's font.
    void SetFont(TFont* Value);
    // A control with ParentFont uses its parent's font; changing its own
    // font clears ParentFont.
    bool GetParentFont() const { return FParentFont; }
    void SetParentFont(bool Value);
    TColor GetColor() const { return FColor; }
    void SetColor(TColor Value);
    bool GetParentColor() const { return FParentColor; }
    void SetParentColor(bool Value);

    // ---- state
    bool GetVisible() const { return FVisible; }
    void SetVisible(bool Value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool GetEnabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    // Visible and enabled, with every parent.
    bool IsShowing() const;
    bool IsEnabledInParents() const;
    const AnsiString& GetHint() const { return FHint; }
    void SetHint(const AnsiString& Value) { FHint = Value; }
    bool GetShowHint() const { return FShowHint; }
    void SetShowHint(bool Value);
    bool GetParentShowHint() const { return FParentShowHint; }
    void SetParentShowHint(bool Value);
    bool IsShowHintStored() const { return !FParentShowHint; }
    bool IsFontStored() const { return !FParentFont; }
    bool IsColorStored() const { return !FParentColor; }
    TAlign GetAlign() const { return FAlign; }
    void SetAlign(TAlign Value) { FAlign = Value; }

    // ---- parent
    TWinControl* GetParent() const { return FParent; }
    // Moves the control into Value's list of controls (nullptr: out of any).
    // Raises EInvalidOperation when Value is the control itself or one of its
    // children.
    virtual void SetParent(TWinControl* Value);
    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* Value) override;
    // The form the control sits on (through all parents), or nullptr.
    TCustomForm* GetParentForm() const;

    // ---- events
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    // A click: fires OnClick.
    virtual void Click();
    virtual void DblClick();

    // Repaints the control when it is shown.
    void Invalidate();
    void Loaded() override;

    // ---- the widget
    TWidgetHandle GetWidget() const { return FWidget; }
    bool WidgetAllocated() const { return FWidget != NoWidget; }
    TWidgetSet* GetWidgetSet() const { return FWidgetSet; }
    // The control's top left in its form's client coordinates.
    TPoint GetFormOrigin() const;

protected:
    // The kind of widget that shows the control; false for a control that
    // has none of its own (a plain container).
    virtual bool GetWidgetKind(TWidgetKind& Kind) const;
    // The properties handed to the widgetset; classes add their own.
    virtual void FillWidgetProps(TControlProps& Props) const;
    virtual TControlEvents GetWidgetEvents();
    // Creates the widget (and those of child controls) on Window.
    virtual void CreateWidget(TWidgetSet& Set, TWidgetHandle Window);
    virtual void DestroyWidget();
    // Hands the current properties to the widget, if there is one.
    void UpdateWidget();
    // The control's state changed in a way that shows.
    virtual void Changed();
    // The own font changed.
    virtual void FontChanged();
    // The parent's font, colour or hint setting changed (or the parent did).
    virtual void ParentFontChanged();
    virtual void ParentColorChanged();
    virtual void ParentShowHintChanged();
    // After SetBounds.
    virtual void Resized() {}
    bool IsLoading() const { return ComponentState().Contains(csLoading); }

    TWidgetSet* FWidgetSet = nullptr;
    TWidgetHandle FWidget = NoWidget;

private:
    friend class TWinControl;
    friend class TCustomForm;

    TWinControl* FParent = nullptr;
    int FLeft = 0;
    int FTop = 0;
    int FWidth = 0;
    int FHeight = 0;
    AnsiString FText;
    std::unique_ptr<TFont> FFont;
    bool FParentFont = true;
    bool FFontFromParent = false;
    TColor FColor = clBtnFace;
    bool FParentColor = true;
    bool FVisible = true;
    bool FEnabled = true;
    AnsiString FHint;
    bool FShowHint = false;
    bool FParentShowHint = true;
    TAlign FAlign = alNone;
};

// The form that Control sits on, or nullptr.
TCustomForm* GetParentForm(const TControl* Control);

// ----------------------------------------------------- TGraphicControl

// A control that draws on its parent and never takes the focus (labels,
// images, bevels).
class TGraphicControl : public TControl {
    TYPECASK_CLASS(TGraphicControl, TControl)

public:
    explicit TGraphicControl(TComponent* Owner);
    ~TGraphicControl() override;
};

// ---------------------------------------------------------- TWinControl

class TWinControl : public TControl {
    TYPECASK_CLASS(TWinControl, TControl)

public:
    explicit TWinControl(TComponent* Owner);
    // The child controls leave it (those owned by it go with their owner).
    ~TWinControl() override;

    // The child controls: graphic controls first, then windowed ones, each
    // in the order they came in.
    int ControlCount() const;
    TControl* Controls(int Index) const;
    bool ContainsControl(const TControl* Control) const;

    // The position in the Tab order among the parent's controls (-1: none
    // given yet; a control placed in a parent gets the next free one).
    int GetTabOrder() const { return FTabOrder; }
    void SetTabOrder(int Value);
    bool GetTabStop() const { return FTabStop; }
    void SetTabStop(bool Value);
    // Can take the focus: shown and enabled with all its parents.
    virtual bool CanFocus() const;
    // Moves the keyboard focus here (when the form is shown) and makes it
    // the form's active control. Raises EInvalidOperation "Cannot focus a
    // disabled or invisible window" when it cannot take the focus.
    virtual void SetFocus();
    bool Focused() const;

    // The child controls that Root owns, in ControlCount order.
    void GetChildren(const TGetChildProc& Proc, TComponent* Root) override;

protected:
    void FillWidgetProps(TControlProps& Props) const override;
    void CreateWidget(TWidgetSet& Set, TWidgetHandle Window) override;
    void DestroyWidget() override;
    void Changed() override;
    void FontChanged() override;
    void ParentFontChanged() override;
    void ParentColorChanged() override;
    void ParentShowHintChanged() override;
    void SetTabStopDefault(bool Value) { FTabStop = Value; }

private:
    friend class TControl;
    friend class TCustomForm;
    void InsertControl(TControl* Control);
    void RemoveControl(TControl* Control);
    void NotifyChildren(void (TControl::*What)());
    void NotifyChildrenChanged();

    std::vector<TControl*> FGraphicControls;
    std::vector<TControl*> FWinControls;
    int FTabOrder = -1;
    bool FTabStop = false;
};

// Helpers for Publish functions of control classes: the properties that
// many controls publish, each with the storage rules of the class library.
namespace ControlPublish {

template <class C>
void Caption(TPublisher<C>& P) {
    P.Property("Caption", &TControl::GetCaption, &TControl::SetCaption);
}
template <class C>
void Color(TPublisher<C>& P, TColor Default) {
    P.Property("Color", &TControl::GetColor, &TControl::SetColor)
        .Default(Default)
        .Stored(&TControl::IsColorStored);
}
template <class C>
void Enabled(TPublisher<C>& P) {
    P.Property("Enabled", &TControl::GetEnabled, &TControl::SetEnabled).Default(true);
}
template <class C>
void Font(TPublisher<C>& P) {
    P.Property("Font", &TControl::GetFont, &TControl::SetFont).Stored(&TControl::IsFontStored);
}
template <class C>
void Hint(TPublisher<C>& P) {
    P.Property("Hint", &TControl::GetHint, &TControl::SetHint);
}
template <class C>
void ParentColor(TPublisher<C>& P, bool Default) {
    P.Property("ParentColor", &TControl::GetParentColor, &TControl::SetParentColor).Default(Default);
}
template <class C>
void ParentFont(TPublisher<C>& P, bool Default) {
    P.Property("ParentFont", &TControl::GetParentFont, &TControl::SetParentFont).Default(Default);
}
template <class C>
void ParentShowHint(TPublisher<C>& P) {
    P.Property("ParentShowHint", &TControl::GetParentShowHint, &TControl::SetParentShowHint).Default(true);
}
template <class C>
void ShowHint(TPublisher<C>& P) {
    P.Property("ShowHint", &TControl::GetShowHint, &TControl::SetShowHint).Stored(&TControl::IsShowHintStored);
}
template <class C>
void TabOrder(TPublisher<C>& P) {
    P.Property("TabOrder", &TWinControl::GetTabOrder, &TWinControl::SetTabOrder).Default(-1);
}
template <class C>
void TabStop(TPublisher<C>& P, bool Default) {
    P.Property("TabStop", &TWinControl::GetTabStop, &TWinControl::SetTabStop).Default(Default);
}
template <class C>
void Visible(TPublisher<C>& P) {
    P.Property("Visible", &TControl::GetVisible, &TControl::SetVisible).Default(true);
}
template <class C>
void OnClickEvent(TPublisher<C>& P) {
    P.Property("OnClick", &TControl::OnClick, &TControl::OnClick);
}
template <class C>
void OnDblClickEvent(TPublisher<C>& P) {
    P.Property("OnDblClick", &TControl::OnDblClick, &TControl::OnDblClick);
}

}  // namespace ControlPublish
