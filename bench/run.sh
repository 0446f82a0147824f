#!/usr/bin/env bash
# Runs the benchmark workloads and prints, for each, the median wall time, CPU
# time and peak memory of several runs.
#
#   bench/run.sh [--runs N] [--only W1,W3] [--compare-first] [--scaling]
#
#   --compare-first  also builds the first complete version of the program
#                    (commit aba1068) and runs it alternately with the
#                    current one on W1 and W2, printing the ratios
#   --scaling        runs W1 and W3 alternately with 1 and 2 threads
#
# Workloads (simulated, deterministic, linkage disequilibrium between adjacent markers):
#   W1 classic            200 trios, 11 loci of 4 alleles, 2000 replicates
#   W2 microsatellites    200 trios, 9 loci of 6 alleles, 500 replicates
#   W3 large study        1000 trios, 30 biallelic loci, 10000 replicates
#   W4 many haplotypes    50 trios, 8 loci of 10 alleles, 100 replicates
set -euo pipefail
cd "$(dirname "$0")/.."
runs=3
only="W1,W2,W3,W4"
compare=0
scaling=0
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --compare-first) compare=1; shift ;;
    --scaling) scaling=1; shift ;;
    *) echo "usage: bench/run.sh [--runs N] [--only W1,W3] [--compare-first] [--scaling]" >&2; exit 2 ;;
  esac
done

scripts/deps
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTRIOTDT_BENCH=ON >/dev/null
cmake --build build -j"$(nproc)" --target triotdt generate_input measure >/dev/null
work=build/bench/work
mkdir -p "$work"

settings() {
  case "$1" in
    W1) echo "--families 200 --loci 11 --allele-count 4 --replicates 2000 --seed 1" ;;
    W2) echo "--families 200 --loci 9 --allele-count 6 --replicates 500 --seed 2" ;;
    W3) echo "--families 1000 --loci 30 --allele-count 2 --replicates 10000 --seed 3" ;;
    W4) echo "--families 50 --loci 8 --allele-count 10 --replicates 100 --seed 4" ;;
  esac
}

first=""
if [ "$compare" = 1 ]; then
  first=build/first-complete
  if [ ! -x "$first/build/triotdt" ]; then
    rm -rf "$first" && mkdir -p "$first"
    git archive aba1068 | tar -x -C "$first"
    cmake -S "$first" -B "$first/build" -DCMAKE_BUILD_TYPE=Release -DTRIOTDT_TESTS=OFF -DTRIOTDT_BENCH=OFF >/dev/null
    cmake --build "$first/build" -j"$(nproc)" --target triotdt >/dev/null
  fi
  first=$(pwd)/$first/build/triotdt
fi

# One run of PROGRAM [ARGS] on workload W in a fresh folder; prints the
# measure line. The reports are removed afterwards (W4's is large).
run_once() {
  local w=$1; shift
  local folder=$work/run-$w
  rm -rf "$folder" && mkdir -p "$folder"
  cp "$work/$w.dat" "$folder/tdtinput.dat"
  build/bench/measure --in "$folder" --quiet -- "$@"
  rm -rf "$folder"
}

# The median of the numbers on standard input.
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
field() { tr ' ' '\n' | sed -n "s/^$1=//p"; }

# Runs the labelled commands alternately, `runs` times each, and prints the medians.
declare -A wall
compare_runs() {
  local w=$1; shift
  local labels=() i label
  local -A lines
  while [ $# -gt 0 ]; do labels+=("$1"); shift; done
  for ((i = 0; i < runs; i++)); do
    for label in "${labels[@]}"; do
      lines[$label]+="$(run_once "$w" ${commands[$label]})"$'\n'
    done
  done
  for label in "${labels[@]}"; do
    local w_s c_s peak
    w_s=$(printf '%s' "${lines[$label]}" | field wall_s | median)
    c_s=$(printf '%s' "${lines[$label]}" | field cpu_s | median)
    peak=$(printf '%s' "${lines[$label]}" | field peak_mib | median)
    wall[$w/$label]=$w_s
    printf '%-3s %-22s wall %8.3f s   cpu %8.3f s   peak %7.1f MiB   (median of %d)\n' "$w" "$label" "$w_s" "$c_s" "$peak" "$runs"
  done
}

program=$(pwd)/build/triotdt
declare -A commands
for w in ${only//,/ }; do
  [ -f "$work/$w.dat" ] || build/bench/generate_input $(settings "$w") >"$work/$w.dat"
  commands=([current]="$program")
  labels=(current)
  if [ "$compare" = 1 ] && { [ "$w" = W1 ] || [ "$w" = W2 ]; }; then
    commands[first-complete]="$first"
    labels=(first-complete current)
  fi
  if [ "$scaling" = 1 ] && { [ "$w" = W1 ] || [ "$w" = W3 ]; }; then
    commands["current, 1 thread"]="$program --threads 1"
    commands["current, 2 threads"]="$program --threads 2"
    labels+=("current, 1 thread" "current, 2 threads")
  fi
  compare_runs "$w" "${labels[@]}"
  if [ -n "${wall[$w/first-complete]:-}" ]; then
    awk -v a="${wall[$w/first-complete]}" -v b="${wall[$w/current]}" -v w="$w" \
      'BEGIN { printf "%-3s current is %.1f times as fast as first-complete (wall)\n", w, a / b }'
  fi
  if [ -n "${wall[$w/current, 2 threads]:-}" ]; then
    awk -v a="${wall[$w/current, 1 thread]}" -v b="${wall[$w/current, 2 threads]}" -v w="$w" \
      'BEGIN { printf "%-3s 2 threads are %.2f times as fast as 1 thread (wall)\n", w, a / b }'
  fi
done
