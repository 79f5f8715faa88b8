#!/usr/bin/env bash
# Checks the Debian package "make package" wrote: its metadata, that its
# dependencies name the Debian package of every library its programs and
# libraries need, its contents, an installation with dpkg into a throw-away
# root, the installed files at work there, and lintian's errors (where
# lintian is installed).
set -euo pipefail
DEB=$(realpath "$1")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export TYPECASK_WIDGETSET=headless TYPECASK_SYSROOT="$WORK/sandbox"

field() { dpkg-deb --field "$DEB" "$1"; }
[ "$(field Package)" = typecasklib ] || fail "Package: $(field Package)"
VERSION=$(field Version)
[[ $DEB == */typecasklib_${VERSION}_$(dpkg --print-architecture).deb ]] || fail "file name $DEB"
dpkg-deb --info "$DEB" >/dev/null

# Installed with dpkg into an empty root of its own (dependencies are the
# host's business there, so they are not checked).
ROOT="$WORK/root"
mkdir -p "$ROOT/var/lib/dpkg/updates" "$ROOT/var/lib/dpkg/info"
touch "$ROOT/var/lib/dpkg/status"
dpkg --root="$ROOT" --log=/dev/null --force-depends --force-not-root --force-script-chrootless -i "$DEB" >"$WORK/dpkg.log" 2>&1 \
    || { cat "$WORK/dpkg.log"; fail "dpkg -i"; }
dpkg --root="$ROOT" -s typecasklib | grep -qx "Status: install ok installed" || fail "dpkg does not list it installed"

MULTIARCH=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
LIBDIR="$ROOT/usr/lib/$MULTIARCH"
MAJOR=${VERSION%%.*}
for f in "$LIBDIR/libTypecaskLib.so.$MAJOR" "$LIBDIR/libTypecaskPlatform.so.$MAJOR" \
         "$LIBDIR/libTypecaskLib.so" "$LIBDIR/libTypecaskPlatform.so" \
         "$ROOT/usr/include/TypecaskLib/Typecask/component/Typecask.h" "$ROOT/usr/include/TypecaskLib/platform/Forms.h" \
         "$LIBDIR/cmake/TypecaskLib/TypecaskLibConfig.cmake" "$LIBDIR/cmake/TypecaskLib/TypecaskLibTargets.cmake" \
         "$LIBDIR/pkgconfig/typecasklib.pc" "$LIBDIR/pkgconfig/typecask-platform.pc" \
         "$ROOT/usr/bin/typecask" "$ROOT/usr/bin/typecask-fontgen" "$ROOT/usr/share/man/man1/typecask.1.gz" \
         "$ROOT/usr/share/bash-completion/completions/typecask" \
         "$ROOT/usr/share/doc/typecasklib/copyright" "$ROOT/usr/share/doc/typecasklib/changelog.gz"; do
    [ -e "$f" ] || fail "the package lacks ${f#"$ROOT"}"
done

# Depends: for each library that the package's ELF files need and that the
# package does not bring itself, the Debian package that owns the file the
# dynamic linker resolves it to must be named.
depends=$(field Depends)
owner_of() {  # the package owning a file, through /usr-merged and linked paths
    local path
    for path in "$1" "$(realpath "$1")" "${1#/usr}" "/usr$1"; do
        dpkg -S "$path" 2>/dev/null | head -1 | cut -d: -f1 && return
    done
}
find "$ROOT/usr/bin" "$LIBDIR" -maxdepth 1 -type f | while read -r elf; do
    readelf -h "$elf" >/dev/null 2>&1 || continue  # not an ELF file
    resolved=$(LD_LIBRARY_PATH="$LIBDIR" ldd "$elf")
    readelf -d "$elf" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | while read -r needed; do
        [ -e "$LIBDIR/$needed" ] && continue  # ours
        # "libx.so.1 => /path (addr)", or "/path/ld-linux.so.2 (addr)" for the loader
        path=$(awk -v n="$needed" '$1 == n && $2 == "=>" {print $3} substr($1, length($1) - length(n)) == "/" n {print $1}' \
               <<<"$resolved" | head -1)
        [ -n "$path" ] || fail "$elf: $needed is not found"
        owner=$(owner_of "$path")
        [ -n "$owner" ] || fail "no Debian package owns $path ($needed)"
        echo "$owner"
    done
done | sort -u > "$WORK/owners"
[ -s "$WORK/owners" ] || fail "no library outside the package is needed: the check saw nothing"
depended=$(sed 's/ ([^)]*)//g; s/ *| */\n/g; s/, /\n/g' <<<"$depends")  # the package names alone
while read -r owner; do
    grep -qxF "$owner" <<<"$depended" || fail "Depends lacks $owner: $depends"
done < "$WORK/owners"

# The installed tools and libraries at work in that root.
export LD_LIBRARY_PATH="$LIBDIR"
[ "$("$ROOT/usr/bin/typecask" --version | head -1)" = "typecask (TypecaskLib) $VERSION" ] || fail "--version"
mkdir -p "$TYPECASK_SYSROOT/fonts"
"$ROOT/usr/bin/typecask-fontgen" --family "Packaged Sans" "$TYPECASK_SYSROOT/fonts/PackagedSans.ttf"
"$ROOT/usr/bin/typecask" embed "Packaged Sans" -o "$WORK/Form1.dfm" --temporary 2>/dev/null
"$ROOT/usr/bin/typecask" inspect "$WORK/Form1.dfm" | grep -q "family declared by the font file: Packaged Sans" \
    || fail "inspect of a form embedded by the packaged tools"
# find_package and pkg-config find the package's files in the root.
include=$(PKG_CONFIG_PATH="$LIBDIR/pkgconfig" pkg-config --cflags-only-I typecasklib | sed 's/^-I//; s/ *$//')
[ "$(realpath "$include")" = "$ROOT/usr/include/TypecaskLib" ] || fail "pkg-config --cflags: $include"
mkdir -p "$WORK/probe"
cat > "$WORK/probe/CMakeLists.txt" <<'PROBE'
cmake_minimum_required(VERSION 3.16)
project(probe NONE)
find_package(TypecaskLib 1 CONFIG REQUIRED)
get_target_property(INCLUDES TypecaskLib::TypecaskLib INTERFACE_INCLUDE_DIRECTORIES)
get_target_property(LINKS TypecaskLib::TypecaskLib INTERFACE_LINK_LIBRARIES)
get_target_property(PLATFORM TypecaskLib::Platform IMPORTED_LOCATION_RELEASE)
message(STATUS "probe|${TypecaskLib_VERSION}|${INCLUDES}|${LINKS}|${PLATFORM}")
PROBE
probe=$(cmake -S "$WORK/probe" -B "$WORK/probe/build" -DCMAKE_PREFIX_PATH="$ROOT/usr" -DCMAKE_LIBRARY_ARCHITECTURE="$MULTIARCH" | sed -n 's/^-- probe|//p')
[ "$probe" = "$VERSION|$ROOT/usr/include/TypecaskLib|TypecaskLib::Platform|$LIBDIR/libTypecaskPlatform.so.$VERSION" ] \
    || fail "find_package(TypecaskLib) in the root gives: $probe"

dpkg --root="$ROOT" --log=/dev/null --force-not-root --force-script-chrootless -r typecasklib >"$WORK/dpkg.log" 2>&1 \
    || { cat "$WORK/dpkg.log"; fail "dpkg -r"; }
[ ! -e "$LIBDIR/libTypecaskLib.so.$MAJOR" ] || fail "dpkg -r left the library behind"

if command -v lintian >/dev/null; then
    lintian --fail-on error --suppress-tags-from-file /dev/null "$DEB" || fail "lintian reports errors"
else
    echo "deb-check: lintian not installed, its check skipped"
fi
echo "deb-check: $(basename "$DEB") installs, works and says what it needs"
