#!/usr/bin/env python3
"""The logon recorder's own cost: CPU and peak memory of `rwlaunch --record` over a
session of N autostart entries whose programs run (sleep), measured as the kernel accounts the
process (wait4). Everything lives in a temporary HOME, XDG_CONFIG_HOME and program folder; no
user manager is reachable, so the recorder samples /proc as in a session without systemd.

    bench/impact.py build/bin [--entries 100] [--seconds 60] [--earlier 10]

The measured recording is a typical logon's: `--earlier` recordings are made first (each reads
once), so that it finds the recordings file full and its lock file there, as every logon after
the tenth does. `--earlier 0` measures the first logon after installing instead.
"""
import argparse
import os
import shutil
import tempfile
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("bin")
    parser.add_argument("--entries", type=int, default=100)
    parser.add_argument("--seconds", type=int, default=60)
    parser.add_argument("--earlier", type=int, default=10)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="lw-impact-bench-")
    try:
        program = os.path.join(work, "program")
        os.makedirs(program)
        for name in ("rwlaunch", "0013trl.ini", "config.ini", "0013cst.ini", "0013bkp.ini"):
            shutil.copy2(os.path.join(args.bin, name), program)
        autostart = os.path.join(work, "config", "autostart")
        bin_dir = os.path.join(work, "bin")
        os.makedirs(autostart)
        os.makedirs(bin_dir)
        os.makedirs(os.path.join(work, "run"), mode=0o700)
        sleeper = shutil.which("sleep")
        programs = []
        for i in range(args.entries):
            path = os.path.join(bin_dir, "entry%03d" % i)
            os.symlink(sleeper, path)
            programs.append(path)
            with open(os.path.join(autostart, "entry%03d.desktop" % i), "w") as f:
                f.write("[Desktop Entry]\nType=Application\nName=entry%03d\nExec=%s 600\n" % (i, path))
        env = dict(os.environ, HOME=work, XDG_CONFIG_HOME=os.path.join(work, "config"),
                   XDG_CONFIG_DIRS=os.path.join(work, "xdg"),
                   XDG_RUNTIME_DIR=os.path.join(work, "run"),
                   DBUS_SESSION_BUS_ADDRESS="unix:path=" + os.path.join(work, "nobus"))
        reader, writer = os.pipe()
        leader = os.fork()
        if leader == 0:
            # The session: a leader of its own that starts every entry, then the recorder, whose
            # own figures it passes on (the forks before it are not the recorder's cost).
            os.setsid()
            for path in programs:
                if os.fork() == 0:
                    os.execve(path, [path, "600"], env)
            recorder = os.path.join(program, "rwlaunch")
            for _ in range(args.earlier):
                earlier = os.posix_spawn(recorder, [recorder, "--record", "--seconds", "0"], env)
                if os.waitstatus_to_exitcode(os.waitpid(earlier, 0)[1]) != 0:
                    os._exit(1)
            # posix_spawn shares this process's memory until the exec, so that none of Python's
            # CPU counts as the recorder's. Its peak memory is VmHWM of its own address space,
            # read while it runs (ru_maxrss would start from Python's).
            child = os.posix_spawn(recorder, [recorder, "--record", "--seconds", str(args.seconds)],
                                   env)
            peak = 0
            while True:
                done, status, usage = os.wait4(child, os.WNOHANG)
                if done:
                    break
                try:
                    with open("/proc/%d/status" % child) as status_file:
                        for line in status_file:
                            if line.startswith("VmHWM:"):
                                peak = max(peak, int(line.split()[1]))
                except OSError:
                    pass
                time.sleep(0.005)
            os.write(writer, ("%d %f %f %d" % (os.waitstatus_to_exitcode(status), usage.ru_utime,
                                               usage.ru_stime, peak)).encode())
            os.killpg(0, 15)
            os._exit(0)
        os.close(writer)
        figures = os.read(reader, 200).decode().split()
        os.waitpid(leader, 0)
        status, user, system, rss = int(figures[0]), float(figures[1]), float(figures[2]), int(figures[3])
        print("recorder, %d entries, %d s: exit %d, CPU %.1f ms (user %.1f, sys %.1f), peak RSS %.1f MiB (VmHWM)"
              % (args.entries, args.seconds, status, (user + system) * 1000, user * 1000,
                 system * 1000, rss / 1024))
        if status != 0:
            raise SystemExit("the recorder failed")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
