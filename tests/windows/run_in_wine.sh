#!/usr/bin/env bash
# Runs one Windows test program in the test run's Wine prefix and display.
#
#   run_in_wine.sh BUILD_DIR PROGRAM [ARG]...
#
# The program gets 240 seconds and is then stopped; its exit status is the
# script's (124 when it ran out of time).
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 BUILD_DIR PROGRAM [ARG]..." >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/wine-env.sh" "$1"
shift
exec timeout -k 10 240 wine "$@"
