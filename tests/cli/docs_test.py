"""The tool's own documentation keeps up with the tool: every option a command's usage names is
in `varbex --help`, in the command's man page and in the bash completion, and every man page is
installed. The usage a command prints is taken as the truth, as it is next to the parser."""
import os
import re
import subprocess
from pathlib import Path

import pytest

CLI = os.environ["VARBEX_CLI"]
SOURCE_DIR = Path(os.environ["VARBEX_SOURCE_DIR"])
OPTION = re.compile(r"(?<![\w-])--?[a-z][a-z-]*")


def run(*args):
    return subprocess.run([CLI, *args], capture_output=True, text=True, stdin=subprocess.DEVNULL,
                          timeout=60)


def usage_options(text, command):
    """The options of `command` in the usage lines of `text`, continuation lines included."""
    options, current = set(), None
    for line in text.splitlines():
        line = line.removeprefix("usage:").strip()
        started = re.match(r"varbex (\w+)", line)
        if started:
            current = started.group(1)
        elif not line or not line.startswith("["):
            current = None
        if current == command:
            options.update(OPTION.findall(line))
    return options - {"--help", "-h", "--version"}


GENERAL_HELP = run("--help").stdout
COMMANDS = sorted(set(re.findall(r"^(?:usage:)? +varbex (\w+)", GENERAL_HELP, re.M)))
COMPLETION = (SOURCE_DIR / "dist" / "varbex.bash-completion").read_text()


def test_every_command_has_an_installed_man_page():
    listed = re.search(r"set\(VARBEX_MAN_PAGES([^)]*)\)",
                       (SOURCE_DIR / "cmake" / "tool-files.cmake").read_text()).group(1).split()
    pages = sorted(path.name for path in (SOURCE_DIR / "man").glob("*.1"))
    assert COMMANDS == ["batch", "insights", "render", "serve", "solve"]
    assert sorted(listed) == pages
    assert set(pages) == {"varbex.1", *(f"varbex-{command}.1" for command in COMMANDS)}
    first_words = re.search(r"compgen -W '([^']*)'", COMPLETION).group(1).split()
    assert set(COMMANDS) <= set(first_words)


@pytest.mark.parametrize("command", COMMANDS)
def test_options_of_the_usage_are_documented_everywhere(command):
    # An unknown option makes each command print its own usage.
    printed = run(command, "--no-such-option")
    assert printed.returncode == 1, printed
    options = usage_options(printed.stderr, command)
    assert options, printed.stderr
    man = (SOURCE_DIR / "man" / f"varbex-{command}.1").read_text().replace("\\-", "-")
    completed = re.search(rf"^ +{command}\) options='([^']*)'", COMPLETION, re.M).group(1).split()
    assert options <= usage_options(GENERAL_HELP, command), "varbex --help"
    assert options <= set(OPTION.findall(man)), f"varbex-{command}.1"
    assert options <= set(completed), "bash completion"
