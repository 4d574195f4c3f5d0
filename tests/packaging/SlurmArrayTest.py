#!/usr/bin/env python3
"""The shipped Slurm array (packaging/batch/quorvel-audit.sbatch) on a real
Slurm: a single-node cluster started here (Debian's slurm-wlm and munge, its
own configuration on loopback with free ports, its state in a temporary
folder, every daemon stopped by its pid at the end). The script is set up as
an operator sets it, submitted as an array over a mixed set of photos; one
task is cancelled mid-run and submitted again; the merge then equals one
--jobs run, line for line and card for card, and every part ended in
success.

    SlurmArrayTest.py QUORVEL_AUDIT SOURCE_DIR

Exits 77 (skipped) when not run as root or when Slurm is not installed."""

import ctypes
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import recipes  # noqa: E402

AUDIT = ""
SOURCE = ""
PHOTOS = 48
PARTS = 2
DAEMONS = ["/usr/sbin/munged", "/usr/sbin/slurmctld", "/usr/sbin/slurmd", "/usr/sbin/mungekey"]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(what, condition, seconds=120, step=0.05):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(step)
    raise AssertionError(f"timed out waiting for {what}")


def ended(pid):
    """Whether the process is gone, or a zombie waiting for its parent."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] == "Z"
    except FileNotFoundError:
        return True


def become_subreaper():
    """Processes the daemons leave (slurmstepd) become this process's
    children when their parent ends, so that it reaps them."""
    PR_SET_CHILD_SUBREAPER = 36
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)


def reap_orphans():
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        try:
            pid, _ = os.waitpid(-1, os.WNOHANG)
        except ChildProcessError:
            return
        if pid == 0:
            time.sleep(0.1)


def line_count(path):
    if not os.path.exists(path):
        return 0
    with open(path, "rb") as f:
        return f.read().count(b"\n")


class SingleNodeSlurm:
    """munged, slurmctld and slurmd under `root`, stopped by their pids."""

    def __init__(self, root):
        self.root = root
        self.run = os.path.join(root, "run")
        self.log = os.path.join(root, "log")
        self.conf = os.path.join(root, "slurm.conf")
        self.env = dict(os.environ, SLURM_CONF=self.conf)
        self.pids = []
        self.runuser = None

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def start(self):
        for folder, mode in (("munge", 0o700), ("run", 0o755), ("log", 0o755)):
            os.makedirs(self.path(folder), mode)
            os.chmod(self.path(folder), mode)
            shutil.chown(self.path(folder), "munge", "munge")
        for folder in ("state", "spool"):
            os.makedirs(self.path(folder))
        key = self.path("munge", "munge.key")
        subprocess.run(["mungekey", "-c", "-k", key], check=True)
        shutil.chown(key, "munge", "munge")
        os.chmod(key, 0o600)
        # In the foreground, under runuser, which ends with it.
        with open(self.path("log", "munged.out"), "wb") as out:
            self.runuser = subprocess.Popen([
                "runuser", "-u", "munge", "--", "/usr/sbin/munged", "--foreground",
                "--key-file=" + key, "--socket=" + self.path("run", "munge.socket"),
                "--pid-file=" + self.path("run", "munged.pid"),
                "--log-file=" + self.path("log", "munged.log"),
                "--seed-file=" + self.path("run", "munged.seed")],
                stdout=out, stderr=subprocess.STDOUT)
        wait_for("munged", lambda: os.path.exists(self.path("run", "munge.socket")), seconds=30)
        self.pids.append(self.pid_of("munged.pid"))
        self.write_conf()
        for daemon in ("slurmctld", "slurmd"):
            with open(self.path("log", daemon + ".out"), "wb") as out:
                process = subprocess.Popen([daemon, "-D", "-f", self.conf], env=self.env,
                                           stdout=out, stderr=subprocess.STDOUT)
            self.pids.append(process.pid)
        wait_for("the node to be idle", lambda: "idle" in self.output(
            ["sinfo", "-h", "-o", "%T"]), seconds=60, step=0.5)

    def pid_of(self, name):
        with open(self.path("run", name)) as f:
            return int(f.read().strip())

    def write_conf(self):
        host = socket.gethostname().split(".")[0]
        memory = os.sysconf("SC_PAGE_SIZE") * os.sysconf("SC_PHYS_PAGES") // (1 << 20) // 2
        lines = [
            "ClusterName=quorveltest",
            f"SlurmctldHost={host}(127.0.0.1)",
            f"SlurmctldPort={free_port()}",
            f"SlurmdPort={free_port()}",
            "SlurmUser=root", "SlurmdUser=root",
            "AuthType=auth/munge", "CredType=cred/munge",
            "AuthInfo=socket=" + self.path("run", "munge.socket"),
            "StateSaveLocation=" + self.path("state"),
            "SlurmdSpoolDir=" + self.path("spool", "slurmd-%n"),
            "SlurmctldPidFile=" + self.path("run", "slurmctld.pid"),
            "SlurmdPidFile=" + self.path("run", "slurmd.pid"),
            "SlurmctldLogFile=" + self.path("log", "slurmctld.log"),
            "SlurmdLogFile=" + self.path("log", "slurmd.log"),
            "ProctrackType=proctrack/linuxproc", "TaskPlugin=task/none", "MpiDefault=none",
            "ReturnToService=2", "SchedulerType=sched/builtin",
            "SelectType=select/cons_tres", "SelectTypeParameters=CR_CPU",
            "JobCompType=jobcomp/filetxt", "JobCompLoc=" + self.path("log", "jobcomp.txt"),
            "AccountingStorageType=accounting_storage/none",
            "JobAcctGatherType=jobacct_gather/none",
            "SlurmctldTimeout=30", "SlurmdTimeout=30", "InactiveLimit=0", "MinJobAge=300",
            "KillWait=5", "Waittime=0",
            f"NodeName={host} NodeAddr=127.0.0.1 CPUs=2 RealMemory={memory} State=UNKNOWN",
            f"PartitionName=debug Nodes={host} Default=YES MaxTime=INFINITE State=UP",
        ]
        with open(self.conf, "w") as f:
            f.write("\n".join(lines) + "\n")

    def output(self, command, **kwargs):
        return subprocess.run(command, env=self.env, capture_output=True, text=True,
                              **kwargs).stdout

    def stop(self):
        for pid in reversed(self.pids):
            try:
                os.kill(pid, signal.SIGTERM)
            except ProcessLookupError:
                continue
        for pid in reversed(self.pids):
            wait_for(f"process {pid} to end", lambda p=pid: ended(p), seconds=30)
            try:
                os.waitpid(pid, 0)
            except ChildProcessError:
                pass
        if self.runuser is not None:
            self.runuser.wait(timeout=30)
        reap_orphans()

    def completions(self):
        """The job completion records, each as a dict of its fields."""
        records = []
        path = self.path("log", "jobcomp.txt")
        if os.path.exists(path):
            with open(path) as f:
                for line in f:
                    records.append(dict(field.split("=", 1) for field in line.split()
                                        if "=" in field))
        return records


class SlurmArray(unittest.TestCase):
    def test_array_cancelled_task_rerun_merge_equals_one_run(self):
        with tempfile.TemporaryDirectory(prefix="quorvel-slurm-") as root:
            os.chmod(root, 0o755)  # munge must reach its folders
            slurm = SingleNodeSlurm(os.path.join(root, "slurm"))
            os.makedirs(slurm.root)
            try:
                slurm.start()
                self.run_array(slurm, os.path.join(root, "job"))
            finally:
                slurm.stop()

    def run_array(self, slurm, job):
        photos, out = os.path.join(job, "photos"), os.path.join(job, "out")
        recipes.make_photos(photos, os.path.join(SOURCE, "tests", "data"), PHOTOS)
        with open(os.path.join(SOURCE, "packaging", "batch", "quorvel-audit.sbatch")) as f:
            script = recipes.set_settings(f.read(), {"PHOTOS": photos, "OUT": out,
                                                     "PARTS": str(PARTS)})
        with open(os.path.join(job, "quorvel-audit.sbatch"), "w") as f:
            f.write(script)
        env = dict(slurm.env, PATH=os.path.dirname(AUDIT) + os.pathsep + os.environ["PATH"])

        def submit(*args):
            said = subprocess.run(["sh", "quorvel-audit.sbatch", *args], cwd=job, env=env,
                                  capture_output=True, text=True)
            self.assertEqual(said.returncode, 0, said.stderr)
            return said.stdout.split("job ")[1].split(";")[0]

        array = submit()
        # Part 1 cancelled while it runs, after its first lines.
        part = os.path.join(out, "results", "part-1.jsonl")

        wait_for("part 1 to be running with a line", lambda: line_count(part) >= 1 and "RUNNING" in
                 slurm.output(["squeue", "-h", "-j", f"{array}_1", "-o", "%T"]), step=0.02)
        subprocess.run(["scancel", f"{array}_1"], env=slurm.env, check=True)
        wait_for("the queue to empty", lambda: slurm.output(["squeue", "-h"]).strip() == "",
                 step=0.2)
        cut = line_count(part)
        self.assertLess(cut, PHOTOS // PARTS - 1, "cancelled mid-run")

        rerun = submit("rerun", "1")
        wait_for("the queue to empty", lambda: slurm.output(["squeue", "-h"]).strip() == "",
                 step=0.2)
        self.check_states(slurm, array, rerun)
        self.assertGreater(line_count(part), cut)

        reference = recipes.reference_run(AUDIT, out, os.path.join(out, "list"),
                                          os.path.join(out, "one.html"))
        with open(os.path.join(out, "merged.jsonl"), "rb") as f:
            merged = f.read()
        self.assertEqual(merged.count(b"\n"), PHOTOS)
        self.assertEqual(merged, reference)
        recipes.check_same_report(self, os.path.join(out, "report.html"),
                                  os.path.join(out, "one.html"))

    def check_states(self, slurm, array, rerun):
        records = slurm.completions()
        parts = [r for r in records if r.get("ArrayJobId") in (array, rerun)]
        last = {}
        for record in parts:  # in the order they ended
            last[record["ArrayTaskId"]] = record
        cancelled = [r for r in parts if r["JobState"] == "CANCELLED"]
        self.assertEqual([r["ArrayTaskId"] for r in cancelled], ["1"], records)
        self.assertEqual(sorted(last), [str(k) for k in range(PARTS)])
        for task, record in last.items():
            self.assertEqual((task, record["JobState"], record["ExitCode"]),
                             (task, "COMPLETED", "0:0"))
        merges = [r for r in records if r["Name"] == "quorvel-audit-merge"]
        self.assertEqual((merges[-1]["JobState"], merges[-1]["ExitCode"]), ("COMPLETED", "0:0"))


if __name__ == "__main__":
    AUDIT, SOURCE = os.path.abspath(sys.argv[1]), sys.argv[2]
    if os.geteuid() != 0:
        print("skipped: a single-node Slurm needs root", file=sys.stderr)
        sys.exit(77)
    missing = [d for d in DAEMONS if not os.path.exists(d)]
    if missing:
        print(f"skipped: {missing} missing: run scripts/setup.sh", file=sys.stderr)
        sys.exit(77)
    become_subreaper()
    unittest.main(argv=sys.argv[:1], verbosity=2)
