"""A day in the life of a station, with the real program and real players on
two Icecast servers (the sources on one, the backup on the other): the
schedule's first source and a scheduled switch, titles and a paid item, an
API session that switches to a source whose URL a shell would misread, a
player killed from outside, and the death and return of the sources' server.

Only the order of events is asserted; how long they take is measured in
bench/ (deadlines here are generous)."""

import os
import re
import select
import socket
import threading
import time

import rig

KEY = "rigapikey"
STRAPLINE = "Rig Default Strapline"
CRLF = b"\r\n"
RESTART = "  SYS - RESTARTING MPLAYER - POSSIBLE NETWORK ISSUE"
FIRST_CHECK = "  SYS - SERVER OR LINK FAILURE - FIRST CHECK"
FAILURE = "  SYS - SERVER OR LINK FAILURE"
ONLINE = "  SYS - SELECTED SOURCE ONLINE"
# Two metadata ticks and the player's title line, with room for a busy machine.
TITLE_WAIT = 15


class MetadataReader(threading.Thread):
    """Reads metadata.txt over and over, as the station's other systems do:
    once written, the file must always be one whole line (replaced at once,
    never seen missing, empty or half written). Counts the writes it sees."""

    def __init__(self, path):
        super().__init__(daemon=True)
        self.path, self.reads, self.bad, self.writes = path, 0, [], set()
        self.stopped = threading.Event()

    def run(self):
        while not self.stopped.is_set():
            try:
                stat = os.stat(self.path)
                data = self.path.read_bytes()
                self.writes.add((stat.st_ino, stat.st_mtime_ns))
            except FileNotFoundError:
                if not self.writes:
                    continue
                data = None
            self.reads += 1
            if data is None or not data.endswith(CRLF) or data.count(CRLF) != 1:
                self.bad.append(data)

    def stop(self):
        self.stopped.set()
        self.join(5)

    def wait_writes(self, count, what):
        seen = len(self.writes)
        rig.wait_for(lambda: len(self.writes) >= seen + count, 5 * count + 5, what)


def reply_for(body):
    body = body.encode() if isinstance(body, str) else body
    return (b"HTTP/1.0 200 OK\r\nServer: Fernhollow Server Version 1.1\r\n"
            b"Content-Type: text/html\r\nContent-Length: " + str(len(body)).encode() + b"\r\n\r\n" + body)


def exchange(station, *pieces):
    """Sends the request in `pieces` (nothing may come back before the last)
    and returns everything the server sent until it closed the connection."""
    with socket.create_connection(("127.0.0.1", station.api_port), timeout=15) as sock:
        for piece in pieces[:-1]:
            sock.sendall(piece)
            assert not select.select([sock], [], [], 0.3)[0], f"an answer to a part: {piece!r}"
        sock.sendall(pieces[-1])
        reply = b""
        while chunk := sock.recv(4096):
            reply += chunk
        return reply


def get(station, path):
    return exchange(station, f"GET {path} HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n".encode())


def playing(station, name):
    """The slot whose player runs and whose log shows stream `name`, or None."""
    return next((slot for slot in (1, 2) if rig.is_running(f"mplayer{slot}")
                 and rig.player_log_has(station, slot, f"Name   : {name}\n")), None)


def wait_playing(station, name, slot=None, timeout=15):
    rig.wait_for(lambda: playing(station, name) in ((slot,) if slot else (1, 2)), timeout,
                 f"a player on {name!r}" + (f" in slot {slot}" if slot else ""))


def test_a_day_on_air(icecast_pair, make_station):
    live, spare = icecast_pair
    # A shell would play "/three?type=mp3" in the background and create
    # files "injected" and "-quiet"; the player must get the URL whole.
    odd_url = live.url("/three") + "?type=mp3&x=1;touch${IFS}injected"
    sources = {0: {"n": "Rig Backup", "u": spare.url("/backup")},
               1: {"n": "Rig One", "u": live.url("/one")},
               2: {"n": "Rig Two", "u": live.url("/two")},
               3: {"n": "Rig Three", "u": odd_url}}
    today = rig.Today(span=300)
    due = today.later(12)
    schedule = [today.entry(0, 3), today.entry(1, 1), today.entry(2, 3, weekday=today.weekday % 7 + 1),
                today.entry(due, 2)]
    station = make_station(settings={"CheckSource": "1", "APIallowed": "1", "APIKey": KEY},
                           sources=sources, schedule=schedule, api_port=rig.free_port())
    reader = MetadataReader(station.folder.file("metadata.txt"))
    reader.start()
    try:
        # Morning: today's latest past entry goes on air on slot 1.
        wait_playing(station, "Rig One", slot=1)
        assert not rig.is_running("mplayer2")
        console = station.wait_dump(lambda d: d.get("CurrentSource") == "1" and d, 5, "source 1")
        assert (console["LastEvent"], console["NextEvent"]) == (today.entry(1, 1), today.entry(due, 2))
        assert console["lblCurrentSource"] == live.url("/one")

        # The due entry starts slot 2; both players run through the overlap,
        # then slot 1 ends and its log goes.
        rig.wait_for(lambda: rig.is_running("mplayer1") and rig.is_running("mplayer2"),
                     today.epoch(due) - time.time() + 10, "both players in the scheduled switch")
        rig.wait_gone("mplayer1")
        rig.wait_for(lambda: station.folder.read("mplayer1.log") is None, 5, "mplayer1.log removed")
        wait_playing(station, "Rig Two", slot=2)
        station.wait_dump(lambda d: d.get("CurrentSource") == "2" and d.get("CurrentMplayer") == "2",
                          5, "source 2 on slot 2")

        # A title, in UTF-8, reaches both output files byte for byte.
        title = "Café – Ünïcode - Song"
        live.set_title("/two", title)
        rig.wait_for(lambda: station.folder.read("metaextra.txt") == title.encode() + CRLF, TITLE_WAIT,
                     "the title in metaextra.txt")
        assert station.folder.read("metadata.txt") == title.encode() + CRLF
        console = station.wait_dump(lambda d: d["lblRXmetadata"] == title and d, 3, "the title shown")
        assert (console["lblStreamName"], console["lblStreamGenre"], console["lblStreamBitrate"]) == (
            "Rig Two", "Tone Two", "128kbit/s")

        # Over a real socket, a request sent in pieces gets one reply, and the
        # title on air is the API's too.
        assert exchange(station, b"GET /api/getcur", f"rent.php?id={KEY} HTTP/1.".encode(),
                        b"0\r\n\r\n") == reply_for(
            f"Source: 2\r\nURL: {live.url('/two')}\r\nName: Rig Two\r\nVolume: 100\r\n")
        assert get(station, f"/api/metadata.php?id={KEY}") == reply_for(title + "\r\nOK\r\n")

        # A paid item: the strapline instead of the title, tallyway.txt with
        # its stamp and one log line, also after a further tick.
        paid = "$ Acme - Spring Sale"
        live.set_title("/two", paid)
        tallyway = rig.wait_for(lambda: station.folder.read("tallyway.txt"), TITLE_WAIT, "tallyway.txt")
        assert re.fullmatch(rb"\d{8}-\d{6}\r\n\$ Acme - Spring Sale\r\n", tallyway), tallyway
        rig.wait_for(lambda: station.folder.read("metadata.txt") == STRAPLINE.encode() + CRLF, 10,
                     "the strapline in metadata.txt")
        reader.wait_writes(1, "one more metadata tick")
        assert rig.air_messages(station).count("  PAY - " + paid) == 1
        assert station.folder.read("tallyway.txt") == tallyway
        reader.stop()
        assert not reader.bad, f"{len(reader.bad)} bad reads of metadata.txt, first {reader.bad[0]!r}"
        assert reader.reads > 1000

        # A player killed from outside: the watchdog logs the restart in the
        # station log and error.log, and the source comes back on slot 1.
        rig.kill_by_name("mplayer2")
        station.wait_dump(lambda d: RESTART in rig.air_messages(d), 25, "the watchdog's restart")
        assert re.fullmatch(rb"RESTART \d\d-\d\d-\d{4} \d\d:\d\d:\d\d SOURCE:2\r\n",
                            station.folder.read("error.log"))
        wait_playing(station, "Rig Two", slot=1)

        # The operator's set-source (once the due entry's minute, which it
        # holds, is over): the reply comes once the new player runs, then the
        # old one ends. The URL reaches the player whole.
        minute_over = today.epoch(due - due % 60 + 60)
        rig.wait_for(lambda: time.time() >= minute_over, 60, "the due entry's minute to end")
        assert get(station, f"/api/setcurrent.php?id={KEY}3") == reply_for("Source: 3\r\nOK\r\n")
        assert rig.is_running("mplayer2")
        rig.wait_gone("mplayer1")
        wait_playing(station, "Rig Three", slot=2)
        assert rig.player_log_has(station, 2, f"Playing {odd_url}.\n")
        assert not {"injected", "-quiet"} & set(os.listdir(station.folder.path))
        console = station.wait_dump(lambda d: d.get("CurrentSource") == "3" and d, 5, "source 3")
        assert (console["lblCurrentSource"], console["lblStudio"]) == (odd_url, "Rig Three")

        # The sources' server dies: after two failed checks the backup from
        # the other server goes on air, and the operator's source is kept.
        live.stop()
        console = station.wait_dump(lambda d: d.get("SilenceFlag") == "1" and d, 45, "the failover")
        messages = rig.air_messages(console)
        assert messages.index(FAILURE) < messages.index(FIRST_CHECK)
        assert console["lblFailText"].startswith("SERVER OR LINK FAILURE at ")
        assert (console["lblFailURL"], console["LinkStoredSource"], console["LinkSource"],
                console["RXmetadata"]) == (odd_url, odd_url, "3", STRAPLINE)
        wait_playing(station, "Rig Backup")
        station.wait_dump(lambda d: d.get("CurrentSource") == "0", 5, "the backup on the console")

        # The server is back: the next check passes, and the operator's source
        # (not the schedule's) starts on the other slot while the backup plays.
        live.restart()
        rig.wait_for(lambda: rig.is_running("mplayer1") and rig.is_running("mplayer2"), 60,
                     "both players in the return")
        console = station.wait_dump(lambda d: d.get("CurrentSource") == "3" and d, 10,
                                    "the return to source 3")
        messages = rig.air_messages(console)
        assert messages.index(ONLINE) < messages.index(FAILURE)
        assert (console["SilenceFlag"], console["LinkFailCount"], console["lblFailText"],
                console["lblCurrentSource"]) == ("0", "0", "SELECTED SOURCE ONLINE", odd_url)
        wait_playing(station, "Rig Three")
    finally:
        reader.stop()
