// `npm pack` gives a tarball that installs offline into an empty project and solves there.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import test from 'node:test';

const packageDir = fileURLToPath(new URL('..', import.meta.url));

test('the packed tarball installs offline and solves in an empty project', () => {
  const folder = mkdtempSync(join(tmpdir(), 'varbex-pack-'));
  try {
    const npm = (args, cwd) =>
      execFileSync('npm', args, { cwd, encoding: 'utf8', timeout: 120_000 });
    const packed = npm(['pack', '--silent', '--pack-destination', folder], packageDir);
    const tarball = packed.trim().split('\n').at(-1);
    const project = join(folder, 'project');
    execFileSync('mkdir', [project]);
    writeFileSync(join(project, 'package.json'), '{"name": "empty", "private": true}\n');
    npm(['install', '--offline', '--no-audit', '--no-fund', join(folder, tarball)], project);
    const script = `import { solve, RequestError } from 'varbex';
      const response = solve({ items: [{ ItemCode: 'A', Width: 5, Length: 4, Depth: 2 }],
        boxes: [{ Reference: 'B1', Width: 10, Length: 10, Depth: 10, MaxWeight: 50 }] });
      console.log(response.placements[0].orientation, typeof RequestError);`;
    const out = execFileSync(process.execPath, ['--input-type=module', '-e', script],
      { cwd: project, encoding: 'utf8' });
    assert.equal(out.trim(), 'WLD function');
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
});
