#!/usr/bin/env bash
# Builds and runs the document benchmark: one generated 20-page .docx
# through our translator in-process and through tarquell-service's
# /translate_file, apertium-apy's /translateDoc, `apertium -f docx` and the
# same text as plain text (in-process and through the service's /translate),
# in one run. apertium-apy listens on every
# interface, so as root the run gets a network namespace of its own in
# which only loopback exists; otherwise apertium-apy is left out.
# Extra arguments go to bench_documents (--runs N).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target bench_documents tarquell-service -- -j2
bench="$PWD/$build/bench/bench_documents"
if [[ $(id -u) -eq 0 ]] && command -v unshare >/dev/null && command -v ip >/dev/null; then
  exec unshare --net -- bash -c 'ip link set lo up && exec "$0" "$@"' "$bench" "$@"
fi
echo "not root: apertium-apy is left out (it would listen on every interface)" >&2
exec "$bench" --no-apy "$@"
