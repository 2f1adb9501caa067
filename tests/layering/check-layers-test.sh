#!/usr/bin/env bash
# The layering check fails when a rule is broken: each case copies the
# service, common/ and the command line into a scratch tree, adds one
# include, and expects check-layers.sh to refuse it (or, for the unchanged
# tree and allowed includes, to pass).
set -uo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# file | line added | expected exit status
cases=(
  "server/net/ListenAddress.cpp|#include \"server/engine/ServiceFault.h\"|1"
  "server/engine/HtmlPage.cpp|#include \"../remote/TextPieces.h\"|1"
  "server/soap/SoapReply.cpp|#include \"server/gateway/WebGateway.h\"|1"
  "server/api/FileStore.cpp|#include \"server/http/ServiceServer.h\"|1"
  "server/documents/XmlGuard.cpp|#include \"server/apertium/PipelinePool.h\"|1"
  "cli/main.cpp|#include \"server/http/ServiceServer.h\"|1"
  "cli/main.cpp|#include \"ServiceServer.h\"|1"
  "server/remote/TextPieces.cpp|#include <server/http/WorkQueue.h>|1"
  "server/http/ServiceServer.cpp|#include \"server/api/LibreTranslateApi.h\"|1"
  "server/http/ServiceServer.h|#include \"server/engine/TranslationEngine.h\"|1"
  "server/apertium/PipelinePool.cpp|#include \"server/net/ListenAddress.h\"|0"
  "server/api/FileStore.cpp|#include \"server/documents/XmlGuard.h\"|0"
  "cli/main.cpp|#include \"common/DocumentTypes.h\"|0"
  "server/main.cpp|#include \"../server/http/WorkQueue.h\"|0"
)
failures=0
run_case() {
  local file=$1 line=$2 expected=$3
  rm -rf "$scratch/tree"
  mkdir -p "$scratch/tree/scripts"
  cp -r "$repo/server" "$repo/common" "$repo/cli" "$scratch/tree/"
  cp "$repo/scripts/check-layers.sh" "$repo/scripts/check-layers.py" "$scratch/tree/scripts/"
  [[ -n $file ]] && printf '%s\n' "$line" >>"$scratch/tree/$file"
  bash "$scratch/tree/scripts/check-layers.sh" "$scratch/tree" >/dev/null 2>"$scratch/err"
  local got=$?
  [[ $got -ne 0 ]] && got=1
  if [[ $got -ne $expected ]]; then
    echo "FAIL: $file + $line: exit $got, expected $expected" >&2
    cat "$scratch/err" >&2
    failures=$((failures + 1))
  fi
}
run_case "" "" 0
for c in "${cases[@]}"; do
  IFS='|' read -r file line expected <<<"$c"
  run_case "$file" "$line" "$expected"
done
total=$((${#cases[@]} + 1))
echo "$((total - failures)) passed, $failures failed"
[[ $failures -eq 0 ]]
