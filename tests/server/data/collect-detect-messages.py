#!/usr/bin/env python3
# Writes detect-messages.tsv (short sentences) and detect-phrases.tsv (two-
# and three-word phrases) for the language detection test and benchmark:
# English messages of Debian packages and their translators' French, German,
# Spanish, Italian, Portuguese, Russian, Chinese, Korean and Japanese, read
# from the installed message catalogues. Nobody here wrote them, so the set
# favours no detector. Run it where the packages' translations are
# installed:  tests/server/data/collect-detect-messages.py
import gettext
import hashlib
import os
import re

LANGS = ["fr", "de", "es", "it", "pt", "ru", "zh_CN", "ko", "ja"]
DOMAINS = ("systemd apt dpkg coreutils tar wget glib20 gtk20 shadow adduser man-db make bash "
           "grep sed findutils libc gettext-tools appstream shared-mime-info libapt-pkg6.0 "
           "python-apt software-properties at-spi2-core gdk-pixbuf xkeyboard-config").split()
ROOT = "/usr/share/locale"
HERE = os.path.dirname(os.path.abspath(__file__))


def collect(count, per_domain, low, high):
    found = {}
    for domain in DOMAINS:
        catalogues = {}
        for lang in LANGS:
            with open(f"{ROOT}/{lang}/LC_MESSAGES/{domain}.mo", "rb") as f:
                catalogues[lang] = gettext.GNUTranslations(f)._catalog
        for msgid in catalogues["fr"]:
            if not isinstance(msgid, str) or not msgid:
                continue
            # Plain prose only: no format directives, markup, options,
            # abbreviations, numbers or quotes.
            if re.search(r"[%\n<>_{}\\/|@=$&*#`\[\]():\"']|--|\.\.|[A-Z]{2,}|\w\.\w|\d", msgid):
                continue
            words = msgid.split()
            if not (low <= len(words) <= high) or not msgid[0].isupper():
                continue
            if low >= 4 and not msgid.endswith("."):
                continue
            versions = {}
            for lang in LANGS:
                text = catalogues[lang].get(msgid)
                if not isinstance(text, str) or not text.strip() or text == msgid \
                        or "\n" in text or "%" in text:
                    break
                versions[lang] = text.strip()
            else:
                found[msgid] = (domain, versions)
    # A fixed order that favours nothing: by the digest of the message; at
    # most per_domain of a package, none that begins like one taken.
    taken, heads, per = [], set(), {}
    for msgid in sorted(found, key=lambda m: hashlib.sha1(m.encode()).hexdigest()):
        domain = found[msgid][0]
        head = " ".join(msgid.lower().split()[:2])
        if per.get(domain, 0) >= per_domain or head in heads:
            continue
        heads.add(head)
        per[domain] = per.get(domain, 0) + 1
        taken.append(msgid)
        if len(taken) == count:
            break
    lines = []
    for msgid in taken:
        domain, versions = found[msgid]
        lines.append(f"en\t{domain}\t{msgid}")
        lines += [f"{lang[:2]}\t{domain}\t{versions[lang]}" for lang in LANGS]
    return "\n".join(lines) + "\n"


with open(os.path.join(HERE, "detect-messages.tsv"), "w") as f:
    f.write(collect(30, 3, 4, 14))
with open(os.path.join(HERE, "detect-phrases.tsv"), "w") as f:
    f.write(collect(30, 4, 2, 3))
