"""The driver's own tests, against driver_target.exe (see driver_target.cpp)."""

import os
import shutil
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import driverlib  # noqa: E402

TARGET = os.path.join(driverlib.BIN, "driver_target.exe")


def target_folder(name):
    """A fresh folder holding a copy of the target, so runs do not share files."""
    folder = driverlib.fresh_folder(os.path.join("driver", name))
    program = os.path.join(folder, "driver_target.exe")
    shutil.copy(TARGET, program)
    return folder, program


class BoxesAndTexts(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder, program = target_folder("boxes")
        cls.tail = b'boxes "quoted arg"\ttab'
        cls.transcript = driverlib.run(program, cwd=cls.folder, tail=cls.tail,
                                env={"DRIVER_TEST_VAR": "from the driver"})
        cls.program = program

    def test_exit_code_minus_one_is_reported_in_full(self):
        self.assertEqual(self.transcript.exit_code(), -1, self.transcript)
        self.assertEqual(self.transcript.returncode, 0, self.transcript)

    def test_boxes_are_reported_with_owner_and_answered_ok(self):
        self.assertEqual(self.transcript.boxes(), [
            {"event": "box", "owner": "none", "text": "no owner text", "caption": "caption one",
             "style": 0x10},
            {"event": "box", "owner": "desktop", "text": "desktop text",
             "caption": "caption two", "style": 0x30},
            {"event": "box", "owner": "other", "text": "other text", "caption": "caption three",
             "style": 0x1},
        ], self.transcript)
        self.assertIn("answers 1 1 1\n", self.transcript.debug_texts(), self.transcript)

    def test_command_line_is_the_quoted_program_and_the_raw_tail(self):
        texts = self.transcript.debug_texts()
        line = b'"' + driverlib.win_path(self.program).encode() + b'" ' + self.tail
        self.assertIn(b"command line [" + line + b"]\n", [driverlib.as_bytes(t) for t in texts])
        self.assertIn(b"tail [" + self.tail + b"]\n", [driverlib.as_bytes(t) for t in texts])

    def test_working_folder_and_environment_reach_the_debuggee(self):
        texts = self.transcript.debug_texts()
        self.assertIn(f"cwd [{driverlib.win_path(self.folder)}]\n", texts)
        self.assertIn("var [from the driver]\n", texts)

    def test_texts_are_escaped_and_keep_their_bytes(self):
        self.assertIn(b'quote" backslash\\ tab\t cr\r ctl\x01 high\x80\xff end',
                      [driverlib.as_bytes(t) for t in self.transcript.debug_texts()])

    def test_events_come_in_program_order(self):
        kinds = [e["event"] for e in self.transcript.events]
        self.assertEqual(kinds[-1:], ["exit"], self.transcript)
        self.assertLess(kinds.index("debug"), kinds.index("box"))


class Exceptions(unittest.TestCase):
    def test_exceptions_are_passed_on_to_the_programs_own_handlers(self):
        folder, program = target_folder("raise")
        run = driverlib.run(program, cwd=folder, tail="raise")
        self.assertIn("handler calls 1\n", run.debug_texts(), run)
        own = [e for e in run.of("exception") if e["code"] == 0xE0001234 - 2**32]
        self.assertEqual(len(own), 1, run)
        self.assertTrue(own[0]["first"])
        self.assertEqual(run.exit_code(), 0)


class Timeout(unittest.TestCase):
    def test_a_program_that_does_not_end_is_killed(self):
        folder, program = target_folder("hang")
        run = driverlib.run(program, cwd=folder, tail="hang", timeout_ms=3000)
        self.assertEqual([e["event"] for e in run.events], ["timeout"], run)
        self.assertEqual(run.returncode, 1)


class Hold(unittest.TestCase):
    def test_second_copy_runs_while_the_first_is_held_and_the_first_then_ends(self):
        first_folder, first = target_folder("hold-first")
        folder, program = target_folder("hold-second")
        run = driverlib.run(program, cwd=folder, tail="boxes", mutex="DriverTestMutex",
                            hold="release.flag", first=first)
        self.assertEqual(run.exit_code(), -1, run)
        self.assertTrue(all(box["mutex"] for box in run.boxes()), run)
        self.assertEqual(run.first_exit_code(), 5, run)
        self.assertEqual([e["event"] for e in run.events][-2:], ["exit", "first-exit"])
        self.assertTrue(os.path.exists(os.path.join(first_folder, "release.flag")))

    def test_mutex_check_says_false_when_no_copy_holds_it(self):
        folder, program = target_folder("no-mutex")
        run = driverlib.run(program, cwd=folder, tail="boxes", mutex="DriverTestMutex")
        self.assertEqual([box["mutex"] for box in run.boxes()], [False] * 3, run)


if __name__ == "__main__":
    unittest.main(verbosity=2)
