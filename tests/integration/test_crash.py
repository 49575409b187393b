"""Integration tests of the host's exception barrier and crash report: the real
Tarvex.exe with the stand-in engine, whose scenario words raise faults and throws, run
under Wine through driver.exe. Each test reads the driver's transcript, crash.log,
engine.log and callstack.txt of its own game folder.

What dbghelp finds differs between the targets: on x86_64 every engine frame is named
(the walk uses the unwind tables); on i686 Wine's dbghelp loses the clang-built
engine's frames between the faulting one and the host's and finds no lines for them.
The tests ask for what each target gives.
"""

import os
import re
import shutil
import struct
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_host import FATAL_STYLE, GameFolder, call_names, configuration  # noqa: E402
import driverlib  # noqa: E402  (on the path that test_host sets)

SEPARATOR = b"*" * 60 + b"\r\n\r"  # LF CR in text mode
CALL_STACK_HEAD = SEPARATOR + b"\r\r\nCall stack:\r\r\n"
EXCEPTION_HEAD = SEPARATOR + b"Exception occured at: "
ACCESS_VIOLATION = ("The thread attempted to read from or write to a virtual address for "
                    "which it does not have the appropriate access.")
DIVIDE_BY_ZERO = "The thread attempted to divide an integer value by an integer divisor of zero."
ENGINE_FATAL = "engine_scenarios.cpp(12) : scenario exception\n"
EXCEPTION_ACCESS_VIOLATION = -1073741819  # 0xC0000005 as the driver prints it


def is_64_bit(exe):
    """Whether the PE file is an x86_64 image (its file header's machine field)."""
    with open(exe, "rb") as image:
        header = image.read(4096)
    pe = struct.unpack_from("<I", header, 0x3C)[0]
    return struct.unpack_from("<H", header, pe + 4)[0] == 0x8664


def frame_lines(report):
    """The frame lines of a call-stack text: those that do not start with a blank."""
    text = report.decode("latin-1")
    return [line for line in text.replace("\r\r\n", "\n").split("\n")
            if line and not line.startswith(" ") and line != "Call stack:"]


def blocks(report):
    """The blocks of callstack.txt, each without its separator."""
    return report.split(SEPARATOR)[1:]


class CrashRun:
    """One game folder run once with TAIL (and an optional game.ini)."""

    def __init__(self, name, tail="", game_ini=None, dbghelp=None):
        self.game = GameFolder(name)
        if game_ini is not None:
            self.game.write("game.ini", game_ini)
        if dbghelp is not None:
            # Found beside the executable first (the Wine runner asks Wine to do so).
            self.game.write("dbghelp.dll", dbghelp)
        self.run = self.game.run(tail)
        self.report = self.game.read("callstack.txt")
        self.wide = is_64_bit(self.game.exe)


class ProcessorFaults(unittest.TestCase):
    """Faults in OnIdle, right in the engine's fault function or two engine frames
    below OnIdle: reported, then "*** Exception ***" and the box, exit code -1."""

    CASES = [
        ("av", "fault=av@2", ACCESS_VIOLATION, 0),
        ("div0", "fault=div0@3", DIVIDE_BY_ZERO, 0),
        ("av-deep", "fault=av@2 depth=2", ACCESS_VIOLATION, 2),
        ("div0-deep", "fault=div0@1 depth=2", DIVIDE_BY_ZERO, 2),
    ]

    @classmethod
    def setUpClass(cls):
        cls.runs = {name: CrashRun(f"fault-{name}", tail) for name, tail, _, _ in cls.CASES}

    def test_fault_ends_with_the_description_in_the_box_and_the_log(self):
        for name, _, description, _ in self.CASES:
            with self.subTest(name):
                crash = self.runs[name]
                self.assertEqual(crash.run.exit_code(), -1, crash.run)
                self.assertEqual(
                    [(b["owner"], b["text"], b["caption"], b["style"]) for b in crash.run.boxes()],
                    [("desktop", description + "\n", "CrashExit...", FATAL_STYLE)], crash.run)
                self.assertEqual(crash.game.crash_log(),
                                 "*** Exception ***\r\n" + description + "\n")
                # The run ended in the barrier: no shut-down step ran.
                self.assertNotIn("DeletingDestructor", call_names(crash.game.engine_calls()))

    def test_report_holds_a_call_stack_and_the_faulting_function(self):
        for name, _, _, depth in self.CASES:
            with self.subTest(name):
                crash = self.runs[name]
                self.assertIsNotNone(crash.report, "no callstack.txt")
                self.assertTrue(crash.report.startswith(CALL_STACK_HEAD), crash.report[:200])
                stack, exception = blocks(crash.report)
                frames = frame_lines(stack)
                self.assertTrue(frames[0].startswith("RaiseScenarioFault"), frames)
                # The host's frames come with their source lines.
                self.assertTrue(any(re.fullmatch(r"WinMain \(.*main\.cpp, line \d+\)", f)
                                    for f in frames), frames)
                self.assertTrue(exception.startswith(b"Exception occured at: RaiseScenarioFault\r\n"),
                                exception)
                if crash.wide:
                    # Every engine frame down to OnIdle by name. Wine's dbghelp gives the
                    # engine's lines only for some frames (not the faulting one), so the
                    # names are what is asked for here.
                    names = [f.split(" ")[0] for f in frames]
                    self.assertEqual(names[1:depth + 2],
                                     ["RaiseScenarioFaultAtDepth"] * depth
                                     + ["CStandinGame::OnIdle"], frames)
                # Each frame line is followed by its variables, then an empty line.
                self.assertTrue(stack.endswith(b"\r\r\n\r\r\n"), stack[-100:])


class EngineExceptions(unittest.TestCase):
    def test_engine_exception_ends_with_its_source_line(self):
        for tail in ("throw=idle@2", "throw=init"):
            with self.subTest(tail):
                crash = CrashRun(f"throw-{tail.replace('=', '-').replace('@', '-')}", tail)
                self.assertEqual(crash.run.exit_code(), -1, crash.run)
                self.assertEqual([(b["text"], b["caption"], b["style"]) for b in crash.run.boxes()],
                                 [(ENGINE_FATAL, "CrashExit...", FATAL_STYLE)], crash.run)
                self.assertEqual(crash.game.crash_log(),
                                 "*** Unhandled Engine Exception ***\r\n" + ENGINE_FATAL)
                names = call_names(crash.game.engine_calls())
                self.assertNotIn("UninitializeGameScript", names)
                self.assertIsNone(crash.report, "an engine throw is not a processor fault")

    def test_other_throw_ends_with_nothing_logged(self):
        crash = CrashRun("throw-int", "fault=int@2")
        self.assertEqual(crash.run.exit_code(), -1, crash.run)
        self.assertEqual([b["text"] for b in crash.run.boxes()],
                         ["*** Unhandled Exception ***\n"], crash.run)
        self.assertIsNone(crash.game.read("crash.log"))
        self.assertIsNone(crash.report)


class Reports(unittest.TestCase):
    def test_two_faults_in_two_runs_append_two_pairs_of_blocks(self):
        game = GameFolder("fault-twice")
        game.write("callstack.txt", b"an earlier report\r\n")
        for tail in ("fault=av@1", "fault=div0@1"):
            self.assertEqual(game.run(tail).exit_code(), -1)
        report = game.read("callstack.txt")
        self.assertTrue(report.startswith(b"an earlier report\r\n" + CALL_STACK_HEAD), report[:200])
        found = blocks(report)
        self.assertEqual(len(found), 4, report)
        self.assertEqual([b[:len(b"\r\r\nCall stack:")] == b"\r\r\nCall stack:" for b in found],
                         [True, False, True, False])
        self.assertEqual([b.startswith(b"Exception occured at: ") for b in found],
                         [False, True, False, True])

    def test_without_dbghelp_no_report_but_the_barrier_still_ends_the_run(self):
        # A dbghelp.dll beside the executable is found first and cannot be loaded.
        crash = CrashRun("no-dbghelp", "fault=av@1", dbghelp=b"not a library\r\n")
        self.assertEqual(crash.run.exit_code(), -1, crash.run)
        self.assertEqual([b["text"] for b in crash.run.boxes()], [ACCESS_VIOLATION + "\n"])
        self.assertEqual(crash.game.crash_log(), "*** Exception ***\r\n" + ACCESS_VIOLATION + "\n")
        self.assertIsNone(crash.report)

    def stub_dbghelp(self, variant):
        with open(os.path.join(driverlib.BIN, f"dbghelp_{variant}.dll"), "rb") as library:
            return library.read()

    def test_a_fault_inside_the_report_still_ends_as_the_fault_reported(self):
        # The library's stack walk faults: the run ends as the division by zero, not as
        # the report's own access violation, and no half report is written.
        crash = CrashRun("faulting-dbghelp", "fault=div0@1", dbghelp=self.stub_dbghelp("faults"))
        self.assertEqual(crash.run.exit_code(), -1, crash.run)
        self.assertEqual([b["text"] for b in crash.run.boxes()], [DIVIDE_BY_ZERO + "\n"])
        self.assertEqual(crash.game.crash_log(), "*** Exception ***\r\n" + DIVIDE_BY_ZERO + "\n")
        self.assertIsNone(crash.report)

    def test_an_older_dbghelp_gives_bare_addresses_and_no_exception_block(self):
        # No SymFromAddr (nor the entry points that come with it): the walk lists bare
        # addresses after the warning line, nothing else of the library is called, and
        # no block names the faulting location.
        crash = CrashRun("old-dbghelp", "fault=av@1", dbghelp=self.stub_dbghelp("old"))
        self.assertEqual(crash.run.exit_code(), -1, crash.run)
        self.assertEqual([b["text"] for b in crash.run.boxes()], [ACCESS_VIOLATION + "\n"])
        self.assertIsNotNone(crash.report, "no callstack.txt")
        found = blocks(crash.report)
        self.assertEqual(len(found), 1, crash.report)
        self.assertRegex(found[0].decode("latin-1"),
                         r"^\r\r\nCall stack:\r\r\nwarning: older dbghelp\.dll loaded; no type "
                         r"information available\.\r\r\n[0-9A-F]+\r\r\n$")

    def test_fault_before_the_barrier_is_reported_and_ends_with_its_code(self):
        # CreateGame (step 15) faults: no barrier yet, so no box and no log; the process
        # ends as an uncaught exception does, with the exception code.
        crash = CrashRun("fault-create", game_ini=configuration(name="TestGame createfault"))
        self.assertEqual(crash.run.exit_code(), EXCEPTION_ACCESS_VIOLATION, crash.run)
        self.assertEqual(crash.run.boxes(), [], crash.run)
        self.assertIsNone(crash.game.read("crash.log"))
        self.assertIsNotNone(crash.report, "no callstack.txt")
        stack, exception = blocks(crash.report)
        self.assertTrue(frame_lines(stack)[0].startswith("RaiseScenarioFault"), stack[:300])
        self.assertTrue(exception.startswith(b"Exception occured at: RaiseScenarioFault\r\n"))
        self.assertEqual(call_names(crash.game.engine_calls())[-1], "CreateGame")


if __name__ == "__main__":
    unittest.main(verbosity=2)
