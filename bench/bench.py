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
    parser.add_argument("--stall", default="", help="the run_now_stall program")
    parser.add_argument("--parts", default="startup,throughput,selection,per-entry,put-back,stall",
                        help="which benchmarks to run, comma-separated")
    parser.add_argument("--per-entry-n", type=int, default=40000)
    parser.add_argument("--put-back-n", type=int, default=10000)
    parser.add_argument("--engine-reps", type=int, default=5,
                        help="repetitions of per-entry, put-back and stall")
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

    def clear_state(self):
        # The last run's journal and the kept list: each run reads the one before it.
        shutil.rmtree(os.path.join(self.home, ".local", "state"), ignore_errors=True)

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


def measured(cmd, env):
    """Wall, user and system seconds and peak RSS (KiB) of one process, from its own rusage."""
    with tempfile.TemporaryFile() as err:
        start = time.perf_counter()
        proc = subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL, stderr=err)
        _, status, usage = os.wait4(proc.pid, 0)
        wall = time.perf_counter() - start
        proc.returncode = os.waitstatus_to_exitcode(status)
        err.seek(0)
        text = err.read().decode(errors="replace")
    if proc.returncode != 0 or "Failed to trash" in text:
        sys.exit(f"benchmark command failed ({proc.returncode}): {cmd}\n{text[-2000:]}")
    return {"wall": wall, "user": usage.ru_utime, "sys": usage.ru_stime, "rss": usage.ru_maxrss}


def medians(samples):
    return {key: statistics.median(s[key] for s in samples) for key in samples[0]}


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


def empty_run(args, home, reps):
    """The headless run over an empty folder: wall, user time, peak RSS, and its flushes."""
    home.clear_trash()
    home.clear_desktop()
    home.settings(old=True)
    samples = [measured([args.quillbrook, "--headless"], home.env) for _ in range(reps)]
    trace = os.path.join(home.root, "strace.txt")
    subprocess.run(["strace", "-f", "-c", "-o", trace, "-e", "trace=fsync,fdatasync,syncfs",
                    args.quillbrook, "--headless"], env=home.env, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    flushes = {}
    with open(trace) as f:
        for line in f:
            parts = line.split()
            if parts and parts[-1] in ("fsync", "fdatasync", "syncfs"):
                flushes[parts[-1]] = int(parts[3])
    return medians(samples), flushes


def per_entry(args, home, n, reps):
    """User time of a headless run over n old screenshots, the floor's, and the empty run's."""
    names = [SCREENSHOT.format(i) for i in range(n)]
    home.settings(old=True)
    samples = {"quillbrook": [], "floor": [], "empty": []}
    for rep in range(reps):
        for tool in samples:
            home.clear_trash()
            home.clear_state()
            home.clear_desktop()
            if tool != "empty":
                make_files(home.desktop, names)
            os.sync()
            cmd = ([args.floor, home.desktop, home.trash] if tool == "floor"
                   else [args.quillbrook, "--headless"])
            samples[tool].append(measured(cmd, home.env))
            if count(home.desktop) != 0:
                sys.exit(f"{tool} left entries behind")
        print(f"  per entry: repetition {rep + 1}/{reps} done", file=sys.stderr, flush=True)
    home.clear_trash()
    home.clear_desktop()
    return {tool: medians(s) for tool, s in samples.items()}


def put_back(args, home, n, reps):
    """Trash, then put back, n old screenshots: quillbrook against the floor's two modes."""
    names = [SCREENSHOT.format(i) for i in range(n)]
    home.settings(old=True)
    steps = {
        "quillbrook": ([args.quillbrook, "--headless"], [args.quillbrook, "--put-back"]),
        "floor": ([args.floor, home.desktop, home.trash], [args.floor, "--put-back", home.trash]),
    }
    times = {(tool, step): [] for tool in steps for step in ("trash", "put back")}
    for rep in range(reps):
        for tool, (trash, back) in (steps.items() if rep % 2 == 0 else reversed(steps.items())):
            home.clear_trash()
            home.clear_state()
            home.clear_desktop()
            make_files(home.desktop, names)
            os.sync()
            times[(tool, "trash")].append(measured(trash, home.env)["wall"])
            os.sync()
            times[(tool, "put back")].append(measured(back, home.env)["wall"])
            if count(home.desktop) != n:
                sys.exit(f"{tool} put back {count(home.desktop)} of {n}")
        print(f"  put back: repetition {rep + 1}/{reps} done", file=sys.stderr, flush=True)
    home.clear_trash()
    home.clear_desktop()
    return {key: statistics.median(values) for key, values in times.items()}


def stall(args, reps):
    """The panel's longest event-loop stall during a 10,000-entry Run Now (run_now_stall)."""
    runs = []
    for _ in range(reps):
        out = subprocess.run([args.stall, "10000"], capture_output=True, text=True, check=True,
                             env=dict(os.environ, LC_ALL="C.UTF-8"))
        fields = dict(part.split("=") for part in out.stdout.split() if "=" in part)
        runs.append((float(fields["stall"]), float(fields["run"])))
    return statistics.median(r[0] for r in runs), max(r[0] for r in runs), \
        statistics.median(r[1] for r in runs)


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


def report_engine(args, parts, empty, per, back, stalls):
    if "startup" in parts:
        wall_ms, user_ms = empty[0]["wall"] * 1000, empty[0]["user"] * 1000
        flushes = ", ".join(f"{count} {call}" for call, count in sorted(empty[1].items()))
        print(f"Empty headless run ({args.startup_reps} reps): {wall_ms:.1f} ms wall, "
              f"{user_ms:.1f} ms user, peak RSS {empty[0]['rss'] / 1024:.1f} MiB; "
              f"flushes: {flushes or 'none'}")
        print()
    if "per-entry" in parts:
        n, q, f, e = args.per_entry_n, per["quillbrook"], per["floor"], per["empty"]
        print(f"User time at N = {n:,} ({args.engine_reps} reps, medians)")
        print()
        print("| quillbrook | floor | quillbrook, empty folder | (quillbrook - empty) / N"
              " | (quillbrook - floor) / N (goal <= 3 µs) |")
        print("|---|---|---|---|---|")
        print(f"| {ms(q['user'])} | {ms(f['user'])} | {ms(e['user'])} | "
              f"{(q['user'] - e['user']) / n * 1e6:.2f} µs | "
              f"{(q['user'] - f['user']) / n * 1e6:.2f} µs |")
        print(f"(system time: quillbrook {ms(q['sys'])}, floor {ms(f['sys'])})")
        print()
    if "put-back" in parts:
        n = args.put_back_n
        print(f"Trash and put back of N = {n:,} ({args.engine_reps} reps, median wall time)")
        print()
        print("| step | quillbrook | floor | ratio |")
        print("|---|---|---|---|")
        for step in ("trash", "put back"):
            q, f = back[("quillbrook", step)], back[("floor", step)]
            print(f"| {step} | {ms(q)} | {ms(f)} | {q / f:.2f} |")
        print()
    if "stall" in parts and stalls:
        print(f"Run Now over 10,000 entries, panel shown offscreen ({args.engine_reps} reps): "
              f"longest event-loop stall median {stalls[0]:.1f} ms (max {stalls[1]:.1f} ms, "
              f"goal <= 50 ms); the run took {stalls[2]:.0f} ms")
        print()


def main():
    args = parse_args()
    parts = set(args.parts.split(","))
    sizes = [int(s) for s in args.sizes.split(",") if s] if "throughput" in parts else []
    reps = {int(k): int(v) for k, v in (p.split(":") for p in args.reps.split(","))}
    root = tempfile.mkdtemp(prefix="quillbrook-bench-", dir=args.workdir)
    home = Home(root)
    try:
        print(f"Machine: {machine()}", flush=True)
        print(f"Started {time.strftime('%Y-%m-%d %H:%M:%S')}", flush=True)
        start_wall, start_rss, empty = 0.0, 0, None
        if "startup" in parts:
            start_wall, start_rss = startup(args, home, args.startup_reps)
            empty = empty_run(args, home, args.startup_reps)
            print(f"  empty-folder run: {ms(start_wall)}, {start_rss / 1024:.1f} MiB",
                  file=sys.stderr, flush=True)
        results = {}
        for n in sizes:
            results[n] = throughput(args, home, n, reps.get(n, 3))
            # Progress on standard error, so that a long run that is cut short still says something.
            print(f"  N={n}: " + ", ".join(f"{tool} {ms(t)}" for tool, t in results[n].items()),
                  file=sys.stderr, flush=True)
        sel = selection(args, home, args.selection_reps) if "selection" in parts else None
        per = per_entry(args, home, args.per_entry_n, args.engine_reps) \
            if "per-entry" in parts else None
        back = put_back(args, home, args.put_back_n, args.engine_reps) \
            if "put-back" in parts else None
        stalls = stall(args, args.engine_reps) if "stall" in parts and args.stall else None

        print()
        report_engine(args, parts, empty, per, back, stalls)
        if sizes:
            report_throughput(sizes, reps, results, start_wall)
        if sel:
            print(f"Selection at scale (100,000 other entries + 1,000 young screenshots, "
                  f"{args.selection_reps} reps)")
            print()
            print("| quillbrook --headless | find -maxdepth 1 -iname 'screenshot*' -mtime +1 |"
                  " ratio (goal <= 2) |")
            print("|---|---|---|")
            print(f"| {ms(sel['quillbrook'])} | {ms(sel['find'])} | "
                  f"{sel['quillbrook'] / sel['find']:.2f} |")
            print()
        if "startup" in parts:
            report_startup(args, start_wall, start_rss)
        print(f"Finished {time.strftime('%Y-%m-%d %H:%M:%S')}, "
              f"load average {os.getloadavg()[0]:.2f}")
    finally:
        shutil.rmtree(root, ignore_errors=True)


def report_throughput(sizes, reps, results, start_wall):
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


def report_startup(args, start_wall, start_rss):
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


if __name__ == "__main__":
    main()
