"""Callers that flood the status port, with the descriptors a service gets: idle connections by the thousand from many
addresses, some dripping a request a byte at a time, some sending junk. The program lives, holds a few dozen of them,
answers the remote API and a new scraper meanwhile, and logs no failure."""

import os
import resource
import socket
import subprocess
import threading

import rig

KEY = "rigapikey"


def ask(port, request, source="127.0.0.1"):
    """The whole reply to one request from `source`."""
    with socket.create_connection(("127.0.0.1", port), timeout=15, source_address=(source, 0)) as sock:
        sock.sendall(request)
        return sock.makefile("rb").read()


def drip_and_junk(port, stop):
    """Ten callers dripping a request a byte every half second and five sending junk, until `stop`."""
    callers = [socket.create_connection(("127.0.0.1", port), source_address=(f"127.0.5.{i + 1}", 0))
               for i in range(15)]
    request = b"GET /metrics HTTP/1.1\r\n" + b"X: y\r\n" * 1000
    for step in range(len(request)):
        for i, caller in enumerate(callers):
            try:
                caller.send(request[step:step + 1] if i < 10 else os.urandom(512))
            except OSError:
                pass
        if stop.wait(0.5):
            break
    for caller in callers:
        caller.close()


def test_a_flood_of_callers_on_the_status_port(make_station):
    hard = resource.getrlimit(resource.RLIMIT_NOFILE)[1]
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    port = rig.free_port()
    station = make_station(settings={"APIallowed": "1"}, api_port=rig.free_port(),
                           extra_args=["--status-port", str(port)])
    resource.prlimit(station.proc.pid, resource.RLIMIT_NOFILE, (1024, 1024))
    station.wait_dump(lambda d: f"  SYS - STATUS PAGE ON http://127.0.0.1:{port}/" in rig.air_messages(d), 5,
                      "the status port")
    current = f"GET /api/getcurrent.php?id={KEY} HTTP/1.0\r\n\r\n".encode()
    stop, idle = threading.Event(), []
    dripping = threading.Thread(target=drip_and_junk, args=(port, stop), daemon=True)
    try:
        dripping.start()
        for i in range(1100):
            idle.append(socket.socket())
            idle[-1].settimeout(5)
            idle[-1].bind((f"127.0.4.{i % 250 + 1}", 0))
            idle[-1].connect_ex(("127.0.0.1", port))
            if i % 275 == 0:
                assert ask(station.api_port, current).startswith(b"HTTP/1.0 200 OK\r\n"), "the API during the flood"
        held = len(os.listdir(f"/proc/{station.proc.pid}/fd"))
        assert held < 150, f"the program holds {held} descriptors"
        scrape = ask(port, b"GET /metrics HTTP/1.1\r\nHost: station\r\n\r\n", source="127.0.6.1")
        assert scrape.startswith(b"HTTP/1.1 200 OK\r\n") and b"\nbrackenfield_uptime_seconds " in scrape
        assert ask(station.api_port, current).startswith(b"HTTP/1.0 200 OK\r\n")
    finally:
        stop.set()
        for sock in idle:
            sock.close()
        dripping.join(timeout=10)
    # The callers that dripped and sent junk were dropped or answered.
    assert ask(port, b"GET / HTTP/1.0\r\n\r\n").startswith(b"HTTP/1.1 200 OK\r\n")
    assert station.alive() and not [m for m in rig.air_messages(station.dump()) if "FAILED" in m]


def test_without_a_display_it_runs_headless_and_a_bad_option_is_a_usage_error(tmp_path):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    run = subprocess.run([rig.station.BINARY, "--bogus"], cwd=tmp_path, env=env, capture_output=True, timeout=30)
    assert run.returncode == 2 and b"no display" in run.stderr and b"Unknown option" in run.stderr, run.stderr
