#!/usr/bin/env bash
# Fails when a source file includes a header of a higher layer, or of a
# folder its target does not link. Run by ctest as "layering".
set -euo pipefail
cd "$(dirname "$0")/.."

# The layer of a path inside the repository.
layer_of() {
  case "$1" in
    service/SoapXml.* | service/SoapNames.h) echo soapxml ;;
    common/LanguageDetector.*) echo detect ;;
    common/DocumentTypes.*) echo doctypes ;;
    platform/*) echo platform ;;
    service/*) echo client ;;
    translate/*) echo translate ;;
    sysinfo/*) echo sysinfo ;;
    web/browser/*) echo browser ;;
    web/*) echo web ;;
    editor/*) echo editor ;;
    app/*) echo ui ;;
    server/*) echo server ;;
    tools/Vantudict/*) echo vantudict ;;
    tools/*) echo tools ;;
    cli/*) echo cli ;;
    tests/support/*) echo support ;;
    tests/*/*) echo "test:${1#tests/}" | cut -d/ -f1 ;;
    *) echo none ;;
  esac
}

# What each layer may include: itself and the layers it links.
declare -A may=(
  [platform]="platform"
  [soapxml]="soapxml"
  [client]="client soapxml platform"
  [translate]="translate client soapxml platform doctypes"
  [sysinfo]="sysinfo platform"
  [web]="web platform"
  [editor]="editor platform"
  [ui]="ui translate client soapxml platform sysinfo web editor doctypes"
  [browser]="browser ui translate client soapxml platform sysinfo web editor doctypes"
  [detect]="detect"
  [doctypes]="doctypes"
  [server]="server soapxml platform detect doctypes"
  [tools]="tools editor web platform"
  # the dictionary stands alone: its lookups know nothing of the translator
  [vantudict]="vantudict platform"
  [cli]="cli translate client soapxml platform detect doctypes"
  [support]="support platform"
)
# A test area may include what the layers it tests may, and the shared test
# support. The service's tests drive it through our own client.
declare -A test_area=(
  [platform]=platform [service]=client [translate]=translate [sysinfo]=sysinfo
  [web]=web [editor]=editor [app]=ui [browser]=browser [server]="server client" [tools]="tools vantudict"
  [cli]="cli"
)

status=0
while IFS= read -r file; do
  layer=$(layer_of "$file")
  [[ $layer == none ]] && continue
  if [[ $layer == test:* ]]; then
    area=${layer#test:}
    [[ -z ${test_area[$area]:-} ]] && continue
    allowed="support"
    for base in ${test_area[$area]}; do allowed+=" ${may[$base]}"; done
  else
    allowed=${may[$layer]}
  fi
  while IFS= read -r inc; do
    target=$(layer_of "$inc")
    [[ $target == none ]] && continue
    if [[ " $allowed " != *" $target "* ]]; then
      echo "$file: includes \"$inc\" ($target), which $layer may not reach" >&2
      status=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find platform common service translate sysinfo web editor app server tools cli tests \
  \( -name '*.h' -o -name '*.cpp' \) 2>/dev/null | sort)

if [[ $status -eq 0 ]]; then echo "layering: every include stays within its layer"; fi
exit $status
