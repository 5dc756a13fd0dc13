"""Builds the varbex package with the shared libraries it loads inside it.

Without VARBEX_LIBRARY the build compiles the libraries from this repository's sources with CMake,
in Release, in a build folder of its own (../build/python), whatever else was built before; it
runs scripts/bootstrap first when nlohmann json is not unpacked yet. VARBEX_LIBRARY (an absolute
path to a built libvarbex.so) packages another build instead; a libvarbex_insights.so beside it
goes in too.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

from setuptools import Distribution, setup
from setuptools.command.build_py import build_py
from setuptools.command.sdist import sdist

try:
    from setuptools.command.bdist_wheel import bdist_wheel
except ImportError:  # setuptools before 70.1 keeps it in the wheel package
    from wheel.bdist_wheel import bdist_wheel

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent
BUILD_DIR = ROOT / "build" / "python"
# The names the package's loaders look for, one per library.
LIBRARY_NAMES = ("libvarbex.so", "libvarbex_insights.so")


def project_version():
    """The version set in project() of the top-level CMakeLists.txt, its only home."""
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.search(r"project\(varbex VERSION ([0-9.]+)", text).group(1)


def say(message):
    print(f"varbex: {message}", file=sys.stderr, flush=True)


def run(command):
    say("running " + " ".join(str(part) for part in command))
    try:
        subprocess.run([str(part) for part in command], cwd=ROOT, check=True)
    except FileNotFoundError as error:
        raise SystemExit(f"varbex: {command[0]} not found ({error}); building the package needs "
                         "CMake and a C++17 compiler (scripts/bootstrap installs them on Debian), "
                         "or set VARBEX_LIBRARY to a built libvarbex.so") from error
    except subprocess.CalledProcessError as error:
        raise SystemExit(f"varbex: '{command[0]}' failed with status {error.returncode}; "
                         "see its output above") from error


def given_libraries(given):
    library = Path(given)
    if not library.is_absolute() or not library.is_file():
        raise SystemExit(f"varbex: VARBEX_LIBRARY={given} is not the absolute path of a file")
    found = {"libvarbex.so": library.resolve()}
    insights = library.with_name("libvarbex_insights.so")
    if insights.is_file():
        found[insights.name] = insights.resolve()
    return found


def built_libraries():
    """Builds and installs the `lib` component into a scratch prefix; maps each loader name to the
    real file, so the wheel holds each library once, under the name its loader opens."""
    if not (ROOT / "CMakeLists.txt").is_file() or not (ROOT / "src").is_dir():
        raise SystemExit("varbex: the C++ sources are not beside this package (expected in "
                         f"{ROOT}); build from a clone of the repository or set VARBEX_LIBRARY")
    if not (ROOT / ".deps" / "usr" / "include" / "nlohmann" / "json.hpp").is_file():
        run(["bash", ROOT / "scripts" / "bootstrap"])
    jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(os.cpu_count() or 1)
    run(["cmake", "-S", ROOT, "-B", BUILD_DIR, "-DCMAKE_BUILD_TYPE=Release",
         "-DVARBEX_BUILD_TESTS=OFF", "-DVARBEX_DIFF_TOOLS=OFF", "-DVARBEX_BUILD_TOOL=OFF",
         "-DVARBEX_DEBIAN_PACKAGES=OFF"])
    run(["cmake", "--build", BUILD_DIR, "--parallel", jobs])
    prefix = Path(tempfile.mkdtemp(prefix="varbex-lib-"))
    try:
        run(["cmake", "--install", BUILD_DIR, "--component", "lib", "--prefix", prefix, "--strip"])
        found = {}
        shutil.rmtree(BUILD_DIR / "package", ignore_errors=True)
        for path in sorted(prefix.rglob("*.so.*")):
            if path.is_symlink() or not path.is_file():
                continue
            name = path.name.split(".so.", 1)[0] + ".so"
            if name in LIBRARY_NAMES:
                kept = BUILD_DIR / "package" / name
                kept.parent.mkdir(parents=True, exist_ok=True)
                shutil.copyfile(path, kept)
                found[name] = kept
        if "libvarbex.so" not in found:
            raise SystemExit(f"varbex: the build installed no libvarbex.so.* under {prefix}")
        return found
    finally:
        shutil.rmtree(prefix, ignore_errors=True)


class BuildWithLibrary(build_py):
    def run(self):
        super().run()
        given = os.environ.get("VARBEX_LIBRARY")
        libraries = given_libraries(given) if given else built_libraries()
        # setuptools reuses its build folder: a library of an earlier build must not stay behind.
        for name in LIBRARY_NAMES:
            (Path(self.build_lib) / "varbex" / name).unlink(missing_ok=True)
        for name, source in libraries.items():
            say(f"packaging {source} as varbex/{name}")
            shutil.copyfile(source, Path(self.build_lib) / "varbex" / name)


class PlatformWheel(bdist_wheel):
    """Tags the wheel for this platform but any Python 3: the libraries are loaded with ctypes
    and do not depend on the interpreter's ABI."""

    def finalize_options(self):
        super().finalize_options()
        self.root_is_pure = False

    def get_tag(self):
        _, _, platform = super().get_tag()
        return "py3", "none", platform


class NoSourceDistribution(sdist):
    def run(self):
        raise SystemExit("varbex: no source distribution is made: the package builds the C++ "
                         "library from the whole repository; install from a clone "
                         "(pip install ./python) or ship a wheel (pip wheel ./python)")


class BinaryDistribution(Distribution):
    """Marks the wheel as platform-specific, since it carries compiled libraries."""

    def has_ext_modules(self):
        return True


setup(
    version=project_version(),
    packages=["varbex"],
    cmdclass={"build_py": BuildWithLibrary, "bdist_wheel": PlatformWheel,
              "sdist": NoSourceDistribution},
    distclass=BinaryDistribution,
)
