#!/usr/bin/env bash
# Builds tarquell-service and sends every document of the real-world corpus
# (../shared/docs-corpus beside the repository, or the folder given) through
# its /translate_file, en->es, counting those that come back whole (see
# docs_corpus.py). Does nothing when the folder is not there.
#   bench/docs_corpus.sh [FOLDER] [--json OUT] [--only REGEX]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
if [[ $# -gt 0 && $1 != --* ]]; then
  folder=$1
  shift
elif [[ -d ../shared/docs-corpus ]]; then
  folder=$PWD/../shared/docs-corpus
else
  folder=$PWD/../../shared/docs-corpus # a worktree beside the main one
fi
if [[ ! -d "$folder" ]]; then
  echo "no corpus folder: nothing to measure"
  exit 0
fi
cmake --build "$build" --target tarquell-service -- -j2 >/dev/null
exec python3 bench/docs_corpus.py --service "$build/server/tarquell-service" "$folder" "$@"
