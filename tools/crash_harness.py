#!/usr/bin/env python3
"""Crash harness: types into the real editor and kills it with SIGKILL at
random moments, then checks what the next start recovers.

    tools/crash_harness.py [RUNS] [--program build/holvane] [--seed N]

Needs Xvfb and xdotool (apt install xvfb xdotool); not run by CI. Each run
starts the editor under a private Xvfb with a document (a 2 KB page and a
10 MiB page in turn, UTF-8), types letters, blanks and line ends into it as
a person would (XTEST key events, a few characters per xdotool call), and
kills it at a random moment 0.3 to 4 s after typing began; every third
run waits from that moment on for a recovery write to be under way (its
temporary file to appear) and kills it then. Then:

  - every recovery file left must be whole: magic, format version and
    CRC-32 are checked here, independently of the program's own reader;
  - its text must be the document with a prefix of what was typed, and
    that prefix must hold at least everything typed one second before the
    kill;
  - the editor is started again, restores the document from its question
    (Return) and saves it over the file (Alt+F, S); the file must then hold
    that same text.

XDG_STATE_HOME points at a temporary folder: the real ~/.local/state is
never touched. Prints one line per run and a summary; exits 1 on a failure.
"""

import argparse
import os
import random
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib

MAGIC = b"\x89holvrec"


def parse_recovery(data):
    """The text of a recovery file, or a reason it is not a whole one."""
    if len(data) < 16 or data[:8] != MAGIC:
        return None, "no magic"
    (version,) = struct.unpack_from("<I", data, 8)
    if version != 1:
        return None, "version %d" % version
    (stored,) = struct.unpack_from("<I", data, len(data) - 4)
    if zlib.crc32(data[:-4]) != stored:
        return None, "checksum"
    at = 8 + 4 + 4 + 8 + 8 + 5 * 8 + 4
    (path_units,) = struct.unpack_from("<I", data, at)
    at += 4 + 2 * path_units
    (text_units,) = struct.unpack_from("<Q", data, at)
    at += 8
    if at + 2 * text_units + 4 != len(data):
        return None, "lengths"
    return data[at:at + 2 * text_units].decode("utf-16-le", "surrogatepass"), None


def small_page():
    return "".join("<P>日本語の段落 %d です。</P>\r\n" % i for i in range(60))


def big_page():
    line = "<P>日本語の文章をここに書きます。ひらがな、カタカナ、漢字が混ざった普通の段落です。</P>\r\n"
    count = 10 * 1024 * 1024 // len(line.encode("cp932"))
    return line * count


class Display:
    def __init__(self):
        for number in range(120, 200):
            if not os.path.exists("/tmp/.X%d-lock" % number) and not os.path.exists("/tmp/.X11-unix/X%d" % number):
                break
        self.name = ":%d" % number
        self.log = tempfile.NamedTemporaryFile(prefix="holvane-xvfb-", suffix=".log", delete=False)
        self.process = subprocess.Popen(["Xvfb", self.name, "-nolisten", "tcp", "-screen", "0", "1280x1024x24"],
                                        stdout=self.log, stderr=subprocess.STDOUT)
        deadline = time.time() + 10
        while not os.path.exists("/tmp/.X11-unix/X%d" % number):
            if time.time() > deadline:
                sys.exit("Xvfb did not start")
            time.sleep(0.05)

    def close(self):
        self.process.terminate()  # so that it takes its lock file and socket with it
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.unlink(self.log.name)


class Harness:
    def __init__(self, program, display, work):
        self.program = program
        self.work = work
        self.env = dict(os.environ, DISPLAY=display.name, QT_QPA_PLATFORM="xcb",
                        XDG_STATE_HOME=os.path.join(work, "state"))
        self.env.pop("WAYLAND_DISPLAY", None)
        self.state = os.path.join(work, "state", "holvane")
        self.editors = []

    def xdotool(self, *arguments, check=True):
        result = subprocess.run(["xdotool", *arguments], env=self.env, capture_output=True, text=True)
        if check and result.returncode != 0:
            raise RuntimeError("xdotool %s: %s" % (" ".join(arguments), result.stderr.strip()))
        return result.stdout.strip()

    def window(self, name, timeout=60):
        deadline = time.time() + timeout
        while time.time() < deadline:
            found = self.xdotool("search", "--name", name, check=False).split()
            if found:
                return found[-1]
            time.sleep(0.05)
        raise RuntimeError("no window named %r" % name)

    def start(self, *arguments):
        log = open(os.path.join(self.work, "editor-%d.log" % len(self.editors)), "wb")
        editor = subprocess.Popen([self.program, *arguments], env=self.env, stdout=log, stderr=subprocess.STDOUT)
        self.editors.append(editor)
        return editor

    def stop_editors(self, keep=None):
        if keep:  # what a failed run leaves, to look at
            os.makedirs(keep, exist_ok=True)
            subprocess.run(["import", "-window", "root", os.path.join(keep, "screen.png")], env=self.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            for name in os.listdir(self.work):
                if name.endswith(".log"):
                    shutil.copy(os.path.join(self.work, name), keep)
            if os.path.isdir(self.state):
                shutil.copytree(self.state, os.path.join(keep, "state"), dirs_exist_ok=True)
        for editor in self.editors:
            if editor.poll() is None:
                editor.kill()
                editor.wait()
        self.editors = []
        for name in os.listdir(self.work):
            if name.endswith(".log"):
                os.remove(os.path.join(self.work, name))

    def recovered_starts_with(self, prefix):
        if not os.path.isdir(self.state):
            return False
        for name in os.listdir(self.state):
            if name.endswith(".recovery"):
                try:
                    with open(os.path.join(self.state, name), "rb") as f:
                        text, _ = parse_recovery(f.read())
                except OSError:
                    continue
                if text and text.startswith(prefix):
                    return True
        return False

    def run(self, page, rng, during_write):
        """One run: returns (ok, message, figures)."""
        shutil.rmtree(os.path.join(self.work, "state"), ignore_errors=True)
        doc = os.path.join(self.work, "doc.html")
        with open(doc, "w", encoding="utf-8", newline="") as f:
            f.write(page)
        editor = self.start(doc)
        window = self.window(r"doc\.html.* - holvas")
        self.xdotool("windowfocus", "--sync", window)

        # The clock starts once the editor has the document and takes keys:
        # a first character, typed and waited for in its recovery file.
        self.xdotool("type", "--delay", "0", "@")
        deadline = time.time() + 60
        while time.time() < deadline and not self.recovered_starts_with("@"):
            time.sleep(0.02)

        # A thread types; this one picks the moment to kill.
        log = []  # (time the keys had been sent, what was typed by then)
        stop = threading.Event()

        def type_keys():
            typed = "@"
            while not stop.is_set():
                if rng_keys.random() < 0.1:
                    self.xdotool("key", "Return", check=False)
                    chunk = "\r\n"
                else:
                    chunk = "".join(rng_keys.choice("abcdefghijklmnopqrstuvwxyz ") for _ in range(rng_keys.randint(1, 3)))
                    self.xdotool("type", "--delay", "0", chunk, check=False)
                typed += chunk
                log.append((time.monotonic(), typed))
                time.sleep(rng_keys.uniform(0.05, 0.3))  # a fast typist's pace, about ten characters a second

        rng_keys = random.Random(rng.random())
        typist = threading.Thread(target=type_keys)
        started = time.monotonic()
        typist.start()
        kill_after = rng.uniform(0.3, 4.0)
        time.sleep(kill_after)
        if during_write:  # then on, the first moment a write is under way
            deadline = time.monotonic() + 5
            while time.monotonic() < deadline and not any(n.endswith(".tmp") for n in os.listdir(self.state)):
                time.sleep(0.0005)
        killed_at = time.monotonic()
        editor.send_signal(signal.SIGKILL)
        editor.wait()
        stop.set()
        typist.join()
        typed = log[-1][1] if log else "@"
        cut_write = any(name.endswith(".tmp") for name in os.listdir(self.state)) if os.path.isdir(self.state) else False

        need = max([len(t) for at, t in log if at <= killed_at - 1.0], default=0)
        files = sorted(n for n in os.listdir(self.state) if n.endswith(".recovery")) if os.path.isdir(self.state) else []
        if need == 0 and not files:
            return True, "nothing to recover yet (killed %.2f s in%s)" % (
                kill_after, ", during the first write" if cut_write else ""), (cut_write, 0, 0)
        if len(files) != 1:
            return False, "%d recovery files, %d characters needed" % (len(files), need), None
        with open(os.path.join(self.state, files[0]), "rb") as f:
            text, problem = parse_recovery(f.read())
        if problem:
            return False, "recovery file not whole: " + problem, None
        if not text.endswith(page):
            return False, "the document's own text was not kept", None
        prefix = text[:len(text) - len(page)]
        if not typed.startswith(prefix):
            return False, "recovered %r is not what was typed" % prefix[-40:], None
        if len(prefix) < need:
            return False, "recovered %d characters, %d were typed a second before the kill" % (len(prefix), need), None

        # The next start: restore from the question, save over the file.
        editor = self.start()
        question = self.window("文書の復元")
        self.xdotool("windowfocus", "--sync", question)
        self.xdotool("key", "Return")
        window = self.window(r"doc\.html.* - holvas")
        time.sleep(0.2)
        before = os.stat(doc).st_mtime_ns
        self.xdotool("windowfocus", "--sync", window)
        self.xdotool("key", "alt+f")
        time.sleep(0.1)
        self.xdotool("key", "s")
        deadline = time.time() + 30
        while os.stat(doc).st_mtime_ns == before and time.time() < deadline:
            time.sleep(0.05)
        time.sleep(0.2)
        editor.send_signal(signal.SIGTERM)
        editor.wait(timeout=30)
        with open(doc, encoding="utf-8", newline="") as f:
            saved = f.read()
        if saved != text:
            return False, "restored and saved %d characters, the recovery file held %d" % (len(saved), len(text)), None
        lag = len(typed) - len(prefix)
        return True, "kept %d of %d typed (%d needed)%s" % (len(prefix), len(typed), need,
                                                            ", killed during a write" if cut_write else ""), (cut_write, len(prefix), lag)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("runs", nargs="?", type=int, default=50)
    parser.add_argument("--program", default=os.path.join(os.path.dirname(__file__), "..", "build", "holvane"))
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--pages", choices=["both", "small", "big"], default="both")
    parser.add_argument("--keep", help="where a failed run's logs, screen and recovery folder go")
    options = parser.parse_args()
    for tool in ("Xvfb", "xdotool"):
        if not shutil.which(tool):
            sys.exit("%s is missing: apt install xvfb xdotool" % tool)
    seed = options.seed if options.seed is not None else random.randrange(1 << 30)
    rng = random.Random(seed)
    pages = {"both": [small_page(), big_page()], "small": [small_page()], "big": [big_page()]}[options.pages]
    display = Display()
    work = tempfile.mkdtemp(prefix="holvane-crash-")
    passed = cut_writes = 0
    lags = []
    try:
        harness = Harness(os.path.abspath(options.program), display, work)
        for run in range(options.runs):
            page = pages[run % len(pages)]
            try:
                ok, message, figures = harness.run(page, rng, run % 3 == 2)
            except Exception as error:  # a harness step failed: counted as a failure
                ok, message, figures = False, "harness: %s" % error, None
            finally:
                harness.stop_editors(os.path.join(options.keep, "run-%d" % (run + 1)) if options.keep and not ok else None)
            passed += ok
            if figures:
                cut_writes += figures[0]
                lags.append(figures[2])
            print("run %2d (%s): %s %s" % (run + 1, "10 MiB" if len(page) > 100000 else "2 KB", "ok  " if ok else "FAIL", message),
                  flush=True)
            if display.process.poll() is not None:
                with open(display.log.name, errors="replace") as f:
                    print("Xvfb ended with %s: %s" % (display.process.returncode, f.read()[-500:].strip()))
                break
    finally:
        display.close()
        shutil.rmtree(work, ignore_errors=True)
    print("%d of %d runs recovered everything typed a second before the kill (seed %d); "
          "%d kills cut a recovery write short; characters typed but not kept: median %d, most %d"
          % (passed, options.runs, seed, cut_writes, sorted(lags)[len(lags) // 2] if lags else 0, max(lags, default=0)))
    return 0 if passed == options.runs else 1


if __name__ == "__main__":
    sys.exit(main())
