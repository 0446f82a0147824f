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

if [ "$(git -C "$source_dir" rev-parse --show-toplevel 2>/dev/null)" = "$(cd "$source_dir" && pwd -P)" ]; then
  head=$(git -C "$source_dir" rev-parse HEAD)
  changes=""
  [ -z "$(git -C "$source_dir" status --porcelain --untracked-files=no)" ] || changes=", with uncommitted changes"
  built="triotdt $version (commit ${head:0:12}$changes)"
  # A tarball of HEAD, as `git archive` makes it, outside any checkout.
  mkdir "$work/tarball"
  git -C "$source_dir" archive HEAD cmake | tar -x -C "$work/tarball"
  [ "$(version_text "$work/tarball")" = "triotdt $version (commit ${head:0:12})" ] ||
    fail "a tarball of HEAD says '$(version_text "$work/tarball")'"
else
  built=$(version_text "$source_dir")
fi
[ "$("$triotdt" --version)" = "$built" ] || fail "the program says '$("$triotdt" --version)', not '$built'"

# Sources copied without git and without the archive's commit.
mkdir -p "$work/copy/cmake"
printf '$Format:%%H$\n' >"$work/copy/cmake/commit.txt"
[ "$(version_text "$work/copy")" = "triotdt $version (commit unknown)" ] ||
  fail "a copy without git says '$(version_text "$work/copy")'"

finish "the version names the commit the program was built from"
