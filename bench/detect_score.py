#!/usr/bin/env python3
# Scores a dry run's cuts against a tape's true gaps: reads the dry run's JSON
# on stdin and the gaps ("start end" in seconds, one a line) from the file
# given; prints "breaks found cuts right late" for the tally. A cut is right
# when it lies in a gap no earlier cut took; a break is found when a cut lies
# in it. A break missed is late when a cut lies past it and before the next
# gap: the break was seen, but only once the next song had begun.
import json
import sys

# The gaps' times are printed to 0.1 ms: a cut may stray from a gap by their
# rounding and no more. A cut even a few ms into a song's first sound is wrong.
SLACK = 0.00005

gaps = [tuple(map(float, line.split())) for line in open(sys.argv[1]) if line.strip()]
try:
    report = json.load(sys.stdin)
    cuts = [f["start_s"] for f in report["files"][1:]]
except (ValueError, KeyError):
    cuts = []
taken = set()
right = 0
for c in cuts:
    for i, (a, b) in enumerate(gaps):
        if a - SLACK <= c <= b + SLACK and i not in taken:
            taken.add(i)
            right += 1
            break
late = 0
for i, (_, b) in enumerate(gaps):
    if i in taken:
        continue
    end = gaps[i + 1][0] if i + 1 < len(gaps) else float("inf")
    late += any(b + SLACK < c < end - SLACK for c in cuts)
print(len(gaps), len(taken), len(cuts), right, late)
