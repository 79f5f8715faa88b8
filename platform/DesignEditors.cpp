#include "platform/DesignEditors.h"

#include <limits>

namespace {

const char* const InvalidPropertyValue = "Invalid property value";

bool ParseBoolean(const AnsiString& Value) {
    if (SameIdent(Value, "True")) return true;
    if (SameIdent(Value, "False")) return false;
    throw EPropertyError(InvalidPropertyValue);
}

AnsiString Trim(const AnsiString& S) {
    const auto First = S.find_first_not_of(" \t");
    if (First == AnsiString::npos) return {};
    return S.substr(First, S.find_last_not_of(" \t") - First + 1);
}

// A decimal number with an optional sign, or hexadecimal after "$" or "0x".
std::int64_t ParseInteger(const AnsiString& Text) {
    const AnsiString S = Trim(Text);
    std::size_t I = 0;
    bool Negative = false;
    if (I < S.size() && (S[I] == '-' || S[I] == '+')) Negative = S[I++] == '-';
    int Base = 10;
    if (I < S.size() && S[I] == '$') {
        Base = 16;
        ++I;
    } else if (I + 1 < S.size() && S[I] == '0' && (S[I + 1] == 'x' || S[I + 1] == 'X')) {
        Base = 16;
        I += 2;
    }
    if (I == S.size()) throw EPropertyError("'%s' is not a valid integer value", {Text});
    std::uint64_t Magnitude = 0;
    const std::uint64_t Limit = Negative ? std::uint64_t(1) << 63 : (std::uint64_t(1) << 63) - 1;
    for (; I < S.size(); ++I) {
        const char C = S[I];
        int Digit;
        if (C >= '0' && C <= '9')
            Digit = C - '0';
        else if (Base == 16 && C >= 'a' && C <= 'f')
            Digit = C - 'a' + 10;
        else if (Base == 16 && C >= 'A' && C <= 'F')
            Digit = C - 'A' + 10;
        else
            throw EPropertyError("'%s' is not a valid integer value", {Text});
        if (Magnitude > (Limit - static_cast<std::uint64_t>(Digit)) / static_cast<std::uint64_t>(Base))
            throw EPropertyError("'%s' is not a valid integer value", {Text});
        Magnitude = Magnitude * static_cast<std::uint64_t>(Base) + static_cast<std::uint64_t>(Digit);
    }
    return Negative ? static_cast<std::int64_t>(0 - Magnitude) : static_cast<std::int64_t>(Magnitude);
}

}  // namespace

// ---------------------------------------------------------------- ordinals

bool TOrdinalProperty::AllEqual() {
    const std::int64_t First = GetInt64ValueAt(0);
    for (int I = 1; I < PropCount(); ++I)
        if (GetInt64ValueAt(I) != First) return false;
    return true;
}

int TOrdinalProperty::GetEditLimit() { return 63; }

TPropertyAttributes TIntegerProperty::GetAttributes() {
    TPropertyAttributes A{paMultiSelect, paRevertable};
    if (!GetPropType()->IntIdents().empty()) A << paValueList;
    return A;
}

AnsiString TIntegerProperty::GetValue() {
    const std::int64_t V = GetInt64Value();
    for (const auto& [Name, Value] : GetPropType()->IntIdents())
        if (Value == V) return Name;
    return std::to_string(V);
}

void TIntegerProperty::GetValues(const TGetStrProc& Proc) {
    for (const auto& Ident : GetPropType()->IntIdents()) Proc(Ident.first);
}

void TIntegerProperty::SetValue(const AnsiString& Value) {
    for (const auto& [Name, V] : GetPropType()->IntIdents())
        if (SameIdent(Name, Trim(Value))) return SetInt64Value(V);
    const std::int64_t V = ParseInteger(Value);
    if (GetPropType()->Kind == tkInteger &&
        (V < std::numeric_limits<std::int32_t>::min() || V > std::numeric_limits<std::int32_t>::max()))
        throw EPropertyError("Value must be between %d and %d",
                             {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()});
    SetInt64Value(V);
}

TPropertyAttributes TEnumProperty::GetAttributes() { return {paMultiSelect, paValueList, paSortList, paRevertable}; }

AnsiString TEnumProperty::GetValue() {
    const std::int64_t V = GetInt64Value();
    AnsiString Name = GetEnumName(GetPropType(), V);
    return Name.empty() ? std::to_string(V) : Name;
}

void TEnumProperty::GetValues(const TGetStrProc& Proc) {
    for (const AnsiString& Name : GetPropType()->Names()) Proc(Name);
}

void TEnumProperty::SetValue(const AnsiString& Value) {
    const std::int64_t V = GetEnumValue(GetPropType(), Trim(Value));
    if (V < 0) throw EPropertyError(InvalidPropertyValue);
    SetInt64Value(V);
}

AnsiString TBoolProperty::GetValue() { return GetInt64Value() != 0 ? "True" : "False"; }

void TBoolProperty::GetValues(const TGetStrProc& Proc) {
    Proc("False");
    Proc("True");
}

void TBoolProperty::SetValue(const AnsiString& Value) { SetInt64Value(ParseBoolean(Trim(Value)) ? 1 : 0); }

// --------------------------------------------------------------------- sets

TPropertyAttributes TSetProperty::GetAttributes() { return {paMultiSelect, paSubProperties, paReadOnly, paRevertable}; }

void TSetProperty::GetProperties(const TGetPropEditProc& Proc) {
    const int Count = static_cast<int>(GetPropType()->Names().size());
    for (int Element = 0; Element < Count; ++Element) {
        auto Editor = std::make_unique<TSetElementProperty>(GetDesigner(), PropCount(), Element);
        for (int I = 0; I < PropCount(); ++I) Editor->SetPropEntry(I, GetComponent(I), GetPropInfoAt(I));
        Editor->Initialize();
        Proc(std::move(Editor));
    }
}

AnsiString TSetProperty::GetValue() {
    const auto Bits = static_cast<std::uint64_t>(GetInt64Value());
    const auto& Names = GetPropType()->Names();
    AnsiString Result = "[";
    for (std::size_t I = 0; I < Names.size(); ++I) {
        if (!((Bits >> I) & 1u)) continue;
        if (Result.size() > 1) Result += ',';
        Result += Names[I];
    }
    return Result + "]";
}

void TSetProperty::SetValue(const AnsiString& Value) { SetInt64Value(StringToSet(GetPropType(), Value)); }

TSetElementProperty::TSetElementProperty(IDesigner* ADesigner, int APropCount, int AElement)
    : TPropertyEditor(ADesigner, APropCount), FElement(AElement) {}

bool TSetElementProperty::Contains(int Index) {
    return (static_cast<std::uint64_t>(GetInt64ValueAt(Index)) >> FElement) & 1u;
}

bool TSetElementProperty::AllEqual() {
    const bool First = Contains(0);
    for (int I = 1; I < PropCount(); ++I)
        if (Contains(I) != First) return false;
    return true;
}

TPropertyAttributes TSetElementProperty::GetAttributes() { return {paMultiSelect, paValueList, paSortList}; }

AnsiString TSetElementProperty::GetName() { return GetEnumName(GetPropType(), FElement); }

AnsiString TSetElementProperty::GetValue() { return Contains(0) ? "True" : "False"; }

void TSetElementProperty::GetValues(const TGetStrProc& Proc) {
    Proc("False");
    Proc("True");
}

void TSetElementProperty::SetValue(const AnsiString& Value) {
    const bool On = ParseBoolean(Trim(Value));
    const std::uint64_t Bit = std::uint64_t(1) << FElement;
    // Each object keeps its other members.
    for (int I = 0; I < PropCount(); ++I) {
        const auto Bits = static_cast<std::uint64_t>(GetInt64ValueAt(I));
        SetOrdProp(GetComponent(I), GetPropInfoAt(I), static_cast<std::int64_t>(On ? Bits | Bit : Bits & ~Bit));
    }
    Modified();
}

// -------------------------------------------------------------------- texts

bool TStringProperty::AllEqual() {
    const AnsiString First = GetStrValueAt(0);
    for (int I = 1; I < PropCount(); ++I)
        if (GetStrValueAt(I) != First) return false;
    return true;
}

TPropertyAttributes TStringProperty::GetAttributes() { return {paMultiSelect, paRevertable}; }

AnsiString TStringProperty::GetValue() { return GetStrValue(); }

void TStringProperty::SetValue(const AnsiString& Value) { SetStrValue(Value); }

TPropertyAttributes TComponentNameProperty::GetAttributes() { return {}; }

int TComponentNameProperty::GetEditLimit() { return 63; }

// ------------------------------------------------------------------ objects

TPropertyAttributes TClassProperty::GetAttributes() { return {paMultiSelect, paSubProperties, paReadOnly}; }

void TClassProperty::GetProperties(const TGetPropEditProc& Proc) {
    std::vector<TPersistent*> Objects;
    for (int I = 0; I < PropCount(); ++I) {
        auto* Object = dynamic_cast<TPersistent*>(GetObjectValueAt(I));
        // No sub-properties while one of the objects has nothing to show.
        if (!Object) return;
        Objects.push_back(Object);
    }
    GetComponentProperties(Objects, GetDesigner(), Proc);
}

AnsiString TClassProperty::GetValue() { return "(" + GetPropType()->Name + ")"; }

TPropertyAttributes TComponentProperty::GetAttributes() {
    return {paMultiSelect, paValueList, paSortList, paRevertable};
}

int TComponentProperty::GetEditLimit() { return 127; }

AnsiString TComponentProperty::GetValue() {
    auto* Component = dynamic_cast<TComponent*>(GetObjectValue());
    if (!Component) return {};
    return GetDesigner() ? GetDesigner()->GetComponentName(Component) : Component->GetName();
}

void TComponentProperty::GetValues(const TGetStrProc& Proc) {
    if (GetDesigner()) GetDesigner()->GetComponentNames(GetPropType()->ClassType(), Proc);
}

void TComponentProperty::SetValue(const AnsiString& Value) {
    const AnsiString Name = Trim(Value);
    if (Name.empty()) return SetObjectValue(nullptr);
    TComponent* Component = GetDesigner() ? GetDesigner()->GetComponent(Name) : nullptr;
    if (!Component || !Component->InheritsFrom(GetPropType()->ClassType())) throw EPropertyError(InvalidPropertyValue);
    SetObjectValue(Component);
}

// ------------------------------------------------------------------- events

bool TMethodProperty::AllEqual() {
    const TMethod First = GetMethodValueAt(0);
    for (int I = 1; I < PropCount(); ++I)
        if (!(GetMethodValueAt(I) == First)) return false;
    return true;
}

void TMethodProperty::Edit() {
    if (GetMethodValue() || !GetDesigner()) return;
    const AnsiString Name = GetFormMethodName();
    if (IsValidIdent(Name) && GetDesigner()->MethodExists(Name, GetPropType())) SetValue(Name);
}

TPropertyAttributes TMethodProperty::GetAttributes() { return {paMultiSelect, paValueList, paSortList, paRevertable}; }

int TMethodProperty::GetEditLimit() { return 63; }

AnsiString TMethodProperty::GetValue() {
    const TMethod M = GetMethodValue();
    if (!M) return {};
    return GetDesigner() ? GetDesigner()->GetMethodName(M) : M.Method->Name();
}

void TMethodProperty::GetValues(const TGetStrProc& Proc) {
    if (GetDesigner()) GetDesigner()->GetMethods(GetPropType(), Proc);
}

void TMethodProperty::SetValue(const AnsiString& Value) {
    const AnsiString Name = Trim(Value);
    if (Name.empty()) return SetMethodValue({});
    if (!IsValidIdent(Name)) throw EPropertyError("'%s' is not a valid identifier", {Name});
    if (!GetDesigner()) throw EPropertyError("Method %s cannot be bound without a designer", {Name});
    SetMethodValue(GetDesigner()->FindMethod(Name, GetPropType()));
}

AnsiString TMethodProperty::GetTrimmedEventName() {
    AnsiString Name = GetName();
    if (Name.size() > 2 && (Name[0] == 'O' || Name[0] == 'o') && (Name[1] == 'n' || Name[1] == 'N')) Name.erase(0, 2);
    return Name;
}

AnsiString TMethodProperty::GetFormMethodName() {
    TPersistent* Instance = GetComponent(0);
    AnsiString Base;
    if (GetDesigner() && Instance == GetDesigner()->GetRoot()) {
        Base = Instance->ClassName();
        if (Base.size() > 1 && Base[0] == 'T') Base.erase(0, 1);
        while (!Base.empty() && Base.back() >= '0' && Base.back() <= '9') Base.pop_back();
    } else if (auto* Component = dynamic_cast<TComponent*>(Instance)) {
        Base = Component->GetName();
    } else {
        for (char C : Instance->GetNamePath())
            if (C != '.') Base += C;
    }
    return Base + GetTrimmedEventName();
}

// ----------------------------------------------------------- TDefaultEditor

TDefaultEditor::TDefaultEditor(TComponent* AComponent, IDesigner* ADesigner) : TComponentEditor(AComponent, ADesigner) {}

TDefaultEditor::~TDefaultEditor() = default;

void TDefaultEditor::Edit() {
    FFirst.reset();
    FBest.reset();
    FBestRank = 0;
    bool Continue = true;
    GetComponentProperties({Component()}, Designer(), [&](std::unique_ptr<TPropertyEditor> Editor) {
        if (!Continue) return;
        bool FreeEditor = true;
        EditProperty(Editor.get(), Continue, FreeEditor);
        // Not to be freed: EditProperty has taken the editor over.
        if (!FreeEditor) (void)Editor.release();
    });
    std::unique_ptr<TPropertyEditor> First = std::move(FFirst), Best = std::move(FBest);
    if (!Continue) return;
    if (Best)
        Best->Edit();
    else if (First)
        First->Edit();
}

void TDefaultEditor::EditProperty(TPropertyEditor* PropertyEditor, bool&, bool& FreeEditor) {
    if (!dynamic_cast<TMethodProperty*>(PropertyEditor)) return;
    const AnsiString Name = PropertyEditor->GetName();
    int Rank = 0;
    if (SameIdent(Name, "OnCreate"))
        Rank = 3;
    else if (SameIdent(Name, "OnChange"))
        Rank = 2;
    else if (SameIdent(Name, "OnClick"))
        Rank = 1;
    if (Rank > FBestRank) {
        FBestRank = Rank;
        FBest.reset(PropertyEditor);
        FreeEditor = false;
    } else if (!FFirst) {
        FFirst.reset(PropertyEditor);
        FreeEditor = false;
    }
}
