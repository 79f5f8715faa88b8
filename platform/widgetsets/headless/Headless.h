// The headless widgetset: windows live in memory only. Tests and hosts drive
// them as a user would (select, click, double-click, keys, close) and render
// them to PNG images.
//
// ShowModal cannot wait for a user, so it plays a script: the actions queued
// with Script() before (or during) the modal showing are carried out one by
// one on the topmost modal window; when the queue runs dry the window is
// closed, which ends the dialog with mrCancel unless its close handler
// decides otherwise. An action that cannot be carried out (no such control
// or row) drops the rest of the queue, so the dialog ends as if closed; the
// reason is kept in GetScriptErrors().
#pragma once

#include <deque>

#include "platform/widgetsets/WidgetSetBase.h"

namespace WidgetSets {

class THeadlessWidgetSet;

struct THeadlessAction {
    enum TKind {
        SelectRow,        // click the row with text Target of the first list box
        SelectIndex,      // click row Index of the first list box
        DoubleClickRow,   // double-click the row with text Target
        DoubleClickIndex, // double-click row Index
        Click,            // click the button named or captioned Target
        Key,              // press Key in the window
        TypeText,         // type the characters of Target in the window, without pauses
        Close,            // close the window
        Screenshot,       // save the window as PNG FileName
        Custom,           // call Run with the window
    };
    TKind Kind = Close;
    AnsiString Target;
    int Index = -1;
    TKey KeyPressed = TKey::Enter;
    AnsiString FileName;
    std::function<void(THeadlessWidgetSet& Set, TWidgetHandle Window)> Run;

    static THeadlessAction Make(TKind Kind, const AnsiString& Target = {}, int Index = -1) {
        THeadlessAction A;
        A.Kind = Kind;
        A.Target = Target;
        A.Index = Index;
        return A;
    }
    static THeadlessAction Select(const AnsiString& Row) { return Make(SelectRow, Row); }
    static THeadlessAction Select(int Row) { return Make(SelectIndex, {}, Row); }
    static THeadlessAction DoubleClick(const AnsiString& Row) { return Make(DoubleClickRow, Row); }
    static THeadlessAction DoubleClick(int Row) { return Make(DoubleClickIndex, {}, Row); }
    static THeadlessAction Press(const AnsiString& Button) { return Make(Click, Button); }
    static THeadlessAction Press(TKey K) {
        THeadlessAction A = Make(Key);
        A.KeyPressed = K;
        return A;
    }
    static THeadlessAction Type(const AnsiString& Text) { return Make(TypeText, Text); }
    static THeadlessAction CloseWindow() { return Make(Close); }
    static THeadlessAction SaveScreenshot(const AnsiString& File) {
        THeadlessAction A = Make(Screenshot);
        A.FileName = File;
        return A;
    }
    static THeadlessAction Call(std::function<void(THeadlessWidgetSet&, TWidgetHandle)> F) {
        THeadlessAction A = Make(Custom);
        A.Run = std::move(F);
        return A;
    }
};

class THeadlessWidgetSet : public TWidgetSetBase {
public:
    AnsiString GetName() const override { return "headless"; }
    TModalResult ShowModal(TWidgetHandle Window) override;

    // Appends actions to the script that modal showings play.
    void Script(std::vector<THeadlessAction> Actions);
    void ClearScript() { FScript.clear(); }
    std::size_t PendingActions() const { return FScript.size(); }
    // Why actions failed, oldest first.
    const std::vector<AnsiString>& GetScriptErrors() const { return FErrors; }

    // Carries out one action on a window now; false (with the reason in
    // GetScriptErrors) when it cannot be done.
    bool Perform(TWidgetHandle Window, const THeadlessAction& Action);

    // The windows being shown, innermost modal last.
    const std::vector<TWidgetHandle>& ModalStack() const { return FModalStack; }

private:
    bool Fail(const AnsiString& Why);

    std::deque<THeadlessAction> FScript;
    std::vector<AnsiString> FErrors;
    std::vector<TWidgetHandle> FModalStack;
};

// Makes a fresh headless widgetset the one in use and returns it.
THeadlessWidgetSet& UseHeadlessWidgetSet();

}  // namespace WidgetSets
