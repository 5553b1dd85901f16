"""Stand-ins for an RDS encoder: one on TCP that records the bytes of each connection and drops the first connection
after its first line (as an encoder that lost power), and one on a serial port, a pair of pseudo-terminals made by
socat whose far end is read here."""

import os
import socket
import subprocess
import threading

from .local import free_port, wait_for


class TcpEncoder:
    def __init__(self):
        self.port, self.links, self.lock = free_port(), [], threading.Lock()
        self.listener = socket.create_server(("127.0.0.1", self.port))
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                conn, _ = self.listener.accept()
            except OSError:
                return
            with self.lock:
                self.links.append(b"")
                number = len(self.links) - 1
            threading.Thread(target=self._read, args=(conn, number), daemon=True).start()

    def _read(self, conn, number):
        with conn:
            while data := conn.recv(4096):
                with self.lock:
                    self.links[number] += data
                if number == 0 and b"\r" in self.links[0]:
                    return  # the first link drops once its first line came

    def lines(self, last_link=False):
        with self.lock:
            chosen = self.links[-1:] if last_link else self.links
            return [line for data in chosen for line in data.split(b"\r")[:-1]]

    def close(self):
        self.listener.close()


class SerialEncoder:
    """`device` is the station's end of the pair; what arrives at the other end is collected."""

    def __init__(self, folder):
        self.device, far = os.path.join(folder, "ttyRDS"), os.path.join(folder, "ttyEncoder")
        self.proc = subprocess.Popen(["socat", f"pty,raw,echo=0,link={self.device}", f"pty,raw,echo=0,link={far}"])
        wait_for(lambda: os.path.exists(self.device) and os.path.exists(far), 10, "the serial pair")
        self.fd, self.received = os.open(far, os.O_RDONLY | os.O_NOCTTY), b""
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        while True:
            try:
                data = os.read(self.fd, 4096)
            except OSError:
                return
            if not data:
                return
            self.received += data

    def lines(self):
        return self.received.split(b"\r")[:-1]

    def close(self):
        self.proc.terminate()
        self.proc.wait(5)
        os.close(self.fd)
