// The default property editors, one for each kind of property type, and the
// default component editor. A package derives its own editors from these
// (a dialog for an object property derives from TClassProperty, a component
// editor that picks a property to edit from TDefaultEditor).
#pragma once

#include "platform/DesignIntf.h"

// Integers, enumerations and sets: values compared as ordinals.
class TOrdinalProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    bool AllEqual() override;
    int GetEditLimit() override;
};

// Integer and Int64 properties, typed as decimal numbers ("$" or "0x" for
// hexadecimal); an integer type with identifiers for some of its values (a
// colour) shows those identifiers and offers them as a value list.
class TIntegerProperty : public TOrdinalProperty {
public:
    using TOrdinalProperty::TOrdinalProperty;
    TPropertyAttributes GetAttributes() override;
    AnsiString GetValue() override;
    void GetValues(const TGetStrProc& Proc) override;
    void SetValue(const AnsiString& Value) override;
};

// Enumerations: the identifier of the value, chosen from the list of all of
// them.
class TEnumProperty : public TOrdinalProperty {
public:
    using TOrdinalProperty::TOrdinalProperty;
    TPropertyAttributes GetAttributes() override;
    AnsiString GetValue() override;
    void GetValues(const TGetStrProc& Proc) override;
    void SetValue(const AnsiString& Value) override;
};

// Booleans: False or True (letter case ignored when typed); Edit toggles.
class TBoolProperty : public TEnumProperty {
public:
    using TEnumProperty::TEnumProperty;
    AnsiString GetValue() override;
    void GetValues(const TGetStrProc& Proc) override;
    void SetValue(const AnsiString& Value) override;
};

// Sets: "[a,b]" with the members in declaration order; expands into one
// boolean sub-property per member of the element type.
class TSetProperty : public TOrdinalProperty {
public:
    using TOrdinalProperty::TOrdinalProperty;
    TPropertyAttributes GetAttributes() override;
    void GetProperties(const TGetPropEditProc& Proc) override;
    AnsiString GetValue() override;
    // Takes the text form ("[a, b]", brackets optional); raises EPropertyError
    // for a name that is no member.
    void SetValue(const AnsiString& Value) override;
};

// One member of a set: True when the set contains it.
class TSetElementProperty : public TPropertyEditor {
public:
    TSetElementProperty(IDesigner* ADesigner, int APropCount, int AElement);
    bool AllEqual() override;
    TPropertyAttributes GetAttributes() override;
    AnsiString GetName() override;
    AnsiString GetValue() override;
    void GetValues(const TGetStrProc& Proc) override;
    void SetValue(const AnsiString& Value) override;
    int Element() const { return FElement; }

private:
    bool Contains(int Index);
    int FElement;
};

// Texts, as they are.
class TStringProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    bool AllEqual() override;
    TPropertyAttributes GetAttributes() override;
    AnsiString GetValue() override;
    void SetValue(const AnsiString& Value) override;
};

// The Name of a component: one object at a time (names are unique), typed as
// an identifier; SetName's EComponentError passes through.
class TComponentNameProperty : public TStringProperty {
public:
    using TStringProperty::TStringProperty;
    TPropertyAttributes GetAttributes() override;
    int GetEditLimit() override;
};

// A persistent sub-object: shown as "(TClassName)" (the property's type) and
// edited through its own published properties.
class TClassProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    TPropertyAttributes GetAttributes() override;
    void GetProperties(const TGetPropEditProc& Proc) override;
    AnsiString GetValue() override;
};

// A reference to a component of the form: shown by the component's name and
// chosen from the components of the fitting class; an empty text clears it.
class TComponentProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    TPropertyAttributes GetAttributes() override;
    int GetEditLimit() override;
    AnsiString GetValue() override;
    void GetValues(const TGetStrProc& Proc) override;
    void SetValue(const AnsiString& Value) override;
};

// An event: shown by the handler's name and bound to one of the root's
// published methods whose signature fits; an empty text unbinds it.
class TMethodProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    bool AllEqual() override;
    // With no handler bound: binds the root's published method of the name a
    // designer gives a new handler (GetFormMethodName), when the root has
    // one that fits. A bound handler, or a root without that method, is left
    // alone: compiled code cannot grow a new method at design time.
    void Edit() override;
    TPropertyAttributes GetAttributes() override;
    int GetEditLimit() override;
    AnsiString GetValue() override;
    void GetValues(const TGetStrProc& Proc) override;
    void SetValue(const AnsiString& Value) override;
    // The name a new handler gets: the component's name (for the root, its
    // class name without the leading T and any trailing digits, "Form" for
    // TForm1) followed by the event's name without its leading "On":
    // Button1Click, FormCreate.
    virtual AnsiString GetFormMethodName();
    // The text after "On" of the event's name.
    AnsiString GetTrimmedEventName();
};

// The component editor of a component that registers none. Edit offers every
// property editor of the component, in published order, to EditProperty for
// as long as Continue stays true. When the editors are through and Continue
// is still true, the event editor that EditProperty chose is edited.
class TDefaultEditor : public TComponentEditor {
public:
    TDefaultEditor(TComponent* AComponent, IDesigner* ADesigner);
    ~TDefaultEditor() override;

    void Edit() override;

    // Offered each property editor in turn. Setting Continue to false ends
    // the walk (nothing else is edited); setting FreeEditor to false takes
    // the editor over: Edit then releases it and the override deletes it.
    // The default chooses an event to edit after the walk: the first event
    // property, replaced by OnCreate, OnChange or OnClick, whichever comes
    // first in that order of preference. TMethodProperty::Edit binds an
    // existing handler only, so the default never changes anything else.
    virtual void EditProperty(TPropertyEditor* PropertyEditor, bool& Continue, bool& FreeEditor);

private:
    std::unique_ptr<TPropertyEditor> FFirst;
    std::unique_ptr<TPropertyEditor> FBest;
    int FBestRank = 0;
};
