"""What runs in the test process: waiting on events with a deadline, free local ports, and stand-ins for the outside
HTTP services (management, billing, TuneIn AIR, weather) that record the path of every request."""

import http.server
import socket
import threading
import time


def wait_for(predicate, timeout, what, interval=0.1):
    """Polls `predicate` until it returns a truthy value, which is returned; fails naming `what` and the last value
    after `timeout` seconds, or at once on an AssertionError. Other exceptions count as "not yet"."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            last = predicate()
            if last:
                return last
        except AssertionError:
            raise
        except Exception as error:  # noqa: BLE001 - retried until the deadline
            last = error
        if time.monotonic() >= deadline:
            raise AssertionError(f"timed out after {timeout:.1f} s waiting for {what}; last: {last!r}")
        time.sleep(interval)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def port_answers(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.5):
            return True
    except OSError:
        return False


class StubServer:
    """Answers every GET on `port` (0: a free one) with `reply(path) -> (status, body)` (text goes as Latin-1) and
    records its path in `requests`; a POST (a webhook's) likewise, its path, content type and body in `posts`."""

    def __init__(self, reply=lambda path: (200, "OK"), port=0):
        self.requests, self.posts, self.reply = [], [], reply
        stub = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.0"

            def do_POST(self):  # noqa: N802 - http.server's naming
                length = min(int(self.headers.get("Content-Length") or 0), 65536)
                stub.posts.append((self.path, self.headers.get("Content-Type"), self.rfile.read(length)))
                self.do_GET(record=False)

            def do_GET(self, record=True):  # noqa: N802 - http.server's naming
                if record:
                    stub.requests.append(self.path)
                status, payload = stub.reply(self.path)
                if isinstance(payload, str):
                    payload = payload.encode("latin-1")
                self.send_response(status)
                self.send_header("Content-Type", "text/plain")
                self.send_header("Content-Length", str(len(payload)))
                self.end_headers()
                self.wfile.write(payload)

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
        self.httpd.daemon_threads = True
        self.url = f"http://127.0.0.1:{self.httpd.server_address[1]}"
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def paths(self, part=""):
        """The paths requested so far that hold `part`."""
        return [path for path in self.requests if part in path]

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()
