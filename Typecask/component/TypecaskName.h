// The font-name object, the unit's string constants and the lookup of a
// TrueType family's font file through the registered fonts.
#pragma once

#include <vector>

#include "platform/Classes.h"
#include "platform/os/FontFiles.h"

struct TFontsKeyValues;

// The unit's string constants: built by the unit's initialisation (in this
// order) and released by its finalisation.
extern AnsiString FontsKey;          // under HKEY_LOCAL_MACHINE: the registered fonts
extern AnsiString ShellFoldersKey;   // under HKEY_USERS: names the Fonts folder
extern AnsiString FontsValue;        // value name under ShellFoldersKey
extern AnsiString TrueTypeSuffix;    // appended to a family name to name its value under FontsKey
extern AnsiString FontFileExt;       // extension of the font files written for installation
extern AnsiString FontsSubdir;       // appended to the Windows directory when the registry names no Fonts folder
extern AnsiString BackslashText;     // the path delimiter of file paths
extern AnsiString AboutPropName;     // property names used by the editors and their registration
extern AnsiString FontNamePropName;

// The key of the registered fonts on this system: FontsKey, or on a system of
// the NT line (which has no FontsKey) the NT line's own key.
AnsiString GetFontsKey();

// Whether Family + FontFileExt names a plain file inside a folder: no
// delimiters of either kind, drive or stream colons, control characters,
// "." or "..", nor a name that is empty once the trailing dots and blanks
// some file systems drop are gone.
bool IsSafeFontFileName(const AnsiString& Family);

void InitializeTypecaskConstants();
void FinalizeTypecaskConstants();

// Holds the TrueType family name chosen for a TTypecask, tells its owner when
// the name changes and resolves the name to its font file.
class TTypecaskName : public TPersistent {
    TYPECASK_CLASS(TTypecaskName, TPersistent)

public:
    // Owner receives the change notification when it is a TTypecask.
    explicit TTypecaskName(TComponent* AOwner);
    ~TTypecaskName() override;

    // Copies the family name of another TTypecaskName (through
    // SetTTFontName); any other source changes nothing.
    void Assign(TPersistent* Source) override;
    // Stores the name and, when it changed, notifies the owner.
    virtual void SetTTFontName(AnsiString Value);
    // The font file of the current family name (FindTTFontFile).
    virtual AnsiString GetTTFontFileName();

    const AnsiString& GetTTFontName() const { return FFamilyName; }

    // The font file registered for FamilyName: the registry value named
    // FamilyName + " (TrueType)" under GetFontsKey() (else the value of the
    // face closest to regular that the family's file declares), the user's
    // values under HKEY_CURRENT_USER before the machine's under
    // HKEY_LOCAL_MACHINE; a bare file name is taken from the Fonts folder,
    // a path as it is. Empty for an empty name. Raises ETypecask 2 when the
    // family is not registered, 3 when its file does not exist.
    AnsiString FindTTFontFile(AnsiString FamilyName) const;
    // The same with the Fonts key's values read beforehand (nullptr: read
    // now), for the lookups of many families.
    AnsiString FindTTFontFile(AnsiString FamilyName, const TFontsKeyValues* Values) const;

    // Exact, case-sensitive comparison of the family names.
    bool operator==(const TTypecaskName& Other) const { return FFamilyName == Other.FFamilyName; }

private:
    TComponent* FOwnerComponent;
    AnsiString FFamilyName;

    friend class TTypecask;
};

// The system Fonts folder (from the default user's Shell Folders, else the
// Windows directory's Fonts folder), always ending with the path delimiter.
AnsiString GetFontsFolder();

// The string values of the Fonts key under HKEY_CURRENT_USER and then
// HKEY_LOCAL_MACHINE, read once for many lookups: the rows of a picker ask
// the registry once, not once a row. Names[R][I] holds Data[R][I].
struct TFontsKeyValues {
    std::vector<std::vector<AnsiString>> Names, Data;
};
TFontsKeyValues ReadFontsKeyValues();

// The licence of the font file registered for Family (FindTTFontFile);
// Installable when the family has no readable file.
Os::TFontEmbedding GetFamilyEmbedding(const AnsiString& Family, const TFontsKeyValues* Values = nullptr);
// The message (TTypecaskMessage) that refuses embedding a font of this
// licence: 13 Restricted License, 14 bitmaps only; 0 when it may be embedded.
int GetEmbeddingRefusal(const Os::TFontEmbedding& Embedding);
// What the designer says of a family's licence: the refusal, or that the
// font will be installed only while the application runs; empty for an
// Installable font.
AnsiString GetLicenceNote(const AnsiString& Family, const Os::TFontEmbedding& Embedding);
