"""The status pipe from the outside: the real Update.exe serving it, with
statusmon.exe in the main application's place, or with nobody listening."""
import json
import os
import subprocess
import sys
import time
import unittest
import uuid

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.environ.get("ZEMORA_SOURCE_DIR", os.path.join(HERE, "../.."))
SERVICE_DIR = os.path.join(SOURCE_DIR, "tools", "updateservice")
sys.path.insert(0, SERVICE_DIR)
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "wholerun"))

from harness import WorkFolder, run_windows, start_windows, win_path  # noqa: E402

try:
    from updateservice import UpdateService  # noqa: E402
except ImportError:
    UpdateService = None

NOTHING_OFFERED = "<update><updatable>false</updatable></update>"
# The reply comes late, so that the monitor is surely connected before the
# run's packets go out.
SLOW_REPLY = {"/v2/update/ostrel": {"delay_ms_per_chunk": 1500, "chunk": 1 << 20}}

needs_service = unittest.skipIf(
    UpdateService is None,
    "tools/updateservice/updateservice.py is missing: no update service to run against")


def read_transcript(path):
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8") as f:
        return [json.loads(line) for line in f if line.strip()]


def packets(events):
    return [e for e in events if e["event"] == "packet"]


def status_codes(events):
    return [p["code"] for p in packets(events) if p["code"] >= 2000]


class MonitoredRun:
    """statusmon on a private pipe name, then one Update.exe run."""

    def __init__(self, work, monitor_args=()):
        self.work = work
        self.pipe = "zemora-statusmon-" + uuid.uuid4().hex
        self.transcript = work.file("transcript.jsonl")
        self.stdout_path = work.file("statusmon.out")
        self.stdout = open(self.stdout_path, "wb")
        self.monitor = start_windows(
            "statusmon.exe",
            ["--pipe", self.pipe, "--wait-ms", "60000", "--transcript", win_path(self.transcript)]
            + list(monitor_args), env=work.env(), stdout=self.stdout)

    def run_updater(self, env, args=("--parent=1",)):
        code, _ = run_windows("Update.exe", list(args) + ["--lp=\\\\.\\pipe\\" + self.pipe],
                              env=env, timeout=180)
        return code

    def finish(self, timeout=60):
        try:
            code = self.monitor.wait(timeout=timeout)
        finally:
            if self.monitor.poll() is None:
                self.monitor.kill()
                self.monitor.wait()
            self.stdout.close()
        with open(self.stdout_path, "rb") as f:
            self.output = f.read().decode("utf-8", "replace")
        return code, read_transcript(self.transcript)


@needs_service
class UpdaterWithMonitorTest(unittest.TestCase):
    def setUp(self):
        self.work = WorkFolder()
        self.addCleanup(self.work.cleanup)
        self.service = UpdateService({})
        self.base = self.service.start()
        self.addCleanup(self.service.stop)

    def env(self):
        return self.work.env(ZEMORA_UPDATE_SERVICE=self.base, ZEMORA_STAT_SERVICE=self.base)

    def test_nothing_offered_reaches_the_monitor_and_the_pipe_closes_at_the_end(self):
        self.service.set_config({"default_reply": NOTHING_OFFERED, "faults": SLOW_REPLY})
        run = MonitoredRun(self.work, ["--poll-ms", "100"])
        self.assertEqual(run.run_updater(self.env()), 0)
        exit_code, events = run.finish()
        self.assertEqual(exit_code, 0, run.output)
        self.assertEqual(events[0]["event"], "connected")
        self.assertEqual([e["event"] for e in events[-2:]], ["closed", "end"])
        self.assertEqual(events[-1]["outcome"], "success")
        # 2003 goes out as the check starts, possibly before the monitor is in.
        codes = [c for c in status_codes(events) if c != 2003]
        self.assertEqual(codes, [2011, 2012])
        for p in packets(events):
            self.assertEqual(p["kind"], 0)
            self.assertEqual(p["size"], 5 if p["code"] >= 2000 else 9)

        # The states answered follow the packets: checking while the reply is
        # awaited (idle only if asked before the run began), no update after
        # 2011 (engine) and 2012 (application).
        replies = {1008: [], 1009: []}
        seen = set()
        for p in packets(events):
            if p["code"] in replies:
                after = (2011 if p["code"] == 1008 else 2012) in seen
                replies[p["code"]].append((after, p["parameter"]))
            seen.add(p["code"])
        for code, answers in replies.items():
            self.assertTrue(answers, "no reply to %d" % code)
            for after, state in answers:
                self.assertIn(state, (3,) if after else (0, 1), (code, answers))
        self.assertIn("2012 -    no application update is offered", run.output)
        self.assertIn("1009 1    application state: Checking", run.output)

    def test_a_failed_check_is_a_failure_for_the_monitor(self):
        self.service.set_config({
            "default_reply": NOTHING_OFFERED,
            "faults": {"/v2/update/ostrel": dict(SLOW_REPLY["/v2/update/ostrel"],
                                                 body="this is not xml")}})
        run = MonitoredRun(self.work)
        self.assertEqual(run.run_updater(self.env()), 4)
        exit_code, events = run.finish()
        self.assertEqual(exit_code, 1, run.output)
        self.assertEqual([c for c in status_codes(events) if c != 2003], [2006])
        self.assertEqual(packets(events)[-1]["parameter"], 0)
        self.assertEqual(events[-1]["outcome"], "failure")

    def test_without_a_client_the_run_completes_and_every_packet_is_a_failed_write(self):
        self.service.set_config({"default_reply": NOTHING_OFFERED, "faults": SLOW_REPLY})
        pipe = "\\\\.\\pipe\\zemora-nobody-" + uuid.uuid4().hex
        code, _ = run_windows("Update.exe", ["--parent=1", "--lp=" + pipe], env=self.env())
        self.assertEqual(code, 0)
        log = self.work.log()
        # 2003 may come before the pipe exists, and is then dropped silently.
        for status in (2011, 2012):
            self.assertIn("write pack size for cmd %d failed: 536\r\n" % status, log)
        self.assertNotIn("create pipe failed", log)


class MonitorAloneTest(unittest.TestCase):
    def setUp(self):
        self.work = WorkFolder(log=False)
        self.addCleanup(self.work.cleanup)

    def test_help_documents_the_options(self):
        code, out = run_windows("statusmon.exe", ["--help"])
        self.assertEqual(code, 0)
        for option in ("--pipe", "--wait-ms", "--poll-ms", "--transcript", "--follow"):
            self.assertIn(option, out)

    def test_bad_options_exit_4(self):
        for args in (["--bogus"], ["--wait-ms", "soon"], ["--poll-ms"], ["--pipe="]):
            with self.subTest(args=args):
                code, _ = run_windows("statusmon.exe", args)
                self.assertEqual(code, 4)

    def test_no_server_within_the_wait_exits_3(self):
        transcript = self.work.file("t.jsonl")
        begin = time.monotonic()
        code, out = run_windows("statusmon.exe", ["--pipe", "zemora-absent-" + uuid.uuid4().hex,
                                                  "--wait-ms=300", "--transcript", win_path(transcript)])
        self.assertEqual(code, 3)
        self.assertLess(time.monotonic() - begin, 30)
        events = read_transcript(transcript)
        self.assertEqual([e["event"] for e in events], ["no_server", "end"])
        self.assertEqual(events[0]["error"], 2)


if __name__ == "__main__":
    unittest.main()
