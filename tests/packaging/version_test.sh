#!/usr/bin/env bash
# `triotdt --version` names the version and the commit the program was built
# from: HEAD of its checkout; in a tarball made by `git archive`, the commit
# written into cmake/commit.txt; elsewhere, "commit unknown".
#   version_test.sh TRIOTDT SOURCE_DIR VERSION
set -euo pipefail
triotdt=$1
source_dir=$2
version=$3
source "$(dirname "$0")/../support/checks.sh"

# version_text FOLDER: the text cmake/version.cmake makes for sources in FOLDER.
version_text() {
  cmake -DSOURCE_DIR="$1" -DVERSION="$version" -DTEMPLATE="$source_dir/src/driver/version.cpp.in" \
    -DOUTPUT="$work/version.cpp" -P "$source_dir/cmake/version.cmake"
  sed -n 's/.*return "\(.*\)";.*/\1/p' "$work/version.cpp"
}

# expect FOLDER TEXT: the sources in FOLDER make the version text TEXT.
expect() {
  local made
  made=$(version_text "$1")
  [ "$made" = "$2" ] || fail "$1 makes '$made', not '$2'"
}

# The program names HEAD of its checkout (whether files changed since the
# build is checked below, on a checkout of its own).
if [ "$(git -C "$source_dir" rev-parse --show-toplevel 2>/dev/null)" = "$(cd "$source_dir" && pwd -P)" ]; then
  head=$(git -C "$source_dir" rev-parse HEAD)
  said=$("$triotdt" --version)
  [[ "$said" == "triotdt $version (commit ${head:0:12}"[,\)]* ]] || fail "the program says '$said', not HEAD ${head:0:12}"
  # A tarball of HEAD, as `git archive` makes it, outside any checkout.
  mkdir "$work/tarball"
  git -C "$source_dir" archive HEAD cmake | tar -x -C "$work/tarball"
  expect "$work/tarball" "triotdt $version (commit ${head:0:12})"
else
  [ "$("$triotdt" --version)" = "$(version_text "$source_dir")" ] || fail "the program says '$("$triotdt" --version)'"
fi

# Sources copied without git and without the archive's commit.
mkdir -p "$work/copy/cmake"
printf '$Format:%%H$\n' >"$work/copy/cmake/commit.txt"
expect "$work/copy" "triotdt $version (commit unknown)"

# A checkout of its own: HEAD, then HEAD with a tracked file changed.
git init -q "$work/checkout"
cp -r "$work/copy/cmake" "$work/checkout/"
git -C "$work/checkout" add cmake
git -C "$work/checkout" -c user.name=test -c user.email=test@localhost commit -q -m sources
commit=$(git -C "$work/checkout" rev-parse HEAD)
expect "$work/checkout" "triotdt $version (commit ${commit:0:12})"
echo changed >"$work/checkout/cmake/commit.txt"
expect "$work/checkout" "triotdt $version (commit ${commit:0:12}, with uncommitted changes)"

finish "the version names the commit the program was built from"
