"""Helpers for tests that drive the built Windows programs under Wine."""
import os
import shutil
import subprocess
import tempfile
import time

BIN_DIR = os.environ.get("ZEMORA_BIN_DIR", os.path.join(os.path.dirname(__file__), "../../build/bin"))
SOURCE_DIR = os.environ.get("ZEMORA_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "../.."))


def win_path(path):
    """The Windows name of a Linux path under Wine's Z: drive."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def program(name):
    return os.path.join(BIN_DIR, name)


def wine_env(**extra):
    env = dict(os.environ)
    env.setdefault("WINEDEBUG", "-all")
    env.update({k: v for k, v in extra.items() if v is not None})
    return env


def run_windows(name, args, env=None, timeout=120):
    """Runs a built Windows program to its end; returns (exit code, stdout)."""
    done = subprocess.run(["wine", program(name)] + list(args), env=env or wine_env(),
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=timeout)
    return done.returncode, done.stdout.decode("utf-8", "replace")


def start_windows(name, args, env=None, stdout=None):
    return subprocess.Popen(["wine", program(name)] + list(args), env=env or wine_env(),
                            stdin=subprocess.DEVNULL, stdout=stdout or subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)


def wait_for(predicate, timeout=30.0, step=0.05):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(step)
    return predicate()


class WorkFolder:
    """A private work folder for one updater run, with the log turned on."""

    def __init__(self, log=True):
        self.path = tempfile.mkdtemp(prefix="zemora-work-")
        if log:
            open(os.path.join(self.path, "Update.log"), "wb").close()

    def env(self, **extra):
        return wine_env(ZEMORA_WORK_DIR=win_path(self.path), **extra)

    def file(self, *parts):
        return os.path.join(self.path, *parts)

    def log(self):
        with open(self.file("Update.log"), "rb") as f:
            return f.read().decode("latin-1")

    def cleanup(self):
        shutil.rmtree(self.path, ignore_errors=True)
