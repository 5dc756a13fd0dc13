"""Builds the varbex package and copies the shared library that CMake built into it.

The library comes from VARBEX_LIBRARY (an absolute path) when that is set, else from ../build/release
(`make build`).
"""
import os
import re
import shutil
from pathlib import Path

from setuptools import Distribution, setup
from setuptools.command.build_py import build_py

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent
LIBRARY_NAME = "libvarbex.so"


def project_version():
    """The version set in project() of the top-level CMakeLists.txt, its only home."""
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.search(r"project\(varbex VERSION ([0-9.]+)", text).group(1)


def built_library():
    given = os.environ.get("VARBEX_LIBRARY")
    library = Path(given) if given else ROOT / "build" / "release" / LIBRARY_NAME
    if not library.is_file():
        raise SystemExit(
            f"varbex: shared library {library} not found; run 'make build' first, "
            "or set VARBEX_LIBRARY to the absolute path of a built libvarbex.so")
    return library.resolve()


class BuildWithLibrary(build_py):
    def run(self):
        super().run()
        target = Path(self.build_lib) / "varbex" / LIBRARY_NAME
        shutil.copyfile(built_library(), target)


class BinaryDistribution(Distribution):
    """Marks the wheel as platform-specific, since it carries a compiled library."""

    def has_ext_modules(self):
        return True


setup(
    version=project_version(),
    packages=["varbex"],
    cmdclass={"build_py": BuildWithLibrary},
    distclass=BinaryDistribution,
)
