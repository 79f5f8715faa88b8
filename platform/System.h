// Basic types of the class library: the 8-bit string and the loosely typed
// values that formatted messages take.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

// The class library's 8-bit string in the system's ANSI code page. On Linux
// that code page is UTF-8, so every byte sequence the OS hands us fits.
using AnsiString = std::string;

// A value of one of the kinds that messages are formatted with: nothing, an
// integer or a text. It converts between the two the way the class library's
// variants do (a numeric text reads as an integer, an integer as its digits).
class Variant {
public:
    Variant() = default;
    Variant(int Value) : FValue(static_cast<std::int64_t>(Value)) {}
    Variant(std::int64_t Value) : FValue(Value) {}
    Variant(AnsiString Value) : FValue(std::move(Value)) {}
    Variant(const char* Value) : FValue(AnsiString(Value)) {}

    bool IsEmpty() const { return std::holds_alternative<std::monostate>(FValue); }
    bool IsInteger() const { return std::holds_alternative<std::int64_t>(FValue); }
    bool IsString() const { return std::holds_alternative<AnsiString>(FValue); }

    // The value as text: digits for an integer, empty for nothing.
    AnsiString AsString() const;
    // The value as an integer. Raises EVariantError for a text that is not a
    // decimal integer.
    std::int64_t AsInteger() const;

    bool operator==(const Variant&) const = default;

private:
    std::variant<std::monostate, std::int64_t, AnsiString> FValue;
};

// One entry of an argument list for Format: an integer, a text, a character,
// a pointer or a variant. Built implicitly from the values a caller passes.
class TVarRec {
public:
    enum TKind { vtInteger, vtString, vtChar, vtPointer, vtVariant };

    TVarRec(int Value) : FKind(vtInteger), FInteger(Value) {}
    TVarRec(long Value) : FKind(vtInteger), FInteger(Value) {}
    TVarRec(long long Value) : FKind(vtInteger), FInteger(Value) {}
    TVarRec(unsigned Value) : FKind(vtInteger), FInteger(Value) {}
    TVarRec(unsigned long Value) : FKind(vtInteger), FInteger(static_cast<std::int64_t>(Value)) {}
    TVarRec(unsigned long long Value) : FKind(vtInteger), FInteger(static_cast<std::int64_t>(Value)) {}
    TVarRec(char Value) : FKind(vtChar), FString(1, Value) {}
    TVarRec(const char* Value) : FKind(vtString), FString(Value ? Value : "") {}
    TVarRec(const AnsiString& Value) : FKind(vtString), FString(Value) {}
    TVarRec(const void* Value) : FKind(vtPointer), FPointer(Value) {}
    TVarRec(const Variant& Value) : FKind(vtVariant), FVariant(Value) {}

    TKind Kind() const { return FKind; }
    std::int64_t Integer() const { return FInteger; }
    const AnsiString& String() const { return FString; }
    const void* Pointer() const { return FPointer; }
    const Variant& AsVariant() const { return FVariant; }

private:
    TKind FKind;
    std::int64_t FInteger = 0;
    AnsiString FString;
    const void* FPointer = nullptr;
    Variant FVariant;
};
