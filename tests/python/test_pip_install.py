"""`pip install --no-build-isolation ./python`, as the README gives it, in a fresh virtual
environment: the built package carries the shared library and needs no VARBEX_LIBRARY."""
import os
import subprocess
import sys
from pathlib import Path

SOURCE_DIR = Path(os.environ["VARBEX_SOURCE_DIR"])


def run(command, **kwargs):
    done = subprocess.run(command, capture_output=True, text=True, **kwargs)
    assert done.returncode == 0, f"{command} failed:\n{done.stdout}\n{done.stderr}"
    return done.stdout


def test_pip_install_copies_the_library_into_the_package(tmp_path):
    venv = tmp_path / "venv"
    run([sys.executable, "-m", "venv", "--system-site-packages", str(venv)])
    # No index and no self-check: the install must work with no network at all.
    offline = dict(os.environ, PIP_NO_INDEX="1", PIP_DISABLE_PIP_VERSION_CHECK="1")
    offline.pop("PYTHONPATH", None)
    run([str(venv / "bin" / "pip"), "install", "--no-build-isolation", "./python"],
        cwd=SOURCE_DIR, env=offline)

    installed = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "VARBEX_LIBRARY")}
    script = ("import varbex; print(varbex.library_path()); "
              "print(varbex.solve({'items': [{'ItemCode': 'A', 'Width': 1, 'Length': 1, 'Depth': 1}], "
              "'boxes': [{'Reference': 'B', 'Width': 2, 'Length': 2, 'Depth': 2, 'MaxWeight': -1}]})"
              "['summary']['total_placed'])")
    path, placed = run([str(venv / "bin" / "python"), "-c", script], cwd=tmp_path,
                       env=installed).split()
    assert venv in Path(path).parents
    assert Path(path).name == "libvarbex.so" and Path(path).is_file()
    assert placed == "1"
