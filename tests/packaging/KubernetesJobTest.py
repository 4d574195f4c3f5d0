#!/usr/bin/env python3
"""The shipped Kubernetes Indexed Job (packaging/batch/quorvel-audit-job.yaml)
as far as it can be checked without a cluster: it parses as the objects it
promises, and each index's container command, run here for every index
against one shared folder with the environment Kubernetes gives the pod,
gives the parts of one run, merged by the last part into the lines of one
--jobs run and its report. No cluster, kubelet or volume is involved
(docs/batch.md says what is not run).

    KubernetesJobTest.py QUORVEL_AUDIT SOURCE_DIR"""

import os
import subprocess
import sys
import tempfile
import unittest

import yaml

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import recipes  # noqa: E402

AUDIT = ""
SOURCE = ""
PARTS = 3


def manifest_text():
    with open(os.path.join(SOURCE, "packaging", "batch", "quorvel-audit-job.yaml")) as f:
        return f.read()


class KubernetesJob(unittest.TestCase):
    def test_manifest_holds_what_the_job_needs(self):
        settings, job = yaml.safe_load_all(manifest_text())
        self.assertEqual((settings["kind"], job["kind"], job["apiVersion"]),
                         ("ConfigMap", "Job", "batch/v1"))
        job_body = job["spec"]
        pod = job_body["template"]["spec"]
        container = pod["containers"][0]
        checks = [
            ("indexed", job_body["completionMode"], "Indexed"),
            ("one completion per part", job_body["completions"], int(settings["data"]["PARTS"])),
            ("a retry limit per index", job_body["backoffLimitPerIndex"] >= 1, True),
            ("failed pods are not restarted in place", pod["restartPolicy"], "Never"),
            ("the image's user", pod["securityContext"]["runAsUser"], 65534),
            ("the group that may write the volume", pod["securityContext"]["fsGroup"], 65534),
            ("the settings reach the pod",
             container["envFrom"][0]["configMapRef"]["name"], settings["metadata"]["name"]),
            ("the shared volume is mounted",
             container["volumeMounts"][0]["name"], pod["volumes"][0]["name"]),
            ("memory is limited", "memory" in container["resources"]["limits"], True),
            ("cpu is requested", container["resources"]["requests"]["cpu"], "2"),
            ("the command runs a shell script", container["command"], ["/bin/sh", "-c"]),
        ]
        for description, got, want in checks:
            with self.subTest(description):
                self.assertEqual(got, want)

    def test_every_index_run_locally_gives_the_parts_of_one_run(self):
        edited = recipes.set_settings(manifest_text(), {"PARTS": f'"{PARTS}"',
                                                        "completions": str(PARTS)})
        settings, job = yaml.safe_load_all(edited)
        self.assertEqual(job["spec"]["completions"], PARTS)
        container = job["spec"]["template"]["spec"]["containers"][0]
        script = container["args"][0]
        with tempfile.TemporaryDirectory(prefix="quorvel-k8s-") as data:
            photos, out = os.path.join(data, "photos"), os.path.join(data, "quorvel-audit")
            recipes.make_photos(photos, os.path.join(SOURCE, "tests", "data"), 20)
            env = dict(os.environ, **settings["data"])
            env.update(PHOTOS=photos, OUT=out,
                       PATH=os.path.dirname(AUDIT) + os.pathsep + os.environ["PATH"])
            # The pods in an order of their own; the last one to end merges.
            for index in (2, 0, 1):
                pod = subprocess.run(container["command"] + [script], cwd=data,
                                     env=dict(env, JOB_COMPLETION_INDEX=str(index)),
                                     capture_output=True)
                self.assertEqual(pod.returncode, 0, pod.stderr)
                merged = os.path.exists(os.path.join(out, "merged.jsonl"))
                self.assertEqual(merged, index == 1, "only the last part merges")
            # A retried pod goes on from its own results: nothing is audited twice.
            retry = subprocess.run(container["command"] + [script], cwd=data,
                                   env=dict(env, JOB_COMPLETION_INDEX="0"), capture_output=True)
            self.assertEqual(retry.returncode, 0, retry.stderr)

            reference = recipes.reference_run(AUDIT, out, os.path.join(out, "list"),
                                              os.path.join(out, "one.html"))
            with open(os.path.join(out, "merged.jsonl"), "rb") as f:
                self.assertEqual(f.read(), reference)
            recipes.check_same_report(self, os.path.join(out, "report.html"),
                                      os.path.join(out, "one.html"))
            beyond = subprocess.run(container["command"] + [script], cwd=data,
                                    env=dict(env, JOB_COMPLETION_INDEX=str(PARTS)),
                                    capture_output=True)
            self.assertEqual(beyond.returncode, 2, "an index beyond PARTS is refused")


if __name__ == "__main__":
    AUDIT, SOURCE = os.path.abspath(sys.argv[1]), sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
