"""The weekly schedule on the real clock: at startup today's latest past entry
goes on air on slot 1, and a due entry switches at its second, with the old
slot ending two seconds later."""

import time

import rig


def test_latest_past_entry_starts_on_slot_1_and_due_entry_switches_at_its_second(
        icecast, make_station):
    today = rig.Today(span=60)
    due = today.later(12)
    sources = {
        1: {"n": "Rig One", "u": icecast.url("/one")},
        2: {"n": "Rig Two", "u": icecast.url("/two")},
        3: {"n": "Rig Three", "u": icecast.url("/three")},
    }
    other_day = today.weekday % 7 + 1
    schedule = [
        today.entry(0, 1),
        today.entry(1, 2),           # today's latest past entry
        today.entry(2, 1, weekday=other_day),
        today.entry(due, 3),
    ]
    with rig.ProcessWatcher() as watcher:
        station = make_station(sources=sources, schedule=schedule)
        rig.wait_for(lambda: rig.is_running("mplayer1"), 5, "mplayer1 to start")
        first_start = rig.earliest_start("mplayer1")
        assert first_start - station.started_at <= 2.0, \
            f"slot 1 started {first_start - station.started_at:.2f} s after the program"
        console = station.wait_dump(lambda d: d.get("CurrentSource") == "2" and d, 5,
                                    "source 2 on air")
        assert console["LastEvent"] == today.entry(1, 2)
        assert console["NextEvent"] == today.entry(due, 3)
        rig.wait_for(lambda: rig.player_log_has(station, 1, "Name   : Rig Two\n"), 10,
                     "mplayer1.log to show source 2's stream")

        rig.wait_for(lambda: rig.is_running("mplayer2"), today.epoch(due) - time.time() + 5,
                     "the due entry to start mplayer2")
        rig.wait_gone("mplayer1", 5)

    second_start = rig.earliest_start("mplayer2")
    late = second_start - today.epoch(due)
    assert -0.02 <= late <= 1.1, f"slot 2 started {late:+.2f} s from the entry's second"
    (_, one_end), = watcher.runs("mplayer1")
    assert 1.9 <= one_end - second_start <= 2.5, \
        f"slot 1 ended {one_end - second_start:.2f} s after slot 2 started"
    console = station.wait_dump(lambda d: d.get("CurrentSource") == "3" and d, 5, "source 3 on air")
    assert console["CurrentMplayer"] == "2"
    rig.wait_for(lambda: rig.player_log_has(station, 2, "Name   : Rig Three\n"), 10,
                 "mplayer2.log to show source 3's stream")
