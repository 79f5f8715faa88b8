#!/usr/bin/env bash
# typecask as a shell user meets it: --version from the version resource, the
# manual page written from the help texts, and bash completion of commands,
# subcommands, options and installed families (in a sandbox with fonts of
# its own).
set -euo pipefail
TYPECASK=$1
FONTGEN=$2
MAN_PAGE=$3
COMPLETION=$4
VERSION=$5
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export TYPECASK_SYSROOT="$WORK/root" TYPECASK_WIDGETSET=headless
mkdir -p "$TYPECASK_SYSROOT/fonts"
"$FONTGEN" --family "Alpha Sans" "$TYPECASK_SYSROOT/fonts/AlphaSans.ttf"
"$FONTGEN" --family "Alpha Serif" "$TYPECASK_SYSROOT/fonts/AlphaSerif.ttf"
"$FONTGEN" --family "Beta Mono" "$TYPECASK_SYSROOT/fonts/BetaMono.ttf"

# --version: the version the build read from the resource script, read back
# by the tool from the resource the library carries.
first=$("$TYPECASK" --version | head -1)
[ "$first" = "typecask (TypecaskLib) $VERSION" ] || fail "--version: $first"
"$TYPECASK" --version | grep -qE '^widgetsets: headless(, gtk3)?$' || fail "--version lacks the widgetsets"

# The manual page: every command of --help has its section with its own help
# text, and man renders the page without complaint.
commands=$("$TYPECASK" --help | sed -n 's/^  \([a-z][a-z0-9-]*\) .*/\1/p')
[ -n "$commands" ] || fail "--help lists no commands"
for c in $commands; do
    grep -qx ".SS $c" "$MAN_PAGE" || fail "man page lacks the section $c"
    usage=$("$TYPECASK" "$c" --help | head -1 | sed 's/-/\\-/g')
    grep -qxF "$usage" "$MAN_PAGE" || fail "man page section $c differs from its --help: $usage"
done
grep -qx '.SS "designer palette"' "$MAN_PAGE" || fail "man page lacks the designer's subcommands"
if command -v man >/dev/null; then
    warnings=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$MAN_PAGE" 2>&1 >/dev/null || true)
    [ -z "$warnings" ] || fail "man reports: $warnings"
fi

# Completion: each line is the words typed (the last one being completed,
# possibly empty) | the expected candidates, sorted.
mkdir -p "$WORK/bin"
ln -s "$TYPECASK" "$WORK/bin/typecask"
complete_words() {
    PATH="$WORK/bin:$PATH" bash -c '
        source "$1"; shift
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
        _typecask
        printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd" "' _ "$COMPLETION" "$@"
}
while IFS='|' read -r typed expected; do
    eval "words=($typed)"
    got=$(complete_words "${words[@]}")
    [ "$got" = "$expected" ] || fail "completing '$typed': got '$got', expected '$expected'"
done <<'CASES'
typecask em|embed
typecask --v|--version
typecask d|demo designer dfm
typecask lz ''|compress decompress
typecask res v|version
typecask designer p|palette
typecask embed ''|Alpha\ Sans Alpha\ Serif Beta\ Mono
typecask embed Alpha\\\ S|Alpha\ Sans Alpha\ Serif
typecask embed \"Be|Beta Mono
typecask embed --t|--temporary --text
typecask embed -o out.dfm B|Beta\ Mono
typecask embed Beta\\\ Mono ''|
typecask designer dblclick F.dfm Typecask1 --choose A|Alpha\ Sans Alpha\ Serif
typecask designer dblclick F.dfm Typecask1 --s|--screenshot
typecask load F.dfm --|--help --sample
CASES
echo "command line: version, manual page and completion as expected"
