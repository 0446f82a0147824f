#!/usr/bin/env bash
# `cmake --install BUILD --prefix PREFIX` puts the program in PREFIX/bin, the
# workflow and its profiles in PREFIX/share/triotdt/workflow and the manual
# page in PREFIX/share/man/man1. With PREFIX/bin on PATH the installed
# workflow runs the installed program without triotdt= and leaves the bytes
# of a whole run; with nothing on PATH it finds the program beside itself.
#   install_test.sh BUILD_DIR SOURCE_DIR man|no-man
set -euo pipefail
build=$1
source_dir=$2
man=$3
source "$(dirname "$0")/../support/checks.sh"
prefix="$work/installed here"

cmake --install "$build" --prefix "$prefix" >"$work/install.log"
installed=(bin/triotdt share/triotdt/workflow/Snakefile share/triotdt/workflow/profiles/slurm/config.yaml)
[ "$man" = man ] && installed+=(share/man/man1/triotdt.1)
for f in "${installed[@]}"; do [ -f "$prefix/$f" ] || fail "no $f"; done
[ "$("$prefix/bin/triotdt" --version)" = "$("$build/triotdt" --version)" ] || fail "the installed program is another"
if [ "$man" = man ]; then
  # The page is made from --help: every option of it is on the page.
  for option in $("$build/triotdt" --help | grep -o -- '--[a-z-]*' | sort -u); do
    grep -qF -- "${option//-/\\-}" "$prefix/share/man/man1/triotdt.1" || fail "the manual page lacks $option"
  done
fi

snakemake=$(command -v snakemake) || {
  echo "SKIPPED: snakemake is not installed (scripts/deps installs it)"
  exit 77
}
mkdir "$work/whole" "$work/run" "$work/dry" "$work/system"
for folder in whole run dry; do
  cp "$source_dir/tests/e2e/cases/seven-loci-ambiguous/tdtinput.dat" "$work/$folder/"
done
(cd "$work/whole" && "$prefix/bin/triotdt" --table results.tsv --plot results.svg >console.txt)
workflow=$prefix/share/triotdt/workflow/Snakefile
if PATH="$prefix/bin:$PATH" "$snakemake" -s "$workflow" --cores 2 --directory "$work/run" \
  --config shards=3 >"$work/run.log" 2>&1; then
  grep -qF "triotdt: running $prefix/bin/triotdt (found on PATH)" "$work/run.log" || fail "not the program on PATH"
  for f in tdttran.txt tdtout.txt results.tsv results.svg; do cmp "$work/whole/$f" "$work/run/$f" || fail "$f"; done
  cmp "$work/whole/console.txt" "$work/run/tdtconsole.txt" || fail "console"
else
  fail "the installed workflow failed:"
  cat "$work/run.log"
fi
ln -s "$(command -v bash)" "$work/system/bash"
PATH="$work/system" "$snakemake" -n -s "$workflow" --cores 1 --directory "$work/dry" >"$work/dry.log" 2>&1 || true
grep -qF "triotdt: running $prefix/bin/triotdt (installed beside the workflow)" "$work/dry.log" ||
  fail "with nothing on PATH: $(cat "$work/dry.log")"

finish "the installed workflow runs the installed program and gives a whole run's bytes"
