#!/usr/bin/env bash
# Runs workflow/Snakefile with Snakemake on a small input, with each way of
# giving its settings, and compares what it leaves with a whole run of the
# same input, byte for byte; then checks how it finds the program when no
# triotdt= is given.
#   workflow_test.sh TRIOTDT SOURCE_DIR
set -euo pipefail
triotdt=$1
source_dir=$2
snakemake=$(command -v snakemake) || {
  echo "SKIPPED: snakemake is not installed (scripts/deps installs it)"
  exit 77
}
source "$(dirname "$0")/../support/checks.sh"
input=$source_dir/tests/e2e/cases/seven-loci-ambiguous/tdtinput.dat
mkdir "$work/whole"
cp "$input" "$work/whole/"
(cd "$work/whole" && "$triotdt" --table results.tsv --plot results.svg >console.txt)
# Without the figure the console has no inflation factor.
mkdir "$work/plain"
cp "$input" "$work/plain/"
(cd "$work/plain" && "$triotdt" >console.txt)

# Snakemake is started in start/, where "my tools/triotdt" is the program.
mkdir -p "$work/start/my tools"
ln -s "$triotdt" "$work/start/my tools/triotdt"

# run_case NAME SHARDS TABLE PLOT ARGUMENT...: runs the workflow in the run
# folder "run NAME" with the arguments (--options for snakemake, settings for
# --config), and expects the whole run's reports, console, table (named
# TABLE, none if empty) and figure (PLOT), and nothing else but the input and
# the shard plan.
run_case() {
  local name=$1 shards=$2 table=$3 plot=$4
  shift 4
  local run="$work/run $name" options=() settings=()
  for argument; do
    case $argument in --*) options+=("$argument") ;; *) settings+=("$argument") ;; esac
  done
  mkdir "$run"
  cp "$input" "$run/"
  if ! (cd "$work/start" && "$snakemake" -s "$source_dir/workflow/Snakefile" --cores 2 --directory "$run" \
    "${options[@]}" --config shards="$shards" "${settings[@]}") >"$work/$name.log" 2>&1; then
    fail "$name: snakemake failed"
    sed 's/^/    /' "$work/$name.log"
    return
  fi
  local expected=(tdtinput.dat tdttran.txt tdtout.txt tdtconsole.txt "shard-plan-$shards.tsv")
  local console=$work/whole/console.txt
  [ -n "$plot" ] || console=$work/plain/console.txt
  cmp "$console" "$run/tdtconsole.txt" || fail "$name: console"
  for f in tdttran.txt tdtout.txt; do cmp "$work/whole/$f" "$run/$f" || fail "$name: $f"; done
  if [ -n "$table" ]; then
    cmp "$work/whole/results.tsv" "$run/$table" || fail "$name: table"
    expected+=("$table")
  fi
  if [ -n "$plot" ]; then
    cmp "$work/whole/results.svg" "$run/$plot" || fail "$name: figure"
    expected+=("$plot")
  fi
  # The shard folders are temporary: the workflow removes them once merged.
  [ "$(cd "$run" && ls | sort)" = "$(printf '%s\n' "${expected[@]}" | sort)" ] ||
    fail "$name: the run folder holds $(cd "$run" && ls | tr '\n' ' ')"
}

run_case defaults 4 results.tsv results.svg "triotdt=$triotdt"
run_case no-table-or-figure 3 "" "" "triotdt=$triotdt" table= plot=
# A relative program path is taken from where snakemake was started.
run_case spaces 2 "my results.tsv" "my figure.svg" "triotdt=my tools/triotdt" \
  "table=my results.tsv" "plot=my figure.svg"

# A shard that fails is tried again (--restart-times), asking for twice the
# memory and the time of the plan, as a job stopped at its limit needs.
cat >"$work/start/fails-once" <<EOF
#!/bin/sh
case " \$* " in
*" --shard 2/3 "*) [ -e "$work/start/failed" ] || { touch "$work/start/failed"; exit 1; } ;;
esac
exec "$triotdt" "\$@"
EOF
chmod +x "$work/start/fails-once"
run_case retried 3 results.tsv results.svg --restart-times=1 triotdt=./fails-once
memory=$(cd "$work/whole" && "$triotdt" --shard-plan 3 | awk -F'\t' '$1 == 2 { print $6 }')
sed -n '/^Trying to restart/,$p' "$work/retried.log" | grep -q "mem_mb=$((2 * memory)),.* time_min=2$" ||
  fail "the second attempt of shard 2 did not ask for twice the memory and time: $(cat "$work/retried.log")"

# From a VCF: the import's run folders (the example's chr7/ and chrX/) are
# each analysed in shards, as a whole run in each folder would analyse it.
vcf_run="$work/run vcf"
mkdir "$vcf_run"
if (cd "$work/start" && "$snakemake" -s "$source_dir/workflow/Snakefile" --cores 2 --directory "$vcf_run" \
  --config shards=2 "triotdt=$triotdt" "vcf=$source_dir/examples/trios.vcf" \
  "pedigree=$source_dir/examples/trios.fam") >"$work/vcf.log" 2>&1; then
  for chromosome in chr7 chrX; do
    whole="$work/whole $chromosome"
    mkdir "$whole"
    cp "$vcf_run/import/$chromosome"/tdt{input.dat,loci.tsv} "$whole/"
    [ "$chromosome" = chr7 ] || cp "$vcf_run/import/$chromosome/tdtsex.tsv" "$whole/"
    (cd "$whole" && "$triotdt" --table results.tsv --plot results.svg >console.txt)
    cmp "$whole/console.txt" "$vcf_run/import/$chromosome/tdtconsole.txt" || fail "vcf $chromosome: console"
    for f in tdttran.txt tdtout.txt results.tsv results.svg; do
      cmp "$whole/$f" "$vcf_run/import/$chromosome/$f" || fail "vcf $chromosome: $f"
    done
  done
else
  fail "vcf: snakemake failed"
  sed 's/^/    /' "$work/vcf.log"
fi

# From a VCF of two chromosomes: the import, each chromosome in shards, and
# the genome put together by combine (genome.tsv, genome.svg, genome.txt),
# the bytes the same commands give by hand; with and without family-wise
# p-values.
cp "$source_dir/tests/import/data/trios.vcf" "$source_dir/tests/import/data/trios_pedigree.fam" "$work/start/"
genome_case() {
  local name=$1 family_wise=$2 hand="$work/hand $1" run="$work/vcf $1" options=()
  [ "$family_wise" = 1 ] && options=(--family-wise)
  mkdir -p "$hand/import" "$run"
  "$triotdt" -C "$hand/import" import --vcf "$work/start/trios.vcf" --pedigree "$work/start/trios_pedigree.fam" >/dev/null
  for chromosome in chr1 chr2; do
    (cd "$hand/import/$chromosome" && "$triotdt" "${options[@]}" --table results.tsv --plot results.svg >/dev/null)
  done
  (cd "$hand" && "$triotdt" combine --table genome.tsv --plot genome.svg --run-table results.tsv import/chr1 \
    import/chr2 >genome.txt)
  if ! (cd "$work/start" && "$snakemake" -s "$source_dir/workflow/Snakefile" --cores 2 --directory "$run" \
    --config shards=2 "triotdt=$triotdt" vcf=trios.vcf pedigree=trios_pedigree.fam "family_wise=$family_wise") \
    >"$work/$name.log" 2>&1; then
    fail "$name: snakemake failed"
    sed 's/^/    /' "$work/$name.log"
    return
  fi
  local compared=(genome.tsv genome.svg genome.txt import/chr1/results.tsv import/chr2/tdtout.txt)
  [ "$family_wise" = 1 ] && compared+=(import/chr1/tdtfamilywise.tsv)
  for f in "${compared[@]}"; do cmp "$hand/$f" "$run/$f" || fail "$name: $f"; done
  grep -q "^Combined 2 runs: 1 (" "$run/genome.txt" || fail "$name: genome.txt: $(cat "$run/genome.txt")"
}
genome_case genome 0
genome_case genome-family-wise 1

# Without triotdt=, the program on PATH comes first, then the one built
# beside the workflow (build/triotdt of its checkout). Each case: the PATH,
# whether the build is there, and what the workflow must say.
mkdir -p "$work/checkout/workflow" "$work/checkout/build" "$work/on path" "$work/system" "$work/dry"
cp "$source_dir/workflow/Snakefile" "$work/checkout/workflow/"
cp "$input" "$work/dry/"
ln -s "$triotdt" "$work/on path/triotdt"
ln -s "$(command -v bash)" "$work/system/bash"
find_case() {
  local path=$1 build=$2 said=$3
  rm -f "$work/checkout/build/triotdt"
  [ "$build" = built ] && ln -s "$triotdt" "$work/checkout/build/triotdt"
  local out
  out=$(PATH=$path "$snakemake" -n -s "$work/checkout/workflow/Snakefile" --cores 1 --directory "$work/dry" 2>&1) || true
  [[ "$out" == *"$said"* ]] || fail "PATH=$path, $build: expected '$said' in:
$out"
}
find_case "$work/on path:$work/system" built "triotdt: running $work/on path/triotdt (found on PATH)"
find_case "$work/system" built "triotdt: running $work/checkout/build/triotdt (built beside the workflow)"
find_case "$work/system" none "triotdt: no program to run: none on PATH, and none built beside the workflow ($work/checkout/build/triotdt)"

finish "the workflow's reports, console, table and figure match a whole run, so does the genome from a VCF, and it finds the program"
