"""Whole updater runs against the local update service: the query, the
exit codes, the package download and the statistics report."""
import hashlib
import os
import socket
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.environ.get("ZEMORA_SOURCE_DIR", os.path.join(HERE, "../.."))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tools", "updateservice"))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "wholerun"))

from harness import WorkFolder, run_windows  # noqa: E402
from updateservice import UpdateService  # noqa: E402

QUERY = "/v2/update/ostrel?versionCode=186&versionName=general&channel="
REPORT_QUERY = "versionCode=186&versionName=general&channel=abc&macAddress="


def closed_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def full_reply(url, md5):
    return ("<update><updatable>true</updatable><url>%s</url><md5>%s</md5>"
            "<version_code>200</version_code></update>" % (url, md5))


class UpdateRunTest(unittest.TestCase):
    def setUp(self):
        self.work = WorkFolder()
        self.addCleanup(self.work.cleanup)
        self.package = self.work.file("source-pkg.exe")
        with open(self.package, "wb") as f:
            f.write(os.urandom(3 * 1024 * 1024 + 11))
        with open(self.package, "rb") as f:
            self.md5 = hashlib.md5(f.read()).hexdigest()
        self.service = UpdateService({})
        self.base = self.service.start()
        self.addCleanup(self.service.stop)

    def run_updater(self, args=("--parent=1", "--channel=abc"), service=None):
        env = self.work.env(ZEMORA_UPDATE_SERVICE=service or self.base,
                            ZEMORA_STAT_SERVICE=self.base)
        code, _ = run_windows("Update.exe", list(args), env=env, timeout=180)
        return code

    def offer_package(self, path="/packages/pkg.exe", md5=None, faults=None):
        url = self.base + path + "?token=1/2"
        self.service.set_config({
            "replies": {"abc": full_reply(url, md5 or self.md5)},
            "files": {path: self.package},
            "faults": faults or {},
        })

    def package_requests(self, path="/packages/pkg.exe"):
        return [r for r in self.service.requests() if r.startswith(path)]

    def test_nothing_offered_ends_quietly(self):
        self.service.set_config({"default_reply": "<update><updatable>false</updatable></update>"})
        self.assertEqual(self.run_updater(), 0)
        self.assertEqual(self.run_updater(["--parent=1"]), 0)
        self.assertEqual(self.service.requests(), [QUERY + "abc", QUERY])
        self.assertEqual(self.service.stats(), [])
        log = self.work.log()
        self.assertIn("no increment element found", log)
        self.assertIn("updatable is false", log)

    def test_failed_checks_exit_with_their_code_and_send_no_report(self):
        cases = [
            ("server error", {"default_reply": "<u/>",
                              "faults": {"/v2/update/ostrel": {"status": 500}}}, None, 3),
            ("no service", {}, "http://127.0.0.1:%d" % closed_port(), 3),
            ("no root element", {"default_reply": "this is not xml"}, None, 4),
            ("updatable without url",
             {"default_reply": "<u><updatable>true</updatable></u>"}, None, 4),
        ]
        for name, config, service, code in cases:
            with self.subTest(name):
                self.service.set_config(config)
                self.assertEqual(self.run_updater(service=service), code)
                self.assertEqual(self.service.stats(), [])
        log = self.work.log()
        self.assertIn("no root element found in update info", log)
        self.assertIn("no url element found", log)

    def test_a_full_package_is_fetched_verified_and_reported(self):
        self.offer_package()
        self.assertEqual(self.run_updater(), 0)
        stored = self.work.file("Update", "pkg.exe")
        with open(stored, "rb") as got, open(self.package, "rb") as want:
            self.assertEqual(got.read(), want.read())
        self.assertFalse(os.path.exists(stored + ".tdl"))
        self.assertEqual(self.package_requests(), ["/packages/pkg.exe?token=1/2"])
        stats = self.service.stats()
        self.assertEqual(len(stats), 1)
        self.assertEqual(stats[0]["path"], "/v2/stat/installer/fail/3000")
        self.assertTrue(stats[0]["raw_query"].startswith(REPORT_QUERY), stats[0]["raw_query"])

        # A later run finds the verified package and does not fetch it again.
        self.assertEqual(self.run_updater(), 0)
        self.assertEqual(len(self.package_requests()), 1)
        self.assertEqual([s["code"] for s in self.service.stats()], [3000, 3000])

    def test_a_failed_download_exits_6_and_reports_3006(self):
        cases = [
            ("wrong md5", {"md5": "0123456789abcdef0123456789abcdef"}, True),
            ("cut half way", {"faults": {"/packages/pkg.exe": {"cut_after": 1500000}}}, False),
        ]
        for name, offer, file_left in cases:
            with self.subTest(name):
                stored = self.work.file("Update", "pkg.exe")
                if os.path.exists(stored):
                    os.remove(stored)  # the package a case before left behind
                stats_before = len(self.service.stats())
                self.offer_package(**offer)
                self.assertEqual(self.run_updater(), 6)
                stats = self.service.stats()[stats_before:]
                self.assertEqual([s["path"] for s in stats], ["/v2/stat/installer/fail/3006"])
                self.assertTrue(stats[0]["raw_query"].startswith(REPORT_QUERY))
                self.assertEqual(os.path.exists(stored), file_left)
                self.assertFalse(os.path.exists(stored + ".tdl"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
