// The registry's store: opening and checking the database, its schema and
// the key lookups the registry's functions build on (RegistryStore.h).
#include "platform/os/posix/RegistryStore.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/SysUtils.h"
#include "platform/os/posix/OsState.h"

namespace Os::Posix {

thread_local std::string StoreErrorText;

[[noreturn]] void StoreFail(sqlite3* Db, LONG Code, const std::string& What) {
    StoreErrorText = What + ": " + (Db ? sqlite3_errmsg(Db) : "out of memory");
    if (Db) {
        const int Rc = sqlite3_errcode(Db);
        if (Rc == SQLITE_NOTADB || Rc == SQLITE_CORRUPT) Code = ERROR_BADDB;
    }
    Fail(Code);
}

TStore::TStore(const std::string& FileName) : FPid(::getpid()) {
    try {
        const auto Slash = FileName.rfind('/');
        if (Slash != std::string::npos && Slash > 0) ForceFolders(FileName.substr(0, Slash), 0700);
    } catch (const EOSError& E) {
        StoreErrorText = E.GetMessage();
        Fail(ERROR_CANTOPEN);
    }
    // A store the user may not write is opened for reading: its values
    // can be read, every write reports that it is read-only.
    const bool ReadOnly = ::access(FileName.c_str(), F_OK) == 0 && ::access(FileName.c_str(), W_OK) != 0;
    const int Flags = ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    Open(FileName, Flags);
    if (ReadOnly && sqlite3_exec(FDb, "PRAGMA schema_version", nullptr, nullptr, nullptr) != SQLITE_OK) {
        // The journal's shared-memory file cannot be made beside a store
        // in a folder we may not write either: then nobody here writes
        // the store, and it is read as it lies.
        sqlite3_close(FDb);
        FDb = nullptr;
        Open(UriOf(FileName) + "?immutable=1", SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
    }
    try {
        // Before any statement: another process may be creating the
        // store, its schema or its journal at this very moment.
        sqlite3_busy_timeout(FDb, 15000);
        if (!ReadOnly) {
            Exec("PRAGMA journal_mode=WAL", ERROR_CANTOPEN);
            Exec("PRAGMA synchronous=FULL", ERROR_CANTOPEN);
        }
        CheckIntegrity(FileName);
        const std::int64_t Format = StoreFormat();
        if (Format > 1) {
            StoreErrorText = FileName + ": written by a newer version (format " + std::to_string(Format) + ")";
            Fail(ERROR_BADDB);
        }
        if (Format < 1 && ReadOnly) {
            StoreErrorText = FileName + ": read-only and holds no registry";
            Fail(ERROR_BADDB);
        }
        if (Format < 1) CreateSchema();
    } catch (...) {
        sqlite3_close(FDb);
        throw;
    }
}

TStore::~TStore() {
    // A connection inherited through fork belongs to the parent; the
    // child leaves it alone.
    if (FPid == ::getpid()) sqlite3_close(FDb);
}

std::optional<std::int64_t> TStore::FindChild(std::int64_t Parent, const std::string& Folded) {
    TStatement S(FDb, "SELECT Id FROM RegKey WHERE Parent = ? AND Folded = ?");
    S.Bind(1, Parent).Bind(2, Folded);
    if (S.Step()) return S.Int(0);
    return std::nullopt;
}

bool TStore::KeyExists(std::int64_t Id) {
    TStatement S(FDb, "SELECT 1 FROM RegKey WHERE Id = ?");
    S.Bind(1, Id);
    return S.Step();
}

std::int64_t TStore::CreateChild(std::int64_t Parent, const std::string& Name) {
    TStatement(FDb, "INSERT INTO RegKey(Parent, Name, Folded) VALUES(?, ?, ?)")
        .Bind(1, Parent)
        .Bind(2, Name)
        .Bind(3, FoldCase(Name))
        .Run();
    return sqlite3_last_insert_rowid(FDb);
}

void TStore::Open(const std::string& Name, int Flags) {
    if (sqlite3_open_v2(Name.c_str(), &FDb, Flags, nullptr) == SQLITE_OK) return;
    StoreErrorText = Name + ": " + (FDb ? sqlite3_errmsg(FDb) : "cannot open");
    sqlite3_close(FDb);
    FDb = nullptr;
    Fail(ERROR_CANTOPEN);
}

// FileName (absolute) as a "file:" URI.
std::string TStore::UriOf(const std::string& FileName) {
    std::string Uri = "file:";
    for (const char C : FileName) {
        if (C == '%' || C == '?' || C == '#') Uri += "%" + BytesToHex(&C, 1);
        else Uri += C;
    }
    return Uri;
}

// The format number the store carries (0 for a new one). The statement
// ends before anything else runs: while it is open the connection holds
// a read transaction, and a write transaction begun on top of it fails
// at once with "database is locked" when another process writes,
// without waiting.
std::int64_t TStore::StoreFormat() {
    TStatement Version(FDb, "PRAGMA user_version");
    return Version.Step() ? Version.Int(0) : 0;
}

// The schema in one write transaction; a second process doing the same
// at the same moment waits for it and then finds nothing left to do.
void TStore::CreateSchema() {
    Begin();
    try {
        Exec("CREATE TABLE IF NOT EXISTS RegKey(Id INTEGER PRIMARY KEY, Parent INTEGER NOT NULL, "
             "Name TEXT NOT NULL, Folded TEXT NOT NULL, UNIQUE(Parent, Folded))",
             ERROR_CANTWRITE);
        Exec("CREATE TABLE IF NOT EXISTS RegValue(Seq INTEGER PRIMARY KEY, KeyId INTEGER NOT NULL, "
             "Name TEXT NOT NULL, Folded TEXT NOT NULL, Type INTEGER NOT NULL, Data BLOB NOT NULL, "
             "UNIQUE(KeyId, Folded))",
             ERROR_CANTWRITE);
        for (int I = 0; I < RootCount; ++I)
            TStatement(FDb, "INSERT OR IGNORE INTO RegKey(Id, Parent, Name, Folded) VALUES(?, 0, ?, ?)")
                .Bind(1, I + 1)
                .Bind(2, RootNames[I])
                .Bind(3, RootNames[I])
                .Run();
        Exec("PRAGMA user_version=1", ERROR_CANTWRITE);
        Commit();
    } catch (...) {
        Rollback();
        throw;
    }
}

// A damaged file (cut short, overwritten in part) can still open and
// answer some queries wrongly: an index that disagrees with its table
// shows a value that a lookup then misses. The quick check reads every
// page once, which is cheap at the size of a registry. The file is
// written in whole pages, so a size that is not one means it was cut
// short (or added to), however sound the pages left look.
void TStore::CheckIntegrity(const std::string& FileName) {
    std::string Damage;
    {
        TStatement Check(FDb, "PRAGMA quick_check");
        if (Check.Step() && Check.Text(0) != "ok") Damage = Check.Text(0);
    }
    if (Damage.empty()) {
        TStatement PageSize(FDb, "PRAGMA page_size");
        const std::int64_t Page = PageSize.Step() ? PageSize.Int(0) : 0;
        struct stat St;
        if (Page > 0 && ::stat(FileName.c_str(), &St) == 0 && St.st_size % Page != 0)
            Damage = "its " + std::to_string(St.st_size) + " bytes are no whole number of " +
                     std::to_string(Page) + "-byte pages: it was cut short";
    }
    if (Damage.empty()) return;
    StoreErrorText = FileName + ": the store is damaged (" + Damage + ")";
    Fail(ERROR_BADDB);
}

}  // namespace Os::Posix
