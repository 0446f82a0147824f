#!/usr/bin/env bash
# The X-linked analysis on simulated trios: its type-I error on null data and
# its power at a risk haplotype, from many data sets of generate_input
# --x-linked (sons and daughters at even odds, each father missing with
# probability --missing-fathers, linkage disequilibrium between markers).
#
#   bench/x_study.sh [--datasets N] [--power-datasets M] [--families F]
#                    [--replicates R] [--missing-fathers P] [--risk P] [--autosomal]
#                    [--first-seed S]
#
# Each data set has 6 biallelic loci on X. Of every data set the study takes
# two windows fixed in advance, locus 1 alone and loci 1 to 3 (where the
# risk haplotype, all first alleles, lies), and counts for each of the five
# statistics the p-values at or below 0.01, 0.05 and 0.1. Under the null
# such a count follows Binomial(N, alpha); the study prints its central 95%
# range and says whether the count lies in it. The power is the share of
# the power data sets (--risk: a heterozygous mother transmits the risk
# haplotype with that extra probability) whose p-value is 0.05 or less.
# --autosomal runs the same study on autosomal trios of the same design
# (both parents transmitting, no father missing), for comparison. The data
# sets are those of generator seeds S, S + 1, ... (1 by default).
set -euo pipefail
cd "$(dirname "$0")/.."
datasets=1000
power_datasets=300
families=200
replicates=1000
missing_fathers=0.3
risk=0.25
inheritance=x
first_seed=1
while [ $# -gt 0 ]; do
  case "$1" in
    --datasets) datasets=$2; shift 2 ;;
    --power-datasets) power_datasets=$2; shift 2 ;;
    --families) families=$2; shift 2 ;;
    --replicates) replicates=$2; shift 2 ;;
    --missing-fathers) missing_fathers=$2; shift 2 ;;
    --risk) risk=$2; shift 2 ;;
    --autosomal) inheritance=autosomal; shift ;;
    --first-seed) first_seed=$2; shift 2 ;;
    *) echo "usage: bench/x_study.sh [--datasets N] [--power-datasets M] [--families F] [--replicates R]" \
            "[--missing-fathers P] [--risk P] [--autosomal] [--first-seed S]" >&2; exit 2 ;;
  esac
done
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTRIOTDT_BENCH=ON >/dev/null
cmake --build build -j"$(nproc)" --target triotdt generate_input >/dev/null
triotdt=$PWD/build/triotdt
generate=$PWD/build/bench/generate_input
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
x_options=(--x-linked "$work/tdtsex.tsv" --missing-fathers "$missing_fathers")
[ "$inheritance" = x ] || x_options=()

# p_values FIRST_SEED COUNT RISK: one line per data set and window: the
# window (1-1 or 1-3), then the p-values of Punamb, Pg, Pe, Pc and Pem.
p_values() {
  local first=$1 count=$2 risk=$3
  for ((seed = first; seed < first + count; ++seed)); do
    rm -f "$work"/tdt{input.dat,sex.tsv,tran.txt,out.txt} "$work/results.tsv"
    "$generate" --families "$families" --replicates "$replicates" --loci 6 --allele-count 2 --seed "$seed" \
      --risk "$risk" "${x_options[@]}" >"$work/tdtinput.dat"
    "$triotdt" -C "$work" --threads 1 --table results.tsv >/dev/null
    awk -F'\t' 'NR > 1 && $2 == 1 && ($1 == 1 || $1 == 3) { print "1-" $3, $18, $19, $20, $21, $22 }' \
      "$work/results.tsv"
  done
}

if [ "$inheritance" = x ]; then
  echo "X-linked study: $families trios a data set (sons and daughters at even odds, fathers missing" \
       "with probability $missing_fathers), 6 biallelic loci, $replicates replicates"
else
  echo "Autosomal study: $families trios a data set, 6 biallelic loci, $replicates replicates"
fi
p_values "$first_seed" "$datasets" 0 >"$work/null.txt"
p_values $((first_seed + datasets)) "$power_datasets" "$risk" >"$work/power.txt"

echo
echo "Type-I error over $datasets null data sets: p-values at or below alpha, and the central 95% range of"
echo "Binomial($datasets, alpha) that the count should lie in"
awk -v n="$datasets" '
  BEGIN { split("Punamb Pg Pe Pc Pem", name, " "); split("0.01 0.05 0.1", alpha, " ") }
  # The central 95% range of Binomial(n, p), from its probabilities one by one.
  function range(p,    k, pmf, cdf, lo) {
    pmf = (1 - p) ^ n; cdf = pmf; lo = -1
    for (k = 0; k <= n; ++k) {
      if (lo < 0 && cdf > 0.025) lo = k
      if (cdf >= 0.975) return lo "-" k
      pmf = pmf * (n - k) / (k + 1) * p / (1 - p); cdf += pmf
    }
    return lo "-" n
  }
  { for (s = 1; s <= 5; ++s) for (a = 1; a <= 3; ++a) if ($(s + 1) <= alpha[a] + 1e-12) ++count[$1, s, a] }
  END {
    printf "%-7s %-7s", "window", "stat"
    for (a = 1; a <= 3; ++a) printf "   %-22s", "alpha " alpha[a]
    printf "\n"
    for (w = 1; w <= 2; ++w) {
      window = w == 1 ? "1-1" : "1-3"
      for (s = 1; s <= 5; ++s) {
        printf "%-7s %-7s", window, name[s]
        for (a = 1; a <= 3; ++a) {
          c = count[window, s, a] + 0; r = range(alpha[a]); split(r, b, "-")
          printf "   %4d %.4f %-8s %-3s", c, c / n, "[" r "]", (c >= b[1] && c <= b[2]) ? "in" : "OUT"
        }
        printf "\n"
      }
    }
  }' "$work/null.txt"

echo
echo "Power over $power_datasets data sets with the risk haplotype (--risk $risk): share of p-values at or below 0.05"
awk -v n="$power_datasets" '
  BEGIN { split("Punamb Pg Pe Pc Pem", name, " ") }
  { for (s = 1; s <= 5; ++s) if ($(s + 1) <= 0.05 + 1e-12) ++count[$1, s] }
  END {
    printf "%-7s", "window"; for (s = 1; s <= 5; ++s) printf " %7s", name[s]; printf "\n"
    for (w = 1; w <= 2; ++w) {
      window = w == 1 ? "1-1" : "1-3"; printf "%-7s", window
      for (s = 1; s <= 5; ++s) printf " %7.3f", count[window, s] / n
      printf "\n"
    }
  }' "$work/power.txt"
