"""varbex.insights: the shared fixture's document through libvarbex_insights.so, found beside the
VARBEX_LIBRARY that CTest names, and the library's message for what cannot be read."""
import json
import os
from pathlib import Path

import pytest

import varbex

FIXTURE = Path(os.environ["VARBEX_SOURCE_DIR"]) / "tests" / "insights"


def test_insights_give_the_fixture_document_and_raise_on_unreadable_input():
    assert varbex.insights_library_path() == str(
        Path(os.environ["VARBEX_LIBRARY"]).parent / "libvarbex_insights.so")
    request = json.loads((FIXTURE / "stack_request.json").read_text())
    response = (FIXTURE / "stack_response.json").read_text()
    expected = json.loads((FIXTURE / "stack_insights.json").read_text())
    assert varbex.insights(request, response) == expected
    assert varbex.insights(request, json.loads(response)) == expected
    with pytest.raises(varbex.RequestError) as rejected:
        varbex.insights(request, varbex.solve_text({"boxes": [{}]}))
    assert rejected.value.message == ("response: it is an error envelope: box is missing required "
                                      "field 'Reference'")
