#!/usr/bin/env bash
# Builds the agent with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs the whole test suite.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$("$root/scripts/build.sh" test | tail -n 1)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$dir"
ctest --output-on-failure -j 2 "$@"
