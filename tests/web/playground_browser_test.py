"""The playground in headless Chromium, served from loopback: pick an example, solve it in the
worker, see the drawing, download the response (the native library's bytes); then an invalid
request shows the library's error message.

A driver page (served by this test only) loads the playground in a frame, works its controls and
posts what it saw back to the server.

    python3 -m pytest tests/web   # after make wasm; VARBEX_SOLVE_LINES names the native runner
"""
import http.server
import json
import os
import queue
import subprocess
import threading
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
SITE = Path(os.environ.get('VARBEX_WEB_DIR', ROOT / 'build' / 'web'))
SOLVE_LINES = Path(os.environ.get('VARBEX_SOLVE_LINES',
                                  ROOT / 'build' / 'diff' / 'current' / 'tests' / 'diff'
                                  / 'varbex_solve_lines'))
CHROMIUM_FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
                  '--disable-background-networking', '--disable-component-update', '--disable-sync']
EXAMPLE = 'box_groups.json'
INVALID = '{"boxes": [{"Width": 1}]}'

DRIVER = """<!DOCTYPE html><meta charset="utf-8"><iframe id="playground" src="/index.html"></iframe>
<script type="module">
const until = async (test, what) => {
  for (let waited = 0; waited < 90000; waited += 50) {
    const value = test();
    if (value) return value;
    await new Promise((done) => setTimeout(done, 50));
  }
  throw new Error('timed out waiting for ' + what);
};
const report = (result) => fetch('/result', {method: 'POST', body: JSON.stringify(result)});
try {
  const frame = document.getElementById('playground');
  await until(() => frame.contentDocument?.getElementById('solve'), 'the playground');
  const page = frame.contentDocument;
  const $ = (id) => page.getElementById(id);
  await until(() => !$('solve').disabled, 'the engine');
  const exampleText = await (await fetch('/examples/' + EXAMPLE)).text();
  $('example').value = EXAMPLE;
  $('example').dispatchEvent(new Event('change'));
  await until(() => $('request').value === exampleText, 'the example in the editor');
  const requestText = $('request').value;
  $('solve').click();
  const drawn = await until(
    () => $('report').contentDocument?.querySelectorAll('svg g.item').length, 'the drawing');
  // The insights of the answer come with it: a centre of gravity per box.
  const centres = $('report').contentDocument.querySelectorAll('svg g.centre').length;
  const responseText = await (await fetch($('download').href)).text();
  $('request').value = INVALID;
  $('solve').click();
  await until(() => !$('error').hidden, 'the error message');
  report({requestText, responseText, drawn, centres, error: $('error').textContent,
          reportHidden: $('report').hidden});
} catch (error) {
  report({failure: String(error)});
}
</script>""".replace('EXAMPLE', json.dumps(EXAMPLE)).replace('INVALID', json.dumps(INVALID))


def serve(results):
    class Handler(http.server.SimpleHTTPRequestHandler):
        extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                          '.js': 'text/javascript', '.mjs': 'text/javascript',
                          '.wasm': 'application/wasm', '.json': 'application/json'}

        def __init__(self, *args, **kwargs):
            super().__init__(*args, directory=str(SITE), **kwargs)

        def do_GET(self):
            if self.path == '/driver.html':
                body = DRIVER.encode()
                self.send_response(200)
                self.send_header('Content-Type', 'text/html; charset=utf-8')
                self.send_header('Content-Length', str(len(body)))
                self.end_headers()
                self.wfile.write(body)
            else:
                super().do_GET()

        def do_POST(self):
            body = self.rfile.read(int(self.headers['Content-Length']))
            self.send_response(204)
            self.end_headers()
            results.put(json.loads(body))

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def native_response(request_text, tmp_path):
    line = tmp_path / 'request.jsonl'
    line.write_text(request_text.replace('\n', ' ') + '\n', encoding='utf-8')
    out = subprocess.run([str(SOLVE_LINES), '--one-thread', '--full', str(line)],
                         check=True, capture_output=True, text=True).stdout
    return out.rstrip('\n').split(' ', 3)[3]  # index, deadline flag, milliseconds, response


@pytest.fixture(scope='module')
def seen(tmp_path_factory):
    if not (SITE / 'varbex' / 'dist' / 'varbex.wasm').exists():
        pytest.fail('%s holds no playground: run make wasm' % SITE)
    results = queue.Queue()
    server = serve(results)
    profile = tmp_path_factory.mktemp('profile')
    url = 'http://127.0.0.1:%d/driver.html' % server.server_address[1]
    browser = subprocess.Popen(['chromium', *CHROMIUM_FLAGS, '--user-data-dir=%s' % profile, url],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        return results.get(timeout=180)
    finally:
        browser.terminate()
        browser.wait(timeout=30)
        server.shutdown()


def test_the_example_is_solved_and_drawn(seen):
    assert 'failure' not in seen, seen.get('failure')
    assert seen['requestText'] == (ROOT / 'examples' / EXAMPLE).read_text(encoding='utf-8')
    response = json.loads(seen['responseText'])
    assert seen['drawn'] == len(response['placements']) > 0
    assert seen['centres'] == len(response['boxes'])


def test_the_downloaded_response_is_the_native_text(seen, tmp_path):
    assert 'failure' not in seen, seen.get('failure')
    assert seen['responseText'] == native_response(seen['requestText'], tmp_path)


def test_an_invalid_request_shows_the_library_message(seen):
    assert 'failure' not in seen, seen.get('failure')
    assert seen['error'] == "box is missing required field 'Reference'"
    assert seen['reportHidden'] is True
