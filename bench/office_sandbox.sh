#!/usr/bin/env bash
# What LibreOffice's confinement costs a conversion: the same document to
# RTF (what Docshift does) the old way (soffice guessing the type, with
# the network) and the new way (settings file written, the declared type's
# import filter, a network namespace of its own), side by side with
# farm-bench. Prints farm-bench's medians and the pairwise ratio new/old.
#   bench/office_sandbox.sh [document, default a .doc of $DOCS_CORPUS or ../shared/docs-corpus] [runs, default 5]
set -euo pipefail
cd "$(dirname "$0")/.."
doc=${1:-${DOCS_CORPUS:-../shared/docs-corpus}/textract-raw_text.doc}
runs=${2:-5}
[[ -f $doc ]] || { echo "no document $doc" >&2; exit 1; }
command -v soffice >/dev/null || { echo "LibreOffice is not installed (scripts/deps.sh)" >&2; exit 1; }
command -v farm-bench >/dev/null || { echo "farm-bench is not installed" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
ext=${doc##*.}
cp "$doc" "$tmp/in.$ext"
case $ext in
  doc) filter="MS Word 97" ;; rtf) filter="Rich Text Format" ;; odt) filter=writer8 ;;
  docx) filter="MS Word 2007 XML" ;; fodt) filter="OpenDocument Text Flat XML" ;;
  *) echo "no filter for .$ext here" >&2; exit 1 ;;
esac
# The settings the program writes (platform/OfficeLaunch.cpp), taken from
# its source so that the two cannot drift apart.
sed -n '/R"(<?xml/,/^)";/p' platform/OfficeLaunch.cpp | sed '1s/.*R"(//; $d' >"$tmp/settings.xcu"
mkdir -p "$tmp/old" "$tmp/new/user"

old="soffice -env:UserInstallation=file://$tmp/old --headless --invisible --norestore --nologo --nolockcheck --nodefault --convert-to rtf --outdir $tmp/out-old $tmp/in.$ext"
isolate=""
if unshare --net --map-current-user true 2>/dev/null; then
  isolate="unshare --net --map-current-user --"
else
  echo "no network namespace here: the new way runs without one" >&2
fi
cat >"$tmp/new.sh" <<EOF
#!/bin/sh
cp "$tmp/settings.xcu" "$tmp/new/user/registrymodifications.xcu"
exec $isolate soffice -env:UserInstallation=file://$tmp/new --headless --invisible --norestore --nologo --nolockcheck --nodefault "--infilter=$filter" --convert-to rtf --outdir "$tmp/out-new" "$tmp/in.$ext"
EOF
chmod +x "$tmp/new.sh"
echo "document: $doc ($(stat -c %s "$doc") bytes), $runs runs each"
farm-bench -n "$runs" --warmup 1 --timeout 1800 --vs "$old" -- "$tmp/new.sh"
[[ -s $tmp/out-new/in.rtf && -s $tmp/out-old/in.rtf ]] || { echo "a conversion failed" >&2; exit 1; }
