"""Integration tests of Tarvex.exe: the real host with the stand-in engine and file
system, run under Wine through driver.exe (tests/driver). Each test lays out a game
folder of its own under TARVEX_WORK/itest and reads what the run left behind: the
driver's transcript, engine.log (the engine stand-in), fs.log (the file system
stand-in, TARVEX_FS_LOG), crash.log and the folder's files.

Every game folder holds logs/DXdiags.txt unless a test says otherwise, so that no
start spawns the diagnostic tool.
"""

import json
import os
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "driver"))
import driverlib  # noqa: E402

HOST_FILES = ("Tarvex.exe", "TarvexEngine2.dll", "filesystem.dll")
MUTEX = "TarvexMutex"
ENGINE_VERSION = 0x10001
MB_ICONERROR = 0x10
FATAL_STYLE = 0x1010  # MB_OK | MB_ICONHAND | MB_SYSTEMMODAL
DEFAULTS = ("Java", "code", "TestGame")  # class folder, packed classes, game class name
DECLARATIONS = "!JavaGameClassName(s)\n!JavaClasses(s)\n!JavaClassesPacked(s)\n"
RELEASE = "release.flag"


class GameFolder:
    """A fresh game folder with the host, the two stand-in modules and given files."""

    def __init__(self, name, dxdiag_report=True):
        self.path = driverlib.fresh_folder(os.path.join("itest", name))
        for name_ in HOST_FILES:
            shutil.copy(os.path.join(driverlib.BIN, name_), self.path)
        if dxdiag_report:
            self.write("logs/DXdiags.txt", "an earlier report\n")

    @property
    def exe(self):
        return os.path.join(self.path, "Tarvex.exe")

    def file(self, relative):
        return os.path.join(self.path, *relative.split("/"))

    def write(self, relative, content):
        path = self.file(relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(content if isinstance(content, bytes) else content.encode("latin-1"))

    def read(self, relative):
        """The file's bytes, or None when it does not exist."""
        try:
            with open(self.file(relative), "rb") as source:
                return source.read()
        except FileNotFoundError:
            return None

    def json_lines(self, relative):
        return json_lines(self.file(relative))

    def engine_calls(self):
        return [e for e in self.json_lines("engine.log") if "call" in e]

    def engine_call(self, name):
        """The only engine.log line of the call NAME."""
        found = [e for e in self.engine_calls() if e["call"] == name]
        if len(found) != 1:
            raise AssertionError(f"expected one {name} in engine.log: {self.engine_calls()!r}")
        return found[0]

    def fs_calls(self):
        return self.json_lines("fs.log")

    def settings(self):
        """What the engine was given: (class folder, packed classes, game class name)."""
        init = self.engine_call("InitializeGameScript")
        return init["classFolder"], init["packedClasses"], init["gameClassName"]

    def crash_log(self):
        return (self.read("crash.log") or b"").decode("latin-1")

    def run(self, tail="", env=None, cwd=None, **more):
        """Runs the host from CWD (default: its own folder) under the driver."""
        environment = {"TARVEX_FS_LOG": "fs.log"}
        environment.update(env or {})
        return driverlib.run(self.exe, cwd=cwd or self.path, tail=tail, env=environment,
                             mutex=MUTEX, **more)

    def run_beside(self, first, tail="", env=None, cwd=None):
        """Runs this host while FIRST's host is held running (waitfile=RELEASE)."""
        return self.run(tail, env=env, cwd=cwd, hold=RELEASE, first=first.exe,
                        first_env={"TARVEX_FS_LOG": "fs.log"})


def configuration(name=None, classes=None, packed=None):
    """A game.ini that declares the three keys and sets those given."""
    text = DECLARATIONS
    for key, value in (("JavaGameClassName", name), ("JavaClasses", classes),
                       ("JavaClassesPacked", packed)):
        if value is not None:
            text += f'{key}("{value}")\n'
    return text


def json_lines(path):
    """The JSON objects of a log file, one a line; [] when it does not exist."""
    try:
        with open(path, "rb") as source:
            content = source.read()
    except FileNotFoundError:
        return []
    return [json.loads(line) for line in content.decode("latin-1").splitlines() if line]


def call_names(calls):
    return [c["call"] for c in calls]


class NormalRun(unittest.TestCase):
    """One start that ends with WM_QUIT(3) in the fifth OnIdle, no game.ini."""

    @classmethod
    def setUpClass(cls):
        cls.game = GameFolder("normal-run")
        cls.transcript = cls.game.run("quit=3@5")

    def test_exit_code_is_the_quit_message_wparam(self):
        self.assertEqual(self.transcript.exit_code(), 3, self.transcript)
        self.assertEqual(self.transcript.boxes(), [], self.transcript)

    def test_engine_is_driven_in_start_up_and_shut_down_order(self):
        calls = self.game.engine_calls()
        self.assertEqual(call_names(calls), [
            "GetEngineDllVersion", "InitializeGameScript", "CreateGame", "Init", "OnIdle",
            "DeletingDestructor", "UninitializeGameScript"], calls)
        version, init, create, game_init, idle, destructor, _ = calls
        self.assertEqual(version["result"], ENGINE_VERSION)
        self.assertEqual(self.game.settings(), DEFAULTS)
        self.assertNotEqual(init["instance"], 0)
        self.assertEqual((create["gameClassName"], create["instance"], create["mode"]),
                         ("TestGame", init["instance"], 1))
        self.assertEqual((game_init["commandLine"], game_init["showCommand"],
                          game_init["result"]), ("quit=3@5", 10, 0))
        self.assertEqual(idle["count"], 5)
        self.assertEqual(destructor["flags"], 1)

    def test_file_system_starts_mounts_in_order_and_stops_last(self):
        calls = self.game.fs_calls()
        self.assertGreater(len(calls), 0)
        self.assertEqual(calls[0], {"call": "FS_init"})
        self.assertEqual(calls[-1], {"call": "FS_shutdown"})
        mounts = [(c["name"], c["flag"], c["arg3"], c["arg4"])
                  for c in calls if c["call"] == "FS_add_source"]
        expected = [(f"data{i}.pak", 1, 0, 0) for i in range(64)]
        expected += [(".", 0, 0, 0), ("data", 1, 0, 0)]
        self.assertEqual(mounts, expected)
        # The configuration is read through the mounted file system.
        first_open = next(i for i, c in enumerate(calls) if c["call"] == "FS_open")
        last_mount = max(i for i, c in enumerate(calls) if c["call"] == "FS_add_source")
        self.assertGreater(first_open, last_mount)
        self.assertEqual(calls[first_open]["path"], "game.ini")
        self.assertEqual(call_names(calls).count("FS_init"), 1)

    def test_nothing_is_logged_and_no_diagnostic_tool_runs(self):
        self.assertIsNone(self.game.read("crash.log"))
        self.assertFalse([t for t in self.transcript.debug_texts() if "DXdiag" in t], self.transcript)


class InitFailure(unittest.TestCase):
    def test_non_zero_init_skips_the_loop_and_is_the_exit_code(self):
        for result in (7, -5):
            with self.subTest(result=result):
                game = GameFolder(f"initfail{result}")
                run = game.run(f"initfail={result}")
                self.assertEqual(run.exit_code(), result, run)
                calls = game.engine_calls()
                self.assertEqual(game.engine_call("Init")["result"], result)
                # OnIdle is never called; the engine may still note a count of 0.
                self.assertTrue(all(c["count"] == 0 for c in calls if c["call"] == "OnIdle"),
                                calls)
                self.assertEqual([n for n in call_names(calls) if n != "OnIdle"][-3:],
                                 ["Init", "DeletingDestructor", "UninitializeGameScript"])
                self.assertEqual(game.engine_call("DeletingDestructor")["flags"], 1)
                self.assertEqual(game.fs_calls()[-1], {"call": "FS_shutdown"})


class EngineVersion(unittest.TestCase):
    BOX = {"event": "box", "owner": "none", "text": "Invalid engine dll version!",
           "caption": "Error...", "style": MB_ICONERROR}

    def test_any_other_version_refuses_start_up_before_the_guard(self):
        for version in ("0x10002", "0x20001"):
            with self.subTest(version=version):
                game = GameFolder(f"version{version}")
                run = game.run("quit=0@1", env={"TARVEX_ENGINE_VERSION": version})
                self.assertEqual(run.exit_code(), 0, run)
                self.assertEqual(run.boxes(), [dict(self.BOX, mutex=False)], run)
                self.assertEqual(call_names(game.engine_calls()), ["GetEngineDllVersion"])
                self.assertEqual(game.engine_call("GetEngineDllVersion")["result"],
                                 int(version, 16))
                self.assertEqual(game.fs_calls(), [])
                # Nothing was left behind that would keep the next start out.
                after = game.run("quit=0@1")
                self.assertEqual(after.exit_code(), 0, after)
                self.assertEqual(after.boxes(), [], after)
                self.assertEqual(call_names(game.engine_calls())[-1], "UninitializeGameScript")

    def test_version_box_comes_first_while_another_copy_runs(self):
        first = GameFolder("version-held-first")
        game = GameFolder("version-held-second")
        game.write("data/Running.scr", "Running caption\nRunning text\n")
        run = game.run_beside(first, env={"TARVEX_ENGINE_VERSION": "0x10002"})
        self.assertEqual(run.boxes(), [dict(self.BOX, mutex=True)], run)
        self.assertEqual(run.exit_code(), 0, run)
        self.assertEqual(run.first_exit_code(), 0, run)


class NoGameObject(unittest.TestCase):
    def test_null_game_object_ends_with_a_logged_fatal_error(self):
        game = GameFolder("createfail")
        game.write("game.ini", configuration(name="TestGame createfail"))
        run = game.run()
        message = "Cannot create the game object 'TestGame createfail'\n"
        self.assertEqual(run.exit_code(), -1, run)
        self.assertEqual([(b["owner"], b["text"], b["caption"], b["style"]) for b in run.boxes()],
                         [("desktop", message, "CrashExit...", FATAL_STYLE)], run)
        # A header line opens the log, then the fatal text is stored once, as formatted.
        self.assertEqual(game.crash_log(), "*** No Game Object ***\r\n" + message)
        names = call_names(game.engine_calls())
        self.assertEqual(names, ["GetEngineDllVersion", "InitializeGameScript", "CreateGame"])


class SingleInstance(unittest.TestCase):
    """A second copy while a first one runs (held by the engine's waitfile word)."""

    def held_run(self, name, running_scr, tail=""):
        first = GameFolder(f"{name}-first")
        game = GameFolder(f"{name}-second")
        if running_scr is not None:
            game.write("data/Running.scr", running_scr)
        run = game.run_beside(first, tail)
        self.assertEqual(run.first_exit_code(), 0, run)
        return game, run

    def assert_refused(self, game, run):
        self.assertEqual(run.exit_code(), 0, run)
        # Refused before the working folder, the file system and the engine's start.
        self.assertEqual(call_names(game.engine_calls()), ["GetEngineDllVersion"])
        self.assertEqual(game.fs_calls(), [])

    def test_refused_copy_shows_the_box_from_running_scr(self):
        long_line = "c" * 127 + "rest of line one"
        cases = [
            ("crlf", b"Busy caption\r\nBusy text\r\n", "Busy caption", "Busy text"),
            ("lone-cr", b"Cap\rtion\nText\rmore\nthird line\n", "Cap", "Text"),
            ("single-line", b"Only caption\r\n", "Only caption", "Tarvex already running"),
            ("no-line-end", b"Only caption", "Only caption", "Tarvex already running"),
            ("empty", b"", "Error", "Tarvex already running"),
            # The caption read stops after 127 characters; the text read goes on there.
            ("long-line", (long_line + "\nsecond\n").encode(), "c" * 127, "rest of line one"),
        ]
        for name, content, caption, text in cases:
            with self.subTest(name):
                game, run = self.held_run(f"running-{name}", content)
                self.assert_refused(game, run)
                self.assertEqual(run.boxes(), [
                    {"event": "box", "owner": "none", "text": text, "caption": caption,
                     "style": MB_ICONERROR, "mutex": True}], run)

    def test_refused_copy_without_running_scr_ends_silently(self):
        game, run = self.held_run("running-missing", None)
        self.assert_refused(game, run)
        self.assertEqual(run.boxes(), [], run)

    def test_running_scr_is_read_from_the_start_folder(self):
        first = GameFolder("running-start-folder-first")
        game = GameFolder("running-start-folder-second")
        game.write("data/Running.scr", "Game folder\nfrom the game folder\n")
        start = driverlib.fresh_folder(os.path.join("itest", "running-start-folder-start"))
        os.makedirs(os.path.join(start, "data"))
        with open(os.path.join(start, "data", "Running.scr"), "wb") as out:
            out.write(b"Start folder\nfrom the start folder\n")
        run = game.run_beside(first, cwd=start)
        self.assertEqual(run.exit_code(), 0, run)
        self.assertEqual(run.first_exit_code(), 0, run)
        # Refused while the start folder is still the working folder: the engine's
        # one call was logged there, and nothing reached the game folder.
        calls = json_lines(os.path.join(start, "engine.log"))
        self.assertEqual([c.get("call") for c in calls if "call" in c], ["GetEngineDllVersion"])
        self.assertIsNone(game.read("engine.log"))
        self.assertEqual(game.fs_calls(), [])
        self.assertEqual([(b["caption"], b["text"]) for b in run.boxes()],
                         [("Start folder", "from the start folder")], run)

    def test_ami_switch_lets_a_further_copy_start(self):
        cases = [("ami", "-ami", True), ("ami-inside-a-word", "quit=0@1 x-amix", True),
                 ("ami-upper-case", "-AMI", False)]
        for name, tail, starts in cases:
            with self.subTest(tail=tail):
                game, run = self.held_run(name, b"Busy\nalready running\n", tail)
                self.assertEqual(run.exit_code(), 0, run)
                if starts:
                    self.assertEqual(run.boxes(), [], run)
                    self.assertEqual(game.engine_call("Init")["commandLine"], tail)
                    self.assertEqual(call_names(game.engine_calls())[-1],
                                     "UninitializeGameScript")
                else:
                    self.assert_refused(game, run)
                    self.assertEqual([b["text"] for b in run.boxes()], ["already running"])


class CommandLine(unittest.TestCase):
    def test_init_receives_the_raw_tail(self):
        game = GameFolder("raw-tail")
        tail = b'  quit=0@1\t"two words"  ini=missing.ini \x01end\\ '
        run = game.run(tail)
        self.assertEqual(run.exit_code(), 0, run)
        # The runtime drops the blanks after the program name; the rest is untouched.
        self.assertEqual(driverlib.as_bytes(game.engine_call("Init")["commandLine"]),
                         tail.lstrip(b" "))
        self.assertEqual(game.settings(), DEFAULTS)

    def test_ini_argument_selects_the_configuration(self):
        cases = [
            ("ini=a.ini", "A"),
            ("ini=a.ini ini=b.ini", "B"),           # the last one wins
            ("ini=b.ini\tini=a.ini", "A"),           # tabs separate too
            ("INI=a.ini", "G"),                      # the switch is case-sensitive
            ("xini=a.ini", "G"),                     # and must begin the argument
            ("ini=", None),                          # empty path: defaults
            ("ini=sub/c.ini", "C"),
        ]
        for index, (tail, which) in enumerate(cases):
            with self.subTest(tail=tail):
                game = GameFolder(f"ini-{index}")
                for name in ("A", "B", "G"):
                    file = "game.ini" if name == "G" else f"{name.lower()}.ini"
                    game.write(file, configuration(f"Class{name}", f"Classes{name}",
                                                   f"Packed{name}"))
                game.write("sub/c.ini", configuration("ClassC", "ClassesC", "PackedC"))
                run = game.run(tail)
                self.assertEqual(run.exit_code(), 0, run)
                expected = DEFAULTS if which is None else (
                    f"Classes{which}", f"Packed{which}", f"Class{which}")
                self.assertEqual(game.settings(), expected)
                self.assertEqual(game.engine_call("CreateGame")["gameClassName"], expected[2])


class Configuration(unittest.TestCase):
    def test_settings_from_game_ini(self):
        cases = [
            ("all-three", configuration("MyGame", "MyClasses", "MyPacked"),
             ("MyClasses", "MyPacked", "MyGame")),
            ("case-insensitive-keys",
             '!JAVAGAMECLASSNAME(S)\n!javaclasses(s)\n!JavaClassesPACKED(s)\n'
             'javagameclassname("Lower")\nJAVACLASSES("Upper")\njavaClassesPacked("Mixed")\n',
             ("Upper", "Mixed", "Lower")),
            ("last-wins",
             configuration("First") + 'JavaGameClassName("Second")\n',
             ("Java", "code", "Second")),
            ("one-key-only", configuration(packed="OnlyPacked"),
             ("Java", "OnlyPacked", "TestGame")),
            ("nested-block-ignored",
             DECLARATIONS + "!Group()\n"
             'Group() {\n  JavaClasses("Nested")\n  JavaGameClassName("NestedGame")\n}\n'
             'JavaClassesPacked("Top")\n',
             ("Java", "Top", "TestGame")),
            ("first-parameter-not-a-string",
             '!JavaClasses(i, s)\n!JavaGameClassName()\n'
             'JavaClasses(5, "Second")\nJavaGameClassName()\n',
             DEFAULTS),
            ("further-parameters-ignored",
             '!JavaClasses(s, s)\nJavaClasses("One", "Two")\n',
             ("One", "code", "TestGame")),
            ("constant-and-comments",
             DECLARATIONS + '$name(s, "FromConstant") // a constant\n'
             '/* block */ JavaGameClassName(name)\n',
             ("Java", "code", "FromConstant")),
            ("non-string-keeps-the-earlier-value",
             '!JavaClasses(s)\nJavaClasses("Earlier")\n!JavaClasses(i)\nJavaClasses(5)\n',
             ("Earlier", "code", "TestGame")),
            ("declarations-only", DECLARATIONS + '$name(s, "x")\n', DEFAULTS),
        ]
        for name, script, expected in cases:
            with self.subTest(name):
                game = GameFolder(f"config-{name}")
                game.write("game.ini", script)
                run = game.run()
                self.assertEqual(run.exit_code(), 0, run)
                self.assertEqual(game.settings(), expected)
                self.assertEqual(game.engine_call("CreateGame")["gameClassName"], expected[2])
                self.assertNotIn("[CKVParse]", game.crash_log())

    def test_included_files_and_their_declarations(self):
        game = GameFolder("config-include")
        game.write("game.ini", '$packed(s, "PackedFromMain")\n'
                               '!include("conf/keys.ini")\n'
                               'JavaGameClassName("MainGame")\n')
        # Declared in the included file, known in the including one after the include;
        # the constant of the including file is known in the included one.
        game.write("conf/keys.ini", DECLARATIONS + 'JavaClasses("IncludedClasses")\n'
                                                   'JavaClassesPacked(packed)\n'
                                                   '!include("more.ini")\n')
        game.write("conf/more.ini", 'JavaGameClassName("IncludedGame")\n')
        run = game.run()
        self.assertEqual(run.exit_code(), 0, run)
        self.assertEqual(game.settings(), ("IncludedClasses", "PackedFromMain", "MainGame"))
        opened = [c["path"] for c in game.fs_calls() if c["call"] == "FS_open"]
        self.assertEqual(opened[:3], ["game.ini", "conf/keys.ini", "conf/more.ini"], opened)

    def test_parse_error_is_logged_and_defaults_go_to_the_engine(self):
        game = GameFolder("config-parse-error")
        game.write("game.ini", DECLARATIONS + 'JavaGameClassName("Before")\n'
                                              'Undeclared(1)\n'
                                              'JavaClasses("After")\n')
        run = game.run()
        self.assertEqual(run.exit_code(), 0, run)
        self.assertEqual(game.settings(), DEFAULTS)
        # The report's closing "\n\n" is logged as a text of its own, and a text that
        # begins with LF keeps that LF bare: the echoed line ends in LF, then CR LF.
        self.assertEqual(game.crash_log(),
                         "[CKVParse] unknown keyword undeclared: in file 'game.ini' in line 5\r\n"
                         "Undeclared(1)\n\r\n"
                         "Parser: cant parse file 'game.ini'\r\n")
        # What is logged also reaches the debugger.
        self.assertIn("Parser: cant parse file 'game.ini'", "".join(run.debug_texts()))

    def test_an_error_in_an_included_file_names_that_file(self):
        game = GameFolder("config-include-error")
        game.write("game.ini", DECLARATIONS + '!include("bad.ini")\n')
        game.write("bad.ini", '\nJavaClasses("unterminated)\n')
        run = game.run()
        self.assertEqual(run.exit_code(), 0, run)
        self.assertEqual(game.settings(), DEFAULTS)
        log = game.crash_log()
        self.assertRegex(log, r"\[CKVParse\] [^\r\n]*: in file 'bad\.ini' in line \d+\r\n")
        self.assertIn("Parser: cant parse file 'game.ini'", log)

    def test_value_length_limit(self):
        longest = "L" * 259
        too_long = "T" * 260
        game = GameFolder("config-long-value")
        game.write("game.ini", configuration(longest, too_long))
        run = game.run()
        self.assertEqual(run.exit_code(), 0, run)
        # A value that does not fit is not cut (a cut name names something else): the
        # setting keeps its default, and the log says why.
        self.assertEqual(game.settings(), ("Java", "code", longest))
        self.assertIn("Configuration: the value of 'JavaClasses' is longer than 259 "
                      "characters and is ignored\r\n", game.crash_log())


class PrelaunchTools(unittest.TestCase):
    COMPILE_BAT = b"@echo off\r\necho %*> compile-args.txt\r\n"
    COMPILE_ARGS = b"-classpath Java -d Java Params\\*.java"

    def test_params_folder_runs_the_compile_batch(self):
        # (case, files to lay out, whether to make an empty Params folder, compiles)
        cases = [
            ("folder-with-sources", {"Params/Config.java": "class Config {}\n"}, False, True),
            ("empty-folder", {}, True, True),
            ("file", {"Params": "not a folder\n"}, False, False),
            ("absent", {}, False, False),
        ]
        for name, files, empty_folder, compiles in cases:
            with self.subTest(name):
                game = GameFolder(f"params-{name}")
                game.write("JDK/bin/compile.bat", self.COMPILE_BAT)
                for relative, content in files.items():
                    game.write(relative, content)
                if empty_folder:
                    os.makedirs(game.file("Params"))
                run = game.run()
                self.assertEqual(run.exit_code(), 0, run)
                recorded = game.read("compile-args.txt")
                if compiles:
                    self.assertIsNotNone(recorded, "compile.bat did not run")
                    # The pattern reaches the batch file unexpanded.
                    self.assertEqual(recorded.rstrip(b"\r\n "), self.COMPILE_ARGS)
                else:
                    self.assertIsNone(recorded)

    def test_existing_report_skips_the_diagnostic_tool(self):
        # File names are compared without regard to case: the report the tool writes
        # (DXDiags.txt) is the one the check looks for (DXdiags.txt).
        for report in ("DXdiags.txt", "DXDiags.txt"):
            with self.subTest(report=report):
                game = GameFolder(f"dxdiag-{report}", dxdiag_report=False)
                game.write(f"logs/{report}", "earlier\n")
                run = game.run()
                self.assertEqual(run.exit_code(), 0, run)
                self.assertEqual([t for t in run.debug_texts() if "DXdiag" in t or "..." in t],
                                 [], run)

    def test_diagnostic_tool_not_on_the_search_path(self):
        # The search path holds only an empty folder. Wine's process start also looks
        # in its own system folder, beyond the search path, and the prefix ships a
        # dxdiag.exe there: it is moved aside for this one run.
        system32 = os.path.join(driverlib.setting("TARVEX_WINEPREFIX"), "drive_c", "windows",
                                "system32")
        self.assertTrue(os.path.isdir(system32), "the Wine prefix is not made yet")
        game = GameFolder("dxdiag-missing", dxdiag_report=False)
        empty = driverlib.fresh_folder(os.path.join("itest", "dxdiag-missing-path"))
        shipped = os.path.join(system32, "dxdiag.exe")
        hidden = shipped + ".hidden-by-test"
        moved = os.path.exists(shipped)
        if moved:
            os.rename(shipped, hidden)
        try:
            run = game.run(env={"PATH": driverlib.win_path(empty)})
        finally:
            if moved:
                os.rename(hidden, shipped)
        self.assertEqual(run.exit_code(), 0, run)
        texts = [t for t in run.debug_texts() if t.startswith(("Trying", "..."))]
        self.assertEqual(texts, ["Trying to run DXdiag.exe ... \n",
                                 "... ERROR: File or path is not found\n"], run)
        self.assertTrue(os.path.isdir(game.file("logs")))

    def test_diagnostic_tool_is_started_and_writes_its_report(self):
        game = GameFolder("dxdiag-runs", dxdiag_report=False)
        run = game.run()
        self.assertEqual(run.exit_code(), 0, run)
        texts = [t for t in run.debug_texts() if t.startswith(("Trying", "..."))]
        self.assertEqual(texts, ["Trying to run DXdiag.exe ... \n", "... OK\n"], run)
        # The tool runs beside the game; its report shows the arguments reached it.
        deadline = time.monotonic() + driverlib.TIMEOUT_MS / 1000
        while time.monotonic() < deadline and not self._report_written(game):
            time.sleep(1)
        self.assertTrue(self._report_written(game), os.listdir(game.file("logs")))

    @staticmethod
    def _report_written(game):
        logs = game.file("logs")
        return any(name.lower() == "dxdiags.txt" and os.path.getsize(os.path.join(logs, name))
                   for name in os.listdir(logs))


class UnderLoad(unittest.TestCase):
    """Promises that must hold however the starts and ends fall. host_load.exe starts
    copies of the host together, or ends one from outside, many times over."""

    RACE_ROUNDS = 30
    KILLS = 5

    @staticmethod
    def load(*args):
        """Runs host_load.exe with ARGS; its JSON lines and the finished run."""
        done = subprocess.run([driverlib.WINE, os.path.join(driverlib.BIN, "host_load.exe")]
                              + list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=600)
        lines = done.stdout.decode("latin-1").splitlines()
        return [json.loads(line) for line in lines if line.startswith("{")], done

    def test_of_two_copies_started_together_exactly_one_runs(self):
        game = GameFolder("race")
        rounds, done = self.load("race", str(self.RACE_ROUNDS), driverlib.win_path(game.path))
        self.assertEqual(len(rounds), self.RACE_ROUNDS, done)
        for result in rounds:
            # One copy was refused and ended with 0 while the other ran, and only that
            # one ever reached Init.
            self.assertEqual(result, {"round": result["round"], "firstExit": 0,
                                      "otherRunning": True, "secondExit": 0, "inits": 1})

    def test_a_line_logged_just_before_a_kill_is_in_the_log(self):
        # The kill falls at another point of the loop each time.
        for attempt in range(self.KILLS):
            with self.subTest(attempt=attempt):
                game = GameFolder(f"killed-{attempt}")
                game.write("game.ini", DECLARATIONS + "Undeclared(1)\n")
                result, done = self.load("kill", driverlib.win_path(game.path),
                                         "waitfile=never.flag")
                self.assertEqual(result, [{"exit": 9}], done)
                # Ended from outside: nothing of the orderly end ran.
                self.assertNotIn("DeletingDestructor", call_names(game.engine_calls()))
                log = game.crash_log()
                self.assertIn("[CKVParse] unknown keyword undeclared: in file 'game.ini' "
                              "in line 4\r\n", log)
                self.assertTrue(log.endswith("Parser: cant parse file 'game.ini'\r\n"), log)


if __name__ == "__main__":
    unittest.main(verbosity=2)
