#!/usr/bin/env bash
# Sets up, builds and runs every test: native (plain, AddressSanitizer+UBSan,
# ThreadSanitizer), the fuzz harnesses for a short time, and Windows
# (cross-built, run under wine).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

failed=()
timings=()
run_preset() {
    local preset=$1 started=$SECONDS
    echo "=== $preset: configure and build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j2
    echo "=== $preset: test"
    if ! ctest --preset "$preset" -j2; then
        failed+=("$preset")
    fi
    timings+=("$preset $((SECONDS - started))")
}

# The native build comes first: the Windows tests use its simulator.
for preset in native native-asan native-tsan; do
    run_preset "$preset"
done

# Each libFuzzer harness for a short fixed time; a crash fails the run and
# leaves its input in build/fuzz/artifacts/.
echo "=== fuzz"
started=$SECONDS
if ! bash scripts/fuzz.sh --seconds 25; then
    failed+=(fuzz)
fi
timings+=("fuzz $((SECONDS - started))")

run_preset windows

(IFS=,; echo "Times (s): ${timings[*]}; in all $SECONDS s")
if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "All test suites passed."
