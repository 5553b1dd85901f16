"""Fixtures of the integration tests: Icecast servers with tone streams,
stations that are killed at the end of each test (their output printed when
it failed), and the lock that makes runs on one machine take turns."""

import fcntl
import os
import sys
import tempfile

import pytest

sys.path.insert(0, os.path.dirname(__file__))

import rig  # noqa: E402

# The streams on every server, at frequencies a listener can tell apart.
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
    report = (yield).get_result()
    setattr(item, f"rep_{report.when}", report)


@pytest.fixture(scope="session", autouse=True)
def clean_players():
    """Players are found and killed by name, so two runs on one machine (two
    checkouts) take turns: the second waits here for the first to end. Players
    left by an earlier run would be taken for ours."""
    with open(os.path.join(tempfile.gettempdir(), "brackenfield-players.lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        rig.kill_players()
        yield
        rig.stop_all()


def _start_servers(count):
    servers = [rig.IcecastServer().start() for _ in range(count)]
    for server in servers:
        server.add_feeds(STREAMS)
    return servers


def _stop_servers(servers):
    for server in servers:
        server.stop()
        if not os.environ.get("RIG_KEEP"):
            rig.remove_tree(server.folder)


@pytest.fixture(scope="session")
def icecast():
    """One server with the STREAMS for the whole session (a mature feed plays
    at once; a fresh one makes the player wait for its cache). A test that
    stops a feed or the server starts it again; one that needs a server to
    fail uses `icecast_pair`."""
    servers = _start_servers(1)
    yield servers[0]
    _stop_servers(servers)


@pytest.fixture(scope="module")
def icecast_pair():
    """Two servers with the STREAMS: a source can live on one and the backup
    on the other."""
    servers = _start_servers(2)
    yield tuple(servers)
    _stop_servers(servers)


@pytest.fixture
def make_station(request):
    """make_station(settings=, sources=, schedule=, start=True, **Station options)
    builds a station folder and runs the program in it (start=False: the
    test starts it after changing the folder)."""
    stations = []

    def make(settings=None, sources=None, schedule=None, start=True, **options):
        stations.append(rig.Station(rig.StationFolder(settings, sources, schedule), **options))
        return stations[-1].start() if start else stations[-1]

    yield make

    rep = getattr(request.node, "rep_call", None)
    failed = rep is None or rep.failed
    for station in stations:
        station.kill()
    rig.kill_players()
    for station in stations:
        if failed:
            print(f"--- station folder {station.folder.root}\n--- program output:\n"
                  + station.output()[-3000:])
            for slot in (1, 2):
                print(f"--- mplayer{slot}.log:\n{(station.player_log(slot) or '')[-2000:]}")
            print("--- console: " + rig.summarise(station.dump()))
        elif not os.environ.get("RIG_KEEP"):
            rig.remove_tree(station.folder.root)
    rig.wait_for(lambda: not any(map(rig.is_running, rig.PLAYER_NAMES)), 5.0,
                 "the players to end after the test")
