#include "platform/Filer.h"

#include "platform/TextConv.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::int64_t ChunkSize = 64 * 1024;

AnsiString ValueTypeName(TValueType V) {
    const AnsiString Name = GetEnumName(TypeInfoOf<TValueType>(), V);
    return Name.empty() ? Format("value type %d", {static_cast<int>(V)}) : Name;
}

bool IsLocated(const Exception& E) { return E.GetMessage().rfind("Error reading ", 0) == 0; }

}  // namespace

TFiler::~TFiler() = default;

// ====================================================================== TReader

TReader::TReader(TStream* Stream) : TFiler(Stream) {
    try {
        FSize = Stream->GetSize();
    } catch (const EStreamError&) {
        FSize = -1;  // a pipe: sizes are checked as the bytes arrive
    }
}

TReader::~TReader() = default;

std::int64_t TReader::Remaining() {
    if (FSize < 0) return -1;
    return std::max<std::int64_t>(0, FSize - FStream->GetPosition());
}

void TReader::CheckAvailable(std::uint64_t Count, const char* What) {
    const std::int64_t Left = Remaining();
    if (Left >= 0 && Count > static_cast<std::uint64_t>(Left))
        throw EReadError("Invalid stream format: %s of %s bytes, but only %d bytes remain",
                         {What, std::to_string(Count), Left});
}

void TReader::Read(void* Buffer, std::int64_t Count) {
    if (Count <= 0) return;
    if (FStream->Read(Buffer, Count) != Count)
        throw EReadError("Invalid stream format: the form data ends in the middle of a value");
}

std::uint8_t TReader::ReadByte() {
    std::uint8_t B;
    Read(&B, 1);
    return B;
}

std::uint32_t TReader::ReadDWord() {
    std::uint8_t B[4];
    Read(B, 4);
    return B[0] | (B[1] << 8) | (B[2] << 16) | (static_cast<std::uint32_t>(B[3]) << 24);
}

std::uint64_t TReader::ReadQWord() {
    const std::uint64_t Low = ReadDWord();
    return Low | (static_cast<std::uint64_t>(ReadDWord()) << 32);
}

void TReader::ReadSignature() {
    char Signature[4] = {};
    if (FStream->Read(Signature, 4) != 4 || std::memcmp(Signature, FilerSignature, 4) != 0)
        throw EReadError("Invalid stream format: the form data does not start with the signature TPF0");
}

TValueType TReader::ReadValue() {
    const std::uint8_t V = ReadByte();
    if (V > vaDouble) throw EReadError("Invalid stream format: unknown value type %d", {static_cast<int>(V)});
    return static_cast<TValueType>(V);
}

TValueType TReader::NextValue() {
    const TValueType V = ReadValue();
    FStream->Seek(-1, soCurrent);
    return V;
}

bool TReader::EndOfList() {
    const std::uint8_t B = ReadByte();
    FStream->Seek(-1, soCurrent);
    return B == vaNull;
}

void TReader::ValueError(const char* Expected, TValueType Found) {
    throw EReadError("Invalid property value: expected %s, found %s", {Expected, ValueTypeName(Found)});
}

void TReader::ReadListBegin() {
    const TValueType V = ReadValue();
    if (V != vaList) ValueError("a list", V);
}

void TReader::ReadListEnd() {
    const TValueType V = ReadValue();
    if (V != vaNull) ValueError("the end of a list", V);
}

std::uint64_t TFixedValue::Bits() const {
    std::uint64_t Result = 0;
    for (int I = 7; I >= 0; --I) Result = (Result << 8) | Bytes[I];
    return Result;
}

TFixedValue TReader::ReadFixedPayload(TValueType V) {
    TFixedValue Value{V, {}};
    Read(Value.Bytes, GetValuePayload(V).Size);
    return Value;
}

TFixedValue TReader::ReadFixed() {
    const TValueType V = ReadValue();
    if (GetValuePayload(V).Kind != pkFixed) ValueError("a number", V);
    return ReadFixedPayload(V);
}

std::int64_t TReader::ReadInt64() {
    const TValueType V = ReadValue();
    if (V != vaInt8 && V != vaInt16 && V != vaInt32 && V != vaInt64) ValueError("an integer", V);
    // Sign-extended from the payload's width.
    const int Shift = 64 - 8 * GetValuePayload(V).Size;
    return static_cast<std::int64_t>(ReadFixedPayload(V).Bits() << Shift) >> Shift;
}

std::int32_t TReader::ReadInteger() {
    const std::int64_t V = ReadInt64();
    if (V < INT32_MIN || V > INT32_MAX) throw EReadError("Invalid property value: %s is out of range", {std::to_string(V)});
    return static_cast<std::int32_t>(V);
}

bool TReader::ReadBoolean() {
    const TValueType V = ReadValue();
    if (V == vaTrue) return true;
    if (V == vaFalse) return false;
    ValueError("a boolean", V);
}

AnsiString TReader::ReadStr() {
    const std::uint8_t N = ReadByte();
    AnsiString S(N, '\0');
    Read(S.data(), N);
    return S;
}

AnsiString TReader::ReadStringBytes(TValueType& V) {
    V = ReadValue();
    const TValuePayload& Payload = GetValuePayload(V);
    if (!Payload.Text) ValueError("a string", V);
    if (Payload.Kind == pkShortString) return ReadStr();
    const std::uint64_t Count = static_cast<std::uint64_t>(ReadDWord()) * Payload.Size;
    CheckAvailable(Count, "a string");
    AnsiString Bytes;
    // Read in pieces, so that a stream that cannot tell its size never makes
    // us allocate what its length field claims before the bytes are there.
    while (Bytes.size() < Count) {
        const std::size_t Old = Bytes.size();
        const auto N = static_cast<std::size_t>(std::min<std::uint64_t>(Count - Old, ChunkSize));
        Bytes.resize(Old + N);
        Read(Bytes.data() + Old, static_cast<std::int64_t>(N));
    }
    return Bytes;
}

AnsiString TReader::ReadString() {
    TValueType V;
    AnsiString Bytes = ReadStringBytes(V);
    if (V != vaWString && V != vaUString) return Bytes;
    return Utf16LEToUtf8(reinterpret_cast<const std::uint8_t*>(Bytes.data()), Bytes.size() / 2);
}

std::u16string TReader::ReadWideString() {
    TValueType V;
    const AnsiString Bytes = ReadStringBytes(V);
    if (V != vaWString && V != vaUString) return Utf8ToUtf16(Bytes);
    std::u16string Units(Bytes.size() / 2, u'\0');
    for (std::size_t I = 0; I < Units.size(); ++I)
        Units[I] = static_cast<char16_t>(static_cast<std::uint8_t>(Bytes[2 * I]) |
                                         (static_cast<std::uint8_t>(Bytes[2 * I + 1]) << 8));
    return Units;
}

AnsiString TReader::ReadIdent() {
    const TValueType V = ReadValue();
    switch (V) {
        case vaIdent: return ReadStr();
        case vaFalse: return "False";
        case vaTrue: return "True";
        case vaNil: return "nil";
        case vaNull: return "Null";
        default: ValueError("an identifier", V);
    }
}

std::vector<AnsiString> TReader::ReadSetNames() {
    std::vector<AnsiString> Names;
    for (;;) {
        AnsiString Name = ReadStr();
        if (Name.empty()) return Names;
        Names.push_back(std::move(Name));
    }
}

std::vector<AnsiString> TReader::ReadSet() {
    const TValueType V = ReadValue();
    if (V != vaSet) ValueError("a set", V);
    return ReadSetNames();
}

void TReader::ReadBinary(TStream* Dest) {
    const TValueType V = ReadValue();
    if (V != vaBinary) ValueError("a binary value", V);
    ReadBinaryData(Dest);
}

void TReader::ReadBinaryData(TStream* Dest) {
    const std::uint32_t Count = ReadDWord();
    CheckAvailable(Count, "a binary value");
    std::vector<std::uint8_t> Buffer(static_cast<std::size_t>(std::min<std::int64_t>(Count, ChunkSize)));
    std::int64_t Left = Count;
    while (Left > 0) {
        const std::int64_t N = std::min<std::int64_t>(Left, ChunkSize);
        Read(Buffer.data(), N);
        Dest->WriteBuffer(Buffer.data(), N);
        Left -= N;
    }
}

void CheckFilerNesting(int Depth) {
    if (Depth > FilerNestingLimit)
        throw EReadError("Invalid stream format: values nest more than %d deep", {FilerNestingLimit});
}

void TReader::Enter(int& Depth) { CheckFilerNesting(++Depth); }

void TReader::SkipBytes(std::uint64_t Count) {
    CheckAvailable(Count, "a value");
    if (Remaining() >= 0) {
        FStream->Seek(static_cast<std::int64_t>(Count), soCurrent);
        return;
    }
    std::uint8_t Buffer[4096];
    while (Count) {
        const auto N = std::min<std::uint64_t>(Count, sizeof Buffer);
        Read(Buffer, static_cast<std::int64_t>(N));
        Count -= N;
    }
}

// Lists and collections are the walker's: this skips the others.
void TReader::SkipPayload(TValueType V) {
    const TValuePayload& Payload = GetValuePayload(V);
    switch (Payload.Kind) {
        case pkNone:
        case pkValues:
        case pkItems: break;
        case pkFixed: SkipBytes(Payload.Size); break;
        case pkShortString: SkipBytes(ReadByte()); break;
        case pkCounted: SkipBytes(static_cast<std::uint64_t>(ReadDWord()) * Payload.Size); break;
        case pkNames: ReadSetNames(); break;
    }
}

void TReader::SkipValue() {
    TFormWalker Walk(*this, TFormWalker::fsValue);
    while (Walk.Next() != TFormWalker::fwDone) {
    }
}

void TReader::SkipProperty() {
    ReadStr();
    SkipValue();
}

void TReader::SkipComponent(bool SkipHeader) {
    TFormWalker Walk(*this, SkipHeader ? TFormWalker::fsComponent : TFormWalker::fsData);
    while (Walk.Next() != TFormWalker::fwDone) {
    }
}

void TReader::ReadPrefix(TFilerFlags& Flags, int& ChildPos) {
    Flags = {};
    ChildPos = 0;
    const std::uint8_t B = ReadByte();
    if ((B & 0xF0) != 0xF0) {
        FStream->Seek(-1, soCurrent);
        return;
    }
    Flags = TFilerFlags::FromInt(B & 0x0F);
    if (Flags.Contains(ffChildPos)) ChildPos = ReadInteger();
}

TComponentHeader TReader::ReadComponentHeader() {
    TComponentHeader Header;
    ReadPrefix(Header.Flags, Header.ChildPos);
    Header.ClassName = ReadStr();
    Header.Name = ReadStr();
    return Header;
}

AnsiString TReader::Where() const {
    AnsiString W = FComponentName.empty() ? AnsiString("<unnamed>") : FComponentName;
    if (!FPropPath.empty()) W += "." + FPropPath;
    return W;
}

bool TReader::HandleError(const Exception& E) {
    // An error that passed the handler once is not offered again on its way
    // out through the enclosing components.
    if (!FOnError || FLastOffered == &E) return false;
    bool Handled = false;
    FOnError(this, E, Handled);
    // A handled error dies here, and a later one may get its address.
    FLastOffered = Handled ? nullptr : &E;
    return Handled;
}

// ------------------------------------------------------------ components

TComponent* TReader::ReadRootComponent(TComponent* Root) {
    ReadSignature();
    const TComponentHeader Header = ReadComponentHeader();
    const AnsiString& ClassName = Header.ClassName;
    const AnsiString& Name = Header.Name;
    FComponentName = Name;
    std::unique_ptr<TComponent> Created;
    if (!Root) {
        TClass Class;
        try {
            Class = FindClass(ClassName);
        } catch (Exception& E) {
            E.SetMessage("Error reading " + Where() + ": " + E.GetMessage());
            throw;
        }
        if (!Class->InheritsFrom(TComponent::StaticClass()))
            throw EReadError("Error reading %s: %s is not a component class", {Where(), ClassName});
        Created.reset(static_cast<TComponent*>(Class->Create(nullptr)));
        Root = Created.get();
    }
    FRoot = Root;
    FOwner = Root;
    FLoaded.clear();
    FFixups.clear();
    try {
        Root->SetState(csLoading, true);
        Root->SetState(csReading, true);
        FLoaded.push_back({Root, false});
        if (Root->GetName() != Name && !Name.empty()) Root->SetName(Name);
        Root->ReadState(this);
        Root->SetState(csReading, false);
        ResolveFixups();
    } catch (...) {
        // A form that could not be read leaves none of the components that
        // were created for it; those that existed leave the loading state.
        for (std::size_t I = FLoaded.size(); I-- > 0;) {
            const auto Entry = FLoaded[I];
            if (Entry.Created) {
                delete Entry.Component;
            } else {
                Entry.Component->SetState(csReading, false);
                Entry.Component->SetState(csLoading, false);
            }
        }
        FLoaded.clear();
        FFixups.clear();
        throw;
    }
    // Everything is read: every component read hears of it once.
    const auto Loaded = std::move(FLoaded);
    FLoaded.clear();
    for (std::size_t I = 0; I < Loaded.size(); ++I) {
        try {
            Loaded[I].Component->Loaded();
        } catch (...) {
            for (std::size_t J = I + 1; J < Loaded.size(); ++J) Loaded[J].Component->SetState(csLoading, false);
            throw;
        }
    }
    Created.release();
    return Root;
}

void TReader::ReadData(TComponent* Instance) {
    while (!EndOfList()) ReadProperty(Instance);
    ReadValue();
    const AnsiString Saved = FComponentName;
    TComponent* SavedParent = FParent;
    FParent = Instance;
    while (!EndOfList()) {
        ReadComponent(Instance);
        FComponentName = Saved;
    }
    ReadValue();
    FParent = SavedParent;
}

TComponent* TReader::ReadComponent(TComponent* Parent) {
    struct TGuard {
        int& D;
        ~TGuard() { --D; }
    } Guard{FDepth};
    Enter(FDepth);
    FParent = Parent;
    const std::int64_t Start = FStream->GetPosition();
    const std::size_t Mark = FLoaded.size();
    TComponent* Result = nullptr;
    try {
        const TComponentHeader Header = ReadComponentHeader();
        const AnsiString& ClassName = Header.ClassName;
        const AnsiString& Name = Header.Name;
        FComponentName = Name;
        FPropPath.clear();
        bool Created = false;
        if (Header.Flags.Contains(ffInherited) || Header.Flags.Contains(ffInline)) {
            Result = FOwner->FindComponent(Name);
            if (!Result) throw EReadError("Error reading %s: ancestor for '%s' not found", {Where(), Name});
        } else {
            TClass Class;
            try {
                Class = FindClass(ClassName);
            } catch (Exception& E) {
                E.SetMessage("Error reading " + Where() + ": " + E.GetMessage());
                throw;
            }
            if (!Class->InheritsFrom(TComponent::StaticClass()) || !Class->IsCreatable())
                throw EReadError("Error reading %s: %s is not a component class", {Where(), ClassName});
            Result = static_cast<TComponent*>(Class->Create(FOwner));
            Created = true;
        }
        FLoaded.push_back({Result, Created});
        Result->SetState(csLoading, true);
        Result->SetState(csReading, true);
        if (Created) {
            try {
                Result->SetName(Name);
            } catch (Exception& E) {
                E.SetMessage("Error reading " + Where() + ": " + E.GetMessage());
                throw;
            }
        }
        Result->SetParentComponent(Parent);
        Result->ReadState(this);
        Result->SetState(csReading, false);
        return Result;
    } catch (const Exception& E) {
        // Undo what this component brought: the components created for it
        // go, those that existed stay, out of the loading state.
        for (std::size_t I = FLoaded.size(); I > Mark; --I) {
            const auto Entry = FLoaded[I - 1];
            std::erase_if(FFixups, [&](const TFixup& F) { return F.Instance == Entry.Component; });
            if (Entry.Created) {
                delete Entry.Component;
            } else {
                Entry.Component->SetState(csReading, false);
                Entry.Component->SetState(csLoading, false);
            }
        }
        FLoaded.resize(Mark);
        if (!HandleError(E)) throw;
        // Handled: go on after the whole component.
        FStream->SetPosition(Start);
        SkipComponent(true);
        return nullptr;
    }
}

// ------------------------------------------------------------ properties

void TReader::ReadProperty(TPersistent* Instance) {
    const AnsiString Name = ReadStr();
    const std::int64_t ValueStart = FStream->GetPosition();
    FPropPath = Name;
    try {
        // Walk the dotted name through the sub-objects.
        TPersistent* Object = Instance;
        std::size_t Start = 0;
        for (;;) {
            const std::size_t Dot = Name.find('.', Start);
            const AnsiString Part = Name.substr(Start, Dot == AnsiString::npos ? AnsiString::npos : Dot - Start);
            if (Part.empty()) throw EReadError("Error reading %s: invalid property name", {Where()});
            const TPropInfo* Prop = Object->ClassType()->FindProperty(Part);
            if (Dot == AnsiString::npos) {
                if (Prop) {
                    ReadPropValue(Object, Prop);
                } else {
                    FPropName = Part;
                    Object->DefineProperties(this);
                    if (!FPropName.empty()) {
                        FPropName.clear();
                        throw EReadError("Error reading %s: Property %s does not exist", {Where(), Part});
                    }
                }
                break;
            }
            if (!Prop || Prop->Type->Kind != tkClass)
                throw EReadError("Error reading %s: Property %s does not exist", {Where(), Part});
            auto* Sub = dynamic_cast<TPersistent*>(GetObjectProp(Object, Prop));
            if (!Sub) throw EReadError("Error reading %s: Property %s holds no object", {Where(), Part});
            Object = Sub;
            Start = Dot + 1;
        }
    } catch (Exception& E) {
        FPropName.clear();
        const bool DataError = dynamic_cast<EFilerError*>(&E) || dynamic_cast<EPropertyError*>(&E);
        if (DataError && !IsLocated(E)) E.SetMessage("Error reading " + Where() + ": " + E.GetMessage());
        if (!HandleError(E)) throw;
        // Handled: go on after this property's value.
        FStream->SetPosition(ValueStart);
        SkipValue();
    }
    FPropPath.clear();
}

void TReader::ReadPropValue(TPersistent* Instance, const TPropInfo* Prop) {
    const TTypeInfo* T = Prop->Type;
    const TValueType Next = NextValue();
    auto RequireWritable = [&] {
        if (!Prop->IsWritable()) throw EReadError("Property %s is read-only", {Prop->Name});
    };
    switch (T->Kind) {
        case tkInteger:
        case tkInt64: {
            std::int64_t V;
            if (Next == vaIdent && !T->IntIdents().empty()) {
                const AnsiString Ident = ReadIdent();
                auto It = std::find_if(T->IntIdents().begin(), T->IntIdents().end(),
                                       [&](const auto& P) { return SameIdent(P.first, Ident); });
                if (It == T->IntIdents().end()) throw EReadError("Invalid property value %s", {Ident});
                V = It->second;
            } else {
                V = T->Kind == tkInteger ? ReadInteger() : ReadInt64();
            }
            RequireWritable();
            Prop->Set(Instance, V);
            break;
        }
        case tkEnumeration: {
            const AnsiString Ident = ReadIdent();
            const std::int64_t V = GetEnumValue(T, Ident);
            if (V < 0) throw EReadError("Invalid property value %s", {Ident});
            RequireWritable();
            Prop->Set(Instance, V);
            break;
        }
        case tkSet: {
            std::uint64_t Bits = 0;
            for (const auto& Name : ReadSet()) {
                const std::int64_t E = GetEnumValue(T, Name);
                if (E < 0) throw EReadError("Invalid property value: %s is no element of %s", {Name, T->Name});
                Bits |= std::uint64_t(1) << E;
            }
            RequireWritable();
            Prop->Set(Instance, static_cast<std::int64_t>(Bits));
            break;
        }
        case tkString: {
            AnsiString S = ReadString();
            RequireWritable();
            Prop->Set(Instance, std::move(S));
            break;
        }
        case tkClass: {
            const TValueType V = ReadValue();
            if (V == vaNil) {
                RequireWritable();
                Prop->Set(Instance, static_cast<TObject*>(nullptr));
            } else if (V == vaIdent) {
                // A reference to another component, resolved when the whole
                // form is read.
                RequireWritable();
                FFixups.push_back({Instance, Prop, ReadStr(), Where()});
            } else {
                ValueError("a component reference", V);
            }
            break;
        }
        case tkMethod: {
            const AnsiString Ident = ReadIdent();
            RequireWritable();
            if (Ident == "nil") {
                Prop->Set(Instance, TMethod{});
                break;
            }
            auto Method = FRoot->ClassType()->FindMethod(Ident);
            if (!Method) throw EReadError("Method %s not found in class %s", {Ident, FRoot->ClassName()});
            if (Method->Signature() != *T->Signature())
                throw EReadError("Method %s does not fit the event type %s", {Ident, T->Name});
            Prop->Set(Instance, TMethod{FRoot, Method});
            break;
        }
    }
}

void TReader::ResolveFixups() {
    auto Fixups = std::move(FFixups);
    FFixups.clear();
    for (const auto& F : Fixups) {
        TComponent* Target = nullptr;
        const auto Dot = F.Reference.find('.');
        if (Dot == AnsiString::npos) {
            Target = SameIdent(F.Reference, FRoot->GetName()) ? FRoot : FRoot->FindComponent(F.Reference);
        } else if (SameIdent(F.Reference.substr(0, Dot), FRoot->GetName())) {
            Target = FRoot->FindComponent(F.Reference.substr(Dot + 1));
        }
        try {
            if (!Target) throw EReadError("Error reading %s: unresolved component reference %s", {F.Where, F.Reference});
            try {
                SetObjectProp(F.Instance, F.Prop, Target);
            } catch (Exception& E) {
                if (dynamic_cast<EPropertyError*>(&E)) E.SetMessage("Error reading " + F.Where + ": " + E.GetMessage());
                throw;
            }
        } catch (const Exception& E) {
            if (!HandleError(E)) throw;
        }
    }
}

void TReader::DefineProperty(const AnsiString& Name, const std::function<void(TReader*)>& ReadData,
                             const std::function<void(TWriter*)>&, bool) {
    if (FPropName.empty() || !SameIdent(Name, FPropName) || !ReadData) return;
    FPropName.clear();
    ReadData(this);
}

void TReader::DefineBinaryProperty(const AnsiString& Name, const std::function<void(TStream*)>& ReadData,
                                   const std::function<void(TStream*)>&, bool) {
    if (FPropName.empty() || !SameIdent(Name, FPropName) || !ReadData) return;
    FPropName.clear();
    TMemoryStream Data;
    ReadBinary(&Data);
    Data.SetPosition(0);
    ReadData(&Data);
}

// ================================================================= TFormWalker

TFormWalker::TFormWalker(TReader& Reader, TStart Start) : FReader(Reader), FStart(Start), FBaseDepth(Reader.FDepth) {}

TFormWalker::~TFormWalker() { FReader.FDepth = FBaseDepth; }

void TFormWalker::Push(TList List, int Depth) {
    FLevels.push_back({List, Depth});
    FReader.FDepth = Depth;
}

TFormWalker::TStep TFormWalker::Component(int Depth) {
    CheckFilerNesting(Depth);
    FHeader = FReader.ReadComponentHeader();
    Push(flProperties, Depth);
    return FStep = fwComponent;
}

TFormWalker::TStep TFormWalker::Value(int Depth) {
    CheckFilerNesting(Depth);
    FValueType = FReader.NextValue();
    FValueStart = FReader.FStream->GetPosition();
    FValueDepth = Depth;
    return FStep = fwValue;
}

TFormWalker::TStep TFormWalker::EndOfList(TList Ended) {
    FReader.ReadValue();
    const int Ending = FLevels.back().Depth;
    FLevels.pop_back();
    // A component's children follow its properties.
    if (Ended == flProperties) FLevels.push_back({flComponents, Ending});
    FReader.FDepth = Depth();
    FEnded = Ended;
    return FStep = fwEndOfList;
}

TFormWalker::TStep TFormWalker::Next() {
    switch (FStep) {
        case fwStart:
            switch (FStart) {
                case fsForm: FReader.ReadSignature(); return Component(FBaseDepth);
                case fsComponent: return Component(FBaseDepth + 1);
                case fsData:
                    CheckFilerNesting(FBaseDepth + 1);
                    Push(flProperties, FBaseDepth + 1);
                    break;
                case fsValue: return Value(FBaseDepth + 1);
            }
            break;
        case fwProperty: return Value(Depth() + 1);
        case fwValue:
            // Left by the caller: into it, or past it.
            if (FReader.FStream->GetPosition() == FValueStart) {
                FReader.ReadValue();
                const TPayloadKind Kind = GetValuePayload(FValueType).Kind;
                if (Kind == pkValues)
                    Push(flValues, FValueDepth);
                else if (Kind == pkItems)
                    Push(flItems, FValueDepth);
                else
                    FReader.SkipPayload(FValueType);
            }
            break;
        case fwDone: return fwDone;
        case fwComponent:
        case fwItem:
        case fwEndOfList: break;
    }
    if (FLevels.empty()) return FStep = fwDone;
    const TLevel Top = FLevels.back();
    if (FReader.EndOfList()) return EndOfList(Top.List);
    switch (Top.List) {
        case flProperties:
        case flItemProperties: FPropName = FReader.ReadStr(); return FStep = fwProperty;
        case flComponents: return Component(Top.Depth + 1);
        case flValues: return Value(Top.Depth + 1);
        case flItems: break;
    }
    const TValueType V = FReader.NextValue();
    FHasIndex = V == vaInt8 || V == vaInt16 || V == vaInt32;
    FIndex = FHasIndex ? FReader.ReadInteger() : 0;
    FReader.ReadListBegin();
    // The item's properties count as deep as the collection's.
    Push(flItemProperties, Top.Depth);
    return FStep = fwItem;
}

// ====================================================================== TWriter

TWriter::~TWriter() = default;

void TWriter::WriteSignature() { Write(FilerSignature, 4); }

void TWriter::WriteValue(TValueType Value) { WriteByte(Value); }

void TWriter::WriteDWord(std::uint32_t Value) {
    const std::uint8_t B[4] = {static_cast<std::uint8_t>(Value), static_cast<std::uint8_t>(Value >> 8),
                               static_cast<std::uint8_t>(Value >> 16), static_cast<std::uint8_t>(Value >> 24)};
    Write(B, 4);
}

void TWriter::WriteQWord(std::uint64_t Value) {
    WriteDWord(static_cast<std::uint32_t>(Value));
    WriteDWord(static_cast<std::uint32_t>(Value >> 32));
}

void TWriter::WriteInteger(std::int64_t Value) {
    if (Value >= -128 && Value <= 127) {
        WriteValue(vaInt8);
        WriteByte(static_cast<std::uint8_t>(Value));
    } else if (Value >= -32768 && Value <= 32767) {
        WriteValue(vaInt16);
        WriteByte(static_cast<std::uint8_t>(Value));
        WriteByte(static_cast<std::uint8_t>(Value >> 8));
    } else if (Value >= INT32_MIN && Value <= INT32_MAX) {
        WriteValue(vaInt32);
        WriteDWord(static_cast<std::uint32_t>(Value));
    } else {
        WriteValue(vaInt64);
        WriteQWord(static_cast<std::uint64_t>(Value));
    }
}

void TWriter::WriteStr(const AnsiString& Value) {
    if (Value.size() > MaxShortString) throw EWriteError("Name too long for form data: %s", {Value.substr(0, 64) + "..."});
    WriteByte(static_cast<std::uint8_t>(Value.size()));
    Write(Value.data(), static_cast<std::int64_t>(Value.size()));
}

void TWriter::WriteString(const AnsiString& Value) {
    if (Value.size() <= MaxShortString) {
        WriteValue(vaString);
        WriteStr(Value);
        return;
    }
    if (Value.size() > UINT32_MAX) throw EWriteError("String too long for form data");
    WriteValue(vaLString);
    WriteDWord(static_cast<std::uint32_t>(Value.size()));
    Write(Value.data(), static_cast<std::int64_t>(Value.size()));
}

void TWriter::WriteIdent(const AnsiString& Ident) {
    if (SameIdent(Ident, "False"))
        WriteValue(vaFalse);
    else if (SameIdent(Ident, "True"))
        WriteValue(vaTrue);
    else if (SameIdent(Ident, "nil"))
        WriteValue(vaNil);
    else if (SameIdent(Ident, "Null"))
        WriteValue(vaNull);
    else {
        WriteValue(vaIdent);
        WriteStr(Ident);
    }
}

void TWriter::WriteSet(const std::vector<AnsiString>& Names) {
    WriteValue(vaSet);
    for (const auto& N : Names) WriteStr(N);
    WriteStr({});
}

void TWriter::WriteBinary(const void* Data, std::uint32_t Count) {
    WriteValue(vaBinary);
    WriteDWord(Count);
    Write(Data, Count);
}

void TWriter::WriteHeader(TFilerFlags Flags, int ChildPos, const AnsiString& ClassName, const AnsiString& Name) {
    if (!Flags.Empty() || ClassName.empty() || ClassName.size() >= 0xF0) {
        WriteByte(static_cast<std::uint8_t>(0xF0 | (Flags.ToInt() & 0x0F)));
        if (Flags.Contains(ffChildPos)) WriteInteger(ChildPos);
    }
    WriteStr(ClassName);
    WriteStr(Name);
}

void TWriter::WritePropName(const AnsiString& Name) { WriteStr(FPropPath + Name); }

void TWriter::WriteRootComponent(TComponent* Root) {
    WriteSignature();
    FRoot = Root;
    WriteComponent(Root);
}

void TWriter::WriteComponent(TComponent* Component) {
    if (Component->ClassType()->TypeId() != typeid(*Component))
        throw EWriteError("Class %s does not declare its class information (TYPECASK_CLASS)",
                          {AnsiString(typeid(*Component).name())});
    if (!FRoot) FRoot = Component;
    Component->SetState(csWriting, true);
    try {
        Component->WriteState(this);
    } catch (...) {
        Component->SetState(csWriting, false);
        throw;
    }
    Component->SetState(csWriting, false);
}

void TWriter::WriteData(TComponent* Instance) {
    WriteHeader({}, 0, Instance->ClassName(), Instance->GetName());
    const AnsiString SavedPath = std::move(FPropPath);
    FPropPath.clear();
    WriteProperties(Instance);
    WriteListEnd();
    Instance->GetChildren([this](TComponent* Child) { WriteComponent(Child); }, FRoot);
    WriteListEnd();
    FPropPath = SavedPath;
}

void TWriter::WriteProperties(TPersistent* Instance) {
    for (const TPropInfo* Prop : Instance->ClassType()->Properties())
        if (Prop->IsStored(Instance)) WriteProperty(Instance, Prop);
    Instance->DefineProperties(this);
}

void TWriter::WriteProperty(TPersistent* Instance, const TPropInfo* Prop) {
    const TTypeInfo* T = Prop->Type;
    switch (T->Kind) {
        case tkInteger:
        case tkInt64: {
            const std::int64_t V = GetOrdProp(Instance, Prop);
            if (Prop->Default && *Prop->Default == V) return;
            WritePropName(Prop->Name);
            for (const auto& [Name, Value] : T->IntIdents())
                if (Value == V) return WriteIdent(Name);
            WriteInteger(V);
            return;
        }
        case tkEnumeration: {
            const std::int64_t V = GetOrdProp(Instance, Prop);
            if (Prop->Default && *Prop->Default == V) return;
            WritePropName(Prop->Name);
            if (T == BooleanTypeInfo())
                WriteBoolean(V != 0);
            else
                WriteIdent(GetEnumName(T, V));
            return;
        }
        case tkSet: {
            const std::int64_t V = GetOrdProp(Instance, Prop);
            if (Prop->Default && *Prop->Default == V) return;
            WritePropName(Prop->Name);
            std::vector<AnsiString> Names;
            for (std::size_t I = 0; I < T->Names().size(); ++I)
                if ((static_cast<std::uint64_t>(V) >> I) & 1u) Names.push_back(T->Names()[I]);
            WriteSet(Names);
            return;
        }
        case tkString: {
            const AnsiString V = GetStrProp(Instance, Prop);
            if (V.empty()) return;
            WritePropName(Prop->Name);
            WriteString(V);
            return;
        }
        case tkClass: {
            TObject* V = GetObjectProp(Instance, Prop);
            if (!V) return;
            auto* Component = dynamic_cast<TComponent*>(V);
            if (Component && !Component->ComponentState().Contains(csSubComponent)) {
                // A reference: the name, qualified when another root owns it.
                AnsiString Ref = Component->GetName();
                if (Ref.empty()) return;
                if (Component != FRoot && Component->Owner() && Component->Owner() != FRoot)
                    Ref = Component->Owner()->GetName() + "." + Ref;
                WritePropName(Prop->Name);
                WriteIdent(Ref);
                return;
            }
            if (auto* Sub = dynamic_cast<TPersistent*>(V)) {
                const AnsiString Saved = FPropPath;
                FPropPath += Prop->Name + ".";
                try {
                    WriteProperties(Sub);
                } catch (...) {
                    FPropPath = Saved;
                    throw;
                }
                FPropPath = Saved;
            }
            return;
        }
        case tkMethod: {
            const TMethod M = GetMethodProp(Instance, Prop);
            if (!M || M.Method->Name().empty()) return;
            WritePropName(Prop->Name);
            WriteIdent(M.Method->Name());
            return;
        }
    }
}

void TWriter::DefineProperty(const AnsiString& Name, const std::function<void(TReader*)>&,
                             const std::function<void(TWriter*)>& WriteData, bool HasData) {
    if (!HasData || !WriteData) return;
    WritePropName(Name);
    WriteData(this);
}

void TWriter::DefineBinaryProperty(const AnsiString& Name, const std::function<void(TStream*)>&,
                                   const std::function<void(TStream*)>& WriteData, bool HasData) {
    if (!HasData || !WriteData) return;
    TMemoryStream Data;
    WriteData(&Data);
    if (Data.GetSize() > UINT32_MAX) throw EWriteError("Binary property %s is larger than 4 GB", {Name});
    WritePropName(Name);
    WriteBinary(Data.GetMemory(), static_cast<std::uint32_t>(Data.GetSize()));
}

// ---------------------------------------------------------- stream helpers

void WriteComponentToStream(TStream* Stream, TComponent* Instance) {
    TWriter Writer(Stream);
    Writer.WriteRootComponent(Instance);
}

TComponent* ReadComponentFromStream(TStream* Stream, TComponent* Instance, const TReader::TReaderErrorEvent& OnError) {
    TReader Reader(Stream);
    if (OnError) Reader.SetOnError(OnError);
    return Reader.ReadRootComponent(Instance);
}
