#!/usr/bin/env python3
"""Fails when a source file includes a header its layer may not reach.

Every include is resolved as the compiler would: a quoted one first beside
the including file, then on the include paths the build gives (the project
root, the shared test support); an include that names a project file by a
path the build does not give fails too. Run by ctest as "layering".
Usage: check-layers.py [project root]
"""
import os
import re
import sys

# The layer of a path inside the repository: the first pattern that matches.
LAYERS = [
    (r"service/SoapXml\.[^/]*|service/SoapNames\.h", "soapxml"),
    (r"common/LanguageDetector\.[^/]*", "detect"),
    (r"common/DocumentTypes\.[^/]*", "doctypes"),
    (r"common/MultipartForm\.[^/]*", "multipart"),
    (r"platform/.*", "platform"),
    (r"service/.*", "client"),
    (r"translate/.*", "translate"),
    (r"sysinfo/.*", "sysinfo"),
    (r"web/browser/.*", "browser"),
    (r"web/.*", "web"),
    (r"editor/.*", "editor"),
    (r"app/.*", "ui"),
    (r"server/ServerLogging\.[^/]*", "serverlog"),
    (r"server/net/.*", "net"),
    (r"server/engine/.*", "engine"),
    (r"server/apertium/.*", "apertium"),
    (r"server/remote/.*", "remote"),
    (r"server/documents/.*", "documents"),
    (r"server/soap/.*", "soap"),
    (r"server/gateway/.*", "gateway"),
    (r"server/api/.*", "api"),
    (r"server/http/.*", "http"),
    (r"server/.*", "server"),
    (r"tools/Vantudict/.*", "vantudict"),
    (r"tools/.*", "tools"),
    (r"cli/.*", "cli"),
    (r"tests/support/.*", "support"),
]
LAYERS = [(re.compile(pattern), layer) for pattern, layer in LAYERS]

COMMON = "detect doctypes multipart"
# The service's wings, lowest first: net includes nothing of the service;
# the engine only the logging; Apertium and the remote engines the engine
# and net (the remote engines the multipart form of common/ too); documents
# the engine and common/; the fronts (SOAP, the gateway, the API) the
# engine, and the API documents too, never each other; the
# HTTP front neither routes nor engines. Only the top of server/ (main,
# options, the route table) reaches every wing.
WINGS = "serverlog net engine apertium remote documents soap gateway api http server"
# What each layer may include: itself and the layers it links.
MAY = {
    "platform": "platform",
    "soapxml": "soapxml",
    "client": "client soapxml platform multipart",
    "translate": "translate client soapxml platform doctypes",
    "sysinfo": "sysinfo platform",
    "web": "web platform",
    "editor": "editor platform",
    "ui": "ui translate client soapxml platform sysinfo web editor doctypes",
    "browser": "browser ui translate client soapxml platform sysinfo web editor doctypes",
    "detect": "detect",
    "doctypes": "doctypes",
    "multipart": "multipart",
    "serverlog": "serverlog",
    "net": "net platform",
    "engine": "engine serverlog platform",
    "apertium": "apertium engine net serverlog platform",
    "remote": "remote engine net serverlog platform multipart",
    "documents": f"documents engine serverlog platform {COMMON}",
    "soap": "soap engine serverlog soapxml platform",
    "gateway": "gateway engine net serverlog platform",
    "api": f"api documents engine serverlog platform {COMMON}",
    "http": "http net serverlog platform",
    "server": f"{WINGS} soapxml platform {COMMON}",
    "tools": "tools editor web platform",
    # the dictionary stands alone: its lookups know nothing of the translator
    "vantudict": "vantudict platform",
    "cli": f"cli translate client soapxml platform {COMMON}",
    "support": "support platform",
}
MAY = {layer: set(allowed.split()) for layer, allowed in MAY.items()}
# A test area may include what the layers it tests may, and the shared test
# support. The service's tests drive it through our own client.
TEST_AREA = {
    "platform": "platform", "service": "client", "translate": "translate",
    "sysinfo": "sysinfo", "web": "web", "editor": "editor", "app": "ui",
    "browser": "browser", "server": "server client", "tools": "tools vantudict",
    "cli": "cli",
}
# Known exceptions: (including file, included file). None now.
PENDING = set()

FOLDERS = ["platform", "common", "service", "translate", "sysinfo", "web",
           "editor", "app", "server", "tools", "cli", "tests"]
INCLUDE = re.compile(r'^\s*#\s*include\s*(?:"([^"]*)"|<([^>]*)>)', re.M)


def layer_of(path):
    if path.startswith("tests/") and not path.startswith("tests/support/"):
        parts = path.split("/")
        return "test:" + parts[1] if len(parts) > 2 else None
    for pattern, layer in LAYERS:
        if pattern.fullmatch(path):
            return layer
    return None


def include_dirs(path):
    if path.startswith("tests/browser/"):
        return ["tests/support", "tests/app"]
    if path.startswith("tests/"):
        return ["tests/support"]
    return []


def normal(path):
    out = []
    for part in path.split("/"):
        if part in ("", "."):
            continue
        if part == "..":
            if out:
                out.pop()
        else:
            out.append(part)
    return "/".join(out)


def main():
    os.chdir(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    exists = set()
    byname = {}
    for folder in FOLDERS:
        for root, _, names in os.walk(folder):
            for name in names:
                if name.endswith((".h", ".cpp")):
                    path = os.path.join(root, name)
                    exists.add(path)
                    byname.setdefault(name, []).append(path)
    failed = False
    for path in sorted(exists):
        layer = layer_of(path)
        if layer is None:
            continue
        tests_too = False
        if layer.startswith("test:"):
            area = TEST_AREA.get(layer[5:])
            if area is None:
                continue
            # Its own fixtures, and those of other areas it borrows.
            allowed = {"support"}
            tests_too = True
            for base in area.split():
                allowed |= MAY[base]
        else:
            allowed = MAY[layer]
        with open(path, encoding="utf-8", errors="replace") as source:
            text = source.read()
        for match in INCLUDE.finditer(text):
            quoted, angled = match.groups()
            inc = quoted if quoted is not None else angled
            candidates = []
            if quoted is not None:
                candidates.append(normal(os.path.dirname(path) + "/" + inc))
            candidates.append(normal(inc))
            candidates += [normal(d + "/" + inc) for d in include_dirs(path)]
            resolved = next((c for c in candidates if c in exists), None)
            if resolved is None:
                # Not ours, unless it names one of our files by a path the
                # build does not give (a folder that is no include path any more).
                for ours in byname.get(inc.rsplit("/", 1)[-1], []):
                    if ours.endswith(inc):
                        print(f'{path}: includes "{inc}", which is {ours} by no include path the build gives',
                              file=sys.stderr)
                        failed = True
                        break
                continue
            target = layer_of(resolved)
            if target is None or target in allowed or (tests_too and target.startswith("test:")):
                continue
            if (path, resolved) in PENDING:
                continue
            print(f'{path}: includes "{inc}" ({resolved}, {target}), which {layer} may not reach', file=sys.stderr)
            failed = True
    if not failed:
        print("layering: every include stays within its layer")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
