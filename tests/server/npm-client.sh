#!/usr/bin/env bash
# Runs LibreTranslate's npm client (tests/server/npm-client) against
# tarquell-service with Apertium. scripts/deps.sh installs the client from
# the npm registry at the versions package-lock.json pins (npm ci), beside
# this script. Skips (77) only when Node.js, npm or the Apertium pair is
# missing.
#   npm-client.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1
service="$build/server/tarquell-service"
for tool in node npm; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/deps.sh installs Node.js and npm)"
    exit 77
  fi
done
if [[ ! -f /usr/share/apertium/modes/eng-spa.mode ]]; then
  echo "SKIP: apertium-eng-spa is not installed (scripts/deps.sh installs it)"
  exit 77
fi

# scripts/deps.sh installs the client from the registry; nothing is
# downloaded while the tests run.
work="$here/npm-client"
if [[ ! -d "$work/node_modules" ]]; then
  echo "the npm client is not installed: run scripts/deps.sh"
  exit 1
fi

cache=$(mktemp -d)
out="$cache/service.out"
XDG_CACHE_HOME="$cache" "$service" --listen 127.0.0.1:0 >"$out" &
pid=$!
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -rf "$cache"' EXIT
for _ in $(seq 1 300); do
  grep -q '^listening on' "$out" 2>/dev/null && break
  kill -0 "$pid" 2>/dev/null || { echo "tarquell-service did not start"; exit 1; }
  sleep 0.1
done
address=$(sed -n 's/^listening on //p' "$out" | head -n1)
[[ -n "$address" ]] || { echo "tarquell-service printed no address"; exit 1; }
SERVICE_URL="http://$address" node "$work/client-test.mjs"
