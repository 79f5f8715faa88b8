// The subsetter: HarfBuzz's (platform/os/FontFiles.h).
#include <hb-subset.h>

#include <memory>

#include "platform/os/FontFiles.h"

namespace Os {

namespace {

template <class T, void (*Destroy)(T*)>
struct THbFree {
    void operator()(T* P) const { Destroy(P); }
};
template <class T, void (*Destroy)(T*)>
using THb = std::unique_ptr<T, THbFree<T, Destroy>>;

// Every member: HarfBuzz keeps only some name ids (0 to 6) and languages
// (U.S. English) unless told otherwise.
void KeepAll(hb_subset_input_t* Input, hb_subset_sets_t Which) {
    hb_set_t* Set = hb_subset_input_set(Input, Which);
    hb_set_clear(Set);
    hb_set_invert(Set);
}

}  // namespace

bool CanSubsetFonts() { return true; }

std::vector<std::uint8_t> SubsetFont(const void* Data, std::size_t Size, int Face, const TCodePoints& Keep) {
    if (Size > 0x7FFFFFFFu || Face < 0) throw EFontSubset("The font cannot be subset: it is too large");
    const THb<hb_blob_t, hb_blob_destroy> Blob(hb_blob_create_or_fail(static_cast<const char*>(Data),
                                                                      static_cast<unsigned>(Size),
                                                                      HB_MEMORY_MODE_READONLY, nullptr, nullptr));
    if (!Blob) throw EFontSubset("The font cannot be subset: out of memory");
    if (static_cast<unsigned>(Face) >= hb_face_count(Blob.get()))
        throw EFontSubset("The font cannot be subset: it has no face " + std::to_string(Face));
    const THb<hb_face_t, hb_face_destroy> Source(hb_face_create(Blob.get(), static_cast<unsigned>(Face)));
    const THb<hb_subset_input_t, hb_subset_input_destroy> Input(hb_subset_input_create_or_fail());
    if (!Input) throw EFontSubset("The font cannot be subset: out of memory");
    hb_set_t* Unicodes = hb_subset_input_unicode_set(Input.get());
    for (const char32_t C : Keep) hb_set_add(Unicodes, C);
    KeepAll(Input.get(), HB_SUBSET_SETS_NAME_ID);
    KeepAll(Input.get(), HB_SUBSET_SETS_NAME_LANG_ID);
    // The Macintosh platform's names too, which the lookup reads as well.
    hb_subset_input_set_flags(Input.get(), HB_SUBSET_FLAGS_NAME_LEGACY);
    const THb<hb_face_t, hb_face_destroy> Subset(hb_subset_or_fail(Source.get(), Input.get()));
    if (!Subset) throw EFontSubset("The font cannot be subset: HarfBuzz's subsetter failed");
    const THb<hb_blob_t, hb_blob_destroy> Bytes(hb_face_reference_blob(Subset.get()));
    unsigned Length = 0;
    const char* Out = hb_blob_get_data(Bytes.get(), &Length);
    if (!Out || Length == 0) throw EFontSubset("The font cannot be subset: HarfBuzz's subsetter wrote nothing");
    return TagPostScriptName(Out, Length, SubsetTagOf(Keep));
}

}  // namespace Os
