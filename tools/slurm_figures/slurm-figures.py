#!/usr/bin/env python3
"""The figures of docs/batch.md for the Slurm array against one process:
the same photos audited by one `quorvel-audit --jobs 2` and by the shipped
array (packaging/batch/quorvel-audit.sbatch) on a single-node Slurm started
here as the test suite starts it (tests/packaging/SlurmArrayTest.py), from
submitting to the merged lines and report. Run as root:

    tools/slurm_figures/slurm-figures.py build/dev/src/cli/quorvel-audit . 240 2 4
"""

import os
import subprocess
import sys
import tempfile
import time

SOURCE = os.path.abspath(sys.argv[2]) if len(sys.argv) > 2 else "."
sys.path.insert(0, os.path.join(SOURCE, "tests", "packaging"))
import recipes  # noqa: E402
import SlurmArrayTest as slurmtest  # noqa: E402


def one_process(audit, photos, folder):
    out = os.path.join(folder, "one")
    os.makedirs(out)
    listed = subprocess.run(["find", photos, "-xtype", "f", "(", "-iname", "*.jpg", "-o",
                             "-iname", "*.jpeg", "-o", "-iname", "*.png", "-o", "-iname",
                             "*.bmp", ")", "-print0"], check=True, capture_output=True).stdout
    with open(os.path.join(out, "list"), "wb") as f:
        f.write(b"\0".join(sorted(listed.split(b"\0")[:-1])) + b"\0")
    started = time.monotonic()
    subprocess.run([audit, "--color", "3", "--size", "1", "--jobs", "2", "--files-from",
                    os.path.join(out, "list"), "-0", "--out", os.path.join(out, "accepted"),
                    "--report", os.path.join(out, "report.html")], stdout=subprocess.DEVNULL)
    return time.monotonic() - started


def array(slurm, audit, photos, folder, parts):
    out = os.path.join(folder, f"array-{parts}")
    with open(os.path.join(SOURCE, "packaging", "batch", "quorvel-audit.sbatch")) as f:
        script = recipes.set_settings(f.read(), {"PHOTOS": photos, "OUT": out,
                                                 "PARTS": str(parts)})
    path = os.path.join(folder, f"array-{parts}.sbatch")
    with open(path, "w") as f:
        f.write(script)
    env = dict(slurm.env, PATH=os.path.dirname(audit) + os.pathsep + os.environ["PATH"])
    started = time.monotonic()
    subprocess.run(["sh", path], env=env, check=True, stdout=subprocess.DEVNULL)
    slurmtest.wait_for("the queue to empty",
                       lambda: slurm.output(["squeue", "-h"]).strip() == "", 3600, 0.2)
    return time.monotonic() - started


def main():
    audit = os.path.abspath(sys.argv[1])
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 240
    part_counts = [int(p) for p in sys.argv[4:]] or [2, 4]
    slurmtest.become_subreaper()
    with tempfile.TemporaryDirectory(prefix="quorvel-figures-") as root:
        os.chmod(root, 0o755)
        photos = os.path.join(root, "photos")
        recipes.make_photos(photos, os.path.join(SOURCE, "tests", "data"), count)
        print(f"{count} photos; one process, --jobs 2: {one_process(audit, photos, root):.1f} s")
        slurm = slurmtest.SingleNodeSlurm(os.path.join(root, "slurm"))
        os.makedirs(slurm.root)
        try:
            slurm.start()
            for parts in part_counts:
                took = array(slurm, audit, photos, root, parts)
                print(f"Slurm array of {parts} parts (2 CPUs each), merge and report: {took:.1f} s")
        finally:
            slurm.stop()


if __name__ == "__main__":
    main()
