"""Chromium (over DevTools, 390 px wide) as an operator and an engineer, each with its buttons, the page following the air
by its event stream or, refused one, by polling; every action in the log and the as-run record; plain HTTP refused (the
other refusals are unit rows); the reference's nginx block in front over HTTPS. Only the order of events is asserted."""

import http.client
import socket
import ssl
import subprocess
import tempfile
import urllib.error
import urllib.request
from pathlib import Path

import rig

KEY = "rigapikey"
WAIT = 30
USERS = {"alice": ("operator", "alice-pw"), "bob": ("engineer", "bob-pw")}


def post(port, path, body, headers):
    request = urllib.request.Request(f"http://127.0.0.1:{port}{path}", data=body.encode(), method="POST",
                                     headers={"Content-Type": "application/x-www-form-urlencoded", **headers})
    try:
        with urllib.request.urlopen(request, timeout=10) as reply:
            return reply.status, reply.read()
    except urllib.error.HTTPError as refused:
        return refused.code, refused.read()


def test_operator_and_engineer_in_chromium(icecast_pair, make_station):
    live, spare = icecast_pair
    port = rig.free_port()
    sources = {0: {"n": "Rig Backup", "u": spare.url("/backup")}, 1: {"n": "One", "u": live.url("/one")},
               2: {"n": "Two", "u": live.url("/two")}}
    today = rig.Today(span=600)
    station = make_station(settings={"APIallowed": "1", "APIKey": KEY}, sources=sources,
                           schedule=[today.entry(0, 1)], api_port=rig.free_port(),
                           extra_args=["--status-port", str(port), "--trusted-proxy", "127.0.0.1", "--status-host",
                                       "radio.example.org"])
    for name, (role, password) in USERS.items():
        subprocess.run([station.binary, "--add-user", name, role, str(station.folder.path)], input=password + "\n",
                       text=True, check=True, capture_output=True)
    station.kill()
    station.start()  # users.ini is read at the start
    rig.wait_for(lambda: rig.playing(station, "Rig One"), WAIT, "source 1 on air")
    site = f"http://127.0.0.1:{port}"

    with tempfile.TemporaryDirectory(ignore_cleanup_errors=True) as profile:
        browser = rig.Browser(profile)
        try:
            def log_in(name):
                browser.open(site + "/login")
                browser.wait("!!document.querySelector('input[name=password]')", "the login form")
                browser.js(f"document.querySelector('input[name=user]').value = '{name}';"
                           f"document.querySelector('input[name=password]').value = '{USERS[name][1]}';"
                           "document.querySelector('form').submit()")
                browser.wait(f"(document.getElementById('controls') || {{}}).textContent?.includes('{name} (')",
                             f"{name}'s controls")

            # The operator: the switch, the restart, no mode; a switch asks first, then the station switches.
            log_in("alice")
            # A phone's width: nothing to scroll sideways, every button within the screen.
            browser.call("Emulation.setDeviceMetricsOverride", width=390, height=844, deviceScaleFactor=2, mobile=True)
            assert browser.js("[innerWidth, document.documentElement.scrollWidth, ...[...document.querySelectorAll("
                              "'#controls button')].map(b => b.getBoundingClientRect().right <= 390)].join()"
                              ) == "390,390,true,true,true"
            assert browser.js("[...document.querySelectorAll('#controls form')].map(f => f.getAttribute('action'))"
                              ) == ["/logout", "/control/switch", "/control/restart-player"]
            browser.js("document.querySelector('#controls select').value = '2';"
                       "document.querySelector('form[action=\"/control/switch\"] button').click()")
            browser.wait("document.title.startsWith('Switch?')", "the confirmation form")
            browser.js("document.querySelector('button').click()")
            rig.wait_for(lambda: rig.playing(station, "Rig Two"), WAIT, "source 2 on air")
            browser.wait("document.querySelector('pre[data-k=log]').textContent.includes("
                         "'  WEB - alice (operator) - SWITCH TO 2 Two')", "the session's page telling its log lines")

            # The engineer: the mode too.
            browser.js("document.querySelector('form[action=\"/logout\"] button').click()")
            browser.wait("(document.getElementById('controls') || {}).textContent?.includes('Log in')", "logged out")
            log_in("bob")
            # Every event stream of this address taken (once the closed page's is let go), the page asks every few
            # seconds instead; a switch from elsewhere: the page follows by itself, without a reload.
            browser.open("about:blank")
            hogs = []

            def hold_stream():
                hogs.append(socket.create_connection(("127.0.0.1", port), timeout=10))
                hogs[-1].sendall(f"GET /events HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n\r\n".encode())
                return (hogs[-1].recv(12) == b"HTTP/1.1 200" or hogs.pop().close()) and len(hogs) == 4
            rig.wait_for(hold_stream, WAIT, "the address's four event streams held")
            browser.open(site + "/")
            browser.wait("polling !== null && (window.notReloaded = true)", "the page polling")
            post(port, "/control/switch", "source=1", {"Authorization": f"Bearer {KEY}"})  # said in the log: see below
            browser.wait("window.notReloaded && document.title.startsWith('One ')", "the page following the air")
            [hog.close() for hog in hogs]
            browser.js("document.querySelector('form[action=\"/control/mode\"] button').click()")
            station.wait_dump(lambda d: d.get("cmdAutoManual") == "MANUAL", WAIT, "manual mode")
            browser.wait("document.querySelector('[data-k=\"station.mode\"]').textContent === 'MANUAL'", "the mode")
            cookie = next(c for c in browser.call("Network.getCookies", urls=[site])["cookies"]
                          if c["name"] == f"bf_session_{port}")
            token = browser.js("document.getElementById('controls').dataset.token")
        finally:
            browser.close()

    # What plain HTTP may not do: nothing changes on air.
    stolen = f"{cookie['name']}={cookie['value']}"
    refusals = [({"Origin": site}, "source=2", 401),  # no session
                ({"Cookie": stolen, "Origin": site}, "source=2&confirm=yes", 403),  # a stolen cookie, no token
                ({"Cookie": stolen, "Origin": "http://evil.example"}, f"source=2&confirm=yes&csrf={token}", 403)]
    for headers, body, status in refusals:
        assert post(port, "/control/switch", body, headers)[0] == status, headers
    assert station.dump()["CurrentSource"] == "1"

    log = rig.air_messages(station.dump())
    for line in ("  WEB - alice (operator) - SWITCH TO 2 Two", "  WEB - api (engineer) - SWITCH TO 1 One",
                 "  WEB - bob (engineer) - SET MODE MANUAL", "  SYS - SWITCH TO 2 Two (web)"):
        assert line in log, log[:12]
    day = urllib.request.urlopen(f"{site}/asrun.csv", timeout=10).read().decode("latin-1")
    assert ",on air,2,Two,web,,alice\r\n" in day and ",on air,1,One,web,,api\r\n" in day, day
    assert cookie["value"] not in day + "".join(log) + urllib.request.urlopen(f"{site}/status.json").read().decode()

    # The reference's TLS proxy, its server block as written there but for the certificate and the station's port.
    reference = (Path(__file__).resolve().parents[2] / "docs" / "reference.md").read_text()
    server = reference.split("```nginx\n", 1)[1].split("```", 1)[0]
    with tempfile.TemporaryDirectory() as tls:
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=radio.example.org",
                        "-keyout", f"{tls}/key.pem", "-out", f"{tls}/cert.pem"], check=True, capture_output=True)
        server = server.replace("/etc/ssl/certs/radio.example.org.pem", f"{tls}/cert.pem").replace(
            "/etc/ssl/private/radio.example.org.key", f"{tls}/key.pem").replace("127.0.0.1:9110", f"127.0.0.1:{port}")
        Path(tls, "nginx.conf").write_text(f"daemon off; master_process off; pid {tls}/nginx.pid; events {{}} http {{ "
                                           f"client_body_temp_path {tls}/body; proxy_temp_path {tls}/proxy;\n{server}}}")
        nginx = subprocess.Popen(["nginx", "-e", f"{tls}/error.log", "-p", tls, "-c", f"{tls}/nginx.conf"])
        try:
            rig.wait_for(lambda: rig.port_answers(443), WAIT, "nginx on port 443")

            def over_tls(method, path, body="", headers=None):
                connection = http.client.HTTPSConnection("127.0.0.1", 443, timeout=10,  # a read waiting on nginx fails
                                                         context=ssl._create_unverified_context())
                connection.request(method, path, body, {"Host": "radio.example.org", "Origin": "https://radio."
                                   "example.org", "Content-Type": "application/x-www-form-urlencoded", **(headers or {})})
                return connection.getresponse()
            login = over_tls("POST", "/login", "user=alice&password=alice-pw")
            assert login.status == 303 and login.getheader("Set-Cookie").endswith("; Secure"), login.getheaders()
            events = over_tls("GET", "/events")
            assert over_tls("POST", "/control/switch", "source=2", {"Authorization": f"Bearer {KEY}"}).status == 200
            rig.wait_for(lambda: b'"on_air":{"number":2,' in events.readline(), WAIT, "the switch told through nginx")
        finally:
            nginx.kill()
