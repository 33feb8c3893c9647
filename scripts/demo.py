#!/usr/bin/env python3
"""The demo update: a sample Zemora 1.0.0.0 installed in a Wine prefix is
updated to 2.0.0.0 by Update.exe, with the status monitor in the main
application's place, from a package cut by mkpackage and served by the local
update service. Run by scripts/demo.sh after the build."""
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.environ.get("BUILD_DIR", os.path.join(ROOT, "build"))
os.environ["ZEMORA_BIN_DIR"] = os.path.join(BUILD, "bin")
os.environ.setdefault("WINEPREFIX", os.path.join(BUILD, "demo-prefix"))
os.environ["WINEDEBUG"] = "-all"
sys.path.insert(0, os.path.join(ROOT, "tests", "wholerun"))
sys.path.insert(0, os.path.join(ROOT, "tools", "updateservice"))

from harness import program, win_path  # noqa: E402
import install_fixture as fx  # noqa: E402
from updateservice import UpdateService  # noqa: E402

PIPE = "zemora-demo"


def step(text):
    print(f"\n== {text}", flush=True)


def main():
    prefix = os.environ["WINEPREFIX"]
    drive_c = os.path.join(prefix, "drive_c")
    demo = os.path.join(BUILD, "demo")
    install = os.path.join(drive_c, "Zemora")
    work = os.path.join(drive_c, "ZemoraWork")
    for folder in (demo, install, work):
        shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(demo)
    os.makedirs(work)
    open(os.path.join(work, "Update.log"), "wb").close()

    step("A sample Zemora 1.0.0.0 installed in C:\\Zemora")
    old, new = os.path.join(demo, "1.0.0.0"), os.path.join(demo, "2.0.0.0")
    fx.make_old_version(old)
    fx.make_new_version(old, new)
    shutil.copytree(old, install)
    fx.set_install_dir("C:\\Zemora")
    subprocess.run(["wine", "reg", "add", fx.PRODUCT_KEY, "/v", "Version", "/d", "1.0.0.0", "/f"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    print("\n".join(sorted(os.listdir(install))))

    with UpdateService({}) as service:
        base = service.base_url
        step(f"The local update service at {base}; mkpackage cuts 1.0.0.0 -> 2.0.0.0")
        package, config = fx.cut_package(old, new, demo, base + "/packages/pkg-2.0.0.0.zzd",
                                         extra=["--verify"])
        config.setdefault("faults", {})["/v2/update/ostrel"] = {"delay_ms_per_chunk": 1000,
                                                                "chunk": 1 << 20}
        service.set_config(config)
        print(f"package {os.path.basename(package)}: {os.path.getsize(package)} bytes, verified")

        step("Update.exe runs; statusmon shows what the main application sees")
        env = dict(os.environ, ZEMORA_UPDATE_SERVICE=base, ZEMORA_STAT_SERVICE=base,
                   ZEMORA_WORK_DIR="C:\\ZemoraWork")
        monitor = subprocess.Popen(["wine", program("statusmon.exe"), "--pipe", PIPE,
                                    "--wait-ms", "60000", "--poll-ms", "500"],
                                   env=env, stdin=subprocess.DEVNULL)
        time.sleep(0.5)
        updater = subprocess.run(["wine", program("Update.exe"), "--parent=1a2b", "--channel=abc",
                                  "--update_path=C:\\Zemora\\", "--lp=\\\\.\\pipe\\" + PIPE],
                                 env=env, stdin=subprocess.DEVNULL)
        try:
            monitor.wait(timeout=60)
        except subprocess.TimeoutExpired:
            monitor.kill()
        print(f"Update.exe exit code: {updater.returncode}")
        stats = service.stats()

    step("What changed")
    for name in sorted(os.listdir(install)):
        kind = "folder" if os.path.isdir(os.path.join(install, name)) else "file"
        print(f"C:\\Zemora\\{name}  ({kind})")
    same = fx.same_tree(os.path.join(install, "2.0.0.0"), new)
    print(f"C:\\Zemora\\2.0.0.0 equals the new version byte for byte: {same}")
    print(f"registry Version: {fx.registry_value(fx.PRODUCT_KEY, 'Version')}")
    print(f"statistics report: {[s['code'] for s in stats]}")
    step("The updater's log (C:\\ZemoraWork\\Update.log)")
    with open(os.path.join(work, "Update.log"), "rb") as f:
        sys.stdout.write(f.read().decode("latin-1").replace("\r\n", "\n"))
    return 0 if updater.returncode == 0 and same else 1


if __name__ == "__main__":
    sys.exit(main())
