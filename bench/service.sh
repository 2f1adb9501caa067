#!/usr/bin/env bash
# Builds and runs the tarquell-service load benchmark: echo engine, Apertium
# through the persistent pipelines, and one apertium process per request as
# the baseline, in one run. Extra arguments go to bench_service.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target tarquell-service bench_service -- -j2
"$build/bench/bench_service" --service "$build/server/tarquell-service" "$@"
