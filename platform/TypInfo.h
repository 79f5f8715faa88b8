// Run-time type information of published members: the one registry that the
// form reader and writer, a designer and an object inspector all read.
//
// A class publishes its members in its Publish function (see Object.h):
//
//     void TTypecask::Publish(TPublisher<TTypecask>& P) {
//         P.Property("About", &TTypecask::FAboutInfo, &TTypecask::SetAbout);
//         P.Property("InstallPermanently", &TTypecask::FPermanent, &TTypecask::SetInstallPermanently).Default(true);
//         P.Property("TypecaskName", &TTypecask::FFontName, &TTypecask::SetTypecaskName);
//     }
//     P.IndexedProperty("CompanyName", 0, &TVersionInfo::GetVersionField, &TVersionInfo::SetVersionField).Stored(false);
//     P.Property("OnClick", &TListBox::FOnClick, &TListBox::SetOnClick);   // a TNotifyEvent
//     P.Method("ListBoxTTFontsClick", &TFormTypecaskEditor::ListBoxTTFontsClick);
//     P.Field("ListBoxTTFonts", &TFormTypecaskEditor::ListBoxTTFonts);
//
// A reader is a field pointer or a const getter; a writer is a field pointer,
// a setter taking the value (by value or const reference; a virtual setter is
// called virtually) or nothing for a read-only property.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

#include "platform/Object.h"
#include "platform/SysUtils.h"

// A property name or value does not fit the property.
class EPropertyError : public Exception {
public:
    using Exception::Exception;
};

enum class TTypeKind { tkInteger, tkInt64, tkEnumeration, tkSet, tkString, tkClass, tkMethod };
using enum TTypeKind;

// The type of a published property.
class TTypeInfo {
public:
    TTypeKind Kind;
    AnsiString Name;  // "Integer", "Boolean", "AnsiString", "TBitBtnKind", "TVersionInfo", "TNotifyEvent", ...

    // tkEnumeration: identifiers by ordinal. tkSet: those of the element type.
    const std::vector<AnsiString>& Names() const { return FNames; }
    // tkInteger: identifiers that stand for particular values (colours).
    const std::vector<std::pair<AnsiString, std::int64_t>>& IntIdents() const { return FIntIdents; }
    // tkClass: the class of the property (resolved on first use).
    TClass ClassType() const { return FClass ? FClass() : nullptr; }
    // tkMethod: the signature of the handlers, typeid(void(Args...)).
    const std::type_info* Signature() const { return FSignature; }

    static TTypeInfo Ordinal(TTypeKind Kind, AnsiString Name, std::vector<AnsiString> Names = {});
    // Identifiers separated by commas, as the enumeration declares them.
    static TTypeInfo Enumeration(const char* TypeName, const char* Identifiers);
    static TTypeInfo Integer(AnsiString Name, std::vector<std::pair<AnsiString, std::int64_t>> Idents);
    static TTypeInfo Class(TClass (*Class)(), const char* Name);
    static TTypeInfo Method(AnsiString Name, const std::type_info& Signature);

private:
    std::vector<AnsiString> FNames;
    std::vector<std::pair<AnsiString, std::int64_t>> FIntIdents;
    TClass (*FClass)() = nullptr;
    const std::type_info* FSignature = nullptr;
};

// The identifier of an ordinal (empty when out of range) and back (-1 when
// unknown; letter case ignored).
AnsiString GetEnumName(const TTypeInfo* Type, std::int64_t Value);
std::int64_t GetEnumValue(const TTypeInfo* Type, const AnsiString& Name);

// ------------------------------------------------------------------ sets

// A set of up to 64 members of an enumeration, as the class library's
// Set<>: Contains, << to include, >> to exclude.
template <class E>
class TSet {
public:
    using TElement = E;
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> Items) {
        for (E Item : Items) *this << Item;
    }
    static constexpr TSet FromInt(std::uint64_t Bits) {
        TSet S;
        S.FBits = Bits;
        return S;
    }
    constexpr std::uint64_t ToInt() const { return FBits; }
    constexpr bool Contains(E Item) const { return (FBits >> Bit(Item)) & 1u; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr TSet& operator<<(E Item) {
        FBits |= std::uint64_t(1) << Bit(Item);
        return *this;
    }
    constexpr TSet& operator>>(E Item) {
        FBits &= ~(std::uint64_t(1) << Bit(Item));
        return *this;
    }
    constexpr TSet operator+(TSet Other) const { return FromInt(FBits | Other.FBits); }
    constexpr TSet operator-(TSet Other) const { return FromInt(FBits & ~Other.FBits); }
    constexpr TSet operator*(TSet Other) const { return FromInt(FBits & Other.FBits); }
    constexpr bool operator==(const TSet&) const = default;

private:
    static constexpr unsigned Bit(E Item) { return static_cast<unsigned>(Item) & 63u; }
    std::uint64_t FBits = 0;
};

// -------------------------------------------------------- methods, events

// A published method: its name, its signature and a way to call it on an
// object of its class.
class TMethodInfo {
public:
    template <class C, class... Args>
    TMethodInfo(AnsiString Name, void (C::*Method)(Args...))
        : FName(std::move(Name)),
          FSignature(&typeid(void(Args...))),
          FInvoker(std::make_shared<std::function<void(TObject*, Args...)>>(
              [Method](TObject* Data, Args... A) { (static_cast<C*>(Data)->*Method)(std::forward<Args>(A)...); })),
          FPointer(std::make_shared<decltype(Method)>(Method)),
          FPointerType(&typeid(decltype(Method))) {}
    // A handler that is no published method (a lambda); it has no name.
    template <class... Args>
    explicit TMethodInfo(std::function<void(Args...)> Handler)
        : FSignature(&typeid(void(Args...))),
          FInvoker(std::make_shared<std::function<void(TObject*, Args...)>>(
              [H = std::move(Handler)](TObject*, Args... A) { H(std::forward<Args>(A)...); })) {}

    const AnsiString& Name() const { return FName; }
    const std::type_info& Signature() const { return *FSignature; }

    template <class... Args>
    void Invoke(TObject* Data, Args&&... A) const {
        (*static_cast<const std::function<void(TObject*, std::decay_t<Args>...)>*>(FInvoker.get()))(
            Data, std::forward<Args>(A)...);
    }
    // Calls the method as a handler of signature void(Params...): reference
    // parameters stay references, so a handler can set a var parameter.
    template <class... Params, class... Args>
    void InvokeAs(TObject* Data, Args&&... A) const {
        (*static_cast<const std::function<void(TObject*, Params...)>*>(FInvoker.get()))(Data,
                                                                                      std::forward<Args>(A)...);
    }
    // True when this is the published method Method.
    template <class P>
    bool Is(P Method) const {
        return FPointerType && *FPointerType == typeid(P) && *static_cast<const P*>(FPointer.get()) == Method;
    }

private:
    AnsiString FName;
    const std::type_info* FSignature;
    std::shared_ptr<const void> FInvoker;
    std::shared_ptr<const void> FPointer;
    const std::type_info* FPointerType = nullptr;
};

// An event value: an object and one of its methods (the class library's
// method pointer), or nothing.
struct TMethod {
    TObject* Data = nullptr;
    std::shared_ptr<const TMethodInfo> Method;
    explicit operator bool() const { return Method != nullptr; }
    bool operator==(const TMethod& Other) const { return Data == Other.Data && Method == Other.Method; }
};

// Finds the published method Method of Data's class; raises EPropertyError
// when it is not published.
std::shared_ptr<const TMethodInfo> FindPublishedMethod(TObject* Data, const std::function<bool(const TMethodInfo&)>& Is,
                                                       const char* What);

class TEventBase {};

// An event property type. Declare each event type once:
//     struct TNotifyEvent : TEvent<TObject* /*Sender*/> {
//         using TEvent::TEvent;
//         static const char* TypeName() { return "TNotifyEvent"; }
//     };
// and bind it to a published method of an object:
//     ListBox->OnClick = TNotifyEvent(Form, &TForm1::ListBoxClick);
// The form reader binds "OnClick = ListBoxClick" by name the same way.
template <class... Args>
class TEvent : public TEventBase {
public:
    using TSignature = void(Args...);
    TEvent() = default;
    TEvent(std::nullptr_t) {}
    explicit TEvent(TMethod Method) : FMethod(std::move(Method)) {}
    template <class C>
    TEvent(C* Data, void (C::*Method)(Args...))
        : FMethod{Data, FindPublishedMethod(
                            Data, [Method](const TMethodInfo& M) { return M.Is(Method); }, "Method")} {}
    // A handler that is no published method; it is not written to form data.
    explicit TEvent(std::function<void(Args...)> Handler)
        : FMethod{nullptr, std::make_shared<const TMethodInfo>(std::move(Handler))} {}

    explicit operator bool() const { return static_cast<bool>(FMethod); }
    void operator()(Args... A) const {
        if (FMethod) FMethod.Method->template InvokeAs<Args...>(FMethod.Data, std::forward<Args>(A)...);
    }
    const TMethod& Method() const { return FMethod; }
    TObject* Data() const { return FMethod.Data; }
    AnsiString MethodName() const { return FMethod ? FMethod.Method->Name() : AnsiString(); }
    bool operator==(const TEvent& Other) const { return FMethod == Other.FMethod; }

private:
    TMethod FMethod;
};

struct TNotifyEvent : TEvent<TObject*> {
    using TEvent::TEvent;
    static const char* TypeName() { return "TNotifyEvent"; }
};

// ------------------------------------------------------------ type lookup

const TTypeInfo* BooleanTypeInfo();
const TTypeInfo* IntegerTypeInfo();
const TTypeInfo* Int64TypeInfo();
const TTypeInfo* StringTypeInfo();

template <class T>
struct IsTSet : std::false_type {};
template <class E>
struct IsTSet<TSet<E>> : std::true_type {};

template <class T>
const TTypeInfo* TypeInfoOf();

namespace Detail {
template <class E>
const TTypeInfo* SetTypeInfo() {
    static const TTypeInfo Info = [] {
        const TTypeInfo* Element = TypeInfoOf<E>();
        return TTypeInfo::Ordinal(tkSet, "set of " + Element->Name, Element->Names());
    }();
    return &Info;
}
template <class C>
const TTypeInfo* ClassTypeInfo() {
    static const TTypeInfo Info = TTypeInfo::Class(&C::StaticClass, C::StaticClassName());
    return &Info;
}
template <class T>
const TTypeInfo* EventTypeInfo() {
    static const TTypeInfo Info = TTypeInfo::Method(T::TypeName(), typeid(typename T::TSignature));
    return &Info;
}
}  // namespace Detail

// The type information of T: bool, integers, enumerations declared with
// TYPECASK_ENUM or TYPECASK_INTEGER_TYPE, TSet of such an enumeration,
// AnsiString, pointers to classes of the model, and event types.
template <class T>
const TTypeInfo* TypeInfoOf() {
    if constexpr (std::is_same_v<T, bool>)
        return BooleanTypeInfo();
    else if constexpr (std::is_enum_v<T>)
        return TypeInfoFor(static_cast<T*>(nullptr));
    else if constexpr (std::is_integral_v<T>)
        return sizeof(T) < 8 ? IntegerTypeInfo() : Int64TypeInfo();
    else if constexpr (std::is_same_v<T, AnsiString>)
        return StringTypeInfo();
    else if constexpr (IsTSet<T>::value)
        return Detail::SetTypeInfo<typename T::TElement>();
    else if constexpr (std::is_pointer_v<T> && std::is_base_of_v<TObject, std::remove_pointer_t<T>>)
        return Detail::ClassTypeInfo<std::remove_pointer_t<T>>();
    else if constexpr (std::is_base_of_v<TEventBase, T>)
        return Detail::EventTypeInfo<T>();
    else
        static_assert(sizeof(T) == 0, "type cannot be published");
}

// Declares an enumeration's identifiers for publishing (at namespace scope;
// the values must run 0, 1, 2, ...):  TYPECASK_ENUM(TBitBtnKind, bkCustom, bkOK, bkCancel)
#define TYPECASK_ENUM(Type, ...)                                                  \
    inline const TTypeInfo* TypeInfoFor(Type*) {                                 \
        static const TTypeInfo Info = TTypeInfo::Enumeration(#Type, #__VA_ARGS__); \
        return &Info;                                                            \
    }

// Declares an integer-like enumeration type (enum TColor : std::int32_t {})
// with identifiers for some of its values: TYPECASK_INTEGER_TYPE(TColor, {"clBlack", 0}, ...)
#define TYPECASK_INTEGER_TYPE(Type, ...)                                        \
    inline const TTypeInfo* TypeInfoFor(Type*) {                               \
        static const TTypeInfo Info = TTypeInfo::Integer(#Type, {__VA_ARGS__}); \
        return &Info;                                                          \
    }

// ------------------------------------------------------------- properties

// A property value: ordinals (integers, enumerations, booleans, sets as bit
// masks), texts, objects and events.
using TPropValue = std::variant<std::int64_t, AnsiString, TObject*, TMethod>;

inline constexpr int NoIndex = -2147483647 - 1;

struct TPropInfo {
    AnsiString Name;
    const TTypeInfo* Type = nullptr;
    TClass Owner = nullptr;                   // the class that publishes the property
    int Index = NoIndex;                      // the index given to indexed accessors
    std::optional<std::int64_t> Default;      // ordinal default; a value equal to it is not written
    std::function<TPropValue(TObject*)> Get;  // never empty
    std::function<void(TObject*, const TPropValue&)> Set;  // empty for a read-only property
    std::function<bool(TObject*)> Stored;                  // empty: always stored

    bool IsWritable() const { return static_cast<bool>(Set); }
    bool IsStored(TObject* Instance) const { return !Stored || Stored(Instance); }
};

struct TFieldInfo {
    AnsiString Name;
    TClass Class;  // the class of the field's pointer
    std::function<void(TObject* Instance, TObject* Value)> Set;
};

namespace Detail {

template <class V>
TPropValue ToPropValue(const V& Value) {
    if constexpr (std::is_same_v<V, bool> || std::is_integral_v<V> || std::is_enum_v<V>)
        return static_cast<std::int64_t>(Value);
    else if constexpr (IsTSet<V>::value)
        return static_cast<std::int64_t>(Value.ToInt());
    else if constexpr (std::is_same_v<V, AnsiString>)
        return Value;
    else if constexpr (std::is_pointer_v<V>)
        return static_cast<TObject*>(Value);
    else
        return Value.Method();
}

[[noreturn]] void InvalidPropValue(const AnsiString& Name);
[[noreturn]] void PropValueOutOfRange(const AnsiString& Name, std::int64_t Value);

// The ordinal Value as V, refused when V cannot hold it: a property's field
// may be narrower than the 64 bits a value travels in (std::intptr_t is 32
// bits wide in a 32-bit build), and a value cut to fit would be another one.
template <class V>
V OrdinalAs(std::int64_t Value, const AnsiString& Name) {
    using TStorage = typename std::conditional_t<std::is_enum_v<V>, std::underlying_type<V>,
                                                 std::type_identity<V>>::type;
    if (!std::in_range<TStorage>(Value)) PropValueOutOfRange(Name, Value);
    return static_cast<V>(Value);
}

template <class V>
V FromPropValue(const TPropValue& Value, const AnsiString& Name) {
    if constexpr (std::is_same_v<V, bool>) {
        if (auto* I = std::get_if<std::int64_t>(&Value)) return *I != 0;
    } else if constexpr (std::is_integral_v<V> || std::is_enum_v<V>) {
        if (auto* I = std::get_if<std::int64_t>(&Value)) return OrdinalAs<V>(*I, Name);
    } else if constexpr (IsTSet<V>::value) {
        if (auto* I = std::get_if<std::int64_t>(&Value)) return V::FromInt(static_cast<std::uint64_t>(*I));
    } else if constexpr (std::is_same_v<V, AnsiString>) {
        if (auto* S = std::get_if<AnsiString>(&Value)) return *S;
    } else if constexpr (std::is_pointer_v<V>) {
        if (auto* O = std::get_if<TObject*>(&Value)) {
            if (!*O) return nullptr;
            if (auto* Typed = dynamic_cast<V>(*O)) return Typed;
        }
    } else {
        if (auto* M = std::get_if<TMethod>(&Value)) {
            if (!M->Method || M->Method->Signature() == typeid(typename V::TSignature)) return V(*M);
        }
    }
    InvalidPropValue(Name);
}

template <class T>
struct MemberValue;
template <class C, class V>
struct MemberValue<V C::*> {
    using Type = V;
};
template <class C, class V>
struct MemberValue<V (C::*)() const> {
    using Type = std::remove_cvref_t<V>;
};
template <class C, class V>
struct MemberValue<V (C::*)()> {
    using Type = std::remove_cvref_t<V>;
};

}  // namespace Detail

// Returned by TPublisher::Property to add the default and storage rules.
class TPropBuilder {
public:
    explicit TPropBuilder(TPropInfo& Info) : FInfo(Info) {}
    // A value equal to Value is not written (ordinal properties).
    template <class V>
    TPropBuilder& Default(V Value) {
        FInfo.Default = std::get<std::int64_t>(Detail::ToPropValue(Value));
        return *this;
    }
    TPropBuilder& Stored(bool Value) {
        if (Value)
            FInfo.Stored = nullptr;
        else
            FInfo.Stored = [](TObject*) { return false; };
        return *this;
    }
    template <class C>
    TPropBuilder& Stored(bool (C::*Predicate)() const) {
        FInfo.Stored = [Predicate](TObject* Instance) { return (static_cast<C*>(Instance)->*Predicate)(); };
        return *this;
    }

private:
    TPropInfo& FInfo;
};

template <class C>
class TPublisher {
public:
    explicit TPublisher(TMetaClass& Meta) : FMeta(Meta) {}

    static TMetaClass& Build(const char* Name, TClass Parent) {
        static TMetaClass Meta(Name, Parent, typeid(C), Detail::FactoryOf<C>());
        TPublisher P(Meta);
        C::Publish(P);
        return Meta;
    }

    // A property read through Read and written through Write.
    template <class R, class W>
    TPropBuilder Property(const char* Name, R Read, W Write) {
        using V = typename Detail::MemberValue<R>::Type;
        TPropInfo& Info = Add(Name, TypeInfoOf<V>());
        Info.Get = Getter<V>(Read);
        Info.Set = Setter<V>(Write, Info.Name);
        return TPropBuilder(Info);
    }
    // A read-only property (a sub-object such as TStrings that is changed
    // through its own properties, or a value that is never set).
    template <class R>
    TPropBuilder Property(const char* Name, R Read) {
        using V = typename Detail::MemberValue<R>::Type;
        TPropInfo& Info = Add(Name, TypeInfoOf<V>());
        Info.Get = Getter<V>(Read);
        return TPropBuilder(Info);
    }
    // An indexed property: Read(Index) and Write(Index, Value). Read may be
    // const or not.
    template <class R, class S>
    TPropBuilder IndexedProperty(const char* Name, int Index, R Read, S Write) {
        using T = std::remove_cvref_t<decltype((std::declval<C*>()->*Read)(0))>;
        TPropInfo& Info = Add(Name, TypeInfoOf<T>());
        Info.Index = Index;
        Info.Get = [Read, Index](TObject* O) { return Detail::ToPropValue<T>((static_cast<C*>(O)->*Read)(Index)); };
        Info.Set = [Write, Index, PropName = Info.Name](TObject* O, const TPropValue& Value) {
            (static_cast<C*>(O)->*Write)(Index, Detail::FromPropValue<T>(Value, PropName));
        };
        return TPropBuilder(Info);
    }
    // A method that events can be bound to by name.
    template <class... Args>
    void Method(const char* Name, void (C::*Handler)(Args...)) {
        FMeta.FMethods.push_back(std::make_shared<const TMethodInfo>(Name, Handler));
    }
    // A component field that the form reader fills with the owned component
    // of the same name.
    template <class F>
    void Field(const char* Name, F* C::*Member) {
        static_assert(std::is_base_of_v<TObject, F>);
        FMeta.FFields.push_back({Name, F::StaticClass(), [Member](TObject* Instance, TObject* Value) {
                                     static_cast<C*>(Instance)->*Member = dynamic_cast<F*>(Value);
                                 }});
    }

private:
    TPropInfo& Add(const char* Name, const TTypeInfo* Type) {
        TPropInfo Info;
        Info.Name = Name;
        Info.Type = Type;
        Info.Owner = &FMeta;
        FMeta.FProperties.push_back(std::move(Info));
        return FMeta.FProperties.back();
    }
    template <class V, class R>
    static std::function<TPropValue(TObject*)> Getter(R Read) {
        if constexpr (std::is_member_object_pointer_v<R>)
            return [Read](TObject* O) { return Detail::ToPropValue<V>(static_cast<C*>(O)->*Read); };
        else
            return [Read](TObject* O) { return Detail::ToPropValue<V>((static_cast<C*>(O)->*Read)()); };
    }
    template <class V, class W>
    static std::function<void(TObject*, const TPropValue&)> Setter(W Write, const AnsiString& PropName) {
        if constexpr (std::is_member_object_pointer_v<W>)
            return [Write, PropName](TObject* O, const TPropValue& Value) {
                static_cast<C*>(O)->*Write = Detail::FromPropValue<V>(Value, PropName);
            };
        else
            return [Write, PropName](TObject* O, const TPropValue& Value) {
                (static_cast<C*>(O)->*Write)(Detail::FromPropValue<V>(Value, PropName));
            };
    }

    TMetaClass& FMeta;
};

// ------------------------------------------- access by name, as TypInfo does

// The published property Name of Instance's class (letter case ignored);
// nullptr when there is none.
const TPropInfo* GetPropInfo(const TObject* Instance, const AnsiString& Name);
// All published properties of Class, ancestors first.
std::vector<const TPropInfo*> GetPropList(TClass Class);

std::int64_t GetOrdProp(TObject* Instance, const TPropInfo* Prop);
void SetOrdProp(TObject* Instance, const TPropInfo* Prop, std::int64_t Value);
AnsiString GetStrProp(TObject* Instance, const TPropInfo* Prop);
void SetStrProp(TObject* Instance, const TPropInfo* Prop, const AnsiString& Value);
TObject* GetObjectProp(TObject* Instance, const TPropInfo* Prop);
void SetObjectProp(TObject* Instance, const TPropInfo* Prop, TObject* Value);
TMethod GetMethodProp(TObject* Instance, const TPropInfo* Prop);
void SetMethodProp(TObject* Instance, const TPropInfo* Prop, const TMethod& Value);

// A set value as "[a, b]" and back (raises EPropertyError for an unknown name).
AnsiString SetToString(const TTypeInfo* Type, std::int64_t Value);
std::int64_t StringToSet(const TTypeInfo* Type, const AnsiString& Value);

// The value as an object inspector shows it: numbers, identifiers, sets,
// texts as they are, "(TClassName)" for a sub-object, a component's name,
// an event's method name.
AnsiString GetPropValueText(TObject* Instance, const TPropInfo* Prop);
// Sets an ordinal, enumeration, set or text property from its text form
// (as typed into an object inspector). Raises EPropertyError for a bad value.
void SetPropValueText(TObject* Instance, const TPropInfo* Prop, const AnsiString& Value);
// True when the value would be written to form data: stored, and different
// from the default (ordinals), non-empty (texts), assigned (events).
bool IsPropDefault(TObject* Instance, const TPropInfo* Prop);

// Letter-case-insensitive comparison of identifiers (ASCII letters).
bool SameIdent(const AnsiString& A, const AnsiString& B);
// A valid identifier: a letter or "_" first, then letters, digits, "_".
bool IsValidIdent(const AnsiString& Ident);
