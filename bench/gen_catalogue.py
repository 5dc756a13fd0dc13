#!/usr/bin/env python3
"""Seeded warehouse-like packing requests for the benchmarks: large orders against a large
carton catalogue.

Two kinds, each a folder of request files (a seed always gives the same bytes):

  gen_catalogue.py --seed 1 --count 8 --items 100-400 --box-types 25-150 --out DIR
      DIR/catalogue_001.json ...: independent orders. Each draws its item count and its number
      of carton types from the ranges (spread evenly over them, in a seeded order), takes the
      first N types of the seed's carton catalogue and picks its items from the seed's product
      catalogue.

  gen_catalogue.py --seed 1 --family 25,50,100,200,300 --items 200 --out DIR
      DIR/boxtypes_0025.json ...: one family: the same order of ITEMS items with the first N
      carton types of one catalogue, so that the requests differ only in the number of box
      types. The items carry no weights, so that weight balancing (bounded by a deadline rather
      than by the work) does not blur how the cost grows.

The carton catalogue (up to 300 types, inner sizes 10 to 120 cm): mailers, cartons of mixed
aspect ratios, cubes, long and tall boxes; some types a centimetre or two off another (suppliers
sell near-equal sizes), some nested just inside another; empty weights from the board's area,
weight limits from 5 to 40 kg, and a few types with a limited supply ("MaximumBoxes"). The
product catalogue: books, apparel, boxed goods, bottles, tins, long items and bulky ones, with
weights in grams, "KeepFlat" or "Never" for fragile and upright goods; popular products repeat
within an order. About a third of the orders separate food from cleaning chemicals with box
groups.

Units are centimetres and kilograms. Standard library only; only exact arithmetic and fixed
rounding reach the output, so every machine and Python 3 version writes the same bytes.
"""
import argparse
import os
import random
import sys

from gen_large import write  # the same file form as the other generated workloads

MAX_BOX_TYPES = 300
PRODUCTS = 1500

# Carton styles: name, share, ranges of the three inner extents (cm, sorted small to large
# before use as Depth, Width, Length), board weight (kg per square metre).
STYLES = (
    ('MAILER', 0.15, (2.0, 8.0), (15.0, 40.0), (20.0, 55.0), 0.35),
    ('CARTON', 0.40, (10.0, 60.0), (15.0, 70.0), (20.0, 90.0), 0.55),
    ('CUBE', 0.12, (10.0, 80.0), None, None, 0.60),
    ('LONG', 0.10, (8.0, 20.0), (8.0, 25.0), (60.0, 120.0), 0.55),
    ('TALL', 0.08, (15.0, 35.0), (15.0, 35.0), (40.0, 90.0), 0.60),
    ('HEAVY', 0.15, (30.0, 70.0), (40.0, 80.0), (50.0, 120.0), 0.90),
)

# Product families: name, share, ranges of Width, Length, Depth (cm), density (kg per litre)
# or None for a weight range (kg), rotation policies to draw from, group kind.
FAMILIES = (
    ('BOOK', 0.12, (12.0, 22.0), (18.0, 30.0), (1.5, 5.0), 0.6, None, ('BestFit',), None),
    ('SHIRT', 0.12, (20.0, 32.0), (25.0, 40.0), (2.0, 6.0), None, (0.2, 0.9), ('BestFit',), None),
    ('BOXED', 0.18, (8.0, 35.0), (10.0, 40.0), (4.0, 30.0), None, (0.1, 4.0),
     ('BestFit', 'BestFit', 'KeepFlat'), None),
    ('GLASS', 0.06, (8.0, 15.0), (8.0, 15.0), (10.0, 25.0), None, (0.3, 1.2),
     ('KeepFlat', 'Never'), None),
    ('BOTTLE', 0.07, (7.0, 10.0), (7.0, 10.0), (22.0, 34.0), 1.0, None, ('KeepFlat', 'Never'),
     None),
    ('TIN', 0.08, (6.0, 11.0), (6.0, 11.0), (5.0, 14.0), 1.05, None, ('BestFit', 'KeepFlat'),
     'FOOD'),
    ('SNACK', 0.06, (10.0, 22.0), (15.0, 28.0), (3.0, 10.0), 0.3, None, ('BestFit',), 'FOOD'),
    ('CLEANER', 0.06, (7.0, 12.0), (5.0, 10.0), (20.0, 32.0), None, (0.5, 1.3), ('KeepFlat',),
     'CHEMICAL'),
    ('SMALL', 0.14, (2.0, 9.0), (3.0, 14.0), (1.0, 6.0), None, (0.01, 0.3), ('BestFit',), None),
    ('LONG', 0.04, (3.0, 9.0), (50.0, 110.0), (3.0, 9.0), None, (0.2, 2.0), ('BestFit',), None),
    ('BULKY', 0.07, (25.0, 50.0), (30.0, 60.0), (15.0, 40.0), None, (1.0, 9.0),
     ('BestFit', 'KeepFlat'), None),
)


def r1(x):
    return round(x, 1)


def r2(x):
    return round(x, 2)


def r3(x):
    return round(x, 3)


def spread(rng, low, high, count):
    """count values from low to high, evenly spaced (rounded down), in a seeded order."""
    if count == 1:
        return [low]
    values = [low + (high - low) * k // (count - 1) for k in range(count)]
    rng.shuffle(values)
    return values


def carton(reference, style, extents, board):
    d, w, l = sorted(extents)
    area = 2.0 * (w * l + w * d + l * d) / 10000.0  # square metres
    litres = w * l * d / 1000.0
    box = {'Reference': reference, 'Width': w, 'Length': l, 'Depth': d,
           'BoxWeight': r2(0.02 + area * board)}
    # Limits: what a carton of that size and board carries, capped at parcel limits.
    cap = 40.0 if style == 'HEAVY' else 31.5
    box['MaxWeight'] = r1(min(cap, max(5.0, litres * (0.25 + board * 0.5))))
    return box


def make_cartons(seed):
    """The seed's carton catalogue of MAX_BOX_TYPES types, in a fixed order: a prefix of it is
    a smaller catalogue of the same kind."""
    rng = random.Random('catalogue-cartons/%d' % seed)
    shares = [s[1] for s in STYLES]
    boxes = []
    styles = []
    while len(boxes) < MAX_BOX_TYPES:
        n = len(boxes) + 1
        roll = rng.random()
        if boxes and roll < 0.15:
            # Near-equal: another type a centimetre or two off in one or two extents.
            k = rng.randrange(len(boxes))
            base, style = boxes[k], styles[k]
            extents = [base['Width'], base['Length'], base['Depth']]
            for i in rng.sample(range(3), rng.randint(1, 2)):
                extents[i] = r1(min(120.0, max(2.0, extents[i] + rng.choice((-2, -1, 1, 2)))))
            board = STYLES[[s[0] for s in STYLES].index(style)][5]
        elif boxes and roll < 0.27:
            # Nested: just inside another, as an inner carton of a kit is.
            k = rng.randrange(len(boxes))
            base, style = boxes[k], styles[k]
            extents = [r1(max(2.0, x - rng.choice((1.0, 1.5, 2.0, 3.0))))
                       for x in (base['Width'], base['Length'], base['Depth'])]
            board = STYLES[[s[0] for s in STYLES].index(style)][5]
        else:
            name, _, a, b, c, board = rng.choices(STYLES, weights=shares)[0]
            style = name
            if b is None:
                side = r1(rng.uniform(*a))
                extents = [side, side, side]
            else:
                extents = [r1(rng.uniform(*a)), r1(rng.uniform(*b)), r1(rng.uniform(*c))]
        box = carton('%s-%03d' % (style, n), style, extents, board)
        if rng.random() < 0.04:
            box['MaximumBoxes'] = rng.randint(1, 5)
        boxes.append(box)
        styles.append(style)
    return boxes


def make_products(seed):
    rng = random.Random('catalogue-products/%d' % seed)
    shares = [f[1] for f in FAMILIES]
    products = []
    for n in range(PRODUCTS):
        name, _, wr, lr, dr, density, weights, policies, kind = rng.choices(FAMILIES,
                                                                            weights=shares)[0]
        w, l, d = r1(rng.uniform(*wr)), r1(rng.uniform(*lr)), r1(rng.uniform(*dr))
        if density is not None:
            weight = w * l * d / 1000.0 * density * rng.uniform(0.85, 1.15)
        else:
            weight = rng.uniform(*weights)
        products.append({'ItemReference': '%s-%04d' % (name, n + 1), 'Width': w, 'Length': l,
                         'Depth': d, 'Weight': max(0.005, r3(weight)),
                         'AllowedRotation': rng.choice(policies), 'kind': kind})
    return products


# Popularity falls with rank as 1/(rank + 5): a long tail, computed without floating-point
# library functions so that every platform draws the same products.
def popularity(count):
    return [1.0 / (rank + 5) for rank in range(count)]


def make_order(rng, products, weights, count, prefix):
    grouped = rng.random() < 0.35
    items = []
    line = 0
    while len(items) < count:
        line += 1
        product = rng.choices(products, weights=weights)[0]
        quantity = 1 if rng.random() < 0.6 else rng.randint(2, 12)
        for k in range(min(quantity, count - len(items))):
            item = {'ItemCode': '%sL%03d-%d' % (prefix, line, k + 1)}
            item.update((key, value) for key, value in product.items() if key != 'kind')
            if grouped and product['kind']:
                item['BoxGroup'] = product['kind']
            items.append(item)
    return items


def make_orders(seed, count, items, box_types, out):
    cartons = make_cartons(seed)
    products = make_products(seed)
    weights = popularity(len(products))
    rng = random.Random('catalogue-orders/%d' % seed)
    item_counts = spread(rng, items[0], items[1], count)
    type_counts = spread(rng, box_types[0], box_types[1], count)
    for index in range(1, count + 1):
        order_rng = random.Random('catalogue-order/%d/%d' % (seed, index))
        request = {'items': make_order(order_rng, products, weights, item_counts[index - 1],
                                       'C%02d-' % index),
                   'boxes': cartons[:type_counts[index - 1]]}
        write(os.path.join(out, 'catalogue_%03d.json' % index), request)
    return count


def make_family(seed, sizes, items, out):
    cartons = make_cartons(seed)
    products = make_products(seed)
    rng = random.Random('catalogue-family/%d' % seed)
    order = make_order(rng, products, popularity(len(products)), items, 'F-')
    for item in order:
        del item['Weight']
    for size in sizes:
        write(os.path.join(out, 'boxtypes_%04d.json' % size),
              {'items': order, 'boxes': cartons[:size]})
    return len(sizes)


def count_range(text, low, high, what):
    """'N' or 'A-B', within low..high."""
    try:
        parts = [int(p) for p in text.split('-', 1)]
    except ValueError:
        raise argparse.ArgumentTypeError('%s: expected N or A-B, got %r' % (what, text))
    first, last = parts[0], parts[-1]
    if not low <= first <= last <= high:
        raise argparse.ArgumentTypeError('%s: %r is not within %d to %d, smallest first'
                                         % (what, text, low, high))
    return first, last


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--seed', type=int, default=1)
    ap.add_argument('--count', type=int, default=8, help='number of independent orders')
    ap.add_argument('--items',
                    help='items per order: N or a range A-B (default 100-1000; 200 for a family)')
    ap.add_argument('--box-types', default='25-300',
                    help='carton types per order: N or a range A-B (default 25-300)')
    ap.add_argument('--family', help='comma-separated numbers of box types: write one family '
                                     'instead')
    ap.add_argument('--out', required=True, help='output folder')
    args = ap.parse_args(argv)
    try:
        if args.count < 1:
            raise argparse.ArgumentTypeError('--count must be at least 1')
        items = count_range(args.items or ('200' if args.family else '100-1000'), 1, 100000,
                            '--items')
        if args.family:
            sizes = sorted({int(s) for s in args.family.split(',') if s.strip()})
            if not sizes or sizes[0] < 1 or sizes[-1] > MAX_BOX_TYPES:
                raise argparse.ArgumentTypeError('--family: numbers of box types from 1 to %d'
                                                 % MAX_BOX_TYPES)
        else:
            box_types = count_range(args.box_types, 1, MAX_BOX_TYPES, '--box-types')
    except (argparse.ArgumentTypeError, ValueError) as e:
        ap.error(str(e))
    os.makedirs(args.out, exist_ok=True)
    if args.family:
        written = make_family(args.seed, sizes, items[0], args.out)
    else:
        written = make_orders(args.seed, args.count, items, box_types, args.out)
    print('wrote %d request(s) to %s' % (written, args.out), file=sys.stderr)
    return 0


if __name__ == '__main__':
    sys.exit(main())
