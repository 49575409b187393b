#!/usr/bin/env python3
"""End-to-end tests of kvparse: runs the real program over the fixture scripts.

    tool_test.py --tool PATH --fixtures DIR --work DIR [--emulator SCRIPT]

Each case is a command line, the expected exit status, the expected standard
output (exact text, a golden file under fixtures/expected, or None for "not
checked") and fragments that standard error must contain (or its exact text).
The fixtures are copied to a fresh work folder, which is the tool's working
folder, so scripts are named relative to it as the game names them.

With --emulator (the win32 build's wine-run.sh) every run goes through it. Exits
77 (ctest's skip) when the emulator cannot start a program at all. Where one
start takes longer than SLOW_START seconds (Wine itself emulated on a host
without 32-bit support) only the WINE_CORE cases run, unless --all is given.
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import time

SKIP = 77
# Seconds per run; a Wine prefix may still be setting itself up on the first one.
TIMEOUT = 120
EMULATED_TIMEOUT = 900
SLOW_START = 20

# What differs between the targets: console bytes, binary files, float text,
# paths, exit codes.
WINE_CORE = {
    "json every value form", "dump example", "show golden dump", "variables",
    "includes relative to the including file", "parse error report", "missing file",
    "truncated dump", "no arguments",
}


def words(*items):
    """Dump bytes from 32-bit words (ints) and raw texts (str, one byte each)."""
    out = b""
    for item in items:
        if isinstance(item, int):
            out += struct.pack("<i", item)
        else:
            out += item.encode("latin-1")
    return out


# a(1) { b("x") } c() with prototypes !a(i), !b(s), !c().
EXAMPLE_DUMP = words(16, 1, "a", 0, 1, 0, 32, 16, 1, "b", 2, 1, "x", 0, -1, 16, 1, "c", -1)

# Dumps written into the work folder before the cases run.
DUMPS = {
    "example.bin": EXAMPLE_DUMP,
    "truncated.bin": EXAMPLE_DUMP[:-2],
    "badtag.bin": words(16, 1, "a", 9, -1),
    "longname.bin": words(16, 40, "n" * 40, -1),
    "absurd.bin": words(16, 1, "a", 2, -1, "xyz"),
    "trailing.bin": EXAMPLE_DUMP + b"\0",
    "empty.bin": b"",
}

ERROR_REPORT = (
    "[CKVParse] comma expected: in file 'error.ini' in line 2\n"
    "pos(1 2)\n"
    "\n"
    "Parser: cant parse file 'error.ini'\n"
)

VARIABLES = ["--int", "speed=120", "--float", "scale=0.1", "--string", "title=Red \"car\""]
VARS_JSON = """[
  {
    "name": "car",
    "params": [
      {"type": "int", "value": 120, "var": "speed"},
      {"type": "float", "value": 0.1, "var": "Scale"},
      {"type": "string", "value": "Red \\"car\\"", "var": "title"}
    ]
  }
]
"""


def golden(name):
    return ("golden", name)


def exact(text):
    return ("exact", text)


# (name, arguments, exit status, stdout, stderr fragments or exact(...))
CASES = [
    # check / json / dump / show
    ("check success", ["check", "example.ini"], 0, "", exact("")),
    ("json example", ["json", "example.ini"], 0, golden("example.json"), exact("")),
    ("json every value form", ["json", "values.ini"], 0, golden("values.json"),
     ["[CKVParse] its not c!: in file 'values.ini' in line 10\n    item(1);\n\n"]),
    ("json without calls", ["json", "empty.ini"], 0, "[]\n", exact("")),
    ("check without calls", ["check", "empty.ini"], 0, "", exact("")),
    ("dump example", ["dump", "example.ini", "out/example.bin"], 0, "", exact("")),
    ("show golden dump", ["show", "example.bin"], 0, golden("example.json"), exact("")),
    ("dump without calls", ["dump", "empty.ini", "out/empty.bin"], 0, "", exact("")),
    ("dump to a missing folder", ["dump", "example.ini", "nofolder/x.bin"], 2, "",
     ["kvparse: cannot create 'nofolder/x.bin'"]),
    # variables
    ("variables", ["json"] + VARIABLES + ["vars.ini"], 0, VARS_JSON, exact("")),
    ("variables with upper-case option names",
     ["json", "--int", "SPEED=120", "--float", "SCALE=0.1", "--string", "Title=Red \"car\"",
      "vars.ini"], 0, VARS_JSON, exact("")),
    ("later variable wins", ["json", "--int", "speed=1"] + VARIABLES + ["vars.ini"], 0, VARS_JSON,
     exact("")),
    ("no int callback", ["check", "--float", "scale=1", "--string", "title=t", "vars.ini"], 1, "",
     exact("[CKVParse] variable callback not specified: unable to read 'speed' variable!\n"
           ": in file 'vars.ini' in line 3\n"
           "car(%speed, %Scale, %title)\n"
           "\n"
           "Parser: cant parse file 'vars.ini'\n")),
    ("unknown string variable",
     ["check", "--int", "speed=1", "--float", "scale=1", "--string", "other=t", "vars.ini"], 1, "",
     ["[CKVParse] string variable 'title' not found!\n: in file 'vars.ini' in line 3\n"]),
    ("string of 255 characters", ["check", "--int", "speed=1", "--float", "scale=1",
                                  "--string", "title=" + "s" * 255, "vars.ini"], 0, "", exact("")),
    # includes
    ("includes relative to the including file", ["json", "scripts/main.ini"], 0,
     golden("main.json"),
     ["WARNING [file] cannot open file scripts/common/missing.ini\n",
      "WARNING [CKVParse] cannot open scripts/common/missing.ini\n"]),
    ("error inside an included file", ["check", "scripts/broken.ini"], 1, "",
     ["[CKVParse] unknown const name 'two': in file 'scripts/common/bad.ini' in line 3\nok(two)\n",
      "Parser: cant parse file 'scripts/broken.ini'\n"]),
    ("include cycle", ["check", "cycle_a.ini"], 1, "",
     ["in file 'cycle_b.ini' in line 1\n", "Parser: cant parse file 'cycle_a.ini'\n"]),
    # errors
    ("parse error report", ["check", "error.ini"], 1, "", exact(ERROR_REPORT)),
    ("json prints nothing after an error", ["json", "error.ini"], 1, "", exact(ERROR_REPORT)),
    ("dump writes nothing after an error", ["dump", "error.ini", "out/error.bin"], 1, "",
     exact(ERROR_REPORT)),
    ("missing file", ["json", "missing.ini"], 2, "",
     ["WARNING [file] cannot open file missing.ini\n",
      "WARNING [CKVParse] cannot open missing.ini\n",
      "kvparse: cannot read 'missing.ini'"]),
    # bad dumps
    ("truncated dump", ["show", "truncated.bin"], 2, "",
     ["kvparse: bad dump 'truncated.bin': unexpected end of the dump at byte 60\n"]),
    ("bad tag", ["show", "badtag.bin"], 2, "",
     ["kvparse: bad dump 'badtag.bin': unknown tag 9 at byte 9\n"]),
    ("name longer than 39", ["show", "longname.bin"], 2, "",
     ["name of 40 bytes is longer than 39 at byte 4\n"]),
    ("absurd string length", ["show", "absurd.bin"], 2, "",
     ["string of 4294967295 bytes runs past the end of the dump at byte 13\n"]),
    ("trailing bytes", ["show", "trailing.bin"], 2, "",
     ["1 trailing bytes after the end tag at byte 64\n"]),
    ("empty dump file", ["show", "empty.bin"], 2, "", ["unexpected end of the dump at byte 0\n"]),
    ("missing dump", ["show", "nosuch.bin"], 2, "",
     ["kvparse: bad dump 'nosuch.bin': cannot open the file\n"]),
    # usage errors
    ("no arguments", [], 2, "", ["kvparse: no command given\n", "usage: kvparse"]),
    ("help", ["--help"], 0, None, exact("")),
    ("unknown command", ["parse", "example.ini"], 2, "", ["unknown command 'parse'", "usage:"]),
    ("missing file argument", ["json"], 2, "", ["wrong number of arguments for 'json'"]),
    ("missing dump output", ["dump", "example.ini"], 2, "", ["wrong number of arguments for 'dump'"]),
    ("extra argument", ["check", "example.ini", "more"], 2, "",
     ["wrong number of arguments for 'check'"]),
    ("unknown option", ["check", "--verbose", "example.ini"], 2, "",
     ["unknown option '--verbose'"]),
    ("option without value", ["check", "example.ini", "--int"], 2, "", ["--int needs NAME=VALUE"]),
    ("option without '='", ["check", "--int", "speed", "example.ini"], 2, "",
     ["'speed' is not NAME=VALUE"]),
    ("bad variable name", ["check", "--int", "my-speed=1", "example.ini"], 2, "",
     ["'my-speed=1' is not NAME=VALUE"]),
    ("int out of range", ["check", "--int", "speed=2147483648", "example.ini"], 2, "",
     ["'speed=2147483648' is no 32-bit integer"]),
    ("int with junk", ["check", "--int", "speed=12x", "example.ini"], 2, "",
     ["'speed=12x' is no 32-bit integer"]),
    ("float with junk", ["check", "--float", "scale=1.5f", "example.ini"], 2, "",
     ["'scale=1.5f' is no float"]),
    ("string of 256 characters", ["check", "--string", "title=" + "s" * 256, "vars.ini"], 2, "",
     ["the value of 'title' is longer than 255 characters"]),
    ("options with show", ["show", "--int", "a=1", "example.bin"], 2, "",
     ["show takes no variable options"]),
]


def run(command, work, timeout=TIMEOUT):
    result = subprocess.run(command, cwd=work, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            timeout=timeout)
    return result.returncode, result.stdout, result.stderr


def text(data, emulated):
    decoded = data.decode("latin-1")
    # A console may turn LF into CR LF under Wine; the tool itself writes LF.
    return decoded.replace("\r\n", "\n") if emulated else decoded


def check_case(case, prefix, emulated, work, fixtures):
    name, args, status, stdout, stderr = case
    code, out, err = run(prefix + args, work, EMULATED_TIMEOUT if emulated else TIMEOUT)
    out, err = text(out, emulated), text(err, emulated)
    problems = []
    if code != status:
        problems.append(f"exit status {code}, expected {status}")
    if isinstance(stdout, tuple):
        with open(os.path.join(fixtures, "expected", stdout[1]), encoding="latin-1") as f:
            stdout = f.read()
    if stdout is not None and out != stdout:
        problems.append(f"stdout:\n{out}\nexpected:\n{stdout}")
    if isinstance(stderr, tuple):
        if err != stderr[1]:
            problems.append(f"stderr:\n{err}\nexpected exactly:\n{stderr[1]}")
    else:
        for fragment in stderr:
            if fragment not in err:
                problems.append(f"stderr:\n{err}\nlacks:\n{fragment}")
    return problems


def read_file(path):
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read()


def check_dump_files(work, ran):
    """What the dump cases that ran wrote: the golden bytes, the end tag alone, nothing."""
    expected = [
        ("dump example", "example.bin", EXAMPLE_DUMP, "differs from the golden dump"),
        ("dump without calls", "empty.bin", words(-1), "is not the end tag alone"),
        ("dump writes nothing after an error", "error.bin", None, "was left by a failed parse"),
    ]
    problems = []
    for case, name, content, problem in expected:
        if case in ran and read_file(os.path.join(work, "out", name)) != content:
            problems.append(f"out/{name} {problem}")
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--fixtures", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--emulator")
    parser.add_argument("--all", action="store_true", help="every case, however slow the emulator")
    options = parser.parse_args()
    unknown = WINE_CORE - {case[0] for case in CASES}
    if unknown:
        sys.exit(f"WINE_CORE names no case: {sorted(unknown)}")

    tool = os.path.abspath(options.tool)
    fixtures = os.path.abspath(options.fixtures)
    work = os.path.abspath(options.work)
    prefix = ([options.emulator] if options.emulator else []) + [tool]

    shutil.rmtree(work, ignore_errors=True)
    shutil.copytree(fixtures, work)
    os.makedirs(os.path.join(work, "out"))
    for name, data in DUMPS.items():
        with open(os.path.join(work, name), "wb") as f:
            f.write(data)

    cases = CASES
    if options.emulator:
        started = time.monotonic()
        code, _, err = run(prefix + ["--help"], work, EMULATED_TIMEOUT)
        seconds = time.monotonic() - started
        if code in (126, 127) or b"Exec format error" in err:
            print(f"SKIP: the emulator cannot start programs here (status {code}): "
                  + err.decode("latin-1").strip())
            return SKIP
        if seconds > SLOW_START and not options.all:
            cases = [case for case in CASES if case[0] in WINE_CORE]
            print(f"note: one start took {seconds:.0f} s; running the {len(cases)} core cases "
                  f"of {len(CASES)} (--all runs every case)")

    passed = failed = 0

    def record(name, problems):
        nonlocal passed, failed
        if problems:
            failed += 1
            print(f"FAIL {name}")
            for problem in problems:
                print("  " + problem.replace("\n", "\n  "))
        else:
            passed += 1
            print(f"ok   {name}")

    emulated = bool(options.emulator)
    for case in cases:
        record(case[0], check_case(case, prefix, emulated, work, fixtures))
    record("dump files", check_dump_files(work, {case[0] for case in cases}))
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
