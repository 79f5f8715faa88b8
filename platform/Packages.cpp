#include "platform/Packages.h"

#include <algorithm>
#include <cstring>
#include <exception>

// ------------------------------------------------------------ TPackageUnits

void TPackageUnits::Initialize() {
    if (FInitCount > 0) {
        ++FInitCount;
        return;
    }
    std::size_t Done = 0;
    try {
        for (; Done < FUnits.size(); ++Done)
            if (FUnits[Done].Initialization) FUnits[Done].Initialization();
    } catch (...) {
        while (Done-- > 0) {
            try {
                if (FUnits[Done].Finalization) FUnits[Done].Finalization();
            } catch (...) {
                // The initialisation's failure is the one to report.
            }
        }
        throw;
    }
    FInitCount = 1;
}

void TPackageUnits::Finalize() {
    if (FInitCount == 0) return;
    if (--FInitCount > 0) return;
    std::exception_ptr First;
    for (std::size_t I = FUnits.size(); I-- > 0;) {
        try {
            if (FUnits[I].Finalization) FUnits[I].Finalization();
        } catch (...) {
            if (!First) First = std::current_exception();
        }
    }
    if (First) std::rethrow_exception(First);
}

// ------------------------------------------------------------- the loader

namespace {

TPackageProc PackageProc(HMODULE Module, const char* Name) {
    return reinterpret_cast<TPackageProc>(GetProcAddress(Module, Name));
}

}  // namespace

HMODULE LoadPackage(const AnsiString& FileName) {
    HMODULE Module;
    try {
        Module = Os::LoadModule(FileName);
    } catch (const Exception& E) {
        throw EPackageError(Format("Cannot load package %s: %s", {FileName, E.GetMessage()}));
    }
    const TPackageProc Initialize = PackageProc(Module, "Initialize");
    if (!Initialize || !PackageProc(Module, "Finalize")) {
        FreeLibrary(Module);
        throw EPackageError(Format("%s is not a package: it has no Initialize and Finalize entries", {FileName}));
    }
    try {
        Initialize();
    } catch (...) {
        FreeLibrary(Module);
        throw;
    }
    return Module;
}

void UnloadPackage(HMODULE Module) {
    const TPackageProc Finalize = PackageProc(Module, "Finalize");
    if (!Finalize) throw EPackageError("UnloadPackage: the module is no package");
    struct TUnload {
        HMODULE Module;
        ~TUnload() { FreeLibrary(Module); }
    } Unload{Module};
    Finalize();
}

// --------------------------------------------------------- package records

namespace {

class TRecordReader {
public:
    TRecordReader(const Os::TResourceEntry& Entry, const char* Record)
        : FData(Entry.Data), FSize(Entry.Size), FRecord(Record) {}

    WORD Word() {
        if (FSize - FOffset < 2) Fail("truncated");
        const WORD Value = static_cast<WORD>(FData[FOffset] | (FData[FOffset + 1] << 8));
        FOffset += 2;
        return Value;
    }
    AnsiString Text() {
        const void* End = std::memchr(FData + FOffset, 0, FSize - FOffset);
        if (!End) Fail("unterminated name");
        const std::size_t Length = static_cast<std::size_t>(static_cast<const std::uint8_t*>(End) - (FData + FOffset));
        AnsiString Value(reinterpret_cast<const char*>(FData + FOffset), Length);
        FOffset += Length + 1;
        return Value;
    }
    [[noreturn]] void Fail(const char* What) const {
        throw EPackageError(Format("Malformed package record %s: %s", {FRecord, What}));
    }

private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FOffset = 0;
    const char* FRecord;
};

}  // namespace

TPackageInfo ReadPackageInfo(const Os::TResourceImage& Resources) {
    TPackageInfo Info;
    const auto* PackageInfo = Resources.Find(RT_RCDATA, "PACKAGEINFO");
    if (!PackageInfo) throw EPackageError("The module has no PACKAGEINFO record");
    TRecordReader Reader(*PackageInfo, "PACKAGEINFO");
    if (Reader.Word() != 1) Reader.Fail("unknown format version");
    for (WORD Count = Reader.Word(); Count > 0; --Count) Info.Requires.push_back(Reader.Text());
    for (WORD Count = Reader.Word(); Count > 0; --Count) {
        TPackageInfo::TUnit Unit;
        Unit.Flags = Reader.Word();
        Unit.Name = Reader.Text();
        Info.Contains.push_back(std::move(Unit));
    }
    if (const auto* Description = Resources.Find(RT_RCDATA, "DESCRIPTION")) {
        const auto* Text = reinterpret_cast<const char*>(Description->Data);
        Info.Description.assign(Text, std::find(Text, Text + Description->Size, '\0'));
    }
    if (const auto* Options = Resources.Find(RT_RCDATA, "PACKAGEOPTIONS")) {
        TRecordReader OptionsReader(*Options, "PACKAGEOPTIONS");
        if (OptionsReader.Word() != 1) OptionsReader.Fail("unknown format version");
        Info.Options = OptionsReader.Word();
    }
    return Info;
}

TPackageInfo GetPackageInfo(HMODULE Module) {
    const auto Resources = Os::GetModuleResources(Module);
    if (!Resources) throw EPackageError("The module has no resources");
    return ReadPackageInfo(*Resources);
}
