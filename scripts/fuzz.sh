#!/usr/bin/env bash
# Builds the packet receiver's fuzz target with clang's libFuzzer (in
# build/fuzz, apart from the other builds) and runs a short fuzzing session
# seeded with the committed corpus. New inputs it finds go to
# build/fuzz/corpus; a crash leaves its input in build/fuzz/.
#
#   scripts/fuzz.sh [SECONDS] [libFuzzer options...]     default 60 seconds
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift $(( $# > 0 ? 1 : 0 ))
dir="$root/build/fuzz"

"$root/scripts/setup.sh" fuzz
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
  -DAGENT_FUZZ=ON -DAGENT_TESTS=OFF -DAGENT_SANITIZE=OFF -DAGENT_BENCH=OFF >/dev/null
cmake --build "$dir" --target comm_pack_fuzzer -j "$(nproc)" >&2

mkdir -p "$dir/corpus"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
"$dir/bin/comm_pack_fuzzer" -max_total_time="$seconds" -max_len=16384 -print_final_stats=1 \
  -artifact_prefix="$dir/" "$dir/corpus" "$root/fuzz/corpus/comm_pack" "$@"
