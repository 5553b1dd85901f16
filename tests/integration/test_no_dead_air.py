"""No dead air with the health check on: the return from failover starts the
selected source before the backup stops, a dead mount on a live server
fails over like a dead server, and a stream served at a server's root
passes its checks."""

import http.server
import subprocess
import sys
import threading
import time
from pathlib import Path

import rig

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "bench"))
import procwatch  # noqa: E402 - the benchmarks' process watcher

ONLINE = "SELECTED SOURCE ONLINE"


def playing(station, name):
    """The slot whose player runs and whose log shows stream `name` playing."""
    for slot in (1, 2):
        log = station.player_log(slot)
        if rig.is_running(f"mplayer{slot}") and log and f"Name   : {name}\n" in log \
                and "Starting playback..." in log:
            return slot
    return None


def returns_without_gap(watcher, station, backup_slot, back_at, name):
    """Waits until stream `name` plays again, then checks that its player
    started before the backup's player ended and that a player ran at every
    moment since `back_at`."""
    slot = rig.wait_for(lambda: playing(station, name), 60, f"{name} to play again")
    station.wait_dump(lambda d: d.get("SilenceFlag") == "0" and d.get("lblFailText") == ONLINE, 10,
                      "the return on the console")
    # Seen gone by the watcher itself, so that its record holds the end.
    rig.wait_for(lambda: not watcher.samples[-1][1][f"mplayer{backup_slot}"], 10, "the backup's end")
    assert slot != backup_slot
    backup_end = min(end for start, end in watcher.runs(f"mplayer{backup_slot}")
                     if start < back_at and end is not None and end > back_at)
    selected_start = min(start for start, _ in watcher.runs(f"mplayer{slot}") if start > back_at)
    assert selected_start < backup_end, "the backup's player ended before the selected source's started"
    assert all(any(live.values()) for when, live in list(watcher.samples) if when > back_at), \
        "a moment without any player"


def station_on(make_station, server, mount, backup, fast):
    return make_station(settings={"CheckSource": "1", "FastFailover": fast},
                        sources={0: {"n": "Rig Backup", "u": backup.url("/backup")},
                                 1: {"n": "Selected", "u": server.url(mount)}},
                        schedule=[rig.entry(day, "000000", 1) for day in range(1, 8)])


def test_dead_server_returns_without_a_gap(icecast_pair, make_station):
    server, other = icecast_pair
    with procwatch.ProcessWatcher() as watcher:
        station = station_on(make_station, server, "/one", other, "0")
        rig.wait_for(lambda: playing(station, "Rig One"), 15, "source 1 to play")
        try:
            server.stop()
            station.wait_dump(lambda d: d.get("SilenceFlag") == "1", 45, "the failover")
            backup_slot = rig.wait_for(lambda: playing(station, "Rig Backup"), 15, "the backup to play")
        finally:
            back_at = time.time()
            server.restart()
        returns_without_gap(watcher, station, backup_slot, back_at, "Rig One")


def test_dead_mount_fails_over_within_two_checks_and_returns_without_a_gap(icecast_pair, make_station):
    server, other = icecast_pair
    feed = server.feeds["/two"]
    with procwatch.ProcessWatcher() as watcher:
        station = station_on(make_station, server, "/two", other, "1")
        rig.wait_for(lambda: playing(station, "Rig Two"), 15, "source 1 to play")
        station.wait_dump(lambda d: d.get("lblFailText") == ONLINE, 10, "a passed check")
        try:
            feed.stop()
            console = station.wait_dump(lambda d: d.get("SilenceFlag") == "1" and d, 15, "the failover")
            assert server.running()
            assert rig.air_messages(station)[:3] == [
                "  SYS - SERVER OR LINK FAILURE", "  SYS - SERVER OR LINK FAILURE - FIRST CHECK",
                "  SYS - SELECTED SOURCE ONLINE"]
            assert console["lblFailURL"] == server.url("/two")
            backup_slot = rig.wait_for(lambda: playing(station, "Rig Backup"), 15, "the backup to play")
        finally:
            back_at = time.time()
            feed.start()
        returns_without_gap(watcher, station, backup_slot, back_at, "Rig Two")


class RootStream:
    """An HTTP server whose root path streams an MP3 tone without end."""

    def __init__(self, folder):
        mp3 = folder / "tone.mp3"
        subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                        "sine=frequency=500:sample_rate=44100:duration=5", "-ac", "2", "-c:a", "libmp3lame",
                        "-b:a", "128k", "-write_xing", "0", "-id3v2_version", "0", str(mp3)], check=True)
        data = mp3.read_bytes()

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):  # noqa: N802 - http.server's naming
                self.send_response(200 if self.path == "/" else 404)
                self.send_header("Content-Type", "audio/mpeg")
                self.send_header("icy-name", "Root Stream")
                self.end_headers()
                try:
                    while self.path == "/":
                        self.wfile.write(data)
                except OSError:
                    pass

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        self.url = f"http://127.0.0.1:{self.httpd.server_address[1]}"
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


def test_stream_at_a_servers_root_keeps_playing_with_the_check_on(icecast_pair, make_station):
    station = make_station(start=False, settings={"CheckSource": "1", "FastFailover": "1"},
                           schedule=[rig.entry(day, "000000", 1) for day in range(1, 8)])
    root = RootStream(station.folder.root)
    try:
        station.folder.write_sources({0: {"n": "Rig Backup", "u": icecast_pair[1].url("/backup")},
                                      1: {"n": "Root", "u": root.url}})
        station.start()
        rig.wait_for(lambda: playing(station, "Root Stream"), 15, "the root stream to play")
        pids = rig.pids_by_name("mplayer1")
        passed_at = set()

        def passed_four_checks(console):
            if console.get("lblFailText") == ONLINE:
                passed_at.add(console["lblFailCheckTime"])
            return len(passed_at) >= 4

        station.wait_dump(passed_four_checks, 20, "four passed checks")
        console = station.dump()
        assert console["lblFailURL"] == root.url and console["SilenceFlag"] == "0"
        assert not any("FAILURE" in message for message in rig.air_messages(station))
        assert rig.pids_by_name("mplayer1") == pids and not rig.is_running("mplayer2")
    finally:
        root.close()
