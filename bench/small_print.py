#!/usr/bin/python3
"""Pages of small print, each beside its true text (NAME.jpg and NAME.txt, one line of the page a
line), for look and the tesseract command: the detector sees a large page scaled down to its own
side, where such print shrinks below what it can find.

Usage: small_print.py FOLDER [--lines N] [--size PX] [--width W] [--height H] [--name NAME]
                      [--seed S] [--noise] [--pitch P] [--quality Q]
Defaults: the tall page, 200 lines of 16-pixel print on 1400x4040. The scan: --size 8 --height
2000 --name scan --noise (grey paper and a little grain, as a scanner gives).
Needs python3-pil and fonts-dejavu-core."""
import argparse
import os
import random

from PIL import Image, ImageDraw, ImageFont

FONT = '/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf'

SUBJECTS = ['The committee', 'Our survey', 'The new library', 'A short walk', 'The harbour office',
            'Each tenant', 'The spring market', 'This year\'s report', 'The night train', 'Most readers',
            'The village council', 'A careful cook', 'The museum guide', 'Every visitor', 'The old bridge']
VERBS = ['opens at', 'was delayed until', 'will review', 'recommends', 'closes before', 'depends on',
         'describes', 'arrived after', 'must return', 'listed', 'repaired', 'counted']
OBJECTS = ['the north entrance', 'nine o\'clock', 'the annual budget', 'fresh bread and cheese',
           'the second platform', '42 boxes of records', 'the garden path', 'its last chapter',
           'a quiet evening', 'the borrowed keys', 'room 17 on Friday', 'three spare lamps',
           'the winter timetable', 'all unpaid invoices', 'the river crossing']
TAILS = ['', '', ' without further notice', ' in March', ' for the third time', ', as agreed',
         ' despite the rain', ' by Tuesday', ' at a cost of 3.50', ' before the holidays']


def sentence(rng):
    return f'{rng.choice(SUBJECTS)} {rng.choice(VERBS)} {rng.choice(OBJECTS)}{rng.choice(TAILS)}.'


def line_text(rng, number, font, room):
    """A numbered line of one or two sentences that fits in `room` pixels."""
    text = f'{number}. {sentence(rng)}'
    if rng.random() < 0.5:
        longer = f'{text} {sentence(rng)}'
        if font.getlength(longer) <= room:
            text = longer
    while font.getlength(text) > room:  # never cut a line short of its full stop
        text = f'{number}. {sentence(rng)}'
    return text


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('folder')
    parser.add_argument('--lines', type=int, default=200)
    parser.add_argument('--size', type=int, default=16)
    parser.add_argument('--width', type=int, default=1400)
    parser.add_argument('--height', type=int, default=4040)
    parser.add_argument('--name', default='tall_page')
    parser.add_argument('--seed', type=int, default=1)
    parser.add_argument('--noise', action='store_true')
    parser.add_argument('--pitch', type=int, help='pixels from line to line (default: the page filled)')
    parser.add_argument('--quality', type=int, default=90)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    font = ImageFont.truetype(FONT, args.size)
    margin = max(2 * args.size, 20)
    pitch = args.pitch or (args.height - 2 * margin) // args.lines
    if pitch < args.size or margin + pitch * args.lines > args.height:
        parser.error('the lines do not fit on the page at that size')
    paper = 236 if args.noise else 255
    page = Image.new('L', (args.width, args.height), paper)
    draw = ImageDraw.Draw(page)
    lines = []
    for i in range(args.lines):
        text = line_text(rng, i + 1, font, args.width - 2 * margin)
        draw.text((margin, margin + i * pitch), text, fill=20, font=font)
        lines.append(text)
    if args.noise:
        grain = Image.effect_noise((args.width, args.height), 12)
        page = Image.blend(page, grain.point(lambda v: v * paper // 255), 0.15)
    os.makedirs(args.folder, exist_ok=True)
    page.save(os.path.join(args.folder, args.name + '.jpg'), quality=args.quality)
    with open(os.path.join(args.folder, args.name + '.txt'), 'w', encoding='utf-8') as out:
        out.write('\n'.join(lines) + '\n')


if __name__ == '__main__':
    main()
