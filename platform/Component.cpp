#include "platform/Component.h"

#include <algorithm>

#include "platform/Filer.h"

TYPECASK_IMPLEMENT_CLASS(TComponent)
void TComponent::Publish(TPublisher<TComponent>& P) {
    // The name is written in the component's header, not as a property.
    P.Property("Name", &TComponent::FName, &TComponent::SetName).Stored(false);
    P.Property("Tag", &TComponent::FTag, &TComponent::SetTag).Default(0);
}

TComponent::TComponent(TComponent* Owner) {
    if (Owner) Owner->InsertComponent(this);
}

TComponent::~TComponent() {
    SetState(csDestroying, true);
    // Those who asked to be told learn of the destruction first.
    while (!FFreeNotifies.empty()) {
        TComponent* C = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        C->RemoveFreeNotification(this);
        C->Notification(this, opRemove);
    }
    DestroyComponents();
    if (FOwner) FOwner->RemoveComponent(this);
}

TComponent* TComponent::Components(int Index) const {
    if (Index < 0 || Index >= ComponentCount()) throw EComponentError("List index out of bounds (%d)", {Index});
    return FComponents[static_cast<std::size_t>(Index)];
}

int TComponent::GetComponentIndex() const {
    if (!FOwner) return -1;
    const auto& L = FOwner->FComponents;
    return static_cast<int>(std::find(L.begin(), L.end(), this) - L.begin());
}

TComponent* TComponent::FindComponent(const AnsiString& Name) const {
    if (Name.empty()) return nullptr;
    for (TComponent* C : FComponents)
        if (SameIdent(C->FName, Name)) return C;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* Component) {
    if (Component->FOwner) Component->FOwner->RemoveComponent(Component);
    if (!Component->FName.empty()) ValidateRename(Component, {}, Component->FName);
    Insert(Component);
    Component->SetReference(true);
    if (FComponentState.Contains(csDesigning)) Component->SetDesigning(true);
    Notification(Component, opInsert);
}

void TComponent::RemoveComponent(TComponent* Component) {
    if (Component->FOwner != this) return;
    Notification(Component, opRemove);
    Component->SetReference(false);
    Remove(Component);
}

void TComponent::Insert(TComponent* Component) {
    FComponents.push_back(Component);
    Component->FOwner = this;
}

void TComponent::Remove(TComponent* Component) {
    auto It = std::find(FComponents.begin(), FComponents.end(), Component);
    if (It != FComponents.end()) FComponents.erase(It);
    Component->FOwner = nullptr;
}

void TComponent::DestroyComponents() {
    while (!FComponents.empty()) {
        TComponent* C = FComponents.back();
        Remove(C);
        delete C;
    }
}

void TComponent::SetReference(bool Enable) {
    // An owner that publishes a field of this name sees the component there.
    if (!FOwner || FName.empty()) return;
    if (const TFieldInfo* Field = FOwner->ClassType()->FindField(FName)) {
        if (!Enable)
            Field->Set(FOwner, nullptr);
        else if (InheritsFrom(Field->Class))
            Field->Set(FOwner, this);
    }
}

void TComponent::SetName(const AnsiString& NewName) {
    if (FName == NewName) return;
    if (!NewName.empty() && !IsValidIdent(NewName))
        throw EComponentError("Component name \"%s\" is not a valid identifier", {NewName});
    if (FOwner)
        FOwner->ValidateRename(this, FName, NewName);
    else
        ValidateRename(nullptr, FName, NewName);
    SetReference(false);
    FName = NewName;
    SetReference(true);
}

void TComponent::ValidateRename(TComponent* AComponent, const AnsiString&, const AnsiString& NewName) {
    if (!AComponent || NewName.empty()) return;
    TComponent* Other = FindComponent(NewName);
    if (Other && Other != AComponent) throw EComponentError("A component named %s already exists", {NewName});
}

void TComponent::SetState(TComponentStateFlag Flag, bool On) {
    if (On)
        FComponentState << Flag;
    else
        FComponentState >> Flag;
}

void TComponent::SetDesigning(bool Value, bool SetChildren) {
    SetState(csDesigning, Value);
    if (SetChildren)
        for (TComponent* C : FComponents) C->SetDesigning(Value);
}

void TComponent::SetSubComponent(bool Value) { SetState(csSubComponent, Value); }

void TComponent::FreeNotification(TComponent* Component) {
    if (!Component || Component == this) return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), Component) == FFreeNotifies.end()) {
        FFreeNotifies.push_back(Component);
        Component->FreeNotification(this);
    }
}

void TComponent::RemoveFreeNotification(TComponent* Component) {
    auto It = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), Component);
    if (It == FFreeNotifies.end()) return;
    FFreeNotifies.erase(It);
    Component->RemoveFreeNotification(this);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation == opRemove) RemoveFreeNotification(AComponent);
    // Owned components hear of every insertion and removal in their owner.
    if (FComponents.empty()) return;
    const auto Snapshot = FComponents;
    for (TComponent* C : Snapshot)
        if (C != AComponent) C->Notification(AComponent, Operation);
}

AnsiString TComponent::GetNamePath() { return FName; }

void TComponent::Loaded() { SetState(csLoading, false); }

void TComponent::ReadState(TReader* Reader) { Reader->ReadData(this); }

void TComponent::WriteState(TWriter* Writer) { Writer->WriteData(this); }

void TComponent::GetChildren(const TGetChildProc& Proc, TComponent*) {
    const auto Snapshot = FComponents;
    for (TComponent* C : Snapshot)
        if (!C->HasParent() && !C->FComponentState.Contains(csSubComponent)) Proc(C);
}

// ---------------------------------------------------------- class registry

namespace {

std::vector<TClass>& ClassList() {
    static std::vector<TClass> List;
    return List;
}

}  // namespace

void RegisterClass(TClass Class) {
    auto& L = ClassList();
    for (TClass C : L) {
        if (C == Class) return;
        if (SameIdent(C->ClassName(), Class->ClassName()))
            throw EFilerError("A class named %s already exists", {Class->ClassName()});
    }
    L.push_back(Class);
}

void RegisterClasses(std::initializer_list<TClass> Classes) {
    for (TClass C : Classes) RegisterClass(C);
}

void UnRegisterClass(TClass Class) {
    auto& L = ClassList();
    L.erase(std::remove(L.begin(), L.end(), Class), L.end());
}

TClass GetClass(const AnsiString& ClassName) {
    for (TClass C : ClassList())
        if (SameIdent(C->ClassName(), ClassName)) return C;
    return nullptr;
}

TClass FindClass(const AnsiString& ClassName) {
    if (TClass C = GetClass(ClassName)) return C;
    throw EClassNotFound("Class %s not found", {ClassName});
}
