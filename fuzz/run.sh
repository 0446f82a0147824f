#!/usr/bin/env bash
# Builds the fuzz target with clang in build-fuzz/ and runs it for SECONDS
# seconds on the seed corpus in fuzz/corpus, then prints how many inputs it
# ran and what it found.
#
#   fuzz/run.sh SECONDS [extra libFuzzer options...]
#
# New interesting inputs go to build-fuzz/corpus (the seeds stay as they are);
# an input that crashes, leaks, times out or breaks a check of the target is
# saved in build-fuzz/findings/ and ends the run with exit status 1. Replay
# one with: build-fuzz/fuzz/fuzz_input "$PWD/build-fuzz/findings/FILE" (an
# absolute path: the target works in a scratch folder of its own).
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 1 ] || { echo "usage: fuzz/run.sh SECONDS [libFuzzer options...]" >&2; exit 2; }
seconds=$1; shift

packages=(clang libclang-rt-14-dev cmake make)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}" >&2
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq >/dev/null
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

build=$PWD/build-fuzz
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTRIOTDT_FUZZ=ON -DTRIOTDT_TESTS=OFF -DTRIOTDT_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target fuzz_input >/dev/null
mkdir -p "$build/corpus" "$build/findings"
earlier=$(find "$build/findings" -type f | wc -l)

# Scratch folders of the runs on a memory file system when there is one.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
log="$build/fuzz.log"
status=0
# Inputs up to 140000 bytes cross two of the reader's 64 KiB chunks; a single
# allocation above 1 GiB is a finding (the input files are tiny), and so is
# an input that takes more than 10 seconds.
"$build/fuzz/fuzz_input" "$build/corpus" "$PWD/fuzz/corpus" -dict="$PWD/fuzz/tdtinput.dict" \
  -max_total_time="$seconds" -max_len=140000 -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 \
  -artifact_prefix="$build/findings/" -print_final_stats=1 "$@" >"$log" 2>&1 || status=$?

executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
[ -n "$executions" ] || executions=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log" | tail -1)
findings=$(( $(find "$build/findings" -type f | wc -l) - earlier ))
echo "fuzzed for up to $seconds s: ${executions:-?} executions, corpus $(find "$build/corpus" -type f | wc -l) inputs,"\
  "$findings new finding(s) in $build/findings (log: $log)"
if [ "$status" -ne 0 ]; then
  grep -E "^(==[0-9]+==ERROR|SUMMARY|fuzz finding|.*runtime error)" "$log" | head -5 >&2 || true
  exit 1
fi
