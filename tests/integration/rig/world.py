"""The world's air: a source of every kind a station relays, each from its own encoder, for the scenario and the formats
bench. MP3 and AAC with ICY titles, Ogg Vorbis, Opus and FLAC with titles in the stream, .pls and .m3u playlists (the
.m3u told only by its content type) and a redirect to another port from a plain web server, HTTPS through a TLS front
whose authority only SSL_CERT_FILE trusts, live HLS (packed AAC segments whose ID3 tag carries the title), and HTTPS
with a certificate nobody signed."""

import functools
import http.server
import os
import signal
import socket
import socketserver
import ssl
import subprocess
import tempfile
import threading
from pathlib import Path

from .local import wait_for
from .processes import end, spawn


def make_certificates(folder):
    """Writes authority.pem (the test's own authority), trusted.pem/trusted.key (127.0.0.1, signed by it) and
    untrusted.pem/untrusted.key (127.0.0.1, signed by itself) into `folder`; returns the folder as a Path."""
    folder = Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "san.cnf").write_text("subjectAltName=IP:127.0.0.1,DNS:localhost\n")
    key = ["-newkey", "rsa:2048", "-nodes"]
    for args in (["req", "-x509", *key, "-days", "2", "-subj", "/CN=Rig Test Authority", "-keyout", "authority.key",
                  "-out", "authority.pem"],
                 ["req", *key, "-subj", "/CN=127.0.0.1", "-keyout", "trusted.key", "-out", "trusted.csr"],
                 ["x509", "-req", "-in", "trusted.csr", "-CA", "authority.pem", "-CAkey", "authority.key",
                  "-CAcreateserial", "-days", "2", "-extfile", "san.cnf", "-out", "trusted.pem"],
                 ["req", "-x509", *key, "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                  "subjectAltName=IP:127.0.0.1", "-keyout", "untrusted.key", "-out", "untrusted.pem"]):
        subprocess.run(["openssl", *args], cwd=folder, check=True, capture_output=True)
    return folder


class TlsFront(socketserver.ThreadingTCPServer):
    """Listens on a port of its own with `name`.pem/.key of `folder` and passes every connection on to `upstream_port`
    on 127.0.0.1, byte for byte."""

    daemon_threads = True

    def __init__(self, folder, name, upstream_port):
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(Path(folder) / f"{name}.pem", Path(folder) / f"{name}.key")

        class Pass(socketserver.BaseRequestHandler):
            def handle(self):
                try:
                    self.request.settimeout(10)
                    secure = context.wrap_socket(self.request, server_side=True)
                    upstream = socket.create_connection(("127.0.0.1", upstream_port), timeout=10)
                except (OSError, ssl.SSLError):
                    return
                for end in (secure, upstream):
                    end.settimeout(None)
                threading.Thread(target=_pipe, args=(upstream, secure), daemon=True).start()
                _pipe(secure, upstream)

        super().__init__(("127.0.0.1", 0), Pass)
        self.port = self.server_address[1]
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def url(self, path):
        return f"https://127.0.0.1:{self.port}{path}"

    def close(self):
        self.shutdown()
        self.server_close()


def _pipe(source, target):
    try:
        while chunk := source.recv(16384):
            target.sendall(chunk)
    except (OSError, ssl.SSLError):
        pass
    for end in (source, target):
        try:
            end.close()
        except OSError:
            pass


TYPES = {".pls": "audio/x-scpls", ".m3u": "audio/x-mpegurl", ".m3u8": "application/vnd.apple.mpegurl",
         ".aac": "audio/aac"}


class WebFolder(http.server.ThreadingHTTPServer):
    """A plain web server for a folder of playlists and HLS segments, with redirects (path: address) and content types
    by name (name: type) besides those by suffix."""

    daemon_threads = True

    def __init__(self):
        self.folder, self.redirects, self.types = Path(tempfile.mkdtemp(prefix="rig-web-")), {}, {}
        web = self

        class Handler(http.server.SimpleHTTPRequestHandler):
            def do_GET(self):  # noqa: N802 - http.server's naming
                if self.path not in web.redirects:
                    return super().do_GET()
                self.send_response(302)
                self.send_header("Location", web.redirects[self.path])
                self.end_headers()

            def guess_type(self, path):
                return web.types.get(Path(path).name) or TYPES.get(Path(path).suffix, "application/octet-stream")

            def log_message(self, *args):
                pass

        super().__init__(("127.0.0.1", 0), functools.partial(Handler, directory=str(self.folder)))
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def url(self, path):
        return f"http://127.0.0.1:{self.server_address[1]}{path}"

    def write(self, name, text, content_type=None):
        (self.folder / name).write_text(text)
        self.types[name] = content_type
        return self.url("/" + name)

    def close(self):
        self.shutdown()
        self.server_close()


class HlsFeed:
    """A live HLS stream in `web`'s folder/`name`/live.m3u8: 2-second segments, five listed; pause() stops new ones."""

    def __init__(self, web, name, title, frequency=770):
        folder = web.folder / name
        folder.mkdir()
        self.url = web.url(f"/{name}/live.m3u8")
        self.proc = spawn(["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "warning", "-re", "-f", "lavfi",
                           "-i", f"sine=frequency={frequency}:sample_rate=44100", "-ac", "2", "-c:a", "aac",
                           "-b:a", "96k", "-metadata", f"title={title}", "-f", "segment", "-segment_format", "adts",
                           "-segment_format_options", "write_id3v2=1", "-segment_list", str(folder / "live.m3u8"),
                           "-segment_list_type", "m3u8", "-segment_list_flags", "+live", "-segment_list_size", "5",
                           "-segment_time", "2", str(folder / "seg%05d.aac")], folder / "feed.log")
        wait_for(lambda: (folder / "live.m3u8").read_text().count("#EXTINF") >= 2, 20.0, f"HLS {name} to go live")

    def pause(self, paused=True):
        self.proc.send_signal(signal.SIGSTOP if paused else signal.SIGCONT)

    def running(self):
        return True

    wait_live = running

    def stop(self, wait=False):
        self.pause(False)
        end(self.proc, signal.SIGTERM)


class World:
    def __init__(self, server, folder):
        """Feeds on Icecast `server`; the certificates go into `folder`; SSL_CERT_FILE is set for what starts later."""
        self.server, self.web = server, WebFolder()
        authority = make_certificates(folder)
        os.environ["SSL_CERT_FILE"] = str(authority / "authority.pem")
        self.fronts = [TlsFront(authority, "trusted", server.port), TlsFront(authority, "untrusted", server.port)]
        web, url = self.web, server.url
        # kind: (codec of its own mount, the source's address for that mount, the server sets its title)
        self.rows = {"mp3": ("mp3", url, True), "aac": ("aac", url, True), "vorbis": ("vorbis", url, True),
                     "opus": ("opus", url, False), "flac": ("flac", url, False),
                     "pls": ("mp3", lambda m: web.write("w.pls", f"[playlist]\nFile1=http://127.0.0.1:9/gone\n"
                                                                 f"File2={url(m)}\nNumberOfEntries=2\n"), True),
                     "m3u": ("mp3", lambda m: web.write("w", f"#EXTM3U\n{url(m)}\n", "audio/x-mpegurl"), True),
                     "redirect": ("mp3", lambda m: web.redirects.setdefault("/moved", url(m)) and web.url("/moved"),
                                  True),
                     "https": ("mp3", self.fronts[0].url, True)}
        self.feeds, self.addresses = {}, {}
        for kind, (codec, address, _) in self.rows.items():
            self.feeds[kind] = server.add_feed(f"/w-{kind}", wait=False, codec=codec, name=f"World {kind}",
                                               title=f"World {kind} title")
            self.addresses[kind] = address(f"/w-{kind}")
        self.feeds["hls"] = HlsFeed(web, "hls", "World hls title")
        self.addresses["hls"], self.rows["hls"] = self.feeds["hls"].url, ("aac", None, False)
        self.addresses["untrusted"] = self.fronts[1].url("/w-mp3")
        for feed in self.feeds.values():
            feed.wait_live()

    def title(self, kind):
        """Sets the titles the servers can set; returns the title `kind` then has."""
        settable = self.rows[kind][2]
        if settable:
            self.server.set_title(f"/w-{kind}", f"World {kind} now")
        return f"World {kind} now" if settable else f"World {kind} title"

    def stall(self, stalled=True):
        for feed in self.feeds.values():
            feed.pause(stalled)

    def revive(self):
        """Feeds stalled past the server's source time-out have lost their mount: they connect again."""
        for feed in self.feeds.values():
            if not feed.running():
                feed.start(wait=False)

    def close(self):
        for feed in self.feeds.values():
            feed.stop(wait=False)
        for server in (*self.fronts, self.web):
            server.close()
