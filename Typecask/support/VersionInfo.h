// TVersionInfo: the package's version values, read once from the version
// resource of the package's own file and published as twelve read-only texts.
#pragma once

#include <array>
#include <memory>

#include "platform/Persistent.h"

class TVersionInfo : public TPersistent {
    TYPECASK_CLASS(TVersionInfo, TPersistent)

public:
    // The published values; the ordinal is the property's index and the
    // position in FVersionFields.
    enum TVersionField {
        vfCompanyName,
        vfFileDescription,
        vfFileVersion,
        vfInternalName,
        vfLegalCopyright,
        vfLegalTrademarks,
        vfAuthor,
        vfOriginalFilename,
        vfProductName,
        vfProductVersion,
        vfComments,
        vfBuildFlags,
    };
    static constexpr int VersionFieldCount = vfBuildFlags + 1;

    // Reads the version resource of the package's own module file.
    TVersionInfo();
    // Reads the version resource of FileName (an ELF module or a .res file)
    // instead, as if it were the package's file.
    explicit TVersionInfo(const AnsiString& FileName);
    ~TVersionInfo() override;

    // One value computed from FVersionData: the key of the string block
    // "040904E4" for ordinals 0 to 10, the composed flags and file type for
    // vfBuildFlags; empty when there is no such value.
    AnsiString GetVersionFieldFromResource(TVersionField Field) const;
    // The cached value of the property Index; empty for any other index.
    AnsiString GetVersionField(int Index) const;
    // Accepts any value and keeps the cached one: the values are read-only.
    virtual void SetVersionField(int Index, AnsiString Value);

    // The raw block of GetFileVersionInfoA; nullptr when the file has no
    // version resource.
    const void* GetVersionData() const { return FVersionData.get(); }

private:
    void ReadVersionInfo(const AnsiString& FileName);

    std::unique_ptr<std::uint8_t[]> FVersionData;
    std::array<AnsiString, VersionFieldCount> FVersionFields;
};
