#!/usr/bin/env bash
# Form data made to hurt the host: components nested 20,000 deep, and font
# data cut short. Every command refuses it with a message that says why and
# a non-zero status; none crashes, none reports success.
set -uo pipefail
TYPECASK=${1:?usage: hostile-forms.sh PATH-TO-TYPECASK}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/typecask-cli.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export TYPECASK_SYSROOT="$WORK/root" TYPECASK_WIDGETSET=headless
FAILED=0
fail() { echo "FAIL: $*" >&2; FAILED=1; }
expect() {  # STATUS MESSAGE COMMAND...: the command exits with STATUS and prints MESSAGE
    local want=$1 message=$2 status=0
    shift 2
    "$TYPECASK" "$@" >"$WORK/out" 2>&1 || status=$?
    [ "$status" -eq "$want" ] || fail "$*: exit status $status, not $want"
    grep -qF -- "$message" "$WORK/out" || fail "$*: $(head -c 600 "$WORK/out")"
}

# Binary form data: 20,000 components each inside the one before (class X,
# name Y, no properties).
{
    printf 'TPF0'
    printf '\x01X\x01Y\x00%.0s' $(seq 20000)
    printf '\x00%.0s' $(seq 20000)
} >"$WORK/deep.dfm"
# The readers that construct nothing meet all of it (the others stop at the
# first class they do not know).
expect 1 "nest more than 200 deep" inspect "$WORK/deep.dfm"
expect 1 "nest more than 200 deep" dfm totext "$WORK/deep.dfm" -

# Font data whose stream ends inside its first block: message 1 with the
# stream's total, and the codec's account of where the data ends.
cat >"$WORK/cut.dfm" <<'FORM'
object Form1: TDataModule
  object Typecask1: TTypecask
    TypecaskName.TTFontName = 'Cut Sans'
    TrueTypeFontResource = {
      4C5A53747265616D2000000008000000401000616263}
  end
end
FORM
expect 1 "font data cannot be restored: Compressed stream is corrupt: block 1 at offset 16: the data ends after 6 of the 8 bytes of the block, where the total promises 28 more bytes" \
    inspect "$WORK/cut.dfm"
expect 1 "Not enough memory to allocate 32 bytes" load "$WORK/cut.dfm"
expect 1 "reason: Compressed stream is corrupt: block 1 at offset 16: the data ends after 6 of the 8 bytes" \
    load "$WORK/cut.dfm"

[ $FAILED -eq 0 ] && echo "hostile forms: all checks passed"
exit $FAILED
