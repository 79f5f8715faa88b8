#include "platform/DesignIntf.h"

#include <algorithm>

#include "platform/DesignEditors.h"

AnsiString PropertyAttributesToString(TPropertyAttributes Attributes) {
    AnsiString Result;
    const TTypeInfo* Type = TypeInfoOf<TPropertyAttribute>();
    for (std::size_t I = 0; I < Type->Names().size(); ++I) {
        if (!Attributes.Contains(static_cast<TPropertyAttribute>(I))) continue;
        if (!Result.empty()) Result += ", ";
        Result += Type->Names()[I];
    }
    return Result;
}

bool LessText(const AnsiString& A, const AnsiString& B) { return CompareText(A, B) < 0; }

// ----------------------------------------------------------- TPropertyEditor

TPropertyEditor::TPropertyEditor(IDesigner* ADesigner, int APropCount)
    : FDesigner(ADesigner), FPropList(static_cast<std::size_t>(std::max(APropCount, 1))) {}

TPropertyEditor::~TPropertyEditor() = default;

void TPropertyEditor::SetPropEntry(int Index, TPersistent* Instance, const TPropInfo* PropInfo) {
    if (Index < 0 || Index >= PropCount())
        throw EPropertyError("Property editor entry %d out of range", {Index});
    FPropList[static_cast<std::size_t>(Index)] = {Instance, PropInfo};
}

const TPropertyEditor::TInstProp& TPropertyEditor::Entry(int Index) const {
    if (Index < 0 || Index >= PropCount())
        throw EPropertyError("Property editor entry %d out of range", {Index});
    const TInstProp& E = FPropList[static_cast<std::size_t>(Index)];
    if (!E.Instance || !E.PropInfo) throw EPropertyError("Property editor entry %d is not set", {Index});
    return E;
}

TPersistent* TPropertyEditor::GetComponent(int Index) const { return Entry(Index).Instance; }
const TPropInfo* TPropertyEditor::GetPropInfoAt(int Index) const { return Entry(Index).PropInfo; }

void TPropertyEditor::Modified() {
    if (FDesigner) FDesigner->Modified();
}

bool TPropertyEditor::AllEqual() { return PropCount() == 1; }

void TPropertyEditor::Edit() {
    const TPropertyAttributes Attributes = GetAttributes();
    if (!Attributes.Contains(paValueList) || Attributes.Contains(paReadOnly)) return;
    std::vector<AnsiString> Values;
    GetValues([&](const AnsiString& S) { Values.push_back(S); });
    if (Values.empty()) return;
    if (Attributes.Contains(paSortList))
        std::stable_sort(Values.begin(), Values.end(), LessText);
    const AnsiString Current = GetValue();
    std::size_t Next = 0;
    for (std::size_t I = 0; I < Values.size(); ++I)
        if (SameIdent(Values[I], Current)) {
            Next = (I + 1) % Values.size();
            break;
        }
    SetValue(Values[Next]);
}

TPropertyAttributes TPropertyEditor::GetAttributes() { return {paMultiSelect, paRevertable}; }

int TPropertyEditor::GetEditLimit() { return 255; }

AnsiString TPropertyEditor::GetName() { return GetPropInfo()->Name; }

void TPropertyEditor::GetProperties(const TGetPropEditProc&) {}

AnsiString TPropertyEditor::GetValue() { return "(unknown)"; }

void TPropertyEditor::GetValues(const TGetStrProc&) {}

void TPropertyEditor::SetValue(const AnsiString&) {
    throw EPropertyError("Property " + GetName() + " cannot be set from text");
}

bool TPropertyEditor::ValueAvailable() {
    try {
        for (int I = 0; I < PropCount(); ++I) GetPropInfoAt(I)->Get(GetComponent(I));
        return true;
    } catch (const Exception&) {
        return false;
    }
}

std::intptr_t TPropertyEditor::GetOrdValueAt(int Index) {
    const TInstProp& E = Entry(Index);
    if (E.PropInfo->Type->Kind == tkClass)
        return reinterpret_cast<std::intptr_t>(GetObjectProp(E.Instance, E.PropInfo));
    return static_cast<std::intptr_t>(GetOrdProp(E.Instance, E.PropInfo));
}

std::int64_t TPropertyEditor::GetInt64ValueAt(int Index) {
    const TInstProp& E = Entry(Index);
    return GetOrdProp(E.Instance, E.PropInfo);
}

AnsiString TPropertyEditor::GetStrValueAt(int Index) {
    const TInstProp& E = Entry(Index);
    return GetStrProp(E.Instance, E.PropInfo);
}

TObject* TPropertyEditor::GetObjectValueAt(int Index) {
    const TInstProp& E = Entry(Index);
    return GetObjectProp(E.Instance, E.PropInfo);
}

TMethod TPropertyEditor::GetMethodValueAt(int Index) {
    const TInstProp& E = Entry(Index);
    return GetMethodProp(E.Instance, E.PropInfo);
}

template <class F>
void TPropertyEditor::SetEach(F&& Set) {
    for (int I = 0; I < PropCount(); ++I) {
        const TInstProp& E = Entry(I);
        Set(E.Instance, E.PropInfo);
    }
    Modified();
}

void TPropertyEditor::SetOrdValue(std::intptr_t Value) {
    if (GetPropType()->Kind == tkClass)
        SetObjectValue(reinterpret_cast<TObject*>(Value));
    else
        SetInt64Value(static_cast<std::int64_t>(Value));
}

void TPropertyEditor::SetInt64Value(std::int64_t Value) {
    SetEach([&](TPersistent* Instance, const TPropInfo* Prop) { SetOrdProp(Instance, Prop, Value); });
}

void TPropertyEditor::SetStrValue(const AnsiString& Value) {
    SetEach([&](TPersistent* Instance, const TPropInfo* Prop) { SetStrProp(Instance, Prop, Value); });
}

void TPropertyEditor::SetObjectValue(TObject* Value) {
    SetEach([&](TPersistent* Instance, const TPropInfo* Prop) { SetObjectProp(Instance, Prop, Value); });
}

void TPropertyEditor::SetMethodValue(const TMethod& Value) {
    SetEach([&](TPersistent* Instance, const TPropInfo* Prop) { SetMethodProp(Instance, Prop, Value); });
}

// ---------------------------------------------------------- TComponentEditor

TComponentEditor::TComponentEditor(TComponent* AComponent, IDesigner* ADesigner)
    : FComponent(AComponent), FDesigner(ADesigner) {}

TComponentEditor::~TComponentEditor() = default;

void TComponentEditor::Edit() {
    if (GetVerbCount() > 0) ExecuteVerb(0);
}

void TComponentEditor::ExecuteVerb(int) {}

AnsiString TComponentEditor::GetVerb(int) { return {}; }

int TComponentEditor::GetVerbCount() { return 0; }

void TComponentEditor::Copy() {}

// ------------------------------------------------------------- registration

namespace {

struct TRegistry {
    std::vector<TPalettePage> Pages;
    std::vector<TClass> RegisteredClasses;  // those RegisterComponents made known to the class registry
    std::vector<TPropertyEditorRegistration> PropertyEditors;
    std::vector<TComponentEditorRegistration> ComponentEditors;
};

TRegistry& Registry() {
    static TRegistry R;
    return R;
}

int ClassDepth(TClass Class) {
    int Depth = 0;
    for (; Class; Class = Class->ClassParent()) ++Depth;
    return Depth;
}

bool SameType(const TTypeInfo* A, const TTypeInfo* B) {
    if (A == B) return true;
    return A->Kind == tkClass && B->Kind == tkClass && A->ClassType() == B->ClassType();
}

// Whether the registered type covers the property's type: the same type, or
// for classes an ancestor class.
bool TypeCovers(const TTypeInfo* Registered, const TTypeInfo* Property) {
    if (SameType(Registered, Property)) return true;
    return Registered->Kind == tkClass && Property->Kind == tkClass && Registered->ClassType() &&
           Property->ClassType() && Property->ClassType()->InheritsFrom(Registered->ClassType());
}

bool Fits(const TPropertyEditorRegistration& R, const TPropInfo* Prop, TClass ObjectClass) {
    return TypeCovers(R.PropertyType, Prop->Type) && (!R.ComponentClass || ObjectClass->InheritsFrom(R.ComponentClass)) &&
           (R.PropertyName.empty() || SameIdent(R.PropertyName, Prop->Name));
}

// -1 when A is less specific than B for Prop, 1 when more, 0 when equal.
int CompareSpecificity(const TPropertyEditorRegistration& A, const TPropertyEditorRegistration& B,
                       const TPropInfo* Prop) {
    auto Cmp = [](auto X, auto Y) { return X < Y ? -1 : (X > Y ? 1 : 0); };
    if (int C = Cmp(A.ComponentClass != nullptr, B.ComponentClass != nullptr)) return C;
    if (int C = Cmp(!A.PropertyName.empty(), !B.PropertyName.empty())) return C;
    if (int C = Cmp(SameType(A.PropertyType, Prop->Type), SameType(B.PropertyType, Prop->Type))) return C;
    if (A.PropertyType->Kind == tkClass && B.PropertyType->Kind == tkClass)
        if (int C = Cmp(ClassDepth(A.PropertyType->ClassType()), ClassDepth(B.PropertyType->ClassType()))) return C;
    return Cmp(ClassDepth(A.ComponentClass), ClassDepth(B.ComponentClass));
}

TPropertyEditorClass DefaultEditorClass(const TTypeInfo* Type) {
    switch (Type->Kind) {
        case tkInteger:
        case tkInt64: return PropertyEditorClass<TIntegerProperty>();
        case tkEnumeration:
            return Type == BooleanTypeInfo() ? PropertyEditorClass<TBoolProperty>()
                                             : PropertyEditorClass<TEnumProperty>();
        case tkSet: return PropertyEditorClass<TSetProperty>();
        case tkString: return PropertyEditorClass<TStringProperty>();
        case tkClass:
            if (Type->ClassType() && Type->ClassType()->InheritsFrom(TComponent::StaticClass()))
                return PropertyEditorClass<TComponentProperty>();
            return PropertyEditorClass<TClassProperty>();
        case tkMethod: return PropertyEditorClass<TMethodProperty>();
    }
    return PropertyEditorClass<TPropertyEditor>();
}

}  // namespace

void RegisterComponents(const AnsiString& Page, std::initializer_list<TClass> Classes) {
    TRegistry& R = Registry();
    for (TClass Class : Classes) {
        if (!Class || !Class->InheritsFrom(TComponent::StaticClass()))
            throw EComponentError("Only components can be put on the palette (%s)",
                                  {Class ? Class->ClassName() : AnsiString("nil")});
    }
    auto PageIt = std::find_if(R.Pages.begin(), R.Pages.end(), [&](const TPalettePage& P) { return SameIdent(P.Name, Page); });
    if (PageIt == R.Pages.end()) {
        R.Pages.push_back({Page, {}});
        PageIt = R.Pages.end() - 1;
    }
    for (TClass Class : Classes) {
        if (!GetClass(Class->ClassName())) {
            RegisterClass(Class);
            R.RegisteredClasses.push_back(Class);
        } else {
            RegisterClass(Class);  // raises when another class of that name is registered
        }
        if (GetPalettePage(Class).empty()) PageIt->Classes.push_back(Class);
    }
}

void RegisterPropertyEditor(const TTypeInfo* PropertyType, TClass ComponentClass, const AnsiString& PropertyName,
                            TPropertyEditorClass EditorClass) {
    if (!PropertyType) throw EPropertyError("A property editor needs a property type");
    Registry().PropertyEditors.push_back({PropertyType, ComponentClass, PropertyName, EditorClass});
}

void RegisterComponentEditor(TClass ComponentClass, TComponentEditorClass EditorClass) {
    if (!ComponentClass || !EditorClass) throw EComponentError("A component editor needs a class and an editor");
    Registry().ComponentEditors.push_back({ComponentClass, EditorClass});
}

std::vector<TPalettePage> GetPalettePages() { return Registry().Pages; }

std::vector<TClass> GetPaletteClasses(const AnsiString& Page) {
    for (const auto& P : Registry().Pages)
        if (SameIdent(P.Name, Page)) return P.Classes;
    return {};
}

AnsiString GetPalettePage(TClass Class) {
    for (const auto& P : Registry().Pages)
        if (std::find(P.Classes.begin(), P.Classes.end(), Class) != P.Classes.end()) return P.Name;
    return {};
}

std::vector<TPropertyEditorRegistration> GetPropertyEditorRegistrations() { return Registry().PropertyEditors; }
std::vector<TComponentEditorRegistration> GetComponentEditorRegistrations() { return Registry().ComponentEditors; }

void ResetDesignRegistrations() {
    TRegistry& R = Registry();
    for (TClass C : R.RegisteredClasses) UnRegisterClass(C);
    R = TRegistry();
}

// ------------------------------------------------------------------- lookup

TPropertyEditorClass GetEditorClass(const TPropInfo* Prop, TClass ObjectClass) {
    const auto& List = Registry().PropertyEditors;
    const TPropertyEditorRegistration* Best = nullptr;
    // Newest first, so that of equally specific registrations the latest stays.
    for (auto It = List.rbegin(); It != List.rend(); ++It) {
        if (!Fits(*It, Prop, ObjectClass)) continue;
        if (!Best || CompareSpecificity(*It, *Best, Prop) > 0) Best = &*It;
    }
    if (Best) return Best->EditorClass;
    if (Prop->Owner == TComponent::StaticClass() && Prop->Name == "Name")
        return PropertyEditorClass<TComponentNameProperty>();
    return DefaultEditorClass(Prop->Type);
}

void GetComponentProperties(const std::vector<TPersistent*>& Components, IDesigner* Designer,
                            const TGetPropEditProc& Proc) {
    if (Components.empty()) return;
    for (TPersistent* C : Components)
        if (!C) throw EPropertyError("Cannot list the properties of a null object");
    const int Count = static_cast<int>(Components.size());
    for (const TPropInfo* Prop : Components[0]->ClassType()->Properties()) {
        if (!Prop->IsWritable() && Prop->Type->Kind != tkClass) continue;
        TPropertyEditorClass EditorClass = GetEditorClass(Prop, Components[0]->ClassType());
        if (!EditorClass) continue;
        std::vector<const TPropInfo*> Props{Prop};
        bool Common = true;
        for (int I = 1; I < Count && Common; ++I) {
            const TPropInfo* Other = Components[static_cast<std::size_t>(I)]->ClassType()->FindProperty(Prop->Name);
            Common = Other && SameType(Other->Type, Prop->Type) &&
                     GetEditorClass(Other, Components[static_cast<std::size_t>(I)]->ClassType()) == EditorClass;
            Props.push_back(Other);
        }
        if (!Common) continue;
        std::unique_ptr<TPropertyEditor> Editor = EditorClass->Create(Designer, Count);
        for (int I = 0; I < Count; ++I)
            Editor->SetPropEntry(I, Components[static_cast<std::size_t>(I)], Props[static_cast<std::size_t>(I)]);
        Editor->Initialize();
        if (Count > 1 && !Editor->GetAttributes().Contains(paMultiSelect)) continue;
        Proc(std::move(Editor));
    }
}

std::vector<std::unique_ptr<TPropertyEditor>> GetPropertyEditors(TPersistent* Component, IDesigner* Designer) {
    std::vector<std::unique_ptr<TPropertyEditor>> Result;
    GetComponentProperties({Component}, Designer,
                           [&](std::unique_ptr<TPropertyEditor> E) { Result.push_back(std::move(E)); });
    return Result;
}

std::vector<std::unique_ptr<TPropertyEditor>> GetSubPropertyEditors(TPropertyEditor* Editor) {
    std::vector<std::unique_ptr<TPropertyEditor>> Result;
    Editor->GetProperties([&](std::unique_ptr<TPropertyEditor> E) { Result.push_back(std::move(E)); });
    return Result;
}

std::unique_ptr<TComponentEditor> GetComponentEditor(TComponent* Component, IDesigner* Designer) {
    if (!Component) throw EComponentError("A component editor needs a component");
    const auto& List = Registry().ComponentEditors;
    const TComponentEditorRegistration* Best = nullptr;
    for (auto It = List.rbegin(); It != List.rend(); ++It) {
        if (!Component->InheritsFrom(It->ComponentClass)) continue;
        if (!Best || ClassDepth(It->ComponentClass) > ClassDepth(Best->ComponentClass)) Best = &*It;
    }
    if (Best) return Best->EditorClass->Create(Component, Designer);
    return std::make_unique<TDefaultEditor>(Component, Designer);
}
