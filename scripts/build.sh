#!/usr/bin/env bash
# Configures and builds one flavour of the agent: "run" (optimised) or "test"
# (sanitizers, tests). Prints the build directory's path on the last line.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
flavour="${1:-run}"
case "$flavour" in
  run)  dir="$root/build/run";  args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DAGENT_TESTS=OFF) ;;
  test) dir="$root/build/test"; args=(-DCMAKE_BUILD_TYPE=Debug -DAGENT_SANITIZE=ON -DAGENT_TESTS=ON) ;;
  *) echo "usage: $0 run|test" >&2; exit 2 ;;
esac
"$root/scripts/setup.sh"
cmake -S "$root" -B "$dir" -G Ninja "${args[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)" >&2
echo "$dir"
