// The registry's store on POSIX: a SQLite database shared by every process
// of the user. Included only by the registry's own files.
//
// Layout: RegKey(Id, Parent, Name, Folded) holds the key tree (the four
// root keys have the ids 1 to 4 and parent 0); RegValue(Seq, KeyId, Name,
// Folded, Type, Data) the values. Folded is the upper-cased name that
// lookups compare, so that letter case is ignored and kept. The database
// runs in WAL mode with a busy timeout; every write is one BEGIN IMMEDIATE
// transaction, so concurrent writers queue instead of failing. Each opening
// checks the file's integrity and refuses a damaged one; a file the user may
// not write is opened for reading only.
#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/os/Windows.h"

namespace Os::Posix {

// Raised inside the registry and turned into the Win32 error code at the API
// boundary.
struct TRegError {
    LONG Code;
};

// What the last failure of the store said, for RegErrorText.
extern thread_local std::string StoreErrorText;

[[noreturn]] inline void Fail(LONG Code) { throw TRegError{Code}; }

[[noreturn]] void StoreFail(sqlite3* Db, LONG Code, const std::string& What);

inline constexpr int RootCount = 4;
inline constexpr const char* RootNames[RootCount] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                                     "HKEY_LOCAL_MACHINE", "HKEY_USERS"};

// A prepared statement, finalised on every path.
class TStatement {
public:
    TStatement(sqlite3* Db, const char* Sql) : FDb(Db) {
        if (sqlite3_prepare_v2(Db, Sql, -1, &FStmt, nullptr) != SQLITE_OK) StoreFail(Db, ERROR_CANTREAD, "prepare");
    }
    ~TStatement() { sqlite3_finalize(FStmt); }
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    TStatement& Bind(int Index, std::int64_t Value) {
        sqlite3_bind_int64(FStmt, Index, Value);
        return *this;
    }
    TStatement& Bind(int Index, const std::string& Value) {
        sqlite3_bind_text(FStmt, Index, Value.data(), static_cast<int>(Value.size()), SQLITE_TRANSIENT);
        return *this;
    }
    TStatement& BindBlob(int Index, const std::string& Value) {
        sqlite3_bind_blob(FStmt, Index, Value.data(), static_cast<int>(Value.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // True while there is a row.
    bool Step() {
        const int Rc = sqlite3_step(FStmt);
        if (Rc == SQLITE_ROW) return true;
        if (Rc == SQLITE_DONE) return false;
        StoreFail(FDb, ERROR_CANTREAD, "query");
    }
    void Run() {
        const int Rc = sqlite3_step(FStmt);
        if (Rc != SQLITE_DONE && Rc != SQLITE_ROW) StoreFail(FDb, ERROR_CANTWRITE, "write");
    }
    std::int64_t Int(int Column) { return sqlite3_column_int64(FStmt, Column); }
    std::string Text(int Column) {
        const auto* P = static_cast<const char*>(sqlite3_column_blob(FStmt, Column));
        return P ? std::string(P, static_cast<std::size_t>(sqlite3_column_bytes(FStmt, Column))) : std::string();
    }

private:
    sqlite3* FDb;
    sqlite3_stmt* FStmt = nullptr;
};

// One connection to the database file.
class TStore {
public:
    explicit TStore(const std::string& FileName);
    ~TStore();
    TStore(const TStore&) = delete;
    TStore& operator=(const TStore&) = delete;

    pid_t Owner() const { return FPid; }
    sqlite3* Db() const { return FDb; }

    void Exec(const char* Sql, LONG Code) {
        if (sqlite3_exec(FDb, Sql, nullptr, nullptr, nullptr) != SQLITE_OK) StoreFail(FDb, Code, Sql);
    }
    void Begin() { Exec("BEGIN IMMEDIATE", ERROR_CANTWRITE); }
    void Commit() { Exec("COMMIT", ERROR_CANTWRITE); }
    void Rollback() noexcept { sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr); }

    std::optional<std::int64_t> FindChild(std::int64_t Parent, const std::string& Folded);
    bool KeyExists(std::int64_t Id);
    std::int64_t CreateChild(std::int64_t Parent, const std::string& Name);

private:
    void Open(const std::string& Name, int Flags);
    static std::string UriOf(const std::string& FileName);
    std::int64_t StoreFormat();
    void CreateSchema();
    void CheckIntegrity(const std::string& FileName);

    sqlite3* FDb = nullptr;
    pid_t FPid;
};

// A write transaction: committed by Commit, rolled back otherwise.
class TTransaction {
public:
    explicit TTransaction(TStore& Store) : FStore(Store) { FStore.Begin(); }
    ~TTransaction() {
        if (!FDone) FStore.Rollback();
    }
    void Commit() {
        FStore.Commit();
        FDone = true;
    }

private:
    TStore& FStore;
    bool FDone = false;
};

}  // namespace Os::Posix
