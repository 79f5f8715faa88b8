#include "platform/TypInfo.h"

#include <algorithm>

// --------------------------------------------------------------- TObject

TMetaClass::TMetaClass(const char* Name, TClass Parent, const std::type_info& Type, TFactory Factory)
    : FName(Name), FParent(Parent), FType(&Type), FFactory(Factory) {
    // A nested enumeration or class may be named with its scope; the class
    // library knows it by its last name only.
    const auto Colon = FName.rfind("::");
    if (Colon != AnsiString::npos) FName.erase(0, Colon + 2);
}

TMetaClass::~TMetaClass() = default;

bool TMetaClass::InheritsFrom(TClass Other) const {
    for (TClass C = this; C; C = C->FParent)
        if (C == Other) return true;
    return false;
}

TObject* TMetaClass::Create(TComponent* Owner) const {
    if (!FFactory) throw EConvertError("Cannot create an instance of the abstract class " + FName);
    return FFactory(Owner);
}

std::vector<const TPropInfo*> TMetaClass::Properties() const {
    std::vector<const TPropInfo*> Result;
    if (FParent) Result = FParent->Properties();
    for (const auto& P : FProperties) Result.push_back(&P);
    return Result;
}

const TPropInfo* TMetaClass::FindProperty(const AnsiString& Name) const {
    for (TClass C = this; C; C = C->FParent)
        for (const auto& P : C->FProperties)
            if (SameIdent(P.Name, Name)) return &P;
    return nullptr;
}

std::shared_ptr<const TMethodInfo> TMetaClass::FindMethod(const AnsiString& Name) const {
    for (TClass C = this; C; C = C->FParent)
        for (const auto& M : C->FMethods)
            if (SameIdent(M->Name(), Name)) return M;
    return nullptr;
}

const TFieldInfo* TMetaClass::FindField(const AnsiString& Name) const {
    for (TClass C = this; C; C = C->FParent)
        for (const auto& F : C->FFields)
            if (SameIdent(F.Name, Name)) return &F;
    return nullptr;
}

TObject::~TObject() = default;

TClass TObject::StaticClass() {
    static const TMetaClass Meta("TObject", nullptr, typeid(TObject), nullptr);
    return &Meta;
}

// ------------------------------------------------------------- TTypeInfo

TTypeInfo TTypeInfo::Ordinal(TTypeKind Kind, AnsiString Name, std::vector<AnsiString> Names) {
    TTypeInfo T;
    T.Kind = Kind;
    T.Name = std::move(Name);
    T.FNames = std::move(Names);
    return T;
}

TTypeInfo TTypeInfo::Enumeration(const char* TypeName, const char* Identifiers) {
    std::vector<AnsiString> Names;
    AnsiString Current;
    for (const char* P = Identifiers;; ++P) {
        if (*P == ',' || *P == '\0') {
            Names.push_back(Current);
            Current.clear();
            if (*P == '\0') break;
        } else if (*P != ' ' && *P != '\t' && *P != '\n') {
            Current += *P;
        }
    }
    if (Names.size() > 64) throw EPropertyError(AnsiString("Enumeration ") + TypeName + " has more than 64 members");
    TTypeInfo T = Ordinal(tkEnumeration, TypeName, std::move(Names));
    const auto Colon = T.Name.rfind("::");
    if (Colon != AnsiString::npos) T.Name.erase(0, Colon + 2);
    return T;
}

TTypeInfo TTypeInfo::Integer(AnsiString Name, std::vector<std::pair<AnsiString, std::int64_t>> Idents) {
    TTypeInfo T = Ordinal(tkInteger, std::move(Name));
    T.FIntIdents = std::move(Idents);
    return T;
}

TTypeInfo TTypeInfo::Class(TClass (*Class)(), const char* Name) {
    // The metaclass is not asked for here: a class may publish a property
    // of its own type while its metaclass is being built.
    TTypeInfo T;
    T.Kind = tkClass;
    T.FClass = Class;
    T.Name = Name;
    const auto Colon = T.Name.rfind("::");
    if (Colon != AnsiString::npos) T.Name.erase(0, Colon + 2);
    return T;
}

TTypeInfo TTypeInfo::Method(AnsiString Name, const std::type_info& Signature) {
    TTypeInfo T = Ordinal(tkMethod, std::move(Name));
    T.FSignature = &Signature;
    return T;
}

const TTypeInfo* BooleanTypeInfo() {
    static const TTypeInfo Info = TTypeInfo::Ordinal(tkEnumeration, "Boolean", {"False", "True"});
    return &Info;
}
const TTypeInfo* IntegerTypeInfo() {
    static const TTypeInfo Info = TTypeInfo::Ordinal(tkInteger, "Integer");
    return &Info;
}
const TTypeInfo* Int64TypeInfo() {
    static const TTypeInfo Info = TTypeInfo::Ordinal(tkInt64, "Int64");
    return &Info;
}
const TTypeInfo* StringTypeInfo() {
    static const TTypeInfo Info = TTypeInfo::Ordinal(tkString, "AnsiString");
    return &Info;
}

AnsiString GetEnumName(const TTypeInfo* Type, std::int64_t Value) {
    const auto& Names = Type->Names();
    if (Value < 0 || Value >= static_cast<std::int64_t>(Names.size())) return {};
    return Names[static_cast<std::size_t>(Value)];
}

std::int64_t GetEnumValue(const TTypeInfo* Type, const AnsiString& Name) {
    const auto& Names = Type->Names();
    for (std::size_t I = 0; I < Names.size(); ++I)
        if (SameIdent(Names[I], Name)) return static_cast<std::int64_t>(I);
    return -1;
}

std::shared_ptr<const TMethodInfo> FindPublishedMethod(TObject* Data, const std::function<bool(const TMethodInfo&)>& Is,
                                                       const char* What) {
    if (!Data) throw EPropertyError(AnsiString(What) + " of a null object");
    for (TClass C = Data->ClassType(); C; C = C->ClassParent())
        for (const auto& M : C->OwnMethods())
            if (Is(*M)) return M;
    throw EPropertyError(AnsiString(What) + " is not a published method of " + Data->ClassName());
}

void Detail::InvalidPropValue(const AnsiString& Name) { throw EPropertyError("Invalid value for property " + Name); }

void Detail::PropValueOutOfRange(const AnsiString& Name, std::int64_t Value) {
    throw EPropertyError("Value %d is out of range for property %s", {Value, Name});
}

// ------------------------------------------------------- access by name

bool SameIdent(const AnsiString& A, const AnsiString& B) { return SameText(A, B); }

bool IsValidIdent(const AnsiString& Ident) {
    if (Ident.empty()) return false;
    auto Alpha = [](char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_'; };
    if (!Alpha(Ident[0])) return false;
    return std::all_of(Ident.begin(), Ident.end(), [&](char C) { return Alpha(C) || (C >= '0' && C <= '9'); });
}

const TPropInfo* GetPropInfo(const TObject* Instance, const AnsiString& Name) {
    return Instance ? Instance->ClassType()->FindProperty(Name) : nullptr;
}

std::vector<const TPropInfo*> GetPropList(TClass Class) { return Class->Properties(); }

namespace {

template <class T>
T GetAs(TObject* Instance, const TPropInfo* Prop) {
    TPropValue V = Prop->Get(Instance);
    if (auto* X = std::get_if<T>(&V)) return *X;
    throw EPropertyError("Property " + Prop->Name + " is of type " + Prop->Type->Name);
}

void SetValue(TObject* Instance, const TPropInfo* Prop, const TPropValue& Value) {
    if (!Prop->IsWritable()) throw EPropertyError("Property " + Prop->Name + " is read-only");
    Prop->Set(Instance, Value);
}

bool IsOrdinal(const TTypeInfo* T) { return T->Kind == tkInteger || T->Kind == tkInt64 || T->Kind == tkEnumeration || T->Kind == tkSet; }

}  // namespace

std::int64_t GetOrdProp(TObject* Instance, const TPropInfo* Prop) { return GetAs<std::int64_t>(Instance, Prop); }
void SetOrdProp(TObject* Instance, const TPropInfo* Prop, std::int64_t Value) {
    if (!IsOrdinal(Prop->Type)) throw EPropertyError("Property " + Prop->Name + " is not ordinal");
    SetValue(Instance, Prop, Value);
}
AnsiString GetStrProp(TObject* Instance, const TPropInfo* Prop) { return GetAs<AnsiString>(Instance, Prop); }
void SetStrProp(TObject* Instance, const TPropInfo* Prop, const AnsiString& Value) {
    if (Prop->Type->Kind != tkString) throw EPropertyError("Property " + Prop->Name + " is not a string");
    SetValue(Instance, Prop, Value);
}
TObject* GetObjectProp(TObject* Instance, const TPropInfo* Prop) { return GetAs<TObject*>(Instance, Prop); }
void SetObjectProp(TObject* Instance, const TPropInfo* Prop, TObject* Value) {
    if (Prop->Type->Kind != tkClass) throw EPropertyError("Property " + Prop->Name + " is not an object");
    if (Value && !Value->InheritsFrom(Prop->Type->ClassType()))
        throw EPropertyError("Invalid value for property " + Prop->Name + ": a " + Value->ClassName() + " is no " +
                             Prop->Type->Name);
    SetValue(Instance, Prop, Value);
}
TMethod GetMethodProp(TObject* Instance, const TPropInfo* Prop) { return GetAs<TMethod>(Instance, Prop); }
void SetMethodProp(TObject* Instance, const TPropInfo* Prop, const TMethod& Value) {
    if (Prop->Type->Kind != tkMethod) throw EPropertyError("Property " + Prop->Name + " is not an event");
    if (Value.Method && Value.Method->Signature() != *Prop->Type->Signature())
        throw EPropertyError("Method " + Value.Method->Name() + " does not fit event " + Prop->Name);
    SetValue(Instance, Prop, Value);
}

AnsiString SetToString(const TTypeInfo* Type, std::int64_t Value) {
    AnsiString Result = "[";
    const auto Bits = static_cast<std::uint64_t>(Value);
    for (std::size_t I = 0; I < Type->Names().size(); ++I) {
        if (!((Bits >> I) & 1u)) continue;
        if (Result.size() > 1) Result += ", ";
        Result += Type->Names()[I];
    }
    return Result + "]";
}

std::int64_t StringToSet(const TTypeInfo* Type, const AnsiString& Value) {
    AnsiString Text = Value;
    if (!Text.empty() && Text.front() == '[') Text.erase(0, 1);
    if (!Text.empty() && Text.back() == ']') Text.pop_back();
    std::uint64_t Bits = 0;
    std::size_t Start = 0;
    while (Start <= Text.size()) {
        std::size_t End = Text.find(',', Start);
        if (End == AnsiString::npos) End = Text.size();
        AnsiString Name = Text.substr(Start, End - Start);
        Name.erase(0, Name.find_first_not_of(" \t"));
        Name.erase(Name.find_last_not_of(" \t") + 1);
        if (!Name.empty()) {
            const auto V = GetEnumValue(Type, Name);
            if (V < 0) throw EPropertyError("Invalid set element " + Name);
            Bits |= std::uint64_t(1) << V;
        }
        Start = End + 1;
    }
    return static_cast<std::int64_t>(Bits);
}

AnsiString GetPropValueText(TObject* Instance, const TPropInfo* Prop) {
    const TTypeInfo* T = Prop->Type;
    switch (T->Kind) {
        case tkInteger: {
            const auto V = GetOrdProp(Instance, Prop);
            for (const auto& [Name, Value] : T->IntIdents())
                if (Value == V) return Name;
            return std::to_string(V);
        }
        case tkInt64: return std::to_string(GetOrdProp(Instance, Prop));
        case tkEnumeration: return GetEnumName(T, GetOrdProp(Instance, Prop));
        case tkSet: return SetToString(T, GetOrdProp(Instance, Prop));
        case tkString: return GetStrProp(Instance, Prop);
        case tkClass: {
            TObject* O = GetObjectProp(Instance, Prop);
            if (!O) return {};
            // A component is shown by its name, a sub-object by its class.
            if (const TPropInfo* Name = O->ClassType()->FindProperty("Name"); Name && O->ClassType() != nullptr) {
                auto V = Name->Get(O);
                if (auto* S = std::get_if<AnsiString>(&V); S && !S->empty()) return *S;
            }
            return "(" + O->ClassName() + ")";
        }
        case tkMethod: {
            const TMethod M = GetMethodProp(Instance, Prop);
            return M ? M.Method->Name() : AnsiString();
        }
    }
    return {};
}

void SetPropValueText(TObject* Instance, const TPropInfo* Prop, const AnsiString& Value) {
    const TTypeInfo* T = Prop->Type;
    switch (T->Kind) {
        case tkInteger:
        case tkInt64: {
            for (const auto& [Name, V] : T->IntIdents())
                if (SameIdent(Name, Value)) return SetOrdProp(Instance, Prop, V);
            try {
                std::size_t Used = 0;
                const long long V = std::stoll(Value, &Used, 0);
                if (Used != Value.size()) throw std::invalid_argument(Value);
                if (T->Kind == tkInteger && (V < INT32_MIN || V > INT32_MAX)) throw std::out_of_range(Value);
                return SetOrdProp(Instance, Prop, V);
            } catch (const std::logic_error&) {
                throw EPropertyError("'" + Value + "' is not a valid integer value");
            }
        }
        case tkEnumeration: {
            const auto V = GetEnumValue(T, Value);
            if (V < 0) throw EPropertyError("Invalid property value " + Value);
            return SetOrdProp(Instance, Prop, V);
        }
        case tkSet: return SetOrdProp(Instance, Prop, StringToSet(T, Value));
        case tkString: return SetStrProp(Instance, Prop, Value);
        default: throw EPropertyError("Property " + Prop->Name + " cannot be set from text");
    }
}

bool IsPropDefault(TObject* Instance, const TPropInfo* Prop) {
    if (!Prop->IsStored(Instance)) return true;
    switch (Prop->Type->Kind) {
        case tkInteger:
        case tkInt64:
        case tkEnumeration:
        case tkSet: return Prop->Default && *Prop->Default == GetOrdProp(Instance, Prop);
        case tkString: return GetStrProp(Instance, Prop).empty();
        case tkClass: return GetObjectProp(Instance, Prop) == nullptr;
        case tkMethod: {
            const TMethod M = GetMethodProp(Instance, Prop);
            return !M || M.Method->Name().empty();
        }
    }
    return false;
}
