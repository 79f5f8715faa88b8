// The design-time interface of the class library: property editors, component
// editors, the designer they talk to, and the registration of components and
// editors that a package's Register function makes.
//
// An object inspector asks GetComponentProperties (or GetPropertyEditors) for
// the editors of the selected objects; each editor reads and writes one
// published property of every selected object and tells the designer when it
// changed something. A designer asks GetComponentEditor for the editor behind
// a component's context menu and double-click.
//
//     void Register() {
//         RegisterComponents("Freeware", {TTypecask::StaticClass()});
//         RegisterPropertyEditor(TypeInfoOf<TVersionInfo*>(), TTypecask::StaticClass(), "About",
//                                PropertyEditorClass<TTypecaskAboutPropertyEditor>());
//         RegisterComponentEditor(TTypecask::StaticClass(), ComponentEditorClass<TTypecaskComponentEditor>());
//     }
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <typeinfo>
#include <vector>

#include "platform/Component.h"
#include "platform/TypInfo.h"

class TPropertyEditor;
class TComponentEditor;

// What an object inspector may do with a property. The bit order is the
// class library's: {paSubProperties, paDialog} is the value 0x06.
enum TPropertyAttribute {
    paValueList,      // the value is one of a list (GetValues): a drop-down list
    paSubProperties,  // the value expands into sub-properties (GetProperties)
    paDialog,         // Edit opens a dialog: an ellipsis button
    paMultiSelect,    // shown when several objects are selected
    paAutoUpdate,     // SetValue is called on every change of the typed text
    paSortList,       // the value list is shown sorted
    paReadOnly,       // the value cannot be typed in
    paRevertable,     // the value can be reverted to the inherited one
};
TYPECASK_ENUM(TPropertyAttribute, paValueList, paSubProperties, paDialog, paMultiSelect, paAutoUpdate, paSortList,
              paReadOnly, paRevertable)
using TPropertyAttributes = TSet<TPropertyAttribute>;

// The attribute identifiers of a set, in bit order, separated by ", ".
AnsiString PropertyAttributesToString(TPropertyAttributes Attributes);

using TGetStrProc = std::function<void(const AnsiString& S)>;
// Receives a new property editor, which it then owns.
using TGetPropEditProc = std::function<void(std::unique_ptr<TPropertyEditor> Editor)>;

// ----------------------------------------------------------------- designer

// What property and component editors need from the designer that shows the
// objects they edit: the root of the form being designed, the components in
// it, the event handlers its class publishes, and the news of a change.
class IDesigner {
public:
    virtual ~IDesigner() = default;

    // The form or data module being designed.
    virtual TComponent* GetRoot() const = 0;
    // Something in the form was changed: it needs saving and every view of
    // it a refresh.
    virtual void Modified() = 0;

    // A name for a new component based on BaseName (a class name without its
    // leading T): BaseName followed by the lowest number not taken.
    virtual AnsiString UniqueName(const AnsiString& BaseName) = 0;
    // The root or one of its components by name (letter case ignored), or
    // nullptr.
    virtual TComponent* GetComponent(const AnsiString& Name) = 0;
    // The name by which a component property refers to Component.
    virtual AnsiString GetComponentName(TComponent* Component) = 0;
    // The names of the root and its components that are of Class.
    virtual void GetComponentNames(TClass Class, const TGetStrProc& Proc) = 0;

    // Event handlers are the root's published methods: compiled code cannot
    // grow new ones at design time, so an event can only be bound to one the
    // root's class already has.
    // True when the root publishes a method Name whose signature fits
    // EventType.
    virtual bool MethodExists(const AnsiString& Name, const TTypeInfo* EventType) = 0;
    // The root's published method Name as an event value; raises
    // EPropertyError when there is none or its signature does not fit.
    virtual TMethod FindMethod(const AnsiString& Name, const TTypeInfo* EventType) = 0;
    // The name an event value is shown by (empty for no handler).
    virtual AnsiString GetMethodName(const TMethod& Method) = 0;
    // The names of the root's published methods that fit EventType.
    virtual void GetMethods(const TTypeInfo* EventType, const TGetStrProc& Proc) = 0;
};

// ----------------------------------------------------------- property editor

// Edits one published property of one or more selected objects. The
// framework constructs an editor for the number of objects, hands it each
// object with its property (SetPropEntry) and then calls Initialize. Values
// are read from the first object; writing goes to all of them and ends with
// Modified.
class TPropertyEditor {
public:
    TPropertyEditor(IDesigner* ADesigner, int APropCount);
    TPropertyEditor(const TPropertyEditor&) = delete;
    TPropertyEditor& operator=(const TPropertyEditor&) = delete;
    virtual ~TPropertyEditor();

    // Called once every entry is set.
    virtual void Initialize() {}
    // True when every selected object has the same value.
    virtual bool AllEqual();
    // Runs the property's editing action (a dialog for paDialog). The default
    // moves a property with a value list to the next value of the list, as a
    // double-click in an object inspector does (a boolean toggles, an
    // enumeration goes round); other properties are left alone.
    virtual void Edit();
    virtual TPropertyAttributes GetAttributes();
    // The longest text the value may be typed as.
    virtual int GetEditLimit();
    virtual AnsiString GetName();
    // Editors for the sub-properties (paSubProperties), one call each.
    virtual void GetProperties(const TGetPropEditProc& Proc);
    // The value as an object inspector shows it.
    virtual AnsiString GetValue();
    // The values of the list (paValueList), one call each.
    virtual void GetValues(const TGetStrProc& Proc);
    // Sets the value from its text; raises EPropertyError for a text that is
    // not a value of the property. The default refuses every text.
    virtual void SetValue(const AnsiString& Value);
    // False when reading the value raises.
    virtual bool ValueAvailable();

    // The framework's side: the Index-th object and its property.
    void SetPropEntry(int Index, TPersistent* Instance, const TPropInfo* PropInfo);

    IDesigner* GetDesigner() const { return FDesigner; }
    int PropCount() const { return static_cast<int>(FPropList.size()); }
    TPersistent* GetComponent(int Index) const;
    const TPropInfo* GetPropInfo() const { return GetPropInfoAt(0); }
    const TPropInfo* GetPropInfoAt(int Index) const;
    const TTypeInfo* GetPropType() const { return GetPropInfo()->Type; }
    // Tells the designer that the property changed.
    void Modified();

    // Typed access to the value of the first object (or of object Index).
    // GetOrdValue of an object property is the object's address, so that
    // SetOrdValue(GetOrdValue()) writes the same object back.
    std::intptr_t GetOrdValue() { return GetOrdValueAt(0); }
    std::intptr_t GetOrdValueAt(int Index);
    std::int64_t GetInt64Value() { return GetInt64ValueAt(0); }
    std::int64_t GetInt64ValueAt(int Index);
    AnsiString GetStrValue() { return GetStrValueAt(0); }
    AnsiString GetStrValueAt(int Index);
    TObject* GetObjectValue() { return GetObjectValueAt(0); }
    TObject* GetObjectValueAt(int Index);
    TMethod GetMethodValue() { return GetMethodValueAt(0); }
    TMethod GetMethodValueAt(int Index);

    // Writes the value into every object through the property's writer, then
    // calls Modified. SetOrdValue of an object property takes an object's
    // address (GetOrdValue, reinterpret_cast) and hands the object to the
    // writer, which is how the object's own setter gets to copy it.
    void SetOrdValue(std::intptr_t Value);
    void SetInt64Value(std::int64_t Value);
    void SetStrValue(const AnsiString& Value);
    void SetObjectValue(TObject* Value);
    void SetMethodValue(const TMethod& Value);

private:
    struct TInstProp {
        TPersistent* Instance = nullptr;
        const TPropInfo* PropInfo = nullptr;
    };
    const TInstProp& Entry(int Index) const;
    template <class F>
    void SetEach(F&& Set);

    IDesigner* FDesigner;
    std::vector<TInstProp> FPropList;
};

// How an editor class is named at registration: its type, and a factory
// that makes an instance from the arguments its kind of editor takes.
template <class TEditor, class... TArgs>
class TEditorClassInfo {
public:
    using TCreate = std::unique_ptr<TEditor> (*)(TArgs...);
    TEditorClassInfo(const std::type_info& Type, TCreate Create) : FType(&Type), FCreate(Create) {}

    const std::type_info& Type() const { return *FType; }
    std::unique_ptr<TEditor> Create(TArgs... Args) const { return FCreate(Args...); }

private:
    const std::type_info* FType;
    TCreate FCreate;
};

// A property editor is made from the designer and the number of objects
// edited together.
using TPropertyEditorClassInfo = TEditorClassInfo<TPropertyEditor, IDesigner*, int>;
using TPropertyEditorClass = const TPropertyEditorClassInfo*;

// The class of the property editor E (constructible from IDesigner* and the
// number of objects).
template <class E>
TPropertyEditorClass PropertyEditorClass() {
    static_assert(std::is_base_of_v<TPropertyEditor, E>);
    static const TPropertyEditorClassInfo Info(typeid(E), [](IDesigner* D, int Count) -> std::unique_ptr<TPropertyEditor> {
        return std::make_unique<E>(D, Count);
    });
    return &Info;
}

// ---------------------------------------------------------- component editor

// The editor behind a component's context menu (its verbs) and the
// double-click on it (Edit).
class TComponentEditor {
public:
    TComponentEditor(TComponent* AComponent, IDesigner* ADesigner);
    TComponentEditor(const TComponentEditor&) = delete;
    TComponentEditor& operator=(const TComponentEditor&) = delete;
    virtual ~TComponentEditor();

    // The double-click: runs the first verb when there is one.
    virtual void Edit();
    // Runs the context-menu command Index; the default has none.
    virtual void ExecuteVerb(int Index);
    virtual AnsiString GetVerb(int Index);
    virtual int GetVerbCount();
    // Copies the component to the clipboard in some extra form; the default
    // adds nothing.
    virtual void Copy();

    TComponent* Component() const { return FComponent; }
    IDesigner* Designer() const { return FDesigner; }

private:
    TComponent* FComponent;
    IDesigner* FDesigner;
};

using TComponentEditorClassInfo = TEditorClassInfo<TComponentEditor, TComponent*, IDesigner*>;
using TComponentEditorClass = const TComponentEditorClassInfo*;

// The class of the component editor E (constructible from TComponent* and
// IDesigner*).
template <class E>
TComponentEditorClass ComponentEditorClass() {
    static_assert(std::is_base_of_v<TComponentEditor, E>);
    static const TComponentEditorClassInfo Info(
        typeid(E), [](TComponent* C, IDesigner* D) -> std::unique_ptr<TComponentEditor> {
            return std::make_unique<E>(C, D);
        });
    return &Info;
}

// ------------------------------------------------------------- registration

// Puts Classes on the palette page Page (pages keep the order in which they
// were first named, classes the order of registration; a class already on
// the palette stays where it is) and registers them with RegisterClass so
// that form data can name them.
void RegisterComponents(const AnsiString& Page, std::initializer_list<TClass> Classes);

// Makes EditorClass the editor of the properties of type PropertyType named
// PropertyName (letter case ignored) of ComponentClass and the classes
// derived from it. A null ComponentClass stands for every class, an empty
// PropertyName for every name. A class type covers the properties of its
// derived classes too. A null EditorClass hides the matching properties.
//
// Of several registrations that fit a property the most specific one wins:
// one naming a component class over one that does not, then one naming the
// property, then an exact property type over an ancestor class, then the
// more derived property class, then the more derived component class. Of
// registrations equally specific, the latest wins.
void RegisterPropertyEditor(const TTypeInfo* PropertyType, TClass ComponentClass, const AnsiString& PropertyName,
                            TPropertyEditorClass EditorClass);

// Makes EditorClass the component editor of ComponentClass and the classes
// derived from it. The registration for the nearest class wins; of those for
// the same class, the latest.
void RegisterComponentEditor(TClass ComponentClass, TComponentEditorClass EditorClass);

struct TPalettePage {
    AnsiString Name;
    std::vector<TClass> Classes;
};
struct TPropertyEditorRegistration {
    const TTypeInfo* PropertyType;
    TClass ComponentClass;
    AnsiString PropertyName;
    TPropertyEditorClass EditorClass;
};
struct TComponentEditorRegistration {
    TClass ComponentClass;
    TComponentEditorClass EditorClass;
};

// The palette: its pages in order with their classes.
std::vector<TPalettePage> GetPalettePages();
// The classes of one page (letter case ignored); empty for an unknown page.
std::vector<TClass> GetPaletteClasses(const AnsiString& Page);
// The page that holds Class, or an empty text.
AnsiString GetPalettePage(TClass Class);
// Every registration, oldest first.
std::vector<TPropertyEditorRegistration> GetPropertyEditorRegistrations();
std::vector<TComponentEditorRegistration> GetComponentEditorRegistrations();
// Forgets every palette entry and editor registration, and unregisters the
// classes that RegisterComponents registered (for tests and for unloading a
// package).
void ResetDesignRegistrations();

// ------------------------------------------------------------------ lookup

// The editor class for Prop of an object of class ObjectClass: the best
// registration, else TComponentNameProperty for a component's Name and the
// default editor of the property's type kind for the others. Returns
// nullptr for a property that a null registration hides.
TPropertyEditorClass GetEditorClass(const TPropInfo* Prop, TClass ObjectClass);

// The editors an object inspector shows for Components (objects of any
// class derived from TPersistent), in published order. With more than one
// object only the properties that every object publishes under the same name
// and type and whose editor allows paMultiSelect are offered. Properties
// that cannot be written are left out, except object properties, whose
// sub-properties may still be edited.
void GetComponentProperties(const std::vector<TPersistent*>& Components, IDesigner* Designer,
                            const TGetPropEditProc& Proc);
// The same for one object, as a list.
std::vector<std::unique_ptr<TPropertyEditor>> GetPropertyEditors(TPersistent* Component, IDesigner* Designer);
// The sub-property editors of Editor, as a list.
std::vector<std::unique_ptr<TPropertyEditor>> GetSubPropertyEditors(TPropertyEditor* Editor);

// The registered component editor of Component, or a TDefaultEditor.
std::unique_ptr<TComponentEditor> GetComponentEditor(TComponent* Component, IDesigner* Designer);

// Letter-case-insensitive order of texts (ASCII letters), as sorted value
// lists are shown.
bool LessText(const AnsiString& A, const AnsiString& B);
