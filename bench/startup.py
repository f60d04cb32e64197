#!/usr/bin/env python3
"""Whole-process start-up of launchwright against a minimal Qt list, on real temporary folders.

For each size (user autostart files / machine autostart files / customized entries) it builds
a temporary HOME with XDG_CONFIG_HOME and XDG_CONFIG_DIRS folders and a temporary program
directory (a copy of the built program directory with its own 0013cst.ini), then runs, in
turn (alternating which goes first), the real program and minimal_list, both offscreen and both ending right after the
first paint of their list (LW_EXIT_AFTER_FIRST_PAINT=1). CPU time is the child's user+sys time
as the kernel accounts it (wait4); the ratio is taken pair by pair and its median reported.
Also: `launchwright list --json` wall time when the program accepts that command, and with
--tray-rss the peak RSS of a run started at logon (tray mode) over 100k customized entries.

Usage: bench/startup.py BIN_DIR MINIMAL_LIST [--runs N] [--sizes 1000/1000/1000,...]
                        [--tray-rss]
"""

import argparse
import datetime
import json
import os
import random
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HEADER = "Kestrumsoft Launchwright - Customized Entries\r\n" + "=" * 46 + "\r\n\r\n"


def not_due_today():
    """A rule that no tick starts while the benchmark runs: only on tomorrow's weekday
    (1 is Sunday), last started this minute."""
    now = datetime.datetime.now()
    tomorrow = (now.isoweekday() + 1) % 7 + 1
    return "09" + "0" * 13 + str(tomorrow) + "00" + f"{now:%Y%m%d%H%M}"


def customized_file(count):
    rule = not_due_today()
    blocks = [f"Custom {i:06d}\r\n/usr/bin/true --custom {i:06d}\r\n{rule}\r\n====="
              for i in range(count)]
    return HEADER + "\r\n".join(blocks)


def autostart_folder(folder, prefix, count):
    os.makedirs(folder, exist_ok=True)
    for i in range(count):
        with open(os.path.join(folder, f"{prefix}-{i:06d}.desktop"), "w") as f:
            f.write("[Desktop Entry]\nType=Application\n"
                    f"Name={prefix} {i:06d}\nExec=/usr/bin/true --{prefix} {i:06d}\n")


def make_world(root, bin_dir, users, machines, customs, marker=False):
    home = os.path.join(root, "home")
    config = os.path.join(home, ".config")
    xdg = os.path.join(root, "xdg")
    program = os.path.join(root, "program")
    autostart_folder(os.path.join(config, "autostart"), "user", users)
    autostart_folder(os.path.join(xdg, "autostart"), "machine", machines)
    os.makedirs(program)
    # Every desktop session has a private runtime folder (pam_systemd makes it); Qt and the
    # instance guard use it.
    runtime = os.path.join(root, "runtime")
    os.makedirs(runtime, mode=0o700)
    for name in ("launchwright", "rwlaunch", "config.ini", "0013trl.ini", "0013bkp.ini",
                 "help.chm"):
        if os.path.exists(os.path.join(bin_dir, name)):
            shutil.copy2(os.path.join(bin_dir, name), program)
    with open(os.path.join(program, "0013cst.ini"), "w", newline="") as f:
        f.write(customized_file(customs))
    if marker:
        os.makedirs(os.path.join(config, "launchwright"), exist_ok=True)
        with open(os.path.join(config, "launchwright", "registry.ini"), "w") as f:
            f.write("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrum\\Kestrumsoft Runwarden]\n"
                    "Autostart=x\n")
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=config, XDG_CONFIG_DIRS=xdg,
               XDG_RUNTIME_DIR=runtime, QT_QPA_PLATFORM="offscreen",
               LW_EXIT_AFTER_FIRST_PAINT="1")
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    return program, env


def median_interval(values, rounds=2000, seed=1):
    """A 95% bootstrap interval of the median: how far chance alone could move it."""
    pick = random.Random(seed)
    medians = sorted(statistics.median(pick.choices(values, k=len(values)))
                     for _ in range(rounds))
    return medians[int(0.025 * rounds)], medians[int(0.975 * rounds) - 1]


def run(command, env, timeout=120):
    """CPU seconds (user+sys), wall seconds, peak RSS in KiB, exit status, stdout."""
    start = time.monotonic()
    child = subprocess.Popen(command, env=env, stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL)
    out = b""
    deadline = start + timeout
    os.set_blocking(child.stdout.fileno(), False)
    while True:
        pid, status, usage = os.wait4(child.pid, os.WNOHANG)
        if pid:
            wall = time.monotonic() - start
            break
        chunk = child.stdout.read()
        if chunk:
            out += chunk
        if time.monotonic() > deadline:
            child.kill()
            pid, status, usage = os.wait4(child.pid, 0)
            wall = time.monotonic() - start
            break
        time.sleep(0.0005)
    rest = child.stdout.read()
    if rest:
        out += rest
    child.stdout.close()
    return (usage.ru_utime + usage.ru_stime, wall, usage.ru_maxrss,
            os.waitstatus_to_exitcode(status), out)


def startup(bin_dir, minimal, sizes, runs):
    results = []
    for users, machines, customs in sizes:
        with tempfile.TemporaryDirectory(prefix="lw-startup-") as root:
            program, env = make_world(root, bin_dir, users, machines, customs)
            real = [os.path.join(program, "launchwright")]
            bare = [minimal, os.path.join(program, "0013cst.ini")]
            # Warm-up: fills the page cache, and lets the program enter its starter value once.
            for command in (real, bare):
                if run(command, env)[3] != 0:
                    sys.exit(f"{command[0]} did not end at its first paint")
            cpu = {"real": [], "bare": []}
            wall = {"real": [], "bare": []}
            rss = {"real": [], "bare": []}
            ratios = []
            for i in range(runs):
                # Alternate which goes first, so that neither gains from the other's cache.
                if i % 2 == 0:
                    a = run(real, env)
                    b = run(bare, env)
                else:
                    b = run(bare, env)
                    a = run(real, env)
                for key, r in (("real", a), ("bare", b)):
                    cpu[key].append(r[0])
                    wall[key].append(r[1])
                    rss[key].append(r[2])
                ratios.append(a[0] / b[0])
            entry = {
                "size": f"{users}/{machines}/{customs}",
                "launchwright_cpu_ms": 1000 * statistics.median(cpu["real"]),
                "minimal_cpu_ms": 1000 * statistics.median(cpu["bare"]),
                "cpu_ratio_median": statistics.median(ratios),
                "cpu_ratio_median_ci95": median_interval(ratios),
                "cpu_ratio_min": min(ratios),
                "cpu_ratio_max": max(ratios),
                "launchwright_wall_ms": 1000 * statistics.median(wall["real"]),
                "minimal_wall_ms": 1000 * statistics.median(wall["bare"]),
                "launchwright_peak_rss_mib": statistics.median(rss["real"]) / 1024,
                "minimal_peak_rss_mib": statistics.median(rss["bare"]) / 1024,
            }
            # The listing without a window, when the program has that command.
            listing = real + ["list", "--json"]
            probe = run(listing, env, timeout=30)
            try:
                json.loads(probe[4])
                accepted = probe[3] == 0
            except ValueError:
                accepted = False
            if accepted:
                entry["list_json_wall_ms"] = 1000 * statistics.median(
                    run(listing, env)[1] for _ in range(runs))
            else:
                entry["list_json_wall_ms"] = "skipped: the program has no `list --json`"
            results.append(entry)
            print(json.dumps(entry), flush=True)
    return results


def tray_rss(bin_dir, customs):
    """Peak RSS of a run started at logon (tray mode) after its first tick has reloaded."""
    with tempfile.TemporaryDirectory(prefix="lw-tray-") as root:
        program, env = make_world(root, bin_dir, 0, 0, customs, marker=True)
        del env["LW_EXIT_AFTER_FIRST_PAINT"]
        registry = os.path.join(env["XDG_CONFIG_HOME"], "launchwright", "registry.ini")
        child = subprocess.Popen([os.path.join(program, "launchwright")], env=env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # The first tick's reload writes the background-mode value; give it a tick more.
        deadline = time.monotonic() + 120
        while time.monotonic() < deadline:
            with open(registry) as f:
                if "background control" in f.read():
                    break
            time.sleep(0.2)
        else:
            child.kill()
            sys.exit("the program never reloaded its entries")
        time.sleep(3)
        child.send_signal(signal.SIGTERM)
        _, _, usage = os.wait4(child.pid, 0)
        entry = {"tray_customized": customs, "peak_rss_mib": usage.ru_maxrss / 1024}
        print(json.dumps(entry), flush=True)
        return entry


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("bin_dir")
    parser.add_argument("minimal_list")
    # Single pairs vary by about 15% on a busy or virtual machine: a ratio near 1 needs many.
    parser.add_argument("--runs", type=int, default=41)
    parser.add_argument("--sizes", default="1000/1000/1000,10000/10000/1000")
    parser.add_argument("--tray-rss", action="store_true",
                        help="also measure tray-mode peak RSS with 100k customized entries")
    args = parser.parse_args()
    sizes = [tuple(int(n) for n in size.split("/")) for size in args.sizes.split(",") if size]
    startup(os.path.abspath(args.bin_dir), os.path.abspath(args.minimal_list), sizes, args.runs)
    if args.tray_rss:
        tray_rss(os.path.abspath(args.bin_dir), 100000)


if __name__ == "__main__":
    main()
