#!/usr/bin/env bash
# Builds and runs the tarquell-service load benchmark: echo engine, normal
# requests while slow connections are held, Apertium through the
# persistent pipelines, and one apertium process per request as the
# baseline, in one run. With BEFORE=<commit>, the service of that commit is
# built in a worktree of its own (build-before/) and run side by side for
# the echo and slow connection rows. Extra arguments go to bench_service.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target tarquell-service bench_service -- -j2
before=()
if [[ -n "${BEFORE:-}" ]]; then
  tree=${BEFORE_TREE:-$PWD/build-before/src}
  if [[ ! -d "$tree" ]]; then
    git worktree add --detach "$tree" "$BEFORE" >/dev/null
  fi
  git -C "$tree" checkout --quiet --detach "$BEFORE"
  cmake -S "$tree" -B "$PWD/build-before/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$PWD/build-before/build" --target tarquell-service -- -j2
  before=(--before "$PWD/build-before/build/server/tarquell-service")
fi
"$build/bench/bench_service" --service "$build/server/tarquell-service" "${before[@]}" "$@"
