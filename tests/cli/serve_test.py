"""`varbex serve` over real HTTP: a server on a free loopback port, Python's http.client as the
client. Every server is stopped with SIGTERM and must then exit 0, which under the sanitizer
builds also means that nothing leaked."""
import http.client
import json
import os
import select
import signal
import socket
import subprocess
import threading
import time
from pathlib import Path

import jsonschema
import pytest

CLI = os.environ["VARBEX_CLI"]
SOURCE_DIR = Path(os.environ["VARBEX_SOURCE_DIR"])
GOLDEN = sorted((SOURCE_DIR / "tests" / "golden").glob("*.request.json"))
EXAMPLES = sorted((SOURCE_DIR / "examples").glob("*.json"))
TIMEOUT = 120  # seconds; generous, for a loaded machine and the sanitizer builds


class Server:
    """One `varbex serve` process and where it listens."""

    def __init__(self, tmp_path, *options, env=None):
        started = time.monotonic_ns()
        self.log = tmp_path / f"access-{started}.jsonl"
        self.errors = tmp_path / f"stderr-{started}.txt"
        with open(self.errors, "wb") as errors:
            self.process = subprocess.Popen(
                [CLI, "serve", "--listen", "127.0.0.1:0", "--access-log", str(self.log), *options],
                stdout=subprocess.PIPE, stderr=errors, env=env)
        ready, _, _ = select.select([self.process.stdout], [], [], TIMEOUT)
        assert ready, "the server printed no address"
        line = self.process.stdout.readline().decode()
        assert line.startswith("varbex: serving on http://127.0.0.1:"), line
        self.port = int(line.rsplit(":", 1)[1])

    def connect(self):
        return http.client.HTTPConnection("127.0.0.1", self.port, timeout=TIMEOUT)

    def request(self, method, path, body=None, headers=None):
        connection = self.connect()
        try:
            connection.request(method, path, body=body, headers=headers or {})
            response = connection.getresponse()
            return response.status, dict(response.getheaders()), response.read()
        finally:
            connection.close()

    def gauge(self, name):
        _, _, text = self.request("GET", "/metrics")
        for line in text.decode().splitlines():
            if line.startswith(name + " "):
                return float(line.split()[1])
        raise AssertionError(f"no {name} in /metrics")

    def wait_for_gauge(self, name, value):
        deadline = time.monotonic() + TIMEOUT
        while self.gauge(name) != value:
            assert time.monotonic() < deadline, f"{name} never reached {value}"
            time.sleep(0.01)

    def stop(self):
        """SIGTERM; returns the exit status once the process has drained and exited."""
        self.process.send_signal(signal.SIGTERM)
        return self.exit_status()

    def exit_status(self):
        """The exit status once the process has ended, with what it wrote to standard error
        (a sanitizer's report, say) shown when it is not 0."""
        try:
            status = self.process.wait(timeout=TIMEOUT)
        finally:
            self.process.stdout.close()
        assert status == 0, self.errors.read_text(errors="replace")[-20000:]
        return status

    def log_lines(self, count=0):
        """The access log once it has at least `count` lines: a line is written after its answer."""
        deadline = time.monotonic() + TIMEOUT
        while len(lines := self.log.read_text().splitlines()) < count:
            assert time.monotonic() < deadline, f"the access log never reached {count} lines"
            time.sleep(0.01)
        return [json.loads(line) for line in lines]


@pytest.fixture
def server(tmp_path):
    started = Server(tmp_path, "--threads", "2")
    yield started
    assert started.stop() == 0


def library_response(path):
    """What the library answers for a request file, through `varbex solve`."""
    done = subprocess.run([CLI, "solve", str(path)], capture_output=True, timeout=TIMEOUT)
    return done.stdout.rstrip(b"\n")


def slow_request(items=400):
    """A request that takes the library about a second in a Debug build, longer with sanitizers."""
    seed = 12345

    def draw(limit):
        nonlocal seed
        seed = (seed * 1103515245 + 12345) % 2**31
        return 1 + seed % limit

    return json.dumps({
        "items": [{"ItemCode": f"I{i}", "Width": draw(40), "Length": draw(40), "Depth": draw(40),
                   "Weight": draw(9)} for i in range(items)],
        "boxes": [{"Reference": f"B{k}", "Width": 60 + 10 * k, "Length": 50 + 10 * k,
                   "Depth": 40 + 10 * k, "MaxWeight": 400} for k in range(5)]}).encode()


def test_every_example_and_golden_request_answers_the_library_bytes(server):
    for request in GOLDEN + EXAMPLES:
        status, headers, body = server.request("POST", "/v1/solve", request.read_bytes())
        assert (status, headers["Content-Type"]) == (200, "application/json"), request.name
        assert body == library_response(request), request.name
    lines = b"".join(path.read_bytes().replace(b"\n", b" ") + b"\n" for path in GOLDEN + EXAMPLES)
    lines += b"not json\n"
    status, headers, body = server.request("POST", "/v1/batch", lines)
    batch = subprocess.run([CLI, "batch", "-"], input=lines, capture_output=True, timeout=TIMEOUT)
    assert (status, body) == (200, batch.stdout)


def test_report_is_the_page_that_render_writes(server, tmp_path):
    request = SOURCE_DIR / "examples" / "box_groups.json"
    status, headers, page = server.request("POST", "/v1/report", request.read_bytes())
    (tmp_path / "response.json").write_bytes(library_response(request))
    rendered = subprocess.run([CLI, "render", "--request", str(request), str(tmp_path / "response.json")],
                              capture_output=True, timeout=TIMEOUT)
    assert (status, headers["Content-Type"]) == (200, "text/html; charset=utf-8")
    assert page == rendered.stdout


def test_openapi_schemas_validate_the_examples_and_golden_documents(server):
    status, _, body = server.request("GET", "/openapi.json")
    document = json.loads(body)
    assert status == 200 and document["openapi"].startswith("3.")

    def validator(name):
        schema = {"$ref": f"#/components/schemas/{name}", "components": document["components"]}
        return jsonschema.Draft202012Validator(schema)

    requests, responses = validator("PackingRequest"), validator("PackingResponse")
    for path in GOLDEN + EXAMPLES:
        requests.validate(json.loads(path.read_bytes()))
    for path in sorted((SOURCE_DIR / "tests" / "golden").glob("*.response.json")):
        responses.validate(json.loads(path.read_bytes()))
    status, _, envelope = server.request("POST", "/v1/solve", b'{"boxes": [{}]}')
    assert status == 422
    validator("ErrorEnvelope").validate(json.loads(envelope))
    with pytest.raises(jsonschema.ValidationError):
        responses.validate(json.loads(envelope))
    assert set(document["paths"]) == {"/v1/solve", "/v1/report", "/v1/insights", "/v1/batch",
                                      "/healthz", "/readyz", "/metrics", "/openapi.json"}
    fixture = SOURCE_DIR / "tests" / "insights"
    body = {"request": json.loads((fixture / "stack_request.json").read_text()),
            "response": (fixture / "stack_response.json").read_text()}
    status, _, insights = server.request("POST", "/v1/insights", json.dumps(body).encode())
    assert status == 200
    validator("Insights").validate(json.loads(insights))


def test_insights_are_the_document_of_the_library_with_clear_errors(server):
    fixture = SOURCE_DIR / "tests" / "insights"
    request = (fixture / "stack_request.json").read_text()
    body = {"request": json.loads(request), "response": json.loads((fixture / "stack_response.json").read_text())}
    status, headers, answer = server.request("POST", "/v1/insights", json.dumps(body).encode())
    assert (status, headers["Content-Type"]) == (200, "application/json")
    assert answer == (fixture / "stack_insights.json").read_bytes().rstrip(b"\n")
    cases = [(b"{not json", 400, "the body is not JSON"),
             (b'{"request": {}}', 400, 'the body must be an object with "request" and "response"'),
             (json.dumps({"request": request, "response": {"error": "x", "success": False}}).encode(),
              422, "response: it is an error envelope: x")]
    for sent, expected, message in cases:
        status, _, answer = server.request("POST", "/v1/insights", sent)
        assert (status, json.loads(answer)) == (expected, {"error": message, "success": False})


def test_wrong_paths_methods_and_bodies_get_small_json_errors(server):
    cases = [("GET", "/nowhere", None, 404), ("DELETE", "/v1/solve", None, 405),
             ("POST", "/healthz", b"{}", 405), ("POST", "/v1/solve", b"{not json", 422),
             ("POST", "/v1/solve", b"", 422)]
    for method, path, body, expected in cases:
        status, headers, answer = server.request(method, path, body)
        assert status == expected, (method, path)
        assert json.loads(answer)["success"] is False
        assert headers["Content-Type"] == "application/json"
    _, headers, _ = server.request("PUT", "/v1/batch", b"")
    assert headers["Allow"] == "POST, OPTIONS"
    _, headers, _ = server.request("POST", "/metrics", b"")
    assert headers["Allow"] == "GET, HEAD, OPTIONS"
    assert server.request("GET", "/healthz")[0] == 200


def test_help_prints_the_usage_and_bad_options_fail():
    shown = subprocess.run([CLI, "serve", "--help"], capture_output=True, timeout=TIMEOUT)
    assert (shown.returncode, shown.stdout.startswith(b"usage: varbex serve")) == (0, True)
    assert b"--solve-timeout" in shown.stdout
    wrong = subprocess.run([CLI, "serve", "--solve-timeout", "soon"], capture_output=True, timeout=TIMEOUT)
    assert wrong.returncode != 0 and b"--solve-timeout" in wrong.stderr


def test_body_over_the_limit_is_refused_before_it_is_sent_in_full(tmp_path):
    limited = Server(tmp_path, "--max-body", "1000")
    with socket.create_connection(("127.0.0.1", limited.port), timeout=TIMEOUT) as client:
        # Announces a gigabyte and keeps sending a byte a second, well inside the read timeout:
        # only a server that answers before the body is in can answer at all.
        client.sendall(b"POST /v1/solve HTTP/1.1\r\nHost: x\r\nContent-Length: 1000000000\r\n\r\n")
        for _ in range(TIMEOUT):
            if select.select([client], [], [], 1)[0]:
                break
            client.sendall(b"{")
        answer = b""
        while chunk := client.recv(4096):  # then the server closes the connection
            answer += chunk
    assert answer.startswith(b"HTTP/1.1 413 ") and b"Connection: close" in answer
    assert json.loads(answer.split(b"\r\n\r\n", 1)[1])["success"] is False
    assert limited.request("POST", "/v1/solve", b"{}")[0] == 200
    # Bodies on their way count against --max-held, here room for one and a half: a second one
    # is turned away before it is read, the first one still answered.
    held = Server(tmp_path, "--max-body", "1000", "--max-held", "1500")
    with socket.create_connection(("127.0.0.1", held.port), timeout=TIMEOUT) as first:
        first.sendall(b"POST /v1/solve HTTP/1.1\r\nHost: x\r\nContent-Length: 1000\r\n"
                      b"Expect: 100-continue\r\n\r\n")
        assert first.recv(100).startswith(b"HTTP/1.1 100 ")  # its length counted, the body invited
        status, headers, _ = held.request("POST", "/v1/solve", b"[" * 1000)
        assert (status, headers["Retry-After"], headers["Connection"]) == (503, "1", "close")
        first.sendall(b" " * 998 + b"{}")
        assert first.recv(100).startswith(b"HTTP/1.1 200 ")
    assert held.request("POST", "/v1/solve", b" " * 998 + b"{}")[0] == 200
    assert 'varbex_rejections_total{cause="bodies_held"} 1' in held.request("GET", "/metrics")[2].decode()
    assert limited.stop() == 0 and held.stop() == 0


def test_full_queue_answers_503_while_the_thread_is_still_busy(tmp_path):
    single = Server(tmp_path, "--threads", "1", "--queue", "0")
    slow = slow_request()
    outcome = {}
    worker = threading.Thread(target=lambda: outcome.update(slow=single.request("POST", "/v1/solve", slow)))
    worker.start()
    single.wait_for_gauge("varbex_solves_in_flight", 1)
    status, headers, body = single.request("POST", "/v1/solve", b"{}")
    # Still in flight after the refusal: the answer did not wait for the thread to come free.
    busy = single.gauge("varbex_solves_in_flight")
    worker.join(TIMEOUT)
    assert (status, headers["Retry-After"], json.loads(body)["success"]) == (503, "1", False)
    assert busy == 1 and outcome["slow"][0] == 200
    assert 'varbex_rejections_total{cause="queue_full"} 1' in single.request("GET", "/metrics")[2].decode()
    assert single.stop() == 0


def test_stalled_and_vanished_clients_hold_no_solving_thread(tmp_path):
    single = Server(tmp_path, "--threads", "1")
    stalled = socket.create_connection(("127.0.0.1", single.port), timeout=TIMEOUT)
    stalled.sendall(b"POST /v1/solve HTTP/1.1\r\nHost: x\r\nContent-Le")
    vanished = socket.create_connection(("127.0.0.1", single.port), timeout=TIMEOUT)
    slow = slow_request()
    vanished.sendall(b"POST /v1/solve HTTP/1.1\r\nHost: x\r\nContent-Length: %d\r\n\r\n" % len(slow) + slow)
    single.wait_for_gauge("varbex_solves_in_flight", 1)
    vanished.close()  # while its request is being solved
    single.wait_for_gauge("varbex_solves_in_flight", 0)
    assert single.request("POST", "/v1/solve", (SOURCE_DIR / "examples" / "basic.json").read_bytes())[0] == 200
    # Cut off once it has been idle too long: the connection is closed under the half request.
    assert stalled.recv(100) == b""
    stalled.close()
    assert single.stop() == 0


def test_token_guards_every_endpoint_but_healthz_and_cors_is_opt_in(tmp_path, server):
    (tmp_path / "token").write_text("s3cret\n")
    guarded = Server(tmp_path, "--token-file", str(tmp_path / "token"), "--cors", "https://shop.example")
    good = {"Authorization": "Bearer s3cret"}
    for path in ["/readyz", "/metrics", "/openapi.json"]:
        for headers in [{}, {"Authorization": "Bearer s3cre"}, {"Authorization": "Bearer s3cret!"}]:
            status, answer_headers, _ = guarded.request("GET", path, headers=headers)
            assert (status, answer_headers["WWW-Authenticate"]) == (401, "Bearer"), (path, headers)
        assert guarded.request("GET", path, headers=good)[0] == 200, path
    assert guarded.request("POST", "/v1/solve", b"{}")[0] == 401
    assert guarded.request("POST", "/v1/insights", b"{}")[0] == 401
    status, headers, _ = guarded.request("POST", "/v1/solve", b"{}", headers=good)
    assert (status, headers["Access-Control-Allow-Origin"]) == (200, "https://shop.example")
    assert guarded.request("GET", "/healthz")[0] == 200
    # A browser's preflight carries no token.
    status, headers, _ = guarded.request("OPTIONS", "/v1/solve",
                                         headers={"Origin": "https://shop.example"})
    assert status == 204 and "Authorization" in headers["Access-Control-Allow-Headers"]
    assert guarded.stop() == 0
    assert "Access-Control-Allow-Origin" not in server.request("POST", "/v1/solve", b"{}")[1]
    from_environment = Server(tmp_path, env=dict(os.environ, VARBEX_TOKEN="t0ken"))
    assert from_environment.request("GET", "/metrics")[0] == 401
    assert from_environment.request("GET", "/metrics", headers={"Authorization": "Bearer t0ken"})[0] == 200
    assert from_environment.stop() == 0


def test_access_log_has_one_line_per_request_and_no_body(server):
    marker = "SECRET-CUSTOMER-ITEM"
    request = {"items": [{"ItemCode": marker, "Width": 1, "Length": 1, "Depth": 1}],
               "boxes": [{"Reference": "B", "Width": 2, "Length": 2, "Depth": 2, "MaxWeight": 5}]}
    body = json.dumps(request).encode()
    server.request("POST", "/v1/solve?debug=1", body)
    server.request("GET", "/healthz")
    # A line is written once its answer is out, so the two may come in either order.
    first, second = sorted(server.log_lines(2), key=lambda line: line["path"], reverse=True)
    assert {key: first[key] for key in ["method", "path", "status", "bytes_in"]} == {
        "method": "POST", "path": "/v1/solve", "status": 200, "bytes_in": len(body)}
    assert first["bytes_out"] > 0 and first["ms"] >= 0 and first["time"].endswith("Z")
    assert second["path"] == "/healthz"
    assert marker not in server.log.read_text()


def run_clients(server, requests, count, per_client, stop_on_refusal=False):
    """`count` threads, each sending `per_client` requests in turn, one connection per client.
    Returns a list per client of (request index, status, body) or (request index, error)."""
    results = [[] for _ in range(count)]

    def client(number):
        connection = server.connect()
        for turn in range(per_client):
            index = (number + turn) % len(requests)
            try:
                connection.request("POST", "/v1/solve", body=requests[index][0])
                response = connection.getresponse()
                results[number].append((index, response.status, response.read()))
            except (ConnectionError, http.client.HTTPException, OSError) as error:
                results[number].append((index, repr(error)))
                if stop_on_refusal:
                    break
                connection.close()
                connection = server.connect()
        connection.close()

    threads = [threading.Thread(target=client, args=(n,)) for n in range(count)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(TIMEOUT)
        assert not thread.is_alive()
    return results


def test_32_concurrent_clients_are_all_answered_and_sigterm_loses_none(tmp_path):
    busy = Server(tmp_path, "--threads", "2")
    requests = [(path.read_bytes(), library_response(path)) for path in GOLDEN + EXAMPLES]
    for outcomes in run_clients(busy, requests, 32, 4):
        assert [(index, 200, requests[index][1]) for index, *_ in outcomes] == outcomes
    # Now SIGTERM while 32 clients keep sending; each stops at its first failed exchange.
    started = len(busy.log_lines(32 * 4))
    stopper = threading.Timer(0.5, busy.process.send_signal, args=(signal.SIGTERM,))
    stopper.start()
    results = run_clients(busy, requests, 32, 10**6, stop_on_refusal=True)
    stopper.join()
    assert busy.exit_status() == 0
    answered = [outcome for outcomes in results for outcome in outcomes if len(outcome) == 3]
    for index, status, body in answered:
        assert (status, body) == (200, requests[index][1])
    # Every request the server read is in its log: each of them reached its client.
    assert len(busy.log_lines()) - started == len(answered) > 0
    assert all(len(outcomes[-1]) == 2 for outcomes in results)


def test_sigterm_turns_readyz_to_503_and_answers_the_request_in_flight(tmp_path):
    draining = Server(tmp_path, "--threads", "1")
    kept = draining.connect()  # opened before the signal, kept alive across it
    kept.request("GET", "/readyz")
    assert kept.getresponse().read() == b'{"status":"ready"}'
    outcome = {}
    worker = threading.Thread(target=lambda: outcome.update(slow=draining.request("POST", "/v1/solve", slow_request())))
    worker.start()
    draining.wait_for_gauge("varbex_solves_in_flight", 1)
    draining.process.send_signal(signal.SIGTERM)
    deadline = time.monotonic() + TIMEOUT
    while True:  # the signal arrives in its own time; poll until the drain has begun
        kept.request("GET", "/readyz")
        response = kept.getresponse()
        body = response.read()
        if response.status == 503:
            break
        assert time.monotonic() < deadline
        time.sleep(0.01)
    assert (body, response.getheader("Connection")) == (b'{"status":"draining"}', "close")
    kept.close()
    worker.join(TIMEOUT)
    assert outcome["slow"][0] == 200 and json.loads(outcome["slow"][2])["summary"]["total_placed"] > 0
    assert draining.exit_status() == 0
    with pytest.raises(ConnectionRefusedError):
        socket.create_connection(("127.0.0.1", draining.port), timeout=TIMEOUT)


def test_sigterm_finishes_a_batch_stream_and_answers_kept_alive_clients(tmp_path):
    line = slow_request(items=30)
    lines = (line + b"\n") * 200
    expected = subprocess.run([CLI, "batch", "-"], input=lines, capture_output=True, timeout=TIMEOUT).stdout
    basic = (SOURCE_DIR / "examples" / "basic.json").read_bytes()
    answer = library_response(SOURCE_DIR / "examples" / "basic.json")
    draining = Server(tmp_path, "--threads", "2")
    # Each used once before the signal, then idle, well within the 5 s idle limit.
    kept = [draining.connect() for _ in range(8)]
    for connection in kept:
        connection.request("GET", "/healthz")
        response = connection.getresponse()
        assert response.read() == b'{"status":"alive"}' and response.getheader("Connection") is None
    streaming = draining.connect()
    streaming.request("POST", "/v1/batch", body=lines)
    stream = streaming.getresponse()
    received = stream.readline()
    draining.process.send_signal(signal.SIGTERM)
    deadline = time.monotonic() + TIMEOUT
    while True:  # the drain has begun once new connections are refused
        try:
            socket.create_connection(("127.0.0.1", draining.port), timeout=TIMEOUT).close()
        except ConnectionRefusedError:
            break
        assert time.monotonic() < deadline
        time.sleep(0.01)
    # A request sent on a kept-alive connection during the drain is read and answered, and the
    # answer says that the connection ends with it.
    for connection in kept:
        connection.request("POST", "/v1/solve", body=basic)
        response = connection.getresponse()
        assert (response.status, response.getheader("Connection")) == (200, "close")
        assert response.read() == answer
        connection.close()
    received += stream.read()  # to its last line and the final chunk, or http.client raises
    streaming.close()
    assert received.count(b"\n") == 200 and received == expected
    assert draining.exit_status() == 0
