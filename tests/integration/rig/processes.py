"""Processes: the players found and killed by name through /proc (a station's own: by name and working folder), and every
process the rig starts, registered so that `stop_all()` (run by the fixtures and at exit) leaves nothing behind, also after
a failed test."""

import atexit
import fcntl
import os
import signal
import subprocess
import tempfile
from pathlib import Path

PLAYER_NAMES = ("mplayer1", "mplayer2")


def players_lock():
    """Waits for and takes the lock that makes the runs of players on one machine (tests, benches, the soak) take
    turns, since players are found and killed by name; held until the returned file is closed."""
    lock = open(os.path.join(tempfile.gettempdir(), "brackenfield-players.lock"), "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        print("waiting for the players lock (another run has players on this machine)", flush=True)
        fcntl.flock(lock, fcntl.LOCK_EX)
    return lock


def works_in(pid, folder):
    try:
        return os.path.samefile(f"/proc/{pid}/cwd", folder)
    except OSError:
        return False


def live_pids_by_name(names, folder=None):
    """{name: set of PIDs} of the live (non-zombie) processes named exactly one of `names`, and working in `folder` when
    it is given."""
    live = {name: set() for name in names}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            raw = Path(f"/proc/{pid}/stat").read_bytes().decode("latin-1")
        except OSError:
            continue
        # The name is in parentheses and may hold blanks or parentheses itself.
        name, state = raw[raw.index("(") + 1:raw.rindex(")")], raw[raw.rindex(")") + 2]
        if name in live and state not in "ZX" and (folder is None or works_in(pid, folder)):
            live[name].add(int(pid))
    return live


def pids_by_name(name, folder=None):
    return sorted(live_pids_by_name((name,), folder)[name])


def is_running(name, folder=None):
    return bool(pids_by_name(name, folder))


def kill_by_name(name):
    # MPlayer forks a cache process under its own name: every match goes.
    for pid in pids_by_name(name):
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass


def kill_players():
    for name in PLAYER_NAMES:
        kill_by_name(name)


_started = []


def spawn(args, log_path, cwd=None, env=None):
    """Starts `args` in a session of its own, output to `log_path`."""
    with open(log_path, "ab") as log:
        _started.append(subprocess.Popen(args, cwd=cwd, env=env, stdin=subprocess.DEVNULL, stdout=log,
                                         stderr=subprocess.STDOUT, start_new_session=True))
    return _started[-1]


def end(proc, sig=signal.SIGKILL):
    """Sends `sig` to the process's session and waits for it (SIGKILL after 5 s)."""
    for signal_ in (sig, signal.SIGKILL):
        if proc.poll() is None:
            try:
                os.killpg(proc.pid, signal_)
            except (ProcessLookupError, PermissionError):
                pass
        try:
            return proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            pass


def stop_all(players=True):
    """Kills every process that the rig started, then the players by name."""
    while _started:
        end(_started.pop())
    if players:
        kill_players()


# At exit the players lock is given up: players by name may be another
# checkout's by then.
atexit.register(stop_all, players=False)
