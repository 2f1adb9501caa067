#!/usr/bin/env bash
# Gathers RTF files that other programs wrote, for compare-with-libreoffice.py:
# every .rtf file a Debian package ships (Word, WordPad and TextEdit files,
# report generators' output), the test files of the unrtf and pandoc source
# packages, and AbiWord's RTF of the documents in ../shared/docs-corpus when
# that folder is there. Files that are not RTF (a binary or a zip named
# .rtf) are set aside. Nothing here goes into the repository.
# Needs: apt-file (with its index), dpkg-dev, abiword; runs as root.
#   tests/editor/fetch-real-rtf.sh OUTPUT-FOLDER
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$(realpath -m "${1:?usage: fetch-real-rtf.sh OUTPUT-FOLDER}")
mkdir -p "$out"/{files,not-rtf,debs,src}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Binary packages that ship .rtf files.
apt-file search -x '\.rtf(\.gz)?$' >"$work/list" || true
(cd "$out/debs" && apt-get download $(cut -d: -f1 "$work/list" | sort -u) >/dev/null 2>&1) || true
for deb in "$out"/debs/*.deb; do
    p=$(basename "$deb" | cut -d_ -f1)
    rm -rf "$work/x" && mkdir -p "$work/x" && dpkg-deb -x "$deb" "$work/x"
    find "$work/x" -iname '*.rtf' -o -iname '*.rtf.gz' | while read -r f; do
        n=$(echo "${f#"$work/x/"}" | tr '/ ' '__')
        if [[ $f == *.gz ]]; then zcat "$f" >"$out/files/$p--${n%.gz}"; else cp "$f" "$out/files/$p--$n"; fi
    done
done

# Source packages' test files, through a private source list so that the
# machine's own apt configuration stays as it is.
apt="$work/apt"
mkdir -p "$apt"/{lists/partial,cache/archives/partial}
echo "deb-src http://deb.debian.org/debian bookworm main" >"$apt/sources.list"
cat >"$apt/apt.conf" <<EOF
Dir::Etc::SourceList "$apt/sources.list";
Dir::Etc::SourceParts "/nonexistent";
Dir::State::Lists "$apt/lists";
Dir::Cache "$apt/cache";
EOF
export APT_CONFIG="$apt/apt.conf"
apt-get update >/dev/null 2>&1
(cd "$out/src" && for p in unrtf pandoc; do apt-get source --download-only "$p" >/dev/null 2>&1 || true; done)
for t in "$out"/src/unrtf_*.orig.tar.gz "$out"/src/pandoc_*.orig.tar.gz; do
    [[ -f $t ]] || continue
    p=$(basename "$t" | cut -d_ -f1)
    tar xzf "$t" -C "$work" --wildcards '*/tests/*.rtf' '*/test/rtf/*.rtf' 2>/dev/null || true
    find "$work" -path "$work/apt" -prune -o -name '*.rtf' -path "*$p*" -print | while read -r f; do
        cp "$f" "$out/files/$p-src--$(basename "$f")"
    done
done
unset APT_CONFIG

# AbiWord's RTF of real documents.
corpus="$here/../../../shared/docs-corpus"
if [[ -d $corpus ]]; then
    for f in "$corpus"/*.docx "$corpus"/*.doc "$corpus"/*.odt; do
        [[ -f $f ]] || continue
        b=$(basename "$f")
        timeout 60 abiword --to=rtf -o "$out/files/abiword--${b%.*}-${b##*.}.rtf" "$f" \
            >/dev/null 2>&1 || true
    done
fi

find "$out/files" -size 0 -delete
for f in "$out"/files/*; do
    head -c 20 "$f" | tr -d ' \r\n\t' | grep -q '^{\\rtf' || mv "$f" "$out/not-rtf/"
done
ls "$out/files" | sed 's/--.*//' | sort | uniq -c | sort -rn
