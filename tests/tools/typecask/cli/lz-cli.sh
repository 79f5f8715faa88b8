#!/usr/bin/env bash
# typecask lz: round trips through files and pipes, the exact bytes of a small
# stream, and failures that exit non-zero with the message and leave no OUT.
set -uo pipefail
TYPECASK=${1:?usage: lz-cli.sh PATH-TO-TYPECASK}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/typecask-cli.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
FAILED=0

fail() { echo "FAIL: $*" >&2; FAILED=1; }
hex() { od -An -v -tx1 "$1" | tr -d ' \n'; }

# Sample data: text with repeats, a stretch of zeros, and bytes 0..255.
{
    for i in $(seq 1 3000); do echo "line $i of the sample, glyph table $((i % 17)) kerning $((i % 5))"; done
    head -c 70000 /dev/zero
    for i in $(seq 0 255); do printf "\\$(printf %03o "$i")"; done
} > "$WORK/in"

# Round trip through files.
"$TYPECASK" lz compress "$WORK/in" "$WORK/in.lz" || fail "compress exited $?"
"$TYPECASK" lz decompress "$WORK/in.lz" "$WORK/out" || fail "decompress exited $?"
cmp -s "$WORK/in" "$WORK/out" || fail "file round trip differs"
[ "$(stat -c %s "$WORK/in.lz")" -lt "$(stat -c %s "$WORK/in")" ] || fail "the sample did not get smaller"

# Round trip through standard input and output.
"$TYPECASK" lz compress - - < "$WORK/in" > "$WORK/pipe.lz" || fail "compress - - exited $?"
cmp -s "$WORK/in.lz" "$WORK/pipe.lz" || fail "compressing a pipe gives other bytes than a file"
"$TYPECASK" lz compress - - < "$WORK/in" | "$TYPECASK" lz decompress - - > "$WORK/pipe.out" || fail "pipe exited $?"
cmp -s "$WORK/in" "$WORK/pipe.out" || fail "pipe round trip differs"

# The exact bytes of a small stream.
printf 'abcabcabcabc' > "$WORK/abc"
"$TYPECASK" lz compress "$WORK/abc" "$WORK/abc.lz"
[ "$(hex "$WORK/abc.lz")" = "4c5a53747265616d0c000000080000004010006162630036" ] ||
    fail "abc x4 compresses to $(hex "$WORK/abc.lz")"
: > "$WORK/empty"
"$TYPECASK" lz compress "$WORK/empty" "$WORK/empty.lz"
[ "$(hex "$WORK/empty.lz")" = "4c5a53747265616d00000000" ] || fail "empty input compresses to $(hex "$WORK/empty.lz")"
"$TYPECASK" lz decompress "$WORK/empty.lz" "$WORK/empty.out" && [ ! -s "$WORK/empty.out" ] || fail "empty stream"

# Failures: exit status, message on standard error, no OUT file.
expect_failure() {  # NAME INPUT MESSAGE
    rm -f "$WORK/bad.out"
    "$TYPECASK" lz decompress "$2" "$WORK/bad.out" 2> "$WORK/err"
    local status=$?
    [ $status -ne 0 ] || fail "$1: exit status 0"
    grep -qF -- "$3" "$WORK/err" || fail "$1: message was: $(cat "$WORK/err")"
    [ ! -e "$WORK/bad.out" ] || fail "$1: left an OUT file"
    [ -z "$(find "$WORK" -name '.bad.out.*')" ] || fail "$1: left a temporary file"
}
# The match of abc x4 made to reach 4092 bytes before the block.
printf 'LZStream\x0c\x00\x00\x00\x08\x00\x00\x00\x40\x10\x00abc\xff\xf6' > "$WORK/corrupt.lz"
expect_failure "corrupt block" "$WORK/corrupt.lz" \
    "corrupt.lz: Compressed stream is corrupt: block 1 at offset 22: match reaches 4092 bytes before the start of the block"
printf 'LZstream\x00\x00\x00\x00' > "$WORK/signature.lz"
expect_failure "wrong signature" "$WORK/signature.lz" "LZRW compressed stream signature is wrong"
head -c 100 "$WORK/in.lz" > "$WORK/cut.lz"
expect_failure "cut short" "$WORK/cut.lz" \
    "cut.lz: Compressed stream is corrupt: block 1 at offset 16: the data ends after 84 of the"
expect_failure "missing input" "$WORK/does-not-exist" "does-not-exist"

# Usage.
"$TYPECASK" lz --help | grep -q "typecask lz compress IN OUT" || fail "lz --help"
"$TYPECASK" lz squash "$WORK/in" "$WORK/x" 2> /dev/null
[ $? -eq 2 ] || fail "an unknown mode is a usage error (exit 2)"

[ $FAILED -eq 0 ] && echo "lz command line: all checks passed"
exit $FAILED
