"""Whole runs that offer a full installer while the main application listens
on the status pipe (statusmon in its place): the download as the parent sees
it, and the handover of the installer. Also packages too short to tell their
kind, installed while nobody listens."""
import hashlib
import os
import shutil
import sys
import tempfile
import unittest
import uuid

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.environ.get("ZEMORA_SOURCE_DIR", os.path.join(HERE, "../.."))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "status"))
from harness import WorkFolder, program, run_windows, win_path  # noqa: E402
from install_fixture import remove_product_key, set_install_dir  # noqa: E402
from test_statusmon_run import MonitoredRun, packets, status_codes  # noqa: E402
from updateservice import UpdateService  # noqa: E402

PACKAGE_PATH = "/files/setup.exe"
VERSION_CODE = 190
ENGINE_STATE, APP_STATE = 1008, 1009


def full_reply(base, digest):
    return (f"<update><updatable>true</updatable><url>{base}{PACKAGE_PATH}?x=1</url>"
            f"<md5>{digest}</md5><version_code>{VERSION_CODE}</version_code></update>")


class RunFixture(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="zemora-parent-")
        self.addCleanup(shutil.rmtree, self.root, True)
        self.work = WorkFolder()
        self.addCleanup(self.work.cleanup)
        self.install = os.path.join(self.root, "Zemora")
        os.makedirs(self.install)
        set_install_dir(win_path(self.install))
        self.addCleanup(remove_product_key)
        self.package = os.path.join(self.root, "setup.exe")
        self.installer_log = os.path.join(self.root, "installer.log")
        self.service = UpdateService({})
        self.base = self.service.start()
        self.addCleanup(self.service.stop)

    def offer(self, data, faults=None):
        with open(self.package, "wb") as f:
            f.write(data)
        self.service.set_config({
            "files": {PACKAGE_PATH: self.package},
            "default_reply": full_reply(self.base, hashlib.md5(data).hexdigest()),
            "faults": faults or {}})

    def env(self):
        return self.work.env(ZEMORA_UPDATE_SERVICE=self.base, ZEMORA_STAT_SERVICE=self.base,
                             ZEMORA_FAKE_INSTALLER_LOG=win_path(self.installer_log))


class ListeningParentTest(RunFixture):
    def setUp(self):
        super().setUp()
        # A real program, padded so that its slow transfer spans many state polls.
        with open(program("fake_installer.exe"), "rb") as f:
            self.installer = f.read().ljust(1 << 20, b"\0")
        # The reply comes late, so that the monitor is surely connected by then.
        self.offer(self.installer, {PACKAGE_PATH: {"delay_ms_per_chunk": 80, "chunk": 64 * 1024},
                                    "/v2/update/ostrel": {"delay_ms_per_chunk": 1500, "chunk": 1 << 20}})

    def monitored_run(self):
        run = MonitoredRun(self.work, ["--poll-ms", "50"])
        self.assertEqual(run.run_updater(self.env(), args=("--parent=1", "--channel=abc")), 0)
        exit_code, events = run.finish()
        self.assertEqual(exit_code, 0, run.output)
        self.assertEqual(events[-1]["outcome"], "success")
        return packets(events)

    def states_answered(self, seen, code, after, before):
        """The state answers to `code` that came after packet `after` and
        before packet `before`."""
        answers, started = [], False
        for p in seen:
            if p["code"] == after:
                started = True
            if p["code"] == before and started:
                break
            if started and p["code"] == code:
                answers.append(p["parameter"])
        return answers

    def test_the_installer_is_handed_over_and_not_run(self):
        seen = self.monitored_run()
        codes = [c for c in status_codes(seen) if c != 2003]
        progress = [p["parameter"] for p in seen if p["code"] == 2009]
        self.assertEqual(progress[0], 0)
        self.assertEqual(progress[-1], 100)
        self.assertEqual(progress, sorted(progress))
        self.assertEqual([c for c in codes if c != 2009], [2010, 2018, 2011])
        by_code = {p["code"]: p["parameter"] for p in seen if p["code"] >= 2010}
        self.assertEqual(by_code[2010], 1)
        self.assertEqual(by_code[2018], VERSION_CODE)
        self.assertNotIn(2015, codes)
        self.assertNotIn(2016, codes)

        # Asked while the download runs: the engine is still checking, the
        # application downloading; after the handover it stays downloading.
        engine = self.states_answered(seen, ENGINE_STATE, 2009, 2010)
        app = self.states_answered(seen, APP_STATE, 2009, 2010)
        self.assertTrue(engine and app, seen)
        self.assertEqual(set(engine), {1})
        self.assertEqual(set(app), {4})
        self.assertTrue(set(self.states_answered(seen, APP_STATE, 2018, None)) <= {4})

        with open(self.work.file("ZemoraUpdate.exe"), "rb") as f:
            self.assertEqual(f.read(), self.installer)
        self.assertFalse(os.path.exists(self.installer_log))
        self.assertEqual([s["code"] for s in self.service.stats()], [3000])

        # The verified package is there now: no second transfer, no 2009.
        os.remove(self.work.file("ZemoraUpdate.exe"))
        requests = len([r for r in self.service.requests() if r.startswith(PACKAGE_PATH)])
        seen = self.monitored_run()
        codes = [c for c in status_codes(seen) if c != 2003]
        self.assertEqual(codes[:2], [2010, 2018])
        self.assertNotIn(2009, codes)
        self.assertTrue(os.path.exists(self.work.file("ZemoraUpdate.exe")))
        self.assertEqual(len([r for r in self.service.requests() if r.startswith(PACKAGE_PATH)]),
                         requests)


class ShortPackageTest(RunFixture):
    """Packages offered as full ones that are too short to hold the program
    signature, installed while nobody listens."""

    def test_short_packages_fail_the_install_but_not_the_run(self):
        cases = [
            ("MZ alone goes to the incremental procedure", b"MZ", "DoIncrementInstall result: 13"),
            ("one byte is refused", b"M", "engine file size less than 2: 1"),
        ]
        for name, data, line in cases:
            with self.subTest(name):
                shutil.rmtree(self.work.file("Update"), ignore_errors=True)
                self.offer(data)
                stats_before = len(self.service.stats())
                code, _ = run_windows("Update.exe", ["--parent=1", "--channel=abc",
                                                     "--lp=\\\\.\\pipe\\nobody-" + uuid.uuid4().hex],
                                      env=self.env())
                self.assertEqual(code, 0)
                log = self.work.log()
                self.assertIn(line, log)
                self.assertNotIn("zemora install package run return", log)
                self.assertFalse(os.path.exists(self.installer_log))
                self.assertEqual(os.listdir(self.install), [])
                self.assertEqual([s["code"] for s in self.service.stats()[stats_before:]], [3000])


if __name__ == "__main__":
    unittest.main()
