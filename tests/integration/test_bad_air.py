"""Bad air: what a station hears, not only whether servers answer. With the fast health check and silence detection,
the real program on real MPlayer and Icecast meets a stream that stalls while its server keeps the connection and hands
each new listener a burst of its buffer, a mount
fed digital silence, an old server that answers "ICY 200 OK", a server that sends a header without end, and then the
backup dying too: each is replaced by the backup (or the last resort file) and everything comes back. A server that
floods titles, every other one paid, stays on air: its player's log is cut in place, tallyway.txt follows the titles and
the API answers meanwhile. The program's memory and the logs stay bounded. Only the order of events is asserted."""

import os
import re
import signal
import subprocess
import time
import urllib.request

import rig

KEY = "rigapikey"
WAIT = 60  # a failover or return: seconds of detection and a player's start, on a loaded machine


def set_source(station, number):
    with urllib.request.urlopen(f"http://127.0.0.1:{station.api_port}/api/setcurrent.php?id={KEY}{number}",
                                timeout=15) as reply:
        return reply.read()


def rss_kib(station):
    for line in open(f"/proc/{station.proc.pid}/status"):
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    return 0


def test_bad_air_is_heard_and_replaced(icecast_pair, make_station):
    live, spare = icecast_pair
    live.add_feed("/quiet", frequency=0, name="Rig Quiet")
    relay = rig.StreamStandIn(live.url("/one"))
    old = rig.StreamStandIn(live.url("/two"), rig.ICY)
    endless = rig.StreamStandIn(live.url("/one"), rig.ENDLESS_HEADER)
    # Some 70 KB of the player's log a second: MPlayer prints at most some 260 bytes of a title. The stream monitor
    # (FFmpeg) hears MP3 split every 64 bytes as silence, so only the player gets this flood.
    flood = rig.StreamStandIn(live.url("/one"), rig.FLOOD, metaint=64, title_bytes=240, agent=b"MPlayer", paid=True)
    # A host name of the station's own /etc/hosts (bind-mounted over the system's in a mount namespace of its own),
    # first at 127.0.0.2, then moved to 127.0.0.3, the same port at both.
    hosts = live.folder / "hosts"
    system_hosts = open("/etc/hosts").read()
    hosts.write_text(system_hosts + "127.0.0.2 rig-moving.test\n")
    here = rig.StreamStandIn(live.url("/one"), host="127.0.0.2")
    there = rig.StreamStandIn(spare.url("/backup"), host="127.0.0.3", port=here.port)
    sources = {0: {"n": "Rig Backup", "u": spare.url("/backup")}, 1: {"n": "Relay", "u": relay.url("/one")},
               2: {"n": "Quiet", "u": live.url("/quiet")}, 3: {"n": "Old Server", "u": old.url("/")},
               4: {"n": "Endless", "u": endless.url("/")}, 5: {"n": "Flood", "u": flood.url("/")},
               6: {"n": "Moving", "u": f"http://rig-moving.test:{here.port}/"}}
    today = rig.Today(span=600)
    station = make_station(settings={"CheckSource": "1", "FastFailover": "1", "SilenceSeconds": "4",
                                     "LastResortFile": "loop.mp3", "APIallowed": "1", "APIKey": KEY},
                           sources=sources, schedule=[today.entry(0, 1)], api_port=rig.free_port(),
                           wrapper=["unshare", "-m", "sh", "-c", 'mount --bind "$0" /etc/hosts && exec "$@"', str(hosts)])
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i", "sine=frequency=880:duration=5",
                    "-c:a", "libmp3lame", str(station.folder.file("loop.mp3"))], check=True)

    def on_air(number, state="normal"):
        return lambda d: (d.get("CurrentSource"), d.get("Failover")) == (str(number), state)

    def failed_over(source, reason):
        station.wait_dump(on_air(0, "failover"), WAIT, f"the backup for source {source}")
        # From the station log's file: an old player that plays on (the flood) may push the line out of the console's.
        failovers = [line for line in station.folder.read("station.log").decode("latin-1").splitlines()
                     if "  SYS - FAILOVER: " in line]
        assert f"  SYS - FAILOVER: SOURCE {source} " in failovers[-1] and reason in failovers[-1], failovers[-3:]

    def heard():
        return lambda d: d["Air"].startswith("sound moving")

    def since_reload(dump, start):
        # Whether a message that starts so came after the last reading of the settings.
        messages = rig.air_messages(dump)
        last = next(i for i, m in enumerate(messages) if "SETTINGS READ AGAIN" in m)
        return any(m.startswith(start) for m in messages[:last])

    def restarts():
        return (station.folder.read("station.log") or b"").count(b"SYS - RESTARTING MPLAYER")

    try:
        station.wait_dump(on_air(1), 20, "the relay on air")
        station.wait_dump(heard(), 20, "the relay heard")

        # A player that keeps dying while its stream flows: started again at once twice, then held, and the hold is
        # a failover: the backup plays meanwhile, and the relay comes back once its player may start and plays.
        for restart in (0, 1, 2):
            station.wait_dump(lambda d: restarts() == restart and on_air(1)(d) and d["OverlapSlot"] == "0" and
                              rig.is_running(f"mplayer{d['CurrentMplayer']}") and
                              rig.player_log_has(station, int(d["CurrentMplayer"]), "Starting playback..."),
                              WAIT, f"the relay playing after {restart} restarts")
            station.stop_players()
        station.wait_dump(lambda d: d["CurrentSource"] == "0" and any(
            m.startswith("  SYS - FAILOVER: SOURCE 1 Relay FAILED (player restarts held (2 in a row)) - THE BACKUP")
            for m in rig.air_messages(d)), WAIT, "the backup while the relay's restarts are held")
        station.wait_dump(on_air(1), 60 + WAIT, "the relay back after the hold")
        station.wait_dump(heard(), 20, "the relay heard")

        # The relay's upstream hangs: the server keeps the connection and sends
        # nothing, but hands each new listener the last 64 KB it passed on.
        relay.stall()
        failed_over(1, "no audio for")
        # The backup holds while the relay hangs, also when the relay's monitor
        # gives up its connection (5-10 s after the stall) and connects again
        # to a burst, again and again.
        time.sleep(20)
        dump = station.dump()
        messages = rig.air_messages(dump)
        assert relay.bursts >= 2, relay.bursts
        since_stall = messages[:next(i for i, m in enumerate(messages) if "FAILOVER: SOURCE 1 Relay" in m)]
        assert on_air(0, "failover")(dump) and not any("(return)" in m for m in since_stall), messages[:5]
        relay.resume()
        station.wait_dump(on_air(1), WAIT, "the relay back")
        station.wait_dump(heard(), 20, "the relay heard again")

        # A mount fed digital silence.
        assert set_source(station, 2).endswith(b"Source: 2\r\nOK\r\n")
        failed_over(2, "silent for")

        # A reload that turns the check off during the failover ends it: the selected source goes back on air, as a
        # start without the check would put it; with the check on again its silence fails it over once more.
        ini = station.folder.file("brackenfield.ini")
        settings = ini.read_bytes()
        ini.write_bytes(settings.replace(b"CheckSource=1", b"CheckSource=0"))
        os.kill(station.proc.pid, signal.SIGHUP)
        station.wait_dump(lambda d: on_air(2)(d) and "  SYS - SWITCH TO 2 Quiet (return)" in rig.air_messages(d),
                          WAIT, "the check off: the silent source back")
        ini.write_bytes(settings)
        os.kill(station.proc.pid, signal.SIGHUP)
        station.wait_dump(lambda d: on_air(0, "failover")(d) and since_reload(d, "  SYS - FAILOVER: SOURCE 2 Quiet"),
                          WAIT, "the silent source failed over again")

        # During the failover an old server is chosen: it answers "ICY 200 OK"
        # and goes on air once it is heard.
        set_source(station, 3)
        station.wait_dump(on_air(3), WAIT, "the old server on air")
        station.wait_dump(heard(), 20, "the old server heard")
        rig.wait_for(lambda: rig.player_log_has(station, int(station.dump()["CurrentMplayer"]),
                                                "Starting playback..."), 20, "the old server playing")

        # A flood of titles, every other one paid, stays on air: its player's log
        # is cut in place before it reaches 4 MB, tallyway.txt follows, and the API answers.
        set_source(station, 5)
        station.wait_dump(lambda d: on_air(5)(d) and d["lblRXmetadata"].lstrip("$ ").startswith("Flood "), WAIT,
                          "the flood")
        log = station.folder.file(f"mplayer{station.dump()['CurrentMplayer']}.log")
        sizes = [(log.stat().st_ino, log.stat().st_size)]  # the same file grows and shrinks: no new player's log
        rig.wait_for(lambda: sizes.append((log.stat().st_ino, log.stat().st_size)) or sizes[-1][1] < sizes[-2][1],
                     60, "the log cut")
        sent = flood.titles
        rig.wait_for(lambda: int(re.search(rb"Flood (\d+)", station.folder.read("tallyway.txt"))[1]) > sent, 20,
                     "tallyway.txt following")
        with urllib.request.urlopen(f"http://127.0.0.1:{station.api_port}/api/getcurrent.php?id={KEY}",
                                    timeout=15) as reply:
            assert reply.read().startswith(b"Source: 5\r\n")
        assert len(set(ino for ino, _ in sizes)) == 1 and max(size for _, size in sizes) < 4 << 20, sizes[-3:]
        messages = rig.air_messages(station.dump())[:6]  # the flood's player never taken for hung, nor restarted
        assert on_air(5)(station.dump()) and not any("HUNG" in m or "ENDED" in m for m in messages), messages

        # A server that sends a header without end: no audio, and the station
        # does not grow.
        set_source(station, 4)
        failed_over(4, "")
        assert rss_kib(station) < 100 * 1024

        # The backup dies too: the last resort file plays in a loop.
        spare.feeds["/backup"].stop()
        station.wait_dump(lambda d: d["Failover"] == "last resort" and d["lblStudio"] == "LAST RESORT", WAIT,
                          "the last resort")
        rig.wait_for(lambda: rig.player_log_has(station, int(station.dump()["CurrentMplayer"]),
                                                "Playing loop.mp3."), 20, "the last resort playing")

        # Everything comes back: the backup, then the relay chosen by the API.
        spare.feeds["/backup"].start()
        station.wait_dump(on_air(0, "failover"), WAIT, "the backup back")
        set_source(station, 1)
        station.wait_dump(on_air(1), WAIT, "the relay back on air")
        assert rss_kib(station) < 100 * 1024

        # The host moves while it plays: its player and monitor play on from the old address; once that goes, the
        # next connections look the name up again and the source comes back from the new one.
        set_source(station, 6)
        station.wait_dump(lambda d: on_air(6)(d) and heard()(d), WAIT, "the moving host on air")
        hosts.write_text(system_hosts + "127.0.0.3 rig-moving.test\n")
        time.sleep(5)
        assert on_air(6)(station.dump()) and there.served == 0
        here.close()
        station.wait_dump(lambda d: on_air(6)(d) and heard()(d) and there.served >= 2, 2 * WAIT,
                          "the moving host back from its new address")
    finally:
        for standin in (relay, old, endless, flood, here, there):
            standin.close()
        spare.feeds["/backup"].start()
