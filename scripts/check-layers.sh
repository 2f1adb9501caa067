#!/usr/bin/env bash
# Fails when a source file includes a header its layer may not reach. Every
# include is resolved as the compiler would: a quoted one first beside the
# including file, then on the include paths the build gives (the project
# root, the shared test support); an include that names a project file by
# a path the build does not give fails too. Run by ctest as "layering".
# Usage: check-layers.sh [project root]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# The layer of a path inside the repository.
layer_of() {
  case "$1" in
    service/SoapXml.* | service/SoapNames.h) echo soapxml ;;
    common/LanguageDetector.*) echo detect ;;
    common/DocumentTypes.*) echo doctypes ;;
    common/MultipartForm.*) echo multipart ;;
    platform/*) echo platform ;;
    service/*) echo client ;;
    translate/*) echo translate ;;
    sysinfo/*) echo sysinfo ;;
    web/browser/*) echo browser ;;
    web/*) echo web ;;
    editor/*) echo editor ;;
    app/*) echo ui ;;
    server/ServerLogging.*) echo serverlog ;;
    server/net/*) echo net ;;
    server/engine/*) echo engine ;;
    server/apertium/*) echo apertium ;;
    server/remote/*) echo remote ;;
    server/documents/*) echo documents ;;
    server/soap/*) echo soap ;;
    server/gateway/*) echo gateway ;;
    server/api/*) echo api ;;
    server/http/*) echo http ;;
    server/*) echo server ;;
    tools/Vantudict/*) echo vantudict ;;
    tools/*) echo tools ;;
    cli/*) echo cli ;;
    tests/support/*) echo support ;;
    tests/*/*) echo "test:${1#tests/}" | cut -d/ -f1 ;;
    *) echo none ;;
  esac
}

common="detect doctypes multipart"
# The service's wings, lowest first: net includes nothing of the service;
# the engine only the logging; Apertium and the remote engines the engine
# and net (the remote engines the multipart form of common/ too); documents
# the engine and common/; the fronts (SOAP, the gateway,
# the API) the engine, and the API documents too, never each other; the
# HTTP front neither routes nor engines. Only the top of server/ (main,
# options, the route table) reaches every wing.
wings="serverlog net engine apertium remote documents soap gateway api http server"
# What each layer may include: itself and the layers it links.
declare -A may=(
  [platform]="platform"
  [soapxml]="soapxml"
  [client]="client soapxml platform multipart"
  [translate]="translate client soapxml platform doctypes"
  [sysinfo]="sysinfo platform"
  [web]="web platform"
  [editor]="editor platform"
  [ui]="ui translate client soapxml platform sysinfo web editor doctypes"
  [browser]="browser ui translate client soapxml platform sysinfo web editor doctypes"
  [detect]="detect"
  [doctypes]="doctypes"
  [multipart]="multipart"
  [serverlog]="serverlog"
  [net]="net platform"
  [engine]="engine serverlog platform"
  [apertium]="apertium engine net serverlog platform"
  [remote]="remote engine net serverlog platform multipart"
  [documents]="documents engine serverlog platform $common"
  [soap]="soap engine serverlog soapxml platform"
  [gateway]="gateway engine net serverlog platform"
  [api]="api documents engine serverlog platform $common"
  [http]="http net serverlog platform"
  [server]="$wings soapxml platform $common"
  [tools]="tools editor web platform"
  # the dictionary stands alone: its lookups know nothing of the translator
  [vantudict]="vantudict platform"
  [cli]="cli translate client soapxml platform $common"
  [support]="support platform"
)
# A test area may include what the layers it tests may, and the shared test
# support. The service's tests drive it through our own client.
declare -A test_area=(
  [platform]=platform [service]=client [translate]=translate [sysinfo]=sysinfo
  [web]=web [editor]=editor [app]=ui [browser]=browser [server]="server client" [tools]="tools vantudict"
  [cli]="cli"
)
# Known exceptions, each line: including file, included file. None now.
pending="
"

folders=(platform common service translate sysinfo web editor app server tools cli tests)
declare -A exists=() byname=()
while IFS= read -r f; do
  exists[$f]=1
  byname[${f##*/}]+=" $f"
done < <(find "${folders[@]}" -type f \
  \( -name '*.h' -o -name '*.cpp' \) 2>/dev/null | sort)

# a/b/../c/./d -> a/c/d
normal() {
  local IFS=/ part out=()
  for part in $1; do
    case "$part" in
      '' | .) ;;
      ..) [[ ${#out[@]} -gt 0 ]] && unset 'out[${#out[@]}-1]' ;;
      *) out+=("$part") ;;
    esac
  done
  echo "${out[*]}"
}

# The include paths the build gives a file, after the project root.
include_dirs() {
  case "$1" in
    tests/browser/*) echo "tests/support tests/app" ;;
    tests/*) echo "tests/support" ;;
    *) echo "" ;;
  esac
}

status=0
fail() {
  echo "$1" >&2
  status=1
}
for file in $(printf '%s\n' "${!exists[@]}" | sort); do
  layer=$(layer_of "$file")
  [[ $layer == none ]] && continue
  if [[ $layer == test:* ]]; then
    area=${layer#test:}
    [[ -z ${test_area[$area]:-} ]] && continue
    # Its own fixtures, and those of other areas it borrows.
    allowed="support test:*"
    for base in ${test_area[$area]}; do allowed+=" ${may[$base]}"; done
  else
    allowed=${may[$layer]}
  fi
  dirs=$(include_dirs "$file")
  while IFS= read -r line; do
    kind=${line:0:1}
    inc=${line:1}
    resolved=""
    candidates=()
    [[ $kind == '"' ]] && candidates+=("$(normal "$(dirname "$file")/$inc")")
    candidates+=("$(normal "$inc")")
    for d in $dirs; do candidates+=("$(normal "$d/$inc")"); done
    for c in "${candidates[@]}"; do
      if [[ -n ${exists[$c]:-} ]]; then
        resolved=$c
        break
      fi
    done
    if [[ -z $resolved ]]; then
      # Not ours, unless it names one of our files by a path the build
      # does not give (a folder that is no include path any more).
      for c in ${byname[${inc##*/}]:-}; do
        if [[ $c == *"$inc" ]]; then
          fail "$file: includes \"$inc\", which is $c by no include path the build gives"
          break
        fi
      done
      continue
    fi
    target=$(layer_of "$resolved")
    [[ $target == none ]] && continue
    if [[ " $allowed " != *" $target "* && ! ($target == test:* && $allowed == *test:\**) ]]; then
      if [[ $pending == *$'\n'"$file $resolved"$'\n'* ]]; then continue; fi
      fail "$file: includes \"$inc\" ($resolved, $target), which $layer may not reach"
    fi
  done < <(sed -n -e 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/"\1/p' \
    -e 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*<\([^>]*\)>.*/<\1/p' "$file")
done

if [[ $status -eq 0 ]]; then echo "layering: every include stays within its layer"; fi
exit $status
