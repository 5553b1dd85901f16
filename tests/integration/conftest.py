"""Fixtures of the integration tests: Icecast servers with tone streams
(shared per test module), station folders and running stations (per test),
and the clean-up that kills whatever was started, also when a test fails."""

from __future__ import annotations

import fcntl
import os
import sys
import tempfile

import pytest

sys.path.insert(0, os.path.dirname(__file__))

import rig  # noqa: E402

# The streams every module's server carries: mount -> feed settings. The
# frequencies differ so that a listener can tell them apart.
STREAMS = {
    "/backup": dict(frequency=330, name="Rig Backup", genre="Backup Tone",
                    url="http://example.org/backup"),
    "/one": dict(frequency=440, name="Rig One", genre="Tone One", url="http://example.org/one"),
    "/two": dict(frequency=550, name="Rig Two", genre="Tone Two", url="http://example.org/two"),
    "/three": dict(frequency=660, name="Rig Three", genre="Tone Three",
                   url="http://example.org/three"),
}


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    setattr(item, f"rep_{report.when}", report)


def _failed(request):
    rep = getattr(request.node, "rep_call", None)
    return rep is None or rep.failed


@pytest.fixture(scope="session", autouse=True)
def clean_players():
    """Players left by an earlier run would be taken for ours. Players are
    found and killed by name, so two runs on one machine (two checkouts) take
    turns: the second waits here for the first to end."""
    with open(os.path.join(tempfile.gettempdir(), "brackenfield-players.lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        rig.kill_players()
        yield
        rig.stop_all()


def _icecast_with_streams():
    server = rig.IcecastServer().start()
    server.add_feeds(STREAMS)
    return server


@pytest.fixture(scope="session")
def icecast():
    """One Icecast server with the tone streams of STREAMS, shared by the whole
    session (a fresh feed makes MPlayer wait for its cache; a mature one plays
    at once). A test that stops a feed or the server starts it again before it
    ends; a test that needs servers to fail uses `icecast_pair`."""
    server = _icecast_with_streams()
    yield server
    server.stop()
    if not os.environ.get("RIG_KEEP"):
        rig.remove_tree(server.folder)


@pytest.fixture(scope="module")
def icecast_pair():
    """Two independent servers, each with the tone streams of STREAMS: the
    selected source can live on one and the backup on the other."""
    first = _icecast_with_streams()
    second = _icecast_with_streams()
    yield first, second
    for server in (first, second):
        server.stop()
        if not os.environ.get("RIG_KEEP"):
            rig.remove_tree(server.folder)


@pytest.fixture
def make_station(request):
    """Factory: make_station(settings=..., sources=..., schedule=..., players=True,
    start=True, **Station options) builds a station folder and runs the program
    in it. Everything is killed at the end of the test; on failure the
    program's output and the player logs are printed."""
    stations: list[rig.Station] = []

    def make(settings=None, sources=None, schedule=None, players=True, start=True, **options):
        folder = rig.StationFolder(settings=settings, sources=sources, schedule=schedule,
                                   players=players)
        station = rig.Station(folder, **options)
        stations.append(station)
        if start:
            station.start()
        return station

    yield make

    failed = _failed(request)
    for station in stations:
        station.kill()
    rig.kill_players()
    for station in stations:
        if failed:
            print(f"--- station folder {station.folder.root}")
            print("--- program output:\n" + station.output()[-3000:])
            for slot in (1, 2):
                log = station.player_log(slot)
                if log is not None:
                    print(f"--- mplayer{slot}.log:\n{log[-2000:]}")
            print("--- console: " + rig.summarise(station.dump()))
        elif not os.environ.get("RIG_KEEP"):
            rig.remove_tree(station.folder.root)
    rig.wait_for(lambda: not any(rig.is_running(n) for n in rig.PLAYER_NAMES), 5.0,
                 "the players to end after the test")
