"""Fixtures of the integration tests: Icecast servers with tone streams, stations that are killed at the end of each
test (their output printed when it failed), and the lock that makes runs on one machine take turns."""

import os
import sys

import pytest

sys.path.insert(0, os.path.dirname(__file__))

import rig  # noqa: E402

# The streams on every server, at frequencies a listener can tell apart.
STREAMS = {"/backup": dict(frequency=330, name="Rig Backup", genre="Backup Tone"),
           "/one": dict(frequency=440, name="Rig One", genre="Tone One"),
           "/two": dict(frequency=550, name="Rig Two", genre="Tone Two"),
           "/three": dict(frequency=660, name="Rig Three", genre="Tone Three")}


@pytest.fixture(scope="session", autouse=True)
def clean_players():
    # Players are found and killed by name, so two runs on one machine (two
    # checkouts) take turns: the second waits here for the first to end.
    # Players left by an earlier run would be taken for ours.
    with rig.players_lock():
        rig.kill_players()
        yield
        rig.stop_all()


@pytest.fixture(scope="session")
def icecast_pair():
    # Two servers with the STREAMS for the whole session (a mature feed plays
    # at once; a fresh one makes the player wait for its cache): the station
    # day stops and restarts the first; the second stays up.
    servers = [rig.IcecastServer().start() for _ in range(2)]
    for server in servers:
        server.add_feeds(STREAMS)
    yield tuple(servers)
    for server in servers:
        server.stop()
        if not os.environ.get("RIG_KEEP"):
            rig.remove_tree(server.folder)


@pytest.fixture
def make_station():
    """make_station(settings=, sources=, schedule=, **Station options) builds a station folder and runs the program in
    it. What the stations left is printed at the end (pytest shows it when the test failed); RIG_KEEP=1 keeps the
    folders."""
    stations = []

    def make(settings=None, sources=None, schedule=None, **options):
        stations.append(rig.Station(rig.StationFolder(settings, sources, schedule), **options))
        return stations[-1].start()

    yield make

    for station in stations:
        station.kill()
    rig.kill_players()
    for station in stations:
        logs = "".join(f"\n--- mplayer{slot}.log:\n{station.player_log(slot)[-2000:]}" for slot in (1, 2))
        print(f"--- station folder {station.folder.root}\n--- program output:\n{station.output()[-3000:]}{logs}"
              f"\n--- console: {rig.summarise(station.dump())}")
        if not os.environ.get("RIG_KEEP"):
            rig.remove_tree(station.folder.root)
    rig.wait_for(lambda: not any(map(rig.is_running, rig.PLAYER_NAMES)), 5.0, "the players to end after the test")
