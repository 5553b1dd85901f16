"""Stand-ins for the outside HTTP services (management, billing, TuneIn AIR,
weather): small servers on 127.0.0.1 that record every request."""

import http.server
import threading
import time
from dataclasses import dataclass


@dataclass
class RecordedRequest:
    when: float
    method: str
    path: str
    headers: dict
    client: str


class StubServer:
    """Answers every GET with `reply(path) -> (status, body)` (default: 200
    and `body`; text goes as Latin-1) and records it in `requests`."""

    def __init__(self, body=b"OK", reply=None):
        self.requests = []
        self.body = body
        self.reply = reply
        stub = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.0"

            def do_GET(self):  # noqa: N802 - http.server's naming
                stub.requests.append(RecordedRequest(time.time(), "GET", self.path,
                                                     dict(self.headers), self.client_address[0]))
                status, payload = stub.reply(self.path) if stub.reply else (200, stub.body)
                if isinstance(payload, str):
                    payload = payload.encode("latin-1")
                self.send_response(status)
                self.send_header("Content-Type", "text/plain")
                self.send_header("Content-Length", str(len(payload)))
                self.end_headers()
                self.wfile.write(payload)

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        self.port = self.httpd.server_address[1]
        self.url = f"http://127.0.0.1:{self.port}"
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def paths(self):
        return [r.path for r in self.requests]

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()
