#!/usr/bin/python3
# Debian's Dialect (GNOME's translator) against tarquell-service, through
# Dialect's own installed code: the instance check its Preferences make
# (GET /spec), the loading of the instance (/languages and
# /frontend/settings), and a translation as its window sends it, each with
# Dialect's own request builder, HTTP session and answer reader. The
# service runs on a free loopback port with Apertium's English-Spanish
# pair (or the echo engine when that pair is missing).
#   dialect-client.py BUILD_DIR
import json
import os
import subprocess
import sys
import tempfile

DIALECT = "/usr/share/dialect"
if not os.path.isdir(os.path.join(DIALECT, "dialect")):
    print("SKIP: dialect is not installed (scripts/deps.sh installs it)")
    sys.exit(77)
sys.path.insert(0, DIALECT)

import gi  # noqa: E402

gi.require_version("Soup", "3.0")
from gi.repository import GLib  # noqa: E402

from dialect.session import Session  # noqa: E402
from dialect.translators import libretrans  # noqa: E402

build = sys.argv[1]
apertium = os.path.exists("/usr/share/apertium/modes/eng-spa.mode")
work = tempfile.TemporaryDirectory()
service = subprocess.Popen(
    [os.path.join(build, "server", "tarquell-service"), "--listen", "127.0.0.1:0"]
    + ([] if apertium else ["--engine", "echo"]),
    stdout=subprocess.PIPE, env=dict(os.environ, XDG_CACHE_HOME=work.name), text=True)
failures = []


def check(what, ok, detail=""):
    print(("ok: " if ok else "FAIL: ") + what + ("" if ok else " (" + str(detail) + ")"))
    if not ok:
        failures.append(what)


def run(start, seconds=30):
    """Runs the main loop until start's callback calls done(), or the time is up."""
    loop = GLib.MainLoop()
    result = {}

    def done(value=None):
        result["value"] = value
        loop.quit()

    def timeout():
        result["timeout"] = True
        loop.quit()
        return False

    timer = GLib.timeout_add_seconds(seconds, timeout)
    start(done)
    loop.run()
    if "timeout" not in result:
        GLib.source_remove(timer)
    return result


try:
    line = service.stdout.readline()
    if not line.startswith("listening on "):
        print("tarquell-service did not start")
        sys.exit(1)
    # As a person types it in Preferences: without a scheme, so that Dialect
    # speaks plain HTTP to localhost.
    instance = "localhost:" + line.strip().rsplit(":", 1)[1]
    Translator = libretrans.Translator

    # Preferences: "Not a valid LibreTranslate instance" unless this holds.
    def validate(done):
        url = Translator.format_url(instance, Translator.validation_path)
        message = Session.create_message("GET", url)

        def answered(session, result):
            try:
                done(Translator.validate_instance(Session.get_response(session, result)))
            except Exception as exc:  # Dialect logs it and says "not valid"
                done(exc)
        Session.get().send_and_read_async(message, 0, None, answered)

    result = run(validate)
    check("Preferences take the instance", result.get("value") is True, result)

    # Loading the instance: its languages and its settings.
    loaded = run(lambda done: setattr(run, "translator", Translator(
        lambda success, error, network: done((success, error, network)), base_url=instance)))
    success, error, network = loaded.get("value", (False, "timed out", False))
    check("the instance loads", success and not network, (error, network))
    translator = run.translator
    check("its languages include en and es", {"en", "es"} <= set(translator.languages),
          translator.languages)
    # Dialect cuts its input box at this and crashes on -1.
    check("the character limit is positive", translator.chars_limit > 0, translator.chars_limit)

    # A translation as the window sends it.
    text = "The house is red."

    def translate(done):
        method, data, headers, raw = translator.format_translation(text, "en", "es")
        message = Session.create_message(method, translator.translate_url, data, headers, raw)

        def answered(session, result):
            try:
                done(translator.get_translation(Session.get_response(session, result))[0])
            except Exception as exc:
                done(exc)
        Session.get().send_and_read_async(message, 0, None, answered)

    result = run(translate)
    translation = result.get("value")
    text_out = getattr(translation, "text", None)
    expected = "La casa es roja." if apertium else "[en_es] " + text
    check("a sentence is translated", text_out == expected, translation)
finally:
    service.terminate()
    service.wait(10)
    work.cleanup()
sys.exit(1 if failures else 0)
