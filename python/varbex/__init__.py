"""Three-dimensional bin packing through the varbex shared library.

    >>> import varbex
    >>> varbex.solve({"items": [], "boxes": []})["success"]
    True

The library is loaded from the file named by the VARBEX_LIBRARY environment variable when it is
set, else from the copy placed next to this file when the package was built. The solve runs
without the interpreter lock, so several threads solve at the same time.

`insights(request, response)` explains a response (docs/insights.md) through the second library,
libvarbex_insights.so, loaded on first use from VARBEX_INSIGHTS_LIBRARY, else from beside
VARBEX_LIBRARY, else from inside the package.
"""
import ctypes
import json
import os
from pathlib import Path

__all__ = ["RequestError", "solve", "solve_text", "insights", "insights_text", "library_path",
           "insights_library_path"]


class RequestError(ValueError):
    """The library rejected the request; `message` is its error text, unchanged."""

    def __init__(self, message):
        super().__init__(message)
        self.message = message


def library_path():
    """The path of the shared library that this package loads."""
    given = os.environ.get("VARBEX_LIBRARY")
    return given if given else str(Path(__file__).with_name("libvarbex.so"))


def _open(path, what, hint, functions):
    """The library at `path` with each function's (result type, argument types) declared."""
    try:
        # CDLL, unlike PyDLL, lets go of the interpreter lock for the duration of each call.
        library = ctypes.CDLL(path)
    except OSError as error:
        raise ImportError(f"varbex: cannot load the {what} {path}: {error}. {hint}") from error
    for name, (result, arguments) in functions.items():
        function = getattr(library, name)
        function.restype = result
        function.argtypes = arguments
    return library


def _load(path):
    # Void pointers, not c_char_p, so the blocks can be handed back to be freed.
    return _open(path, "shared library", "Build the package with the library in it, or set "
                 "VARBEX_LIBRARY to a built libvarbex.so",
                 {"varbex_solve": (ctypes.c_void_p, [ctypes.c_char_p]),
                  "varbex_free": (None, [ctypes.c_void_p])})


_library = _load(library_path())


def _request_bytes(request):
    if isinstance(request, bytes):
        return request
    if isinstance(request, str):
        return request.encode("utf-8")
    return json.dumps(request, ensure_ascii=False).encode("utf-8")


def _taken(block, free, failure):
    """The text of a block the library handed out, which goes back to it through `free`."""
    if block is None:
        raise MemoryError("varbex: " + failure)
    try:
        return ctypes.string_at(block).decode("utf-8")
    finally:
        free(block)


def solve_text(request):
    """Solves `request` (a dict, a JSON text or UTF-8 bytes) and returns the library's JSON text
    unchanged: a response, or an error envelope {"error": ..., "success": false}."""
    block = _library.varbex_solve(_request_bytes(request))
    return _taken(block, _library.varbex_free, "the library could not allocate its response")


def solve(request):
    """Solves `request` (a dict, a JSON text or UTF-8 bytes) and returns the response as a dict.

    Raises RequestError with the library's message when the request is rejected (malformed JSON,
    a missing required field, a member of the wrong type). Unplaced items are no error: the
    response then has "success" false and lists them.
    """
    response = json.loads(solve_text(request))
    if "error" in response:
        raise RequestError(response["error"])
    return response


def insights_library_path():
    """The path of the insights library that `insights` loads."""
    given = os.environ.get("VARBEX_INSIGHTS_LIBRARY")
    if given:
        return given
    engine = os.environ.get("VARBEX_LIBRARY")
    folder = Path(engine).parent if engine else Path(__file__).parent
    return str(folder / "libvarbex_insights.so")


_insights_library = None


def _load_insights():
    global _insights_library
    if _insights_library is None:
        library = _open(insights_library_path(), "insights library",
                        "Set VARBEX_INSIGHTS_LIBRARY to a built libvarbex_insights.so",
                        {"varbex_insights": (ctypes.c_void_p, [ctypes.c_char_p, ctypes.c_char_p]),
                         "varbex_insights_free": (None, [ctypes.c_void_p])})
        _insights_library = library
    return _insights_library


def insights_text(request, response):
    """The insights of `response` for `request` (each a dict, a JSON text or UTF-8 bytes) as the
    library's JSON text: the document, or an error envelope {"error": ..., "success": false}."""
    library = _load_insights()
    block = library.varbex_insights(_request_bytes(request), _request_bytes(response))
    return _taken(block, library.varbex_insights_free,
                  "the insights library could not allocate its document")


def insights(request, response):
    """Why the items of `response` went unplaced and how its boxes stand, as a dict
    (docs/insights.md). Raises RequestError with the library's message, which starts "request: "
    or "response: ", when either cannot be read."""
    document = json.loads(insights_text(request, response))
    if "error" in document:
        raise RequestError(document["error"])
    return document
