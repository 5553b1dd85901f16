"""No dead air with the fast health check: a dead mount on a live server fails
over at the second failed check, and on the return the selected source's
player starts while the backup's still plays. (The return from a dead
server is part of the station day.)"""

import rig

ONLINE = "SELECTED SOURCE ONLINE"


def test_dead_mount_fails_over_within_two_checks_and_returns_without_a_gap(icecast, make_station):
    feed = icecast.feeds["/two"]
    station = make_station(settings={"CheckSource": "1", "FastFailover": "1"},
                           sources={0: {"n": "Rig Backup", "u": icecast.url("/backup")},
                                    1: {"n": "Selected", "u": icecast.url("/two")}},
                           schedule=[rig.entry(day, "000000", 1) for day in range(1, 8)])
    rig.wait_for(lambda: rig.playing(station, "Rig Two"), 15, "source 1 to play")
    station.wait_dump(lambda d: d.get("lblFailText") == ONLINE, 10, "a passed check")
    try:
        feed.stop()
        console = station.wait_dump(lambda d: d.get("SilenceFlag") == "1" and d, 15, "the failover")
        assert icecast.running() and console["lblFailURL"] == icecast.url("/two")
        assert rig.air_messages(console)[:3] == [
            "  SYS - SERVER OR LINK FAILURE", "  SYS - SERVER OR LINK FAILURE - FIRST CHECK", "  SYS - " + ONLINE]
        backup = rig.wait_for(lambda: rig.playing(station, "Rig Backup"), 15, "the backup to play")
        rig.wait_gone(f"mplayer{3 - backup}", 10)
    finally:
        feed.start()
    rig.wait_for(lambda: rig.is_running("mplayer1") and rig.is_running("mplayer2"), 60, "both players in the return")
    assert rig.wait_for(lambda: rig.playing(station, "Rig Two"), 15, "the selected source again") == 3 - backup
    rig.wait_gone(f"mplayer{backup}")
    station.wait_dump(lambda d: (d["SilenceFlag"], d["lblFailText"]) == ("0", ONLINE), 10, "the return on the console")
