"""A TLS front for the rig: a certificate authority made for the test (trusted only where SSL_CERT_FILE names it), a
server certificate for 127.0.0.1 that it signs, one that nobody signs, and a front that passes each TLS connection on
to a plain local port."""

import socket
import socketserver
import ssl
import subprocess
import threading
from pathlib import Path



def _openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, capture_output=True)


def make_certificates(folder):
    """Writes authority.pem (the test's own authority), trusted.pem/trusted.key (127.0.0.1, signed by it) and
    untrusted.pem/untrusted.key (127.0.0.1, signed by itself) into `folder`; returns the folder as a Path."""
    folder = Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "san.cnf").write_text("subjectAltName=IP:127.0.0.1,DNS:localhost\n")
    _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Rig Test Authority",
             "-keyout", "authority.key", "-out", "authority.pem", cwd=folder)
    _openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-keyout", "trusted.key",
             "-out", "trusted.csr", cwd=folder)
    _openssl("x509", "-req", "-in", "trusted.csr", "-CA", "authority.pem", "-CAkey", "authority.key",
             "-CAcreateserial", "-days", "2", "-extfile", "san.cnf", "-out", "trusted.pem", cwd=folder)
    _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1",
             "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", "untrusted.key", "-out", "untrusted.pem",
             cwd=folder)
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
