// Standard controls: labels, static texts, buttons, edits and list boxes.
#pragma once

#include "platform/Controls.h"

// ------------------------------------------------------------------ TLabel

// A text on its parent. With AutoSize it takes the size of its text (an
// empty caption is measured as one blank); with WordWrap the text breaks
// between words at the label's width and AutoSize only adjusts the height.
class TLabel : public TGraphicControl {
    TYPECASK_CLASS(TLabel, TGraphicControl)

public:
    explicit TLabel(TComponent* Owner);
    ~TLabel() override;

    bool GetAutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    bool GetWordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value);
    bool GetTransparent() const { return FTransparent; }
    void SetTransparent(bool Value);

    void Loaded() override;

protected:
    bool GetWidgetKind(TWidgetKind& Kind) const override;
    void FillWidgetProps(TControlProps& Props) const override;
    void Changed() override;

private:
    void AdjustBounds();

    bool FAutoSize = true;
    bool FWordWrap = false;
    bool FTransparent = false;
    bool FAdjusting = false;
};

// ------------------------------------------------------------- TStaticText

enum TStaticBorderStyle { sbsNone, sbsSingle, sbsSunken };
TYPECASK_ENUM(TStaticBorderStyle, sbsNone, sbsSingle, sbsSunken)

// A text in a window of its own, optionally framed.
class TStaticText : public TWinControl {
    TYPECASK_CLASS(TStaticText, TWinControl)

public:
    explicit TStaticText(TComponent* Owner);
    ~TStaticText() override;

    bool GetAutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    TStaticBorderStyle GetBorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TStaticBorderStyle Value);

    void Loaded() override;

protected:
    bool GetWidgetKind(TWidgetKind& Kind) const override;
    void FillWidgetProps(TControlProps& Props) const override;
    void Changed() override;

private:
    void AdjustBounds();

    bool FAutoSize = true;
    bool FAdjusting = false;
    TStaticBorderStyle FBorderStyle = sbsNone;
};

// ----------------------------------------------------------------- TButton

// A push button. Click fires OnClick, then gives the button's ModalResult
// (when not mrNone) to its form, which ends a modal showing. Enter presses
// the Default button of a form, Escape its Cancel button.
class TButton : public TWinControl {
    TYPECASK_CLASS(TButton, TWinControl)

public:
    explicit TButton(TComponent* Owner);
    ~TButton() override;

    TModalResult GetModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult Value) { FModalResult = Value; }
    bool GetDefault() const { return FDefault; }
    void SetDefault(bool Value);
    bool GetCancel() const { return FCancel; }
    void SetCancel(bool Value);

    void Click() override;

    // Whether the caption, and the modal result with the button roles, are
    // written to form data (a button of a standard kind takes them from it).
    virtual bool IsCaptionStored() const { return true; }
    virtual bool IsCustom() const { return true; }

protected:
    bool GetWidgetKind(TWidgetKind& Kind) const override;
    void FillWidgetProps(TControlProps& Props) const override;
    TControlEvents GetWidgetEvents() override;

private:
    TModalResult FModalResult = mrNone;
    bool FDefault = false;
    bool FCancel = false;
};

// ------------------------------------------------------------------- TEdit

// A single line of text that the user types. Text (the same value as
// Caption) is what it holds; OnChange fires whenever it changes, by the
// user or by SetText.
class TEdit : public TWinControl {
    TYPECASK_CLASS(TEdit, TWinControl)

public:
    explicit TEdit(TComponent* Owner);
    ~TEdit() override;

    void SetText(const AnsiString& Value) override;

    TNotifyEvent OnChange;

    // Fires OnChange.
    virtual void Change();

protected:
    bool GetWidgetKind(TWidgetKind& Kind) const override;
    TControlEvents GetWidgetEvents() override;
};

// ---------------------------------------------------------------- TListBox

// The list box styles, as the widgetset names them.
inline constexpr TListBoxStyle lbStandard = TListBoxStyle::Standard;
inline constexpr TListBoxStyle lbOwnerDrawFixed = TListBoxStyle::OwnerDrawFixed;
inline constexpr TListBoxStyle lbOwnerDrawVariable = TListBoxStyle::OwnerDrawVariable;
const TTypeInfo* TypeInfoFor(TListBoxStyle*);

// OnDrawItem(Control, Index, Rect, State): draws row Index into Rect of the
// list box's Canvas, which comes prepared for the row's state.
struct TDrawItemEvent : TEvent<TWinControl*, int, TRect, TOwnerDrawState> {
    using TEvent::TEvent;
    static const char* TypeName() { return "TDrawItemEvent"; }
};
// OnMeasureItem(Control, Index, Height): sets the height of row Index
// (Height comes as ItemHeight).
struct TMeasureItemEvent : TEvent<TWinControl*, int, int&> {
    using TEvent::TEvent;
    static const char* TypeName() { return "TMeasureItemEvent"; }
};

class TListBox;

// The items of a list box: a string list that shows its changes.
class TListBoxStrings : public TStringList {
public:
    explicit TListBoxStrings(TListBox* ListBox) : FListBox(ListBox) {}
    ~TListBoxStrings() override;

    void Put(int Index, const AnsiString& S) override;
    void Insert(int Index, const AnsiString& S) override;
    void Delete(int Index) override;
    void Clear() override;
    int Add(const AnsiString& S) override;

private:
    TListBox* FListBox;
};

// A list of texts, one of which may be selected. Owner-drawn styles draw
// their rows through OnDrawItem on the list box's Canvas; with
// lbOwnerDrawVariable, OnMeasureItem is asked once per row for its height
// (whenever the items change while the list is shown).
class TListBox : public TWinControl {
    TYPECASK_CLASS(TListBox, TWinControl)

public:
    explicit TListBox(TComponent* Owner);
    ~TListBox() override;

    TStrings* GetItems() const { return FItems.get(); }
    // Copies Value's items.
    void SetItems(TStrings* Value);
    // The selected row, -1 for none. Setting it selects without OnClick; a
    // value outside the items selects nothing.
    int GetItemIndex() const { return FItemIndex; }
    void SetItemIndex(int Value);
    TListBoxStyle GetStyle() const { return FStyle; }
    void SetStyle(TListBoxStyle Value);
    // A sorted list keeps its items in AnsiCompareText order.
    bool GetSorted() const { return FSorted; }
    void SetSorted(bool Value);
    int GetItemHeight() const { return FItemHeight; }
    void SetItemHeight(int Value);
    bool IsItemHeightStored() const { return FStyle != lbStandard; }
    // The canvas that OnDrawItem draws on and OnMeasureItem measures with.
    TCanvas* GetCanvas() const { return FCanvas.get(); }

    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;

    // The height of row Index: ItemHeight, or OnMeasureItem's answer for
    // lbOwnerDrawVariable.
    virtual int MeasureItem(int Index);
    // Prepares the canvas for State (brush clHighlight and font colour
    // clHighlightText for a selected row, the list's colour and font colour
    // otherwise), then calls OnDrawItem, or draws the text when there is no
    // handler.
    virtual void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State);

protected:
    bool GetWidgetKind(TWidgetKind& Kind) const override;
    void FillWidgetProps(TControlProps& Props) const override;
    TControlEvents GetWidgetEvents() override;

private:
    friend class TListBoxStrings;
    void ItemsChanged();

    std::unique_ptr<TListBoxStrings> FItems;
    std::unique_ptr<TCanvas> FCanvas;
    int FItemIndex = -1;
    TListBoxStyle FStyle = lbStandard;
    bool FSorted = false;
    int FItemHeight = 16;
};
