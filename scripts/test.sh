#!/usr/bin/env bash
# Sets up, builds and runs every test: native (plain, AddressSanitizer+UBSan,
# ThreadSanitizer) and Windows (cross-built, run under wine).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

failed=()
run_preset() {
  local preset=$1
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2
  echo "=== $preset: test"
  if ! ctest --preset "$preset" -j2; then
    failed+=("$preset")
  fi
}

# The native build comes first: the Windows tests use its simulator.
for preset in native native-asan native-tsan windows; do
  run_preset "$preset"
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All test suites passed."
