#!/usr/bin/env bash
# Vantudict beside Debian's dict with dictd: builds bench_vantudict and runs
# it (lookups on the same 1,000 words, memory with every dictionary open),
# then the window's time to shown under Xvfb, in separate processes so
# neither warms the other (memory first: a process of its own).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake --build "$build" --target bench_vantudict Vantudict -- -j2
"$build/bench/bench_vantudict" lookup
"$build/bench/bench_vantudict" memory
runs=${RUNS:-7}
for i in $(seq "$runs"); do
  xvfb-run -a -s '-screen 0 1280x800x24' "$build/bench/bench_vantudict" window
done
