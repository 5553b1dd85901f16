"""The world's air: the kinds of source stations relay (rig.world), each from a real encoder through a real server, each
on a station of its own, side by side. Each is played, heard, titled, stalled (the backup takes over) and comes back;
an HTTPS source whose certificate nobody trusts fails over with the reason."""

import rig
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
