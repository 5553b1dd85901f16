"""Waiting on events with a deadline, and free local ports."""

import socket
import time


class WaitTimeout(AssertionError):
    pass


def wait_for(predicate, timeout, what, interval=0.1):
    """Polls `predicate` until it returns a truthy value, which is returned.

    Fails naming `what` and the last value seen once the deadline passes, or
    at once when the predicate fails an assertion. Other exceptions count as
    "not yet", so that a file being rewritten does not break the wait."""
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
            raise WaitTimeout(f"timed out after {timeout:.1f} s waiting for {what}; last: {last!r}")
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
