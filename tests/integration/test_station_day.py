"""A day in the life of a station, with the real program and real players on
two Icecast servers (the sources on one, the backup on the other): the
schedule's first source and a scheduled switch, titles and a paid item, an
API session that switches to a source whose URL a shell would misread, the
status listener read by Prometheus's parser and rendered by headless Chromium,
a player killed from outside, and the death and return of the sources' server.

Only the order of events is asserted; how long they take is measured in
bench/ (deadlines here are generous)."""

import collections
import os
import re
import select
import socket
import subprocess
import tempfile
import threading
import time
import urllib.request

from prometheus_client.parser import text_string_to_metric_families

import rig

KEY = "rigapikey"
STRAPLINE = "Rig Default Strapline"
CRLF = b"\r\n"
FAILURE = "  SYS - SERVER OR LINK FAILURE"
# Two metadata ticks and the player's title line, with room for a busy machine.
TITLE_WAIT = 15
CHROMIUM = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
            "--disable-component-update", "--disable-sync", "--no-first-run", "--virtual-time-budget=5000"]


def read_over_and_over(path, stop, seen):
    """Reads metadata.txt until `stop` is set, as the station's other systems
    do: once written, the file must always be one whole line (replaced at
    once, never seen missing, empty or half written). Counts in `seen` the
    reads by what they found: "whole" or the bytes read (None: missing)."""
    while not stop.is_set():
        try:
            data = path.read_bytes()
        except FileNotFoundError:
            data = None
        if data is not None or seen:
            seen["whole" if data and data.endswith(CRLF) and data.count(CRLF) == 1 else data] += 1


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


def metrics(port):
    """A function of a sample's name and labels giving its value, from one scrape."""
    with urllib.request.urlopen(f"http://127.0.0.1:{port}/metrics", timeout=10) as reply:
        samples = [s for family in text_string_to_metric_families(reply.read().decode()) for s in family.samples]
    return lambda name, /, **labels: next(s.value for s in samples if s.name == name and s.labels == labels)


def test_a_day_on_air(icecast_pair, make_station):
    live, spare = icecast_pair
    # A shell would play "/three?type=mp3" in the background and create
    # files "injected" and "-quiet"; the player must get the URL whole.
    odd_url = live.url("/three") + "?type=mp3&x=1;touch${IFS}injected"
    sources = {0: {"n": "Rig Backup", "u": spare.url("/backup")}, 1: {"n": "Rig One", "u": live.url("/one")},
               2: {"n": "Rig Two", "u": live.url("/two")}, 3: {"n": "Rig Three", "u": odd_url}}
    today = rig.Today(span=300)
    due = today.seconds + 12
    schedule = [today.entry(0, 3), today.entry(1, 1), today.entry(2, 3, weekday=today.weekday % 7 + 1),
                today.entry(due, 2)]
    port = rig.free_port()
    station = make_station(settings={"CheckSource": "1", "APIallowed": "1", "APIKey": KEY},
                           sources=sources, schedule=schedule, api_port=rig.free_port(),
                           extra_args=["--status-port", str(port)])
    metadata, stop, seen = station.folder.file("metadata.txt"), threading.Event(), collections.Counter()
    threading.Thread(target=read_over_and_over, args=(metadata, stop, seen), daemon=True).start()
    try:
        # Morning: today's latest past entry goes on air on slot 1.
        rig.wait_for(lambda: rig.playing(station, "Rig One") == 1, 15, "Rig One on slot 1")
        assert not rig.is_running("mplayer2")

        # The due entry starts slot 2; both players run through the overlap,
        # then slot 1 ends and its log goes.
        rig.wait_for(lambda: rig.is_running("mplayer1") and rig.is_running("mplayer2"),
                     today.epoch(due) - time.time() + 10, "both players in the scheduled switch")
        rig.wait_gone("mplayer1")
        rig.wait_for(lambda: station.folder.read("mplayer1.log") is None, 5, "mplayer1.log removed")
        rig.wait_for(lambda: rig.playing(station, "Rig Two") == 2, 15, "Rig Two on slot 2")
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
        written = metadata.stat().st_mtime_ns
        rig.wait_for(lambda: metadata.stat().st_mtime_ns != written, 10, "one more metadata tick")
        assert rig.air_messages(station).count("  PAY - " + paid) == 1
        assert station.folder.read("tallyway.txt") == tallyway
        stop.set()
        assert list(seen) == ["whole"] and seen["whole"] > 1000, f"reads of metadata.txt: {seen}"

        # A player killed from outside: the watchdog logs the restart in the
        # station log and error.log, and the source comes back on slot 1.
        rig.kill_by_name("mplayer2")
        station.wait_dump(lambda d: "  SYS - RESTARTING MPLAYER - POSSIBLE NETWORK ISSUE" in rig.air_messages(d),
                          25, "the watchdog's restart")
        assert re.fullmatch(rb"RESTART \d\d-\d\d-\d{4} \d\d:\d\d:\d\d SOURCE:2\r\n",
                            station.folder.read("error.log"))
        rig.wait_for(lambda: rig.playing(station, "Rig Two") == 1, 15, "Rig Two on slot 1")

        # The status listener agrees with the console once the watchdog
        # (every 15 s) has seen the restarted player.
        console = station.wait_dump(lambda d: (d["lblMplayer1"], d["lblMplayer2"]) == ("1", "") and d, 20,
                                    "the watchdog's look at the players")
        m = metrics(port)
        assert [m("brackenfield_on_air_source"), m("brackenfield_player_running", slot="1"),
                m("brackenfield_player_running", slot="2"), m("brackenfield_player_restarts_total"),
                m("brackenfield_switches_total", cause="schedule"), m("brackenfield_failover_active"),
                m("brackenfield_on_air_info", number="2", name="Rig Two", url=live.url("/two"))] == [
            2, 1, 0, 1, 2, 0, 1]
        # The dump is a little older than the scrape; a title came after the start.
        assert m("brackenfield_seconds_since_title_change") < int(console["SystemRuntime"]) <= m(
            "brackenfield_uptime_seconds")
        with tempfile.TemporaryDirectory() as profile:
            dom = subprocess.run(CHROMIUM + [f"--user-data-dir={profile}", "--dump-dom", f"http://127.0.0.1:{port}/"],
                                 capture_output=True, text=True, timeout=120, check=True).stdout
        # Only the page's script fills this line.
        assert '<p id="live">Live: Rig Two on air at ' in dom

        # The operator's set-source (once the due entry's minute, which it
        # holds, is over): the reply comes once the new player runs, then the
        # old one ends. The URL reaches the player whole.
        minute_over = today.epoch(due - due % 60 + 60)
        rig.wait_for(lambda: time.time() >= minute_over, 60, "the due entry's minute to end")
        assert get(station, f"/api/setcurrent.php?id={KEY}3") == reply_for("Source: 3\r\nOK\r\n")
        assert rig.is_running("mplayer2")
        rig.wait_gone("mplayer1")
        rig.wait_for(lambda: rig.playing(station, "Rig Three") == 2, 15, "Rig Three on slot 2")
        assert rig.player_log_has(station, 2, f"Playing {odd_url}.\n")
        assert not {"injected", "-quiet"} & set(os.listdir(station.folder.path))
        console = station.wait_dump(lambda d: d.get("CurrentSource") == "3" and d, 5, "source 3")
        assert (console["lblCurrentSource"], console["lblStudio"]) == (odd_url, "Rig Three")

        # The sources' server dies: after two failed checks the backup from
        # the other server goes on air, and the operator's source is kept.
        live.stop()
        console = station.wait_dump(lambda d: d.get("SilenceFlag") == "1" and d, 45, "the failover")
        messages = rig.air_messages(console)
        assert messages.index(FAILURE) < messages.index(FAILURE + " - FIRST CHECK")
        assert console["lblFailText"].startswith("SERVER OR LINK FAILURE at ")
        assert (console["lblFailURL"], console["LinkStoredSource"], console["LinkSource"],
                console["RXmetadata"]) == (odd_url, odd_url, "3", STRAPLINE)
        rig.wait_for(lambda: rig.playing(station, "Rig Backup"), 15, "Rig Backup on air")
        station.wait_dump(lambda d: d.get("CurrentSource") == "0", 5, "the backup on the console")

        # The server is back: the next check passes, and the operator's source
        # (not the schedule's) starts on the other slot while the backup
        # plays, so that the return leaves no gap.
        live.restart()
        rig.wait_for(lambda: rig.is_running("mplayer1") and rig.is_running("mplayer2"), 60,
                     "both players in the return")
        console = station.wait_dump(lambda d: d.get("CurrentSource") == "3" and d, 10,
                                    "the return to source 3")
        messages = rig.air_messages(console)
        assert messages.index("  SYS - SELECTED SOURCE ONLINE") < messages.index(FAILURE)
        assert (console["SilenceFlag"], console["LinkFailCount"], console["lblFailText"],
                console["lblCurrentSource"]) == ("0", "0", "SELECTED SOURCE ONLINE", odd_url)
        rig.wait_for(lambda: rig.playing(station, "Rig Three"), 15, "Rig Three on air")
    finally:
        stop.set()
