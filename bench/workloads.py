"""What run.py and guard.py share: the workloads, the builds of the harness, and running it.

Paths are fixed relative to the checkout: inputs come from ../shared (the benchmark data and its
converters; $VARBEX_SHARED or /work/shared when the checkout has no ../shared beside it) and are generated into build/bench/data; builds go to build/bench/<side>.
"""
import hashlib
import json
import os
import shutil
import subprocess
import sys

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
BENCH = os.path.join(ROOT, 'bench')


def _find_shared():
    """The shared benchmark data: $VARBEX_SHARED, else ../shared beside the checkout, else the
    workplace's /work/shared (a clone made elsewhere, as CI makes one, still finds it)."""
    candidates = [os.environ.get('VARBEX_SHARED', ''),
                  os.path.join(ROOT, '..', 'shared'), '/work/shared']
    for candidate in candidates:
        if candidate and os.path.isdir(os.path.join(candidate, 'bench')):
            return os.path.normpath(candidate)
    return os.path.normpath(os.path.join(ROOT, '..', 'shared'))


SHARED = _find_shared()
WORK = os.path.join(ROOT, 'build', 'bench')
DATA = os.path.join(WORK, 'data')
CURRENT_BUILD = os.path.join(WORK, 'current')
BASELINE_BUILD = os.path.join(WORK, 'baseline')
BASELINE_SRC = os.path.join(WORK, 'baseline-src')
BASELINE_COMMIT_FILE = os.path.join(BENCH, 'baseline-commit')
HARNESS = 'varbex_bench'

GROWTH_SIZES = (10, 20, 50, 100, 200, 500)
CATALOGUE_GROWTH_SIZES = (25, 50, 100, 200, 300)  # box types, with one order of 200 items


class BenchError(Exception):
    pass


def say(message):
    print(message, flush=True)


def relative(path):
    return os.path.relpath(path, ROOT)


def _shared_tool(name):
    path = os.path.join(SHARED, 'bench', name)
    if not os.path.isfile(path):
        raise BenchError('%s is missing: the benchmarks need the shared data and its converters in '
                         '../shared (beside this checkout, with bench/ and data/br, data/mpv)' % path)
    return path


def _shared_data(name):
    path = os.path.join(SHARED, 'data', name)
    if not os.path.isdir(path):
        raise BenchError('%s is missing: the benchmarks need the shared data in ../shared/data'
                         % path)
    return path


# Each workload: its name and the commands that write its requests into a folder. All inputs come
# from files or fixed seeds, so every run and every machine sees the same requests.
def _workload_commands(out):
    py = sys.executable
    gen_large = os.path.join(BENCH, 'gen_large.py')
    gen_catalogue = os.path.join(BENCH, 'gen_catalogue.py')
    return {
        'orders': [[py, _shared_tool('gen_orders.py'), '--seed', '1', '--count', '100',
                    '--out', out]],
        'containers': [[py, _shared_tool('convert_br.py'), '--data-dir', _shared_data('br'),
                        '--set', '1', '--set', '4', '--set', '7', '--instances', '1-10',
                        '--out', out]],
        'bins': [[py, _shared_tool('convert_mpv.py'), '--data-dir', _shared_data('mpv'),
                  '--cls', '1', '--cls', '4', '--cls', '6', '--n', '50', '--instances', '1-10',
                  '--out', out]],
        'large': [[py, gen_large, '--seed', '1', '--count', '30', '--items', '100', '--out', out]],
        'growth': [[py, gen_large, '--seed', '1',
                    '--family', ','.join(str(n) for n in GROWTH_SIZES), '--out', out]],
        # Kept to a few orders of up to 400 items: make bench times both sides, and the baseline
        # takes far longer on these than the current tree.
        'catalogue': [[py, gen_catalogue, '--seed', '1', '--count', '8', '--items', '100-400',
                       '--box-types', '25-150', '--out', out]],
        'catalogue-growth': [[py, gen_catalogue, '--seed', '1', '--items', '200', '--family',
                              ','.join(str(n) for n in CATALOGUE_GROWTH_SIZES), '--out', out]],
    }


WORKLOADS = ('orders', 'containers', 'bins', 'large', 'growth', 'catalogue', 'catalogue-growth')


def generate(names=WORKLOADS):
    """Writes the requests of each named workload afresh; returns {name: folder}."""
    folders = {}
    for name in names:
        out = os.path.join(DATA, name)
        shutil.rmtree(out, ignore_errors=True)
        for command in _workload_commands(out)[name]:
            result = subprocess.run(command, cwd=ROOT, stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE, text=True)
            if result.returncode != 0:
                raise BenchError('generating %s failed: %s\n%s'
                                 % (name, ' '.join(command), result.stderr))
        folders[name] = out
    return folders


def request_files(folder):
    """The request files of a folder, as the harness takes them: *.json not starting with '_'."""
    return sorted(os.path.join(folder, f) for f in os.listdir(folder)
                  if f.endswith('.json') and not f.startswith('_'))


def _run(command, log):
    with open(log, 'w', encoding='utf-8') as out:
        result = subprocess.run(command, cwd=ROOT, stdout=out, stderr=subprocess.STDOUT)
    if result.returncode != 0:
        with open(log, encoding='utf-8', errors='replace') as out:
            tail = out.read()[-4000:]
        raise BenchError('%s failed (log: %s):\n%s' % (' '.join(command[:4]), relative(log), tail))


def build_harness(build_dir, source_dir=ROOT, stats='AUTO', jobs=1):
    """Configures and builds the harness against the tree at source_dir, in Release."""
    os.makedirs(build_dir, exist_ok=True)
    _run(['cmake', '-S', BENCH, '-B', build_dir, '-DCMAKE_BUILD_TYPE=Release',
          '-DVARBEX_SOURCE_DIR=' + source_dir, '-DVARBEX_BENCH_STATS=' + stats],
         os.path.join(build_dir, 'configure.log'))
    _run(['cmake', '--build', build_dir, '--target', HARNESS, '-j%d' % jobs],
         os.path.join(build_dir, 'build.log'))
    return os.path.join(build_dir, HARNESS)


def build_current(jobs=1):
    say('building the current tree (Release) in %s' % relative(CURRENT_BUILD))
    return build_harness(CURRENT_BUILD, ROOT, 'AUTO', jobs)


def _git(*args, check=True):
    return subprocess.run(['git', '-C', ROOT] + list(args), check=check, text=True,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def baseline_commit():
    if not os.path.isfile(BASELINE_COMMIT_FILE):
        raise BenchError('%s is missing' % relative(BASELINE_COMMIT_FILE))
    with open(BASELINE_COMMIT_FILE, encoding='utf-8') as fh:
        words = fh.read().split()
    if not words:
        raise BenchError('%s names no commit' % relative(BASELINE_COMMIT_FILE))
    found = _git('rev-parse', '--verify', '--quiet', words[0] + '^{commit}', check=False)
    if found.returncode != 0:
        raise BenchError('%s names %s, which is no commit of this repository'
                         % (relative(BASELINE_COMMIT_FILE), words[0]))
    return found.stdout.strip()


def set_baseline_commit(revision):
    found = _git('rev-parse', '--verify', '--quiet', revision + '^{commit}', check=False)
    if found.returncode != 0:
        raise BenchError('%s is no commit of this repository' % revision)
    with open(BASELINE_COMMIT_FILE, 'w', encoding='utf-8') as fh:
        fh.write(found.stdout.strip() + '\n')
    say('baseline commit: %s' % found.stdout.strip())


def _harness_fingerprint(commit):
    digest = hashlib.sha256(commit.encode())
    for name in ('CMakeLists.txt', 'varbex_bench.cc'):
        with open(os.path.join(BENCH, name), 'rb') as fh:
            digest.update(fh.read())
    return digest.hexdigest()


def build_baseline(jobs=1):
    """Builds the baseline commit in a temporary worktree, with this tree's harness.

    The worktree is removed once built; the build is kept and reused while the commit and the
    harness stay the same."""
    commit = baseline_commit()
    binary = os.path.join(BASELINE_BUILD, HARNESS)
    stamp = os.path.join(BASELINE_BUILD, 'built-from')
    fingerprint = _harness_fingerprint(commit)
    if os.path.isfile(binary) and os.path.isfile(stamp):
        with open(stamp, encoding='utf-8') as fh:
            if fh.read().strip() == fingerprint:
                say('baseline %s: reusing the build in %s' % (commit[:12], relative(BASELINE_BUILD)))
                return binary
    say('building baseline %s (Release) from a worktree in %s'
        % (commit[:12], relative(BASELINE_SRC)))
    shutil.rmtree(BASELINE_BUILD, ignore_errors=True)
    _remove_worktree()
    _git('worktree', 'add', '--detach', BASELINE_SRC, commit)
    try:
        # The baseline is measured as it was: without the deadline counter, through the shared
        # library, like the callers of that version.
        build_harness(BASELINE_BUILD, BASELINE_SRC, 'OFF', jobs)
    finally:
        _remove_worktree()
    with open(stamp, 'w', encoding='utf-8') as fh:
        fh.write(fingerprint + '\n')
    return binary


def _remove_worktree():
    if os.path.isdir(BASELINE_SRC):
        _git('worktree', 'remove', '--force', BASELINE_SRC, check=False)
        shutil.rmtree(BASELINE_SRC, ignore_errors=True)
    # Forget worktrees whose folder is gone (e.g. after make clean).
    _git('worktree', 'prune', check=False)


def run_harness(binary, name, paths, responses=None, runs=None, min_time_ms=None, max_runs=None,
                keep_responses=False):
    """Runs the harness over paths (a folder or request files) in a process of its own.

    Returns (per-request results, workload summary) as dicts."""
    command = [binary, '--json', '--per-request', '--name', name]
    if responses:
        if not keep_responses:
            shutil.rmtree(responses, ignore_errors=True)
        command += ['--responses', responses]
    if runs is not None:
        command += ['--runs', str(runs)]
    if min_time_ms is not None:
        command += ['--min-time-ms', str(min_time_ms)]
    if max_runs is not None:
        command += ['--max-runs', str(max_runs)]
    command += list(paths)
    result = subprocess.run(command, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            text=True)
    if result.returncode != 0:
        raise BenchError('%s failed on %s:\n%s' % (relative(binary), name, result.stderr))
    lines = [json.loads(line) for line in result.stdout.splitlines() if line.strip()]
    requests = [line for line in lines if 'request' in line]
    summaries = [line for line in lines if 'workload' in line]
    if len(summaries) != 1:
        raise BenchError('%s printed no summary for %s' % (relative(binary), name))
    return requests, summaries[0]


def sha256_of_file(path):
    with open(path, 'rb') as fh:
        return hashlib.sha256(fh.read()).hexdigest()
