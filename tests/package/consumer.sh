#!/usr/bin/env bash
# Installs the build into a staging folder (DESTDIR), builds the example
# application against the staged package alone, with CMake's find_package
# and with pkg-config, and runs it: design time in one sandbox (a machine
# with the font), run time in another (a machine without it).
set -euo pipefail
BUILD=$1
SOURCE=$2
VERSION=$3
CXX=$4
INSTALL_PREFIX=$5   # CMAKE_INSTALL_PREFIX and CMAKE_INSTALL_LIBDIR of the build
INSTALL_LIBDIR=$6
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export TYPECASK_WIDGETSET=headless TYPECASK_SYSROOT="$WORK/elsewhere"

# The prefix is the build's own (CMAKE_INSTALL_PREFIX), below DESTDIR.
DESTDIR="$WORK/stage" cmake --install "$BUILD" >"$WORK/install.log"
PREFIX="$WORK/stage$INSTALL_PREFIX"
LIBDIR="$PREFIX/$INSTALL_LIBDIR"

# The layout: libraries with their SONAME links, the headers by the names the
# README shows, both tools, the manual page and the completion.
for f in "$LIBDIR/libTypecaskLib.so.$VERSION" "$LIBDIR/libTypecaskPlatform.so.$VERSION" \
         "$PREFIX/include/TypecaskLib/Typecask/component/Typecask.h" "$PREFIX/include/TypecaskLib/platform/Forms.h" \
         "$PREFIX/bin/typecask" "$PREFIX/bin/typecask-fontgen" "$PREFIX/share/man/man1/typecask.1.gz" \
         "$PREFIX/share/bash-completion/completions/typecask" \
         "$LIBDIR/pkgconfig/typecasklib.pc" "$LIBDIR/pkgconfig/typecask-platform.pc"; do
    [ -e "$f" ] || fail "not installed: ${f#"$WORK/stage"}"
done
for lib in TypecaskLib TypecaskPlatform; do
    soname=$(readelf -d "$LIBDIR/lib$lib.so.$VERSION" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
    [ "$soname" = "lib$lib.so.${VERSION%%.*}" ] || fail "lib$lib SONAME is '$soname'"
    [ "$(readlink "$LIBDIR/lib$lib.so.${VERSION%%.*}")" = "lib$lib.so.$VERSION" ] || fail "lib$lib SONAME link"
done
# Nothing installed points back into the build or the source tree.
if grep -rlF -e "$BUILD" -e "$SOURCE" "$PREFIX/include" "$LIBDIR/cmake" "$LIBDIR/pkgconfig" \
        "$PREFIX/share/bash-completion"; then
    fail "installed files name the build or source tree"
fi
for f in "$PREFIX/bin/typecask" "$LIBDIR/libTypecaskLib.so.$VERSION"; do
    readelf -d "$f" | grep -E 'R(UN)?PATH' | grep -qF -e "$BUILD" -e "$SOURCE" && fail "$f searches the build tree"
done

# The staged tools run from where they are, and read the version resource
# the staged library carries.
[ "$("$PREFIX/bin/typecask" --version | head -1)" = "typecask (TypecaskLib) $VERSION" ] || fail "staged --version"

# The example, copied out of our tree and configured against the stage only.
cp -r "$SOURCE/examples/embed-and-load" "$WORK/src"
cmake -S "$WORK/src" -B "$WORK/app" -DCMAKE_CXX_COMPILER="$CXX" -DCMAKE_PREFIX_PATH="$PREFIX" \
      -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >"$WORK/configure.log" || { cat "$WORK/configure.log"; fail "configure"; }
grep -qF "TypecaskLib_DIR:PATH=$LIBDIR/cmake/TypecaskLib" "$WORK/app/CMakeCache.txt" || fail "found another TypecaskLib"
cmake --build "$WORK/app" >"$WORK/build.log" 2>&1 || { cat "$WORK/build.log"; fail "build with find_package"; }
flags=$(cat "$WORK/app/CMakeFiles/embed-and-load.dir/flags.make")
grep -qF "$PREFIX/include/TypecaskLib" <<<"$flags" || fail "the include folder is not the staged one: $flags"
grep -qF -e "$SOURCE" -e "$BUILD" <<<"$flags" && fail "the example compiles against our tree: $flags"
APP="$WORK/app/embed-and-load"

# pkg-config says the same.
export PKG_CONFIG_PATH="$LIBDIR/pkgconfig"
[ "$(pkg-config --modversion typecasklib)" = "$VERSION" ] || fail "pkg-config version"
"$CXX" -std=c++20 -o "$WORK/app-pc" "$WORK/src/main.cpp" $(pkg-config --cflags --libs typecasklib) \
    || fail "build with pkg-config"
[ "$(LD_LIBRARY_PATH="$LIBDIR" "$WORK/app-pc" version)" = "TypecaskLib $VERSION" ] || fail "pkg-config build: version"

# Design time on the developer's machine, which has the family installed.
DEV="$WORK/developer" USER_ROOT="$WORK/user"
mkdir -p "$DEV/fonts"
"$PREFIX/bin/typecask-fontgen" --family "Staged Sans" "$DEV/fonts/StagedSans.ttf"
TYPECASK_SYSROOT="$DEV" "$APP" embed "Staged Sans" "$WORK/Form1.dfm" | grep -q "^embedded Staged Sans (" || fail "embed"
# Run time on a user's machine without it: installed while the form lives,
# gone after it.
out=$(TYPECASK_SYSROOT="$USER_ROOT" "$APP" load "$WORK/Form1.dfm")
expected="family: Staged Sans
installed: yes
enumerated while running: yes
enumerated after the form: no"
[ "$out" = "$expected" ] || fail "load printed: $out"
[ "$("$APP" version)" = "TypecaskLib $VERSION" ] || fail "version"
echo "consumer: built and ran examples/embed-and-load against the staged package"
