"""Three-dimensional bin packing through the varbex shared library.

    >>> import varbex
    >>> varbex.solve({"items": [], "boxes": []})["success"]
    True

The library is loaded from the file named by the VARBEX_LIBRARY environment variable when it is
set, else from the copy placed next to this file when the package was built. The solve runs
without the interpreter lock, so several threads solve at the same time.
"""
import ctypes
import json
import os
from pathlib import Path

__all__ = ["RequestError", "solve", "solve_text", "library_path"]


class RequestError(ValueError):
    """The library rejected the request; `message` is its error text, unchanged."""

    def __init__(self, message):
        super().__init__(message)
        self.message = message


def library_path():
    """The path of the shared library that this package loads."""
    given = os.environ.get("VARBEX_LIBRARY")
    return given if given else str(Path(__file__).with_name("libvarbex.so"))


def _load(path):
    try:
        # CDLL, unlike PyDLL, lets go of the interpreter lock for the duration of each call.
        library = ctypes.CDLL(path)
    except OSError as error:
        raise ImportError(
            f"varbex: cannot load the shared library {path}: {error}. Build the package with "
            "the library in it, or set VARBEX_LIBRARY to a built libvarbex.so") from error
    # A void pointer, not c_char_p, so the block can be handed back to varbex_free.
    library.varbex_solve.restype = ctypes.c_void_p
    library.varbex_solve.argtypes = [ctypes.c_char_p]
    library.varbex_free.restype = None
    library.varbex_free.argtypes = [ctypes.c_void_p]
    return library


_library = _load(library_path())


def _request_bytes(request):
    if isinstance(request, bytes):
        return request
    if isinstance(request, str):
        return request.encode("utf-8")
    return json.dumps(request, ensure_ascii=False).encode("utf-8")


def solve_text(request):
    """Solves `request` (a dict, a JSON text or UTF-8 bytes) and returns the library's JSON text
    unchanged: a response, or an error envelope {"error": ..., "success": false}."""
    block = _library.varbex_solve(_request_bytes(request))
    if block is None:
        raise MemoryError("varbex: the library could not allocate its response")
    try:
        return ctypes.string_at(block).decode("utf-8")
    finally:
        _library.varbex_free(block)


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
