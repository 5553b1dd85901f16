"""Timing of player processes for the benchmarks: process start times from
/proc and a watcher that records when each player name is alive."""

import os
import threading
import time
from pathlib import Path

import rig

CLK_TCK = os.sysconf("SC_CLK_TCK")
# Wall-clock time of the boot to the microsecond: process start times count
# from it on the boot-time clock (/proc/stat's btime is whole seconds only).
BOOT_TIME = time.time() - time.clock_gettime(time.CLOCK_BOOTTIME)


def process_start_time(pid):
    """Wall-clock start time of a process (10 ms resolution), or None."""
    try:
        raw = Path(f"/proc/{pid}/stat").read_bytes().decode("latin-1")
    except OSError:
        return None
    return BOOT_TIME + int(raw[raw.rindex(")") + 2:].split()[19]) / CLK_TCK


class ProcessWatcher:
    """Scans the named processes every `interval` seconds in a background
    thread; `samples` holds (time.time(), {name: frozenset(pids)}) whenever
    something changed."""

    def __init__(self, names=rig.PLAYER_NAMES, interval=0.01):
        self.names = tuple(names)
        self.interval = interval
        self.samples = []
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)

    def __enter__(self):
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self._stop.set()
        self._thread.join(timeout=5)
        # A death seen by the caller's own look at /proc may fall between two
        # scans: one last scan records it.
        self._record()

    def _record(self):
        current = {n: frozenset(p) for n, p in rig.live_pids_by_name(self.names).items()}
        if not self.samples or self.samples[-1][1] != current:
            self.samples.append((time.time(), current))

    def _run(self):
        while not self._stop.is_set():
            self._record()
            self._stop.wait(self.interval)

    def runs(self, name):
        """Periods in which a `name` process was alive: (first seen, first
        seen gone, or None while still alive)."""
        periods, started = [], None
        for when, live in list(self.samples):
            if live.get(name) and started is None:
                started = when
            elif not live.get(name) and started is not None:
                periods.append((started, when))
                started = None
        return periods + ([(started, None)] if started is not None else [])
