#!/usr/bin/python3
# Debian's Dialect, driven as a person drives it, against tarquell-service:
# in Preferences LibreTranslate is chosen in the Translator row and
# "localhost:PORT" typed into the instance row is taken, then a sentence
# typed into the source box is translated, and no error toast shows. The window is read and
# driven through the accessibility bus (AT-SPI); keys are typed with xdotool.
# Runs itself under xvfb-run, a private session bus and openbox.
# Screenshots go to BUILD_DIR/dialect-end-to-end (TARQUELL_DIALECT_SHOTS);
# TARQUELL_DIALECT_STOP_SERVICE=1 stops the service before translating, to
# see the harness catch Dialect's failure toast.
#   dialect-end-to-end.py BUILD_DIR
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.abspath(__file__)
NEEDED = ["/usr/bin/dialect", "/usr/bin/xvfb-run", "/usr/bin/dbus-run-session", "/usr/bin/openbox",
          "/usr/bin/xdotool", "/usr/libexec/at-spi-bus-launcher"]
missing = [p for p in NEEDED if not os.path.exists(p)]
if missing:
    print("SKIP: not installed (scripts/deps.sh installs them): " + " ".join(missing))
    sys.exit(77)

build = os.path.abspath(sys.argv[1])
if os.environ.get("TARQUELL_DIALECT_INNER") != "1":
    # A display and a session bus of our own; nothing of the caller's leaks in.
    env = dict(os.environ, TARQUELL_DIALECT_INNER="1")
    for name in ("DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS", "WAYLAND_DISPLAY", "DISPLAY"):
        env.pop(name, None)
    # A group of its own, so that a run that hangs is ended with all it started.
    inner = subprocess.Popen(["xvfb-run", "-a", "-s", "-screen 0 1280x800x24", "dbus-run-session", "--",
                              "/usr/bin/python3", HERE, build], env=env, start_new_session=True)
    try:
        sys.exit(inner.wait(110))
    except subprocess.TimeoutExpired:
        print("FAIL: the whole run took more than 110 s")
        os.killpg(inner.pid, signal.SIGKILL)
        inner.wait()
        sys.exit(1)

try:
    import pyatspi
except ImportError:
    print("SKIP: python3-pyatspi is missing (run with /usr/bin/python3)")
    sys.exit(77)

work = tempfile.mkdtemp(prefix="dialect-e2e-")
shots = os.environ.get("TARQUELL_DIALECT_SHOTS", os.path.join(build, "dialect-end-to-end"))
os.makedirs(shots, exist_ok=True)
# Dialect's settings go to a key file in a fresh home, not to the user's dconf.
os.environ.update(XDG_CONFIG_HOME=os.path.join(work, "config"), XDG_CACHE_HOME=os.path.join(work, "cache"),
                  XDG_DATA_HOME=os.path.join(work, "data"), GSETTINGS_BACKEND="keyfile",
                  NO_AT_BRIDGE="0", GTK_A11Y="atspi", GDK_BACKEND="x11", LANG="C.UTF-8", LC_ALL="C.UTF-8")
started = []


def start(args, **kwargs):
    proc = subprocess.Popen(args, stdout=kwargs.pop("stdout", subprocess.DEVNULL),
                            stderr=kwargs.pop("stderr", subprocess.DEVNULL), **kwargs)
    started.append(proc)
    return proc


def shot(name):
    path = os.path.join(shots, name + ".png")
    subprocess.run(["import", "-window", "root", path], timeout=20, check=False)
    print("screenshot: " + path)


def fail(what):
    print("FAIL: " + what)
    log = os.path.join(work, "dialect.log")
    if os.path.exists(log):
        print("Dialect's last words:\n" + "".join(open(log, errors="replace").readlines()[-20:]))
    try:
        shot("failure")
    finally:
        sys.exit(1)


def wait_for(what, probe, seconds=20, step=0.25):
    """Polls probe until it returns something true; fails with what after seconds."""
    end = time.monotonic() + seconds
    last = None
    while time.monotonic() < end:
        try:
            value = probe()
        except Exception as exc:  # the tree changes under us while it is walked
            value = None
            last = exc
        if value:
            print("ok: " + what)
            return value
        time.sleep(step)
    fail(what + " (waited %d s%s)" % (seconds, "; last: %r" % last if last else ""))


def gset(schema, key, value):
    subprocess.run(["gsettings", "set", schema, key, value], check=True, timeout=10)


def gget(schema, key):
    return subprocess.run(["gsettings", "get", schema, key], capture_output=True, text=True,
                          timeout=10).stdout.strip()


def keys(*names):
    subprocess.run(["xdotool", "key", "--clearmodifiers", *names], check=True, timeout=10)


def type_text(text):
    subprocess.run(["xdotool", "type", "--delay", "20", text], check=True, timeout=30)


def window_origin(title):
    """The screen position of the X window titled title (GTK 4 gives extents within their window)."""
    out = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--limit", "1", "--name", "^" + title + "$",
                          "getwindowgeometry", "--shell"], capture_output=True, text=True, timeout=10).stdout
    values = dict(line.split("=", 1) for line in out.split())
    return int(values["X"]), int(values["Y"])


def click(origin, node):
    x, y, w, h = node.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
    subprocess.run(["xdotool", "mousemove", str(origin[0] + x + w // 2), str(origin[1] + y + h // 2),
                    "click", "1"], check=True, timeout=10)


def walk(node, depth=0):
    if node is None or depth > 60:
        return
    yield node
    for i in range(node.childCount):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(child, depth + 1)


def app():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        a = desktop.getChildAtIndex(i)
        if a is not None and a.name and "dialect" in a.name.lower():
            return a
    return None


def find(root, role=None, name=None, showing=True):
    found = []
    for node in walk(root):
        if role is not None and node.getRoleName() != role:
            continue
        if name is not None and name not in (node.name or ""):
            continue
        if showing and not node.getState().contains(pyatspi.STATE_SHOWING):
            continue
        found.append(node)
    return found


def text_of(node):
    try:
        t = node.queryText()
        return t.getText(0, t.characterCount)
    except NotImplementedError:
        return node.name or ""


SENTENCE = "The house is red."
# Apertium's words for "house" in the languages Dialect may start with.
EXPECTED = ("casa", "maison")
# What Dialect's toasts say when something goes wrong. (Its error page keeps
# the text of the failed start against its default instance, hidden, so
# that page's words are not among these.)
TOASTS = ("A network issue has occured", "Translation failed", "Not a valid", "The provided API key is invalid",
          "API key is required", "characters limit reached", "Suggestion failed")

def toasts(root):
    return [n.name for n in walk(root) if n.name and any(t in n.name for t in TOASTS)]


try:
    start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    if os.path.exists("/usr/libexec/at-spi2-registryd"):
        start(["/usr/libexec/at-spi2-registryd"])
    start(["openbox"])
    subprocess.run(["gsettings", "set", "org.gnome.desktop.interface", "toolkit-accessibility", "true"],
                   timeout=10, check=False, stderr=subprocess.DEVNULL)

    apertium = os.path.exists("/usr/share/apertium/modes/eng-spa.mode")
    service = start([os.path.join(build, "server", "tarquell-service"), "--listen", "127.0.0.1:0"]
                    + ([] if apertium else ["--engine", "echo"]), stdout=subprocess.PIPE, text=True)
    line = service.stdout.readline()
    if not line.startswith("listening on "):
        fail("tarquell-service did not start")
    instance = "localhost:" + line.strip().rsplit(":", 1)[1]
    print("service: " + instance + (" (Apertium)" if apertium else " (echo)"))

    # What the person chose before: no text-to-speech (Google's voice list
    # needs the internet, and its failure is a toast of its own, unrelated to
    # the service), and English rather than detection as the source.
    gset("app.drey.Dialect", "src-auto", "false")
    gset("app.drey.Dialect.TTSList:/app/drey/Dialect/tts/", "active", "''")

    start(["dialect"], stdout=open(os.path.join(work, "dialect.log"), "w"), stderr=subprocess.STDOUT)
    dialect = wait_for("Dialect is on the accessibility bus", app, 40)
    window = wait_for("its window shows", lambda: find(dialect, "frame") or find(dialect, "window"), 20)[0]
    time.sleep(1)
    shot("started")

    # Preferences, as a person opens them: Ctrl+comma.
    subprocess.run(["xdotool", "search", "--sync", "--limit", "1", "--name", "Dialect", "windowactivate"],
                   timeout=10, check=False)
    keys("ctrl+comma")
    prefs = wait_for("Preferences open", lambda: [n for n in find(dialect, None, "Preferences")
                                                  if n.getRoleName() in ("frame", "window", "dialog")], 15)[0]
    prefs_window = window_origin("Preferences")
    # The Translator row: its list runs Google, LibreTranslate, Lingva.
    backends = "app.drey.Dialect.TranslatorsList:/app/drey/Dialect/translators/"
    row = wait_for("the Translator row is there",
                   lambda: [n for n in find(prefs, None, "Translator", False)
                            if n.name == "Translator" and n.getRoleName() != "label"], 10)[0]
    print("  Translator row: " + row.getRoleName())
    click(prefs_window, row)
    time.sleep(0.7)
    keys("Down")
    time.sleep(0.3)
    keys("Return")
    wait_for("LibreTranslate is chosen", lambda: gget(backends, "active") == "'libretranslate'", 10)
    entry = wait_for("the instance row is there",
                     lambda: [n for n in find(prefs, "text", "Translator Instance", False)], 10)[0]
    print("  instance row shows " + repr(text_of(entry)))
    # Click into the row, select what is there and type the service's address.
    click(prefs_window, entry)
    time.sleep(0.5)
    keys("ctrl+a")
    type_text(instance)
    time.sleep(0.3)
    keys("Return")
    wait_for("Preferences take " + instance,
             lambda: gget("app.drey.Dialect.translator:/app/drey/Dialect/translators/libretranslate/",
                          "instance-url") == repr(instance), 20)
    if find(prefs, None, "Not a valid", False):
        fail("Preferences say the instance is not valid")
    wait_for("the instance row shows " + instance, lambda: text_of(entry) == instance, 5)
    shot("preferences-taken")

    # Back to the window: type a sentence and translate it with the shortcut.
    keys("Escape")
    wait_for("Preferences close", lambda: not [n for n in find(dialect, None, "Preferences", False)
                                               if n.getRoleName() in ("frame", "window", "dialog")], 10)
    boxes = wait_for("the source and translation boxes are there",
                     lambda: (lambda b: b if len(b) == 2 else None)(find(window, "text", "GtkTextView", False)), 20)
    source, target = boxes
    # The instance loads again after the change.
    time.sleep(2)
    main_window = window_origin("Dialect")
    click(main_window, source)
    type_text(SENTENCE)
    time.sleep(0.3)
    if os.environ.get("TARQUELL_DIALECT_STOP_SERVICE") == "1":  # to see the harness catch a failure
        service.kill()
    keys("ctrl+Return")

    def translation():
        shown = toasts(window)
        if shown:
            fail("Dialect shows " + repr(shown))
        return text_of(target).strip()
    translated = wait_for("the translation shows", translation, 20)
    print("  translation: " + repr(translated))
    if text_of(source).strip() != SENTENCE:
        fail("the source box holds %r" % text_of(source))
    if apertium and not any(word in translated.lower() for word in EXPECTED):
        fail("the translation %r lacks %r" % (translated, EXPECTED))
    if not apertium and translated.strip() != SENTENCE:
        fail("the echo engine's translation %r is not the sentence" % translated)
    # A toast lives for five seconds: watch for one that long.
    end = time.monotonic() + 6
    while time.monotonic() < end:
        shown = toasts(window)
        if shown:
            fail("Dialect shows " + repr(shown))
        time.sleep(0.5)
    print("ok: no error is shown")
    shot("translated")
    print("PASS")
finally:
    for proc in reversed(started):
        if proc.poll() is None:
            proc.terminate()
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()
    if os.environ.get("TARQUELL_DIALECT_KEEP") != "1":
        shutil.rmtree(work, ignore_errors=True)
