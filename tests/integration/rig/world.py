"""The world's air: a source of every kind a station relays, each from its own encoder, for the scenario and the formats
bench. MP3 and AAC with ICY titles, Ogg Vorbis, Opus and FLAC with titles in the stream, .pls and .m3u playlists (the
.m3u told only by its content type), a redirect to another port, HTTPS through a TLS front whose authority only
SSL_CERT_FILE trusts, live HLS, and HTTPS with a certificate nobody signed."""

import os

from .tls import TlsFront, make_certificates
from .web import HlsFeed, WebFolder


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
                     "redirect": ("mp3", lambda m: web.redirect("/moved", url(m)), True),
                     "https": ("mp3", self.fronts[0].url, True)}
        self.feeds, self.addresses = {}, {}
        for kind, (codec, address, _) in self.rows.items():
            self.feeds[kind] = server.add_feed(f"/w-{kind}", wait=False, codec=codec, name=f"World {kind}",
                                               title=f"World {kind} title")
            self.addresses[kind] = address(f"/w-{kind}")
        self.feeds["hls"] = HlsFeed(web, "hls", "World hls title")
        self.addresses["hls"], self.rows["hls"] = self.feeds["hls"].url, ("aac", None, False)
        self.addresses["untrusted"] = self.fronts[1].url("/w-mp3")
        for kind, feed in self.feeds.items():
            if kind != "hls":
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
        for kind, feed in self.feeds.items():
            if kind != "hls" and not feed.running():
                feed.start(wait=False)

    def close(self):
        self.feeds["hls"].stop()
        for front in self.fronts:
            front.close()
        self.web.close()
        for kind, feed in self.feeds.items():
            if kind != "hls":
                feed.stop(wait=False)
