#!/usr/bin/env python3
"""Reads what morvane-cli writes with Python's own wave module (and soxi
where sox is installed), as a check independent of Morvane's header code."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import wave

cli = sys.argv[1]
failures = []


def check(cond, what):
    if not cond:
        failures.append(what)


def run(*args):
    return subprocess.run([cli, *args], capture_output=True, text=True)


def write_tape(path, rate, channels, songs, gap_frames):
    """16-bit songs of a rising pattern parted by silences."""
    frames = b""
    for n, length in enumerate(songs):
        loud = b"".join(struct.pack("<h", 3000 + (i * 37 + n) % 2000) * channels for i in range(length))
        frames += loud
        if n + 1 < len(songs):
            frames += b"\x00\x00" * channels * gap_frames
    with wave.open(path, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(frames)
    return frames


def read(path):
    with wave.open(path, "rb") as w:
        return w.getnchannels(), w.getframerate(), w.getsampwidth(), w.readframes(w.getnframes())


with tempfile.TemporaryDirectory() as d:
    tape = os.path.join(d, "tape.wav")
    data = write_tape(tape, 11025, 2, [30000, 20000, 25000], 20000)
    out = os.path.join(d, "songs")
    os.mkdir(out)
    r = run("cut", tape, "--out", out, "--run", "11025")
    check(r.returncode == 0, "cut exit %d: %s" % (r.returncode, r.stderr))
    names = sorted(os.listdir(out))
    check(names == ["mv000001.wav", "mv000002.wav", "mv000003.wav"], "cut files %s" % names)
    joined = b""
    for name in names:
        ch, rate, width, frames = read(os.path.join(out, name))
        check((ch, rate, width) == (2, 11025, 2), "%s format %s" % (name, (ch, rate, width)))
        joined += frames
    check(joined == data, "songs put together differ from the tape")

    pieces = os.path.join(d, "pieces")
    os.mkdir(pieces)
    r = run("split", tape, "--out", pieces, "--length", "0:00:03")
    check(r.returncode == 0, "split exit %d" % r.returncode)
    sizes = [len(read(os.path.join(pieces, n))[3]) for n in sorted(os.listdir(pieces))]
    check(all(s == 3 * 11025 * 4 for s in sizes[:-1]), "split sizes %s" % sizes)
    check(sum(sizes) == len(data), "split loses bytes")

    target = os.path.join(d, "joined.wav")
    r = run("join", "--out", target, *[os.path.join(out, n) for n in names])
    check(r.returncode == 0, "join exit %d" % r.returncode)
    check(read(target) == (2, 11025, 2, data), "join differs from the tape")

    if shutil.which("soxi"):
        samples = subprocess.run(["soxi", "-s", target], capture_output=True, text=True).stdout.strip()
        check(samples == str(len(data) // 4), "soxi counts %s samples" % samples)

for f in failures:
    print("FAIL:", f)
print("%d passed, %d failed" % (1 if not failures else 0, 1 if failures else 0))
sys.exit(1 if failures else 0)
