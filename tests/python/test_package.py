"""The Python package: what solve returns, how a rejected request is reported, and that threads
solve at the same time. CTest points PYTHONPATH at python/ and VARBEX_LIBRARY at the built library."""
import ctypes
import json
import os
import subprocess
import sys
import threading
from pathlib import Path

import pytest

import varbex

SOURCE_DIR = Path(os.environ["VARBEX_SOURCE_DIR"])
ONE_ITEM = {
    "items": [{"ItemCode": "A", "Width": 5, "Length": 4, "Depth": 2, "Weight": 3}],
    "boxes": [{"Reference": "B1", "Width": 10, "Length": 10, "Depth": 10, "MaxWeight": 50,
               "BoxWeight": 1}],
}


def many_items(count):
    items = [{"ItemCode": f"I{i}", "Width": 3 + i % 7, "Length": 4 + i % 5, "Depth": 2 + i % 3}
             for i in range(count)]
    return {"items": items,
            "boxes": [{"Reference": "B", "Width": 30, "Length": 30, "Depth": 30, "MaxWeight": -1}]}


def test_solve_takes_a_dict_and_returns_the_response_as_a_dict():
    response = varbex.solve(ONE_ITEM)
    assert response["success"] is True
    assert response["summary"] == {"box_count": 1, "overall_volume_utilisation": 4.0,
                                   "total_placed": 1, "total_unplaced": 0}
    placement = response["placements"][0]
    assert (placement["ItemCode"], placement["box_reference"]) == ("A", "B1")
    assert (placement["x"], placement["y"], placement["z"]) == (0.0, 0.0, 0.0)


def test_solve_gives_the_same_response_for_a_dict_a_text_and_bytes():
    text = json.dumps(ONE_ITEM)
    assert varbex.solve(text) == varbex.solve(ONE_ITEM) == varbex.solve(text.encode())


def test_solve_text_returns_the_library_text_unchanged():
    assert varbex.solve_text("{}") == (
        '{"boxes":[],"placements":[],"success":true,"summary":{"box_count":0,'
        '"overall_volume_utilisation":0.0,"total_placed":0,"total_unplaced":0},'
        '"unplaced_item_codes":[],"unplaced_items":[]}')


def test_solve_text_returns_an_error_envelope_without_raising():
    assert varbex.solve_text('{"boxes":[{}]}') == (
        '{"error":"box is missing required field \'Reference\'","success":false}')


def test_missing_field_raises_request_error_with_the_message():
    with pytest.raises(varbex.RequestError) as raised:
        varbex.solve({"boxes": [{"Width": 1}]})
    assert raised.value.message == "box is missing required field 'Reference'"
    assert str(raised.value) == raised.value.message


def test_malformed_json_raises_request_error():
    with pytest.raises(varbex.RequestError) as raised:
        varbex.solve('{"items": [')
    assert raised.value.message.startswith("[json.exception.parse_error.101]")


def test_request_error_is_a_value_error():
    assert issubclass(varbex.RequestError, ValueError)


def test_unplaced_items_are_not_an_error():
    request = json.loads((SOURCE_DIR / "examples" / "no_fit.json").read_text())
    response = varbex.solve(request)
    assert response["success"] is False
    assert response["unplaced_item_codes"] == ["SURF-1"]


def test_text_beyond_ascii_survives_the_round_trip():
    request = json.loads(json.dumps(ONE_ITEM))
    request["items"][0]["ItemCode"] = "Tasse \u00e0 th\u00e9 \u2615"
    response = varbex.solve(request)
    assert response["placements"][0]["ItemCode"] == "Tasse \u00e0 th\u00e9 \u2615"


def test_matches_the_command_line_tool():
    cli = subprocess.run([os.environ["VARBEX_CLI"], "solve", str(SOURCE_DIR / "examples/basic.json")],
                         capture_output=True, text=True, check=True)
    assert varbex.solve_text((SOURCE_DIR / "examples/basic.json").read_text()) + "\n" == cli.stdout


def test_threads_solving_at_once_get_the_answers_of_one_thread():
    requests = [many_items(20 + 5 * i) for i in range(8)]
    expected = [varbex.solve(r) for r in requests]
    results = [None] * len(requests)

    def work(index):
        results[index] = varbex.solve(requests[index])

    threads = [threading.Thread(target=work, args=(i,)) for i in range(len(requests))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert results == expected


def test_functions_are_called_without_the_interpreter_lock():
    # PyDLL functions carry the flag that keeps the lock held during the call; CDLL ones do not.
    library = varbex._library
    assert not isinstance(library, ctypes.PyDLL)
    assert not library.varbex_solve._flags_ & ctypes._FUNCFLAG_PYTHONAPI


def test_another_thread_runs_while_one_is_solving():
    # With a very long switch interval the interpreter only changes threads when the running one
    # lets go of the lock. So the main thread sees the solve still going only if the solving
    # thread let go of the lock inside varbex_solve.
    finished = threading.Event()

    def work():
        varbex.solve(many_items(200))
        finished.set()

    old_interval = sys.getswitchinterval()
    sys.setswitchinterval(1000)
    try:
        thread = threading.Thread(target=work)
        thread.start()
        seen_running = not finished.is_set()
        thread.join()
    finally:
        sys.setswitchinterval(old_interval)
    assert seen_running


def test_library_path_follows_the_environment_variable():
    assert varbex.library_path() == os.environ["VARBEX_LIBRARY"]


def test_a_missing_library_fails_the_import_with_a_hint():
    env = dict(os.environ, VARBEX_LIBRARY="/nonexistent/libvarbex.so")
    run = subprocess.run([sys.executable, "-c", "import varbex"], env=env, capture_output=True,
                         text=True)
    assert run.returncode != 0
    assert "ImportError: varbex: cannot load the shared library /nonexistent/libvarbex.so" in run.stderr
    assert "VARBEX_LIBRARY" in run.stderr
