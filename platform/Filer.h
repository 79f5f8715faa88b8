// Form data: the binary format in which components and their properties are
// streamed, with its reader and writer.
//
// A form starts with the signature "TPF0", then one component: an optional
// flags byte (0xF0 | flags, followed by an integer when ffChildPos is set),
// the class name and the component name as short strings (a length byte and
// the bytes), the properties (a short-string name, dotted for the properties
// of sub-objects, then a value) ended by an empty name, the child components
// in the same form, and a 0 byte that ends the list of children. A value is a
// TValueType byte followed by its data, little-endian.
#pragma once

#include <cstdint>
#include <functional>
#include <iterator>
#include <vector>

#include "platform/Component.h"
#include "platform/Streams.h"

enum TValueType : std::uint8_t {
    vaNull,
    vaList,
    vaInt8,
    vaInt16,
    vaInt32,
    vaExtended,
    vaString,
    vaIdent,
    vaFalse,
    vaTrue,
    vaBinary,
    vaSet,
    vaLString,
    vaNil,
    vaCollection,
    vaSingle,
    vaCurrency,
    vaDate,
    vaWString,
    vaInt64,
    vaUTF8String,
    vaUString,
    vaQWord,
    vaDouble,
};
TYPECASK_ENUM(TValueType, vaNull, vaList, vaInt8, vaInt16, vaInt32, vaExtended, vaString, vaIdent, vaFalse, vaTrue,
              vaBinary, vaSet, vaLString, vaNil, vaCollection, vaSingle, vaCurrency, vaDate, vaWString, vaInt64,
              vaUTF8String, vaUString, vaQWord, vaDouble)

// How the payload that follows a value's type byte is sized.
enum TPayloadKind : std::uint8_t {
    pkNone,         // nothing follows
    pkFixed,        // Size bytes
    pkShortString,  // a length byte, then that many bytes
    pkCounted,      // a 4-byte count, then that many units of Size bytes
    pkNames,        // short strings up to an empty one
    pkValues,       // values up to vaNull
    pkItems,        // collection items up to vaNull: each an optional vaInt8,
                    // vaInt16 or vaInt32 index, then a list of properties
};

struct TValuePayload {
    TValueType Type;
    TPayloadKind Kind;
    std::uint8_t Size;  // pkFixed: the payload's bytes; pkCounted: one unit's
    bool Text;          // a string value, which ReadString takes
};

// Every value type's payload, in the order of TValueType: the one place that
// knows how long a value is.
inline constexpr TValuePayload ValuePayloads[] = {
    {vaNull, pkNone, 0, false},          {vaList, pkValues, 0, false},
    {vaInt8, pkFixed, 1, false},         {vaInt16, pkFixed, 2, false},
    {vaInt32, pkFixed, 4, false},        {vaExtended, pkFixed, 10, false},
    {vaString, pkShortString, 1, true},  {vaIdent, pkShortString, 1, false},
    {vaFalse, pkNone, 0, false},         {vaTrue, pkNone, 0, false},
    {vaBinary, pkCounted, 1, false},     {vaSet, pkNames, 0, false},
    {vaLString, pkCounted, 1, true},     {vaNil, pkNone, 0, false},
    {vaCollection, pkItems, 0, false},   {vaSingle, pkFixed, 4, false},
    {vaCurrency, pkFixed, 8, false},     {vaDate, pkFixed, 8, false},
    {vaWString, pkCounted, 2, true},     {vaInt64, pkFixed, 8, false},
    {vaUTF8String, pkCounted, 1, true},  {vaUString, pkCounted, 2, true},
    {vaQWord, pkFixed, 8, false},        {vaDouble, pkFixed, 8, false},
};
static_assert(std::size(ValuePayloads) == vaDouble + 1);
static_assert([] {
    for (std::size_t I = 0; I < std::size(ValuePayloads); ++I)
        if (ValuePayloads[I].Type != I) return false;
    return true;
}());

// The longest payload of fixed size (vaExtended's).
inline constexpr std::size_t MaxFixedPayload = 10;

constexpr const TValuePayload& GetValuePayload(TValueType V) { return ValuePayloads[V]; }

// A value of fixed size as stored: its type and its payload, little-endian.
struct TFixedValue {
    TValueType Type;
    std::uint8_t Bytes[MaxFixedPayload];
    // The payload's first eight bytes (all of them but vaExtended's) as a
    // number.
    std::uint64_t Bits() const;
};

// The flags that may precede a component's header.
enum TFilerFlag { ffInherited, ffChildPos, ffInline };
TYPECASK_ENUM(TFilerFlag, ffInherited, ffChildPos, ffInline)
using TFilerFlags = TSet<TFilerFlag>;

inline constexpr char FilerSignature[4] = {'T', 'P', 'F', '0'};

// The longest short string, whose length is one byte: a name (of a class, a
// component, a property or an identifier), or the text of a vaString.
inline constexpr std::size_t MaxShortString = 255;

class TReader;
class TFormWalker;

// A component's header: the flags prefix, the class name and the name.
struct TComponentHeader {
    TFilerFlags Flags;
    int ChildPos = 0;
    AnsiString ClassName;
    AnsiString Name;
};

// How deep components, lists and values may nest in form data, binary or
// text. Every reader of form data refuses deeper data rather than let it
// exhaust the stack.
constexpr int FilerNestingLimit = 200;
// Raises EReadError ("Invalid stream format: values nest more than 200
// deep") when Depth passes FilerNestingLimit.
void CheckFilerNesting(int Depth);
class TWriter;

// The part that readers and writers share: the stream, the root component
// and the declaration of values beyond the published properties.
class TFiler {
public:
    explicit TFiler(TStream* Stream) : FStream(Stream) {}
    TFiler(const TFiler&) = delete;
    TFiler& operator=(const TFiler&) = delete;
    virtual ~TFiler();

    // A value of the instance's own making, read and written with the
    // filer's value operations. HasData false: nothing is written.
    virtual void DefineProperty(const AnsiString& Name, const std::function<void(TReader*)>& ReadData,
                                const std::function<void(TWriter*)>& WriteData, bool HasData) = 0;
    // A binary value: the reader gets a stream holding exactly the bytes
    // that the writer appended to its stream.
    virtual void DefineBinaryProperty(const AnsiString& Name, const std::function<void(TStream*)>& ReadData,
                                      const std::function<void(TStream*)>& WriteData, bool HasData) = 0;
    // The same with member functions of Instance.
    template <class C>
    void DefineBinaryProperty(const AnsiString& Name, C* Instance, void (C::*ReadData)(TStream*),
                              void (C::*WriteData)(TStream*), bool HasData) {
        DefineBinaryProperty(
            Name, [=](TStream* S) { (Instance->*ReadData)(S); }, [=](TStream* S) { (Instance->*WriteData)(S); },
            HasData);
    }

    TStream* Stream() const { return FStream; }
    // The component that owns the form being streamed.
    TComponent* Root() const { return FRoot; }

protected:
    TStream* FStream;
    TComponent* FRoot = nullptr;
};

// ------------------------------------------------------------------ reader

class TReader : public TFiler {
public:
    // Called for each error while a property or component is read. Setting
    // Handled skips the property (or component) and reading goes on; left
    // false, the error passes out of the reader.
    using TReaderErrorEvent = std::function<void(TReader* Reader, const Exception& E, bool& Handled)>;

    explicit TReader(TStream* Stream);
    ~TReader() override;

    void SetOnError(TReaderErrorEvent Handler) { FOnError = std::move(Handler); }

    // Reads a whole form: the signature, then the root component into Root
    // (which keeps its identity; the class name in the data is not checked),
    // or into a new component of the class the data names when Root is null.
    // Child components are created through the class registry with Root as
    // their owner. Once everything is read, component references are
    // resolved and every component read gets Loaded, in reading order.
    TComponent* ReadRootComponent(TComponent* Root);
    // Reads one child component (its header, properties and children) owned
    // by Root, inside Parent. Returns nullptr when an error was handled and
    // the component skipped.
    TComponent* ReadComponent(TComponent* Parent);
    // The properties and children of Instance (after its header).
    void ReadData(TComponent* Instance);

    void ReadSignature();
    // The flags prefix of a component header, if there is one.
    void ReadPrefix(TFilerFlags& Flags, int& ChildPos);
    // A component's whole header.
    TComponentHeader ReadComponentHeader();

    // Value operations, for DefineProperty readers and converters. Each
    // raises EReadError naming what it expected and what it found.
    TValueType ReadValue();
    TValueType NextValue();
    // True when the next byte ends a list (of values, properties or
    // components); nothing is consumed.
    bool EndOfList();
    void ReadListBegin();
    void ReadListEnd();
    std::int32_t ReadInteger();
    std::int64_t ReadInt64();
    // Any value of fixed size (pkFixed): integers, floats, currency, dates.
    TFixedValue ReadFixed();
    bool ReadBoolean();
    // vaString, vaLString, vaUTF8String as they are; vaWString and vaUString
    // converted to UTF-8 (an unpaired surrogate becomes U+FFFD).
    AnsiString ReadString();
    // Any string value as UTF-16 units: vaWString and vaUString exactly as
    // stored, the others decoded as UTF-8 (malformed pieces become U+FFFD).
    std::u16string ReadWideString();
    // vaIdent, and the identifiers False, True, nil and Null.
    AnsiString ReadIdent();
    // A short string (length byte and bytes), as names are stored.
    AnsiString ReadStr();
    // The set elements after vaSet, up to the empty name.
    std::vector<AnsiString> ReadSetNames();
    // A vaSet value: its elements.
    std::vector<AnsiString> ReadSet();
    // The bytes of a vaBinary value (after the type byte) into Dest.
    void ReadBinaryData(TStream* Dest);
    // A vaBinary value: its bytes into Dest.
    void ReadBinary(TStream* Dest);
    // Count bytes into Buffer.
    void Read(void* Buffer, std::int64_t Count);
    // The raw data of the value whose type was just read.
    std::uint8_t ReadByte();
    std::uint32_t ReadDWord();
    std::uint64_t ReadQWord();
    // Reads past one value of any kind.
    void SkipValue();
    // Reads past one property (name and value) or one component.
    void SkipProperty();
    void SkipComponent(bool SkipHeader);

    TComponent* Owner() const { return FOwner; }
    TComponent* Parent() const { return FParent; }

    void DefineProperty(const AnsiString& Name, const std::function<void(TReader*)>& ReadData,
                        const std::function<void(TWriter*)>& WriteData, bool HasData) override;
    void DefineBinaryProperty(const AnsiString& Name, const std::function<void(TStream*)>& ReadData,
                              const std::function<void(TStream*)>& WriteData, bool HasData) override;
    using TFiler::DefineBinaryProperty;

    // Bytes left in the stream, or -1 when the stream cannot tell.
    std::int64_t Remaining();
    // Checks that Count bytes can still be there before they are allocated.
    void CheckAvailable(std::uint64_t Count, const char* What);

private:
    friend class TFormWalker;
    struct TFixup {
        TPersistent* Instance;
        const TPropInfo* Prop;
        AnsiString Reference;
        AnsiString Where;
    };
    struct TLoadedEntry {
        TComponent* Component;
        bool Created;
    };

    void ReadProperty(TPersistent* Instance);
    void ReadPropValue(TPersistent* Instance, const TPropInfo* Prop);
    void ResolveFixups();
    // Runs the error handler; false when the error is not handled.
    bool HandleError(const Exception& E);
    [[noreturn]] void ValueError(const char* Expected, TValueType Found);
    AnsiString Where() const;
    void Enter(int& Depth);
    // The bytes of a string value, whose type V it reads first.
    AnsiString ReadStringBytes(TValueType& V);
    // The payload of the value whose type V was just read.
    TFixedValue ReadFixedPayload(TValueType V);
    void SkipPayload(TValueType V);
    void SkipBytes(std::uint64_t Count);

    TReaderErrorEvent FOnError;
    TComponent* FOwner = nullptr;
    TComponent* FParent = nullptr;
    std::vector<TLoadedEntry> FLoaded;
    std::vector<TFixup> FFixups;
    AnsiString FPropName;      // the name DefineProperties is asked about
    AnsiString FPropPath;      // the full (dotted) name of the property being read
    AnsiString FComponentName; // the component being read
    std::int64_t FSize = -1;
    int FDepth = 0;
    const Exception* FLastOffered = nullptr;
};

// ------------------------------------------------------------------ walker

// One walk over binary form data, a step at a time in the order of the data:
// a component's header, its properties (each a name, then its value), the
// end of its properties, its child components and the end of them; inside a
// list its values and the end of the list; inside a collection each item
// (its properties and the end of them) and the end of the collection.
//
// At a value the reader stands at its type byte. The caller may read the
// value whole with one of the reader's value operations (SkipValue
// included); what it leaves, the next step goes into (a list or a
// collection) or past (anything else). Nesting counts on from the reader's
// own depth, each component (but a whole form's root), each value and each
// value inside an item one deeper than what holds it, and is bounded by
// FilerNestingLimit, as the reader bounds it.
class TFormWalker {
public:
    enum TStart {
        fsForm,       // the signature and the root component
        fsComponent,  // a component's header and what follows it
        fsData,       // a component's properties and children, after its header
        fsValue,      // one value
    };
    enum TStep { fwStart, fwComponent, fwProperty, fwValue, fwItem, fwEndOfList, fwDone };
    // The lists that an fwEndOfList ends.
    enum TList { flProperties, flComponents, flValues, flItems, flItemProperties };

    TFormWalker(TReader& Reader, TStart Start);
    TFormWalker(const TFormWalker&) = delete;
    TFormWalker& operator=(const TFormWalker&) = delete;
    ~TFormWalker();

    // Reads on to the next step; fwDone once the component or value that the
    // walk started at is read.
    TStep Next();

    // fwComponent: the header.
    const TComponentHeader& Header() const { return FHeader; }
    // fwProperty: the (dotted) name.
    const AnsiString& PropName() const { return FPropName; }
    // fwValue: its type.
    TValueType ValueType() const { return FValueType; }
    // fwItem: whether it has an index, and which.
    bool HasIndex() const { return FHasIndex; }
    std::int32_t Index() const { return FIndex; }
    // fwEndOfList: which list ended.
    TList Ended() const { return FEnded; }

private:
    struct TLevel {
        TList List;
        int Depth;
    };

    TStep Component(int Depth);
    TStep Value(int Depth);
    TStep EndOfList(TList Ended);
    int Depth() const { return FLevels.empty() ? FBaseDepth : FLevels.back().Depth; }
    void Push(TList List, int Depth);

    TReader& FReader;
    const TStart FStart;
    const int FBaseDepth;
    std::vector<TLevel> FLevels;
    TStep FStep = fwStart;
    TComponentHeader FHeader;
    AnsiString FPropName;
    TValueType FValueType = vaNull;
    int FValueDepth = 0;
    std::int64_t FValueStart = 0;
    bool FHasIndex = false;
    std::int32_t FIndex = 0;
    TList FEnded = flProperties;
};

// ------------------------------------------------------------------ writer

class TWriter : public TFiler {
public:
    explicit TWriter(TStream* Stream) : TFiler(Stream) {}
    ~TWriter() override;

    // The signature and Root with everything below it.
    void WriteRootComponent(TComponent* Root);
    // One component with its properties and children.
    void WriteComponent(TComponent* Component);
    // The properties and children of Instance (after its header).
    void WriteData(TComponent* Instance);
    // The published and defined properties of Instance, each under the
    // current property path.
    void WriteProperties(TPersistent* Instance);

    void WriteSignature();
    // A component's header: the flags prefix when there are flags, its class
    // name and its name. An empty class name, or one of 240 bytes or more,
    // gets a prefix even without flags: its length byte alone would read as
    // the end of a list or as a prefix.
    void WriteHeader(TFilerFlags Flags, int ChildPos, const AnsiString& ClassName, const AnsiString& Name);
    void WriteValue(TValueType Value);
    void WriteListBegin() { WriteValue(vaList); }
    void WriteListEnd() { WriteValue(vaNull); }
    // The smallest of vaInt8, vaInt16, vaInt32 and vaInt64 that holds Value.
    void WriteInteger(std::int64_t Value);
    void WriteBoolean(bool Value) { WriteValue(Value ? vaTrue : vaFalse); }
    // vaString up to MaxShortString bytes, vaLString beyond.
    void WriteString(const AnsiString& Value);
    // vaFalse, vaTrue and vaNil for those identifiers, vaIdent otherwise.
    void WriteIdent(const AnsiString& Ident);
    // A short string; raises EWriteError beyond MaxShortString bytes.
    void WriteStr(const AnsiString& Value);
    void WriteSet(const std::vector<AnsiString>& Names);
    void WriteBinary(const void* Data, std::uint32_t Count);
    void Write(const void* Buffer, std::int64_t Count) { FStream->WriteBuffer(Buffer, Count); }
    void WriteByte(std::uint8_t Value) { Write(&Value, 1); }
    void WriteDWord(std::uint32_t Value);
    void WriteQWord(std::uint64_t Value);
    // A property name under the current path.
    void WritePropName(const AnsiString& Name);

    void DefineProperty(const AnsiString& Name, const std::function<void(TReader*)>& ReadData,
                        const std::function<void(TWriter*)>& WriteData, bool HasData) override;
    void DefineBinaryProperty(const AnsiString& Name, const std::function<void(TStream*)>& ReadData,
                              const std::function<void(TStream*)>& WriteData, bool HasData) override;
    using TFiler::DefineBinaryProperty;

private:
    void WriteProperty(TPersistent* Instance, const TPropInfo* Prop);

    AnsiString FPropPath;
};

// ---------------------------------------------------------- stream helpers

// Writes Instance with everything it owns as form data at Stream's position.
void WriteComponentToStream(TStream* Stream, TComponent* Instance);
// Reads form data from Stream's position into Instance (or a new component
// of the class the data names, when Instance is null) and returns it.
// OnError, when given, may handle property errors.
TComponent* ReadComponentFromStream(TStream* Stream, TComponent* Instance,
                                    const TReader::TReaderErrorEvent& OnError = {});
