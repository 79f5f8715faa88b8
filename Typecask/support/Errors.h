// The package's exception type and the ids of its string table.
#pragma once

#include "platform/SysUtils.h"

// Ids of the package's string table. The texts live in the package's
// resources; ETypecask and LoadStr take them by id.
enum TTypecaskMessage : int {
    msgNotEnoughMemory = 1,            // "%d": a byte count
    msgFontNotInRegistry = 2,          // "%s": the family name
    msgFontFileNotFound = 3,           // "%s": the file's path
    msgFontNotInstalled = 4,
    msgFontNameReadOnly = 5,
    msgPalettePage = 6,
    msgPickerCaption = 7,
    msgPickerPrompt = 8,
    msgFontNotInstalledPermanently = 9,
    msgPermanentReadOnly = 10,
    msgBadSignature = 11,
    msgFontFileNotLoaded = 12,         // "%s": the file's path
    // The font's licence (Os::TFontEmbedding) forbids embedding it.
    msgFontRestricted = 13,            // "%s": the family name
    msgFontBitmapOnly = 14,            // "%s": the family name
    // The licence allows only a temporary installation: "%s" the family
    // name, "%s" the permission (Os::EmbeddingPermissionName).
    msgFontTemporaryByLicence = 15,
    // The picker's marks of the families of those licences.
    msgPickerNotEmbeddable = 16,
    msgPickerTemporary = 17,
    // The font's licence sets the no-subsetting bit: "%s" the family name.
    msgFontNoSubsetting = 18,
    // A subset is asked for without font data.
    msgNoFontToSubset = 19,
    // The font held is a subset and the whole font is not installed here to
    // make another one from: "%s" the family name.
    msgWholeFontNotInstalled = 20,
    // The subset verb's list of ranges is malformed: "%s" the reader's
    // message (AddCharacterRanges).
    msgBadSubsetRanges = 21,
};

// The package's one exception class: a message from the package's string
// table, optionally formatted with one argument ("%s" takes it as text,
// "%d" as a decimal integer).
class ETypecask : public Exception {
public:
    explicit ETypecask(int Ident);
    ETypecask(int Ident, const Variant& Arg);
};
