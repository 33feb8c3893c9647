"""Whole runs that offer a full installer while no main application listens:
Update.exe runs it silently, with its path quoted, and waits for it."""
import hashlib
import os
import shutil
import sys
import tempfile
import unittest
import uuid

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from harness import WorkFolder, program, run_windows, win_path  # noqa: E402
from install_fixture import remove_product_key, set_install_dir  # noqa: E402
from updateservice import UpdateService  # noqa: E402


class FullInstallerRunTest(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="zemora-full-")
        self.work = WorkFolder()
        # A work folder with a space: the installer lands in its "Update\" folder.
        self.work_root = self.work.path
        spaced = os.path.join(self.work.path, "with space")
        os.makedirs(spaced)
        shutil.move(self.work.file("Update.log"), os.path.join(spaced, "Update.log"))
        self.work.path = spaced
        self.install = os.path.join(self.root, "Zemora")
        os.makedirs(self.install)
        installer = os.path.join(self.root, "setup.exe")
        shutil.copy(program("fake_installer.exe"), installer)
        with open(installer, "rb") as f:
            digest = hashlib.md5(f.read()).hexdigest()
        self.service = UpdateService({"files": {"/files/setup.exe": installer}})
        base = self.service.start()
        self.service.set_config({
            "files": {"/files/setup.exe": installer},
            "default_reply": f"<update><updatable>true</updatable><url>{base}/files/setup.exe?x=1</url>"
                             f"<md5>{digest.upper()}</md5><version_code>190</version_code></update>"})
        self.env = dict(self.work.env(ZEMORA_UPDATE_SERVICE=base, ZEMORA_STAT_SERVICE=base),
                        ZEMORA_FAKE_INSTALLER_LOG=win_path(os.path.join(self.root, "installer.log")))

    def tearDown(self):
        self.service.stop()
        remove_product_key()
        shutil.rmtree(self.work_root, ignore_errors=True)
        shutil.rmtree(self.root, ignore_errors=True)

    def run_update(self, exit_code):
        env = dict(self.env, ZEMORA_FAKE_INSTALLER_EXIT=str(exit_code))
        code, _ = run_windows("Update.exe", ["--parent=1", "--channel=abc",
                                             "--lp=\\\\.\\pipe\\nobody-" + uuid.uuid4().hex], env=env)
        return code

    def installer_log(self):
        path = os.path.join(self.root, "installer.log")
        return open(path, encoding="utf-8").read() if os.path.exists(path) else ""

    def test_the_installer_runs_silently_with_its_path_quoted(self):
        set_install_dir(win_path(self.install))
        package = win_path(self.work.file("Update", "setup.exe"))
        for exit_code in (0, 3010):
            with self.subTest(exit_code=exit_code):
                before = len(self.service.stats())
                self.assertEqual(self.run_update(exit_code), 0)
                self.assertEqual(self.installer_log().splitlines()[-1],
                                 f'"{package}" /silent ##silence=1&runwhensilent=0')
                self.assertIn(f"zemora install package run return: {exit_code}", self.work.log())
                self.assertEqual([s["code"] for s in self.service.stats()[before:]], [3000])

    def test_without_install_folder_the_installer_is_not_run(self):
        remove_product_key()
        self.assertEqual(self.run_update(0), 0)
        self.assertEqual(self.installer_log(), "")
        self.assertIn("Zemora install path not found", self.work.log())
        self.assertEqual([s["code"] for s in self.service.stats()], [3000])


if __name__ == "__main__":
    unittest.main()
