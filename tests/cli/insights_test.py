"""The insights from the tool: `varbex insights` gives the shared fixture's document, and the report
page with its request, the pictures of the boxes and the printed page look right in headless
Chromium."""
import json
import os
import re
import subprocess
import xml.etree.ElementTree as ElementTree
from pathlib import Path

import pytest

CLI = os.environ["VARBEX_CLI"]
SOURCE_DIR = Path(os.environ["VARBEX_SOURCE_DIR"])
FIXTURE = SOURCE_DIR / "tests" / "insights"
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync",
                  "--hide-scrollbars"]
SVG = "{http://www.w3.org/2000/svg}"


def chromium(tmp_path, *arguments):
    profile = tmp_path / f"profile-{len(list(tmp_path.iterdir()))}"
    done = subprocess.run(["chromium", *CHROMIUM_FLAGS, f"--user-data-dir={profile}", *arguments],
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    return done.stdout


def test_insights_command_gives_the_fixture_document_and_clear_errors(tmp_path):
    done = subprocess.run([CLI, "insights", FIXTURE / "stack_request.json", FIXTURE / "stack_response.json"],
                          capture_output=True)
    assert (done.returncode, done.stdout) == (0, (FIXTURE / "stack_insights.json").read_bytes())
    (tmp_path / "envelope.json").write_text('{"error":"x","success":false}')
    done = subprocess.run([CLI, "insights", FIXTURE / "stack_request.json", tmp_path / "envelope.json"],
                          capture_output=True, text=True)
    assert (done.returncode, done.stderr) == (2, "varbex: response: it is an error envelope: x\n")


@pytest.fixture(scope="module")
def packed(tmp_path_factory):
    """A request whose packing leaves items in the air and two items unplaced, each for a reason."""
    folder = tmp_path_factory.mktemp("packed")
    never = {"AllowedRotation": "Never"}
    items = ([dict(ItemCode="TALL", Width=10, Length=10, Depth=20, Weight=3, **never)] * 2 +
             [dict(ItemCode="SHORT", Width=10, Length=10, Depth=6, Weight=1, **never)] * 3 +
             [dict(ItemCode="PLATE", Width=25, Length=18, Depth=2, Weight=2, AllowedRotation="KeepFlat")] * 2 +
             [dict(ItemCode="BOOK", Width=22, Length=16, Depth=4, Weight=2.5)] * 2 +
             [dict(ItemCode="CUBE", Width=7, Length=7, Depth=7, Weight=0.5)] * 3 +
             [dict(ItemCode="POLE", Width=150, Length=4, Depth=4, Weight=1),
              dict(ItemCode="ANVIL", Width=10, Length=10, Depth=10, Weight=60)])
    boxes = [dict(Reference="Carton M", Width=30, Length=25, Depth=25, MaxWeight=25, BoxWeight=1, MaximumBoxes=1),
             dict(Reference="Carton S", Width=24, Length=20, Depth=15, MaxWeight=20, BoxWeight=0.5)]
    request = folder / "request.json"
    request.write_text(json.dumps({"items": items, "boxes": boxes}))
    page, insights = folder / "report.html", folder / "insights.json"
    done = subprocess.run([CLI, "solve", request, "--html", page, "--insights", insights],
                          capture_output=True, text=True)
    assert done.returncode == 3, done.stderr
    (folder / "response.json").write_text(done.stdout)
    return folder, json.loads(done.stdout), json.loads(insights.read_text())


def test_report_shows_reasons_centres_and_overhangs(packed, tmp_path):
    folder, response, insights = packed
    assert insights["summary"]["unplaced_by_reason"]["too_large"] == 1
    assert insights["summary"]["unplaced_by_reason"]["too_heavy"] == 1
    overhanging = insights["summary"]["overhanging_items"]
    assert overhanging > 0
    dom = chromium(tmp_path, "--dump-dom", (folder / "report.html").as_uri())
    assert dom.count('<polygon class="overhang"') == 3 * overhanging
    assert dom.count('<g class="centre">') == len(response["boxes"])
    assert dom.count("<th>Centre of gravity</th>") == len(response["boxes"])
    unplaced = dom.split('id="unplaced"')[1]
    for verdict in insights["unplaced"]:
        assert f'<td class="reason">{verdict["reason"]}</td>' in unplaced
        assert f'<td class="message">{verdict["message"]}</td>' in unplaced
    support = re.findall(r"support (\d+(?:\.\d+)?) %", dom)
    assert len(support) == len(response["placements"])
    # Without its request the page is drawn as before.
    plain = folder / "plain.html"
    subprocess.run([CLI, "render", folder / "response.json", "-o", plain], check=True)
    dom = chromium(tmp_path, "--dump-dom", plain.as_uri())
    body = dom.split("<body>")[1].split('<script id="varbex-response"')[0]
    assert "overhang" not in body and '<g class="centre">' not in body and "Reason" not in body


def test_one_self_contained_picture_per_box(packed, tmp_path):
    folder, response, insights = packed
    pictures = tmp_path / "pictures"
    subprocess.run([CLI, "render", "--svg", pictures, "--request", folder / "request.json",
                    folder / "response.json"], check=True)
    assert sorted(p.name for p in pictures.iterdir()) == [f"box-{k}.svg" for k in range(len(response["boxes"]))]
    for k, box in enumerate(response["boxes"]):
        text = (pictures / f"box-{k}.svg").read_text()
        assert "href" not in text and "url(" not in text
        root = ElementTree.fromstring(text)
        assert len(root.findall(f".//{SVG}g[@class='item']")) == len(box["items"])
        legend = [t.text for t in root.findall(f"{SVG}text")]
        for code in {p["ItemCode"] for p in box["items"]}:
            count = sum(p["ItemCode"] == code for p in box["items"])
            assert f"{code} × {count}" in legend
        overhangs = sum(item["overhang"] for item in insights["boxes"][k]["items"])
        assert text.count('class="overhang"') == 3 * overhangs
        shot = tmp_path / f"box-{k}.png"
        chromium(tmp_path, "--window-size=640,700", f"--screenshot={shot}", (pictures / f"box-{k}.svg").as_uri())
        assert shot.stat().st_size > 10000


def test_printed_report_has_a_page_per_box_and_one_for_the_unplaced(packed, tmp_path):
    folder, response, _ = packed
    pdf = tmp_path / "report.pdf"
    chromium(tmp_path, f"--print-to-pdf={pdf}", "--no-pdf-header-footer", (folder / "report.html").as_uri())
    pages = len(re.findall(rb"/Type\s*/Page(?!s)", pdf.read_bytes()))
    assert pages == len(response["boxes"]) + 1
