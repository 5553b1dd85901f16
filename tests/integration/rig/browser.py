"""Chromium driven through its DevTools protocol: a page to open, script to run in it, a condition to wait for."""

import json
import subprocess
import urllib.request

from .local import free_port, wait_for

WAIT = 30


class Browser:
    """One Chromium page over the DevTools protocol."""

    def __init__(self, profile):
        import websocket  # python3-websocket: only the browser tests need it
        self.port = free_port()
        self.proc = subprocess.Popen(["chromium", "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                                      "--disable-background-networking", "--disable-component-update",
                                      f"--remote-debugging-port={self.port}", f"--user-data-dir={profile}",
                                      "about:blank"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        pages = wait_for(lambda: [t for t in json.load(urllib.request.urlopen(
            f"http://127.0.0.1:{self.port}/json/list", timeout=5)) if t["type"] == "page"], WAIT, "Chromium's page")
        self.ws = websocket.create_connection(pages[0]["webSocketDebuggerUrl"], timeout=WAIT, suppress_origin=True)
        self.next_id = 0

    def call(self, method, **params):
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.ws.recv())
            if message.get("id") == self.next_id:
                assert "error" not in message, message
                return message["result"]

    def js(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in result:  # not yet (a page still loading): wait_for tries again
            raise RuntimeError(result["exceptionDetails"])
        return result["result"].get("value")

    def open(self, url):
        self.call("Page.navigate", url=url)

    def wait(self, expression, what):
        return wait_for(lambda: self.js(expression), WAIT, what)

    def close(self):
        self.ws.close()
        self.proc.kill()
        self.proc.wait()
