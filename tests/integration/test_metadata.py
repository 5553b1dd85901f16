"""Titles from a real Icecast mount through the real player to the output
files: the plain title and the stream's header labels, a paid item with its
billing file and log line, a system command kept out of metadata.txt, UTF-8
bytes passed unchanged, and readers that never catch a file half-written.

One station plays source 1 for the whole module; each test sets titles of
its own on the mount and waits for the metadata tick (every 5 s)."""

import re
import threading
import time

import pytest

import rig

MOUNT = "/one"
STRAPLINE = "Rig Default Strapline"
CRLF = b"\r\n"
AIR_LINE = re.compile(r"^ \d{4}-\d\d-\d\d \d\d:\d\d:\d\d(.*)$")
# Two metadata ticks and the player's title line, with room for a busy machine.
TITLE_WAIT = 12.0


@pytest.fixture(scope="module")
def station(icecast, request):
    """The module's station, on source 1 with the system-command filter on,
    playing until the module ends."""
    failures_before = request.session.testsfailed
    today = rig.Today(span=10)
    folder = rig.StationFolder(
        settings={"DefaultStrapline": STRAPLINE, "FilterSystem": "1"},
        sources={0: {"n": "Rig Backup", "u": icecast.url("/backup")},
                 1: {"n": "Rig One", "u": icecast.url(MOUNT)}},
        schedule=[today.entry(0, 1)])
    station = rig.Station(folder)
    try:
        station.start()
        rig.wait_for(lambda: rig.player_log_has(station, 1, "Starting playback...\n"), 15,
                     "source 1 to play on slot 1")
        station.wait_dump(lambda d: d.get("CurrentMplayer") == "1", 5, "slot 1 on the console")
        yield station
    finally:
        station.kill()
        rig.kill_players()
        if request.session.testsfailed != failures_before:
            print(f"--- station folder {folder.root}")
            print("--- program output:\n" + station.output()[-3000:])
            print("--- console: " + rig.summarise(station.dump()))
        else:
            rig.remove_tree(folder.root)


def file_version(station, name):
    """What tells one write of an output file from the next: every write
    replaces the file, so its modification time moves on."""
    stat = station.folder.file(name).stat()
    return stat.st_ino, stat.st_mtime_ns


def wait_ticks(station, count):
    """Waits until metadata.txt has been written `count` more times, i.e.
    `count` metadata ticks have run."""
    seen = [file_version(station, "metadata.txt")]

    def written():
        version = file_version(station, "metadata.txt")
        if version != seen[-1]:
            seen.append(version)
        return len(seen) > count

    rig.wait_for(written, 5.0 * count + 4, f"{count} more metadata ticks", interval=0.05)


def wait_file(station, name, content, timeout=TITLE_WAIT):
    rig.wait_for(lambda: station.folder.read(name) == content, timeout,
                 f"{name} to hold {content!r} (now {station.folder.read(name)!r})")


def air_messages(station):
    """Messages of the station log, newest first, without date and time."""
    return [AIR_LINE.match(line).group(1) for line in station.air_log()]


def test_title_reaches_metadata_file_and_stream_labels(icecast, station):
    icecast.set_title(MOUNT, "Artist - Song")
    wait_file(station, "metadata.txt", b"Artist - Song" + CRLF)
    console = station.wait_dump(lambda d: d.get("lblRXmetadata") == "Artist - Song" and d, 3,
                                "the title on the console")
    assert console["lblStreamName"] == "Rig One"
    assert console["lblStreamGenre"] == "Tone One"
    assert console["lblStreamBitrate"] == "128kbit/s"
    assert console["RXmetadata"] == "Artist - Song"
    assert station.folder.read("metaextra.txt") == b"Artist - Song" + CRLF


def test_paid_title_writes_tallyway_and_is_logged_once(icecast, station):
    title = "$ Acme - Spring Sale"
    assert station.folder.read("tallyway.txt") is None
    set_at = time.time()
    icecast.set_title(MOUNT, title)
    tallyway = rig.wait_for(lambda: station.folder.read("tallyway.txt"), TITLE_WAIT,
                            "tallyway.txt to be written")
    match = re.fullmatch(rb"(\d{8}-\d{6})\r\n(.*)\r\n", tallyway, re.S)
    assert match, tallyway
    assert match.group(2) == title.encode()
    stamp = time.mktime(time.strptime(match.group(1).decode(), "%Y%m%d-%H%M%S"))
    assert set_at - 1 <= stamp <= time.time() + 1, f"stamp {match.group(1)!r}"

    # metadata.txt is written after tallyway.txt in the same tick.
    rig.wait_for(lambda: file_version(station, "metadata.txt")[1]
                 >= file_version(station, "tallyway.txt")[1], 7, "the tick's metadata.txt")
    assert station.folder.read("metadata.txt") == STRAPLINE.encode() + CRLF
    console = station.dump()
    assert console["RXmetadata"] == STRAPLINE
    assert console["TallywayMM"] == title
    assert console["TallywayTT"] == match.group(1).decode()
    assert console["lblTraffic"] == time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(stamp)) \
        + "  PAY - " + title

    # The same title on the next tick is not billed again.
    wait_ticks(station, 1)
    assert air_messages(station).count("  PAY - " + title) == 1
    assert station.folder.read("tallyway.txt") == tallyway


def test_system_command_is_kept_out_of_metadata_and_passed_to_metaextra(icecast, station):
    command = "!!*SYS*!!*TA1*!! traffic"
    icecast.set_title(MOUNT, command)
    # metaextra.txt is written after metadata.txt in the same tick.
    wait_file(station, "metaextra.txt", command.encode() + CRLF)
    assert station.folder.read("metadata.txt") == STRAPLINE.encode() + CRLF
    console = station.dump()
    assert console["lblMetadataOutput"] == STRAPLINE
    assert console["lblMetadataExtra"] == command
    assert air_messages(station).count("  API - " + command) == 1


def test_utf8_title_reaches_metadata_file_byte_for_byte(icecast, station):
    title = "Café – Ünïcode"
    icecast.set_title(MOUNT, title)
    wait_file(station, "metadata.txt", title.encode("utf-8") + CRLF)
    assert station.folder.read("metaextra.txt") == title.encode("utf-8") + CRLF


def test_reader_never_sees_an_empty_or_unfinished_metadata_file(icecast, station):
    titles = [f"Reader Artist {i} - " + "Song " * (1 + 7 * (i % 3)) for i in range(12)]
    icecast.set_title(MOUNT, titles[0])
    wait_file(station, "metadata.txt", titles[0].encode() + CRLF)
    allowed = {t.encode() + CRLF for t in titles}

    path = station.folder.file("metadata.txt")
    stop = threading.Event()
    reads = []
    bad = []
    seen = set()

    def reader():
        while not stop.is_set():
            try:
                data = path.read_bytes()
            except FileNotFoundError:
                data = None
            reads.append(1)
            if data not in allowed:
                bad.append(data)
            else:
                seen.add(data)

    thread = threading.Thread(target=reader, daemon=True)
    thread.start()
    try:
        for title in titles[1:]:
            time.sleep(10.0 / len(titles))
            icecast.set_title(MOUNT, title)
        # The last title's tick, so that the reader sees at least one rewrite
        # with a new title.
        wait_file(station, "metadata.txt", titles[-1].encode() + CRLF)
    finally:
        stop.set()
        thread.join(5)

    assert not bad, f"{len(bad)} bad reads of {len(reads)}, first {bad[0]!r}"
    assert len(seen) >= 2, seen
    assert len(reads) > 1000
