"""The health check against real servers: a selected source whose server
dies is replaced by the backup from another server after two failed checks,
and comes back once its server answers again; servers that never answer,
answer nothing or answer garbage, and URLs that cannot be fetched or are too
short to play.

The checks of bad replies need no audio: their stations run side by side
with stand-in players (a script that writes its arguments to the log and
ends), so that the 15-second check period is waited for once for all of
them. Stations with real players never run beside another station, since
every station kills the players by name."""

import re
import socket
import threading
import time

import rig

FIRST_CHECK = "  SYS - SERVER OR LINK FAILURE - FIRST CHECK"
FAILURE = "  SYS - SERVER OR LINK FAILURE"
ONLINE = "  SYS - SELECTED SOURCE ONLINE"
RESTART = "  SYS - RESTARTING MPLAYER - POSSIBLE NETWORK ISSUE"
FIRST_CHECK_TEXT = "SERVER OR LINK FAILURE - FIRST CHECK"
STRAPLINE = "Rig Default Strapline"
AIR_LINE = re.compile(r"^ \d{4}-\d\d-\d\d \d\d:\d\d:\d\d(.*)$")
# The first check comes one period (15 s) after the start.
CHECK_PERIOD = 15.0

FAKE_PLAYER = """#!/bin/sh
# Stands in for the player: notes its arguments and ends.
for arg in "$@"; do printf 'arg: %s\\n' "$arg"; done
"""


def air_messages(station, console=None):
    """Messages of the station log (of the running station or of a console
    dump), newest first, without date and time."""
    console = station.dump() if console is None else console
    lines = [line for line in console.get("txtAIR", "").split("\r\n") if line]
    return [AIR_LINE.match(line).group(1) for line in lines]


def seconds_of(hhmmss):
    h, m, s = (int(part) for part in hhmmss.split(":"))
    return h * 3600 + m * 60 + s


def player_on(station, url, since):
    """The slot whose player runs, started after `since`, and whose log shows
    that it opened `url`; None otherwise."""
    for slot in (1, 2):
        name = f"mplayer{slot}"
        started = rig.earliest_start(name)
        if started is not None and started >= since - 0.02 \
                and rig.player_log_has(station, slot, f"Playing {url}.\n"):
            return slot
    return None


class RawServer:
    """A TCP server on 127.0.0.1 that reads each request up to its empty
    line and then answers `answer` and closes, or (answer None) keeps the
    connection open without a word. Records each request's first line."""

    def __init__(self, answer):
        self.answer = answer
        self.requests = []
        self._connections = []
        self._closed = threading.Event()
        self._sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._sock.bind(("127.0.0.1", 0))
        self._sock.listen(16)
        self.port = self._sock.getsockname()[1]
        self.url = f"http://127.0.0.1:{self.port}"
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while not self._closed.is_set():
            try:
                conn, _ = self._sock.accept()
            except OSError:
                return
            self._connections.append(conn)
            threading.Thread(target=self._serve, args=(conn,), daemon=True).start()

    def _serve(self, conn):
        data = b""
        try:
            conn.settimeout(30)
            while b"\r\n\r\n" not in data:
                chunk = conn.recv(4096)
                if not chunk:
                    break
                data += chunk
            self.requests.append(data.split(b"\r\n", 1)[0].decode("latin-1"))
            if self.answer is not None:
                conn.sendall(self.answer)
                conn.close()
        except OSError:
            pass

    def close(self):
        self._closed.set()
        self._sock.close()
        for conn in self._connections:
            try:
                conn.close()
            except OSError:
                pass


def make_fake_player_station(make_station, source_1, schedule, source_2=None):
    """A station without audio: stand-in players, the health check on,
    source 1 (and 2) as given and a backup that cannot play."""
    sources = {0: {"n": "Nowhere Backup", "u": f"{rig.DEAD_URL}/backup"},
               1: {"n": "Checked Source", "u": source_1}}
    if source_2 is not None:
        sources[2] = {"n": "Short Source", "u": source_2}
    station = make_station(settings={"CheckSource": "1", "DefaultStrapline": STRAPLINE},
                           sources=sources, schedule=schedule, players=False, start=False)
    script = station.folder.root / "fake-player"
    script.write_text(FAKE_PLAYER)
    script.chmod(0o755)
    for name in rig.PLAYER_NAMES:
        station.folder.file(name).symlink_to(script)
    return station


def first_checks(stations, timeout):
    """The console of each station as it stood once its first check had
    failed (the stations are watched together: the second check comes 15 s
    later and changes the texts)."""
    seen = {}

    def all_seen():
        for what, station in stations.items():
            if what not in seen:
                console = station.dump()
                if console.get("lblFailText") == FIRST_CHECK_TEXT:
                    seen[what] = console
        return len(seen) == len(stations)

    rig.wait_for(all_seen, timeout, f"the first failed check of {sorted(stations)}", interval=0.05)
    return seen


def set_source_through_api(station, key, number):
    with socket.create_connection(("127.0.0.1", station.api_port), timeout=15) as sock:
        sock.sendall(f"GET /api/setcurrent.php?id={key}{number} HTTP/1.0\r\n\r\n".encode())
        reply = b""
        while chunk := sock.recv(4096):
            reply += chunk
    assert reply.endswith(f"Source: {number}\r\nOK\r\n".encode()), reply


def test_dead_server_fails_over_to_backup_and_selected_source_returns(icecast_pair, make_station):
    server_a, server_b = icecast_pair
    selected, scheduled, backup = server_a.url("/one"), server_b.url("/two"), server_b.url("/backup")
    print(f"selected source on {selected}, backup on {backup}, the schedule's source on {scheduled}")
    today = rig.Today(span=150)
    # The schedule puts source 2 on air; the operator then selects source 1,
    # which is the one that must come back after the failover.
    station = make_station(settings={"CheckSource": "1", "DefaultStrapline": STRAPLINE,
                                     "APIallowed": "1", "APIKey": "k"},
                           sources={0: {"n": "Rig Backup", "u": backup},
                                    1: {"n": "Rig One", "u": selected},
                                    2: {"n": "Rig Two", "u": scheduled}},
                           schedule=[today.entry(0, 2)], api_port=rig.free_port())
    rig.wait_for(lambda: player_on(station, scheduled, station.started_at), 8, "source 2 to play")
    switched_at = time.time()
    set_source_through_api(station, "k", 1)
    rig.wait_for(lambda: player_on(station, selected, switched_at), 8, "source 1 to play")
    rig.wait_for(lambda: rig.player_log_has(station, player_on(station, selected, switched_at),
                                            "Starting playback...\n"), 10, "source 1 to play")

    stopped_at = time.time()
    try:
        server_a.stop()
        # Two failed checks, 15 s apart, then the event tick's switch.
        console = station.wait_dump(lambda d: d.get("SilenceFlag") == "1" and d, 40,
                                    "the failover flag")
        slot = rig.wait_for(lambda: player_on(station, backup, stopped_at), 8,
                            "a player on server B's backup")
        rig.wait_for(lambda: rig.player_log_has(station, slot, "Starting playback...\n"), 10,
                     "the backup to play")
        messages = air_messages(station, console)
        assert FAILURE in messages and FIRST_CHECK in messages
        assert messages.index(FAILURE) < messages.index(FIRST_CHECK)
        assert console["lblFailText"].startswith("SERVER OR LINK FAILURE at ")
        assert console["lblFailURL"] == server_a.base_url + "/"
        assert console["LinkStoredSource"] == selected
        assert console["RXmetadata"] == STRAPLINE
        # Kept for the return, also when the watchdog has already asked for
        # a restart of the dead player by the time of the second check.
        assert console["LinkSource"] == "1"
        station.wait_dump(lambda d: d.get("CurrentSource") == "0", 5, "the backup on the console")
    finally:
        back_at = time.time()
        server_a.restart()

    def selected_plays():
        slot = player_on(station, selected, back_at)
        return slot and rig.player_log_has(station, slot, "Name   : Rig One\n")

    rig.wait_for(selected_plays, 40, "source 1 to play again")

    def returned(console):
        # The console is not rewritten during the switch's overlap: wait for
        # the state after it. The check stops the backup; the watchdog asks
        # for the restart of the selected source.
        messages = air_messages(station, console)
        if ONLINE not in messages or console.get("CurrentSource") != "1":
            return None
        return RESTART in messages[:messages.index(ONLINE)] and console

    console = station.wait_dump(returned, 20, "the return to source 1 on the console")
    messages = air_messages(station, console)
    assert messages.index(ONLINE) < messages.index(FAILURE)
    assert console["SilenceFlag"] == "0"
    assert console["LinkFailCount"] == "0"
    assert console["lblFailText"] == "SELECTED SOURCE ONLINE"
    assert console["lblCurrentSource"] == selected
    assert player_on(station, scheduled, back_at) is None


def test_servers_that_answer_nothing_or_garbage_fail_the_check(make_station):
    silent = RawServer(None)
    empty = RawServer(b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 0\r\n\r\n")
    garbage = RawServer(b"\x00\x17\xfe garbage, not HTTP at all \xff\r\n\r\n\x01\x02")
    try:
        today = rig.Today(span=40)
        schedule = [today.entry(0, 1)]
        urls = {"silent": f"{silent.url}/stream", "empty": f"{empty.url}/stream",
                "garbage": f"{garbage.url}/stream", "no host": "http:///stream"}
        stations = {what: make_fake_player_station(make_station, url, schedule)
                    for what, url in urls.items()}
        for station in stations.values():
            station.start()

        consoles = first_checks(stations, CHECK_PERIOD + 18)

        # A fetch that gets no answer gives up after 10 s, before the next check.
        console = consoles["silent"]
        match = re.fullmatch(r"Request timed out: (\d\d:\d\d:\d\d) / 35761", console["lblDebug"])
        assert match, console["lblDebug"]
        waited = (seconds_of(match.group(1)) - seconds_of(console["lblFailCheckTime"])) % 86400
        assert 10 <= waited <= 13, f"timed out {waited} s after the check"
        assert console["lblFailURL"] == silent.url + "/"
        assert silent.requests[0] == "GET / HTTP/1.1"

        # An empty body is no error of the fetch, yet the check fails.
        console = consoles["empty"]
        assert console["lblDebug"] == ""
        assert console["lblFailURL"] == empty.url + "/"
        assert empty.requests[0] == "GET / HTTP/1.1"

        # Bytes that are not HTTP: the fetch fails and the server's close is shown.
        console = consoles["garbage"]
        assert re.fullmatch(r"Connection closed by the server: \d\d:\d\d:\d\d / 35755",
                            console["lblDebug"]), console["lblDebug"]
        assert console["lblFailURL"] == garbage.url + "/"

        # A URL without a host is tested as scheme and "/" and cannot be fetched.
        console = consoles["no host"]
        assert console["lblFailURL"] == "http:///"
        assert re.fullmatch(r"URL is malformed: \d\d:\d\d:\d\d / 35752", console["lblDebug"]), \
            console["lblDebug"]

        for station in stations.values():
            assert FIRST_CHECK in air_messages(station)
            runtime = int(station.dump()["SystemRuntime"])
            station.wait_dump(lambda d, r=runtime: int(d.get("SystemRuntime", 0)) > r, 3,
                              "the station to go on running")
    finally:
        for server in (silent, empty, garbage):
            server.close()


def test_source_urls_under_8_bytes_keep_the_source_on_air(make_station):
    stub = rig.StubServer(body=b"<html>root</html>")
    try:
        today = rig.Today(span=40)
        on_air = f"{stub.url}/one"
        due = today.later(10)
        schedule = [today.entry(0, 1), today.entry(due, 2)]
        stations = {short: make_fake_player_station(make_station, on_air, schedule, source_2=short)
                    for short in ("None", "abc", "http://")}
        for station in stations.values():
            station.start()

        for short, station in stations.items():
            console = station.wait_dump(lambda d: d.get("CurrentSource") == "2" and d,
                                        today.epoch(due) - time.time() + 5, "the switch to source 2")
            assert console["lblCurrentSource"] == on_air, short
            assert console["lblStudio"] == "Checked Source", short
            # The other slot was started on the URL that was on air.
            assert rig.player_log_has(station, 2, f"arg: {on_air}\n"), short
            for slot in (1, 2):
                assert not rig.player_log_has(station, slot, f"arg: {short}\n"), short
        for short, station in stations.items():
            console = station.wait_dump(
                lambda d: d.get("lblFailText") == "SELECTED SOURCE ONLINE" and d,
                station.started_at + CHECK_PERIOD + 8 - time.time(), "the first check to pass")
            assert console["lblFailURL"] == stub.url + "/", short
            assert console["lblDebug"] == "", short
        assert "/" in stub.paths()
        assert not any(p.startswith(("/None", "/abc")) for p in stub.paths())
    finally:
        stub.close()
