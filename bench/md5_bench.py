"""global.dll's MD5 of a 200 MB file (Wine included) against md5sum."""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(__file__))
import benchlib  # noqa: E402


def main():
    folder = tempfile.mkdtemp(prefix="zemora-bench-md5-")
    path = os.path.join(folder, "data.bin")
    benchlib.make_random_file(path, 200 * 1000 * 1000)
    env = benchlib.wine_env()
    ours_cmd = ["wine", os.path.join(benchlib.BIN, "md5_file.exe"), benchlib.win_path(path)]
    ours_text = subprocess.run(ours_cmd, env=env, capture_output=True, text=True).stdout.strip()
    theirs_text = subprocess.run(["md5sum", path], capture_output=True, text=True).stdout.split()[0]
    if ours_text.lower() != theirs_text.lower():
        raise SystemExit(f"MD5 differs: {ours_text} vs {theirs_text}")
    ours = benchlib.timed(ours_cmd, env=env)
    baseline = benchlib.timed(["md5sum", path])
    benchlib.result("md5_200MB", ours, baseline, "<=1.25")
    os.remove(path)
    os.rmdir(folder)


if __name__ == "__main__":
    main()
