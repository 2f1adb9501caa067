#!/usr/bin/env python3
"""Sends every document of a folder through tarquell-service's /translate_file
(en->es) and counts those that come back whole: the service translated them,
their structure is kept (the same parts, the same paragraphs in each part),
no text a reader sees is left in English in text boxes, comments, SmartArt,
charts, slide masters and layouts, shapes on sheets or embedded objects, every
cell keeps its outer spaces and no comment author is translated.

A paragraph counts as left in English when it comes back unchanged although
the service, asked for that paragraph alone through /translate, changes it
(so names and numbers that stay as they are do not count).

  docs_corpus.py --service build/server/tarquell-service [FOLDER] [--json OUT]

Prints one line per file and the totals; the folder defaults to
../shared/docs-corpus beside the repository. Nothing is copied anywhere but
a temporary folder.
"""
import argparse
import io
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request
import uuid
import zipfile
import xml.etree.ElementTree as ET
from html.parser import HTMLParser

# Where the issue lists losses: a paragraph left in English there makes the
# document not whole. Others ("body", "notes", "cells") are shown only.
LOSS_KINDS = {"textbox", "comments", "smartart", "charts", "masters", "shapes", "objects"}


def local(tag):
    return tag.rsplit("}", 1)[-1] if isinstance(tag, str) else ""


def ns(tag):
    return tag[1:].split("}", 1)[0] if isinstance(tag, str) and tag.startswith("{") else ""


ODF_TEXT = "urn:oasis:names:tc:opendocument:xmlns:text:1.0"
ODF_TABLE = "urn:oasis:names:tc:opendocument:xmlns:table:1.0"
ODF_OFFICE = "urn:oasis:names:tc:opendocument:xmlns:office:1.0"
DC = "http://purl.org/dc/elements/1.1/"


# --- text of a paragraph -------------------------------------------------


def ooxml_text(el, para_names):
    """The text of w:t/a:t/t below el, leaving out nested paragraphs and
    phonetic runs."""
    out = []

    def walk(e, top):
        name = local(e.tag)
        if not top and name in para_names:
            return
        if name in ("rPh", "instrText", "delText"):
            return
        if name in ("t", "v", "text") and e.text and len(e) == 0:
            out.append(e.text)
        elif name == "tab" and ns(e.tag).endswith("wordprocessingml/2006/main"):
            out.append("\t")
        for c in e:
            walk(c, False)

    walk(el, True)
    return "".join(out)


def odf_text(el):
    out = []

    def walk(e, top):
        name, space = local(e.tag), ns(e.tag)
        if not top and space == ODF_TEXT and name in ("p", "h"):
            return
        if space == ODF_OFFICE and name == "annotation":
            return
        if space == ODF_TEXT and name in ("note",):
            return
        if space == ODF_TEXT and name == "s":
            out.append(" " * int(e.get("{%s}c" % ODF_TEXT, "1") or 1))
        elif space == ODF_TEXT and name == "tab":
            out.append("\t")
        elif space == ODF_TEXT and name == "line-break":
            out.append("\n")
        elif e.text:
            out.append(e.text)
        for c in e:
            walk(c, False)
            if c.tail:
                out.append(c.tail)

    walk(el, True)
    return "".join(out)


# --- paragraphs of a part, by kind -----------------------------------------


def word_kind(part, anc):
    if "/diagrams/" in part:
        return "smartart"
    if "/charts/" in part:
        return "charts"
    if "comments" in part:
        return "comments"
    names = [local(a.tag) for a in anc]
    if "txbxContent" in names or "textbox" in names or "txbx" in names:
        return "textbox"
    return "body"


def paragraphs_ooxml(part, root):
    """(kind, text) of each paragraph of an Office Open XML part, in order."""
    out = []
    authors = []
    is_master = re.search(r"slide(Master|Layout)s/", part) is not None

    def placeholder(sp):
        return any(local(x.tag) == "ph" for x in sp.iter())

    def walk(e, anc):
        name = local(e.tag)
        if name in ("cmAuthor", "author") and e.get("name") is not None:
            authors.append(e.get("name"))
        if name == "author" and part.startswith("xl/") and e.text:
            authors.append(e.text)
        if e.get("{http://schemas.openxmlformats.org/wordprocessingml/2006/main}author"):
            authors.append(e.get("{http://schemas.openxmlformats.org/wordprocessingml/2006/main}author"))
        kind = None
        if name == "p" and ns(e.tag).endswith(("wordprocessingml/2006/main", "drawingml/2006/main")):
            kind = classify(part, anc)
        elif name == "si" and part.endswith("sharedStrings.xml"):
            kind = "cells"
        elif name == "text" and part.startswith("xl/comments"):
            kind = "comments"
        elif name == "text" and part.startswith("ppt/comments/") and len(e) == 0:
            kind = "comments"
        elif name == "v" and any(local(a.tag) == "strCache" for a in anc):
            kind = "charts"
        if kind is not None and not (is_master and not in_loose_shape(anc)):
            para_names = ("p", "si", "text") if name != "v" else ()
            out.append((kind, ooxml_text(e, para_names), e))
        for c in e:
            walk(c, anc + [e])

    def in_loose_shape(anc):
        # A master's or layout's text shows on slides outside placeholders.
        for a in reversed(anc):
            if local(a.tag) == "sp":
                return not placeholder(a)
        return False

    def classify(p, anc):
        if p.startswith("word/"):
            return word_kind(p, anc)
        if "/diagrams/" in p:
            return "smartart"
        if "/charts/" in p:
            return "charts"
        if p.startswith("ppt/comments/"):
            return "comments"
        if p.startswith("ppt/notesSlides/"):
            return "notes"
        if is_master:
            return "masters"
        if p.startswith("xl/drawings/"):
            return "shapes"
        if p.startswith("xl/comments"):
            return "comments"
        return "body"

    walk(root, [])
    return out, authors


def paragraphs_odf(part, root):
    out = []
    authors = []

    def walk(e, anc):
        name, space = local(e.tag), ns(e.tag)
        if space == DC and name == "creator" and any(local(a.tag) == "annotation" for a in anc):
            authors.append(e.text or "")
        if space == ODF_TEXT and name in ("p", "h"):
            names = [local(a.tag) for a in anc]
            if "annotation" in names:
                kind = "comments"
            elif part.startswith("Object") or part.startswith("./Object"):
                kind = "objects"
            else:
                kind = "body"
            out.append((kind, odf_text(e), e))
        for c in e:
            walk(c, anc + [e])

    walk(root, [])
    return out, authors


def odf_cells(root):
    cells = []
    for cell in root.iter("{%s}table-cell" % ODF_TABLE):
        ps = [p for p in cell if ns(p.tag) == ODF_TEXT and local(p.tag) in ("p", "h")]
        if ps:
            cells.append("\n".join(odf_text(p) for p in ps))
    return cells


def xlsx_cells(root):
    return [ooxml_text(si, ("si",)) for si in root.iter() if local(si.tag) == "si"]


class HtmlBlocks(HTMLParser):
    """Text between block boundaries: a word the translation moves out of a
    link or a bold run stays in its block."""
    BLOCK = {"p", "h1", "h2", "h3", "h4", "h5", "h6", "li", "td", "th", "title", "dt", "dd",
             "blockquote", "figcaption", "caption", "div", "pre", "tr", "table", "ul", "ol",
             "dl", "body", "head", "section", "article", "header", "footer", "nav", "br",
             "hr", "img", "figure", "form", "option", "button", "label", "sup", "sub"}

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.blocks = []
        self.skip = 0
        self.text = []

    def flush(self):
        t = "".join(self.text)
        self.text = []
        if t.strip():
            self.blocks.append(t)

    def handle_starttag(self, tag, attrs):
        if tag in ("script", "style"):
            self.skip += 1
        if tag in self.BLOCK:
            self.flush()

    def handle_endtag(self, tag):
        if tag in ("script", "style") and self.skip:
            self.skip -= 1
        if tag in self.BLOCK:
            self.flush()

    def handle_data(self, data):
        if not self.skip:
            self.text.append(data)


def html_blocks(data):
    p = HtmlBlocks()
    try:
        p.feed(data.decode("utf-8", "replace"))
        p.close()
        p.flush()
    except Exception:
        pass
    return [("body", b, None) for b in p.blocks]


# --- the service ------------------------------------------------------------


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Service:
    def __init__(self, binary):
        self.port = free_port()
        self.proc = subprocess.Popen(
            [binary, "--listen", "127.0.0.1:%d" % self.port, "--engine", "apertium"],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, start_new_session=True)
        deadline = time.time() + 60
        while time.time() < deadline:
            line = self.proc.stdout.readline()
            if not line:
                break
            if "listening on" in line:
                break
        self.base = "http://127.0.0.1:%d" % self.port

    def close(self):
        self.proc.terminate()
        try:
            self.proc.wait(20)
        except subprocess.TimeoutExpired:
            self.proc.kill()

    def translate_file(self, name, data, timeout=3600):
        boundary = uuid.uuid4().hex
        body = io.BytesIO()
        for k, v in (("source", "en"), ("target", "es")):
            body.write(("--%s\r\nContent-Disposition: form-data; name=\"%s\"\r\n\r\n%s\r\n"
                        % (boundary, k, v)).encode())
        body.write(("--%s\r\nContent-Disposition: form-data; name=\"file\"; filename=\"%s\"\r\n"
                    "Content-Type: application/octet-stream\r\n\r\n" % (boundary, name)).encode())
        body.write(data)
        body.write(("\r\n--%s--\r\n" % boundary).encode())
        req = urllib.request.Request(self.base + "/translate_file", data=body.getvalue(),
                                     headers={"Content-Type": "multipart/form-data; boundary=" + boundary})
        try:
            with urllib.request.urlopen(req, timeout=timeout) as r:
                answer = json.loads(r.read())
        except urllib.error.HTTPError as e:
            return None, "HTTP %d: %s" % (e.code, e.read()[:300].decode("utf-8", "replace"))
        url = answer.get("translatedFileUrl", "")
        path = url[url.index("/", url.index("//") + 2):]
        with urllib.request.urlopen(self.base + path, timeout=600) as r:
            return r.read(), None

    def translate(self, texts):
        out = []
        for i in range(0, len(texts), 40):
            batch = texts[i:i + 40]
            req = urllib.request.Request(
                self.base + "/translate",
                data=json.dumps({"q": batch, "source": "en", "target": "es"}).encode(),
                headers={"Content-Type": "application/json"})
            try:
                with urllib.request.urlopen(req, timeout=600) as r:
                    out += json.loads(r.read())["translatedText"]
            except Exception:
                out += batch
        return out


# --- one document -------------------------------------------------------------

OOXML_TEXT_PARTS = re.compile(
    r"^(word/(document|footnotes|endnotes|comments|header\d*|footer\d*)\.xml"
    r"|word/(diagrams/(data|drawing)\d*|charts/chart\d*)\.xml"
    r"|ppt/(slides/slide|notesSlides/notesSlide|slideMasters/slideMaster|slideLayouts/slideLayout)\d+\.xml"
    r"|ppt/comments/(comment\d+|modernComment_[^/]*)\.xml|ppt/(diagrams/(data|drawing)|charts/chart)\d*\.xml"
    r"|xl/(sharedStrings|comments\d*|drawings/drawing\d+|charts/chart\d+)\.xml"
    r"|ppt/(commentAuthors|authors)\.xml)$")
ODF_TEXT_PARTS = re.compile(r"^((Object [^/]*/)?(content|styles)\.xml)$")


def norm(s):
    return " ".join(s.split())


def letters(s):
    return re.sub(r"[\W\d_]+", "", s.lower())


def outer(s):
    m = re.match(r"^(\s*).*?(\s*)$", s, re.S)
    return m.group(1), m.group(2)


def zip_paragraphs(data):
    """{part: [(kind, text)]}, authors, cells, problem"""
    z = zipfile.ZipFile(io.BytesIO(data))
    names = z.namelist()
    paras, authors, cells = {}, [], []
    odf = "mimetype" in names and "content.xml" in names
    for name in names:
        if odf:
            if not ODF_TEXT_PARTS.match(name):
                continue
        elif not OOXML_TEXT_PARTS.match(name) and not re.search(r"\.(x?html?|xhtml)$", name, re.I):
            continue
        raw = z.read(name)
        if re.search(r"\.(x?html?|xhtml)$", name, re.I):
            paras[name] = [(k, t) for k, t, _ in html_blocks(raw)]
            continue
        try:
            root = ET.fromstring(raw)
        except ET.ParseError as e:
            return None, None, None, "%s does not parse: %s" % (name, e), names
        if odf:
            ps, a = paragraphs_odf(name, root)
            if name == "content.xml":
                cells = odf_cells(root)
        else:
            ps, a = paragraphs_ooxml(name, root)
            if name == "xl/sharedStrings.xml":
                cells = xlsx_cells(root)
        authors += a
        paras[name] = [(k, t) for k, t, _ in ps]
    return paras, authors, cells, None, names


def soffice_text(path, workdir):
    subprocess.run(["soffice", "-env:UserInstallation=file://%s/profile" % workdir, "--headless",
                    "--convert-to", "txt:Text (encoded):UTF8", "--outdir", workdir + "/txt", path],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)
    out = os.path.join(workdir, "txt", os.path.splitext(os.path.basename(path))[0] + ".txt")
    with open(out, encoding="utf-8", errors="replace") as f:
        return [("body", l) for l in f.read().split("\n") if l.strip()]


def check(service, path, workdir):
    name = os.path.basename(path)
    with open(path, "rb") as f:
        src = f.read()
    started = time.time()
    out, problem = service.translate_file(name, src)
    seconds = time.time() - started
    r = {"file": name, "seconds": round(seconds, 1), "whole": False, "problems": [],
         "left": {}, "paragraphs": 0, "spaces": 0, "authors": 0}
    if out is None:
        r["problems"].append(problem)
        return r
    if os.environ.get("DOCS_CORPUS_KEEP"):
        with open(os.path.join(os.environ["DOCS_CORPUS_KEEP"], name), "wb") as f:
            f.write(out)
    ext = name.rsplit(".", 1)[-1].lower()
    if src.startswith(b"PK"):
        if not zipfile.is_zipfile(io.BytesIO(out)):
            r["problems"].append("not a zip")
            return r
        sp, sa, sc, p1, sn = zip_paragraphs(src)
        tp, ta, tc, p2, tn = zip_paragraphs(out)
        if p1 or p2:
            r["problems"].append(p1 or p2)
            return r
        if sorted(sn) != sorted(tn):
            r["problems"].append("parts differ")
        if sa != ta:
            r["authors"] = sum(1 for a, b in zip(sa, ta) if a != b) + abs(len(sa) - len(ta))
        if len(sc) == len(tc):
            r["spaces"] = sum(1 for a, b in zip(sc, tc) if outer(a) != outer(b))
        else:
            r["problems"].append("cells %d -> %d" % (len(sc), len(tc)))
    elif ext == "doc":
        with open(os.path.join(workdir, "out." + ext), "wb") as f:
            f.write(out)
        sp = {"": soffice_text(path, workdir + "/a")}
        tp = {"": soffice_text(os.path.join(workdir, "out." + ext), workdir + "/b")}
    elif ext in ("html", "htm"):
        sp = {"": [(k, t) for k, t, _ in html_blocks(src)]}
        tp = {"": [(k, t) for k, t, _ in html_blocks(out)]}
    else:
        sp = {"": [("body", b) for b in re.split(r"\r?\n\s*\r?\n", src.decode("utf-8", "replace"))]}
        tp = {"": [("body", b) for b in re.split(r"\r?\n\s*\r?\n", out.decode("utf-8", "replace"))]}

    same = []  # (kind, text) that came back unchanged
    changed = 0
    for part, ps in sp.items():
        ts = tp.get(part, [])
        r["paragraphs"] += len(ps)
        if len(ps) != len(ts) or [k for k, _ in ps] != [k for k, _ in ts]:
            r["problems"].append("%s: %d paragraphs -> %d" % (part or "text", len(ps), len(ts)))
            continue
        for (kind, a), (_, b) in zip(ps, ts):
            if not letters(a):
                continue
            if norm(a) == norm(b):
                same.append((kind, norm(a)))
            else:
                changed += 1
    if changed == 0:
        r["problems"].append("nothing translated")
    unique = sorted({t for _, t in same})
    answers = dict(zip(unique, service.translate([t[:2000] for t in unique])))
    for kind, t in same:
        if letters(answers.get(t, t)) != letters(t):
            r["left"][kind] = r["left"].get(kind, 0) + 1
            r.setdefault("examples", {}).setdefault(kind, [])
            if len(r["examples"][kind]) < 3:
                r["examples"][kind].append(t[:80])
    lost = sum(n for k, n in r["left"].items() if k in LOSS_KINDS)
    r["whole"] = not r["problems"] and lost == 0 and r["spaces"] == 0 and r["authors"] == 0
    return r


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser()
    ap.add_argument("folder", nargs="?", default=os.path.join(here, "..", "..", "shared", "docs-corpus"))
    ap.add_argument("--service", required=True)
    ap.add_argument("--json")
    ap.add_argument("--only", help="a regular expression the file names must match")
    args = ap.parse_args()
    if not os.path.isdir(args.folder):
        print("no corpus at %s: nothing to measure" % args.folder)
        return 0
    files = sorted(f for f in os.listdir(args.folder)
                   if not f.endswith(".md") and os.path.isfile(os.path.join(args.folder, f)))
    if args.only:
        files = [f for f in files if re.search(args.only, f)]
    service = Service(args.service)
    results = []
    try:
        for f in files:
            work = tempfile.mkdtemp(prefix="docs-corpus-")
            try:
                r = check(service, os.path.join(args.folder, f), work)
            except Exception as e:
                r = {"file": f, "whole": False, "problems": ["checker: %r" % e], "left": {},
                     "paragraphs": 0, "spaces": 0, "authors": 0, "seconds": 0}
            finally:
                shutil.rmtree(work, ignore_errors=True)
            results.append(r)
            left = ", ".join("%s %d" % kv for kv in sorted(r["left"].items())) or "-"
            print("%-5s %-58s %6.1fs paras %5d  left-english: %s  spaces %d  authors %d  %s" % (
                "WHOLE" if r["whole"] else "LOST", f, r["seconds"], r["paragraphs"], left,
                r["spaces"], r["authors"], "; ".join(r["problems"])), flush=True)
            for kind, ex in sorted(r.get("examples", {}).items()):
                if kind in LOSS_KINDS:
                    print("        %s: %s" % (kind, " | ".join(ex)), flush=True)
    finally:
        service.close()
    whole = sum(1 for r in results if r["whole"])
    print("whole: %d of %d" % (whole, len(results)))
    totals = {}
    for r in results:
        for k, n in r["left"].items():
            totals[k] = totals.get(k, 0) + n
    print("paragraphs left in English, by kind: %s" % (
        ", ".join("%s %d" % kv for kv in sorted(totals.items())) or "none"))
    print("cells whose outer spaces changed: %d; comment authors changed: %d" % (
        sum(r["spaces"] for r in results), sum(r["authors"] for r in results)))
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
