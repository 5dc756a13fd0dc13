#!/usr/bin/env python3
"""Solves a JSON Lines file of packing requests on a Dask cluster.

    python3 dask_batch.py requests.jsonl responses.jsonl                      # local processes
    python3 dask_batch.py requests.jsonl responses.jsonl --scheduler tcp://scheduler:8786

Each input line is one request. The output gets one line per input line, in input order: the
response, or the error envelope of a line the library rejected; the same text `varbex batch`
writes. This script reads the file and sends the lines to the workers in chunks, so the workers
need no shared file system, only the varbex Python package.
"""
import argparse
import contextlib
import itertools
import logging
import os
import sys
import time
from collections import deque

from dask.distributed import Client, LocalCluster


def solve_chunk(lines):
    """Runs on a worker: one response text per request text."""
    import varbex  # imported on the worker, whose environment provides it

    return [varbex.solve_text(line) for line in lines]


def read_chunks(stream, size):
    """Lists of at most `size` lines, without their line ends."""
    while True:
        chunk = [line.rstrip("\r\n") for line in itertools.islice(stream, size)]
        if not chunk:
            return
        yield chunk


def solve_stream(client, source, sink, chunk_size, in_flight):
    """Writes the responses in input order while at most `in_flight` chunks are being solved,
    so neither the input nor the output needs to fit in memory. Returns (requests, errors)."""
    pending = deque()
    requests = errors = 0

    def write_oldest():
        nonlocal requests, errors
        for response in pending.popleft().result():
            sink.write(response + "\n")
            requests += 1
            errors += response.startswith('{"error":')

    for chunk in read_chunks(source, chunk_size):
        pending.append(client.submit(solve_chunk, chunk, pure=False))
        if len(pending) >= in_flight:
            write_oldest()
    while pending:
        write_oldest()
    return requests, errors


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("input", help="JSON Lines file of requests")
    parser.add_argument("output", help="JSON Lines file for the responses")
    parser.add_argument("--scheduler", help="address of a running Dask scheduler; without it a "
                        "local cluster of worker processes is started")
    parser.add_argument("--workers", type=int, default=os.cpu_count() or 1,
                        help="worker processes of the local cluster (default: number of cores)")
    parser.add_argument("--chunk-size", type=int, default=64, help="requests per task")
    return parser.parse_args()


@contextlib.contextmanager
def connect(arguments):
    """A client of the given scheduler, or of a new local cluster that closes with it."""
    if arguments.scheduler:
        with Client(arguments.scheduler) as client:
            yield client
        return
    # Scheduler and workers listen on the loopback address only: this cluster is for this machine.
    with LocalCluster(n_workers=arguments.workers, threads_per_worker=1, processes=True,
                      host="127.0.0.1", dashboard_address=None,
                      silence_logs=logging.ERROR) as cluster, Client(cluster) as client:
        yield client


def main():
    arguments = parse_arguments()
    started = time.monotonic()
    with connect(arguments) as client:
        in_flight = 2 * max(1, len(client.scheduler_info()["workers"]))
        with open(arguments.input, encoding="utf-8") as source, \
                open(arguments.output, "w", encoding="utf-8") as sink:
            requests, errors = solve_stream(client, source, sink, arguments.chunk_size, in_flight)
    print(f"dask_batch: {requests} requests, {errors} errors, {time.monotonic() - started:.1f} s",
          file=sys.stderr)


if __name__ == "__main__":
    main()
