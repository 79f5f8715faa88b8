#!/usr/bin/env bash
# The whole road under Wine, each machine a fresh Wine prefix of its own.
#
#   road.sh windows TYPECASK.EXE FONTGEN.EXE
#     The developer's prefix has the family installed as Windows installs
#     one (a file in C:\windows\Fonts, a bare file name under the NT Fonts
#     key) and embeds it; the user's prefix loads the forms: the temporary
#     installation leaves nothing behind, the permanent one leaves the file
#     and its value, and the family is enumerated by the next process.
#
#     A standard user's prefix, whose Fonts folder is unusable, gets the
#     permanent form's font for the user alone (the user's font folder and
#     HKEY_CURRENT_USER); as Windows before 1809, for the run alone.
#
#   road.sh across TYPECASK.EXE LINUX_BIN PEER_SOURCE
#     Form data crosses platforms: the same font embedded by the Windows and
#     the Linux build gives the same bytes; each build installs the font from
#     the other's form and from a form the Free Pascal peer writes.
#
# The font tables are checked as another process sees them: the installed
# files' bytes, the registry through Wine's own reg.exe, the family list of
# a new process. Exit status 77 means skipped (no Linux build or no fpc).
set -euo pipefail
MODE=$1
WIN_TYPECASK=$2
WINE=${WINELOADER:-wine}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/typecask-road-XXXXXX")
FAMILY="Typecask Wine Sans"
NT_FONTS='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts'
PREFIXES=()

cleanup() {
    for P in "${PREFIXES[@]}"; do
        WINEPREFIX=$P wineserver -k </dev/null >/dev/null 2>&1 || true
        WINEPREFIX=$P wineserver -w </dev/null >/dev/null 2>&1 || true
    done
    rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR

# A fresh prefix: its server and first boot with standard input and output
# on /dev/null, so that no Wine helper holds this script's pipes. It is
# Windows 10 (Debian's Wine reports Windows 7), as scripts/wine-test's is.
boot() {
    local P=$WORK/$1
    mkdir -p "$P"
    PREFIXES+=("$P")
    WINEPREFIX=$P wineserver -p </dev/null >/dev/null 2>&1
    WINEPREFIX=$P "$WINE" wineboot </dev/null >/dev/null 2>&1
    WINEPREFIX=$P "$WINE" reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d win10 /f </dev/null >/dev/null 2>&1
}
# Runs a Windows program in prefix $1, in the work folder; its output
# without the CRs of the Windows line ends.
in_prefix() {
    local P=$WORK/$1
    shift
    (cd "$WORK" && WINEPREFIX=$P "$WINE" "$@" </dev/null | tr -d '\r')
}
fonts_dir() { echo "$WORK/$1/drive_c/windows/Fonts"; }
# The Windows path $2 of prefix $1 as a path of this system (C:\ is the
# prefix's drive_c; winepath would start the 32-bit loader).
unix_path() {
    local Path=$WORK/$1/drive_c/${2#C:\\}
    echo "${Path//\\//}"
}
families() { in_prefix "$1" "$WIN_TYPECASK" families; }
# The NT Fonts key's value for the family as reg.exe prints it, or nothing.
nt_value() {
    in_prefix "$1" reg query "$NT_FONTS" /v "$FAMILY (TrueType)" 2>/dev/null |
        sed -n "s/^ *$FAMILY (TrueType) *REG_SZ *//p"
}
# Installs the font file $2 in prefix $1 as Windows does.
install_in_prefix() {
    cp "$2" "$(fonts_dir "$1")/typecaskwine.ttf"
    in_prefix "$1" reg add "$NT_FONTS" /v "$FAMILY (TrueType)" /t REG_SZ /d typecaskwine.ttf /f >/dev/null
    local Listed
    Listed=$(families "$1")
    grep -qxF "$FAMILY" <<<"$Listed" || fail "$1: the installed family is not listed"
    # The system reports a family once per character set, and vertical-text
    # faces under '@' names: the list holds each family once.
    [ -z "$(sort <<<"$Listed" | uniq -d)" ] || fail "$1: families listed twice: $(sort <<<"$Listed" | uniq -d | head -3)"
    ! grep -q '^@' <<<"$Listed" || fail "$1: vertical-text names listed"
}
# Loads a form temporarily in prefix $1 and checks that nothing stays.
load_temporarily_in_prefix() {
    local Out
    Out=$(in_prefix "$1" "$WIN_TYPECASK" load "$2") || fail "$1: load $2: $Out"
    grep -qx "family enumerated: yes" <<<"$Out" || fail "$1: not enumerated while installed: $Out"
    local File
    File=$(sed -n 's/^installed temporarily: \(.*\) ([^)]*)$/\1/p' <<<"$Out")
    [ -n "$File" ] || fail "$1: not installed temporarily: $Out"
    grep -qxF "removed: $File" <<<"$Out" || fail "$1: not removed: $Out"
    local UnixFile
    UnixFile=$(unix_path "$1" "$File")
    local TempFolder
    TempFolder=$(dirname "$(dirname "$UnixFile")")
    [ -d "$TempFolder" ] || fail "$1: no temporary folder $TempFolder for $File"
    [ ! -e "$UnixFile" ] && [ ! -e "$(dirname "$UnixFile")" ] || fail "$1: $File or its folder is left behind"
    [ -z "$(nt_value "$1")" ] || fail "$1: a temporary installation wrote a registry value"
    ! families "$1" | grep -qxF "$FAMILY" || fail "$1: the family is still listed after the run"
}
# Loads a form permanently in prefix $1; the file must hold the bytes of $3.
load_permanently_in_prefix() {
    local Out
    Out=$(in_prefix "$1" "$WIN_TYPECASK" load "$2") || fail "$1: load $2: $Out"
    local Installed
    Installed="$(fonts_dir "$1")/$FAMILY.ttf"
    cmp -s "$Installed" "$3" || fail "$1: $Installed does not hold the embedded font: $Out"
    [ "$(nt_value "$1")" = "C:\\windows\\Fonts\\$FAMILY.ttf" ] || fail "$1: NT Fonts value '$(nt_value "$1")'"
    families "$1" | grep -qxF "$FAMILY" || fail "$1: the next process does not list the family"
    in_prefix "$1" "$WIN_TYPECASK" load "$2" | grep -qx "already installed: nothing written" ||
        fail "$1: a second run installed again"
}
# Loads the permanent form $2 as a standard user in prefix $1, whose Fonts
# folder is made a file (Wine grants every right otherwise): the font is
# installed for the user, and nothing for the machine. Then, as Windows
# before 1809, which has no fonts of a user's own, it is installed for the
# run. Wine does not read HKEY_CURRENT_USER's font values when a process
# starts, so the next process does not list the family: the user's
# installation is taken back by hand before the second load.
load_as_standard_user_in_prefix() {
    local Fonts
    Fonts=$(fonts_dir "$1")
    mv "$Fonts" "$Fonts.machine"
    echo "not a folder" >"$Fonts"
    local Out
    Out=$(in_prefix "$1" "$WIN_TYPECASK" load "$2") || fail "$1: load $2: $Out"
    grep -qx "installation: per user" <<<"$Out" || fail "$1: not installed for the user: $Out"
    local File
    File=$(sed -n 's/^installed permanently: \(.*\) ([^)]*)$/\1/p' <<<"$Out")
    [[ "$File" == *'\AppData\Local\Microsoft\Windows\Fonts\'"$FAMILY.ttf" ]] || fail "$1: installed as $File"
    cmp -s "$(unix_path "$1" "$File")" "$3" || fail "$1: $File does not hold the embedded font"
    local User
    User=$(in_prefix "$1" reg query "${NT_FONTS/HKLM/HKCU}" /v "$FAMILY (TrueType)" |
        sed -n "s/^ *$FAMILY (TrueType) *REG_SZ *//p")
    [ "$User" = "$File" ] || fail "$1: HKCU value '$User'"
    [ -z "$(nt_value "$1")" ] || fail "$1: the machine's key has a value"

    in_prefix "$1" reg delete "${NT_FONTS/HKLM/HKCU}" /v "$FAMILY (TrueType)" /f >/dev/null
    rm "$(unix_path "$1" "$File")"
    in_prefix "$1" reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d win7 /f >/dev/null
    Out=$(in_prefix "$1" "$WIN_TYPECASK" load "$2") || fail "$1: load $2 as Windows 7: $Out"
    grep -qx "installation: temporary" <<<"$Out" || fail "$1: not installed for the run on Windows 7: $Out"
    grep -q "^removed: " <<<"$Out" || fail "$1: not removed on Windows 7: $Out"
}
# A Linux sandbox's typecask.
linux() { local Root=$WORK/$1; shift; (cd "$WORK" && TYPECASK_SYSROOT=$Root "$LINUX_BIN/typecask" "$@"); }

case "$MODE" in
windows)
    FONTGEN=$3
    boot developer
    in_prefix developer "$FONTGEN" --family "$FAMILY" Font.ttf >/dev/null
    install_in_prefix developer "$WORK/Font.ttf"
    in_prefix developer "$WIN_TYPECASK" embed "$FAMILY" -o Perm.dfm >/dev/null
    in_prefix developer "$WIN_TYPECASK" embed "$FAMILY" --temporary -o Temp.dfm >/dev/null

    boot user
    ! families user | grep -qxF "$FAMILY" || fail "the user's prefix must not know the family yet"
    load_temporarily_in_prefix user Temp.dfm
    load_permanently_in_prefix user Perm.dfm "$WORK/Font.ttf"
    boot standard
    load_as_standard_user_in_prefix standard Perm.dfm "$WORK/Font.ttf"
    # The demo's sandboxed machines would be the system's own here.
    if in_prefix user "$WIN_TYPECASK" demo --out Demo >/dev/null 2>&1; then fail "the demo ran on the system's fonts"; fi
    [ -z "$(ls "$(fonts_dir user)" | grep -v "^$FAMILY.ttf$")" ] || fail "the demo left $(ls "$(fonts_dir user)")"
    ;;
across)
    LINUX_BIN=$3
    PEER_SOURCE=$4
    [ -x "$LINUX_BIN/typecask" ] || { echo "SKIP: no Linux build in $LINUX_BIN"; exit 77; }
    command -v fpc >/dev/null || { echo "SKIP: fpc is not installed"; exit 77; }
    mkdir -p "$WORK/peer"
    fpc -O1 -FE"$WORK/peer" -FU"$WORK/peer" "$PEER_SOURCE" >"$WORK/peer/fpc.log" 2>&1 ||
        fail "fpc: $(cat "$WORK/peer/fpc.log")"

    # One font file for every machine.
    mkdir -p "$WORK/linux-developer/fonts"
    "$LINUX_BIN/typecask-fontgen" --family "$FAMILY" "$WORK/linux-developer/fonts/Font.ttf"
    cp "$WORK/linux-developer/fonts/Font.ttf" "$WORK/Font.ttf"
    linux linux-developer embed "$FAMILY" -o Linux-Perm.dfm >/dev/null
    linux linux-developer embed "$FAMILY" --temporary -o Linux-Temp.dfm >/dev/null
    boot developer
    install_in_prefix developer "$WORK/Font.ttf"
    in_prefix developer "$WIN_TYPECASK" embed "$FAMILY" -o Windows-Perm.dfm >/dev/null
    in_prefix developer "$WIN_TYPECASK" embed "$FAMILY" --temporary -o Windows-Temp.dfm >/dev/null
    cmp "$WORK/Linux-Perm.dfm" "$WORK/Windows-Perm.dfm" || fail "the builds write different form data"
    cmp "$WORK/Linux-Temp.dfm" "$WORK/Windows-Temp.dfm" || fail "the builds write different form data"

    # The peer stores the compressed stream as the component does, under a
    # root class of its own.
    "$LINUX_BIN/typecask" lz compress "$WORK/Font.ttf" "$WORK/Font.lz"
    "$WORK/peer/FormPeer" typecask "$FAMILY" "$WORK/Font.lz" 1 "$WORK/Peer-Perm.dfm"
    "$WORK/peer/FormPeer" typecask "$FAMILY" "$WORK/Font.lz" 0 "$WORK/Peer-Temp.dfm"
    component_text() { "$LINUX_BIN/typecask" dfm totext "$1" - | sed -n '/object Typecask1/,$p'; }
    [ "$(component_text "$WORK/Peer-Temp.dfm")" = "$(component_text "$WORK/Linux-Temp.dfm")" ] ||
        fail "the peer streams the component differently"

    # Windows reads the Linux build's and the peer's forms.
    boot user
    load_temporarily_in_prefix user Peer-Temp.dfm
    load_permanently_in_prefix user Linux-Perm.dfm "$WORK/Font.ttf"

    # Linux reads the Windows build's and the peer's forms.
    for Form in Windows-Temp Peer-Temp; do
        Out=$(linux "linux-$Form" load "$Form.dfm") || fail "Linux: load $Form: $Out"
        grep -qx "family enumerated: yes" <<<"$Out" || fail "Linux: $Form not enumerated: $Out"
        grep -q "^removed: " <<<"$Out" || fail "Linux: $Form not removed: $Out"
    done
    for Form in Windows-Perm Peer-Perm; do
        Out=$(linux "linux-$Form" load "$Form.dfm") || fail "Linux: load $Form: $Out"
        cmp -s "$WORK/linux-$Form/fonts/$FAMILY.ttf" "$WORK/Font.ttf" || fail "Linux: $Form installed other bytes: $Out"
    done
    ;;
*) fail "unknown mode $MODE" ;;
esac
echo "road.sh $MODE: passed"
