"""The management link against a local stand-in server: error pages and a
hanging poll change nothing, a downloaded schedule replaces the old one and
is followed, an order puts the source on the real player and is reported,
and a server that is down loses nothing."""

import time

import rig

NAME_3 = "Rig #3 Caf\xe9"


def air_lines(station, text):
    return [line for line in station.air_log() if text in line]


def test_management_link_downloads_obeys_reports_and_survives_a_failing_server(icecast, make_station):
    today = rig.Today(span=260)
    old = [today.entry(0, 1), today.entry(3600 * 24 - 1, 3, weekday=today.weekday % 7 + 1),
           ";   the schedule before the download"]
    due = today.later(205)
    new = [today.entry(0, 1), today.entry(due, 2)]
    new_bytes = "".join(line + "\r\n" for line in new).encode()
    phase = {"now": "errors"}

    def reply(path):
        if phase["now"] == "errors" and path.startswith("/changes"):
            time.sleep(12)  # beyond the poll's time-out: the late order must not count
            return 200, "3"
        if phase["now"] == "errors" and path.startswith("/manage"):
            return 404, "404 Not Found"
        if path.startswith("/manage"):
            return 200, new_bytes
        return 200, "3\r\n" if path.startswith("/changes") else "OK"

    stub = rig.StubServer(reply=reply)
    settings = {"ManagementUpdate": "1", "CheckForChanges": "1", "ManagementKey": "rig key",
                "ManagementURL": stub.url + "/manage", "CheckForChangeURL": stub.url + "/changes",
                "ManagementSendURL": stub.url + "/send.php"}
    sources = {1: {"n": "Rig One", "u": icecast.url("/one")}, 2: {"n": "Rig Two", "u": icecast.url("/two")},
               3: {"n": NAME_3, "u": icecast.url("/three")}}
    station = make_station(settings=settings, sources=sources, schedule=old)
    old_bytes = station.folder.read("sourceevents.ini")
    station.wait_dump(lambda d: d.get("CurrentSource") == "1", 10, "source 1 on air")

    # First minute: an error page for the schedule, a poll that hangs.
    rig.wait_for(lambda: "/changes?key=rig%20key&switcher=rigswitcher" in stub.paths(), 75, "the first poll")
    clock = station.dump()["lblClock"]
    station.wait_dump(lambda d: d["lblClock"] != clock, 3, "the console to run while the poll waits")
    station.wait_dump(lambda d: d["lblConfigurationStatus"].startswith("Config update failed "), 30,
                      "the failed download")
    assert air_lines(station, "  SYS - CONFIG UPDATE FAILED (HTTP 404)")
    assert station.folder.read("sourceevents.ini") == old_bytes
    assert station.dump()["CurrentSource"] == "1" and not rig.is_running("mplayer2")

    # Second minute: the server orders source 3 and hands out the new schedule.
    phase["now"] = "good"
    station.wait_dump(lambda d: d["lblConfigurationStatus"].startswith("Config updated "), 75,
                      "the schedule download")
    assert station.folder.read("sourceevents.ini") == new_bytes
    rig.wait_for(lambda: rig.player_log_has(station, 2, "Name   : Rig Three\n"), 10, "source 3 on slot 2")
    assert station.dump()["CurrentSource"] == "3"
    paths = stub.paths()
    poll = max(i for i, p in enumerate(paths) if p.startswith("/changes"))
    report = paths[poll + 1:poll + 11]
    expected = [f"/send.php?key=rig%20key&switcher=rigswitcher&item={i}" for i in range(10)]
    assert [p.split("&name=")[0] for p in report] == expected
    assert [p.endswith("&active=Y") for p in report] == [i == 3 for i in range(10)]
    assert f"&name=Rig%20%233%20Caf%E9&url={icecast.url('/three')}&active=Y" in report[3]

    # Third minute: the server is down. Nothing changes, and the downloaded
    # schedule still puts source 2 on air at its second.
    stub.close()
    rig.wait_for(lambda: air_lines(station, "CONFIG UPDATE FAILED (Connection refused)"), 75,
                 "the download against the stopped server")
    assert station.folder.read("sourceevents.ini") == new_bytes
    assert station.dump()["CurrentSource"] == "3" and rig.is_running("mplayer2")
    rig.wait_for(lambda: rig.player_log_has(station, 1, "Name   : Rig Two\n"),
                 today.epoch(due) - time.time() + 10, "the downloaded entry to air source 2")
    station.wait_dump(lambda d: d["CurrentSource"] == "2", 5, "source 2 on air")
