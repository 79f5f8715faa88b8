// The class library's exception base, message formatting, string resources
// and file helpers.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>

#include "platform/System.h"

// Base of every exception the class library and the package raise: a message
// text and a help context. Messages come either as text or as the id of a
// string resource, optionally formatted with an argument list.
class Exception : public std::exception {
public:
    explicit Exception(const AnsiString& Msg);
    explicit Exception(const char* Msg) : Exception(AnsiString(Msg)) {}
    Exception(const AnsiString& Msg, std::initializer_list<TVarRec> Args);
    // The string resource Ident (LoadStr), as it stands.
    explicit Exception(int Ident);
    // The string resource Ident formatted with Args (Format).
    Exception(int Ident, std::initializer_list<TVarRec> Args);

    Exception(const Exception&) = default;
    Exception& operator=(const Exception&) = default;
    ~Exception() override;

    const AnsiString& GetMessage() const { return FMessage; }
    void SetMessage(const AnsiString& Value) { FMessage = Value; }
    int GetHelpContext() const { return FHelpContext; }
    void SetHelpContext(int Value) { FHelpContext = Value; }

    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    AnsiString FMessage;
    int FHelpContext = 0;
};

// A format string and its arguments do not fit together.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A variant could not be converted to the kind asked for.
class EVariantError : public Exception {
public:
    using Exception::Exception;
};

// An allocation that the code asks for explicitly failed.
class EOutOfMemory : public Exception {
public:
    using Exception::Exception;
};

// An operating-system call failed; the message carries the system's reason.
class EOSError : public Exception {
public:
    EOSError(const AnsiString& Msg, int ErrorCode) : Exception(Msg), FErrorCode(ErrorCode) {}
    int GetErrorCode() const { return FErrorCode; }

private:
    int FErrorCode;
};

// Formats Fmt with Args. Format specifiers have the form
//   "%" [index ":"] ["-"] [width] ["." precision] type
// with type d (decimal), u (unsigned decimal), x (hexadecimal), s (text),
// c (character) and p (pointer); "%%" is a percent sign. A width or
// precision of "*" takes the next argument. Raises EConvertError when a
// specifier and its argument do not fit.
AnsiString Format(const AnsiString& Fmt, std::initializer_list<TVarRec> Args);
AnsiString Format(const AnsiString& Fmt, const TVarRec* Args, std::size_t Count);

// Letter case of the ASCII letters alone, as names (of classes, properties,
// resources, identifiers) compare; other bytes stay and compare as they are.
// CompareText orders as the bytes would with the letters in lower case.
AnsiString UpperCase(const AnsiString& S);
AnsiString LowerCase(const AnsiString& S);
// The same rule for one byte, for loops that compare as they go.
inline char UpperCase(char C) { return C >= 'a' && C <= 'z' ? static_cast<char>(C - 'a' + 'A') : C; }
inline char LowerCase(char C) { return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C; }
int CompareText(const AnsiString& A, const AnsiString& B);
bool SameText(const AnsiString& A, const AnsiString& B);

// Each byte of Bytes as two upper-case hex digits, one after the other.
AnsiString BytesToHex(const void* Bytes, std::size_t Count);

// String resources. LoadStr asks every registered source, newest first, for
// the string with the given id; an id no source has gives the empty string.
using TResStringSource = std::function<std::optional<AnsiString>(int Ident)>;
AnsiString LoadStr(int Ident);
// Registers a source of string resources; the result identifies it for
// RemoveResStringSource.
int AddResStringSource(TResStringSource Source);
void RemoveResStringSource(int Cookie);

// Paths and files.
#ifdef _WIN32
inline constexpr char PathDelim = '\\';
inline constexpr char DriveDelim = ':';
#else
inline constexpr char PathDelim = '/';
inline constexpr char DriveDelim = '\0';  // no drives on this platform
#endif

bool FileExists(const AnsiString& FileName);
// Deletes a file; false when it could not be deleted.
bool DeleteFile(const AnsiString& FileName);
// Removes an empty folder; false when it holds anything or cannot be removed.
bool RemoveDir(const AnsiString& Dir);
// A pointer to the last whole character of S (a multi-byte character counts
// as one), or nullptr for an empty string.
const char* AnsiLastChar(const AnsiString& S);
AnsiString IncludeTrailingPathDelimiter(const AnsiString& S);
AnsiString ExtractFilePath(const AnsiString& FileName);
AnsiString ExtractFileName(const AnsiString& FileName);
// The text of an operating-system error code, as the system words it.
AnsiString SysErrorMessage(int ErrorCode);
