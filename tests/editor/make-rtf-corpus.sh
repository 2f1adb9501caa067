#!/usr/bin/env bash
# Makes a corpus of RTF files that other programs wrote, from documents
# Debian installs, for compare-with-libreoffice.py:
#   LibreOffice   its own templates (text boxes, form letters), HTML manuals
#                 (lists), Markdown READMEs through Word and ODF files
#                 (lists, footnotes), Hebrew message catalogues set as
#                 right-to-left HTML (lists, tables);
#   AbiWord, pandoc, latex2rtf, troffcvt, enscript: the same documents,
#                 manual pages and C sources written by each;
#   and the two RTF files Debian and npm packages ship (librtf-writer-perl,
#   rtf2text).
# Needs: apt-get install libreoffice-writer-nogui abiword pandoc latex2rtf
#        troffcvt enscript gettext librtf-writer-perl (and npm for rtf2text);
# runs as root, for a network namespace of its own (unshare -n).
#   tests/editor/make-rtf-corpus.sh OUTPUT-FOLDER
set -euo pipefail
out=$(realpath -m "${1:?usage: make-rtf-corpus.sh OUTPUT-FOLDER}")
mkdir -p "$out/misc"

if [[ -z ${RTF_CORPUS_OFFLINE:-} ]]; then
    # The one file fetched: rtf2text's sample, from the npm registry.
    tmp=$(mktemp -d)
    (cd "$tmp" && npm pack rtf2text --silent >/dev/null 2>&1 && tar xzf rtf2text-*.tgz package/sample.rtf &&
        cp package/sample.rtf "$out/misc/rtf2text-sample.rtf") || echo "rtf2text's sample not fetched"
    rm -rf "$tmp"
    # Everything else runs without a network: converters that meet a
    # remote picture in a document must not fetch it.
    RTF_CORPUS_OFFLINE=1 exec unshare -n "$0" "$@"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
profile="-env:UserInstallation=file://$work/profile"
lo() { timeout 1800 soffice "$profile" --headless "$@" >/dev/null 2>&1 || true; }
mkdir -p "$out"/{lo-templates,lo-html,lo-docx,pandoc-rtf,latex2rtf,troff,enscript,abiword,footnotes,hebrew,misc}
mkdir -p "$work"/{ott,html,md,fn,he}

# LibreOffice's templates.
for f in $(find /usr/lib/libreoffice/share/template -name '*.ott'); do
    cp "$f" "$work/ott/$(echo "${f#/usr/lib/libreoffice/share/template/common/}" | tr / _)"
done
lo --convert-to rtf --outdir "$out/lo-templates" "$work"/ott/*.ott

# One HTML manual and one Markdown file per package.
find /usr/share/doc -type f -name '*.html' -size +3k -size -150k |
    awk -F/ '!($5 in s) { s[$5]; print }' | while read -r f; do
    cp "$f" "$work/html/$(echo "$f" | cut -d/ -f5)-$(basename "$f")"
done
lo --writer --convert-to rtf --outdir "$out/lo-html" "$work"/html/*.html
find /usr/share/doc -type f -name '*.md' -size +2k -size -80k |
    awk -F/ '!($5 in s) { s[$5]; print }' | head -40 | while read -r f; do
    n=$(echo "$f" | cut -d/ -f5)-$(basename "$f" .md)
    timeout 60 pandoc -s -f gfm -t rtf "$f" -o "$out/pandoc-rtf/$n.rtf" || true
    timeout 60 pandoc -f gfm -t docx "$f" -o "$work/md/$n.docx" || true
    if timeout 60 pandoc -s -f gfm -t latex "$f" -o "$work/md/$n.tex"; then
        (cd "$work/md" && timeout 60 latex2rtf -o "$out/latex2rtf/$n.rtf" "$n.tex" </dev/null) \
            >/dev/null 2>&1 || true
    fi
done
for f in /usr/share/doc/texlive-doc/texlive/texlive-common/examples/*.tex; do
    [[ -f $f ]] && (timeout 60 latex2rtf -o "$out/latex2rtf/tl-$(basename "$f" .tex).rtf" "$f" \
        </dev/null >/dev/null 2>&1 || true)
done
lo --convert-to rtf --outdir "$out/lo-docx" "$work"/md/*.docx

# Markdown with footnotes, through each writer.
grep -rl '\[\^[0-9a-z]*\]:' /usr/share/doc --include='*.md' | while read -r f; do
    n=fn-$(echo "$f" | cut -d/ -f5)-$(basename "$f" .md)
    timeout 60 pandoc -s -f markdown -t rtf "$f" -o "$out/footnotes/$n-pandoc.rtf" || true
    timeout 60 pandoc -f markdown -t docx "$f" -o "$work/fn/$n.docx" || true
    timeout 60 pandoc -f markdown -t odt "$f" -o "$work/fn/$n-odt.odt" || true
    if timeout 60 pandoc -s -f markdown -t latex "$f" -o "$work/fn/$n.tex"; then
        (cd "$work/fn" && timeout 60 latex2rtf -o "$out/footnotes/$n-latex2rtf.rtf" "$n.tex" \
            </dev/null) >/dev/null 2>&1 || true
    fi
done
lo --convert-to rtf --outdir "$out/footnotes" "$work"/fn/*.docx "$work"/fn/*.odt

# Hebrew: the translations of message catalogues, as right-to-left pages.
for mo in /usr/share/locale/he/LC_MESSAGES/*.mo; do
    msgunfmt "$mo" 2>/dev/null >"$work/he.po" || continue
    python3 - "$(basename "$mo" .mo)" "$work" <<'PY'
import html, re, sys
name, work = sys.argv[1], sys.argv[2]
raw = open(work + "/he.po", "rb").read()
m = re.search(rb"charset=([\w-]+)", raw)
try:
    po = raw.decode(m.group(1).decode() if m else "utf-8")
except (LookupError, UnicodeDecodeError):
    po = raw.decode("utf-8", "replace")
s = [t.replace("\\n", " ").replace('\\"', '"').replace("\\t", " ").strip()
     for t in re.findall(r'msgstr "(.*)"', po)]
s = [t for t in s if len(t) > 10 and "%" not in t and "\\" not in t
     and re.search("[\u05d0-\u05ea]", t)][:60]
if len(s) < 20:
    sys.exit(0)
e = html.escape
page = ['<!DOCTYPE html><html dir="rtl" lang="he"><head><meta charset="utf-8"><title>%s'
        '</title></head><body>' % name, "<h1>%s</h1>" % e(s[0]),
        "<p>%s</p>" % " ".join(map(e, s[1:8])),
        "<ol>%s</ol>" % "".join("<li>%s</li>" % e(t) for t in s[8:20]),
        "<ul>%s</ul>" % "".join("<li>%s</li>" % e(t) for t in s[20:30]),
        "<table border=1>%s</table>" % "".join(
            "<tr><td>%s</td><td>%s</td></tr>" % (e(a), e(b)) for a, b in zip(s[30:40], s[40:50])),
        "<p>%s</p></body></html>" % " ".join(map(e, s[50:60]))]
open("%s/he/he-%s.html" % (work, name), "w").write("\n".join(page))
PY
    [[ $(ls "$work/he" | wc -l) -ge 10 ]] && break
done
lo --writer --convert-to rtf --outdir "$out/hebrew" "$work"/he/*.html
lo --writer --convert-to docx --outdir "$work/he" "$work"/he/*.html

# AbiWord writes the same documents.
for f in "$work"/he/*.html "$work"/he/*.docx "$work"/fn/*.docx "$work"/md/*.docx "$work"/html/*.html; do
    [[ -f $f ]] || continue
    b=$(basename "$f")
    timeout 60 abiword --to=rtf -o "$out/abiword/abi-${b%.*}-${b##*.}.rtf" "$f" >/dev/null 2>&1 || true
done

# Manual pages and C sources.
ls /usr/share/man/man1 | shuf -n 20 --random-source=<(yes) | while read -r m; do
    zcat "/usr/share/man/man1/$m" >"$work/page" 2>/dev/null &&
        timeout 30 troff2rtf -man "$work/page" >"$out/troff/${m%.gz}.rtf" 2>/dev/null || true
done
for f in /usr/share/doc/zlib1g-dev/examples/*.c /usr/include/stdio.h /usr/share/doc/bc/examples/*; do
    [[ -f $f ]] && enscript -q -w rtf --color -E -o "$out/enscript/$(basename "$f").rtf" "$f" || true
done

# An RTF file a package ships.
cp /usr/share/doc/librtf-writer-perl/examples/la_dame.rtf "$out/misc/" 2>/dev/null || true

find "$out" -name '*.rtf' -size 0 -delete
find "$out" -name '*.rtf' | cut -d/ -f"$(($(echo "$out" | tr -cd / | wc -c) + 2))" | sort | uniq -c
