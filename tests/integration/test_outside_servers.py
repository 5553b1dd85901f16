"""A station and its outside servers, against one local stand-in: a title at TuneIn AIR, a paid title billed once with
its stamp; a report the billing server does not answer is sent again, after a restart of the program too, once answered
never again; a refused one is kept aside at once and never sent again; a paid spot on air across the restart is billed
once. Management: error pages and a hanging poll change nothing, a downloaded schedule replaces the old one and is
followed, an order puts the source on the real player and is reported. The remote API, which cannot listen on a port in
use or an address not on this machine, says why. A second station in a folder of its own keeps its player on air
through this station's start, restart and stop. A station whose folder's disk fills up stays on air, keeps its files
whole, says so once and once again when space returns, and bills the paid item aired meanwhile once."""

import ctypes
import errno
import shutil
import socket
import subprocess
import time

import pytest

import rig

PAID = "$ Acme & Co - Spring Sale"
REFUSED = "$ Nobody Ltd - Offer"  # a customer the billing server does not know
JINGLE = "$ Rig Two Co - Jingle"  # on source 2 when it goes on air, and still when the program restarts
# A metadata tick, then the service's tick, with room for a busy machine.
SERVICE_WAIT = 15.0


def wait_requests(stub, part, count, what):
    return rig.wait_for(lambda: len(stub.paths(part)) >= count and stub.paths(part), SERVICE_WAIT, what)


def api_silent_for(station, reason):
    station.wait_dump(lambda d: f"  SYS - API NOT LISTENING ON PORT {reason}" in rig.air_messages(d), 5, "the reason")


def test_a_station_and_its_outside_servers(icecast_pair, make_station):
    icecast = icecast_pair[1]
    today = rig.Today(span=300)
    due = today.seconds + 205
    old = [today.entry(0, 1), today.entry(3600 * 24 - 1, 3, weekday=today.weekday % 7 + 1),
           ";   the schedule before the download"]
    new = "".join(line + "\r\n" for line in [today.entry(0, 1), today.entry(due, 2)]).encode()
    served = {"billing": 200, "management": "errors"}
    clock_ran = []

    def reply(path):
        if path.startswith("/bill?"):
            return (400, "Unknown customer\r\n") if "&artist=Nobody%20Ltd&" in path else (served["billing"], "OK")
        if path.startswith("/manage"):
            return (404, "404 Not Found") if served["management"] == "errors" else (200, new)
        if path.startswith("/changes") and served["management"] == "errors":
            clock = station.dump()["lblClock"]
            time.sleep(3)
            clock_ran.append(station.dump()["lblClock"] != clock)
            time.sleep(9)  # beyond the poll's time-out: the late order must not count
            return 200, "3"
        return 200, "3\r\n" if path.startswith("/changes") else "OK"

    stub = rig.StubServer(reply=reply)
    holder = socket.create_server(("127.0.0.1", 0))  # the station's API on every interface clashes with it
    port = holder.getsockname()[1]
    try:
        neighbour = make_station(sources={1: {"n": "Rig Backup", "u": icecast.url("/backup")}},
                                 schedule=[today.entry(0, 1)])
        rig.wait_for(lambda: rig.playing(neighbour, "Rig Backup") == 1, 15, "the neighbour on air")
        neighbour_on_air = neighbour.players()
        icecast.set_title("/one", "Rig Services - Start")
        icecast.set_title("/two", JINGLE)
        station = make_station(
            settings={"AIRenable": "1", "Tallyway": "1", "MetaURL": stub.url + "/bill",
                      "APIallowed": "1", "ManagementUpdate": "1", "CheckForChanges": "1", "ManagementKey": "rig key",
                      "ManagementURL": stub.url + "/manage", "CheckForChangeURL": stub.url + "/changes",
                      "ManagementSendURL": stub.url + "/send.php"},
            sources={1: {"n": "Rig One", "u": icecast.url("/one")}, 2: {"n": "Rig Two", "u": icecast.url("/two")},
                     3: {"n": "Rig Three", "u": icecast.url("/three")}},
            schedule=old, air_url=stub.url, api_port=port)
        old_bytes = station.folder.read("sourceevents.ini")
        api_silent_for(station, f"{port}: port already in use")
        wait_requests(stub, "/Playing.ashx?partnerId=rigpartner&", 1, "the first title at AIR")

        # A paid title: one report, carrying the stamp of tallyway.txt.
        icecast.set_title("/one", PAID)
        first = wait_requests(stub, "/bill?", 1, "the paid title's report")
        stamp = station.folder.read("tallyway.txt").split(b"\r\n")[0].decode()
        assert first == [f"/bill?key=rigapikey&stamp={stamp}&artist=Acme%20%26%20Co&title=Spring%20Sale"]

        # The billing server fails; the same title airs again after another one.
        served["billing"] = 503
        icecast.set_title("/one", "Between - Songs")
        station.wait_dump(lambda d: d.get("RXmetadata") == "Between - Songs", SERVICE_WAIT, "the song between")
        icecast.set_title("/one", PAID)
        unanswered = wait_requests(stub, "/bill?", 2, "the second airing's report")[1]
        assert stamp not in unanswered and unanswered.endswith("&artist=Acme%20%26%20Co&title=Spring%20Sale")

        # A refusal is an answer: the report goes at once, though the unanswered one waits, and is kept aside.
        icecast.set_title("/one", REFUSED)
        station.wait_dump(lambda d: d["lblResponse"] == "HTTP 400 Unknown customer", SERVICE_WAIT, "the refusal")
        assert REFUSED.encode() in station.folder.read("tallyway-rejected.txt")
        assert station.folder.read("tallyway-pending.txt").split(b"\r\n")[1:] == [PAID.encode(), b""]

        # Management's first minute: an error page for the schedule, a poll that hangs.
        station.wait_dump(lambda d: "  SYS - CONFIG UPDATE FAILED (HTTP 404)" in rig.air_messages(d), 75,
                          "the failed download")
        rig.wait_for(lambda: clock_ran, 75, "a poll that hangs")
        assert all(clock_ran), "the console stood still while the poll waited"
        assert (station.folder.read("sourceevents.ini"), station.dump()["CurrentSource"],
                rig.is_running("mplayer2", station.folder.path)) == (old_bytes, "1", False)

        # Next minute: the server orders source 3 and hands out the new schedule.
        served["management"] = "good"
        station.wait_dump(lambda d: d["lblConfigurationStatus"].startswith("Config updated "), 75,
                          "the schedule download")
        rig.wait_for(lambda: rig.player_log_has(station, 2, "Name   : Rig Three\n"), 10, "source 3 on slot 2")
        assert (station.folder.read("sourceevents.ini"), station.dump()["CurrentSource"]) == (new, "3")
        expected = [f"/send.php?key=rig%20key&switcher=rigswitcher&item={i}" for i in range(10)]

        def last_report():
            report = stub.paths("/send.php?")[-10:]
            return [p.split("&name=")[0] for p in report] == expected and report[3].endswith("&active=Y") and report

        report = rig.wait_for(last_report, 75, "a whole report with source 3 on air")
        assert [p.endswith("&active=Y") for p in report] == [i == 3 for i in range(10)]

        # Then the server is down, and the downloaded schedule puts source 2 on
        # air at its second.
        stub.close()
        rig.wait_for(lambda: rig.player_log_has(station, 1, "Name   : Rig Two\n"),
                     today.epoch(due) - time.time() + 10, "the downloaded entry to air source 2")
        station.wait_dump(lambda d: d["CurrentSource"] == "2", 5, "source 2 on air")
        rig.wait_for(lambda: JINGLE.encode() in station.folder.read("tallyway-pending.txt"), SERVICE_WAIT,
                     "source 2's paid spot waiting for the server")

        # The program restarts with two reports unanswered (source 2's paid
        # spot was billed while the server was down); the server is back.
        # Each goes once, and only once; the spot, still on air, is not billed
        # again, and the refused report is never sent again.
        station.kill()
        stub = rig.StubServer(lambda path: (200 if path.startswith("/bill?") else 404, "OK"),
                              port=int(stub.url.rsplit(":", 1)[1]))
        station.extra_args = ["--api-bind", "192.0.2.1"]
        station.start()
        api_silent_for(station, f"{port} of 192.0.2.1: address not on this machine")
        rig.wait_for(lambda: station.folder.read("tallyway-pending.txt") is None, SERVICE_WAIT,
                     "the kept reports sent after the restart")
        station.wait_dump(lambda d: d["lblRXmetadata"] == JINGLE and int(d["SystemRuntime"]) > 40, 60,
                          "the spot read again, and a retry's time after the restart")
        assert stub.paths("/bill?")[0] == unanswered
        assert [p.split("&artist=")[1] for p in stub.paths("/bill?")] == ["Acme%20%26%20Co&title=Spring%20Sale",
                                                                          "Rig%20Two%20Co&title=Jingle"]

        # The service's stop ends this station's players only, and says so in the journal.
        code, said = station.stop_players()
        assert (code, station.players()) == (0, {"mplayer1": set(), "mplayer2": set()}) and said.startswith(
            "brackenfield: stopping mplayer"), said
        assert neighbour.players() == neighbour_on_air
    finally:
        stub.close()
        holder.close()


def test_a_full_disk(icecast_pair):
    """The station folder on a 4 MB tmpfs in the test's own mount namespace, filled under the running station."""
    icecast = icecast_pair[1]  # on a mount whose title no other scenario makes paid: a new listener hears the old one
    served = {"billing": 503}
    stub = rig.StubServer(reply=lambda path: (served["billing"], "OK"))
    folder = rig.StationFolder({"Tallyway": "1", "MetaURL": stub.url + "/bill"},
                               {1: {"n": "Rig Three", "u": icecast.url("/three")}}, [rig.entry(1, "000000", 1)])
    files = folder.root / "files"
    shutil.copytree(folder.path, files, symlinks=True)
    assert ctypes.CDLL(None, use_errno=True).unshare(0x00020000) == 0  # CLONE_NEWNS: this thread and its children
    subprocess.run(["mount", "--make-rprivate", "/"], check=True)
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=4m", "tmpfs", str(folder.path)], check=True)
    shutil.copytree(files, folder.path, symlinks=True, dirs_exist_ok=True)
    icecast.set_title("/three", "Rig - Before")
    station = rig.Station(folder).start()
    try:
        before = b"Rig - Before\r\n"
        rig.wait_for(lambda: rig.playing(station, "Rig Three") and folder.read("metadata.txt") == before, 15,
                     "Rig Three on air")
        with open(folder.file("fill"), "wb") as fill:
            try:
                while True:
                    fill.write(bytes(65536))
                    fill.flush()
            except OSError as error:
                assert error.errno == errno.ENOSPC
        icecast.set_title("/three", PAID)
        wait_requests(stub, "/bill?", 1, "the paid title's report, unanswered")
        said = lambda d: [m for m in rig.air_messages(d) if m.endswith(": No space left on device")]  # noqa: E731
        station.wait_dump(said, SERVICE_WAIT, "the trouble said")
        icecast.set_title("/three", "Rig - After")
        time.sleep(6)  # a metadata tick that cannot write the title
        assert folder.read("metadata.txt") == before and rig.playing(station, "Rig Three")  # kept whole
        folder.file("fill").unlink()
        served["billing"] = 200
        unanswered = len(stub.paths("/bill?"))
        rig.wait_for(lambda: folder.read("metadata.txt") == b"Rig - After\r\n", SERVICE_WAIT, "the title written")
        rig.wait_for(lambda: len(stub.paths("/bill?")) > unanswered, 45, "the paid item billed")
        time.sleep(35)  # a retry's time: nothing is sent again
        out = station.output()
        assert ([p.split("&artist=")[1] for p in stub.paths("/bill?")[unanswered:]], out.count("CANNOT WRITE"),
                out.count("FILES ARE WRITTEN AGAIN")) == (["Acme%20%26%20Co&title=Spring%20Sale"], 1, 1)
    finally:
        station.kill()
        rig.kill_players()
        stub.close()
        subprocess.run(["umount", "-l", str(folder.path)])
        rig.remove_tree(folder.root)
