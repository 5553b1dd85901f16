"""A stand-in stream server in front of an Icecast mount, which can behave as real servers do when they go wrong: stall
(keep every connection, send nothing, and hand each new listener the burst of its buffer, as a hung relay, a CDN edge
or an encoder does), answer with an old server's "ICY 200 OK" status line, send a header line
without end, or flood titles (a new title of `title_bytes` after every `metaint` bytes of audio, to a listener that asks
for titles; with `paid`, every other one a paid item, "$ Flood N - xxx...")."""

import socket
import threading

from .local import free_port

RELAY, ICY, ENDLESS_HEADER, FLOOD = "relay", "icy", "endless header", "flood"
BURST = 65536  # what a stalled relay hands each new listener: the last bytes it passed on


class StreamStandIn:
    def __init__(self, upstream_url, mode=RELAY, name="Rig Stand-in", metaint=512, title_bytes=4000, agent=b"",
                 paid=False, host="127.0.0.1", port=None):
        self.upstream, self.mode, self.name, self.paid = upstream_url, mode, name, paid
        # The flood goes to listeners whose User-Agent holds `agent`.
        self.metaint, self.title_bytes, self.agent = metaint, title_bytes, agent.lower()
        self.flowing = threading.Event()
        self.flowing.set()
        self.closing = False
        self.titles = 0  # titles sent by the flood
        self.recent, self.lock, self.bursts, self.served = b"", threading.Lock(), 0, 0
        self.host, self.port = host, port or free_port()
        self.listener = socket.create_server((host, self.port))
        threading.Thread(target=self._accept, daemon=True).start()

    def url(self, path="/"):
        return f"http://{self.host}:{self.port}{path}"

    def stall(self):
        """Keeps every connection and new ones, and sends nothing more."""
        self.flowing.clear()

    def resume(self):
        self.flowing.set()

    def close(self):
        self.closing = True
        self.flowing.set()
        self.listener.close()

    def _accept(self):
        while not self.closing:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            self.served += 1
            threading.Thread(target=self._serve, args=(client,), daemon=True).start()

    def _serve(self, client):
        with client:
            try:
                request = b""
                while b"\r\n\r\n" not in request and len(request) < 16384:
                    chunk = client.recv(4096)
                    if not chunk:
                        return
                    request += chunk
                if self.mode == ENDLESS_HEADER:
                    client.sendall(b"HTTP/1.0 200 OK\r\nX-Without-End: ")
                    while not self.closing:
                        client.sendall(b"a" * 65536)
                status = b"ICY 200 OK" if self.mode == ICY else b"HTTP/1.0 200 OK"
                flood = self.mode == FLOOD and b"icy-metadata: 1" in request.lower() and self.agent in request.lower()
                metaint = b"icy-metaint: %d\r\n" % self.metaint if flood else b""
                client.sendall(status + b"\r\nContent-Type: audio/mpeg\r\nicy-name: " + self.name.encode() +
                               b"\r\nicy-br: 128\r\n" + metaint + b"\r\n")
                self._relay(client, flood)
            except OSError:
                return

    def _title_block(self):
        self.titles += 1
        paid = self.paid and self.titles % 2
        meta = f"StreamTitle='{'$ ' if paid else ''}Flood {self.titles} {'- ' if paid else ''}{'x' * self.title_bytes}';"
        meta = meta.encode()
        meta += b"\0" * (-len(meta) % 16)
        return bytes([len(meta) // 16]) + meta

    def _relay(self, client, flood=False):
        if not self.flowing.is_set():
            with self.lock:
                burst, self.bursts = bytes(self.recent), self.bursts + 1
            client.sendall(burst)
        host_port, _, path = self.upstream.removeprefix("http://").partition("/")
        host, _, port = host_port.partition(":")
        with socket.create_connection((host, int(port)), timeout=10) as upstream:
            upstream.sendall(f"GET /{path} HTTP/1.0\r\nHost: {host_port}\r\n\r\n".encode())
            head = b""
            while b"\r\n\r\n" not in head:
                chunk = upstream.recv(4096)
                if not chunk:
                    return
                head += chunk
            body, audio = head.split(b"\r\n\r\n", 1)[1], b""
            passed = bytearray()  # this connection's last bytes: the buffer while it is the latest
            while not self.closing:
                # A stall keeps both connections and lets nothing more through.
                self.flowing.wait()
                if flood:
                    audio += body
                    while len(audio) >= self.metaint:
                        client.sendall(audio[:self.metaint] + self._title_block())
                        audio = audio[self.metaint:]
                elif body:
                    client.sendall(body)
                    with self.lock:
                        passed += body
                        del passed[:-BURST]
                        self.recent = passed
                body = upstream.recv(16384)
                if not body:
                    return
