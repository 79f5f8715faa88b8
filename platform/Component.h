// TComponent: named objects that own other components, carry a state and are
// built by name from form data through the class registry.
#pragma once

#include <functional>
#include <vector>

#include "platform/Persistent.h"
#include "platform/Streams.h"

class TReader;
class TWriter;

// A component name is invalid or taken, or a component cannot be inserted.
class EComponentError : public Exception {
public:
    using Exception::Exception;
};

// FindClass: no class of that name is registered ("Class X not found").
class EClassNotFound : public EFilerError {
public:
    using EFilerError::EFilerError;
};

// The states of a component, as the set bits of the class library: csLoading
// 0x01, csReading 0x02, csWriting 0x04, csDestroying 0x08, csDesigning 0x10.
enum TComponentStateFlag {
    csLoading,
    csReading,
    csWriting,
    csDestroying,
    csDesigning,
    csAncestor,
    csUpdating,
    csFixups,
    csFreeNotification,
    csInline,
    csDesignInstance,
    csSubComponent,
};
TYPECASK_ENUM(TComponentStateFlag, csLoading, csReading, csWriting, csDestroying, csDesigning, csAncestor, csUpdating,
              csFixups, csFreeNotification, csInline, csDesignInstance, csSubComponent)
using TComponentState = TSet<TComponentStateFlag>;

enum TOperation { opInsert, opRemove };
TYPECASK_ENUM(TOperation, opInsert, opRemove)

class TComponent;
using TGetChildProc = std::function<void(TComponent* Child)>;

class TComponent : public TPersistent {
    TYPECASK_CLASS(TComponent, TPersistent)

public:
    // Owner, when given, owns the new component (deletes it with itself) and
    // passes on csDesigning.
    explicit TComponent(TComponent* Owner);
    // Deletes every owned component, last first, and leaves the owner.
    ~TComponent() override;

    TComponent* Owner() const { return FOwner; }
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int Index) const;
    int GetComponentIndex() const;
    // The owned component named Name (letter case ignored), or nullptr.
    TComponent* FindComponent(const AnsiString& Name) const;
    void InsertComponent(TComponent* Component);
    void RemoveComponent(TComponent* Component);
    // Deletes every owned component.
    void DestroyComponents();

    const AnsiString& GetName() const { return FName; }
    // Renames the component: the name must be empty or an identifier, and
    // unique among the owner's components (letter case ignored). Raises
    // EComponentError otherwise.
    virtual void SetName(const AnsiString& NewName);
    std::intptr_t GetTag() const { return FTag; }
    void SetTag(std::intptr_t Value) { FTag = Value; }

    TComponentState ComponentState() const { return FComponentState; }
    // Sets or clears csDesigning on this component and everything it owns.
    void SetDesigning(bool Value, bool SetChildren = true);
    // Marks a component that a property of its owner publishes as a nested
    // object, streamed with the owner's properties (csSubComponent).
    void SetSubComponent(bool Value);

    // Asks Component to tell this one when it is destroyed.
    void FreeNotification(TComponent* Component);
    void RemoveFreeNotification(TComponent* Component);

    AnsiString GetNamePath() override;

    // Called by the form reader once the whole form is read; clears csLoading.
    virtual void Loaded();
    virtual void ReadState(TReader* Reader);
    virtual void WriteState(TWriter* Writer);
    // Calls Proc for each component that is streamed as a child of this one:
    // by default the owned components that have no parent.
    virtual void GetChildren(const TGetChildProc& Proc, TComponent* Root);
    // Components with a parent (controls) are streamed inside their parent.
    virtual bool HasParent() const { return false; }
    virtual TComponent* GetParentComponent() const { return nullptr; }
    virtual void SetParentComponent(TComponent*) {}
    // Tells the component that AComponent was inserted into or removed from
    // its owner, or is being destroyed after FreeNotification.
    virtual void Notification(TComponent* AComponent, TOperation Operation);
    // Raises EComponentError when NewName is taken by another owned component.
    virtual void ValidateRename(TComponent* AComponent, const AnsiString& CurName, const AnsiString& NewName);

protected:
    TPersistent* GetOwner() override { return FOwner; }
    void SetState(TComponentStateFlag Flag, bool On);

private:
    void Insert(TComponent* Component);
    void Remove(TComponent* Component);
    void SetReference(bool Enable);

    TComponent* FOwner = nullptr;
    AnsiString FName;
    std::intptr_t FTag = 0;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    TComponentState FComponentState;

    friend class TReader;
    friend class TWriter;
};

// ---------------------------------------------------------- class registry

// Makes a class known to FindClass and the form reader by its name. A class
// registered twice is ignored; another class of a registered name raises
// EFilerError ("A class named X already exists").
void RegisterClass(TClass Class);
void RegisterClasses(std::initializer_list<TClass> Classes);
void UnRegisterClass(TClass Class);
// The registered class of that name (letter case ignored), or nullptr.
TClass GetClass(const AnsiString& ClassName);
// As GetClass, but raises EClassNotFound "Class X not found".
TClass FindClass(const AnsiString& ClassName);
