#!/usr/bin/env bash
# Builds the libFuzzer harnesses (preset "fuzz": clang, AddressSanitizer and
# UBSan) and runs each for a fixed time, then prints a line of figures per
# harness: executions, executions per second, coverage (edges reached of the
# instrumented ones, and features), corpus size, and the crashes found
# (usage() below).
#
# Harnesses: one per fuzz/<harness>_fuzzer.cpp. Each starts from the seeds in
# fuzz/corpus/<harness>/ and its own growing corpus in build/fuzz/corpus/<harness>/.
# A crash (or an input that hangs or eats memory) fails the run; its input is
# left in build/fuzz/artifacts/<harness>/ and the command that replays it is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

usage() {
    cat >&2 <<'USAGE'
usage: scripts/fuzz.sh [--seconds N | --minutes N] [--jobs N] [HARNESS]...
  scripts/fuzz.sh                       every harness for 25 s (what CI runs)
  scripts/fuzz.sh --minutes 5           every harness for 5 minutes
  scripts/fuzz.sh --seconds 60 probe    one harness for a minute
  scripts/fuzz.sh --jobs 2 ...          two harnesses at a time
USAGE
    exit 2
}

all=()
for f in fuzz/*_fuzzer.cpp; do
    f=${f##*/}
    all+=("${f%_fuzzer.cpp}")
done
seconds=25 jobs=1 targets=()
while [ $# -gt 0 ]; do
    case $1 in
        --seconds) [ $# -ge 2 ] || usage; seconds=$2; shift 2 ;;
        --minutes) [ $# -ge 2 ] || usage; seconds=$(($2 * 60)); shift 2 ;;
        --jobs) [ $# -ge 2 ] || usage; jobs=$2; shift 2 ;;
        -h | --help) usage ;;
        -*) echo "fuzz.sh: unknown option '$1'" >&2; usage ;;
        *)
            case " ${all[*]} " in
                *" $1 "*) targets+=("$1") ;;
                *) echo "fuzz.sh: unknown harness '$1' (have: ${all[*]})" >&2; exit 2 ;;
            esac
            shift ;;
    esac
done
[[ $seconds =~ ^[1-9][0-9]*$ ]] || { echo "fuzz.sh: the time must be a whole number above 0" >&2; exit 2; }
[[ $jobs =~ ^[1-9][0-9]*$ ]] || { echo "fuzz.sh: --jobs takes a whole number above 0" >&2; exit 2; }
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

echo "=== fuzz: configure and build"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2

build=$repo/build/fuzz
mkdir -p "$build/logs"

# Runs one harness; its exit status is libFuzzer's (0 when nothing was found).
run_one() {
    local t=$1
    local corpus=$build/corpus/$t artifacts=$build/artifacts/$t
    mkdir -p "$corpus" "$artifacts"
    touch "$build/logs/$t.start"
    local dict=()
    [ -f "fuzz/$t.dict" ] && dict=("-dict=fuzz/$t.dict")
    "$build/bin/fuzz_$t" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" "${dict[@]}" \
        "$corpus" "fuzz/corpus/$t" >"$build/logs/$t.log" 2>&1
}

# One line of figures from a harness's log.
report() {
    local t=$1 rc=$2 log=$build/logs/$t.log
    local done_line runs rate cov pcs ft corp
    done_line=$(grep -E '^#[0-9]+[[:space:]]+(DONE|pulse|NEW|REDUCE|INITED)' "$log" | tail -1 || true)
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$done_line")
    pcs=$(sed -n 's/^INFO: Loaded 1 PC tables (\([0-9]*\) PCs).*/\1/p' "$log" | head -1)
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$done_line")
    corp=$(sed -n 's/.* corp: \([0-9]*\/[0-9]*[a-zA-Z]*\).*/\1/p' <<<"$done_line")
    local found
    found=$(grep -c -E '^(==[0-9]+==ERROR|.*invariant failed|SUMMARY: (Address|Undefined)|.*runtime error)' "$log" || true)
    printf '%-10s %4ss  runs %-10s exec/s %-7s cov %-10s ft %-6s corpus %-12s %s\n' \
        "$t" "$seconds" "${runs:-?}" "${rate:-?}" "${cov:-?}/${pcs:-?}" "${ft:-?}" "${corp:-?}" \
        "$([ "$rc" -eq 0 ] && echo "no crash" || echo "FAILED (exit $rc, $found error lines)")"
}

echo "=== fuzz: ${targets[*]}, ${seconds}s each"
failed=()
declare -A status=()
pending=("${targets[@]}")
while [ ${#pending[@]} -gt 0 ]; do
    batch=("${pending[@]:0:$jobs}")
    pending=("${pending[@]:$jobs}")
    declare -A pids=()
    for t in "${batch[@]}"; do
        run_one "$t" &
        pids[$t]=$!
    done
    for t in "${batch[@]}"; do
        rc=0
        wait "${pids[$t]}" || rc=$?
        status[$t]=$rc
        report "$t" "$rc"
    done
    unset pids
done

for t in "${targets[@]}"; do
    if [ "${status[$t]}" -ne 0 ]; then
        failed+=("$t")
        echo "--- $t: $(grep -m1 -E 'invariant failed|ERROR: |runtime error' "$build/logs/$t.log" || echo 'see the log')"
        find "$build/artifacts/$t" -type f -newer "$build/logs/$t.start" | while read -r a; do
            echo "    replay: $build/bin/fuzz_$t $a"
        done
        echo "    log: $build/logs/$t.log"
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: FAILED: ${failed[*]}"
    exit 1
fi
echo "fuzz: no crash in ${targets[*]}"
