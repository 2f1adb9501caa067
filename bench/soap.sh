#!/usr/bin/env bash
# Builds and runs the SOAP client benchmark: a whole call against an
# in-process server beside the same three exchanges made by a minimal
# in-process keep-alive HTTP client (the floor), with the ratio; and the
# envelope writer's and reply reader's throughput. Extra arguments go to
# bench_soap (--calls N, --rounds N, --curl-runs N for a curl line too).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target bench_soap -- -j2
"$build/bench/bench_soap" "$@"
