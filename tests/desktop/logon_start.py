#!/usr/bin/python3
"""A start at logon under a real X server with a tray host: the icon docks in the tray and the
main window is never mapped. A start by hand, as a check on the watch itself, maps it. Without a
tray host, under a real window manager, a start at logon leaves the window iconic (minimised).

Usage: logon_start.py BIN_DIR. Exits 77 (skipped) when Xvfb, trayer, openbox or python3-xlib is
missing.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77
TITLE = "Kestrumsoft Launchwright"

try:
    from Xlib import X, display as xdisplay, error as xerror
except ImportError:
    print("SKIPPED: python3-xlib is not installed")
    sys.exit(SKIP)
for tool in ("Xvfb", "trayer", "openbox"):
    if not shutil.which(tool):
        print(f"SKIPPED: {tool} is not installed")
        sys.exit(SKIP)


def start_x():
    read, write = os.pipe()
    # -noreset: the server would otherwise reset when the last client leaves between two runs,
    # and refuse the next run's first connection while it does.
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24",
                               "-nolisten", "tcp", "-noreset"], pass_fds=(write,),
                              stderr=subprocess.DEVNULL)
    os.close(write)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read, 16)
        if not chunk:
            raise SystemExit("Xvfb did not start")
        number += chunk
    os.close(read)
    return server, ":" + number.decode().strip()


def world(root, bin_dir, marker):
    home = os.path.join(root, "home")
    program = os.path.join(root, "program")
    os.makedirs(os.path.join(home, ".config", "launchwright"))
    os.makedirs(os.path.join(root, "runtime"), mode=0o700)
    os.makedirs(program)
    for name in ("launchwright", "rwlaunch", "config.ini", "0013trl.ini", "0013bkp.ini"):
        shutil.copy2(os.path.join(bin_dir, name), program)
    with open(os.path.join(program, "0013cst.ini"), "w") as f:
        f.write("")
    if marker:
        with open(os.path.join(home, ".config", "launchwright", "registry.ini"), "w") as f:
            f.write("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrum\\Kestrumsoft Runwarden]\n"
                    "Autostart=x\n")
    return program, dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                         XDG_CONFIG_DIRS=os.path.join(root, "xdg"),
                         XDG_DATA_HOME=os.path.join(home, "data"),
                         XDG_RUNTIME_DIR=os.path.join(root, "runtime"), QT_QPA_PLATFORM="xcb")


def name_of(window):
    try:
        return window.get_wm_name() or ""
    except xerror.XError:
        return ""


def run(bin_dir, display_name, marker, seconds):
    """What happened to the program's top-level windows: names mapped, and whether one was
    reparented into the tray."""
    root_dir = tempfile.mkdtemp()
    try:
        program, env = world(root_dir, bin_dir, marker)
        env["DISPLAY"] = display_name
        env["LAUNCHWRIGHT_EXIT_AFTER_MS"] = str(seconds * 1000)
        conn = xdisplay.Display(display_name)
        root = conn.screen().root
        root.change_attributes(event_mask=X.SubstructureNotifyMask)
        conn.sync()
        child = subprocess.Popen([os.path.join(program, "launchwright")], env=env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        mapped, docked = [], False
        deadline = time.monotonic() + seconds + 20
        while child.poll() is None and time.monotonic() < deadline:
            while conn.pending_events():
                event = conn.next_event()
                if event.type == X.MapNotify and event.event == root:
                    mapped.append(name_of(event.window))
                elif event.type == X.ReparentNotify and event.parent != root:
                    docked = True
            time.sleep(0.01)
        if child.poll() is None:
            child.kill()
            raise SystemExit("the program did not end")
        conn.close()
        return mapped, docked
    finally:
        shutil.rmtree(root_dir, ignore_errors=True)


def window_states(bin_dir, display_name, seconds):
    """The ICCCM states the window manager gave the main window while a logon start ran."""
    root_dir = tempfile.mkdtemp()
    try:
        program, env = world(root_dir, bin_dir, True)
        env["DISPLAY"] = display_name
        env["LAUNCHWRIGHT_EXIT_AFTER_MS"] = str(seconds * 1000)
        conn = xdisplay.Display(display_name)
        wm_state = conn.intern_atom("WM_STATE")
        child = subprocess.Popen([os.path.join(program, "launchwright")], env=env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        states = set()
        deadline = time.monotonic() + seconds + 20

        def visit(window):
            try:
                if name_of(window) == TITLE:
                    state = window.get_full_property(wm_state, X.AnyPropertyType)
                    if state:
                        states.add(state.value[0])
                for below in window.query_tree().children:
                    visit(below)
            except xerror.XError:
                pass  # gone while looked at

        while child.poll() is None and time.monotonic() < deadline:
            visit(conn.screen().root)
            time.sleep(0.1)
        if child.poll() is None:
            child.kill()
            raise SystemExit("the program did not end")
        conn.close()
        return states
    finally:
        shutil.rmtree(root_dir, ignore_errors=True)


def without_tray(bin_dir, display_name):
    """Under openbox with no tray host: the logon start's window is iconic, never normal."""
    manager = subprocess.Popen(["openbox", "--sm-disable"], env=dict(os.environ,
                               DISPLAY=display_name), stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        conn = xdisplay.Display(display_name)
        check = conn.intern_atom("_NET_SUPPORTING_WM_CHECK")
        for _ in range(200):
            if conn.screen().root.get_full_property(check, X.AnyPropertyType):
                break
            time.sleep(0.05)
        else:
            return ["the window manager did not start"]
        conn.close()
        normal, iconic = 1, 3
        states = window_states(bin_dir, display_name, 9)
        if iconic not in states or normal in states:
            return [f"a logon start without a tray was not iconic: WM_STATE {sorted(states)}"]
        return []
    finally:
        manager.kill()
        manager.wait()


def main():
    bin_dir = sys.argv[1]
    server, display_name = start_x()
    tray = None
    try:
        tray = subprocess.Popen(["trayer", "--edge", "bottom", "--widthtype", "pixel",
                                 "--width", "200"], env=dict(os.environ, DISPLAY=display_name),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        conn = xdisplay.Display(display_name)
        selection = conn.intern_atom("_NET_SYSTEM_TRAY_S0")
        for _ in range(200):
            if conn.get_selection_owner(selection) != X.NONE:
                break
            time.sleep(0.05)
        else:
            raise SystemExit("the tray host did not take the tray")
        conn.close()

        failures = []
        # Marker set: the program waits 5.5 s as at logon, then goes to the tray.
        mapped, docked = run(bin_dir, display_name, True, 10)
        if TITLE in mapped:
            failures.append(f"logon start mapped the main window: {mapped}")
        if not docked:
            failures.append("logon start put no icon in the tray")
        mapped, _ = run(bin_dir, display_name, False, 3)
        if TITLE not in mapped:
            failures.append(f"a start by hand mapped no main window (the watch sees nothing): "
                            f"{mapped}")
        tray.kill()
        tray.wait()
        tray = None
        failures += without_tray(bin_dir, display_name)
        for failure in failures:
            print("FAILED:", failure)
        if not failures:
            print("passed: the logon start mapped no window and docked its icon; without a tray "
                  "host it was iconic")
        return 1 if failures else 0
    finally:
        if tray:
            tray.kill()
        server.kill()


sys.exit(main())
