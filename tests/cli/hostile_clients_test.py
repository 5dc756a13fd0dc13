"""`varbex serve` against hostile clients on loopback. Each attack is made once, from 127.0.0.1,
while a control client on 127.0.0.9 (another machine, as far as per-address limits go) keeps asking
for /healthz: the attack must get its bounded answer, every control request must be answered
within a second, and the resident memory of the server and its workers must stay within 100 MB of
what it was before the attack."""
import gzip
import http.client
import json
import os
import random
import re
import select
import socket
import threading
import time

import pytest

from serve_test import SOURCE_DIR, TIMEOUT, Server

ATTACKER, CONTROL = "127.0.0.1", "127.0.0.9"
SANITIZED = os.environ.get("VARBEX_SANITIZED") == "1"
MEMORY_BOUND = 100 * 2**20
CONTROL_BOUND = 3.0 if SANITIZED else 1.0  # seconds; the sanitizers slow every request down
TOKEN = "s3cret"
AUTH = b"Authorization: Bearer s3cret\r\n"
MIB = 2**20


def family(pid):
    """A process and all its descendants (the solving workers)."""
    found, pending = [], [pid]
    while pending:
        current = pending.pop()
        found.append(current)
        try:
            for task in os.listdir(f"/proc/{current}/task"):
                with open(f"/proc/{current}/task/{task}/children") as children:
                    pending += [int(child) for child in children.read().split()]
        except (FileNotFoundError, ProcessLookupError):
            pass
    return found


def resident_bytes(pid, field="VmRSS"):
    """Resident memory of a process and its descendants; with "VmHWM", the peak of each since
    start or since reset_peaks()."""
    total = 0
    for member in family(pid):
        try:
            with open(f"/proc/{member}/status") as status:
                total += next(int(line.split()[1]) * 1024 for line in status if line.startswith(field + ":"))
        except (FileNotFoundError, ProcessLookupError, StopIteration):
            pass
    return total


def reset_peaks(pid):
    for member in family(pid):
        try:
            with open(f"/proc/{member}/clear_refs", "w") as clear:
                clear.write("5")  # the kernel's peak resident size starts again from now
        except OSError:
            pass


class Watch:
    """While open: samples the server's resident memory and sends control requests from another
    address; on leaving checks both bounds."""

    def __init__(self, server):
        self.server = server
        self.stopped = threading.Event()
        reset_peaks(server.process.pid)
        self.peak = self.idle = resident_bytes(server.process.pid)
        self.latencies, self.statuses = [], []

    def sample(self):
        while not self.stopped.wait(0.05):
            self.peak = max(self.peak, resident_bytes(self.server.process.pid))

    def control(self):
        while True:  # at least once, however short the attack
            started = time.monotonic()
            connection = http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=TIMEOUT,
                                                    source_address=(CONTROL, 0))
            try:
                connection.request("GET", "/healthz")
                response = connection.getresponse()
                response.read()
                self.statuses.append(response.status)
            finally:
                connection.close()
            self.latencies.append(time.monotonic() - started)
            if self.stopped.wait(0.1):
                return

    def __enter__(self):
        self.threads = [threading.Thread(target=self.sample), threading.Thread(target=self.control)]
        for thread in self.threads:
            thread.start()
        return self

    def __exit__(self, *failure):
        self.stopped.set()
        for thread in self.threads:
            thread.join(TIMEOUT)
        self.peak = max(self.peak, resident_bytes(self.server.process.pid, "VmHWM"))
        if failure[0] is not None:
            return
        # Shown with pytest -s: the figures behind the table in docs/service.md.
        print(f"\n  resident {self.idle / 2**20:.1f} MB idle, +{(self.peak - self.idle) / 2**20:.1f} MB at"
              f" peak; {len(self.statuses)} control requests, slowest {max(self.latencies) * 1000:.0f} ms")
        assert self.statuses and set(self.statuses) == {200}
        assert max(self.latencies) < CONTROL_BOUND, max(self.latencies)
        if not SANITIZED:
            assert self.peak - self.idle < MEMORY_BOUND, (self.idle, self.peak)


def attacker(port):
    client = socket.socket()
    client.bind((ATTACKER, 0))
    client.connect(("127.0.0.1", port))
    return client


def send_until_answered(port, head, pieces=()):
    """Sends the head, then the pieces, stopping as soon as the server answers; then reads until
    the server closes (or 5 s pass). Returns what was read and whether the server closed."""
    client = attacker(port)
    client.settimeout(TIMEOUT)
    answer, closed = b"", False
    try:
        client.sendall(head)
        for piece in pieces:
            view = memoryview(piece)
            while view:
                readable, writable, _ = select.select([client], [client], [], TIMEOUT)
                if readable:
                    raise StopIteration
                view = view[client.send(view):]
    except (StopIteration, BrokenPipeError, ConnectionResetError):
        pass
    client.settimeout(5)
    try:
        while chunk := client.recv(65536):
            answer += chunk
        closed = True
    except ConnectionResetError:
        closed = True
    except socket.timeout:
        pass
    client.close()
    return answer, closed


def statuses(answer):
    return [int(status) for status in re.findall(rb"HTTP/1\.[01] (\d{3}) ", answer)]


def repeated(piece, total):
    """`total` bytes of `piece` over and over, handed out a MiB at a time."""
    block = piece * (MIB // len(piece))
    for _ in range(total // len(block)):
        yield block


def chunked(total):
    for block in repeated(b"[", total):
        yield b"%x\r\n" % len(block) + block + b"\r\n"
    yield b"0\r\n\r\n"


def gzip_bomb(inflated):
    """`inflated` bytes of "[" gzipped: one gzip member of a MiB, repeated, as gzip allows."""
    return gzip.compress(b"[" * MIB, 9) * (inflated // MIB)


BOMB = gzip_bomb(1024 * MIB)
BASIC = (SOURCE_DIR / "examples" / "basic.json").read_bytes()


def post(path, body, extra=b"", version=b"1.1"):
    return b"POST %s HTTP/%s\r\nHost: x\r\n%sContent-Length: %d\r\n\r\n%s" % (
        path, version, extra, len(body), body)


# name, head, body pieces, the statuses answered, whether the server then closes
ATTACKS = [
    ("gzip body inflating to 1 GiB",
     b"POST /v1/solve HTTP/1.1\r\nHost: x\r\nContent-Encoding: gzip\r\n" + AUTH
     + b"Content-Length: %d\r\n\r\n" % len(BOMB), [BOMB], [415], True),
    ("chunked with a Content-Length too",
     b"POST /v1/solve HTTP/1.1\r\nHost: x\r\n" + AUTH
     + b"Transfer-Encoding: chunked\r\nContent-Length: 5\r\n\r\n", chunked(256 * MIB), [400], True),
    ("chunked body of 256 MiB", b"POST /v1/solve HTTP/1.1\r\nHost: x\r\n" + AUTH
     + b"Transfer-Encoding: chunked\r\n\r\n", chunked(256 * MIB), [413], True),
    ("PUT with a body of 256 MiB", b"PUT /v1/solve HTTP/1.1\r\nHost: x\r\n" + AUTH
     + b"Content-Length: %d\r\n\r\n" % (256 * MIB), repeated(b"[", 256 * MIB), [413], True),
    ("DELETE with a chunked body of 64 MiB", b"DELETE /v1/solve HTTP/1.1\r\nHost: x\r\n" + AUTH
     + b"Transfer-Encoding: chunked\r\n\r\n", chunked(64 * MIB), [413], True),
    ("request line of 256 MB", b"GET /", repeated(b"a", 256 * MIB), [414], True),
    ("a million header lines", b"GET /healthz HTTP/1.1\r\nHost: x\r\n",
     repeated(b"X-Filler: 1234567\r\n", 1_000_000 * 19), [431], True),
    ("a few more headers than allowed", b"GET /healthz HTTP/1.1\r\nHost: x\r\n"
     + b"".join(b"X-%d: 1\r\n" % n for n in range(101)) + b"\r\n", [], [431], True),
    ("Expect: 100-continue with 17 MiB", b"POST /v1/solve HTTP/1.1\r\nHost: x\r\n" + AUTH
     + b"Expect: 100-continue\r\nContent-Length: %d\r\n\r\n" % (17 * MIB), [], [413], True),
    ("Expect: 100-continue without the token", b"POST /v1/solve HTTP/1.1\r\nHost: x\r\n"
     b"Expect: 100-continue\r\nContent-Length: %d\r\n\r\n" % len(BASIC), [], [401], True),
    ("two Content-Length headers", b"POST /v1/solve HTTP/1.1\r\nHost: x\r\n" + AUTH
     + b"Content-Length: 2\r\nContent-Length: 2\r\n\r\n{}", [], [400], True),
    ("a wrong and a right token", b"GET /metrics HTTP/1.1\r\nHost: x\r\n"
     b"Authorization: Bearer guess\r\n" + AUTH + b"\r\n", [], [400], True),
    ("bearer in lower case", b"GET /readyz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
     b"Authorization: bearer s3cret\r\n\r\n", [], [200], True),
    ("three pipelined requests, the third in the bytes after a body",
     post(b"/v1/solve", BASIC, AUTH) + post(b"/v1/solve", b"{}", AUTH)
     + b"GET /healthz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", [], [200, 200, 200], True),
    ("HTTP/1.0 on /v1/batch", post(b"/v1/batch", BASIC.replace(b"\n", b" ") + b"\n{}\n", AUTH, b"1.0"),
     [], [200], True),
]


@pytest.fixture(scope="module")
def guarded(tmp_path_factory):
    tmp_path = tmp_path_factory.mktemp("hostile")
    (tmp_path / "token").write_text(TOKEN + "\n")
    started = Server(tmp_path, "--threads", "2", "--token-file", str(tmp_path / "token"))
    yield started
    assert started.stop() == 0


@pytest.mark.parametrize("name, head, pieces, expected, closes", ATTACKS, ids=[a[0] for a in ATTACKS])
def test_attack_gets_its_bounded_answer(guarded, name, head, pieces, expected, closes):
    with Watch(guarded):
        answer, closed = send_until_answered(guarded.port, head, pieces)
    assert (statuses(answer), closed) == (expected, closes), answer[:300]
    assert b"100 Continue" not in answer
    head_end = answer.find(b"\r\n\r\n")
    if expected[0] >= 400 and b"application/json" in answer[:head_end]:
        assert json.loads(answer[head_end + 4:])["success"] is False
    if name.startswith("HTTP/1.0"):
        assert b"Transfer-Encoding" not in answer[:head_end]
        assert answer[head_end + 4:].count(b"\n") == 2
    if name.startswith("three pipelined"):
        assert answer.count(b'"summary"') == 2 and answer.endswith(b'{"status":"alive"}')


def test_slowloris_and_idle_keep_alive_clients_are_cut_off_while_others_are_served(tmp_path):
    server = Server(tmp_path, "--threads", "2")
    with Watch(server):
        slow = [attacker(server.port) for _ in range(100)]
        idle = [attacker(server.port) for _ in range(100)]
        for client in idle:
            client.sendall(b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n")
        request = b"POST /v1/solve HTTP/1.1\r\nHost: x\r\nContent-Length: 2\r\n\r\n{}"
        opened = time.monotonic()
        sent, closed = 0, set()
        # A byte every two seconds from each slow client, until the server has closed them all.
        while len(closed) < len(slow) and time.monotonic() - opened < 30:
            for number, client in enumerate(slow):
                if number in closed:
                    continue
                try:
                    if client.recv(1, socket.MSG_DONTWAIT) == b"":
                        closed.add(number)
                    else:
                        raise AssertionError("a slow client was answered")
                except BlockingIOError:
                    try:
                        client.sendall(request[sent:sent + 1])
                    except OSError:
                        closed.add(number)
                except ConnectionError:
                    closed.add(number)
            sent += 1
            if len(closed) < len(slow):
                time.sleep(2)
        cut_after = time.monotonic() - opened
    assert len(closed) == len(slow) and cut_after < 15  # the 10 s deadline for the whole head
    for client in idle:
        client.settimeout(TIMEOUT)
        answer = b""
        while chunk := client.recv(65536):
            answer += chunk
        assert statuses(answer) == [200]  # answered, then closed after the 5 s idle limit
    for client in slow + idle:
        client.close()
    assert server.stop() == 0


def slow_solve(items=1000, box_types=300):
    """A request that keeps a solving worker busy for many seconds."""
    draw = random.Random(23).randint
    return json.dumps({
        "items": [{"ItemCode": f"I{i}", "Width": draw(1, 40), "Length": draw(1, 40),
                   "Depth": draw(1, 40), "Weight": draw(1, 9)} for i in range(items)],
        "boxes": [{"Reference": f"B{k}", "Width": 30 + k, "Length": 25 + k, "Depth": 20 + k,
                   "MaxWeight": 1000} for k in range(box_types)]}).encode()


def test_long_solves_end_at_the_time_limit_or_when_their_client_hangs_up(tmp_path):
    body = slow_solve()
    limited = Server(tmp_path, "--threads", "1", "--solve-timeout", "1")
    with Watch(limited):
        started = time.monotonic()
        status, _, answer = limited.request("POST", "/v1/solve", body)
        took = time.monotonic() - started
    assert (status, json.loads(answer)["success"]) == (503, False) and took < 10
    assert "--solve-timeout" in json.loads(answer)["error"]
    assert limited.request("POST", "/v1/solve", BASIC)[0] == 200  # the worker was replaced
    assert limited.gauge("varbex_solve_timeouts_total") == 1
    assert 'varbex_rejections_total{cause="queue_full"} 0' in limited.request("GET", "/metrics")[2].decode()
    assert limited.stop() == 0

    patient = Server(tmp_path, "--threads", "1")
    with Watch(patient):
        client = attacker(patient.port)
        client.sendall(b"POST /v1/solve HTTP/1.1\r\nHost: x\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
        patient.wait_for_gauge("varbex_solves_in_flight", 1)
        client.close()
        hung_up = time.monotonic()
        patient.wait_for_gauge("varbex_solves_in_flight", 0)
        freed_after = time.monotonic() - hung_up
    print(f"  worker freed {freed_after * 1000:.0f} ms after the client hung up")
    assert freed_after < 5  # the solve itself goes on for far longer than this
    assert patient.request("POST", "/v1/solve", BASIC)[0] == 200
    assert patient.stop() == 0


def test_many_large_bodies_at_once_are_held_only_to_max_held(tmp_path):
    server = Server(tmp_path, "--threads", "2")
    head = b"POST /v1/solve HTTP/1.1\r\nHost: x\r\nContent-Length: %d\r\n\r\n" % (16 * MIB)
    with Watch(server):
        clients = [attacker(server.port) for _ in range(8)]
        refused = 0
        for client in clients:  # each sends all of its 16 MiB but the last byte
            client.settimeout(TIMEOUT)
            client.sendall(head)
            try:
                for block in repeated(b" ", 16 * MIB - MIB):
                    client.sendall(block)
                client.sendall(b" " * (MIB - 1))
            except (BrokenPipeError, ConnectionResetError):
                pass
            if select.select([client], [], [], 0.5)[0]:
                refused += statuses(client.recv(65536)) == [503]
        for client in clients:
            client.close()
    assert refused == 4  # four bodies of 16 MiB fill the default 64 MiB
    assert server.stop() == 0
