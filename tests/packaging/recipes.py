"""What the tests of the recipes for many machines share: a mixed set of
photos as operators have them, the shipped recipes with their settings set
as an operator sets them, quorvel-audit run once as the reference, and the
cards of a report."""

import os
import re
import struct
import subprocess
import zlib

# Names as registration offices have them: spaces, Chinese, a line break, a
# Latin-1 byte, a GBK name from a Windows share ("照片" in GBK), upper- and
# mixed-case extensions, sub-folders; then a PNG, a BMP, a cut JPEG (the
# decoder warns about it) and a file that is no photo.
ODD_NAMES = [
    b"plain.jpg",
    b"with space.jpg",
    "照片 一.jpg".encode(),
    b"line\nbreak.jpg",
    b"caf\xe9.JPG",
    b"\xd5\xd5\xc6\xac.jpeg",
    b"UPPER.JPEG",
    b"sub/Mixed Case.Jpg",
    b"sub/deeper/last.jpg",
]
FIXTURES = ["id_blue.jpg", "id_red.jpg", "no_face.jpg", "id_white.jpg",
            "group.jpg", "portrait.jpg", "small_face.jpg", "id_soft.jpg"]


def png_from_ppm(ppm):
    """A PNG (8-bit RGB, no filter) of a binary PPM as djpeg writes it."""
    fields = ppm.split(maxsplit=4)
    width, height = int(fields[1]), int(fields[2])
    pixels = fields[4]
    rows = b"".join(b"\0" + pixels[y * width * 3:(y + 1) * width * 3] for y in range(height))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(rows, 6)) + chunk(b"IEND", b""))


def make_photos(folder, data, count):
    """`count` photos (at least 14) under `folder`, as bytes paths."""
    folder = os.fsencode(folder)
    made = []

    def place(name, content):
        path = os.path.join(folder, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(content)
        made.append(path)

    def fixture(index):
        with open(os.path.join(data, FIXTURES[index % len(FIXTURES)]), "rb") as f:
            return f.read()

    for i, name in enumerate(ODD_NAMES):
        place(name, fixture(i))
    blue = os.path.join(data, "id_blue.jpg")
    ppm = subprocess.run(["djpeg", "-pnm", blue], check=True, capture_output=True).stdout
    place(b"blue.png", png_from_ppm(ppm))
    place(b"SHOT.PNG", png_from_ppm(ppm))
    bmp = subprocess.run(["djpeg", "-bmp", blue], check=True, capture_output=True).stdout
    place(b"scan.BMP", bmp)
    place(b"cut.jpg", fixture(0)[:30000])  # "Premature end of JPEG file"
    with open(os.path.join(folder, b"notes.txt"), "wb") as out:
        out.write(b"not a photo\n")
    i = len(made)
    while len(made) < count:
        place(b"more/p%02d.jpg" % i, fixture(i))
        i += 1
    return made


def set_settings(text, settings):
    """The recipe with each `NAME=value` or `NAME: value` line of its settings
    changed, as an operator edits it; every name must be found once."""
    for name, value in settings.items():
        pattern = re.compile(r"^(\s*" + re.escape(name) + r"(=|: ))(\S+)(.*)$", re.M)
        text, found = pattern.subn(lambda m: m.group(1) + value + m.group(4), text, count=1)
        if found != 1:
            raise AssertionError(f"the recipe has no setting {name}")
    return text


def reference_run(audit, out, list_file, report):
    """One uninterrupted --jobs run over the list, as the parts run it:
    its lines and its report."""
    run = subprocess.run([audit, "--color", "3", "--size", "1", "--jobs", "2",
                          "--files-from", list_file, "-0", "--out", os.path.join(out, "accepted"),
                          "--report", report], capture_output=True)
    if run.returncode not in (0, 1):
        raise AssertionError(f"the reference run ended {run.returncode}: {run.stderr!r}")
    return run.stdout


def cards(report):
    """The cards of a report page, in page order."""
    with open(report, encoding="utf-8") as f:
        html = f.read()
    return re.findall(r'<div class="card".*?\n</div>\n', html, re.S)


def check_same_report(test, made, reference):
    """The report made from the parts equals the reference run's card for
    card, and every card that has a picture there has it here."""
    got, want = cards(made), cards(reference)
    test.assertEqual(len(got), len(want))
    for a, b in zip(got, want):
        test.assertEqual(a, b)
    test.assertGreater(len(want), 0)
