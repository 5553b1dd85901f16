"""The remote API of the running program over real sockets: the four
commands with their byte-exact replies, a set-current request that really
switches the player, the connection slots and their status rows, and a
request that arrives in pieces."""

import re
import select
import socket
import time

import rig

API_KEY = "rigapikey"
CLIENT = "127.0.0.1"
STAMP = r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d"
AIR_LINE = re.compile(r"^ \d{4}-\d\d-\d\d \d\d:\d\d:\d\d(.*)$")


def sources(icecast):
    return {
        0: {"n": "Rig Backup", "u": icecast.url("/backup")},
        1: {"n": "Rig One", "u": icecast.url("/one")},
        2: {"n": "Rig Two", "u": icecast.url("/two")},
        3: {"n": "Rig Three", "u": icecast.url("/three")},
    }


def start_api_station(icecast, make_station):
    """A station with the API on a free port, source 1 on air on slot 1."""
    today = rig.Today(span=30)
    station = make_station(settings={"APIallowed": "1", "APIKey": API_KEY},
                           sources=sources(icecast), schedule=[today.entry(0, 1)],
                           api_port=rig.free_port())
    station.wait_dump(lambda d: d.get("api.row.0") == "00 Listening", 5, "the API to listen")
    station.wait_dump(lambda d: d.get("CurrentMplayer") == "1" and d.get("lblSourceNumber") == "1", 8,
                      "source 1 on air")
    return station


def reply_for(body):
    body = body.encode("latin-1") if isinstance(body, str) else body
    return (b"HTTP/1.0 200 OK\r\nServer: Fernhollow Server Version 1.1\r\n"
            b"Content-Type: text/html\r\nContent-Length: " + str(len(body)).encode()
            + b"\r\n\r\n" + body)


def connect(station):
    sock = socket.create_connection(("127.0.0.1", station.api_port), timeout=15)
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    return sock


def read_to_end(sock):
    data = b""
    while True:
        chunk = sock.recv(4096)
        if not chunk:
            return data
        data += chunk


def nothing_arrives(sock, seconds):
    readable, _, _ = select.select([sock], [], [], seconds)
    return not readable


def exchange(station, text):
    """Sends one request in one piece and returns everything the server sent
    until it closed the connection."""
    with connect(station) as sock:
        sock.sendall(text.encode("latin-1") if isinstance(text, str) else text)
        return read_to_end(sock)


def get(station, path):
    return exchange(station, f"GET {path} HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")


def remote_status(station, suffix):
    return station.wait_dump(
        lambda d: re.fullmatch(STAMP + re.escape(f"  NET - {CLIENT}{suffix}"),
                               d.get("lblRemoteStatus", "")),
        3, f"lblRemoteStatus ending in {suffix!r}")


def air_messages(station):
    return [AIR_LINE.match(line).group(1) for line in station.air_log()]


def test_read_commands_answer_byte_exact_from_console_and_source_list(icecast, make_station):
    station = start_api_station(icecast, make_station)
    table = sources(icecast)

    assert get(station, f"/api/getcurrent.php?id={API_KEY}") == reply_for(
        f"Source: 1\r\nURL: {table[1]['u']}\r\nName: Rig One\r\nVolume: 100\r\n")
    remote_status(station, " - REQUEST CURRENT SOURCE")

    listing = ""
    for number in (1, 2, 3, 4, 5, 6, 7, 8, 9, 0):
        entry = table.get(number, {"u": "", "n": ""})
        label = "BACKUP" if number == 0 else str(number)
        listing += f"Source: {label}\r\nURL: {entry['u']}\r\nName: {entry['n']}\r\nVolume: 100\r\n"
    assert get(station, f"/api/listsources.php?id={API_KEY}") == reply_for(listing)
    remote_status(station, " - LIST ALL SOURCES")
    assert air_messages(station)[0] == f"  NET - {CLIENT} - LIST ALL SOURCES"

    icecast.set_title("/one", "Api Artist - Api Title")
    station.wait_dump(lambda d: d.get("lblRXmetadata") == "Api Artist - Api Title", 12,
                      "the title on the console")
    assert get(station, f"/api/metadata.php?id={API_KEY}") == reply_for(
        "Api Artist - Api Title\r\nOK\r\n")
    remote_status(station, " - METADATA REQUEST")

    for path in (f"/api/getcurrent.php?id={API_KEY}x", "/api/getcurrent.php?id=RIGAPIKEY",
                 f"/api/listsources.php?ID={API_KEY}", "/"):
        assert get(station, path) == reply_for("ERROR"), path
    remote_status(station, " - NO COMMAND")
    # Neither a failed nor a reading command writes to the station log.
    assert air_messages(station)[0] == f"  NET - {CLIENT} - LIST ALL SOURCES"


def test_setcurrent_switches_the_player_to_the_new_source(icecast, make_station):
    station = start_api_station(icecast, make_station)
    url = icecast.url("/two")
    sent_at = time.time()
    reply = get(station, f"/api/setcurrent.php?id={API_KEY}2")
    assert reply == reply_for("Source: 2\r\nOK\r\n")

    # The reply comes after the switch: the new player already runs.
    assert rig.is_running("mplayer2")
    assert rig.earliest_start("mplayer2") >= sent_at - 0.02
    rig.wait_gone("mplayer1", 5)
    rig.wait_for(lambda: rig.player_log_has(station, 2, f"Playing {url}.\n"), 5,
                 "mplayer2 to play source 2's URL")
    rig.wait_for(lambda: rig.player_log_has(station, 2, "Name   : Rig Two\n"), 10,
                 "mplayer2.log to show source 2's stream")
    console = station.wait_dump(lambda d: d.get("CurrentSource") == "2" and d, 5, "source 2 on air")
    assert console["CurrentMplayer"] == "2"
    assert console["lblCurrentSource"] == url
    assert console["lblStudio"] == "Rig Two"
    assert air_messages(station)[0] == f"  NET - {CLIENT} - CHANGE TO SOURCE 2"
    remote_status(station, " - CHANGE TO SOURCE 2")


def test_concurrent_clients_take_slots_1_and_2_and_a_free_slot_is_reused(icecast, make_station):
    station = start_api_station(icecast, make_station)
    first = connect(station)
    station.wait_dump(lambda d: d.get("api.row.1") == "00 Listening", 3, "slot 1 for the first client")
    second = connect(station)
    try:
        station.wait_dump(lambda d: d.get("api.row.2") == "00 Listening", 3,
                          "slot 2 for the second client")

        # A client that leaves without a word closes its slot.
        first.close()
        station.wait_dump(lambda d: d.get("api.row.1") == "01 Closed", 3, "slot 1 closed")

        # Slot 2 is still busy: the next client can only take slot 1.
        assert get(station, f"/api/getcurrent.php?id={API_KEY}").endswith(b"Volume: 100\r\n")
        console = station.wait_dump(lambda d: d.get("api.row.1") == "01 Closed" and d, 3,
                                    "slot 1 closed after its request")
        assert "api.row.3" not in console
        assert console["api.row.2"] == "00 Listening"

        second.sendall(b"GET /second HTTP/1.0\r\n\r\n")
        assert read_to_end(second) == reply_for("ERROR")
    finally:
        second.close()
    console = station.wait_dump(lambda d: d.get("api.row.2") == "02 Closed" and d, 3, "slot 2 closed")
    assert "api.row.3" not in console


def test_request_in_pieces_gets_exactly_one_reply(icecast, make_station):
    station = start_api_station(icecast, make_station)
    pieces = [b"GET /api/getcur", f"rent.php?id={API_KEY} HTTP/1.".encode(),
              b"0\r\nHost: 127.0.0.1\r\n\r\n"]
    with connect(station) as sock:
        for piece in pieces[:2]:
            sock.sendall(piece)
            # Not yet a request: nothing may come back.
            assert nothing_arrives(sock, 0.3)
        sock.sendall(pieces[2])
        reply = read_to_end(sock)
    assert reply == reply_for(
        f"Source: 1\r\nURL: {icecast.url('/one')}\r\nName: Rig One\r\nVolume: 100\r\n")
    remote_status(station, " - REQUEST CURRENT SOURCE")

    # Text that can never become a request gets a reply of its own and
    # leaves the remote status alone.
    status = station.dump()["lblRemoteStatus"]
    assert exchange(station, b"HELLO\r\n\r\n") == reply_for("ERROR")
    console = station.wait_dump(lambda d: d.get("api.row.1") == "01 Closed" and d, 3,
                                "the slot closed")
    assert console["lblRemoteStatus"] == status
