"""examples/python/dask_batch.py on a local cluster of two worker processes: its output matches
`varbex batch` line for line, error envelopes included."""
import json
import os
import subprocess
import sys
from pathlib import Path

SOURCE_DIR = Path(os.environ["VARBEX_SOURCE_DIR"])


def request_lines():
    basic = json.loads((SOURCE_DIR / "examples" / "basic.json").read_text())
    no_fit = json.loads((SOURCE_DIR / "examples" / "no_fit.json").read_text())
    lines = []
    for i in range(7):
        request = json.loads(json.dumps(basic))
        request["items"] = request["items"][: 2 + i]
        lines.append(json.dumps(request))
    lines[2] = json.dumps(no_fit)
    lines[4] = '{"boxes": [{"Width": 1}]}'
    lines[5] = '{"items": ['
    return lines


def test_dask_batch_matches_the_batch_command(tmp_path):
    requests = tmp_path / "requests.jsonl"
    requests.write_text("\n".join(request_lines()) + "\n")
    responses = tmp_path / "responses.jsonl"
    done = subprocess.run(
        [sys.executable, str(SOURCE_DIR / "examples" / "python" / "dask_batch.py"), str(requests),
         str(responses), "--workers", "2", "--chunk-size", "2"],
        capture_output=True, text=True, timeout=300, cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    assert "dask_batch: 7 requests, 2 errors" in done.stderr

    expected = subprocess.run([os.environ["VARBEX_CLI"], "batch", str(requests)],
                              capture_output=True, text=True)
    assert responses.read_text() == expected.stdout
    lines = responses.read_text().splitlines()
    assert len(lines) == 7
    assert json.loads(lines[2])["unplaced_item_codes"] == ["SURF-1"]
    assert json.loads(lines[4]) == {"error": "box is missing required field 'Reference'",
                                    "success": False}
