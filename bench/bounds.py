#!/usr/bin/env python3
"""Peak memory (VmHWM) of the real tarquell-service under the inputs that
once filled it, and under real documents.

  bench/bounds.py [--build DIR] [--corpus DIR] [--skip-soap] [--skip-documents]
                  [--skip-made]

The corpus defaults to $TARQUELL_DOCS_CORPUS, else ../shared/docs-corpus
beside the repository.

SOAP: 4 envelopes of 15 MB of empty elements at once (echo engine): the
service's peak resident memory, and how long each refusal took (median).
Documents (/translate_file en->es): for each document the
peak is reset through /proc/PID/clear_refs and read after it, so each figure
is that document's own peak; archives made here go through the echo
engine, real ones through Apertium. The documents: the archive of 239 headers of
just under 1 MiB each, the same with 100 headers, the largest archives the
limits let in (120 parts of 1 MiB, and one part of 16 MiB, of less
compressible XML), and, when the folder is there, every archive in the
shared corpus of real documents (read in place, never copied).
"""
import argparse
import concurrent.futures
import io
import os
import re
import statistics
import subprocess
import sys
import time
import urllib.request
import uuid
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ARCHIVES = (".docx", ".pptx", ".xlsx", ".odt", ".ods", ".odp", ".epub")


def vm(pid, key):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1]) // 1024  # MiB
    return -1


def reset_peak(pid):
    with open(f"/proc/{pid}/clear_refs", "w") as f:
        f.write("5")


class Service:
    def __init__(self, build, engine):
        self.proc = subprocess.Popen(
            [os.path.join(build, "server", "tarquell-service"), "--listen", "127.0.0.1:0",
             "--engine", engine],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        line = self.proc.stdout.readline().strip()
        m = re.match(r"listening on (\S+):(\d+)$", line)
        if not m:
            self.proc.kill()
            sys.exit(f"the service did not start: {line!r}")
        self.base = f"http://127.0.0.1:{m.group(2)}"
        self.pid = self.proc.pid

    def post(self, path, body, content_type, timeout=900):
        req = urllib.request.Request(self.base + path, data=body,
                                     headers={"Content-Type": content_type})
        start = time.monotonic()
        try:
            with urllib.request.urlopen(req, timeout=timeout) as r:
                data, status = r.read(), r.status
        except urllib.error.HTTPError as e:
            data, status = e.read(), e.code
        return status, data, time.monotonic() - start

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(30)
        except subprocess.TimeoutExpired:
            self.proc.kill()


def soap(build):
    s = Service(build, "echo")
    try:
        head = ('<?xml version="1.0"?><e:Envelope xmlns:e="http://schemas.xmlsoap.org/soap/'
                'envelope/"><e:Body><BabelFish><translationmode>en_fr</translationmode>'
                '<sourcedata>').encode()
        tail = b"</sourcedata></BabelFish></e:Body></e:Envelope>"
        body = head + b"<a/>" * (15_000_000 // 4) + tail
        base = vm(s.pid, "VmRSS")
        alone = sorted(s.post("/soap", body, "text/xml")[2] for _ in range(3))
        print(f"SOAP, one envelope of {len(body) / 1e6:.1f} MB of empty elements alone: "
              f"refused in {statistics.median(alone) * 1000:.0f} ms (median of 3, upload "
              f"included)")
        with concurrent.futures.ThreadPoolExecutor(4) as pool:
            results = list(pool.map(lambda _: s.post("/soap", body, "text/xml"), range(4)))
        peak = vm(s.pid, "VmHWM")
        refused = sum(1 for st, d, _ in results if st == 500 and b"more than" in d)
        times = sorted(t for _, _, t in results)
        print(f"SOAP, 4 envelopes of {len(body) / 1e6:.1f} MB of empty elements at once: "
              f"{refused}/4 refused, median {statistics.median(times) * 1000:.0f} ms each "
              f"(slowest {times[-1] * 1000:.0f} ms); service RSS {base} MiB before, "
              f"peak (VmHWM) {peak} MiB")
    finally:
        s.stop()


def multipart(name, data):
    boundary = uuid.uuid4().hex
    parts = []
    for field, value in (("source", "en"), ("target", "es")):
        parts.append(f'--{boundary}\r\nContent-Disposition: form-data; name="{field}"\r\n\r\n'
                     f"{value}\r\n".encode())
    parts.append(f'--{boundary}\r\nContent-Disposition: form-data; name="file"; '
                 f'filename="{name}"\r\nContent-Type: application/octet-stream\r\n\r\n'.encode()
                 + data + b"\r\n")
    parts.append(f"--{boundary}--\r\n".encode())
    return b"".join(parts), f"multipart/form-data; boundary={boundary}"


def docx(parts):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", "<Types/>")
        z.writestr("word/document.xml",
                   '<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/'
                   '2006/main"><w:body><w:p><w:r><w:t>Red house</w:t></w:r></w:p></w:body>'
                   "</w:document>")
        for name, data in parts:
            z.writestr(name, data)
    return out.getvalue()


def header(size, varied):
    ns = "http://schemas.openxmlformats.org/wordprocessingml/2006/main"
    out, i = [f'<w:hdr xmlns:w="{ns}">'], 0
    total = len(out[0])
    while total < size - 100:
        text = f"The house number {i * 7919 % 100003} is red." if varied else "Red house"
        run = f"<w:p><w:r><w:t>{text}</w:t></w:r></w:p>"
        out.append(run)
        total += len(run)
        i += 1
    out.append("</w:hdr>")
    return "".join(out).encode()


def made_documents(build, one):
    # The archives made here go through the echo engine: the service's own
    # handling is what is measured, not Apertium's speed.
    print("Documents (echo engine), the service's own peak (VmHWM) for each:")
    s = Service(build, "echo")
    try:
        small = header(1024 * 1024 - 200, False)
        one(s, "239 headers of just under 1 MiB", "attack.docx",
            docx([(f"word/header{i + 1}.xml", small) for i in range(239)]))
        one(s, "100 headers of just under 1 MiB", "attack100.docx",
            docx([(f"word/header{i + 1}.xml", small) for i in range(100)]))
        varied = header(1024 * 1024 - 200, True)
        one(s, "120 varied headers of 1 MiB (within limits)", "many.docx",
            docx([(f"word/header{i + 1}.xml", varied) for i in range(120)]))
        one(s, "one 16 MiB part (the part cap)", "big.docx",
            docx([("word/header1.xml", header(16 * 1024 * 1024 - 100, True))]))
    finally:
        s.stop()


def documents(build, corpus, made=True):
    def one(s, label, name, data):
        body, ctype = multipart(name, data)
        reset_peak(s.pid)
        status, reply, took = s.post("/translate_file", body, ctype)
        peak = vm(s.pid, "VmHWM")
        what = "translated" if status == 200 else \
            f"{status} {reply[:110].decode(errors='replace')}"
        print(f"  {label:48} {len(data) / 1024:8.0f} KiB  peak {peak:5d} MiB  "
              f"{took:6.1f} s  {what}", flush=True)
        return peak, status

    if made:
        made_documents(build, one)
    if not corpus or not os.path.isdir(corpus):
        return
    print("Real documents (Apertium en->es), the service's own peak for each:")
    s = Service(build, "apertium")
    try:
        peaks = []
        for name in sorted(os.listdir(corpus)):
            path = os.path.join(corpus, name)
            if not name.endswith(ARCHIVES) or not zipfile.is_zipfile(path):
                continue
            with open(path, "rb") as f:
                peak, status = one(s, name[:48], name, f.read())
            if status == 200:
                peaks.append(peak)
        if peaks:
            print(f"  real documents translated: {len(peaks)}, peak median "
                  f"{statistics.median(peaks)} MiB, largest {max(peaks)} MiB")
    finally:
        s.stop()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    ap.add_argument("--corpus", default=os.environ.get(
        "TARQUELL_DOCS_CORPUS", os.path.join(HERE, "..", "..", "shared", "docs-corpus")))
    ap.add_argument("--skip-soap", action="store_true")
    ap.add_argument("--skip-documents", action="store_true")
    ap.add_argument("--skip-made", action="store_true")
    a = ap.parse_args()
    if not a.skip_soap:
        soap(a.build)
    if not a.skip_documents:
        documents(a.build, a.corpus, not a.skip_made)


if __name__ == "__main__":
    main()
