"""bench/soak --chaos HOURS: weeks of a station's trouble in a few hours.

A whole station on the real rig (a backup chain `0,5` with the standbys
heard, a folder last resort, a TLS source behind a private authority's
certificate, the schedule every three minutes over four sources, titles and
paid items, billing, the management server, a webhook for its notifications,
players refreshed every half hour) goes through these faults at random
moments, each for a while and then undone:

  player    the players on air killed
  server    Icecast server A or B stopped
  mount     one source mount's feed stopped
  drop      the network to server A, B or every server dropped (packets
            vanish: connections hang, nothing is refused)
  move      host a.chaos.test or b.chaos.test moved to another address; the
            old address goes away ten seconds later
  clock     the station's clock stepped forward or back by one to ten
            minutes (libfaketime on the station and its players alone,
            monotonic clocks untouched)
  cert      the TLS source's certificate replaced by one that expires in a
            few minutes; renewed a while after it expired
  disk      the station folder's disk filled to the last byte
  restart   the program stopped (SIGTERM) and started again, KeepAirOnStart=1
  reload    SIGHUP, every other time with a setting changed
  flood     twenty titles a second on the mount on air for 30 s
  manage    the management or the billing stand-in down, or billing 503

Everything runs in namespaces of the bench's own, made by re-running itself
under `unshare`: the network (only its loopback), the mounts (a private
/etc/hosts, a private certificate store, the station folder on a tmpfs) and
the process ids; no traffic leaves the machine and the machine's clock, hosts
and trust stay as they were. The players play into a private PulseAudio
server's null sink, recorded for the whole run.

It prints the dead air heard from the first schedule entry on (every stretch
of 100 ms or more below -50 dBFS, each with the trouble of the 30 s before it), the memory slope of the station
and of its players (MB per hour, by least squares from the 30th minute), the
descriptors, the notifications received (each begin with its end, and the
most of one kind and source in an hour), and checks that the as-run record,
`metadata.txt` and the billing reports are exact.
"""

import csv
import datetime
import http.server
import io
import json
import os
import random
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
from importlib.machinery import SourceFileLoader
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(REPO / "tests" / "integration"))

import rig  # noqa: E402

heard = SourceFileLoader("heard_bench", str(REPO / "bench" / "heard")).load_module()

PACKAGES = ["faketime", "nftables", "socat", "pulseaudio", "pulseaudio-utils", "python3-cryptography"]
FAKETIME_LIB = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"
HOSTS = {"a": ["127.0.0.2", "127.0.0.3"], "b": ["127.0.0.4", "127.0.0.5"], "c": ["127.0.0.6"],
         "tls": ["127.0.0.7"]}
# number: (server, mount, name, frequency); 4 comes through the TLS front.
SOURCES = {0: ("C", "/backup", "Chaos Backup", 330), 1: ("A", "/one", "Chaos One", 440),
           2: ("A", "/two", "Chaos Two", 550), 3: ("B", "/three", "Chaos Three", 660),
           4: ("B", "/four", "Chaos Four", 770), 5: ("B", "/five", "Chaos Five", 880)}
ENTRY_EVERY = 180


def log(text):
    print(time.strftime("%H:%M:%S ") + text, flush=True)


def sh(*args, check=True):
    return subprocess.run(list(args), check=check, capture_output=True, text=True)


def enter_namespaces():
    """Runs this script again in namespaces of its own (net, mount, pid) with
    its packages installed first (there is no network inside)."""
    if os.environ.get("BF_CHAOS_INSIDE") == "1":
        sh("ip", "link", "set", "lo", "up")
        sh("mount", "--make-rprivate", "/")
        return
    missing = [p for p in PACKAGES if sh("dpkg-query", "-W", "-f=${Status}", p, check=False).stdout.find(
        "install ok installed") < 0]
    if missing:
        subprocess.run([str(REPO / "scripts" / "setup-deps"), *missing], check=True)
    env = dict(os.environ, BF_CHAOS_INSIDE="1", TMPDIR=tempfile.mkdtemp(prefix="chaos-"))
    os.execvpe("unshare", ["unshare", "-pfnm", "--mount-proc", sys.executable, str(REPO / "bench" / "soak"),
                           *sys.argv[1:]], env)


class Webhook:
    """The notifications' receiver: records every POST as (arrival, parsed JSON)."""

    def __init__(self):
        received = self.received = []

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):  # noqa: N802 - http.server's naming
                body = self.rfile.read(min(int(self.headers.get("Content-Length") or 0), 65536))
                try:
                    received.append((time.time(), json.loads(body)))
                except ValueError:
                    received.append((time.time(), {"event": "?", "raw": body.decode("latin-1")}))
                self.send_response(200)
                self.send_header("Content-Length", "0")
                self.end_headers()

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.url = f"http://127.0.0.1:{self.server.server_address[1]}/hook/secret-token"


class Authority:
    """A private certificate authority trusted by the station alone, through a
    private copy of the system's store mounted over /etc/ssl/certs."""

    def __init__(self, folder):
        from cryptography import x509
        from cryptography.hazmat.primitives import hashes, serialization
        from cryptography.hazmat.primitives.asymmetric import ec
        from cryptography.x509.oid import NameOID
        self.x509, self.hashes, self.serialization, self.ec, self.oid = x509, hashes, serialization, ec, NameOID
        self.folder = folder
        self.key = ec.generate_private_key(ec.SECP256R1())
        name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "Chaos Soak Authority")])
        now = datetime.datetime.now(datetime.timezone.utc)
        self.cert = (x509.CertificateBuilder().subject_name(name).issuer_name(name).public_key(self.key.public_key())
                     .serial_number(x509.random_serial_number()).not_valid_before(now - datetime.timedelta(days=1))
                     .not_valid_after(now + datetime.timedelta(days=30))
                     .add_extension(x509.BasicConstraints(ca=True, path_length=None), critical=True)
                     .sign(self.key, hashes.SHA256()))
        pem = self.cert.public_bytes(serialization.Encoding.PEM)
        store = folder / "certs"
        shutil.copytree("/etc/ssl/certs", store, symlinks=True)
        (store / "chaos-authority.pem").write_bytes(pem)
        bundle = store / "ca-certificates.crt"
        bundle.unlink()
        bundle.write_bytes(Path("/etc/ssl/certs/ca-certificates.crt").read_bytes() + pem)
        sh("openssl", "rehash", str(store), check=False)
        sh("mount", "--bind", str(store), "/etc/ssl/certs")
        os.environ["SSL_CERT_FILE"] = "/etc/ssl/certs/ca-certificates.crt"

    def issue(self, host, minutes):
        """A key and certificate for `host` valid from a minute ago for `minutes`, as one PEM file."""
        x509, NameOID = self.x509, self.oid
        key = self.ec.generate_private_key(self.ec.SECP256R1())
        now = datetime.datetime.now(datetime.timezone.utc)
        cert = (x509.CertificateBuilder().subject_name(x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, host)]))
                .issuer_name(self.cert.subject).public_key(key.public_key())
                .serial_number(x509.random_serial_number()).not_valid_before(now - datetime.timedelta(minutes=1))
                .not_valid_after(now + datetime.timedelta(minutes=minutes))
                .add_extension(x509.SubjectAlternativeName([x509.DNSName(host)]), critical=False)
                .sign(self.key, self.hashes.SHA256()))
        path = self.folder / f"{host}-{time.time():.0f}.pem"
        path.write_bytes(key.private_bytes(self.serialization.Encoding.PEM, self.serialization.PrivateFormat.PKCS8,
                                           self.serialization.NoEncryption())
                         + cert.public_bytes(self.serialization.Encoding.PEM)
                         + self.cert.public_bytes(self.serialization.Encoding.PEM))
        return path, now + datetime.timedelta(minutes=minutes)


class Forwarder:
    """socat listening on one address and port, passing connections on to
    Icecast on 127.0.0.1; stopped with every connection it carries."""

    def __init__(self, address, port, target_port, tls_pem=None):
        listen = (f"OPENSSL-LISTEN:{port},bind={address},cert={tls_pem},verify=0,fork,reuseaddr" if tls_pem
                  else f"TCP-LISTEN:{port},bind={address},fork,reuseaddr")
        self.proc = subprocess.Popen(["socat", listen, f"TCP:127.0.0.1:{target_port}"], start_new_session=True,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.address, self.port = address, port
        rig.wait_for(self.listening, 10, f"socat on {address}:{port}")

    def listening(self):
        """Whether the address and port listen (read from the kernel: a dropped network cannot answer)."""
        want = "%08X:%04X" % (int.from_bytes(socket.inet_aton(self.address), "little"), self.port)
        rows = Path("/proc/net/tcp").read_text().splitlines()[1:]
        return any(row.split()[1] == want and row.split()[3] == "0A" for row in rows)

    def stop(self):
        try:
            os.killpg(self.proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.proc.wait()


def make_tracks(folder):
    """The last resort: three short tones of three formats, a text file and an unreadable track."""
    folder.mkdir()
    for i, (name, seconds) in enumerate((("one.mp3", 25), ("two.ogg", 35), ("three.flac", 20))):
        sh("ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
           f"sine=frequency={990 + 110 * i}:sample_rate=44100:duration={seconds}", "-ac", "2",
           "-metadata", f"title=Track {i + 1}", "-metadata", "artist=Chaos Resort", str(folder / name))
    (folder / "notes.txt").write_text("not audio\n")
    (folder / "broken.mp3").write_bytes(b"\xff\xfb" + os.urandom(4000))


def least_squares_slope(points):
    """Slope of (x, y) points by least squares, or 0 with fewer than two."""
    if len(points) < 2:
        return 0.0
    mx = sum(x for x, _ in points) / len(points)
    my = sum(y for _, y in points) / len(points)
    var = sum((x - mx) ** 2 for x, _ in points)
    return sum((x - mx) * (y - my) for x, y in points) / var if var else 0.0


def players_rss_kb():
    total = 0
    for pid in set().union(*rig.live_pids_by_name(rig.PLAYER_NAMES).values()):
        try:
            total += int(Path(f"/proc/{pid}/status").read_text().split("VmRSS:")[1].split()[0])
        except (OSError, IndexError, ValueError):
            pass
    return total


def make_chaos(Soak, Stand_in, proc_figures):
    """The chaos soak, built on the hour-long soak's class (bench/soak)."""

    class Chaos(Soak):
        entry_every = ENTRY_EVERY
        rotation = (1, 2, 3, 4)
        # CHAOS_TROUBLE_EVERY=10,20 makes trouble more often, to try the script in minutes
        trouble_every = tuple(float(x) for x in os.environ.get("CHAOS_TROUBLE_EVERY", "60,240").split(","))
        # The program restarts (its counter starts again) and error.log loses lines on a full disk.
        exact_restarts = False

        def journal(self):
            # station.log loses its lines while the disk is full; the program's output keeps them all
            return self.station.output()

        def build(self):
            self.args.minutes = int(self.args.chaos * 60)
            self.sound = heard.SoundServer()
            self.player_ends = heard.PlayerEnds()  # players outliving a program restart end as this process's
            self.work = Path(tempfile.mkdtemp(prefix="chaos-work-"))
            self.authority = Authority(self.work)
            self.hosts_file = self.work / "hosts"
            self.addresses = {name: addresses[0] for name, addresses in HOSTS.items()}
            self.write_hosts()
            sh("mount", "--bind", str(self.hosts_file), "/etc/hosts")
            self.servers = {name: rig.IcecastServer().start() for name in "ABC"}
            for number, (key, mount, name, frequency) in SOURCES.items():
                self.servers[key].add_feed(mount, frequency=frequency, name=name, genre="Chaos")
            self.forwarders = {}
            for host, key in (("a", "A"), ("b", "B"), ("c", "C")):
                for address in HOSTS[host]:
                    self.forwarders[address] = Forwarder(address, self.servers[key].port, self.servers[key].port)
            self.tls_port = rig.free_port()
            self.renew_certificate(60 * 24 * 20)
            self.sources = {}
            for number, (key, mount, name, _) in SOURCES.items():
                host = {"A": "a", "B": "b", "C": "c"}[key]
                url = (f"https://tls.chaos.test:{self.tls_port}{mount}" if number == 4
                       else f"http://{host}.chaos.test:{self.servers[key].port}{mount}")
                self.sources[number] = {"n": name, "u": url}
            self.webhook = Webhook()
            self.faketime = self.work / "faketime"
            self.faketime.write_text("+0\n")
            self.clock_offset = 0
            self.disk_windows = []      # (begin, end) while the station folder's disk was full
            self.outage_windows = []    # (begin, end) while every server was unreachable
            self.players_course = []    # (minute, players' RSS kB)
            self.pid_course = []        # (minute, the program's pid, RSS kB, descriptors)
            self.restarts, self.last_restart = 0, time.time()
            self.reloads = 0
            self.build_station()

        def write_hosts(self):
            lines = ["127.0.0.1 localhost"] + [f"{a} {h}.chaos.test" for h, a in self.addresses.items()]
            self.hosts_file.write_text("\n".join(lines) + "\n")

        def renew_certificate(self, minutes):
            pem, self.cert_ends = self.authority.issue("tls.chaos.test", minutes)
            if getattr(self, "tls_front", None):
                self.tls_front.stop()
            self.tls_front = Forwarder(HOSTS["tls"][0], self.tls_port, self.servers["B"].port, tls_pem=pem)

        def build_station(self):
            span = (self.args.minutes + 20) * 60
            self.today = rig.Today(span=span)
            first = (self.today.seconds // 60 + 2) * 60 + 20
            self.entries, previous = [], 1
            for at in range(first, first + span - 2 * self.entry_every, self.entry_every):
                previous = self.random.choice([n for n in self.rotation if n != previous])
                self.entries.append((at, previous))
            lines = [self.today.entry(0, 1)] + [self.today.entry(at, n) for at, n in self.entries]
            self.schedule = "".join(line + "\r\n" for line in lines).encode()
            self.management = Stand_in("management", self.management_reply)
            self.billing = Stand_in("billing", lambda path: b"OK")
            self.air = Stand_in("air", lambda path: b"OK")
            self.weather = Stand_in("weather", lambda path: b'{"main":{"temp":283.9},"name":"Chaos","cod":200}')
            tracks = self.work / "lastresort"
            make_tracks(tracks)
            self.settings = {
                "CheckSource": "1", "FastFailover": "1", "StandbyCheck": "1", "BackupChain": "0,5",
                "SilenceSeconds": "6", "LastResortFile": str(tracks), "KeepAirOnStart": "1",
                "PlayerRefreshHours": "0.5", "NotifyURL": self.webhook.url, "NotifyRepeatMinutes": "20",
                "Tallyway": "1", "MetaURL": self.billing.url + "/bill", "AIRenable": "1", "MetaWeather": "1",
                "APIallowed": "1", "APIKey": "soakkey", "ManagementUpdate": "1", "CheckForChanges": "1",
                "ManagementURL": self.management.url + "/manage",
                "CheckForChangeURL": self.management.url + "/changes",
                "ManagementSendURL": self.management.url + "/send.php"}
            folder = rig.StationFolder(self.settings, self.sources, lines)
            (folder.mplayer_home / "config").write_text("ao=pulse\n")
            # The station folder on a disk of its own that the bench can fill.
            keep = self.work / "station-files"
            shutil.copytree(folder.path, keep, symlinks=True)
            sh("mount", "-t", "tmpfs", "-o", "size=256m", "chaos-disk", str(folder.path))
            shutil.copytree(keep, folder.path, symlinks=True, dirs_exist_ok=True)
            self.station = rig.Station(folder, binary=self.args.bin, api_port=rig.free_port(),
                                       air_url=self.air.url, weather_url=self.weather.url,
                                       extra_args=["--status-port", str(rig.free_port())])
            self.station.status_port = int(self.station.extra_args[1])
            plain = self.station.command
            self.station.command = lambda: [
                "env", f"LD_PRELOAD={FAKETIME_LIB}", f"FAKETIME_TIMESTAMP_FILE={self.faketime}",
                "FAKETIME_CACHE_DURATION=1", "FAKETIME_DONT_FAKE_MONOTONIC=1", *plain()]

        # -------------------------------------------------------- the faults
        def firewall(self, addresses):
            """Drops every packet to and from `addresses` (none: the drop ends)."""
            sh("nft", "delete", "table", "inet", "chaos", check=False)
            if not addresses:
                return
            listed = ", ".join(addresses)
            sh("nft", "add", "table", "inet", "chaos")
            sh("nft", "add", "chain", "inet", "chaos", "out", "{ type filter hook output priority 0 ; }")
            sh("nft", "add", "rule", "inet", "chaos", "out", "ip", "daddr", f"{{ {listed} }}", "drop")
            sh("nft", "add", "rule", "inet", "chaos", "out", "ip", "saddr", f"{{ {listed} }}", "drop")

        def trouble(self):
            kinds = ["player", "server", "mount", "management", "billing", "billing503", "drop", "drop", "move",
                     "clock", "cert", "disk", "restart", "reload", "reload", "flood"]
            kind = self.random.choice(kinds)
            busy = {what for _, what, _ in self.restore}
            if kind in ("player", "server", "mount", "management", "billing", "billing503"):
                return super().trouble_of(kind)
            hold = self.random.uniform(60, 300)
            if kind == "drop":
                if "drop" in busy:
                    return None
                which = self.random.choice(["A", "B", "every server"])
                hosts = {"A": ["a"], "B": ["b", "tls"], "every server": ["a", "b", "c", "tls"]}[which]
                addresses = [a for h in hosts for a in HOSTS[h]]
                self.firewall(addresses)
                began = time.time()
                if which == "every server":
                    self.outage_windows.append([began, None])

                def undo():
                    self.firewall([])
                    if which == "every server":
                        self.outage_windows[-1][1] = time.time()
                self.restore.append((began + hold, "drop", undo))
                return f"dropped the network to {which} for {hold:.0f} s"
            if kind == "move":
                host = self.random.choice("ab")
                if f"move {host}" in busy:
                    return None
                old = self.addresses[host]
                new = next(a for a in HOSTS[host] if a != old)
                self.addresses[host] = new
                self.write_hosts()
                time.sleep(10)
                self.forwarders[old].stop()
                port = self.forwarders[old].port

                def undo():
                    self.forwarders[old] = Forwarder(old, port, port)
                self.restore.append((time.time() + 120, f"move {host}", undo))
                return f"moved {host}.chaos.test from {old} to {new}; {old} gone for 2 min"
            if kind == "clock":
                step = self.random.choice([-1, 1]) * self.random.randint(60, 600)
                if abs(self.clock_offset + step) > 900:
                    step = -step
                self.clock_offset += step
                self.faketime.write_text(f"{self.clock_offset:+d}\n")
                return f"stepped the station's clock by {step:+d} s (now {self.clock_offset:+d} s)"
            if kind == "cert":
                if "cert" in busy:
                    return None
                minutes = self.random.randint(2, 6)
                self.renew_certificate(minutes)
                self.restore.append((time.time() + minutes * 60 + hold, "cert",
                                     lambda: self.renew_certificate(60 * 24 * 20)))
                return f"TLS certificate now expires in {minutes} min, renewed {hold:.0f} s after"
            if kind == "disk":
                if "disk" in busy:
                    return None
                ballast = self.station.folder.path / "ballast"
                with open(ballast, "wb") as out:
                    try:
                        while True:
                            out.write(b"\0" * (1 << 20))
                            out.flush()
                    except OSError:
                        pass
                self.disk_windows.append([time.time(), None])

                def undo():
                    ballast.unlink(missing_ok=True)
                    self.disk_windows[-1][1] = time.time()
                self.restore.append((time.time() + hold / 2, "disk", undo))
                return f"filled the station's disk for {hold / 2:.0f} s"
            if kind == "restart":
                if "disk" in busy or time.time() - self.last_restart < 80 * 60:
                    return None  # a start on a full disk is another test; each run of the program lasts a while
                self.last_restart = time.time()
                rig.processes.end(self.station.proc, signal.SIGTERM)
                self.station.proc = None
                self.station.start()
                self.restarts += 1
                return "restarted the program (KeepAirOnStart=1)"
            if kind == "reload":
                self.reloads += 1
                if self.reloads % 2 == 0:
                    value = self.random.choice(["6", "8"])
                    self.settings["SilenceSeconds"] = value
                    text = Path(self.station.folder.file("brackenfield.ini")).read_bytes().decode("latin-1")
                    lines = [line if not line.startswith("SilenceSeconds=") else f"SilenceSeconds={value}"
                             for line in text.split("\r\n")]
                    try:
                        self.station.folder.file("brackenfield.ini").write_bytes("\r\n".join(lines).encode("latin-1"))
                    except OSError:
                        pass  # the disk is full: the reload reads what is there
                os.kill(self.station.proc.pid, signal.SIGHUP)
                return f"reload (SIGHUP){' with SilenceSeconds changed' if self.reloads % 2 == 0 else ''}"
            if kind == "flood":
                live = list(self.live_mounts())
                if not live:
                    return None
                server, mount = self.random.choice(live)

                def flood():
                    end = time.time() + 30
                    n = 0
                    while time.time() < end:
                        n += 1
                        try:
                            server.set_title(mount, f"Flood {n} - Title on {mount.strip('/')}")
                        except (AssertionError, OSError):
                            return
                        time.sleep(0.05)
                threading.Thread(target=flood, daemon=True).start()
                return f"title flood on {mount} for 30 s"
            return None

        def sample(self, started):
            super().sample(started)
            minute, rss, _, fds, _ = self.course[-1]
            self.pid_course.append((minute, self.station.proc.pid, rss, fds))
            self.players_course.append((minute, players_rss_kb()))

        def undo_everything(self):
            self.firewall([])
            self.faketime.write_text("+0\n")
            self.clock_offset = 0
            for address in [a for h in HOSTS.values() for a in h]:
                forwarder = self.forwarders.get(address)
                if forwarder is not None and not forwarder.listening():
                    self.forwarders[address] = Forwarder(address, forwarder.port, forwarder.port)

        # -------------------------------------------------------- the checks
        def more_checks(self, failures, lines):
            folder = self.station.folder
            out = self.station.output()
            self.check_air(failures, lines)
            self.check_asrun(failures, lines, out)
            self.check_notifications(failures, lines)
            metadata = (folder.read("metadata.txt") or b"").decode("latin-1")
            state = self.status_now()
            on_air = state["on_air"]
            lines.append(f"- metadata.txt at the end: {metadata.strip()[:120]!r} (on air {on_air['number']})")
            # Each run of the program on its own, from its 20th minute: a restart starts afresh.
            runs = {}
            for minute, pid, rss, fds in self.pid_course:
                runs.setdefault(pid, []).append((minute, rss, fds))
            for pid, points in runs.items():
                settled = [p for p in points if p[0] - points[0][0] >= 20]
                if len(settled) < 2 or settled[-1][0] - settled[0][0] < 30:
                    continue
                slope = least_squares_slope([(m / 60, r / 1024) for m, r, _ in settled])
                lines.append(f"- program {pid}, minutes {settled[0][0]}-{settled[-1][0]}: memory slope {slope:+.2f} "
                             f"MB/h, descriptors {settled[0][2]} -> {settled[-1][2]}")
                if slope >= 1.0:
                    failures.append(f"program {pid}'s memory grew by {slope:.2f} MB an hour")
                if settled[-1][2] > settled[0][2]:
                    failures.append(f"program {pid}'s descriptors grew from {settled[0][2]} to {settled[-1][2]}")
            players_slope = least_squares_slope([(m / 60, r / 1024) for m, r in self.players_course if m >= 30])
            lines.append(f"- players' memory slope from minute 30: {players_slope:+.2f} MB/h (RSS every 5 min: "
                         f"{', '.join(str(r) for _, r in self.players_course)} kB)")
            counts = {word: out.count(word) for word in (
                "REFRESHED AFTER", "CERTIFICATE EXPIRE", "CANNOT WRITE", "FILES ARE WRITTEN AGAIN", "LAST RESORT",
                "STANDBY", "SYSTEM STARTUP")}
            lines.append(f"- in the journal: {counts}; restarts made {self.restarts}, reloads {self.reloads}, "
                         f"disk full {len(self.disk_windows)} times, every server gone {len(self.outage_windows)} times")

        def status_now(self):
            with socket.create_connection(("127.0.0.1", self.station.status_port), timeout=10) as sock:
                sock.sendall(b"GET /status.json HTTP/1.0\r\n\r\n")
                data = b""
                while chunk := sock.recv(65536):
                    data += chunk
            return json.loads(data.split(b"\r\n\r\n", 1)[1])

        def check_air(self, failures, lines):
            start, samples = self.sound.samples()
            # From the first schedule entry on: before it the station was still starting.
            heard_from = self.today.epoch(self.entries[0][0])
            stretches = [(w, d) for w, d in heard.silences(samples, start) if w >= heard_from]
            outside = []
            for when, seconds in stretches:
                nobody = any(b <= when <= (e or time.time()) + 5 for b, e in self.outage_windows)
                cause = [text for at, text in self.events if when - 30 <= at <= when]
                if not nobody:
                    outside.append((when, seconds, cause))
            total = sum(s for _, s in stretches)
            lines.append(f"- dead air heard: {len(stretches)} stretches, {total:.1f} s in all; outside the times "
                         f"every server was gone: {len(outside)} stretches, {sum(s for _, s, _ in outside):.1f} s")
            for when, seconds, cause in outside:
                lines.append(f"    {time.strftime('%H:%M:%S', time.localtime(when))} {seconds:.2f} s after "
                             f"{'; '.join(cause) or 'no trouble in the 30 s before'}")

        def check_asrun(self, failures, lines, out):
            rows, broken = [], 0
            for day in sorted((self.station.folder.path / "asrun").glob("*.csv")):
                for row in list(csv.reader(io.StringIO(day.read_bytes().decode("latin-1"))))[1:]:
                    if len(row) not in (7, 8) or not row[1].isdigit():
                        broken += 1
                    else:
                        rows.append(row)
            switches = [line for line in out.splitlines() if " SYS - SWITCH TO " in line]
            on_air_rows = [row for row in rows if row[2] == "on air"]
            lines.append(f"- as-run: {len(rows)} rows ({len(on_air_rows)} on air), {broken} broken; "
                         f"SWITCH TO lines in the journal {len(switches)}; disk full {len(self.disk_windows)} times")
            if broken:
                failures.append(f"{broken} broken as-run rows")
            if len(on_air_rows) > len(switches) or (not self.disk_windows and len(on_air_rows) != len(switches)):
                failures.append(f"as-run on-air rows {len(on_air_rows)} against {len(switches)} switches")

        def check_notifications(self, failures, lines):
            open_ones, storms, kinds = {}, {}, {}
            for when, body in self.webhook.received:
                # a failover's or silence's end is told as a return
                kind = body.get("event")
                key = ("failover" if kind in ("failover", "silence", "return") else kind, body.get("source"))
                kinds[kind] = kinds.get(kind, 0) + 1
                hour = int(when // 3600)
                storms[(key, hour)] = storms.get((key, hour), 0) + 1
                if body.get("state") == "begin":
                    open_ones[key] = when
                elif body.get("state") == "end":
                    if open_ones.pop(key, None) is None:
                        failures.append(f"a notification's end without its begin: {body}")
            most = max(storms.values(), default=0)
            lines.append(f"- notifications: {len(self.webhook.received)} ({kinds}); most of one kind and source in "
                         f"an hour {most}; still open at the end: {sorted(map(str, open_ones))}")
            if most > 6:
                failures.append(f"a storm of notifications: {most} of one kind and source in an hour")
            if "secret-token" in self.station.output() + json.dumps([b for _, b in self.webhook.received]):
                failures.append("the webhook's token reached the log or a notification")

        def close(self):
            try:
                super().close()
            finally:
                for forwarder in list(self.forwarders.values()) + [self.tls_front]:
                    forwarder.stop()
                self.sound.stop()
                self.player_ends.stop()
                self.firewall([])

    return Chaos
