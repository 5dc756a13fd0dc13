"""Load figures for `varbex serve`: wrk against a loopback server on the orders and bins workloads,
and the same requests solved in-process through the shared library, for the overhead per request.

    make build && python3 bench/serve_load.py [--seconds 5] [--workloads orders,bins]

Needs wrk (Debian package `wrk`) and a Release build in build/release (make build). Prints a
Markdown table; docs/service.md holds one. Each figure runs for --seconds, so the whole run is
bounded: workloads x (thread counts + 1) x seconds, plus start-up.
"""
import argparse
import ctypes
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import workloads as wl  # noqa: E402

RELEASE = os.path.join(wl.ROOT, 'build', 'release')
CLI = os.path.join(RELEASE, 'cli', 'varbex')
LIBRARY = os.path.join(RELEASE, 'libvarbex.so')

# wrk posts the workload's requests in turn; each of its threads starts at its own offset.
WRK_SCRIPT = r'''
local bodies = {}
local next_body = 1
local threads = 0

function setup(thread)
  threads = threads + 1
  thread:set("id", threads)
end

function init(args)
  for path in io.lines(args[1]) do
    local file = io.open(path, "rb")
    bodies[#bodies + 1] = file:read("*a")
    file:close()
  end
  next_body = (id * 37) % #bodies + 1
end

function request()
  local body = bodies[next_body]
  next_body = next_body % #bodies + 1
  return wrk.format("POST", "/v1/solve", {["Content-Type"] = "application/json"}, body)
end

function done(summary, latency, requests)
  local errors = summary.errors
  io.write(string.format(
    'RESULT {"requests":%d,"duration_us":%d,"p50_us":%d,"p99_us":%d,"mean_us":%.1f,' ..
    '"socket_errors":%d,"non_2xx":%d}\n',
    summary.requests, summary.duration, latency:percentile(50), latency:percentile(99),
    latency.mean, errors.connect + errors.read + errors.write + errors.timeout, errors.status))
end
'''


def start_server(threads):
    process = subprocess.Popen([CLI, 'serve', '--listen', '127.0.0.1:0', '--threads', str(threads),
                                '--queue', '4096'], stdout=subprocess.PIPE)
    line = process.stdout.readline().decode()
    return process, int(line.rsplit(':', 1)[1])


def stop_server(process):
    process.send_signal(signal.SIGTERM)
    if process.wait(timeout=60) != 0:
        raise wl.BenchError('the server exited with %d' % process.returncode)


def run_wrk(port, script, listing, threads, connections, seconds):
    command = ['wrk', '-t%d' % threads, '-c%d' % connections, '-d%ds' % seconds,
               '--timeout', '30s', '-s', script, 'http://127.0.0.1:%d' % port, '--', listing]
    output = subprocess.run(command, capture_output=True, text=True, check=True).stdout
    result = json.loads(next(line[7:] for line in output.splitlines() if line.startswith('RESULT ')))
    if result['socket_errors'] or result['non_2xx']:
        raise wl.BenchError('wrk saw errors: %s' % result)
    result['rps'] = result['requests'] / (result['duration_us'] / 1e6)
    return result


def drain_seconds(script, listing, threads, seconds):
    """From SIGTERM to exit, sent halfway through a wrk run of `seconds` at 4 connections a thread."""
    server, port = start_server(threads)
    command = ['wrk', '-t2', '-c%d' % (4 * threads), '-d%ds' % seconds, '--timeout', '30s',
               '-s', script, 'http://127.0.0.1:%d' % port, '--', listing]
    load = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(seconds / 2)
    start = time.monotonic()
    stop_server(server)
    took = time.monotonic() - start
    load.wait(timeout=seconds + 60)
    return took


def in_process_us(paths, seconds):
    """Median and longest time of varbex_solve over the workload's requests in turn, on one
    thread."""
    library = ctypes.CDLL(LIBRARY)
    library.varbex_solve.restype = ctypes.c_void_p
    library.varbex_solve.argtypes = [ctypes.c_char_p]
    library.varbex_free.argtypes = [ctypes.c_void_p]
    bodies = [open(path, 'rb').read() for path in paths]
    times, end = [], time.monotonic() + seconds
    while time.monotonic() < end or len(times) < len(bodies):
        body = bodies[len(times) % len(bodies)]
        start = time.perf_counter()
        library.varbex_free(library.varbex_solve(body))
        times.append(time.perf_counter() - start)
    times.sort()
    return times[len(times) // 2] * 1e6, times[-1] * 1e6


def measure(workload, thread_counts, seconds, folder):
    paths = wl.request_files(os.path.join(wl.DATA, workload))
    listing = os.path.join(folder, workload + '.list')
    with open(listing, 'w') as out:
        out.write('\n'.join(paths) + '\n')
    script = os.path.join(folder, 'post.lua')
    with open(script, 'w') as out:
        out.write(WRK_SCRIPT)
    rows = []
    for threads in thread_counts:
        server, port = start_server(threads)
        try:
            single = run_wrk(port, script, listing, 1, 1, seconds)
            loaded = run_wrk(port, script, listing, 2, 4 * threads, seconds)
        finally:
            stop_server(server)
        rows.append((threads, single, loaded))
    drain = drain_seconds(script, listing, max(thread_counts), 2 * seconds)
    return rows, in_process_us(paths, seconds), len(paths), drain


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--seconds', type=int, default=5)
    parser.add_argument('--workloads', default='orders,bins')
    args = parser.parse_args(argv)
    if shutil.which('wrk') is None:
        raise wl.BenchError('wrk is missing: apt-get install wrk')
    if not os.path.isfile(CLI):
        raise wl.BenchError('%s is missing: run make build first' % CLI)
    names = args.workloads.split(',')
    wl.generate(names)
    cores = os.cpu_count() or 1
    thread_counts = sorted({1, 2, cores})
    print('| workload | solving threads | connections | requests/s | p50 | p99 |'
          ' p50 at 1 connection | in-process p50 | overhead per request (p50) |')
    print('|---|---:|---:|---:|---:|---:|---:|---:|---:|')
    notes = []
    with tempfile.TemporaryDirectory() as folder:
        for name in names:
            rows, (in_process, longest), count, drain = measure(name, thread_counts, args.seconds,
                                                                folder)
            for threads, single, loaded in rows:
                print('| %s (%d requests) | %d | %d | %.0f | %.2f ms | %.2f ms | %.2f ms | %.2f ms | %.2f ms |'
                      % (name, count, threads, 4 * threads, loaded['rps'], loaded['p50_us'] / 1000,
                         loaded['p99_us'] / 1000, single['p50_us'] / 1000, in_process / 1000,
                         (single['p50_us'] - in_process) / 1000))
                sys.stdout.flush()
            notes.append('%s: longest in-process solve %.1f ms; SIGTERM under load to exit %.2f s'
                         % (name, longest / 1000, drain))
    print()
    for note in notes:
        print('- ' + note)


if __name__ == '__main__':
    try:
        main()
    except wl.BenchError as error:
        sys.exit('serve_load: %s' % error)
