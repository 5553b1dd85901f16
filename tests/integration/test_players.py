"""The program with real MPlayer players on a real Icecast server: the first
source goes on air on slot 1, a scheduled switch overlaps the two slots, a
player killed from outside is restarted by the watchdog, URLs reach the
player literally, and missing player links do not stop the station."""

import re
import time

import pytest

import rig

RESTART_LINE = "  SYS - RESTARTING MPLAYER - POSSIBLE NETWORK ISSUE"
AIR_LINE = re.compile(r"^ \d{4}-\d\d-\d\d \d\d:\d\d:\d\d(.*)$")


def sources(icecast, **urls):
    """The source list of these tests: the rig's streams as sources 0 to 3,
    with single URLs replaced through keyword arguments (u1="...")."""
    table = {
        0: {"n": "Rig Backup", "u": icecast.url("/backup")},
        1: {"n": "Rig One", "u": icecast.url("/one")},
        2: {"n": "Rig Two", "u": icecast.url("/two")},
        3: {"n": "Rig Three", "u": icecast.url("/three")},
    }
    for key, url in urls.items():
        table[int(key[1:])]["u"] = url
    return table


def air_messages(station):
    """Messages of the station log, newest first, without date and time."""
    messages = []
    for line in station.air_log():
        match = AIR_LINE.match(line)
        assert match, f"station log line without its stamp: {line!r}"
        messages.append(match.group(1))
    return messages


def wait_playing(station, slot, name, timeout=10.0):
    """Waits until the slot's player runs and its log shows the stream's name."""
    rig.wait_for(lambda: rig.is_running(f"mplayer{slot}"), timeout, f"mplayer{slot} to run")
    rig.wait_for(lambda: rig.player_log_has(station, slot, f"Name   : {name}\n"), timeout,
                 f"mplayer{slot}.log to show the stream name {name!r}")


def test_first_source_goes_on_air_and_scheduled_switch_overlaps_the_slots(icecast, make_station):
    today = rig.Today(span=60)
    due = today.later(15)
    schedule = [today.entry(0, 1), today.entry(due, 2)]
    with rig.ProcessWatcher() as watcher:
        station = make_station(sources=sources(icecast), schedule=schedule)

        wait_playing(station, 1, "Rig One", timeout=8)
        assert not rig.is_running("mplayer2")
        console = station.wait_dump(lambda d: d.get("CurrentSource") == "1" and d, 5,
                                    "CurrentSource 1")
        assert console["CurrentMplayer"] == "1"
        assert console["lblCurrentSource"] == icecast.url("/one")
        assert console["lblStudio"] == "Rig One"
        assert console["NextEvent"] == today.entry(due, 2)

        rig.wait_for(lambda: rig.is_running("mplayer2"), today.epoch(due) - time.time() + 5,
                     "the scheduled switch to start mplayer2")
        rig.wait_gone("mplayer1", 5)
        rig.wait_for(lambda: station.folder.read("mplayer1.log") is None, 3,
                     "mplayer1.log to be removed")

    wait_playing(station, 2, "Rig Two")
    console = station.wait_dump(lambda d: d.get("CurrentMplayer") == "2" and d, 5, "slot 2 on air")
    assert console["CurrentSource"] == "2"
    assert console["lblCurrentSource"] == icecast.url("/two")

    (one_start, one_end), = watcher.runs("mplayer1")
    (two_start, two_end), = watcher.runs("mplayer2")
    assert two_end is None
    # Both players ran together for the two seconds of the switch.
    assert one_start < two_start < one_end
    assert 1.8 <= one_end - two_start <= 3.0, f"overlap {one_end - two_start:.2f} s"


def test_watchdog_restarts_a_player_killed_from_outside_on_the_other_slot(icecast, make_station):
    today = rig.Today(span=40)
    station = make_station(sources=sources(icecast), schedule=[today.entry(0, 1)])
    wait_playing(station, 1, "Rig One")

    killed_at = time.time()
    rig.kill_by_name("mplayer1")
    rig.wait_gone("mplayer1", 3)

    station.wait_dump(lambda d: RESTART_LINE in d.get("txtAIR", ""), 17,
                      "the watchdog's restart line in the station log")
    assert air_messages(station)[0] == RESTART_LINE
    rig.wait_for(lambda: rig.is_running("mplayer2"), 3, "the restarted player on slot 2")
    restarted_after = rig.earliest_start("mplayer2") - killed_at
    assert restarted_after <= 16.5, f"source back after {restarted_after:.1f} s"

    error_log = station.folder.read("error.log")
    assert re.fullmatch(rb"RESTART \d\d-\d\d-\d{4} \d\d:\d\d:\d\d SOURCE:1\r\n", error_log), error_log
    stamp = time.strftime("%m-%d-%Y", time.localtime(killed_at)).encode()
    assert error_log[8:18] == stamp

    wait_playing(station, 2, "Rig One")
    console = station.wait_dump(lambda d: d.get("CurrentMplayer") == "2" and d, 5, "slot 2 on air")
    assert console["CurrentSource"] == "1"
    assert console["WasPlaying"] == "-1"
    assert not rig.is_running("mplayer1")


def test_url_with_query_string_reaches_the_player_whole(icecast, make_station):
    url = icecast.url("/one") + "?type=mp3&bitrate=128"
    today = rig.Today(span=20)
    station = make_station(sources=sources(icecast, u1=url), schedule=[today.entry(0, 1)])
    wait_playing(station, 1, "Rig One")
    rig.wait_for(lambda: rig.player_log_has(station, 1, "Starting playback...\n"), 10,
                 "the player to play")
    assert f"Playing {url}.\n" in station.player_log(1)
    # The console catches up once the switch's two-second overlap is over.
    station.wait_dump(lambda d: d.get("lblCurrentSource") == url, 5, "the URL on the console")


def test_url_with_semicolon_runs_no_command(icecast, make_station):
    # Through a shell this would play "/one" and then create the file.
    url = icecast.url("/one") + ";touch injected"
    today = rig.Today(span=20)
    station = make_station(sources=sources(icecast, u1=url), schedule=[today.entry(0, 1)])
    # The URL is split at its blank: the player tries "/one;touch", then the
    # file "injected", and ends.
    rig.wait_for(lambda: rig.player_log_has(station, 1, "Playing injected.\n"), 10,
                 "the player to take the URL's second word as a file name")
    assert rig.player_log_has(station, 1, "Playing " + icecast.url("/one") + ";touch.\n")
    rig.wait_gone("mplayer1", 10)
    assert not station.folder.file("injected").exists()
    assert station.alive()


def test_station_without_player_links_keeps_running_and_asks_for_restarts(icecast, make_station):
    today = rig.Today(span=40)
    station = make_station(sources=sources(icecast), schedule=[today.entry(0, 1)], players=False)
    station.wait_dump(lambda d: d.get("CurrentSource") == "1", 5, "the first switch")
    assert not rig.is_running("mplayer1")

    station.wait_dump(lambda d: RESTART_LINE in d.get("txtAIR", ""), 17,
                      "the watchdog's restart line in the station log")
    assert re.fullmatch(rb"RESTART \d\d-\d\d-\d{4} \d\d:\d\d:\d\d SOURCE:1\r\n",
                        station.folder.read("error.log"))
    # The event tick tries again on slot 2 and the program goes on running.
    station.wait_dump(lambda d: d.get("CurrentMplayer") == "2" and d.get("CurrentSource") == "1", 5,
                      "the retry on slot 2")
    runtime = int(station.dump()["SystemRuntime"])
    station.wait_dump(lambda d: int(d.get("SystemRuntime", 0)) >= runtime + 2, 5,
                      "the uptime to go on counting")
    assert not any(rig.is_running(name) for name in rig.PLAYER_NAMES)
