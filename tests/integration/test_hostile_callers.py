"""Callers that flood the status port, with the descriptors a service gets: idle connections by the thousand from many
addresses, some dripping a request a byte at a time, some sending junk. The program lives, holds a few dozen of them,
answers the remote API and a new scraper meanwhile, and logs no failure."""

import json
import os
import resource
import socket
import subprocess
import sys
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


# Runs inside a network namespace of its own, whose loopback also holds a "public" address (192.0.2.1), a link-local
# and a private one: a stand-in server on all of them, and the real monitor (argv[1]) reading a playlist from the
# public address, for a player (a script that writes down what it is given) and as a listener. Prints what each run
# said and gave the player, and every path the server was asked for.
IN_NAMESPACE = r"""
import http.server, json, os, subprocess, sys, tempfile, threading
asked = []
class Server(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        asked.append(self.path)
        at = f"http://%s:{self.server.server_address[1]}/"
        entries = [at % "127.0.0.1" + "admin", at % "169.254.169.254" + "latest", at % "10.9.9.9" + "private",
                   at % "192.0.2.1" + "moved.m3u"]
        moved = self.path == "/moved.m3u"
        self.send_response(302 if moved else 200)
        self.send_header("Location", at % "127.0.0.1" + "inner.m3u")
        self.end_headers()
        pages = {"/list.pls": "[playlist]\n" + "".join(f"File{i}={e}\n" for i, e in enumerate(entries)),
                 "/inner.m3u": at % "127.0.0.1" + "inner\n"}
        self.wfile.write(b"" if moved else pages.get(self.path, "no audio").encode())
threading.Thread(target=(server := http.server.ThreadingHTTPServer(("0.0.0.0", 0), Server)).serve_forever,
                 daemon=True).start()
playlist, folder, runs = f"http://192.0.2.1:{server.server_address[1]}/list.pls", tempfile.mkdtemp(), {}
with open(os.open(f"{folder}/mplayer1", os.O_WRONLY | os.O_CREAT, 0o755), "w") as player:
    player.write('#!/bin/sh\nprintf "%s\\n" "$@" > given\n')
for name, args in (("player", ["--player", "mplayer1"]), ("strict", ["--no-private", "--player", "mplayer1"]),
                   ("listener", ["--no-levels"])):
    said = subprocess.run([sys.argv[1]] + args + [playlist], cwd=folder, capture_output=True, text=True).stdout
    runs[name] = {"said": said, "given": open(f"{folder}/given").read() if os.path.exists(f"{folder}/given") else ""}
    subprocess.run(["rm", "-f", f"{folder}/given"])
print(json.dumps({"port": server.server_address[1], "runs": runs, "asked": asked}))
"""


def test_a_remote_playlist_never_leads_the_monitor_or_the_player_inside_the_station():
    monitor = os.path.join(os.path.dirname(rig.station.BINARY), "brackenfield-monitor")
    setup = ("ip link set lo up && ip addr add 192.0.2.1/32 dev lo && ip addr add 169.254.169.254/32 dev lo && "
             "ip addr add 10.9.9.9/32 dev lo && exec \"$2\" -c \"$0\" \"$1\"")
    done = subprocess.run(["unshare", "-rn", "sh", "-c", setup, IN_NAMESPACE, monitor, sys.executable],
                          capture_output=True, text=True, timeout=240)
    assert done.returncode == 0, done.stderr
    seen = json.loads(done.stdout)
    port, runs = seen["port"], seen["runs"]
    own = "refused: it names the station's own machine (127.0.0.1)"
    assert f"Playlist http://192.0.2.1:{port}/list.pls: playlist entry http://127.0.0.1:{port}/admin {own}" in \
        runs["player"]["said"], runs["player"]
    assert f"playlist http://127.0.0.1:{port}/inner.m3u {own}" in runs["player"]["said"], runs["player"]
    assert runs["player"]["given"].split() == [f"http://10.9.9.9:{port}/private"], runs["player"]
    assert "own link (169.254.169.254)" in runs["listener"]["said"], runs["listener"]
    # With RemotePlaylistPrivate=0 the private entry goes too: nothing is left to play.
    assert runs["strict"]["given"] == "" and "station's network (10.9.9.9)" in runs["strict"]["said"], runs["strict"]
    # Nothing asked the machine itself or its link for an entry (FFmpeg follows the redirect to /inner.m3u, whose
    # entries go); the listener alone opened the private entry, the strict runs nothing.
    assert not {"/admin", "/latest", "/inner"} & set(seen["asked"]), seen["asked"]
    assert seen["asked"].count("/private") == 1, seen["asked"]
