"""The world's air: the kinds of source stations relay (rig.world), each from a real encoder through a real server, each
on a station of its own, side by side. Each is played, heard, titled, stalled (the backup takes over) and comes back;
an HTTPS source whose certificate nobody trusts fails over with the reason; the end of both certificates is said."""

import json
import os
import re
import signal
import subprocess

import rig
from rig.station import BINARY
from rig.world import World

WAIT = 90  # many stations start, fail over and come back at once on a small machine


def test_every_kind_of_source_plays_is_heard_titled_and_replaced(icecast_pair, make_station, monkeypatch, tmp_path):
    monkeypatch.setenv("SSL_CERT_FILE", "")  # World sets it; monkeypatch puts it back
    server = icecast_pair[1]
    world = World(server, tmp_path / "tls")
    stations = {kind: make_station(settings={"CheckSource": "1", "FastFailover": "1"},
                                   schedule=[rig.entry(d, "000000", 1) for d in range(1, 8)],
                                   sources={0: {"n": "Rig Backup", "u": server.url("/backup")},
                                            1: {"n": f"World {kind}", "u": address}})
                for kind, address in world.addresses.items()}

    def on(number, state):
        return lambda d: (d.get("CurrentSource"), d.get("Failover")) == (str(number), state)

    def heard_and_playing(station):
        def check(d):
            slot = d.get("CurrentMplayer")
            return (on(1, "normal")(d) and d.get("Air", "").startswith("sound moving") and slot in ("1", "2")
                    and "Starting playback..." in station.player_log(int(slot)))
        return check

    try:
        bad = stations.pop("untrusted")
        for kind, station in stations.items():
            station.wait_dump(heard_and_playing(station), WAIT, f"the {kind} source played and heard")
        titles = {kind: world.title(kind) for kind in stations}
        for kind, station in stations.items():
            rig.wait_for(lambda: titles[kind].encode() in (station.folder.read("metadata.txt") or b""), WAIT,
                         f"the {kind} title in metadata.txt")

        # A certificate nobody trusts: the backup, with the reason.
        bad.wait_dump(on(0, "failover"), WAIT, "the backup for the untrusted source")
        assert any("certificate" in m.lower() for m in rig.air_messages(bad.dump())), rig.air_messages(bad.dump())[:4]
        # Both certificates end in two days: said within a minute of the start, the untrusted one's too.
        for kind, station in (("https", stations["https"]), ("untrusted", bad)):
            said = re.compile(rf"  SYS - SOURCE 1 World {kind}: CERTIFICATE EXPIRES \d{{4}}-\d\d-\d\d \(1 DAY\)\r\n")
            rig.wait_for(lambda: said.search((station.folder.read("station.log") or b"").decode("latin-1")), WAIT,
                         f"the end of the {kind} certificate said")

        # Each stalls (its encoder stops, its server keeps the connection): the backup, then the source again.
        world.stall()
        for kind, station in stations.items():
            station.wait_dump(on(0, "failover"), WAIT, f"the backup for the stalled {kind} source")
        world.stall(False)
        for kind, station in stations.items():
            rig.wait_for(lambda: world.revive() or heard_and_playing(station)(station.dump()), 2 * WAIT,
                         f"the {kind} source back on air")
    finally:
        world.close()


def test_a_chain_of_three_passes_over_a_dead_standby_and_each_link_returns_in_turn(icecast_pair, make_station):
    """A chain of three heard on standby: the first link's mount goes before the selected source dies, so the station
    says the standby fails first and goes straight to the second, whose player plays before the failing one stops; a
    restart of the program keeps the second on air; then the first link steps back up and the selected source returns.
    A webhook hears the failover begin and, from the restarted program, its end, and the standby's trouble;
    --notify-test reaches it too. A reload then asks for a player refresh every 36 s: the selected source starts on
    the other slot and plays before the old player stops, and it is no switch."""
    live = icecast_pair[0]
    hook = rig.StubServer()
    hook_url = hook.url.replace("http://", "http://user:pw@") + "/hooks/T0KEN"
    feeds = {mount: live.add_feed(mount, frequency=f) for mount, f in (("/sel", 500), ("/link1", 600), ("/link2", 700))}
    station = make_station(settings={"CheckSource": "1", "FastFailover": "1", "StandbyCheck": "1", "BackupChain": "7,8",
                                     "KeepAirOnStart": "1", "NotifyURL": hook_url},
                           sources={1: {"n": "Selected", "u": live.url("/sel")}, 7: {"n": "Link One", "u": live.url("/link1")},
                                    8: {"n": "Link Two", "u": live.url("/link2")}},
                           schedule=[rig.entry(d, "000000", 1) for d in range(1, 8)])

    def on(number, state):
        return lambda d: (d.get("CurrentSource"), d.get("Failover")) == (str(number), state)

    def said(start):
        return lambda d: any(m.startswith(start) for m in rig.air_messages(d))

    try:
        station.wait_dump(lambda d: on(1, "normal")(d) and d.get("Air", "").startswith("sound moving"), WAIT,
                          "the selected source on air and heard")
        feeds["/link1"].stop()
        station.wait_dump(said("  SYS - STANDBY 7 Link One FAILING: "), WAIT, "the dead standby said")
        feeds["/sel"].stop()
        station.wait_dump(lambda d: on(8, "failover")(d) and d.get("OverlapSlot") == "0", WAIT, "the second link on air")
        messages = rig.air_messages(station.dump())[::-1]  # oldest first
        standby = next(i for i, m in enumerate(messages) if m.startswith("  SYS - STANDBY 7 Link One FAILING"))
        failover = next(i for i, m in enumerate(messages) if m.startswith("  SYS - FAILOVER: SOURCE 1 Selected"))
        assert standby < failover, messages
        assert not any(m.startswith("  SYS - SWITCH TO 7 ") for m in messages[failover:]), messages
        assert "Starting playback..." in station.player_log(int(station.dump()["CurrentMplayer"]))

        station.kill()
        station.start()
        station.wait_dump(lambda d: on(8, "failover")(d) and said("  SYS - KEPT ON AIR: ")(d), WAIT, "the link kept")
        assert "STANDING IN FOR SOURCE 1" in station.dump()["txtAIR"], rig.air_messages(station.dump())
        assert "8 Link Two (on air)" in station.dump()["lblChain"], station.dump()["lblChain"]

        feeds["/link1"].start()
        station.wait_dump(lambda d: on(7, "failover")(d) and said("  SYS - SWITCH TO 7 Link One (step up)")(d), WAIT,
                          "the first link stepped back up")
        feeds["/sel"].start()
        station.wait_dump(on(1, "normal"), WAIT, "the selected source back")

        def told():
            return [(p, t, json.loads(b)) for p, t, b in hook.posts]
        rig.wait_for(lambda: any(m["event"] == "return" for _, _, m in told()), WAIT, "the failover's end told")
        messages = told()
        assert {p for p, _, _ in messages} == {"/hooks/T0KEN"} and {t for _, t, _ in messages} == {"application/json"}
        said = [(m["event"], m["state"], m["source"]) for _, _, m in messages]
        assert said.count(("failover", "begin", 1)) == 1 and said.count(("return", "end", 1)) == 1, said
        assert said.index(("standby", "begin", 7)) < said.index(("failover", "begin", 1)) < said.index(
            ("return", "end", 1)), said
        assert messages[0][2]["station"] == station.folder.path.name and "T0KEN" not in str(station.folder.read(
            "station.log")), messages[0]

        test = subprocess.run([BINARY, "--notify-test", str(station.folder.path)], capture_output=True, timeout=30)
        out = test.stdout.decode()
        assert test.returncode == 0 and f"the webhook at {hook.url} answered HTTP 200" in out and "T0KEN" not in out, out
        assert json.loads(hook.posts[-1][2])["event"] == "test"

        ini = station.folder.file("brackenfield.ini")
        ini.write_bytes(ini.read_bytes() + b"PlayerRefreshHours=0.01\r\n")
        os.kill(station.proc.pid, signal.SIGHUP)
        refreshes = lambda d: [m for m in rig.air_messages(d) if " REFRESHED AFTER " in m]  # noqa: E731
        station.wait_dump(refreshes, WAIT, "a refresh")
        line = refreshes(station.dump())[0]
        assert re.fullmatch(r"  SYS - PLAYER mplayer[12] REFRESHED AFTER 0\.\d H \(\d+ MB\)", line), line
        old = int(line[len("  SYS - PLAYER mplayer")])

        def old_stopped():
            stopped = not rig.is_running(f"mplayer{old}", station.folder.path)
            assert not stopped or "Starting playback..." in station.player_log(3 - old), "the old player stopped first"
            return stopped

        rig.wait_for(old_stopped, WAIT, "the old player stopped after the refresh")
        messages = rig.air_messages(station.dump())
        assert on(1, "normal")(station.dump()), messages[:4]
        assert not any("SWITCH TO" in m for m in messages[:messages.index(line)]), messages[:4]
    finally:
        hook.close()
        for feed in feeds.values():
            feed.stop(wait=False)
