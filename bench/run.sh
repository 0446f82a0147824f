#!/usr/bin/env bash
# Runs the benchmark workloads and prints, for each, the median wall time, CPU
# time and peak memory of several runs.
#
#   bench/run.sh [--runs N] [--only W1,W3] [--compare-first] [--scaling]
#                [--compare REF [--check-bytes]] [--family-wise] [--threads N]
#
#   --compare-first  also builds the first complete version of the program
#                    (commit aba1068) and runs it alternately with the
#                    current one on W1 and W2, printing the ratios
#   --scaling        runs W1, W3 and W5s alternately with 1 and 2 threads
#   --compare REF    also builds the program at git commit REF and runs it
#                    alternately with the current one on W5s (and the --only
#                    list, if given), printing the ratios
#   --check-bytes    with --compare: first runs both builds once on each of
#                    those workloads and compares their reports byte for byte
#   --family-wise    runs W5s (and the --only list) alternately with --seed 1
#                    and with --family-wise (the same stream), printing the
#                    ratios of their CPU and wall times
#   --threads N      passes --threads N to every program run
#
# Workloads (simulated, deterministic, linkage disequilibrium between adjacent markers):
#   W1 classic            200 trios, 11 loci of 4 alleles, 2000 replicates
#   W2 microsatellites    200 trios, 9 loci of 6 alleles, 500 replicates
#   W3 large study        1000 trios, 30 biallelic loci, 10000 replicates
#   W4 many haplotypes    50 trios, 8 loci of 10 alleles, 100 replicates
#   W5 chromosome         1000 trios, 20000 biallelic loci, 1000 replicates (long)
#   W5s chromosome, quick 500 trios, 2000 biallelic loci, 200 replicates
#   W5a, W5sa             the genotypes of W5 and W5s with 100 replicates in the
#                         file and --adaptive 1000000 (counter-based stream):
#                         each prints the replicates per window (median, 99th
#                         percentile, maximum), and when W5 (W5s) runs too, the
#                         ratio of their wall times
set -euo pipefail
cd "$(dirname "$0")/.."
runs=3
only="W1,W2,W3,W4"
only_given=0
compare=0
scaling=0
reference=""
check_bytes=0
family_wise=0
threads=()
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --only) only=$2; only_given=1; shift 2 ;;
    --compare-first) compare=1; shift ;;
    --scaling) scaling=1; shift ;;
    --compare) reference=$2; shift 2 ;;
    --check-bytes) check_bytes=1; shift ;;
    --family-wise) family_wise=1; shift ;;
    --threads) threads=(--threads "$2"); shift 2 ;;
    *) echo "usage: bench/run.sh [--runs N] [--only W1,W3] [--compare-first] [--scaling]" \
            "[--compare REF [--check-bytes]] [--family-wise] [--threads N]" >&2; exit 2 ;;
  esac
done
if [ "$check_bytes" = 1 ] && [ -z "$reference" ]; then
  echo "bench/run.sh: --check-bytes needs --compare REF" >&2
  exit 2
fi
if [ -n "$reference" ] || [ "$family_wise" = 1 ]; then
  case ",$only," in *,W5s,*) ;; *) if [ "$only_given" = 1 ]; then only="W5s,$only"; else only=W5s; fi ;; esac
fi

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
    W5) echo "--families 1000 --loci 20000 --allele-count 2 --replicates 1000 --seed 5" ;;
    W5s) echo "--families 500 --loci 2000 --allele-count 2 --replicates 200 --seed 6" ;;
    W5a) echo "--families 1000 --loci 20000 --allele-count 2 --replicates 100 --seed 5" ;;
    W5sa) echo "--families 500 --loci 2000 --allele-count 2 --replicates 100 --seed 6" ;;
    *) echo "bench/run.sh: no workload $1" >&2; exit 2 ;;
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

# The program as it was at git commit REF, built once in its own folder.
reference_program=""
if [ -n "$reference" ]; then
  commit=$(git rev-parse --verify "$reference^{commit}")
  folder=build/compare-$commit
  if [ ! -x "$folder/build/triotdt" ]; then
    rm -rf "$folder" && mkdir -p "$folder"
    git archive "$commit" | tar -x -C "$folder"
    cmake -S "$folder" -B "$folder/build" -DCMAKE_BUILD_TYPE=Release -DTRIOTDT_TESTS=OFF -DTRIOTDT_BENCH=OFF >/dev/null
    cmake --build "$folder/build" -j"$(nproc)" --target triotdt >/dev/null
  fi
  reference_program=$(pwd)/$folder/build/triotdt
fi

# Runs PROGRAM [ARGS] once on workload W in FOLDER, keeping its reports and
# its console output (console.txt).
run_keeping() {
  local w=$1 folder=$2; shift 2
  rm -rf "$folder" && mkdir -p "$folder"
  cp "$work/$w.dat" "$folder/tdtinput.dat"
  (cd "$folder" && "$@" >console.txt)
}

# Runs both builds once on workload W and compares every report they write.
check_bytes_of() {
  local w=$1 a=$work/bytes-$w-reference b=$work/bytes-$w-current file same=1
  run_keeping "$w" "$a" "$reference_program" "${threads[@]}"
  run_keeping "$w" "$b" "$program" "${threads[@]}"
  for file in tdtout.txt tdttran.txt console.txt; do
    if ! cmp -s "$a/$file" "$b/$file"; then
      echo "$w $file differs between $reference and the current build:"
      cmp "$a/$file" "$b/$file" | head -1 || true
      same=0
    fi
  done
  [ "$same" = 1 ] && echo "$w reports byte-identical to $reference"
  rm -rf "$a" "$b"
  [ "$same" = 1 ]
}

# The program's own options of workload W: adaptive replicates for W5a and
# W5sa, with a table to count the replicates of each window.
workload_options() {
  case "$1" in
    W5a | W5sa) echo "--adaptive 1000000 --table table.tsv" ;;
  esac
}

# Replicates per window of a run's table: median, 99th percentile, maximum, mean.
replicate_counts() {
  awk -F'\t' 'NR == 1 { for (i = 1; i <= NF; i++) if ($i == "replicates") c = i; next } { print $c }' "$1" |
    sort -g | awk '{ v[NR] = $1; s += $1 } END {
      printf "replicates per window: median %d, 99th percentile %d, maximum %d, mean %.0f over %d windows\n",
        v[int((NR + 1) / 2)], v[int(0.99 * NR + 0.999)], v[NR], s / NR, NR }'
}

# One run of PROGRAM [ARGS] on workload W in a fresh folder; prints the
# measure line (and, with a table, the replicates per window on standard
# error). The reports are removed afterwards (W4's is large).
run_once() {
  local w=$1; shift
  local folder=$work/run-$w
  rm -rf "$folder" && mkdir -p "$folder"
  cp "$work/$w.dat" "$folder/tdtinput.dat"
  build/bench/measure --in "$folder" --quiet -- "$@" $(workload_options "$w")
  if [ -f "$folder/table.tsv" ]; then echo "$w $(replicate_counts "$folder/table.tsv")" >&2; fi
  rm -rf "$folder"
}

# The median of the numbers on standard input.
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
field() { tr ' ' '\n' | sed -n "s/^$1=//p"; }

# Runs the labelled commands alternately, `runs` times each, and prints the medians.
declare -A wall cpu
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
    cpu[$w/$label]=$c_s
    printf '%-3s %-22s wall %8.3f s   cpu %8.3f s   peak %7.1f MiB   (median of %d)\n' "$w" "$label" "$w_s" "$c_s" "$peak" "$runs"
  done
}

program=$(pwd)/build/triotdt
declare -A commands
bytes_differ=0
for w in ${only//,/ }; do
  [ -f "$work/$w.dat" ] || build/bench/generate_input $(settings "$w") >"$work/$w.dat"
  if [ "$check_bytes" = 1 ]; then check_bytes_of "$w" || bytes_differ=1; fi
  commands=([current]="$program ${threads[*]}")
  labels=(current)
  if [ -n "$reference" ]; then
    commands[$reference]="$reference_program ${threads[*]}"
    labels=("$reference" current)
  fi
  if [ "$compare" = 1 ] && { [ "$w" = W1 ] || [ "$w" = W2 ]; }; then
    commands[first-complete]="$first"
    labels=(first-complete "${labels[@]}")
  fi
  if [ "$scaling" = 1 ] && { [ "$w" = W1 ] || [ "$w" = W3 ] || [ "$w" = W5s ]; }; then
    commands["current, 1 thread"]="$program --threads 1"
    commands["current, 2 threads"]="$program --threads 2"
    labels+=("current, 1 thread" "current, 2 threads")
  fi
  if [ "$family_wise" = 1 ]; then
    commands["seed 1"]="$program ${threads[*]} --seed 1"
    commands[family-wise]="$program ${threads[*]} --family-wise"
    labels=("seed 1" family-wise)
  fi
  compare_runs "$w" "${labels[@]}"
  if [ "$family_wise" = 1 ]; then
    awk -v a="${cpu[$w/seed 1]}" -v b="${cpu[$w/family-wise]}" -v c="${wall[$w/seed 1]}" -v d="${wall[$w/family-wise]}" \
      -v w="$w" 'BEGIN { printf "%-3s --family-wise takes %.3f of the CPU and %.3f of the wall time of --seed 1\n", w, b / a, d / c }'
  fi
  if [ -n "${wall[$w/first-complete]:-}" ]; then
    awk -v a="${wall[$w/first-complete]}" -v b="${wall[$w/current]}" -v w="$w" \
      'BEGIN { printf "%-3s current is %.1f times as fast as first-complete (wall)\n", w, a / b }'
  fi
  if [ -n "$reference" ]; then
    awk -v a="${wall[$w/$reference]}" -v b="${wall[$w/current]}" -v w="$w" -v r="$reference" \
      'BEGIN { printf "%-3s current is %.2f times as fast as %s (wall)\n", w, a / b, r }'
  fi
  if [ "${w%a}" != "$w" ] && [ -n "${wall[${w%a}/current]:-}" ]; then
    awk -v a="${wall[${w%a}/current]}" -v b="${wall[$w/current]}" -v w="$w" -v f="${w%a}" \
      'BEGIN { printf "%-4s adaptive takes %.2f of the wall time of %s (%.2f times as fast)\n", w, b / a, f, a / b }'
  fi
  if [ -n "${wall[$w/current, 2 threads]:-}" ]; then
    awk -v a="${wall[$w/current, 1 thread]}" -v b="${wall[$w/current, 2 threads]}" -v w="$w" \
      'BEGIN { printf "%-3s 2 threads are %.2f times as fast as 1 thread (wall)\n", w, a / b }'
  fi
done
exit "$bytes_differ"
