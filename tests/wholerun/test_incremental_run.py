"""Whole runs of an incremental update: Update.exe under Wine fetches a
package cut by mkpackage from the local update service and installs it."""
import os
import shutil
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "status"))
from harness import WorkFolder, win_path  # noqa: E402
from install_fixture import Installation, cut_package, registry_value, same_tree, tree_snapshot  # noqa: E402
from test_statusmon_run import MonitoredRun, status_codes, packets  # noqa: E402
from updateservice import UpdateService  # noqa: E402


class IncrementalRunTest(unittest.TestCase):
    def setUp(self):
        self.setup = Installation()
        self.work = WorkFolder()
        self.service = UpdateService({})
        self.base = self.service.start()

    def tearDown(self):
        self.service.stop()
        self.work.cleanup()
        self.setup.cleanup()

    def serve(self, old=None, new=None):
        package, config = cut_package(old or self.setup.old, new or self.setup.new, self.setup.out,
                                      self.base + "/packages/pkg-2.0.0.0.zzd")
        # The reply comes late, so that the monitor is surely connected first.
        config.setdefault("faults", {})["/v2/update/ostrel"] = {"delay_ms_per_chunk": 1500,
                                                                "chunk": 1 << 20}
        self.service.set_config(config)
        return package

    def run_update(self, update_path=None):
        env = self.work.env(ZEMORA_UPDATE_SERVICE=self.base, ZEMORA_STAT_SERVICE=self.base)
        run = MonitoredRun(self.work)
        code = run.run_updater(env, ["--parent=1", "--channel=abc",
                                     "--update_path=" + win_path(update_path or self.setup.install) + "\\"])
        _, events = run.finish()
        return code, status_codes(events), events

    def pairs(self, events):
        return [(p["code"], p.get("parameter")) for p in packets(events) if p["code"] >= 2000]

    def test_flat_layout_is_updated_into_version_folders(self):
        self.serve()
        code, codes, events = self.run_update()
        install = self.setup.install
        self.assertEqual(code, 0, self.work.log())
        self.assertIn((2010, 1), self.pairs(events))
        self.assertIn((2015, 0), self.pairs(events))
        self.assertIn((2016, 1), self.pairs(events), self.work.log())
        self.assertIn(2011, codes)
        self.assertTrue(same_tree(os.path.join(install, "2.0.0.0"), self.setup.new))
        self.assertTrue(same_tree(os.path.join(install, "1.0.0.0"), self.setup.old))
        for name in ("zemora.exe", "Uninst.exe"):
            with open(os.path.join(install, name), "rb") as a, \
                    open(os.path.join(self.setup.new, name), "rb") as b:
                self.assertEqual(a.read(), b.read())
        self.assertEqual(registry_value("HKCU\\Software\\Varnholt\\Zemora", "Version"), "2.0.0.0")
        self.assertFalse(os.path.exists(self.work.file("Update", "Zemora")))
        self.assertIn("DoIncrementInstall result: 0, cost time: ", self.work.log())
        self.assertEqual([s["code"] for s in self.service.stats()], [3000])

    def test_versioned_layout_only_reads_its_base(self):
        install = self.setup.install
        shutil.rmtree(install)
        shutil.copytree(self.setup.old, os.path.join(install, "1.0.0.0"))
        self.serve()
        before = tree_snapshot(os.path.join(install, "1.0.0.0"))
        code, _, events = self.run_update(os.path.join(install, "1.0.0.0"))
        self.assertEqual(code, 0)
        self.assertIn((2016, 1), self.pairs(events), self.work.log())
        self.assertEqual(tree_snapshot(os.path.join(install, "1.0.0.0")), before)
        self.assertTrue(same_tree(os.path.join(install, "2.0.0.0"), self.setup.new))

    def test_a_changed_base_file_fails_and_changes_nothing(self):
        self.serve()
        with open(os.path.join(self.setup.install, "data", "big.bin"), "r+b") as f:
            f.write(b"user edit")
        before = tree_snapshot(self.setup.install)
        # The download's own check looks at a pristine copy; the install finds the edit.
        code, _, events = self.run_update(self.setup.old)
        self.assertEqual(code, 0)
        self.assertIn((2016, 0), self.pairs(events))
        self.assertIn("base version file checksum not match: ", self.work.log())
        self.assertIn("DoIncrementInstall result: 14", self.work.log())
        self.assertEqual(tree_snapshot(self.setup.install), before)
        self.assertEqual([s["code"] for s in self.service.stats()], [3000])

    def test_a_damaged_payload_fails_with_the_crc_lines(self):
        package = self.serve()
        with open(package, "r+b") as f:
            f.seek(-10, os.SEEK_END)
            byte = f.read(1)
            f.seek(-10, os.SEEK_END)
            f.write(bytes([byte[0] ^ 0xFF]))
        # The package's MD5 changed with it: re-announce it.
        import hashlib
        with open(package, "rb") as f:
            digest = hashlib.md5(f.read()).hexdigest()
        config = self.service.config
        for channel, reply in config["replies"].items():
            import re
            config["replies"][channel] = re.sub(r"<md5>[0-9a-fA-F]+</md5>", f"<md5>{digest}</md5>", reply, 1)
        self.service.set_config(config)
        before = tree_snapshot(self.setup.install)
        code, _, events = self.run_update()
        self.assertEqual(code, 0)
        self.assertIn((2016, 0), self.pairs(events))
        log = self.work.log()
        self.assertIn("CRC verification failed for ", log)
        self.assertIn("extract setup.xml failed", log)
        self.assertEqual(tree_snapshot(self.setup.install), before)


class SelfReplacementRunTest(unittest.TestCase):
    """A package that brings a new Update.exe: the running updater prepares it
    in the work folder, starts it and ends; the new one completes the install."""

    def setUp(self):
        from harness import program
        self.setup = Installation()
        self.work = WorkFolder()
        self.service = UpdateService({})
        self.base = self.service.start()
        with open(program("Update.exe"), "rb") as f:
            updater = f.read()
        for folder, tail in ((self.setup.old, b""), (self.setup.install, b""),
                             (self.setup.new, b"\0new updater build\0")):
            # Bytes past the image change the file's MD5, not the program.
            with open(os.path.join(folder, "Update.exe"), "wb") as f:
                f.write(updater + tail)

    def tearDown(self):
        self.service.stop()
        self.work.cleanup()
        self.setup.cleanup()

    def test_the_new_updater_completes_the_install(self):
        import subprocess
        import time
        from harness import wait_for
        _, config = cut_package(self.setup.old, self.setup.new, self.setup.out,
                                self.base + "/packages/pkg-2.0.0.0.zzd")
        config.setdefault("faults", {})["/v2/update/ostrel"] = {"delay_ms_per_chunk": 1500,
                                                                "chunk": 1 << 20}
        self.service.set_config(config)
        env = self.work.env(ZEMORA_UPDATE_SERVICE=self.base, ZEMORA_STAT_SERVICE=self.base)
        run = MonitoredRun(self.work, ["--follow"])
        install = self.setup.install
        first = subprocess.run(
            ["wine", os.path.join(install, "Update.exe"), "--parent=1a2b", "--channel=abc",
             "--update_path=" + win_path(install) + "\\", "--lp=\\\\.\\pipe\\" + run.pipe],
            env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, timeout=180)
        self.assertEqual(first.returncode, 21, self.work.log())
        self.assertTrue(os.path.exists(self.work.file("Update", "Update.xml")))
        self.assertTrue(os.path.exists(self.work.file("Update", "Zemora", "global.dll")))
        self.assertTrue(wait_for(lambda: "DoIncrementInstall result: 0" in self.work.log(), 120),
                        self.work.log())
        self.assertTrue(wait_for(lambda: self.service.stats(), 30))
        time.sleep(1)
        _, events = run.finish()
        codes = [(p["code"], p.get("parameter")) for p in packets(events) if p["code"] >= 2000]
        self.assertIn((2015, 0), codes)
        self.assertIn((2019, None), codes)
        self.assertLess(codes.index((2015, 0)), codes.index((2019, None)))
        self.assertNotIn((2016, 0), codes)
        self.assertEqual([s["code"] for s in self.service.stats()], [3000])
        queries = [r for r in self.service.requests() if r.startswith("/v2/update/ostrel")]
        self.assertEqual(len(queries), 1, "the relaunched updater reads Update.xml instead")
        self.assertTrue(same_tree(os.path.join(install, "2.0.0.0"), self.setup.new))


if __name__ == "__main__":
    unittest.main()
