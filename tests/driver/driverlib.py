"""Runs driver.exe under Wine and reads its transcript (see driver.cpp for the format).

Shared by the driver's own tests and the host's integration tests. The build tells
where things are through the environment:
  TARVEX_BIN        the build's bin folder (driver.exe and the programs under test)
  TARVEX_WINE       the build's wine-run.sh
  TARVEX_WINEPREFIX the Wine prefix it uses
  TARVEX_WORK       a scratch folder for the tests' game folders
  TARVEX_TIMEOUT_MS how long one run may take inside the driver (default 120000;
                    Wine under emulation is slow)
"""

import json
import os
import shutil
import subprocess


def setting(name, default=None):
    value = os.environ.get(name, default)
    if value is None:
        raise RuntimeError(f"{name} is not set: run the tests through ctest")
    return value


BIN = setting("TARVEX_BIN")
WINE = setting("TARVEX_WINE")
WORK = setting("TARVEX_WORK")
TIMEOUT_MS = int(setting("TARVEX_TIMEOUT_MS", "120000"))


def win_path(path):
    """The Windows name of a Unix path under Wine's Z: drive."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def fresh_folder(name):
    """An empty folder WORK/name (removed first when it exists)."""
    path = os.path.join(WORK, name)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


class Transcript:
    """The events of one driver run, in order."""

    def __init__(self, events, returncode, stderr):
        self.events = events
        self.returncode = returncode
        self.stderr = stderr

    def of(self, kind):
        return [e for e in self.events if e["event"] == kind]

    def debug_texts(self):
        return [e["text"] for e in self.of("debug")]

    def boxes(self):
        return self.of("box")

    def _code(self, kind):
        found = self.of(kind)
        if len(found) != 1:
            raise AssertionError(f"expected one {kind} event, got {self.events!r}")
        return found[0]["code"]

    def exit_code(self):
        return self._code("exit")

    def first_exit_code(self):
        return self._code("first-exit")

    def __repr__(self):
        lines = [json.dumps(e) for e in self.events]
        lines.append(f"(driver rc {self.returncode})")
        if self.stderr.strip():
            lines.append("stderr: " + self.stderr.strip()[-2000:])
        return "\n".join(lines)


def as_bytes(text):
    """The bytes a transcript text stands for (the driver writes each byte as one code point)."""
    return text.encode("latin-1")


def run(program, cwd=None, tail="", env=None, mutex=None, hold=None, first=None,
        first_env=None, timeout_ms=None):
    """Runs PROGRAM (a Unix path) under the driver and returns its Transcript.

    env and first_env map names to values for the debuggee and the first copy
    ("" removes a variable); tail is str (Latin-1) or bytes.
    """
    timeout_ms = timeout_ms or TIMEOUT_MS
    args = [WINE, os.path.join(BIN, "driver.exe"), "--timeout-ms", str(timeout_ms)]
    if cwd is not None:
        args += ["--cwd", win_path(cwd)]
    if tail:
        args += ["--tail-hex", _hex(tail)]
    for name, value in (env or {}).items():
        args += ["--env", f"{name}={value}"]
    if mutex:
        args += ["--mutex", mutex]
    if hold:
        args += ["--hold", hold]
        if first:
            args += ["--first", win_path(first)]
        for name, value in (first_env or {}).items():
            args += ["--first-env", f"{name}={value}"]
    args.append(win_path(program))
    # The driver enforces its own limits; this one only catches a stuck Wine.
    waits = 3 if hold else 1
    done = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=waits * timeout_ms / 1000 + 120)
    events = []
    for line in done.stdout.decode("latin-1").splitlines():
        line = line.strip()
        if line.startswith("{"):
            events.append(json.loads(line))
    return Transcript(events, done.returncode, done.stderr.decode("latin-1"))


def _hex(text):
    data = text if isinstance(text, bytes) else text.encode("latin-1")
    return data.hex()
