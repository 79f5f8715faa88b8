#!/usr/bin/env bash
# typecask designer in sandboxes: the palette, a new form in the inspector,
# the component editor and property editors with their dialogs answered
# headless, saving only what changed, and the component's errors.
set -euo pipefail
TYPECASK=$1
FONTGEN=$2
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export TYPECASK_WIDGETSET=headless
DEV="$WORK/developer"
mkdir -p "$DEV/fonts"
"$FONTGEN" --family "Alpha Sans" "$DEV/fonts/AlphaSans.ttf"
"$FONTGEN" --family "Beta Serif" "$DEV/fonts/BetaSerif.ttf"
"$FONTGEN" --family "Ghost Mono" "$DEV/fonts/GhostMono.ttf"
designer() { TYPECASK_SYSROOT="$DEV" "$TYPECASK" designer "$@"; }

# Help: the command lists its subcommands, each subcommand has its own.
help=$(designer --help)
for sub in palette new inspect verbs verb dblclick edit; do
    grep -q "^  $sub " <<<"$help" || fail "designer --help lacks $sub"
    designer "$sub" --help | grep -q "^Usage: typecask designer $sub" || fail "$sub --help"
done

# The palette: the one page and component with the bitmap's size.
[ "$(designer palette)" = "Freeware: TTypecask (24x24 palette bitmap)" ] || fail "palette: $(designer palette)"

# A new form in both formats, then the inspector listing.
designer new "$WORK/Form1.dfm" | grep -qx "created $WORK/Form1.dfm: Form1 with Typecask1: TTypecask" || fail "new"
head -c 4 "$WORK/Form1.dfm" | grep -q TPF0 || fail "new writes binary form data"
designer new "$WORK/Text.dfm" --text >/dev/null
grep -q "^object Form1: TDataModule" "$WORK/Text.dfm" || fail "new --text: $(cat "$WORK/Text.dfm")"
grep -q "object Typecask1: TTypecask" "$WORK/Text.dfm" || fail "new --text lacks Typecask1"

designer inspect "$WORK/Form1.dfm" > "$WORK/inspect.txt"
grep -qx "Typecask1: TTypecask" "$WORK/inspect.txt" || fail "inspect lacks Typecask1"
grep -q "^  About = (TVersionInfo)  \[paSubProperties, paDialog" "$WORK/inspect.txt" || fail "About row"
about_rows=$(sed -n '/^  About = /,/^  [A-Z]/p' "$WORK/inspect.txt" | grep -c '^    ')
[ "$about_rows" -eq 12 ] || fail "About has $about_rows sub-properties, not 12"
for field in CompanyName FileDescription FileVersion InternalName LegalCopyright LegalTrademarks Author \
             OriginalFilename ProductName ProductVersion Comments BuildFlags; do
    grep -q "^    $field = " "$WORK/inspect.txt" || fail "About lacks $field"
done
grep -q "^    OriginalFilename = libTypecaskLib.so " "$WORK/inspect.txt" || fail "About values are not the package's"
grep -qx "  TypecaskName = (TTypecaskName)  \[paSubProperties, paDialog\]" "$WORK/inspect.txt" || fail "TypecaskName row"
grep -q "^    TTFontName =  " "$WORK/inspect.txt" || fail "TTFontName row"
grep -q "^  InstallPermanently = True " "$WORK/inspect.txt" || fail "InstallPermanently row"
grep -qx "  (no font data)" "$WORK/inspect.txt" || fail "a new component holds font data"

# The context menu.
[ "$(designer verbs "$WORK/Form1.dfm" Typecask1)" = $'0: TypecaskName...\n1: About...\n2: Subset to the form\'s texts' ] ||
    fail "verbs"
# Wrong arguments: a message, a non-zero status.
expect_error() {  # MESSAGE ARGS...: the designer fails and says MESSAGE
    local message=$1 status=0
    shift
    designer "$@" >/dev/null 2>"$WORK/err.txt" || status=$?
    [ "$status" -ne 0 ] || fail "designer $* succeeded"
    grep -qF -- "$message" "$WORK/err.txt" || fail "designer $*: $(cat "$WORK/err.txt")"
}
expect_error "No component named Nobody" verbs "$WORK/Form1.dfm" Nobody
expect_error "INDEX must be a number from 0 to 2" verb "$WORK/Form1.dfm" Typecask1 3
expect_error "INDEX must be a number from 0 to 2" verb "$WORK/Form1.dfm" Typecask1 1x
expect_error "There is no font to subset" verb "$WORK/Form1.dfm" Typecask1 2 --ranges ""
expect_error '"U+ZZZZ" is no range' verb "$WORK/Form1.dfm" Typecask1 2 --ranges "U+0400-U+04FF, U+ZZZZ"
expect_error "missing argument" dblclick "$WORK/Form1.dfm"
expect_error "unknown subcommand" bogus

# A family that is not listed: the picker ends with Cancel, the file stays.
cp "$WORK/Form1.dfm" "$WORK/before.dfm"
designer dblclick "$WORK/Form1.dfm" Typecask1 --choose "Nowhere Sans" > "$WORK/cancel.txt"
grep -q "the dialog ended with Cancel" "$WORK/cancel.txt" || fail "cancel not reported: $(cat "$WORK/cancel.txt")"
grep -qx "$WORK/Form1.dfm unchanged" "$WORK/cancel.txt" || fail "cancel saved"
cmp -s "$WORK/Form1.dfm" "$WORK/before.dfm" || fail "Cancel changed the form"

# Without a display and without answers the dialog is closed unanswered.
designer dblclick "$WORK/Form1.dfm" Typecask1 > "$WORK/unanswered.txt"
grep -q "^no display: dialogs end unanswered" "$WORK/unanswered.txt" || fail "$(cat "$WORK/unanswered.txt")"
cmp -s "$WORK/Form1.dfm" "$WORK/before.dfm" || fail "an unanswered dialog changed the form"

# A double-click with a choice applies the family and saves its font.
designer dblclick "$WORK/Form1.dfm" Typecask1 --choose "Beta Serif" --screenshot "$WORK/picker.png" \
    | grep -qx "saved $WORK/Form1.dfm" || fail "dblclick did not save"
head -c 8 "$WORK/picker.png" | od -An -c | grep -q 'P   N   G' || fail "no picker screenshot"
designer inspect "$WORK/Form1.dfm" > "$WORK/chosen.txt"
grep -q "^    TTFontName = Beta Serif " "$WORK/chosen.txt" || fail "family not applied: $(grep TTF "$WORK/chosen.txt")"
grep -qx "  (font data: $(stat -c %s "$DEV/fonts/BetaSerif.ttf") bytes)" "$WORK/chosen.txt" || fail "font data size"
"$TYPECASK" dfm totext "$WORK/Form1.dfm" - | grep -q "^    TrueTypeFontResource = {" \
    || fail "the saved form carries no TrueTypeFontResource"
TYPECASK_SYSROOT="$DEV" "$TYPECASK" inspect "$WORK/Form1.dfm" | grep -q "family declared by the font file: Beta Serif" \
    || fail "the saved font data is not Beta Serif's file"

# Choosing the current family again leaves the component as it was (the
# editor still reports the property as set, so the form may be saved).
cp "$WORK/Form1.dfm" "$WORK/before.dfm"
designer verb "$WORK/Form1.dfm" Typecask1 0 --choose "Beta Serif" | grep -qx "running TypecaskName..." \
    || fail "verb 0 is not TypecaskName..."
cmp -s "$WORK/Form1.dfm" "$WORK/before.dfm" || fail "the same family again changed the file"

# The about box through verb 1: a picture of it, nothing changed.
designer verb "$WORK/Form1.dfm" Typecask1 1 --screenshot "$WORK/about.png" > "$WORK/about.txt"
grep -qx "running About..." "$WORK/about.txt" || fail "verb 1 is not About..."
grep -qx "$WORK/Form1.dfm unchanged" "$WORK/about.txt" || fail "the about box changed the form"
head -c 8 "$WORK/about.png" | od -An -c | grep -q 'P   N   G' || fail "no about-box screenshot"
cmp -s "$WORK/about.png" "$WORK/picker.png" && fail "the about box looks like the picker"

# The text form stays text when saved back.
designer edit "$WORK/Text.dfm" Typecask1 TypecaskName --choose "Alpha Sans" >/dev/null
grep -q "^object Form1: TDataModule" "$WORK/Text.dfm" || fail "a text form was saved as binary"
grep -q "TTFontName = 'Alpha Sans'" "$WORK/Text.dfm" || fail "edit TypecaskName did not apply Alpha Sans"

# A registered family whose file is gone: message 3, exit status 1, the
# file as it was.
TYPECASK_SYSROOT="$DEV" "$TYPECASK" reg set 'HKLM\Software\Microsoft\Windows\CurrentVersion\Fonts' \
    'Ghost Mono (TrueType)' 'Gone.ttf'
cp "$WORK/Form1.dfm" "$WORK/before.dfm"
status=0
designer edit "$WORK/Form1.dfm" Typecask1 TypecaskName --choose "Ghost Mono" >/dev/null 2>"$WORK/err.txt" || status=$?
[ "$status" -ne 0 ] || fail "message 3 ended with status 0"
grep -qx "Font file ($DEV/fonts/Gone.ttf) not found" "$WORK/err.txt" || fail "message 3: $(cat "$WORK/err.txt")"
cmp -s "$WORK/Form1.dfm" "$WORK/before.dfm" || fail "a failed edit changed the file"

# On a machine without the family: message 2 while opening; the designer
# goes on with the stored font bytes and shows the form, but reports that it
# could not read it completely with status 1.
USER_ROOT="$WORK/user"
mkdir -p "$USER_ROOT"
status=0
TYPECASK_SYSROOT="$USER_ROOT" "$TYPECASK" designer inspect "$WORK/Form1.dfm" >"$WORK/user.txt" 2>"$WORK/user.err" \
    || status=$?
[ "$status" -eq 1 ] || fail "inspect of a form it could not read completely exited $status"
grep -qx "Font (Beta Serif) not found in the registry" "$WORK/user.err" || fail "message 2: $(cat "$WORK/user.err")"
grep -qx "Typecask1: TTypecask" "$WORK/user.txt" || fail "the form was not shown"
grep -qx "  (font data: $(stat -c %s "$DEV/fonts/BetaSerif.ttf") bytes)" "$WORK/user.txt" \
    || fail "the stored font bytes were lost: $(grep 'font data' "$WORK/user.txt")"

# A form read in part is never saved, whatever editor runs on it: the family
# that is not installed here, font data cut short, a property of a newer
# version, a value of the wrong type. Each is refused with status 1 and the
# file stays as it was.
"$TYPECASK" dfm totext "$WORK/Form1.dfm" "$WORK/good.txt"
mkdir -p "$WORK/partial"
cp "$WORK/Form1.dfm" "$WORK/partial/family.dfm"
# The last line of font data goes: the stream ends before its total.
awk 'NR > 1 && !($0 == "    }" && prev ~ /^ +[0-9A-F]+$/) { print prev } { prev = $0 } END { print prev }' \
    "$WORK/good.txt" >"$WORK/partial/cut.dfm"
sed 's/^  object Typecask1: TTypecask$/&\n    NewerProperty = 1/' "$WORK/good.txt" >"$WORK/partial/newer.dfm"
sed "s/^  object Typecask1: TTypecask\$/&\\n    InstallPermanently = 'yes'/" "$WORK/good.txt" >"$WORK/partial/type.dfm"
for form in cut newer type; do
    cmp -s "$WORK/good.txt" "$WORK/partial/$form.dfm" && fail "$form: the form was not altered"
done
for form in family cut newer type; do
    root=$DEV
    [ "$form" = family ] && root=$USER_ROOT
    for run in "edit|Typecask1|TypecaskName|--choose|Alpha Sans" "verb|Typecask1|0|--choose|Alpha Sans" \
               "dblclick|Typecask1|--choose|Alpha Sans" "inspect" "verbs|Typecask1"; do
        cp "$WORK/partial/$form.dfm" "$WORK/before.dfm"
        IFS='|' read -ra args <<<"$run"
        status=0
        TYPECASK_SYSROOT="$root" "$TYPECASK" designer "${args[0]}" "$WORK/partial/$form.dfm" "${args[@]:1}" \
            >"$WORK/out.txt" 2>"$WORK/err.txt" || status=$?
        [ "$status" -eq 1 ] || fail "$form, $run: exit status $status: $(cat "$WORK/err.txt")"
        grep -qx "$WORK/partial/$form.dfm could not be read completely" "$WORK/err.txt" \
            || fail "$form, $run: $(cat "$WORK/err.txt")"
        cmp -s "$WORK/partial/$form.dfm" "$WORK/before.dfm" || fail "$form, $run: the file changed"
    done
done

# designer new never overwrites a form without --force.
cp "$WORK/Form1.dfm" "$WORK/before.dfm"
status=0
designer new "$WORK/Form1.dfm" >/dev/null 2>"$WORK/err.txt" || status=$?
[ "$status" -eq 1 ] || fail "new over an existing form exited $status"
grep -q "exists; --force replaces it" "$WORK/err.txt" || fail "new over an existing form: $(cat "$WORK/err.txt")"
cmp -s "$WORK/Form1.dfm" "$WORK/before.dfm" || fail "new replaced an existing form"
designer new "$WORK/Form1.dfm" --force >/dev/null || fail "new --force"
cmp -s "$WORK/Form1.dfm" "$WORK/before.dfm" && fail "new --force left the old form"
# The fonts' licences: a Restricted family is refused with a non-zero
# status and no form; an Editable one (an old OS/2 table that sets Preview &
# Print too) is embedded, and both inspectors say what its licence allows.
LIC="$WORK/licensed"
mkdir -p "$LIC/fonts"
"$FONTGEN" --family "Closed Sans" --fs-type 2 "$LIC/fonts/ClosedSans.ttf"
"$FONTGEN" --family "Edit Sans" --fs-type 0x010C --os2-version 1 "$LIC/fonts/EditSans.ttf"
status=0
TYPECASK_SYSROOT="$LIC" "$TYPECASK" embed "Closed Sans" -o "$WORK/closed.dfm" 2>"$WORK/err.txt" || status=$?
[ "$status" -eq 1 ] || fail "embed of a Restricted family exited $status"
grep -qF "Font (Closed Sans) may not be embedded: its licence is Restricted License" "$WORK/err.txt" \
    || fail "embed of a Restricted family: $(cat "$WORK/err.txt")"
[ ! -e "$WORK/closed.dfm" ] || fail "a refused embed wrote a form"
TYPECASK_SYSROOT="$LIC" "$TYPECASK" embed "Edit Sans" -o "$WORK/edit.dfm" 2>/dev/null || fail "embed of an Editable family"
TYPECASK_SYSROOT="$LIC" "$TYPECASK" inspect "$WORK/edit.dfm" | grep -qx "  licence: Editable, no subsetting" \
    || fail "inspect: $(TYPECASK_SYSROOT="$LIC" "$TYPECASK" inspect "$WORK/edit.dfm")"
TYPECASK_SYSROOT="$LIC" "$TYPECASK" designer inspect "$WORK/edit.dfm" \
    | grep -qxF "  (Font (Edit Sans) will be installed only while the application runs: its licence is Editable)" \
    || fail "designer inspect says nothing of the licence"
"$FONTGEN" --family X --fs-type 0x10000 "$WORK/x.ttf" 2>/dev/null && fail "fontgen took an fsType beyond 16 bits"
"$FONTGEN" --family X --os2-version 0 "$WORK/x.ttf" 2>/dev/null && fail "fontgen took OS/2 version 0"

echo "designer host: all checks passed"
