"""A TLS front for the rig: a certificate authority made for the test (trusted only where SSL_CERT_FILE names it), a
server certificate for 127.0.0.1 that it signs, one that nobody signs, and a front that passes each TLS connection on
to a plain local port."""

import socket
import ssl
import subprocess
import threading
from pathlib import Path

from .local import free_port


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


class TlsFront:
    """Listens on a port of its own with `name`.pem/.key of `folder` and passes every connection on to `upstream_port`
    on 127.0.0.1, byte for byte."""

    def __init__(self, folder, name, upstream_port):
        self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.context.load_cert_chain(Path(folder) / f"{name}.pem", Path(folder) / f"{name}.key")
        self.upstream_port, self.port, self.closing = upstream_port, free_port(), False
        self.listener = socket.create_server(("127.0.0.1", self.port))
        threading.Thread(target=self._accept, daemon=True).start()

    def url(self, path):
        return f"https://127.0.0.1:{self.port}{path}"

    def close(self):
        self.closing = True
        self.listener.close()

    def _accept(self):
        while not self.closing:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self._serve, args=(client,), daemon=True).start()

    def _serve(self, client):
        try:
            client.settimeout(10)
            secure = self.context.wrap_socket(client, server_side=True)
            secure.settimeout(None)
            upstream = socket.create_connection(("127.0.0.1", self.upstream_port), timeout=10)
            upstream.settimeout(None)
        except (OSError, ssl.SSLError):
            client.close()
            return
        threading.Thread(target=self._pipe, args=(upstream, secure), daemon=True).start()
        self._pipe(secure, upstream)

    @staticmethod
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
