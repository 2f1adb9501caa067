#!/usr/bin/env python3
"""Holds our reading of RTF files against LibreOffice's.

For every .rtf file under the folders given, LibreOffice converts it to
UTF-8 text (headless, in a private profile; its results are kept in a cache
folder so that later runs only read the files again with our reader), and
rtf_text prints what the source pane shows. Both are compared with all
white space, line and paragraph breaks made one space. Prints one line per
file that reads differently (with the first words that differ) and the
count of files that read alike.

Two things LibreOffice's text export does not show as its window does are
allowed for: it draws every bullet as one of three characters of its own
or none (so the bullets at lines' starts are not compared), and it leaves out
the text of text boxes and shapes (so words that we show and LibreOffice's
text does not are accepted when LibreOffice's own flat ODF export of the
same file holds them in its text boxes).

  compare-with-libreoffice.py [--rtf-text PATH] [--cache DIR] [-v] FOLDER|FILE ...

Hidden text (\v) is in LibreOffice's text export, but neither its window
nor Word shows it: what its flat ODF export marks hidden is taken out of its
text before comparing.

Symbol fonts: LibreOffice's text keeps a symbol font's bytes (or their
private-use characters), we show what the font draws; those places do not
count either (nor a byte LibreOffice keeps as a soft hyphen, which is not
compared). Files where LibreOffice's text shows nothing of what we show
are counted apart, and so are files that lose all of LibreOffice's text.

make-rtf-corpus.sh beside this script makes such a folder from documents
Debian installs, written by LibreOffice, AbiWord, pandoc, latex2rtf,
troffcvt and enscript; fetch-real-rtf.sh gathers the RTF files Debian's
packages ship (Word, WordPad, TextEdit, report generators) and AbiWord's
RTF of ../shared/docs-corpus.
"""
import argparse
import difflib
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SPACE = re.compile(r"[\s\u00a0\u2000-\u200b\u2028\u2029\u202f\u3000\ufeff]+")
# Marks with no width that the two readers may or may not keep.
INVISIBLE = re.compile(r"[\u00ad\u200c-\u200f\u202a-\u202e\u2060\u2066-\u2069\ufffc]")
# LibreOffice's text export draws every bullet as one of its own three
# characters (or none), whatever the list's bullet is; a bullet at a line's
# start becomes "•" on both sides, and a place where the two differ only in
# bullets (these, or the ASCII ones "-" and "*") does not count.
BULLET = re.compile(
    r"^[ \t\u00a0]*[\u2022\u25e6\u25aa\u25ab\u25a0\u25a1\u25cf\u25cb\u25c6\u25c7\u2756\u27a2"
    r"\u2794\u2713\u2013\u2014\u00b7\u2219\u2043\u2023\u2605\ue000-\uf8ff](?=[ \t\u00a0])", re.M)


def normalise(text, bullets=False):
    text = text.replace("\ufeff", "").replace("\r\n", "\n").replace("\u2028", "\n")
    text = text.replace("\u2029", "\n")
    # A symbol font's space, as LibreOffice's text keeps it
    text = text.replace("\uf020", " ")
    if bullets:
        text = BULLET.sub("\u2022", text)
    return SPACE.sub(" ", INVISIBLE.sub("", text)).strip()


def text_box_texts(fodt):
    """The text of every text box in a flat ODF document, normalised."""
    import xml.etree.ElementTree as ET
    draw = "{urn:oasis:names:tc:opendocument:xmlns:drawing:1.0}"
    try:
        root = ET.parse(fodt).getroot()
    except (ET.ParseError, OSError):
        return []
    office = "{urn:oasis:names:tc:opendocument:xmlns:office:1.0}"

    def text(e, top=True):
        # Pictures' data and boxes inside the box are not the box's text.
        if e.tag == office + "binary-data" or (e.tag == draw + "text-box" and not top):
            return e.tail or ""
        inner = (e.text or "") + "".join(text(c, False) for c in e)
        return inner + ("\n" if e.tag.endswith("}p") or e.tag.endswith("}h") else "") \
            + ("" if top else (e.tail or ""))

    return [normalise(text(box), True) for box in root.iter(draw + "text-box")]


def hidden_texts(fodt):
    """The texts LibreOffice holds as hidden (a style with text:display
    "none" on a span or paragraph), each with the text of its paragraph
    before it, in the document's order. Its window does not show them, as
    Word does not, but its text export does."""
    import xml.etree.ElementTree as ET
    style = "{urn:oasis:names:tc:opendocument:xmlns:style:1.0}"
    text = "{urn:oasis:names:tc:opendocument:xmlns:text:1.0}"
    try:
        root = ET.parse(fodt).getroot()
    except (ET.ParseError, OSError):
        return []
    hidden = {s.get(style + "name") for s in root.iter(style + "style")
              if any(p.get(text + "display") == "none" for p in s.iter(style + "text-properties"))}
    if not hidden:
        return []
    found = []

    def walk(e, before):
        # Returns the paragraph's text up to the end of e.
        if e.get(text + "style-name") in hidden:
            t = "".join(e.itertext())
            if t.strip():
                found.append((before, t))
            return before + t + (e.tail or "")
        before += e.text or ""
        for c in e:
            before = walk(c, before)
        return before + (e.tail or "")

    for para in root.iter():
        if para.tag in (text + "p", text + "h"):
            if para.get(text + "style-name") in hidden:
                walk(para, "")
            else:
                before = para.text or ""
                for c in para:
                    before = walk(c, before)
    return found


def without_hidden(theirs, hidden):
    """LibreOffice's normalised text less its hidden texts: each is looked
    for, in order, where the text before it in its paragraph ends."""
    squeeze = lambda t: SPACE.sub("", INVISIBLE.sub("", t))
    cuts, pos = [], 0
    for before, h in hidden:
        h = normalise(h)
        tail = squeeze(before)[-20:]
        i = theirs.find(h, pos)
        while i >= 0 and not squeeze(theirs[max(0, i - 3 * len(tail) - 20):i]).endswith(tail):
            i = theirs.find(h, i + 1)
        if i >= 0:
            cuts.append((i, i + len(h)))
            pos = i + len(h)
    for i, j in reversed(cuts):
        theirs = theirs[:i] + theirs[j:]
    return SPACE.sub(" ", theirs).strip()


def rtf_files(paths):
    for p in paths:
        if os.path.isfile(p):
            yield p
            continue
        for root, _, names in os.walk(p):
            for n in sorted(names):
                if n.lower().endswith(".rtf"):
                    yield os.path.join(root, n)


def key(path):
    with open(path, "rb") as f:
        return hashlib.sha1(f.read()).hexdigest()


def libreoffice_texts(files, cache, ext="txt", target="txt:Text (encoded):UTF8"):
    """Converts the files LibreOffice has not read yet, in one run."""
    os.makedirs(cache, exist_ok=True)
    todo = [f for f in files if not os.path.exists(os.path.join(cache, key(f) + "." + ext))]
    if todo:
        with tempfile.TemporaryDirectory() as work:
            src = os.path.join(work, "in")
            out = os.path.join(work, "out")
            os.makedirs(src)
            for f in todo:
                shutil.copyfile(f, os.path.join(src, key(f) + ".rtf"))
            profile = os.path.join(work, "profile")
            names = sorted(os.listdir(src))
            for i in range(0, len(names), 50):
                subprocess.run(
                    ["soffice", "-env:UserInstallation=file://" + profile, "--headless",
                     "--convert-to", target, "--outdir", out]
                    + [os.path.join(src, n) for n in names[i:i + 50]],
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=1800)
            for n in os.listdir(out) if os.path.isdir(out) else []:
                shutil.copyfile(os.path.join(out, n), os.path.join(cache, n))
    texts = {}
    for f in files:
        p = os.path.join(cache, key(f) + "." + ext)
        if os.path.exists(p):
            if ext == "fodt":
                texts[f] = (text_box_texts(p), hidden_texts(p))
            else:
                with open(p, encoding="utf-8", errors="replace") as t:
                    texts[f] = t.read()
    return texts


def symbol_fonts():
    """For each byte, the characters the symbol fonts draw for it, read
    from the reader's own tables (editor/SymbolFontTables.inc)."""
    drawn = {}
    path = os.path.join(HERE, "..", "..", "editor", "SymbolFontTables.inc")
    try:
        text = open(path, encoding="utf-8").read()
    except OSError:
        return drawn
    body = text[text.index("= {"):]
    for row in re.findall(r"\{([^{}]*)\}", body):
        for i, c in enumerate(int(v, 16) for v in re.findall(r"0x[0-9A-Fa-f]+", row)):
            if c:
                drawn.setdefault(0x20 + i, set()).add(chr(c))
    return drawn


SYMBOLS = symbol_fonts()


def same_symbols(ours, theirs):
    """LibreOffice's text keeps a symbol font's bytes as they are, or as the
    private-use characters U+F020 to U+F0FF; we show what the font draws.
    True when the two texts differ only there."""
    if len(ours) != len(theirs):
        return False
    for a, b in zip(ours, theirs):
        if a == b:
            continue
        byte = ord(b) - 0xF000 if 0xF020 <= ord(b) <= 0xF0FF else ord(b)
        if byte > 0xFF or (a not in SYMBOLS.get(byte, ()) and a != chr(byte)):
            return False
    return True


def invisible_symbols(ours):
    """Characters a symbol font draws for a byte that LibreOffice's text
    keeps as a mark with no width (0xAD, the soft hyphen), which is not
    compared."""
    return all(len(w) == 1 and w in SYMBOLS.get(0xAD, ()) for w in ours)


def bullets_only(ours, theirs):
    """LibreOffice's text draws every bullet as "•"; Word's second-level
    bullet is an "o" in Courier New, its third a Wingdings square."""
    return len(ours) == len(theirs) and all(
        b == "\u2022" and len(a) == 1 for a, b in zip(ours, theirs))


def in_text_boxes(words, boxes):
    """Every one of the words is a word of LibreOffice's text boxes (whose
    order on the page and in its export need not be ours)."""
    from collections import Counter
    return not (Counter(words) - Counter(" ".join(boxes).split()))


def differences(ours, theirs, boxes):
    """The places where the texts differ, less our text found in text boxes."""
    a, b = ours.split(), theirs.split()
    found = []
    for op, i1, i2, j1, j2 in difflib.SequenceMatcher(None, a, b, autojunk=False).get_opcodes():
        if op == "equal" or set(a[i1:i2] + b[j1:j2]) <= {"\u2022", "-", "*"}:
            continue
        if op == "replace" and (same_symbols(" ".join(a[i1:i2]), " ".join(b[j1:j2]))
                                or bullets_only(a[i1:i2], b[j1:j2])):
            continue
        if op == "delete" and invisible_symbols(a[i1:i2]):
            continue
        # Only text that LibreOffice shows nowhere else may be a text box's.
        if op != "delete" or not in_text_boxes(a[i1:i2], boxes):
            found.append("ours %r / LibreOffice %r"
                         % (" ".join(a[i1:i2][:8]), " ".join(b[j1:j2][:8])))
    return found


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--rtf-text", default=None, help="the rtf_text program")
    ap.add_argument("--cache", default=os.path.join(tempfile.gettempdir(), "lo-rtf-text-cache"))
    ap.add_argument("-v", action="store_true", help="list the files that read alike too")
    ap.add_argument("paths", nargs="+")
    args = ap.parse_args()
    tool = args.rtf_text or os.path.join(HERE, "..", "..", "build", "tests", "editor", "rtf_text")

    files = sorted(set(rtf_files(args.paths)))
    theirs = libreoffice_texts(files, args.cache)
    boxes = libreoffice_texts(files, args.cache, "fodt", "fodt")
    alike = differ = failed = 0
    lost_all = []   # LibreOffice shows text, we show none
    ours_more = 0   # differ only by text we show and LibreOffice does not
    for f in files:
        if f not in theirs:
            print("NOT READ BY LIBREOFFICE", f)
            failed += 1
            continue
        r = subprocess.run([tool, f], capture_output=True, timeout=120)
        if r.returncode != 0:
            print("FAILED", f, r.stderr.decode(errors="replace").strip())
            failed += 1
            continue
        a = normalise(r.stdout.decode("utf-8", errors="replace"), True)
        text_boxes, hidden = boxes.get(f, ([], []))
        b = without_hidden(normalise(theirs[f], True), hidden)
        found = differences(a, b, text_boxes) if a != b else []
        if b and not a:
            lost_all.append(f)
        if found and all(p.endswith("/ LibreOffice ''") for p in found):
            ours_more += 1
        if not found:
            alike += 1
            if args.v:
                print("alike", f)
        else:
            differ += 1
            print("DIFFERS", f, "--", found[0][:300], "(%d places)" % len(found))
            if args.v:
                for place in found[1:]:
                    print("   ", place[:300])
    for f in lost_all:
        print("LOST ALL TEXT", f)
    print("%d of them differ only by text we show that LibreOffice's text does not" % ours_more)
    print("%d files lose all the text LibreOffice shows" % len(lost_all))
    print("%d files: %d read as LibreOffice reads them, %d differ, %d not compared"
          % (len(files), alike, differ, failed))


if __name__ == "__main__":
    sys.exit(main())
