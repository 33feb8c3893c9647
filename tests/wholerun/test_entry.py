"""The entry point as the main application meets it: options, single instance,
and the shipped files themselves."""
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from harness import WorkFolder, program, run_windows, start_windows, wait_for, win_path  # noqa: E402


def pe_facts(path):
    return subprocess.run(["file", "-b", path], capture_output=True, text=True).stdout


def imports(path):
    out = subprocess.run(["i686-w64-mingw32-objdump", "-p", path], capture_output=True, text=True).stdout
    return {line.split("DLL Name:")[1].strip().lower() for line in out.splitlines() if "DLL Name:" in line}


class ShippedFilesTest(unittest.TestCase):
    def test_update_exe_is_a_32_bit_gui_program_importing_global_dll(self):
        facts = pe_facts(program("Update.exe"))
        self.assertIn("PE32 executable (GUI) Intel 80386", facts)
        names = imports(program("Update.exe"))
        self.assertIn("global.dll", names)
        self.assertFalse({n for n in names if n.startswith(("libgcc", "libstdc++", "libwinpthread"))})

    def test_global_dll_is_a_32_bit_dll_without_runtime_dlls(self):
        self.assertIn("PE32 executable (DLL)", pe_facts(program("global.dll")))
        names = imports(program("global.dll"))
        self.assertFalse({n for n in names if n.startswith(("libgcc", "libstdc++", "libwinpthread"))})


class OptionsTest(unittest.TestCase):
    def setUp(self):
        self.work = WorkFolder()

    def tearDown(self):
        self.work.cleanup()

    def test_missing_or_malformed_parent_exits_12_and_logs_nothing(self):
        for args in ([], ["--Parent=1a2b"], ["--parent="], ["--parent=zz"], ["--parent=ffffffff"]):
            with self.subTest(args=args):
                code, _ = run_windows("Update.exe", args, env=self.work.env())
                self.assertEqual(code, 12)
                self.assertEqual(self.work.log(), "")

    def test_huge_option_values_do_not_crash(self):
        code, _ = run_windows("Update.exe", ["--parent=zz", "--channel=" + "x" * 20000, "--" + "y" * 5000 + "=" + "\u00e9" * 2000],
                              env=self.work.env())
        self.assertEqual(code, 12)

    def test_a_second_updater_exits_0_at_once(self):
        stop, ready = self.work.file("stop"), self.work.file("ready")
        holder = start_windows("hold_mutex.exe", [win_path(stop), win_path(ready)], env=self.work.env())
        try:
            self.assertTrue(wait_for(lambda: os.path.exists(ready)))
            code, _ = run_windows("Update.exe", ["--parent=1a2b"], env=self.work.env(), timeout=30)
            self.assertEqual(code, 0)
            self.assertEqual(self.work.log(), "")
        finally:
            open(stop, "w").close()
            holder.wait(timeout=60)


if __name__ == "__main__":
    unittest.main()
