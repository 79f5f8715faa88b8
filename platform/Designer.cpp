#include "platform/Designer.h"

#include <algorithm>
#include <cstring>

#include "platform/Filer.h"
#include "platform/ObjectText.h"

namespace {

// The rest of Source as binary form data: copied when it is binary,
// converted when it is the text form.
std::unique_ptr<TMemoryStream> BinaryFormData(TStream* Source) {
    auto Raw = std::make_unique<TMemoryStream>();
    std::vector<char> Buffer(65536);
    for (;;) {
        const std::int64_t Got = Source->Read(Buffer.data(), static_cast<std::int64_t>(Buffer.size()));
        if (Got <= 0) break;
        Raw->WriteBuffer(Buffer.data(), Got);
    }
    Raw->SetPosition(0);
    if (Raw->GetSize() >= 4 && std::memcmp(Raw->GetMemory(), FilerSignature, 4) == 0) return Raw;
    auto Binary = std::make_unique<TMemoryStream>();
    ObjectTextToBinary(Raw.get(), Binary.get());
    Binary->SetPosition(0);
    return Binary;
}

bool Fits(const TMethodInfo& Method, const TTypeInfo* EventType) {
    return EventType && EventType->Kind == tkMethod && EventType->Signature() &&
           Method.Signature() == *EventType->Signature();
}

}  // namespace

// ------------------------------------------------------------ TFormDesigner

TFormDesigner::TFormDesigner(TComponent* Root) : FRoot(Root) {
    if (!FRoot) throw EComponentError("A designer needs a root component");
    FRoot->SetDesigning(true);
}

TFormDesigner::TFormDesigner(std::unique_ptr<TComponent> Root) : TFormDesigner(Root.get()) {
    FOwnedRoot = std::move(Root);
}

TFormDesigner::~TFormDesigner() = default;

std::unique_ptr<TFormDesigner> TFormDesigner::Open(TStream* Stream, TReadErrorEvent OnReadError) {
    auto Data = BinaryFormData(Stream);
    // The root's class comes from the header; the root is in design state
    // before anything is read into it.
    AnsiString ClassName;
    {
        TReader Peek(Data.get());
        Peek.ReadSignature();
        TFilerFlags Flags;
        int Pos = 0;
        Peek.ReadPrefix(Flags, Pos);
        ClassName = Peek.ReadStr();
    }
    Data->SetPosition(0);
    TClass Class = FindClass(ClassName);
    if (!Class->InheritsFrom(TComponent::StaticClass()) || !Class->IsCreatable())
        throw EReadError("%s is not a component class that can be designed", {ClassName});
    std::unique_ptr<TComponent> Root(static_cast<TComponent*>(Class->Create(nullptr)));
    auto Designer = std::make_unique<TFormDesigner>(std::move(Root));
    Designer->SetOnReadError(std::move(OnReadError));
    Designer->ReadForm(Data.get());
    return Designer;
}

std::unique_ptr<TFormDesigner> TFormDesigner::OpenFile(const AnsiString& FileName, TReadErrorEvent OnReadError) {
    TFileStream File(FileName, fmOpenRead | fmShareDenyWrite);
    return Open(&File, std::move(OnReadError));
}

void TFormDesigner::ReadForm(TStream* Stream) {
    FReadErrors.clear();
    auto Data = BinaryFormData(Stream);
    FRoot->SetDesigning(true);
    TReader Reader(Data.get());
    Reader.SetOnError([this](TReader*, const Exception& E, bool& Handled) {
        FReadErrors.push_back(E.GetMessage());
        Handled = FOnReadError ? FOnReadError(E) : true;
    });
    Reader.ReadRootComponent(FRoot);
    // Components created while reading are owned by the root and so already
    // designing; set it again for those the root made itself.
    FRoot->SetDesigning(true);
    FModified = false;
}

void TFormDesigner::LoadFromFile(const AnsiString& FileName) {
    TFileStream File(FileName, fmOpenRead | fmShareDenyWrite);
    ReadForm(&File);
}

void TFormDesigner::WriteForm(TStream* Stream, TFormDataFormat Format) {
    if (Format == TFormDataFormat::Binary) {
        WriteComponentToStream(Stream, FRoot);
    } else {
        TMemoryStream Binary;
        WriteComponentToStream(&Binary, FRoot);
        Binary.SetPosition(0);
        ObjectBinaryToText(&Binary, Stream);
    }
    FModified = false;
}

void TFormDesigner::SaveToFile(const AnsiString& FileName, TFormDataFormat Format) {
    TAtomicFileStream File(FileName);
    WriteForm(&File, Format);
    File.Commit();
}

AnsiString TFormDesigner::ComponentBaseName(TClass Class) {
    AnsiString Name = Class->ClassName();
    if (Name.size() > 1 && Name[0] == 'T') Name.erase(0, 1);
    return Name;
}

TComponent* TFormDesigner::DropComponent(TClass Class, TComponent* Parent) {
    if (!Class || !Class->InheritsFrom(TComponent::StaticClass()) || !Class->IsCreatable())
        throw EComponentError("Cannot create a component of class %s",
                              {Class ? Class->ClassName() : AnsiString("nil")});
    // Owned by the root, the new component takes over its design state.
    std::unique_ptr<TComponent> Component(static_cast<TComponent*>(Class->Create(FRoot)));
    Component->SetDesigning(true);
    Component->SetName(UniqueName(ComponentBaseName(Class)));
    if (Parent && Component->HasParent()) Component->SetParentComponent(Parent);
    TComponent* Result = Component.release();
    Modified();
    return Result;
}

std::unique_ptr<TComponentEditor> TFormDesigner::GetComponentEditor(TComponent* Component) {
    return ::GetComponentEditor(Component, this);
}

std::unique_ptr<TPropertyEditor> TFormDesigner::GetPropertyEditor(TPersistent* Instance, const AnsiString& Path) {
    std::vector<std::unique_ptr<TPropertyEditor>> Editors = GetPropertyEditors(Instance, this);
    std::size_t Start = 0;
    for (;;) {
        const std::size_t Dot = Path.find('.', Start);
        const AnsiString Part = Path.substr(Start, Dot == AnsiString::npos ? AnsiString::npos : Dot - Start);
        auto It = std::find_if(Editors.begin(), Editors.end(), [&](const auto& E) { return SameIdent(E->GetName(), Part); });
        if (It == Editors.end()) throw EPropertyError("Property %s not found", {Path});
        if (Dot == AnsiString::npos) return std::move(*It);
        if (!(*It)->GetAttributes().Contains(paSubProperties)) throw EPropertyError("Property %s not found", {Path});
        Editors = GetSubPropertyEditors(It->get());
        Start = Dot + 1;
    }
}

void TFormDesigner::Modified() {
    FModified = true;
    if (FOnModified) FOnModified();
}

AnsiString TFormDesigner::UniqueName(const AnsiString& BaseName) {
    for (int N = 1;; ++N) {
        AnsiString Name = BaseName + std::to_string(N);
        if (!GetComponent(Name)) return Name;
    }
}

TComponent* TFormDesigner::GetComponent(const AnsiString& Name) {
    if (Name.empty()) return nullptr;
    if (SameIdent(FRoot->GetName(), Name)) return FRoot;
    return FRoot->FindComponent(Name);
}

AnsiString TFormDesigner::GetComponentName(TComponent* Component) {
    if (!Component) return {};
    if (Component == FRoot || Component->Owner() == FRoot || !Component->Owner()) return Component->GetName();
    return Component->Owner()->GetName() + "." + Component->GetName();
}

void TFormDesigner::GetComponentNames(TClass Class, const TGetStrProc& Proc) {
    if (!Class) return;
    if (FRoot->InheritsFrom(Class) && !FRoot->GetName().empty()) Proc(FRoot->GetName());
    for (int I = 0; I < FRoot->ComponentCount(); ++I) {
        TComponent* C = FRoot->Components(I);
        if (C->InheritsFrom(Class) && !C->GetName().empty()) Proc(C->GetName());
    }
}

bool TFormDesigner::MethodExists(const AnsiString& Name, const TTypeInfo* EventType) {
    auto Method = FRoot->ClassType()->FindMethod(Name);
    return Method && Fits(*Method, EventType);
}

TMethod TFormDesigner::FindMethod(const AnsiString& Name, const TTypeInfo* EventType) {
    auto Method = FRoot->ClassType()->FindMethod(Name);
    if (!Method)
        throw EPropertyError("%s has no published method %s; a handler must exist in the form's class",
                             {FRoot->ClassName(), Name});
    if (!Fits(*Method, EventType))
        throw EPropertyError("Method %s does not fit an event of type %s",
                             {Name, EventType ? EventType->Name : AnsiString("nil")});
    return TMethod{FRoot, Method};
}

AnsiString TFormDesigner::GetMethodName(const TMethod& Method) {
    if (!Method) return {};
    if (Method.Data && Method.Data != FRoot)
        if (auto* Owner = dynamic_cast<TComponent*>(Method.Data))
            return GetComponentName(Owner) + "." + Method.Method->Name();
    return Method.Method->Name();
}

void TFormDesigner::GetMethods(const TTypeInfo* EventType, const TGetStrProc& Proc) {
    std::vector<AnsiString> Seen;
    for (TClass C = FRoot->ClassType(); C; C = C->ClassParent())
        for (const auto& M : C->OwnMethods()) {
            if (!Fits(*M, EventType)) continue;
            if (std::any_of(Seen.begin(), Seen.end(), [&](const AnsiString& S) { return SameIdent(S, M->Name()); }))
                continue;
            Seen.push_back(M->Name());
            Proc(M->Name());
        }
}

// ------------------------------------------------------------- inspection

namespace {

void InspectEditors(std::vector<std::unique_ptr<TPropertyEditor>> Editors, int Depth,
                    std::vector<TPersistent*>& Path, std::vector<TInspectorRow>& Rows) {
    for (auto& Editor : Editors) {
        TInspectorRow Row;
        Row.Depth = Depth;
        Row.Name = Editor->GetName();
        Row.Attributes = Editor->GetAttributes();
        try {
            Row.Value = Editor->GetValue();
        } catch (const Exception& E) {
            Row.Error = E.GetMessage();
        }
        Rows.push_back(std::move(Row));
        if (!Rows.back().Attributes.Contains(paSubProperties) || !Rows.back().Error.empty()) continue;
        // An object that holds itself (or an ancestor on the path) is shown
        // once.
        TPersistent* Sub = nullptr;
        if (Editor->GetPropType()->Kind == tkClass) {
            Sub = dynamic_cast<TPersistent*>(Editor->GetObjectValue());
            if (std::find(Path.begin(), Path.end(), Sub) != Path.end()) continue;
        }
        if (Sub) Path.push_back(Sub);
        try {
            InspectEditors(GetSubPropertyEditors(Editor.get()), Depth + 1, Path, Rows);
        } catch (...) {
            if (Sub) Path.pop_back();
            throw;
        }
        if (Sub) Path.pop_back();
    }
}

}  // namespace

std::vector<TInspectorRow> InspectObject(TPersistent* Instance, IDesigner* Designer) {
    std::vector<TInspectorRow> Rows;
    std::vector<TPersistent*> Path{Instance};
    InspectEditors(GetPropertyEditors(Instance, Designer), 0, Path, Rows);
    return Rows;
}
