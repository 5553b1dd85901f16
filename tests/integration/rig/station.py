"""Station folders, schedules on today's clock, and the real program running in a folder under Qt's offscreen platform,
watched through its console dump."""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

from .local import wait_for
from .processes import PLAYER_NAMES, end, is_running, live_pids_by_name, spawn

HERE = Path(__file__).resolve().parent
# CTest names the program it built; otherwise the build folder beside the tests.
BINARY = os.environ.get("BRACKENFIELD_BIN") or str(HERE.parents[2] / "build" / "brackenfield")
DEAD_URL = "http://127.0.0.1:9"
DEFAULT_SETTINGS = dict(line.split("=", 1) for line in (HERE / "settings.ini").read_text().splitlines()
                        if line and not line.startswith("#"))


def entry(weekday, hhmmss, source):
    """A schedule line: weekday digit (1 Sunday .. 7 Saturday), HHMMSS, source digit."""
    return f"{weekday} {hhmmss} {source}"


class Today:
    """Today's weekday and clock for schedules on the machine's local time. Waits first, when needed, so that `span`
    seconds from now stay on today's date and a few seconds of today have passed (000000 is then in the past)."""

    def __init__(self, span=60):
        tm = time.localtime()
        seconds = tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec
        time.sleep(86403 - seconds if seconds > 86399 - span else max(0, 3 - seconds))
        tm = time.localtime()
        self.weekday = (tm.tm_wday + 1) % 7 + 1
        self.seconds = tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec
        self._midnight = time.mktime((tm.tm_year, tm.tm_mon, tm.tm_mday, 0, 0, 0, 0, 0, -1))

    def entry(self, seconds, source, weekday=None):
        """A schedule line for today (or `weekday`) at `seconds` after midnight."""
        hhmmss = f"{seconds // 3600:02d}{seconds // 60 % 60:02d}{seconds % 60:02d}"
        return entry(self.weekday if weekday is None else weekday, hhmmss, source)

    def epoch(self, seconds):
        """Wall-clock time of `seconds` after today's midnight."""
        return self._midnight + seconds


def parse_dump(text):
    """The console dump as {name: value}: one "name TAB value" a line, with backslash, CR, LF and TAB in values escaped
    as \\\\, \\r, \\n, \\t."""
    escapes = {"\\": "\\", "r": "\r", "n": "\n", "t": "\t"}
    unescape = lambda m: escapes.get(m.group(1), m.group(0))  # noqa: E731
    return {name: re.sub(r"\\(.)", unescape, value)
            for name, tab, value in (line.partition("\t") for line in text.split("\n")) if tab}


def air_messages(console):
    """The station log's messages in a console dump, newest first, without their stamps (" YYYY-MM-DD hh:mm:ss")."""
    return [line[20:] for line in console.get("txtAIR", "").split("\r\n") if line]


class StationFolder:
    """A working folder for the program: settings (the rig's settings.ini with `settings` on top; a value None drops the
    key), the source list from {number: {"n": name, "u": url, "s": command}}, the schedule lines and the player links,
    and a private MPlayer home (outside the working folder) whose config plays to no sound card."""

    def __init__(self, settings=None, sources=None, schedule=None):
        self.root = Path(tempfile.mkdtemp(prefix="rig-station-"))
        self.path = self.root / "station"
        self.path.mkdir()
        self.mplayer_home = self.root / "mplayer-home"
        self.mplayer_home.mkdir()
        (self.mplayer_home / "config").write_text("ao=null\n")
        values = {**DEFAULT_SETTINGS, **(settings or {})}
        self.write("brackenfield.ini", ["[Brackenfield]"] + [f"{k}={v}" for k, v in values.items() if v is not None])
        if sources is not None:
            self.write("sourcelist.ini", [f"{number}{key}:{keys[key]}" for number, keys in sources.items()
                                          for key in "nus" if key in keys])
        if schedule is not None:
            self.write("sourceevents.ini", schedule)
        for name in PLAYER_NAMES:
            self.file(name).symlink_to(shutil.which("mplayer"))

    def file(self, name):
        return self.path / name

    def write(self, name, lines):
        """Writes `lines` with CR LF line ends (text as Latin-1)."""
        self.file(name).write_bytes(b"".join(line.encode("latin-1") + b"\r\n" for line in lines))

    def read(self, name):
        try:
            return self.file(name).read_bytes()
        except FileNotFoundError:
            return None


class Station:
    """The real program running in a StationFolder; the outside services it is given on its command line point at a dead
    address unless named."""

    def __init__(self, folder, binary=None, api_port=None, air_url=DEAD_URL, weather_url=DEAD_URL, extra_args=(),
                 wrapper=()):
        # `wrapper`: a command the program is started through (it execs the program's command line, its arguments).
        self.folder, self.binary, self.extra_args, self.wrapper = folder, binary or BINARY, list(extra_args), list(wrapper)
        self.api_port, self.air_url, self.weather_url = api_port, air_url, weather_url
        self.dump_path = folder.root / "console.dump"
        self.output_path = folder.root / "station.out"
        self.proc = None

    def command(self):
        args = [self.binary, "-platform", "offscreen", "--console-dump", str(self.dump_path)]
        for option, value in (("--api-port", self.api_port), ("--air-url", self.air_url),
                              ("--weather-url", self.weather_url)):
            if value is not None:
                args += [option, str(value)]
        return self.wrapper + args + self.extra_args

    def start(self):
        assert os.access(self.binary, os.X_OK), f"no program at {self.binary} (set BRACKENFIELD_BIN)"
        self.dump_path.unlink(missing_ok=True)
        env = dict(os.environ, MPLAYER_HOME=str(self.folder.mplayer_home), QT_QPA_PLATFORM="offscreen")
        self.proc = spawn(self.command(), self.output_path, cwd=self.folder.path, env=env)
        self.wait_dump(lambda d: "SYSTEM STARTUP" in d.get("txtAIR", ""), 15.0, "the station's startup line")
        return self

    def alive(self):
        return self.proc is not None and self.proc.poll() is None

    def kill(self, sig=signal.SIGKILL):
        if self.proc is not None:
            end(self.proc, sig)
            self.proc = None

    def output(self):
        try:
            return self.output_path.read_text("utf-8", "replace")
        except FileNotFoundError:
            return ""

    def dump(self):
        """The console as the program last wrote it ({} before the first dump)."""
        try:
            return parse_dump(self.dump_path.read_bytes().decode("utf-8", "surrogateescape"))
        except FileNotFoundError:
            return {}

    def wait_dump(self, predicate, timeout, what):
        """Waits until `predicate(console)` holds and returns its value; fails at once when the program has ended."""
        def check():
            if not self.alive():
                raise AssertionError(f"the station ended; output:\n{self.output()[-2000:]}")
            return predicate(self.dump())

        try:
            return wait_for(check, timeout, what)
        except AssertionError as error:
            raise AssertionError(f"{error}\nconsole now: {summarise(self.dump())}") from None

    def player_log(self, slot):
        return (self.folder.read(f"mplayer{slot}.log") or b"").decode("latin-1")

    def players(self):
        """{name: set of PIDs} of the players that run in the station's folder."""
        return live_pids_by_name(PLAYER_NAMES, self.folder.path)

    def stop_players(self):
        """The service's stop of this station's players; returns the exit status and what it said."""
        done = subprocess.run([self.binary, "--stop-players"], cwd=self.folder.path, timeout=30, capture_output=True,
                              text=True)
        return done.returncode, done.stdout


def player_log_has(station, slot, text):
    return text in station.player_log(slot)


def playing(station, name):
    """The slot whose player runs and has started playing stream `name`, or None."""
    return next((slot for slot in (1, 2) if is_running(f"mplayer{slot}", station.folder.path)
                 and player_log_has(station, slot, f"Name   : {name}\n")
                 and player_log_has(station, slot, "Starting playback...")), None)


def summarise(dump):
    keys = ("CurrentMplayer", "CurrentSource", "WasPlaying", "SilenceFlag", "NextEvent", "LastEvent",
            "lblCurrentSource", "RXmetadata", "txtAIR")
    return ", ".join(f"{k}={dump[k][:600]!r}" for k in keys if k in dump) or "(no dump)"


def remove_tree(path):
    shutil.rmtree(path, ignore_errors=True)
