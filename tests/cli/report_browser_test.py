"""The packing report in a real browser: headless Chromium loads a page written by
`varbex solve --html`, and the drawing, step slider, metrics and unplaced items are all there."""
import json
import os
import re
import struct
import subprocess
import zlib
from pathlib import Path

import pytest

CLI = os.environ["VARBEX_CLI"]
SOURCE_DIR = Path(os.environ["VARBEX_SOURCE_DIR"])
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync",
                  "--hide-scrollbars"]


def chromium(tmp_path, *arguments):
    profile = tmp_path / f"profile-{len(list(tmp_path.iterdir()))}"
    done = subprocess.run(["chromium", *CHROMIUM_FLAGS, f"--user-data-dir={profile}", *arguments],
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    return done.stdout


@pytest.fixture(scope="module")
def report(tmp_path_factory):
    """A report of a request that fills two groups of boxes and leaves one item unplaced."""
    folder = tmp_path_factory.mktemp("report")
    request = json.loads((SOURCE_DIR / "examples" / "box_groups.json").read_text())
    request["items"].append({"ItemCode": "PIANO-1", "Width": 150, "Length": 60, "Depth": 130})
    (folder / "request.json").write_text(json.dumps(request))
    page = folder / "report.html"
    done = subprocess.run([CLI, "solve", "--html", str(page), str(folder / "request.json")],
                          capture_output=True, text=True)
    assert done.returncode == 3, done.stderr
    return page, json.loads(done.stdout)


def number(value):
    """A number as the page writes it: at most three decimals, no trailing zeros."""
    return f"{round(value, 3):g}"


def test_every_placement_is_drawn_with_its_code_and_position(report, tmp_path):
    page, response = report
    dom = chromium(tmp_path, "--dump-dom", page.as_uri())
    shapes = re.findall(r'<g class="item[^"]*" data-step="(\d+)" data-code="([^"]*)">', dom)
    assert len(shapes) == len(response["placements"]) > 0
    titles = re.findall(r"<title>([^<]*)</title>", dom)
    for placement in response["placements"]:
        where = (f"{placement['ItemCode']}"
                 if placement["ItemReference"] == placement["ItemCode"]
                 else f"{placement['ItemCode']} ({placement['ItemReference']})")
        where += (f" at x {number(placement['x'])}, y {number(placement['y'])}, "
                  f"z {number(placement['z'])}")
        assert any(where in title for title in titles), where


def test_each_box_has_metrics_and_a_step_slider(report, tmp_path):
    page, response = report
    dom = chromium(tmp_path, "--dump-dom", page.as_uri())
    sliders = re.findall(r'<input type="range" min="0" max="(\d+)"', dom)
    assert [int(s) for s in sliders] == [box["item_count"] for box in response["boxes"]]
    assert dom.count("<th>Volume utilisation</th>") == len(response["boxes"])
    for box in response["boxes"]:
        assert f": {box['box_reference']}</h2>" in dom


def test_unplaced_items_are_listed(report, tmp_path):
    page, _ = report
    dom = chromium(tmp_path, "--dump-dom", page.as_uri())
    assert "Unplaced items (1)" in dom
    assert "PIANO-1" in dom.split('id="unplaced"')[1]


def test_step_in_the_address_shows_the_box_filling_up(report, tmp_path):
    page, response = report
    dom = chromium(tmp_path, "--dump-dom", page.as_uri() + "#step=1")
    hidden = re.findall(r'<g class="item later"', dom)
    assert len(hidden) == len(response["placements"]) - len(response["boxes"])
    assert dom.count('<p class="step-text">Step 1 of ') == len(response["boxes"])


def colourful_share(png):
    """Share of pixels in the screenshot whose colour is far from grey."""
    width, height, depth, kind = struct.unpack(">IIBB", png[16:26])
    assert (depth, kind) in ((8, 2), (8, 6)), "unexpected PNG format"
    channels = 3 if kind == 2 else 4
    data, at = b"", 8
    while at < len(png):
        length, tag = struct.unpack(">I4s", png[at:at + 8])
        if tag == b"IDAT":
            data += png[at + 8:at + 8 + length]
        at += 12 + length
    raw = zlib.decompress(data)
    stride = width * channels
    previous = bytearray(stride)
    colourful = 0
    for row in range(height):
        start = row * (stride + 1)
        line = unfilter(raw[start], bytearray(raw[start + 1:start + 1 + stride]), previous, channels)
        for x in range(0, stride, channels * 4):  # every fourth pixel is plenty
            r, g, b = line[x:x + 3]
            colourful += max(r, g, b) - min(r, g, b) > 60
        previous = line
    return colourful / (height * width / 4)


def unfilter(kind, line, previous, bpp):
    for i in range(len(line)):
        left = line[i - bpp] if i >= bpp else 0
        up = previous[i]
        upper_left = previous[i - bpp] if i >= bpp else 0
        if kind == 1:
            line[i] = (line[i] + left) & 0xFF
        elif kind == 2:
            line[i] = (line[i] + up) & 0xFF
        elif kind == 3:
            line[i] = (line[i] + (left + up) // 2) & 0xFF
        elif kind == 4:
            p = left + up - upper_left
            pa, pb, pc = abs(p - left), abs(p - up), abs(p - upper_left)
            predictor = left if pa <= pb and pa <= pc else up if pb <= pc else upper_left
            line[i] = (line[i] + predictor) & 0xFF
    return line


def test_screenshot_shows_the_coloured_drawing(report, tmp_path):
    page, _ = report
    shot = tmp_path / "report.png"
    chromium(tmp_path, f"--screenshot={shot}", "--window-size=1000,900", page.as_uri())
    # The drawing's coloured faces cover a good part of the first screen; a blank page has none.
    assert colourful_share(shot.read_bytes()) > 0.02
