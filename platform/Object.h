// The root of the class library's object model: TObject with its metaclass.
//
// Every class of the model names itself and its parent with TYPECASK_CLASS in
// its declaration and defines its published members once in a .cpp file:
//
//     class TFoo : public TComponent {
//         TYPECASK_CLASS(TFoo, TComponent)
//         ...
//     };
//     TYPECASK_IMPLEMENT_CLASS(TFoo)
//     void TFoo::Publish(TPublisher<TFoo>& P) { P.Property("Count", &TFoo::FCount, &TFoo::SetCount); }
//
// The metaclass (TClass) carries the class name, the parent, the published
// properties, methods and fields, and a factory for virtual construction.
#pragma once

#include <memory>
#include <typeinfo>
#include <vector>

#include "platform/System.h"

class TObject;
class TComponent;
class TMetaClass;
struct TPropInfo;
class TMethodInfo;
struct TFieldInfo;
template <class C>
class TPublisher;

using TClass = const TMetaClass*;

class TMetaClass {
public:
    using TFactory = TObject* (*)(TComponent* Owner);

    TMetaClass(const char* Name, TClass Parent, const std::type_info& Type, TFactory Factory);
    TMetaClass(const TMetaClass&) = delete;
    TMetaClass& operator=(const TMetaClass&) = delete;
    ~TMetaClass();

    const AnsiString& ClassName() const { return FName; }
    TClass ClassParent() const { return FParent; }
    const std::type_info& TypeId() const { return *FType; }
    // True when this class is Other or derives from it.
    bool InheritsFrom(TClass Other) const;
    // True when the class can be constructed through the metaclass.
    bool IsCreatable() const { return FFactory != nullptr; }
    // Constructs an object of exactly this class; Owner goes to components,
    // other classes are built with their default constructor. Raises
    // EConvertError for a class that cannot be constructed.
    TObject* Create(TComponent* Owner = nullptr) const;

    // The published properties of this class alone, in declaration order.
    const std::vector<TPropInfo>& OwnProperties() const { return FProperties; }
    // Published properties of the class and its ancestors, ancestors first.
    std::vector<const TPropInfo*> Properties() const;
    // A published property by name (letter case ignored), searching ancestors
    // too; nullptr when there is none.
    const TPropInfo* FindProperty(const AnsiString& Name) const;
    // A published method by name (letter case ignored), ancestors too.
    std::shared_ptr<const TMethodInfo> FindMethod(const AnsiString& Name) const;
    const std::vector<std::shared_ptr<const TMethodInfo>>& OwnMethods() const { return FMethods; }
    // A published component field by name (letter case ignored), ancestors too.
    const TFieldInfo* FindField(const AnsiString& Name) const;

private:
    template <class C>
    friend class TPublisher;

    AnsiString FName;
    TClass FParent;
    const std::type_info* FType;
    TFactory FFactory;
    std::vector<TPropInfo> FProperties;
    std::vector<std::shared_ptr<const TMethodInfo>> FMethods;
    std::vector<TFieldInfo> FFields;
};

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject();

    static TClass StaticClass();
    static const char* StaticClassName() { return "TObject"; }
    virtual TClass ClassType() const { return StaticClass(); }
    const AnsiString& ClassName() const { return ClassType()->ClassName(); }
    bool InheritsFrom(TClass Class) const { return ClassType()->InheritsFrom(Class); }

    static void Publish(TPublisher<TObject>&) {}
};

namespace Detail {

template <class C>
TObject* CreateInstance(TComponent* Owner) {
    if constexpr (std::is_abstract_v<C>) {
        (void)Owner;
        return nullptr;
    } else if constexpr (std::is_constructible_v<C, TComponent*>) {
        return new C(Owner);
    } else if constexpr (std::is_default_constructible_v<C>) {
        (void)Owner;
        return new C();
    } else {
        (void)Owner;
        return nullptr;
    }
}

template <class C>
constexpr TMetaClass::TFactory FactoryOf() {
    if constexpr (std::is_abstract_v<C> ||
                  !(std::is_constructible_v<C, TComponent*> || std::is_default_constructible_v<C>))
        return nullptr;
    else
        return &CreateInstance<C>;
}

}  // namespace Detail

// Inside a class declaration: names the class and its parent.
#define TYPECASK_CLASS(Class, Parent)                                 \
public:                                                               \
    using inherited = Parent;                                         \
    static TClass StaticClass();                                      \
    static const char* StaticClassName() { return #Class; }          \
    TClass ClassType() const override { return Class::StaticClass(); } \
    static void Publish(TPublisher<Class>& P);                        \
                                                                      \
private:

// In one .cpp file: builds the metaclass (on first use) from Publish.
#define TYPECASK_IMPLEMENT_CLASS(Class)                                                               \
    TClass Class::StaticClass() {                                                                     \
        static const TMetaClass& Meta = TPublisher<Class>::Build(#Class, Class::inherited::StaticClass()); \
        return &Meta;                                                                                 \
    }
