"""The world's air: the kinds of source stations relay, each from a real encoder (ffmpeg) through a real server (Icecast,
a plain web server, a TLS front whose authority only this test trusts), each on a station of its own, side by side:
MP3 and AAC with ICY titles, Ogg Vorbis, Opus and FLAC with titles in the stream, live HLS, .pls and .m3u playlists, a
redirect to another port and HTTPS. Each is played, heard, titled, stalled (the backup takes over) and comes back; an
HTTPS source whose certificate nobody trusts fails over with the reason."""

import rig
from rig.tls import TlsFront, make_certificates
from rig.web import HlsFeed, WebFolder

WAIT = 90  # many stations start, fail over and come back at once on a small machine


def test_every_kind_of_source_plays_is_heard_titled_and_replaced(icecast_pair, make_station, monkeypatch, tmp_path):
    server = icecast_pair[1]
    web = WebFolder()
    authority = make_certificates(tmp_path / "tls")
    monkeypatch.setenv("SSL_CERT_FILE", str(authority / "authority.pem"))
    trusted, untrusted = TlsFront(authority, "trusted", server.port), TlsFront(authority, "untrusted", server.port)
    # row: (codec of its own mount, the source's address for that mount, its title is set by the server)
    rows = {"mp3": ("mp3", server.url, True), "aac": ("aac", server.url, True),
            "vorbis": ("vorbis", server.url, True), "opus": ("opus", server.url, False),
            "flac": ("flac", server.url, False),
            "pls": ("mp3", lambda m: web.write("w.pls", f"[playlist]\nFile1=http://127.0.0.1:9/gone\nFile2="
                                                        f"{server.url(m)}\nNumberOfEntries=2\n"), True),
            "m3u": ("mp3", lambda m: web.write("w", f"#EXTM3U\n{server.url(m)}\n", "audio/x-mpegurl"), True),
            "redirect": ("mp3", lambda m: web.redirect("/moved", server.url(m)), True),
            "https": ("mp3", trusted.url, True)}
    feeds, addresses = {}, {}
    for kind, (codec, address, _) in rows.items():
        feeds[kind] = server.add_feed(f"/w-{kind}", wait=False, codec=codec, name=f"World {kind}",
                                      title=f"World {kind} title")
        addresses[kind] = address(f"/w-{kind}")
    hls = HlsFeed(web, "hls", "World hls title")
    addresses["hls"], rows["hls"] = hls.url, ("aac", None, False)
    addresses["untrusted"] = untrusted.url("/w-mp3")
    for feed in feeds.values():
        feed.wait_live()

    stations = {kind: make_station(settings={"CheckSource": "1", "FastFailover": "1"}, schedule=[rig.entry(d, "000000", 1) for d in range(1, 8)],
                                   sources={0: {"n": "Rig Backup", "u": server.url("/backup")},
                                            1: {"n": f"World {kind}", "u": address}})
                for kind, address in addresses.items()}

    def on(number, state):
        return lambda d: (d.get("CurrentSource"), d.get("Failover")) == (str(number), state)

    def heard_and_playing(station):
        def check(d):
            slot = d.get("CurrentMplayer")
            return (on(1, "normal")(d) and d.get("Air", "").startswith("sound moving") and slot in ("1", "2")
                    and "Starting playback..." in station.player_log(int(slot)))
        return check

    try:
        for kind, station in stations.items():
            if kind != "untrusted":
                station.wait_dump(heard_and_playing(station), WAIT, f"the {kind} source played and heard")
        for kind, (_, _, settable) in rows.items():
            if settable:
                server.set_title(f"/w-{kind}", f"World {kind} now")
        for kind, (_, _, settable) in rows.items():
            title = f"World {kind} now" if settable else f"World {kind} title"
            rig.wait_for(lambda: title.encode() in (stations[kind].folder.read("metadata.txt") or b""), WAIT,
                         f"the {kind} title in metadata.txt")

        # A certificate nobody trusts: the backup, with the reason.
        bad = stations.pop("untrusted")
        bad.wait_dump(on(0, "failover"), WAIT, "the backup for the untrusted source")
        assert any("certificate" in m.lower() for m in rig.air_messages(bad.dump())), rig.air_messages(bad.dump())[:4]

        # Each stalls (its encoder stops, its server keeps the connection): the backup, then the source again.
        for kind in rows:
            (hls if kind == "hls" else feeds[kind]).pause()
        for kind, station in stations.items():
            station.wait_dump(on(0, "failover"), WAIT, f"the backup for the stalled {kind} source")
        for kind in rows:
            (hls if kind == "hls" else feeds[kind]).pause(False)

        def back(kind, station):
            # A feed stalled past the server's source time-out has lost its mount: it connects again.
            for feed in feeds.values():
                if not feed.running():
                    feed.start(wait=False)
            return heard_and_playing(station)(station.dump())

        for kind, station in stations.items():
            rig.wait_for(lambda: back(kind, station), 2 * WAIT, f"the {kind} source back on air")
    finally:
        hls.stop()
        for front in (trusted, untrusted):
            front.close()
        web.close()
        for kind in rows:
            if kind in feeds:
                feeds[kind].stop(wait=False)
