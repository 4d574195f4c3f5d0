#!/usr/bin/env python3
"""Figures of quorvel-verifyd for docs/performance.md.

Starts the service from a build (on 127.0.0.1, a free port) and measures:
  - uploads a second per worker (one worker is one core) against starting
    `quorvel-audit --verify` for each upload;
  - latency p50 and p99 with 1, 2 and 4 clients;
  - resident memory at rest and its peak under load.

    python3 tools/service_bench.py [--build build/ci] [--requests 200]

The upload is a genuine save made by quorvel-audit from tests/data/id_white.jpg.
"""
import argparse
import http.client
import os
import re
import statistics
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def start_service(verifyd, workers, queue=64):
    # Every client of the benchmark is 127.0.0.1: one address may use all
    # the body memory, as behind a proxy.
    proc = subprocess.Popen(
        [verifyd, "--listen", "127.0.0.1:0", "--color", "3", "--size", "1",
         "--workers", str(workers), "--queue", str(queue), "--address-memory", "128"],
        stderr=subprocess.PIPE, text=True)
    # Warnings (running as root, ...) may come before the start-up line.
    for _ in range(10):
        line = proc.stderr.readline()
        match = re.search(r"listening on 127\.0\.0\.1:(\d+)", line)
        if match or not line:
            break
    if not match:
        proc.kill()
        sys.exit("quorvel-verifyd did not start: " + line)
    # The per-request lines are drained so that the pipe never fills.
    threading.Thread(target=lambda: proc.stderr.read(), daemon=True).start()
    return proc, int(match.group(1))


def stop_service(proc):
    proc.terminate()
    proc.wait(timeout=60)


def memory_kib(pid, field):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def load(port, body, clients, requests):
    """Sends `requests` uploads from `clients` threads, one connection each
    (kept alive); returns the latencies in seconds and the wall time."""
    latencies = []
    lock = threading.Lock()
    counter = iter(range(requests))

    def client():
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
        mine = []
        while True:
            with lock:
                if next(counter, None) is None:
                    break
            start = time.perf_counter()
            connection.request("POST", "/verify", body,
                               {"Content-Type": "application/octet-stream"})
            reply = connection.getresponse()
            reply.read()
            if reply.status != 200:
                raise SystemExit(f"status {reply.status}")
            mine.append(time.perf_counter() - start)
        connection.close()
        with lock:
            latencies.extend(mine)

    threads = [threading.Thread(target=client) for _ in range(clients)]
    start = time.perf_counter()
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    return latencies, time.perf_counter() - start


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def per_process(audit, upload, runs):
    """Uploads a second when each is a run of quorvel-audit --verify."""
    start = time.perf_counter()
    for _ in range(runs):
        subprocess.run([audit, "--color", "3", "--size", "1", "--verify", upload],
                       stdout=subprocess.DEVNULL, check=True)
    return runs / (time.perf_counter() - start)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "ci"))
    parser.add_argument("--requests", type=int, default=200)
    args = parser.parse_args()
    verifyd = os.path.join(args.build, "src", "service", "quorvel-verifyd")
    audit = os.path.join(args.build, "src", "cli", "quorvel-audit")

    with tempfile.TemporaryDirectory() as work:
        subprocess.run([audit, "--color", "3", "--size", "1", "--out", work,
                        os.path.join(ROOT, "tests", "data", "id_white.jpg")],
                       stdout=subprocess.DEVNULL, check=True)
        upload = os.path.join(work, "id_white.jpg")
        with open(upload, "rb") as f:
            body = f.read()
        print(f"upload: a genuine save of {len(body)} bytes; {os.cpu_count()} CPUs")

        rate = per_process(audit, upload, max(10, args.requests // 10))
        print(f"quorvel-audit --verify per upload: {rate:.1f} uploads/s (one process at a time)")

        proc, port = start_service(verifyd, 1)
        load(port, body, 2, 10)  # warm-up
        latencies, wall = load(port, body, 4, args.requests)
        print(f"service, 1 worker, 4 clients: {len(latencies) / wall:.1f} uploads/s per core")
        stop_service(proc)

        proc, port = start_service(verifyd, 2)
        time.sleep(0.5)
        rest = memory_kib(proc.pid, "VmRSS")
        print(f"service, 2 workers: {rest / 1024:.1f} MiB resident at rest")
        for clients in (1, 2, 4):
            latencies, wall = load(port, body, clients, args.requests)
            print(f"service, 2 workers, {clients} client(s): "
                  f"{len(latencies) / wall:.1f} uploads/s, "
                  f"p50 {1000 * statistics.median(latencies):.0f} ms, "
                  f"p99 {1000 * percentile(latencies, 0.99):.0f} ms")
        latencies, wall = load(port, body, 16, args.requests)
        peak = memory_kib(proc.pid, "VmHWM")
        print(f"service, 2 workers, 16 clients: {len(latencies) / wall:.1f} uploads/s; "
              f"peak resident {peak / 1024:.1f} MiB")
        # The largest uploads accepted: 4 MiB that are no photo.
        latencies, wall = load(port, os.urandom(4 * 1024 * 1024), 16, args.requests // 4)
        peak = memory_kib(proc.pid, "VmHWM")
        print(f"service, 2 workers, 16 clients sending 4 MiB: "
              f"{len(latencies) / wall:.1f} uploads/s; peak resident {peak / 1024:.1f} MiB")
        stop_service(proc)


if __name__ == "__main__":
    main()
