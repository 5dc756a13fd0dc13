#!/usr/bin/env python3
"""Seeded random packing requests for the benchmarks.

Two kinds, each a folder of request files (a seed always gives the same bytes):

  gen_large.py --seed 1 --count 30 --items 100 --out DIR
      DIR/large_001.json ...: independent requests of N items with weights and 4 to 6 box
      types with empty weights and weight limits, sized so that a request fills roughly 2 to 12
      boxes, the range in which weight balancing runs.

  gen_large.py --seed 1 --family 10,20,50,100,200,500 --out DIR
      DIR/items_0010.json ...: one family: the same box types and the first N items of one item
      stream, so that the requests differ only in how much work they hold. Without weights, so
      that weight balancing (bounded by a deadline rather than by the work) does not blur how
      the cost grows.

Units are centimetres and kilograms. Standard library only.
"""
import argparse
import json
import os
import random
import sys

ROTATIONS = ('BestFit', 'BestFit', 'BestFit', 'KeepFlat', 'Never')


def r1(x):
    return round(x, 1)


def r2(x):
    return round(x, 2)


def make_boxes(rng, weights):
    """4 to 6 box types from small to large; with weights, limits that bind about as often as
    the volume does."""
    boxes = []
    for k in range(rng.randint(4, 6)):
        w, l, d = (r1(rng.uniform(30.0, 60.0)) for _ in range(3))
        box = {'Reference': 'BOX-%d' % (k + 1), 'Width': w, 'Length': l, 'Depth': d}
        if weights:
            litres = w * l * d / 1000.0
            box['BoxWeight'] = r2(0.2 + litres * 0.01)
            box['MaxWeight'] = r2(litres * rng.uniform(0.25, 0.45))
        else:
            box['MaxWeight'] = -1
        boxes.append(box)
    return boxes


def make_items(rng, count, weights, prefix):
    items = []
    for n in range(count):
        w, l, d = (r1(rng.uniform(5.0, 26.0)) for _ in range(3))
        item = {'ItemCode': '%s%03d' % (prefix, n + 1), 'Width': w, 'Length': l, 'Depth': d,
                'AllowedRotation': rng.choice(ROTATIONS)}
        density = rng.uniform(0.1, 0.6)  # kg per litre
        weight = r2(max(0.05, w * l * d / 1000.0 * density))
        if weights:
            item['Weight'] = weight
        items.append(item)
    return items


def write(path, request):
    with open(path, 'w', encoding='utf-8') as fh:
        json.dump(request, fh, separators=(',', ':'))
        fh.write('\n')


def make_large(seed, count, items, out):
    for index in range(1, count + 1):
        rng = random.Random('large/%d/%d' % (seed, index))
        request = {'items': make_items(rng, items, True, 'L%02d-' % index),
                   'boxes': make_boxes(rng, True)}
        write(os.path.join(out, 'large_%03d.json' % index), request)
    return count


def make_family(seed, sizes, out):
    rng = random.Random('family/%d' % seed)
    boxes = make_boxes(rng, False)
    stream = make_items(rng, max(sizes), False, 'G')
    for size in sizes:
        write(os.path.join(out, 'items_%04d.json' % size),
              {'items': stream[:size], 'boxes': boxes})
    return len(sizes)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--seed', type=int, default=1)
    ap.add_argument('--count', type=int, default=30, help='number of independent requests')
    ap.add_argument('--items', type=int, default=100, help='items per independent request')
    ap.add_argument('--family', help='comma-separated item counts: write one family instead')
    ap.add_argument('--out', required=True, help='output folder')
    args = ap.parse_args(argv)
    os.makedirs(args.out, exist_ok=True)
    if args.family:
        sizes = sorted({int(s) for s in args.family.split(',') if s.strip()})
        written = make_family(args.seed, sizes, args.out)
    else:
        written = make_large(args.seed, args.count, args.items, args.out)
    print('wrote %d request(s) to %s' % (written, args.out), file=sys.stderr)
    return 0


if __name__ == '__main__':
    sys.exit(main())
