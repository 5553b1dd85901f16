"""Checks of the rig itself, without the program: the real MPlayer, started
through a player link on an Icecast tone stream, prints the header and title
lines that the station's log reader depends on, runs under the link's name,
and ends by itself a few seconds after its server goes away."""

import os
import subprocess

import rig

# Lines MPlayer (Debian 12, "MPlayer UNKNOWN-12") writes to standard output
# for the rig's streams, in this order; each line ends with a lone LF.
HEADER_LINES = [
    "Name   : Rig One",
    "Genre  : Tone One",
    "Website: http://example.org/one",
    "Public : no",
    "Bitrate: 128kbit/s",
    "Selected audio codec: [mpg123] afm: mpg123 (MPEG 1.0/2.0/2.5 layers I, II, III)",
    "Starting playback...",
]


def start_player(folder, slot, args, log_name):
    env = dict(os.environ, MPLAYER_HOME=str(folder.mplayer_home))
    with open(folder.file(log_name), "wb") as log:
        return subprocess.Popen([f"./mplayer{slot}", *args, "-quiet", "-noconsolecontrols"],
                                cwd=folder.path, env=env, stdin=subprocess.DEVNULL, stdout=log,
                                stderr=subprocess.DEVNULL, start_new_session=True)


def read_log(folder, name):
    return folder.file(name).read_bytes().decode("latin-1")


def test_player_prints_headers_and_titles_under_its_link_name(icecast, tmp_path):
    folder = rig.StationFolder(root=tmp_path)
    icecast.set_title("/one", "Rig Artist - First Song")
    try:
        start_player(folder, 1, [icecast.url("/one")], "mplayer1.log")
        rig.wait_for(lambda: "Starting playback..." in read_log(folder, "mplayer1.log"), 15,
                     "MPlayer to start playing")
        lines = read_log(folder, "mplayer1.log").split("\n")
        positions = [lines.index(line) for line in HEADER_LINES]
        assert positions == sorted(positions)
        assert "ICY Info: StreamTitle='Rig Artist - First Song';" in lines

        icecast.set_title("/one", "Café 'Quoted' & Co")
        # MPlayer passes the title's bytes through unchanged (UTF-8 here).
        expected = "ICY Info: StreamTitle='Café 'Quoted' & Co';".encode().decode("latin-1")
        rig.wait_for(lambda: expected in read_log(folder, "mplayer1.log").split("\n"), 5,
                     "the new title line")

        # The player and its cache process both carry the link's name.
        pids = rig.pids_by_name("mplayer1")
        assert len(pids) == 2
        assert not rig.is_running("mplayer")
        rig.kill_by_name("mplayer1")
        rig.wait_gone("mplayer1", 3)
    finally:
        rig.kill_by_name("mplayer1")


def test_player_ends_by_itself_when_its_feed_stops(icecast, tmp_path):
    folder = rig.StationFolder(root=tmp_path)
    feed = icecast.feeds["/three"]
    try:
        start_player(folder, 2, [icecast.url("/three")], "mplayer2.log")
        rig.wait_for(lambda: "Starting playback..." in read_log(folder, "mplayer2.log"), 15,
                     "MPlayer to start playing")
        feed.stop()
        rig.wait_gone("mplayer2", 10)
        assert "Exiting... (End of file)" in read_log(folder, "mplayer2.log")
    finally:
        rig.kill_by_name("mplayer2")
        feed.start()


def test_player_without_shell_takes_semicolons_literally(icecast, tmp_path):
    folder = rig.StationFolder(root=tmp_path)
    try:
        start_player(folder, 1, [icecast.url("/one") + ";touch", "injected"], "mplayer1.log")
        rig.wait_gone("mplayer1", 10)
        log = read_log(folder, "mplayer1.log")
        assert "Playing injected." in log
        assert not folder.file("injected").exists()
    finally:
        rig.kill_by_name("mplayer1")


def test_server_restarts_on_the_same_port_with_its_feeds():
    server = rig.IcecastServer().start()
    try:
        server.add_feeds({"/a": dict(frequency=300), "/b": dict(frequency=400)})
        port = server.port
        server.restart()
        assert server.port == port
        assert server.mounts() == {"/a", "/b"}
    finally:
        server.stop()
        rig.remove_tree(server.folder)
