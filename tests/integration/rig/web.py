"""A plain web server for a folder of playlists and HLS segments, with redirects, and a live HLS feed (packed AAC
segments whose ID3 tag carries the title) written into it by ffmpeg."""

import functools
import http.server
import signal
import tempfile
import threading
from pathlib import Path

from .local import wait_for
from .processes import end, spawn

TYPES = {".pls": "audio/x-scpls", ".m3u": "audio/x-mpegurl", ".m3u8": "application/vnd.apple.mpegurl",
         ".aac": "audio/aac", ".html": "text/html"}


class WebFolder:
    def __init__(self):
        self.folder = Path(tempfile.mkdtemp(prefix="rig-web-"))
        self.redirects, self.types = {}, {}
        web = self

        class Handler(http.server.SimpleHTTPRequestHandler):
            def do_GET(self):  # noqa: N802 - http.server's naming
                if self.path in web.redirects:
                    self.send_response(302)
                    self.send_header("Location", web.redirects[self.path])
                    self.end_headers()
                    return
                super().do_GET()

            def guess_type(self, path):
                return web.types.get(Path(path).name) or TYPES.get(Path(path).suffix, "application/octet-stream")

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
                                                     functools.partial(Handler, directory=str(self.folder)))
        self.httpd.daemon_threads = True
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def url(self, path):
        return f"http://127.0.0.1:{self.httpd.server_address[1]}{path}"

    def write(self, name, text, content_type=None):
        (self.folder / name).write_text(text)
        if content_type:
            self.types[name] = content_type
        return self.url("/" + name)

    def redirect(self, path, target):
        self.redirects[path] = target
        return self.url(path)

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


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

    def stop(self):
        self.proc.send_signal(signal.SIGCONT)
        end(self.proc, signal.SIGTERM)
