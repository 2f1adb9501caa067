#!/usr/bin/env bash
# Builds and runs tarquell-service beside Apertium's own HTTP server,
# apertium-apy (Debian, scripts/deps.sh), in one go: bench_apy starts each
# server in turn on 127.0.0.1 (APy as its Debian package starts it, on the
# installed modes), serves 15 generated pages itself and prints one table.
# Extra arguments go to bench_apy (--sentences N, --seconds S, --cores N).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
command -v apertium-apy >/dev/null || {
  echo "apertium-apy is not installed: run scripts/deps.sh as root" >&2
  exit 1
}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target tarquell-service bench_apy -- -j2
"$build/bench/bench_apy" --service "$build/server/tarquell-service" "$@"
