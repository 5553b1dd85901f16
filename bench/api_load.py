#!/usr/bin/env python3
"""Load test of the remote API server of a running station.

Starts the real program offscreen in a temporary station folder (APIallowed=1,
--api-port on a free high port, mplayer1/mplayer2 symlinked to /bin/true so
that no real player runs) and, on loopback only, sends it:

  1. current-source requests from concurrent clients, every reply checked
     byte for byte;
  2. connections that send nothing;
  3. connections that send junk or 1 MB bodies;
  4. requests that arrive one byte at a time;
  5. one address holding hundreds of silent connections while others call;
  6. requests whose caller half-closes its side after sending (nc -N);
  7. callers that keep their side open for a while after the reply;

then checks that the station still answers. Concurrent callers each come
from an address of their own in 127.0.1.0/24 (the whole of 127/8 is
loopback), as distinct hosts would; the silent, junk and holding clients
share one address each. Prints requests per second, p50 and p99 latency,
and the program's memory (VmRSS) and open descriptors before and after, and
the most descriptors seen during the run. Every count and wait is bounded;
the script stops by itself.

The program stops and starts players by process name. As root it is run in
a PID namespace of its own (unshare), so it cannot touch players of anything
else on the machine; without that isolation the script refuses to run unless
--no-isolation is given.
"""

import argparse
import asyncio
import os
import random
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

KEY = "bench"
NAME9 = "Bench Nine"
URL9 = "http://127.0.0.1:9/nine"


def expected_current_reply():
    body = f"Source: 9\r\nURL: {URL9}\r\nName: {NAME9}\r\nVolume: 100\r\n".encode()
    head = ("HTTP/1.0 200 OK\r\nServer: Fernhollow Server Version 1.1\r\nContent-Type: text/html\r\n"
            f"Content-Length: {len(body)}\r\n\r\n").encode()
    return head + body


ERROR_REPLY = (b"HTTP/1.0 200 OK\r\nServer: Fernhollow Server Version 1.1\r\nContent-Type: text/html\r\n"
               b"Content-Length: 5\r\n\r\nERROR")
CURRENT_REQUEST = f"GET /api/getcurrent.php?id={KEY} HTTP/1.1\r\nHost: station\r\n\r\n".encode()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def make_station_folder(folder):
    with open(os.path.join(folder, "brackenfield.ini"), "wb") as f:
        f.write(f"[Brackenfield]\r\nAPIallowed=1\r\nAPIKey={KEY}\r\n".encode())
    with open(os.path.join(folder, "sourcelist.ini"), "wb") as f:
        f.write(f"9n:{NAME9}\r\n9u:{URL9}\r\n1n:One\r\n1u:http://127.0.0.1:9/one\r\n"
                f"0n:Backup\r\n0u:http://127.0.0.1:9/backup\r\n".encode())
    for name in ("mplayer1", "mplayer2"):
        os.symlink("/bin/true", os.path.join(folder, name))


def child_pid(pid):
    try:
        with open(f"/proc/{pid}/task/{pid}/children") as f:
            kids = f.read().split()
        return int(kids[0]) if kids else None
    except OSError:
        return None


def proc_status(pid):
    rss = None
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    rss = int(line.split()[1])
        fds = len(os.listdir(f"/proc/{pid}/fd"))
    except OSError:
        return None, None
    return rss, fds


def caller(i):
    """The address of the i-th of many distinct callers."""
    return f"127.0.1.{i % 250 + 1}"


async def exchange(port, payload, timeout=15.0, byte_delay=None, source="127.0.0.1", half_close=False,
                   stay=0.0):
    """Connects from `source`, sends payload (then ends its side when
    half_close), reads to the end, stays `stay` seconds more before it
    closes. Returns (bytes, seconds, error)."""
    start = time.perf_counter()
    writer = None
    try:
        reader, writer = await asyncio.wait_for(
            asyncio.open_connection("127.0.0.1", port, local_addr=(source, 0)), timeout)
        if byte_delay is None:
            if payload:
                writer.write(payload)
                await writer.drain()
        else:
            for i in range(len(payload)):
                writer.write(payload[i:i + 1])
                await writer.drain()
                await asyncio.sleep(byte_delay)
        if half_close:
            writer.write_eof()
        data = await asyncio.wait_for(reader.read(), timeout)
        elapsed = time.perf_counter() - start
        await asyncio.sleep(stay)
        return data, elapsed, None
    except (OSError, asyncio.TimeoutError, asyncio.IncompleteReadError) as e:
        return b"", time.perf_counter() - start, type(e).__name__
    finally:
        if writer is not None:
            writer.close()


async def run_pool(jobs, concurrency):
    sem = asyncio.Semaphore(concurrency)

    async def one(job):
        async with sem:
            return await job()

    return await asyncio.gather(*(one(j) for j in jobs))


def percentile(values, p):
    if not values:
        return float("nan")
    values = sorted(values)
    return values[min(len(values) - 1, int(round(p / 100.0 * (len(values) - 1))))]


async def phase_requests(port, count, clients, expected, half_close=False, stay=0.0):
    jobs = [lambda i=i: exchange(port, CURRENT_REQUEST, source=caller(i % clients), half_close=half_close,
                                 stay=stay)
            for i in range(count)]
    t0 = time.perf_counter()
    results = await run_pool(jobs, clients)
    elapsed = time.perf_counter() - t0
    latencies = [r[1] for r in results]
    exact = sum(1 for r in results if r[0] == expected)
    errors = {}
    for r in results:
        if r[0] != expected:
            key = r[2] or ("other reply" if r[0] else "closed without reply")
            errors[key] = errors.get(key, 0) + 1
    kind = "half-closing " if half_close else f"staying {stay} s after the reply, " if stay else ""
    print(f"  {count} current-source requests, {kind}{clients} concurrent clients: {exact} byte-exact, "
          f"{count - exact} not {errors if errors else ''}")
    print(f"  {count / elapsed:.0f} requests/s, p50 {percentile(latencies, 50) * 1000:.1f} ms, "
          f"p99 {percentile(latencies, 99) * 1000:.1f} ms, max {max(latencies) * 1000:.0f} ms")
    return exact == count


async def phase_silent(port, count):
    # Opened in quick waves rather than all in one instant, and each waits
    # long enough for the kernel's own connect retries plus the idle time.
    async def one(delay):
        await asyncio.sleep(delay)
        return await exchange(port, b"", timeout=75.0)

    t0 = time.perf_counter()
    results = await asyncio.gather(*(one(i // 100 * 0.1) for i in range(count)))
    # They all come from one address: those beyond its share of slots are
    # closed at once, the others after the idle time.
    at_once = sum(1 for r in results if r[2] is None and r[0] == b"" and r[1] < 5.0)
    idle = sum(1 for r in results if r[2] is None and r[0] == b"" and r[1] >= 5.0)
    reset = sum(1 for r in results if r[2] == "ConnectionResetError")
    replied = sum(1 for r in results if r[0])
    failures = {}
    for r in results:
        if r[2] not in (None, "ConnectionResetError"):
            failures[r[2]] = failures.get(r[2], 0) + 1
    slowest = max(r[1] for r in results)
    print(f"  {count} silent connections: {idle} closed after the idle time, {at_once} closed at once, "
          f"{reset} reset, {replied} got bytes, failures {failures or 'none'}; the last ended after "
          f"{slowest:.1f} s (total {time.perf_counter() - t0:.1f} s)")
    return replied == 0 and not failures


async def phase_junk(port, count, big_every):
    jobs = []
    rnd = random.Random(7)
    for i in range(count):
        if i % big_every == 0:
            payload = b"GET /" + b"a" * (1024 * 1024)
        else:
            payload = bytes(rnd.randrange(256) for _ in range(rnd.randrange(1, 4096)))
        jobs.append(lambda p=payload: exchange(port, p, timeout=20.0))
    results = await run_pool(jobs, 50)
    error_replies = sum(1 for r in results if r[0] == ERROR_REPLY)
    other = sum(1 for r in results if r[0] and r[0] != ERROR_REPLY)
    print(f"  {count} junk connections ({count // big_every} with 1 MB bodies): {error_replies} answered ERROR, "
          f"{count - error_replies - other} closed or reset without a reply, {other} other replies")
    return other == 0


async def phase_trickle(port, count, expected):
    jobs = [lambda i=i: exchange(port, CURRENT_REQUEST, byte_delay=0.002, source=caller(i % 25))
            for i in range(count)]
    results = await run_pool(jobs, 25)
    exact = sum(1 for r in results if r[0] == expected)
    print(f"  {count} requests sent one byte at a time: {exact} byte-exact")
    return exact == count


async def phase_hog(port, hog, count, clients, expected):
    """One address opens `hog` silent connections and keeps them open while
    other callers make `count` requests."""
    held = []

    async def hold():
        try:
            _, writer = await asyncio.wait_for(
                asyncio.open_connection("127.0.0.1", port, local_addr=("127.0.0.2", 0)), 5.0)
            held.append(writer)
        except (OSError, asyncio.TimeoutError):
            pass

    await asyncio.gather(*(hold() for _ in range(hog)))
    await asyncio.sleep(0.5)  # the station accepts (and perhaps drops) them
    try:
        ok = await phase_requests(port, count, clients, expected)
    finally:
        for writer in held:
            writer.close()
    print(f"  (while 127.0.0.2 held {len(held)} connections)")
    return ok


async def sample_descriptors(pid, peak):
    while True:
        _, fds = proc_status(pid)
        if fds is not None:
            peak[0] = max(peak[0], fds)
        await asyncio.sleep(0.02)


async def wait_until_on_air(port, expected, limit):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        data, _, _ = await exchange(port, CURRENT_REQUEST, timeout=3.0)
        if data == expected:
            return True
        await asyncio.sleep(0.2)
    return False


async def bench(port, pid, args):
    expected = expected_current_reply()
    if not await wait_until_on_air(port, expected, 30):
        print("the station does not answer with source 9 on air", file=sys.stderr)
        return False
    await phase_requests(port, 200, 10, expected)  # warm-up
    rss0, fds0 = proc_status(pid)
    print(f"memory before: VmRSS {rss0} kB, {fds0} open descriptors")
    peak = [0]  # the most descriptors seen during the running phase
    sampler = asyncio.ensure_future(sample_descriptors(pid, peak))

    async def phase(title, run):
        if title[0] not in args.phases:
            run.close()
            return True
        print(title)
        peak[0] = 0
        result = await run
        print(f"  at most {peak[0]} open descriptors meanwhile")
        return result

    ok = True
    for round_number in range(1, args.rounds + 1):
        print(f"round {round_number}")
        ok &= await phase("1. requests", phase_requests(port, args.requests, args.clients, expected))
        ok &= await phase("2. silent connections", phase_silent(port, args.silent))
        ok &= await phase("3. junk", phase_junk(port, args.junk, 10))
        ok &= await phase("4. one byte at a time", phase_trickle(port, args.trickle, expected))
        ok &= await phase("5. one address holding connections while others call",
                          phase_hog(port, args.hog, args.hog_requests, 10, expected))
        ok &= await phase("6. callers that half-close after the request",
                          phase_requests(port, args.half_close, args.clients, expected, half_close=True))
        ok &= await phase("7. callers that stay after the reply",
                          phase_requests(port, args.stay, args.stay_clients, expected, stay=2.5))
        await asyncio.sleep(3)  # lingering closes end
        rss, fds = proc_status(pid)
        print(f"memory after round {round_number}: VmRSS {rss} kB, {fds} open descriptors")
    ok &= await phase("8. requests again", phase_requests(port, 1000, args.clients, expected))
    sampler.cancel()
    await asyncio.sleep(3)
    rss1, fds1 = proc_status(pid)
    print(f"memory after: VmRSS {rss1} kB, {fds1} open descriptors")
    return ok


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--binary", default=os.path.join(here, "..", "build", "brackenfield"))
    ap.add_argument("--requests", type=int, default=10000)
    ap.add_argument("--clients", type=int, default=50)
    ap.add_argument("--silent", type=int, default=1000)
    ap.add_argument("--junk", type=int, default=1000)
    ap.add_argument("--trickle", type=int, default=200)
    ap.add_argument("--hog", type=int, default=300, help="connections the one address holds in phase 5")
    ap.add_argument("--hog-requests", type=int, default=500, help="requests of the others in phase 5")
    ap.add_argument("--half-close", type=int, default=1000)
    ap.add_argument("--stay", type=int, default=3000, help="requests of phase 7")
    ap.add_argument("--stay-clients", type=int, default=1000, help="concurrent callers of phase 7")
    ap.add_argument("--phases", default="12345678", help="the phases to run, by number")
    ap.add_argument("--rounds", type=int, default=2, help="how often phases 1 to 6 are repeated")
    ap.add_argument("--time-limit", type=int, default=600, help="seconds before everything stops")
    ap.add_argument("--no-isolation", action="store_true",
                    help="run the program without a PID namespace (it kills processes named mplayer1/mplayer2)")
    args = ap.parse_args()

    binary = os.path.abspath(args.binary)
    if not os.access(binary, os.X_OK):
        sys.exit(f"no program at {binary} (build the brackenfield target or give --binary)")
    isolate = os.geteuid() == 0 and shutil.which("unshare") is not None
    if not isolate and not args.no_isolation:
        sys.exit("cannot isolate the program in a PID namespace (needs root and unshare); see --no-isolation")

    folder = tempfile.mkdtemp(prefix="bf-api-load-")
    port = free_port()
    make_station_folder(folder)
    command = [binary, "-platform", "offscreen", "--api-port", str(port)]
    if isolate:
        command = ["unshare", "--pid", "--fork", "--mount-proc", "--kill-child"] + command
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    log = open(os.path.join(folder, "program.out"), "wb")
    proc = subprocess.Popen(command, cwd=folder, env=env, stdout=log, stderr=subprocess.STDOUT,
                            start_new_session=True)
    print(f"station folder {folder}, port {port}, program pid {proc.pid}{' (isolated)' if isolate else ''}")
    ok = False
    try:
        time.sleep(0.5)
        pid = (child_pid(proc.pid) if isolate else proc.pid) or proc.pid
        ok = asyncio.run(asyncio.wait_for(bench(port, pid, args), args.time_limit))
        if proc.poll() is not None:
            print(f"the program ended during the run (exit {proc.returncode})")
            ok = False
        else:
            print("the program kept running")
    except asyncio.TimeoutError:
        print("time limit reached")
    finally:
        if proc.poll() is None:
            os.killpg(proc.pid, signal.SIGTERM)
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()
        log.close()
        shutil.rmtree(folder, ignore_errors=True)
    print("PASS" if ok else "FAIL")
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
