#!/usr/bin/env python3
"""Benchmarks of the cleanup engine against the tools a user would pick instead.

Run through bench/run.sh, which builds a Release tree first. Every figure is the median of
several runs; the tools of one table are run round-robin within each repetition, so that the
ratios compare runs made side by side. Everything happens under a temporary HOME with its own
XDG folders; the real home and Trash are never touched.
"""

import argparse
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

SCREENSHOT = "Screenshot 2024-05-01 at 10.15.{:06d}.png"


def parse_args():
    parser = argparse.ArgumentParser()
    parser.add_argument("--quillbrook", required=True)
    parser.add_argument("--floor", required=True)
    parser.add_argument("--sizes", default="1000,10000,100000")
    parser.add_argument("--reps", default="1000:5,10000:3,100000:2",
                        help="repetitions per N, as N:count pairs")
    parser.add_argument("--startup-reps", type=int, default=21)
    parser.add_argument("--selection-reps", type=int, default=9)
    parser.add_argument("--tray-rss", default="", help="command that prints the tray RSS in KiB")
    parser.add_argument("--workdir", default=None)
    return parser.parse_args()


class Home:
    """A temporary HOME with a Desktop, a settings file and a Trash of its own."""

    def __init__(self, root):
        self.root = root
        self.home = os.path.join(root, "home")
        self.config = os.path.join(self.home, ".config")
        self.data = os.path.join(self.home, ".local", "share")
        self.desktop = os.path.join(self.home, "Desktop")
        self.trash = os.path.join(self.data, "Trash")
        for folder in (self.config, self.data, self.desktop):
            os.makedirs(folder, exist_ok=True)
        self.env = dict(os.environ, HOME=self.home, XDG_CONFIG_HOME=self.config,
                        XDG_DATA_HOME=self.data, LC_ALL="C.UTF-8")
        for key in ("DISPLAY", "WAYLAND_DISPLAY"):
            self.env.pop(key, None)

    def settings(self, old):
        # With a birth time on every file, an age limit of 0 hours makes everything made before
        # the run old; without the keys the default limit of one day applies.
        folder = os.path.join(self.config, "quillbrook")
        os.makedirs(folder, exist_ok=True)
        lines = ["[General]", "sourceFolder=" + self.desktop]
        if old:
            lines += ["ageUnit=Hours", "ageValue=0"]
        with open(os.path.join(folder, "quillbrook.conf"), "w") as f:
            f.write("\n".join(lines) + "\n")

    def clear_trash(self):
        shutil.rmtree(self.trash, ignore_errors=True)

    def clear_desktop(self):
        shutil.rmtree(self.desktop, ignore_errors=True)
        os.makedirs(self.desktop)


def make_files(folder, names):
    flags = os.O_WRONLY | os.O_CREAT | os.O_EXCL
    for name in names:
        os.close(os.open(os.path.join(folder, name), flags, 0o644))


def timed(cmd, env, shell=False):
    start = time.perf_counter()
    result = subprocess.run(cmd, env=env, shell=shell, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit(f"benchmark command failed ({result.returncode}): {cmd}\n"
                 f"{result.stderr.decode(errors='replace')[-2000:]}")
    if b"Failed to trash" in result.stderr:
        sys.exit(f"{cmd} could not trash everything:\n{result.stderr.decode(errors='replace')[:2000]}")
    return elapsed


def count(folder):
    try:
        return len(os.listdir(folder))
    except FileNotFoundError:
        return 0


def trash_commands(args, home):
    quoted = "'" + home.desktop + "'"
    batch = f"find {quoted} -mindepth 1 -maxdepth 1 -print0 | xargs -0 "
    return {
        "quillbrook": ([args.quillbrook, "--headless"], False),
        "gio trash": (batch + "gio trash", True),
        "trash-put": (batch + "trash-put", True),
        "floor": ([args.floor, home.desktop, home.trash], False),
    }


def throughput(args, home, n, reps):
    """Times to trash n old screenshots, per tool, and the prefilled-trash case of quillbrook."""
    names = [SCREENSHOT.format(i) for i in range(n)]
    commands = trash_commands(args, home)
    tools = list(commands) + ["quillbrook, trash full"]
    times = {tool: [] for tool in tools}
    home.settings(old=True)
    for rep in range(reps):
        order = tools[rep % len(tools):] + tools[:rep % len(tools)]
        for tool in order:
            home.clear_trash()
            home.clear_desktop()
            if tool == "quillbrook, trash full":
                # The Trash already holds an entry of every name the run will move.
                make_files(home.desktop, names)
                subprocess.run([args.floor, home.desktop, home.trash], check=True,
                               stdout=subprocess.DEVNULL)
                cmd, shell = commands["quillbrook"]
            else:
                cmd, shell = commands[tool]
            make_files(home.desktop, names)
            os.sync()
            times[tool].append(timed(cmd, home.env, shell))
            left = count(home.desktop)
            expected = 2 * n if tool == "quillbrook, trash full" else n
            if left != 0 or count(os.path.join(home.trash, "files")) != expected:
                sys.exit(f"{tool} left {left} of {n} entries behind")
        print(f"  N={n} repetition {rep + 1}/{reps} done", file=sys.stderr, flush=True)
    home.clear_trash()
    home.clear_desktop()
    return {tool: statistics.median(values) for tool, values in times.items()}


def selection(args, home, reps):
    """100,000 entries that are not screenshots plus 1,000 young screenshots; nothing moves."""
    home.clear_trash()
    home.clear_desktop()
    home.settings(old=False)
    make_files(home.desktop, [f"IMG_{i:06d}.jpg" for i in range(100000)])
    make_files(home.desktop, [SCREENSHOT.format(i) for i in range(1000)])
    os.sync()
    commands = {
        "quillbrook": ([args.quillbrook, "--headless"], False),
        "find": (["find", home.desktop, "-maxdepth", "1", "-iname", "screenshot*", "-mtime", "+1"],
                 False),
    }
    times = {tool: [] for tool in commands}
    for rep in range(reps):
        for tool in (list(commands) if rep % 2 == 0 else list(reversed(commands))):
            cmd, shell = commands[tool]
            times[tool].append(timed(cmd, home.env, shell))
    if count(home.desktop) != 101000:
        sys.exit("the selection benchmark moved something")
    home.clear_desktop()
    return {tool: statistics.median(values) for tool, values in times.items()}


def startup(args, home, reps):
    """Wall time of a headless run on an empty folder, and its peak RSS from /usr/bin/time -v."""
    home.clear_trash()
    home.clear_desktop()
    home.settings(old=True)
    walls, rss = [], []
    for _ in range(reps):
        walls.append(timed([args.quillbrook, "--headless"], home.env))
        result = subprocess.run(["/usr/bin/time", "-v", args.quillbrook, "--headless"],
                                env=home.env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                check=True, text=True)
        for line in result.stderr.splitlines():
            if "Maximum resident set size" in line:
                rss.append(int(line.split(":")[1]))
    return statistics.median(walls), statistics.median(rss)


def machine():
    def first(cmd, key):
        try:
            out = subprocess.run(cmd, capture_output=True, text=True).stdout
        except OSError:
            return "?"
        for line in out.splitlines():
            if line.startswith(key):
                return line.split(":", 1)[1].strip()
        return "?"

    fs = subprocess.run(["df", "-T", tempfile.gettempdir()], capture_output=True,
                        text=True).stdout.splitlines()[-1].split()[1]
    with open("/proc/meminfo") as f:
        mem = int(f.readline().split()[1]) // 1024
    load = os.getloadavg()
    return (f"{first(['lscpu'], 'Model name')}, {os.cpu_count()} cores, {mem} MiB, "
            f"Linux {platform.release()}, {fs} (temporary folder), "
            f"load average at start {load[0]:.2f}")


def ms(seconds):
    return f"{seconds * 1000:.1f} ms"


def main():
    args = parse_args()
    sizes = [int(s) for s in args.sizes.split(",") if s]
    reps = {int(k): int(v) for k, v in (p.split(":") for p in args.reps.split(","))}
    root = tempfile.mkdtemp(prefix="quillbrook-bench-", dir=args.workdir)
    home = Home(root)
    try:
        print(f"Machine: {machine()}", flush=True)
        print(f"Started {time.strftime('%Y-%m-%d %H:%M:%S')}", flush=True)
        start_wall, start_rss = startup(args, home, args.startup_reps)
        print(f"  empty-folder run: {ms(start_wall)}, {start_rss / 1024:.1f} MiB", file=sys.stderr,
              flush=True)
        results = {}
        for n in sizes:
            results[n] = throughput(args, home, n, reps.get(n, 3))
            # Progress on standard error, so that a long run that is cut short still says something.
            print(f"  N={n}: " + ", ".join(f"{tool} {ms(t)}" for tool, t in results[n].items()),
                  file=sys.stderr, flush=True)
        sel = selection(args, home, args.selection_reps)
        print(f"  selection: {sel}", file=sys.stderr, flush=True)

        print()
        print("Trash throughput (median wall time; old screenshots, empty Trash)")
        print()
        print("| N | reps | quillbrook | gio trash | trash-put | floor | quillbrook / gio (goal <= 0.5)"
              " | quillbrook / floor (goal <= 2) | quillbrook / trash-put |")
        print("|---|---|---|---|---|---|---|---|---|")
        for n in sizes:
            r = results[n]
            print(f"| {n:,} | {reps.get(n, 3)} | {ms(r['quillbrook'])} | {ms(r['gio trash'])} | "
                  f"{ms(r['trash-put'])} | {ms(r['floor'])} | "
                  f"{r['quillbrook'] / r['gio trash']:.2f} | {r['quillbrook'] / r['floor']:.2f} | "
                  f"{r['quillbrook'] / r['trash-put']:.3f} |")
        print()
        print("Growth: cost per entry, (median time - empty-folder run) / N")
        print()
        print("| N | quillbrook, empty Trash | quillbrook, Trash holds N entries of the same names"
              " | floor | gio trash |")
        print("|---|---|---|---|---|")
        for n in sizes:
            r = results[n]
            def per(t):
                return f"{(t - start_wall) / n * 1e6:.1f} µs"
            print(f"| {n:,} | {per(r['quillbrook'])} | {per(r['quillbrook, trash full'])} | "
                  f"{r['floor'] / n * 1e6:.1f} µs | {r['gio trash'] / n * 1e6:.1f} µs |")
        print()
        print(f"Selection at scale (100,000 other entries + 1,000 young screenshots, "
              f"{args.selection_reps} reps)")
        print()
        print("| quillbrook --headless | find -maxdepth 1 -iname 'screenshot*' -mtime +1 |"
              " ratio (goal <= 2) |")
        print("|---|---|---|")
        print(f"| {ms(sel['quillbrook'])} | {ms(sel['find'])} | "
              f"{sel['quillbrook'] / sel['find']:.2f} |")
        print()
        print(f"Start-up and memory ({args.startup_reps} reps)")
        print()
        print("| measurement | median | goal |")
        print("|---|---|---|")
        print(f"| headless run, empty folder: wall time | {ms(start_wall)} | < 30 ms |")
        print(f"| headless run, empty folder: peak RSS | {start_rss / 1024:.1f} MiB | < 20 MB |")
        tray = "pending"
        if args.tray_rss:
            out = subprocess.run(args.tray_rss, shell=True, capture_output=True, text=True)
            tray = f"{int(out.stdout.strip()) / 1024:.1f} MiB" if out.returncode == 0 else \
                "failed: " + out.stderr.strip()[-200:]
        print(f"| idle tray process after opening the panel once (Xvfb): RSS | {tray} | < 45 MB |")
        print()
        print(f"Finished {time.strftime('%Y-%m-%d %H:%M:%S')}, "
              f"load average {os.getloadavg()[0]:.2f}")
    finally:
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
