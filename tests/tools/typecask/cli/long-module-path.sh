#!/usr/bin/env bash
# typecask about with the package loaded from a folder whose path passes 260
# characters: the version values come from the package's own file all the
# same (a path cut at 260 characters names no file).
set -euo pipefail
TYPECASK=${1:?usage: long-module-path.sh PATH-TO-TYPECASK PATH-TO-PACKAGE}
PACKAGE=${2:?usage: long-module-path.sh PATH-TO-TYPECASK PATH-TO-PACKAGE}  # by the name the loader asks for
WORK=$(mktemp -d "${TMPDIR:-/tmp}/typecask-cli.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
LONG="$WORK"
while [ ${#LONG} -lt 300 ]; do LONG="$LONG/a-folder-name-of-forty-characters-each-x"; done
mkdir -p "$LONG"
cp "$PACKAGE" "$LONG/"
about=$(LD_LIBRARY_PATH="$LONG" "$TYPECASK" about)
loaded=$(LD_LIBRARY_PATH="$LONG" LD_DEBUG=libs "$TYPECASK" about 2>&1 >/dev/null)
grep -qF "calling init: $LONG/$(basename "$PACKAGE")" <<<"$loaded" \
    || { echo "FAIL: the package was not loaded from the long path" >&2; exit 1; }
grep -qx "OriginalFilename  *libTypecaskLib.so" <<<"$about" \
    || { echo "FAIL: no version values from a ${#LONG}-character path: $about" >&2; exit 1; }
echo "long module path: all checks passed"
