#!/usr/bin/env bash
# The layering check: the rules and the resolver are in check-layers.py
# beside this script. Usage: check-layers.sh [project root]
exec python3 "$(dirname "$0")/check-layers.py" "$@"
