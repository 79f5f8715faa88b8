#!/usr/bin/env bash
# Two processes, two sandboxes: the developer's machine has the family and
# embeds it; the user's machine lacks it, loads the form, sees the family
# while the form lives and not after it is destroyed.
set -euo pipefail
TYPECASK=$1
FONTGEN=$2
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$WORK/developer/fonts"
"$FONTGEN" --family "Road Test Sans" "$WORK/developer/fonts/RoadTestSans.ttf"

TYPECASK_SYSROOT="$WORK/developer" "$TYPECASK" embed "Road Test Sans" --temporary -o "$WORK/Form1.dfm"
[ -s "$WORK/Form1.dfm" ] || fail "no form data written"

# The form data restores exactly the font file's bytes.
TYPECASK_SYSROOT="$WORK/developer" "$TYPECASK" inspect "$WORK/Form1.dfm" > "$WORK/inspect.txt"
grep -q "family declared by the font file: Road Test Sans" "$WORK/inspect.txt" || fail "inspect: $(cat "$WORK/inspect.txt")"

TYPECASK_SYSROOT="$WORK/user" "$TYPECASK" families > "$WORK/before.txt"
grep -qx "Road Test Sans" "$WORK/before.txt" && fail "the user's machine must not know the family yet"

TYPECASK_SYSROOT="$WORK/user" "$TYPECASK" load "$WORK/Form1.dfm" --sample "$WORK/sample.png" > "$WORK/load.txt"
cat "$WORK/load.txt"
# The file goes into a folder of the process's own, which goes with it.
TEMPFONT=$(sed -n 's/^installed temporarily: \(.*\) ([^)]*)$/\1/p' "$WORK/load.txt")
case "$TEMPFONT" in
    "$WORK/user/tmp/fonts-"*"/Road Test Sans.ttf") ;;
    *) fail "not installed temporarily in a folder of its own: $TEMPFONT" ;;
esac
grep -qx "family enumerated: yes" "$WORK/load.txt" || fail "family not enumerated while installed"
grep -qxF "removed: $TEMPFONT" "$WORK/load.txt" || fail "not removed cleanly"
[ -s "$WORK/sample.png" ] || fail "no sample picture"
[ -z "$(ls -A "$WORK/user/tmp")" ] || fail "the temporary folder is not empty: $(ls -A "$WORK/user/tmp")"

TYPECASK_SYSROOT="$WORK/user" "$TYPECASK" families > "$WORK/after.txt"
grep -qx "Road Test Sans" "$WORK/after.txt" && fail "the family is still there after the run"

# A permanent installation stays and is registered.
TYPECASK_SYSROOT="$WORK/developer" "$TYPECASK" embed "Road Test Sans" -o "$WORK/Perm.dfm"
TYPECASK_SYSROOT="$WORK/user" "$TYPECASK" load "$WORK/Perm.dfm" > "$WORK/perm.txt"
grep -q "^installed permanently: $WORK/user/fonts/Road Test Sans.ttf" "$WORK/perm.txt" || fail "$(cat "$WORK/perm.txt")"
grep -q "Road Test Sans (TrueType) = $WORK/user/fonts/Road Test Sans.ttf" "$WORK/perm.txt" || fail "not registered"
TYPECASK_SYSROOT="$WORK/user" "$TYPECASK" families | grep -qx "Road Test Sans" || fail "permanent font gone"
TYPECASK_SYSROOT="$WORK/user" "$TYPECASK" load "$WORK/Perm.dfm" | grep -qx "already installed: nothing written" \
    || fail "a second run installed again"
# A subset: the family and style names stay, the PostScript name is tagged
# (as fontconfig reads the font), and though the form asks for a permanent
# installation the font is installed only for the run.
TYPECASK_SYSROOT="$WORK/developer" "$TYPECASK" embed "Road Test Sans" -o "$WORK/Subset.dfm" --subset-ranges U+0041-U+0043
mkdir "$WORK/subset"
TYPECASK_SYSROOT="$WORK/developer" "$TYPECASK" inspect "$WORK/Subset.dfm" --fonts-to "$WORK/subset" > "$WORK/subset.txt"
grep -qE "^  subset of [0-9]+ glyphs, tag [A-Z]{6}$" "$WORK/subset.txt" || fail "inspect: $(cat "$WORK/subset.txt")"
scanned=$(fc-scan --format '%{family}|%{style}|%{postscriptname}' "$WORK/subset/Road Test Sans.ttf")
[[ $scanned =~ ^Road\ Test\ Sans\|Regular\|[A-Z]{6}\+RoadTestSans-Regular$ ]] || fail "fc-scan: $scanned"
TYPECASK_SYSROOT="$WORK/user2" "$TYPECASK" load "$WORK/Subset.dfm" > "$WORK/subset-load.txt"
grep -qx "installation: temporary" "$WORK/subset-load.txt" || fail "subset: $(cat "$WORK/subset-load.txt")"
[ -z "$(ls -A "$WORK/user2/fonts" 2>/dev/null)" ] || fail "the subset was installed for good"
# The demo runs the same road in sandboxes of its own and leaves none behind.
TMPDIR="$WORK" "$TYPECASK" demo --out "$WORK/demo" > "$WORK/demo.txt" || fail "demo: $(cat "$WORK/demo.txt")"
grep -q "^Done: " "$WORK/demo.txt" || fail "demo: $(cat "$WORK/demo.txt")"
[ -s "$WORK/demo/sample.png" ] && [ -s "$WORK/demo/Form1.dfm" ] || fail "demo results missing"
ls -d "$WORK"/typecask-demo-* 2> /dev/null && fail "the demo left its sandboxes behind"
echo "road: both processes agree"
