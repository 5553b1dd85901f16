"""The remote API when it cannot listen: the console's API status and the
station log name the port and the reason, and the station runs on."""

import socket


def test_unbindable_api_port_is_named_on_the_console_and_in_the_log(make_station):
    with socket.socket() as holder:
        holder.bind(("127.0.0.1", 0))  # every interface clashes with it
        holder.listen()
        port = holder.getsockname()[1]
        cases = [([], f"{port}: port already in use"),
                 (["--api-bind", "192.0.2.1"], f"{port} of 192.0.2.1: address not on this machine")]
        for extra_args, reason in cases:
            station = make_station(settings={"APIallowed": "1"}, players=False, api_port=port,
                                   extra_args=extra_args)
            console = station.wait_dump(lambda d: d.get("api.row.0") and d, 5, "the API window")
            assert console["lblAPIstatus"] == f"Not listening on port {reason}"
            assert console["api.row.0"] == "(No Connection)"
            assert any(line.endswith(f"  SYS - API NOT LISTENING ON PORT {reason}")
                       for line in station.air_log())
            assert station.alive()
