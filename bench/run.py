#!/usr/bin/env python3
"""The Quolix timings: the batch mode against the file-system floor and a
hand-written Python script, then the micro benchmarks.

    run.py [--build DIR] [--sizes "1000 8000 32000"] [--runs 3]
           [--shm /dev/shm] [--disk DIR] [--wide 2000x500] [--no-micro]
           [--no-rerun] [--keep | --wait-cleanup] [--markdown FILE]

For every size N and file system (memory and disk) the three programs run
alternately, quolix, floor, python, quolix, floor, python, ..., each into a
folder of its own that nothing has been written to before. Before each run
on the disk, sync writes back what the previous run left in the page cache
(not timed). Nothing is deleted between timed runs (deleting many files
slows down the next creations on a disk for minutes). At the end the
folders are removed: those on the memory file system at once, those on the
disk by a background rm (or before returning with --wait-cleanup); --keep
leaves them.

  quolix  build/quolix --batch with a settings file that selects every
          record, names pages by record number and writes the index and
          dump pages. Wall time of the process.
  floor   bench/floor.cpp: writes the bytes of a finished quolix run (read
          into memory first, not timed) with open/write/close. Its own
          measure of the writing.
  python  bench/baseline.py. Wall time of the process.

and, for the shop tables (unless --no-rerun), two reruns in the same series:

  rerun      quolix --batch again into a folder that already holds this
             very output (made by an untimed run before the series): every
             file is left as it is.
  rerun-1%   the same into a folder of its own, alternately with the table
             of one record in a hundred changed (gen_data.py shop DIR N 100)
             and the table itself: each run rewrites those pages and _db.html.

Their folders are written before the series and are on the same file system;
they are in the page cache, as after a run the day before on a machine that
has memory to spare. After the series, checks: the rerun folder holds exactly
the files of a fresh run; after only the last record changes, exactly its
page and _db.html have a new modification time.

Peak memory is the maximum resident set size that /usr/bin/time -v reports.

With the micro benchmarks comes the load of the shop-32000 table as an .xlsx
and an .ods workbook (gen_data.py book), timed beside the CSV's, and the
wall time and peak memory of one load of each (quolix_core_bench --load=FILE,
a process of its own per load: start-up included).
"""

import argparse
import json
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import gen_data  # noqa: E402

TIME = "/usr/bin/time"
PROGRAMS = ("quolix", "floor", "python")
RERUNS = ("rerun", "rerun-1%")
RERUN_EVERY = 100
LONG_AGO = 1000000000  # 2001: the modification time files are given before a rerun
UNCHANGED = "個のファイルは内容が変わらないため書き換えませんでした"


def fail(message):
    sys.stderr.write("bench: %s\n" % message)
    sys.exit(1)


def sh(cmd):
    try:
        return subprocess.run(cmd, shell=True, capture_output=True, text=True).stdout.strip()
    except OSError:
        return ""


def machine():
    lscpu = {}
    for line in sh("LC_ALL=C lscpu").splitlines():
        key, _, value = line.partition(":")
        lscpu[key.strip()] = value.strip()
    mem = sh("LC_ALL=C free -m | awk '/^Mem:/ {print $2}'")
    return {
        "cpu": "%s, %s CPUs (%s threads per core), %s" % (
            lscpu.get("Model name", "?"), lscpu.get("CPU(s)", "?"),
            lscpu.get("Thread(s) per core", "?"),
            ("hypervisor " + lscpu["Hypervisor vendor"]) if "Hypervisor vendor" in lscpu
            else "bare metal"),
        "caches": "L1d %s, L2 %s, L3 %s" % (lscpu.get("L1d cache", "?"), lscpu.get("L2 cache", "?"),
                                           lscpu.get("L3 cache", "?")),
        "memory": "%s MiB" % mem,
        "kernel": platform.release(),
        "os": sh(". /etc/os-release 2>/dev/null && echo \"$PRETTY_NAME\""),
        "compiler": sh("c++ --version | head -1"),
        "python": sh("%s --version" % sys.executable),
        "source": "commit %s, %s tracked files modified in the working tree" % (
            sh("git -C '%s' log -1 --format=%%h" % HERE) or "?",
            sh("git -C '%s' status --short -uno | wc -l" % HERE) or "?"),
    }


def filesystem(path):
    out = sh("findmnt -n -T '%s' -o FSTYPE,SOURCE,OPTIONS" % path).splitlines()
    return " ".join(out[0].split()) if out else "?"


def loadavg():
    try:
        return " ".join(open("/proc/loadavg").read().split()[:3])
    except OSError:
        return "?"


def count_files(folder):
    with os.scandir(folder) as it:
        return sum(1 for e in it if e.is_file())


def peak_kb(time_output):
    for line in time_output.splitlines():
        if "Maximum resident set size" in line:
            return int(line.rsplit(":", 1)[1])
    return 0


def cpu_seconds(time_output):
    total = 0.0
    for line in time_output.splitlines():
        if line.strip().startswith(("User time", "System time")):
            total += float(line.rsplit(":", 1)[1])
    return total


def timed(cmd, cwd=None):
    """Runs cmd under /usr/bin/time -v. Returns (wall seconds, peak KB, cpu
    seconds, exit status, stdout, stderr)."""
    fd, tfile = tempfile.mkstemp(prefix="quolix-time-")
    os.close(fd)
    t0 = time.perf_counter()
    p = subprocess.run([TIME, "-v", "-o", tfile] + cmd, cwd=cwd, capture_output=True)
    wall = time.perf_counter() - t0
    with open(tfile) as f:
        tout = f.read()
    os.unlink(tfile)
    return wall, peak_kb(tout), cpu_seconds(tout), p.returncode, p.stdout, p.stderr


class Bench:
    def __init__(self, args):
        self.args = args
        build = os.path.abspath(args.build)
        self.quolix = os.path.join(build, "quolix")
        self.floor = os.path.join(build, "bench", "quolix_floor")
        self.core_bench = os.path.join(build, "bench", "quolix_core_bench")
        self.window_bench = os.path.join(build, "bench", "quolix_window_bench")
        for exe in (self.quolix, self.floor):
            if not os.access(exe, os.X_OK):
                fail("%s is missing (make bench builds it)" % exe)
        if not os.access(TIME, os.X_OK):
            fail("%s is missing (Debian package time)" % TIME)
        self.data = os.path.join(build, "bench-data")
        os.makedirs(self.data, exist_ok=True)
        stamp = "quolix-bench-%s-%d" % (time.strftime("%Y%m%d-%H%M%S"), os.getpid())
        self.roots = {"shm": os.path.join(os.path.abspath(args.shm), stamp),
                      "disk": os.path.join(os.path.abspath(args.disk), stamp)}
        for root in self.roots.values():
            os.makedirs(root)
        self.refs = os.path.join(self.roots["shm"], "reference")
        os.makedirs(self.refs)
        self.serial = 0
        self.started = time.perf_counter()
        self.results = []  # dicts: case, fs, n, program, walls, peaks, cpus
        self.checks = []

    def fresh(self, fs, label):
        self.serial += 1
        path = os.path.join(self.roots[fs], "%04d-%s" % (self.serial, label))
        os.makedirs(path)
        return path

    def settings(self, csv, html, out, count):
        cfg = os.path.join(os.path.dirname(out), os.path.basename(out) + ".cfg")
        gen_data.write_settings(cfg, csv, html, out, count)
        return cfg

    def run_quolix(self, csv, html, out, count, unchanged=0):
        """Times one run; `unchanged`: how many files it must say it left as
        they were."""
        cfg = self.settings(csv, html, out, count)
        wall, peak, cpu, rc, _, err = timed([self.quolix, "--batch", cfg])
        lines = err.decode("utf-8", "replace").strip().splitlines()
        last = lines[-1:] or [""]
        if rc != 0 or "100%" not in last[0]:
            fail("quolix --batch %s: exit %d, %s" % (cfg, rc, last[0]))
        said = 0
        if len(lines) >= 2 and UNCHANGED in lines[-2]:
            said = int(lines[-2].split()[0])
        if said != unchanged:
            fail("quolix --batch %s: %d files left as they were, not %d" % (cfg, said, unchanged))
        return wall, peak, cpu

    def run_floor(self, source, out):
        _, peak, cpu, rc, stdout, err = timed([self.floor, source, out])
        if rc != 0:
            fail("quolix_floor: exit %d: %s" % (rc, err.decode(errors="replace")))
        fields = dict(kv.split("=") for kv in stdout.decode().split())
        return float(fields["write_seconds"]), peak, cpu

    def run_python(self, csv, html, out):
        wall, peak, cpu, rc, _, err = timed(
            [sys.executable, os.path.join(HERE, "baseline.py"), csv, html, out])
        if rc != 0:
            fail("baseline.py: exit %d: %s" % (rc, err.decode(errors="replace")))
        return wall, peak, cpu

    def compare_pages(self, a, b, index=False):
        """Whether every file of a but _index.html (whose title differs
        unless both are quolix's: index) has the same bytes in b."""
        if index and sorted(os.listdir(a)) != sorted(os.listdir(b)):
            return "the list of files"
        for name in os.listdir(a):
            if name == "_index.html" and not index:
                continue
            with open(os.path.join(a, name), "rb") as fa, open(os.path.join(b, name), "rb") as fb:
                if fa.read() != fb.read():
                    return name
        return None

    def mtime_check(self, label, fs, html, out, n):
        """Gives every file in out (quolix's output of the table) an old
        modification time, runs the table with only its last record changed,
        and notes which files have a new one."""
        one, _ = gen_data.write_shop(self.data, n, n - 1)
        for name in os.listdir(out):
            os.utime(os.path.join(out, name), (LONG_AGO, LONG_AGO))
        self.run_quolix(one, html, out, n, unchanged=n)
        touched = sorted(name for name in os.listdir(out)
                         if os.stat(os.path.join(out, name)).st_mtime != LONG_AGO)
        expected = sorted(["%05d.html" % (n - 1), "_db.html"])
        self.checks.append("%s on %s: after the last record changed, new modification times: %s "
                           "(%s)" % (label, fs, " ".join(touched),
                                     "as expected" if touched == expected else
                                     "EXPECTED " + " ".join(expected)))

    def case(self, label, csv, html, n, reruns=False):
        """Times one input on both file systems."""
        ref = os.path.join(self.refs, label)
        os.makedirs(ref)
        self.run_quolix(csv, html, ref, n)  # untimed: the floor's bytes
        files = count_files(ref)
        if files != n + 2:
            fail("%s: the reference run wrote %d files, not %d" % (label, files, n + 2))
        reruns = reruns and n > RERUN_EVERY
        programs = PROGRAMS + (RERUNS if reruns else ())
        if reruns:
            changed_csv, _ = gen_data.write_shop(self.data, n, RERUN_EVERY)
            # Pages and _db.html of the records changed.
            changed = (n - 1) // RERUN_EVERY + 1
        for fs in ("shm", "disk"):
            rows = {p: {"walls": [], "peaks": [], "cpus": []} for p in programs}
            if reruns:
                # The sites the reruns find, untimed.
                site = {p: self.fresh(fs, "%s-%s" % (label, p)) for p in RERUNS}
                for out in site.values():
                    self.run_quolix(csv, html, out, n)
            for i in range(self.args.runs):
                for program in programs:
                    out = site[program] if program in RERUNS else \
                        self.fresh(fs, "%s-%s-%d" % (label, program, i + 1))
                    if fs == "disk":
                        # The previous run's writeback is not charged to this one.
                        subprocess.run(["sync"])
                    if program == "quolix":
                        r = self.run_quolix(csv, html, out, n)
                    elif program == "rerun":
                        r = self.run_quolix(csv, html, out, n, unchanged=n + 2)
                    elif program == "rerun-1%":
                        r = self.run_quolix(changed_csv if i % 2 == 0 else csv, html, out, n,
                                            unchanged=n + 2 - changed)
                    elif program == "floor":
                        r = self.run_floor(ref, out)
                    else:
                        r = self.run_python(csv, html, out)
                    written = count_files(out)
                    if written != n + 2:
                        fail("%s %s: %d files written, not %d" % (label, program, written, n + 2))
                    if i == 0 and fs == "shm" and program in ("floor", "python"):
                        diff = self.compare_pages(ref, out)
                        self.checks.append("%s: %s output %s" % (
                            label, program, "identical to quolix's (pages and _db.html)"
                            if diff is None else "DIFFERS from quolix's at " + diff))
                    rows[program]["walls"].append(r[0])
                    rows[program]["peaks"].append(r[1])
                    rows[program]["cpus"].append(r[2])
                    sys.stdout.write(".")
                    sys.stdout.flush()
            if reruns:
                if self.args.runs % 2:  # the last rerun-1% was of the changed table
                    self.run_quolix(csv, html, site["rerun-1%"], n, unchanged=n + 2 - changed)
                for p in RERUNS:
                    diff = self.compare_pages(ref, site[p], index=True)
                    self.checks.append("%s on %s: %s folder afterwards %s" % (
                        label, fs, p, "identical to a fresh run's" if diff is None
                        else "DIFFERS from a fresh run's at " + diff))
                self.mtime_check(label, fs, html, site["rerun"], n)
            for program in programs:
                self.results.append(dict(case=label, fs=fs, n=n, program=program, **rows[program]))
            self.print_case(label, fs)

    def rows(self, label, fs):
        return {r["program"]: r for r in self.results if r["case"] == label and r["fs"] == fs}

    def print_case(self, label, fs):
        rows = self.rows(label, fs)
        print("\n%s on %s (load average %s, %.0f s)" % (label, fs, loadavg(),
                                                        time.perf_counter() - self.started))
        for line in self.case_table(rows):
            print("  " + line)

    def case_table(self, rows):
        floor = statistics.median(rows["floor"]["walls"])
        python = statistics.median(rows["python"]["walls"])
        lines = ["| program | median s | min s | max s | / floor | / python | peak MB | us/page |",
                 "|---|---:|---:|---:|---:|---:|---:|---:|"]
        for p in PROGRAMS + RERUNS:
            if p not in rows:
                continue
            w = rows[p]["walls"]
            med = statistics.median(w)
            lines.append("| %s | %.3f | %.3f | %.3f | %.2f | %.2f | %.1f | %.1f |" % (
                p, med, min(w), max(w), med / floor, med / python,
                max(rows[p]["peaks"]) / 1024.0, med / rows[p]["n"] * 1e6))
        return lines

    def growth(self):
        sizes = sorted({r["n"] for r in self.results if r["case"].startswith("shop")})
        lines = ["| file system | program | " + " | ".join("us/page N=%d" % n for n in sizes) +
                 (" | N=%d / N=%d" % (sizes[-1], sizes[-2]) if len(sizes) > 1 else "") + " |",
                 "|---|---|" + "---:|" * (len(sizes) + (1 if len(sizes) > 1 else 0))]
        for fs in ("shm", "disk"):
            for p in PROGRAMS:
                per = []
                for n in sizes:
                    r = self.rows("shop-%d" % n, fs)[p]
                    per.append(statistics.median(r["walls"]) / n * 1e6)
                cells = " | ".join("%.1f" % x for x in per)
                if len(per) > 1:
                    cells += " | %.2f" % (per[-1] / per[-2])
                lines.append("| %s | %s | %s |" % (fs, p, cells))
        return lines

    def micro(self):
        out = {}
        csv = os.path.join(self.data, "shop-32000.csv")
        if not os.path.exists(csv):
            gen_data.write_shop(self.data, 32000)
        html = os.path.join(self.data, "shop.html")
        wide_csv = os.path.join(self.data, "wide-2000-500.csv")
        if not os.path.exists(wide_csv):
            gen_data.write_wide(self.data, 2000, 500)
        wide_html = os.path.join(self.data, "wide-500.html")
        xlsx, ods = (os.path.join(self.data, "shop-32000." + e) for e in ("xlsx", "ods"))
        if not (os.path.exists(xlsx) and os.path.exists(ods)):
            gen_data.write_book(self.data, 32000)
        reps = "--benchmark_repetitions=%d" % max(5, self.args.runs)
        core_args = ["--csv=" + csv, "--html=" + html,
                     "--wide-csv=" + wide_csv, "--wide-html=" + wide_html,
                     "--xlsx=" + xlsx, "--ods=" + ods]
        for exe, extra in ((self.core_bench, core_args), (self.window_bench, ["--csv=" + csv])):
            if not os.access(exe, os.X_OK):
                print("(%s not built: Google Benchmark missing?)" % exe)
                continue
            fd, jfile = tempfile.mkstemp(prefix="quolix-bench-", suffix=".json")
            os.close(fd)
            env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
            p = subprocess.run([exe] + extra + [reps, "--benchmark_out=" + jfile,
                                                "--benchmark_out_format=json"],
                               capture_output=True, env=env)
            if p.returncode != 0:
                fail("%s: exit %d: %s" % (exe, p.returncode, p.stderr.decode(errors="replace")))
            with open(jfile) as f:
                data = json.load(f)
            os.unlink(jfile)
            for b in data["benchmarks"]:
                if b.get("run_type") != "iteration" or b.get("error_occurred"):
                    if b.get("error_occurred"):
                        print("%s: %s" % (b["name"], b.get("error_message")))
                    continue
                name = b.get("run_name", b["name"])
                scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}[b["time_unit"]]
                out.setdefault(name, ([], []))
                out[name][0].append(b["real_time"] * scale)
                out[name][1].append(b["cpu_time"] * scale)
        lines = ["| benchmark | median | min | max | median CPU |", "|---|---:|---:|---:|---:|"]

        def f(us):
            return "%.2f us" % us if us < 1000 else "%.2f ms" % (us / 1000)
        for name, (real, cpu) in out.items():
            lines.append("| %s | %s | %s | %s | %s |" % (
                name, f(statistics.median(real)), f(min(real)), f(max(real)),
                f(statistics.median(cpu))))
        if os.access(self.core_bench, os.X_OK):
            lines += [""] + self.load_memory(csv, xlsx, ods)
        return lines

    def load_memory(self, *sources):
        """Wall time and peak memory of one load of each source, alternately,
        each in a process of its own; memory against the CSV's (the first)."""
        peaks, walls = ({s: [] for s in sources} for _ in range(2))
        for _ in range(max(3, self.args.runs)):
            for source in sources:
                wall, peak, _, rc, _, err = timed([self.core_bench, "--load=" + source])
                if rc != 0:
                    fail("%s --load=%s: %s" % (self.core_bench, source, err.decode(errors="replace")))
                peaks[source].append(peak)
                walls[source].append(wall)
        csv = max(peaks[sources[0]])
        lines = ["| one load in a process of its own | median s | peak MB | / CSV |",
                 "|---|---:|---:|---:|"]
        for source, kb in peaks.items():
            lines.append("| %s | %.3f | %.1f | %.2f |" % (
                os.path.basename(source), statistics.median(walls[source]), max(kb) / 1024.0,
                max(kb) / csv))
        return lines

    def cleanup(self, wait):
        """Removes every output folder. The memory file system's at once; the
        disk's in a process of its own unless wait is set: on a disk mounted
        with discard every deleted file waits for the device, and a few
        hundred thousand pages take many minutes."""
        shutil.rmtree(self.roots["shm"], ignore_errors=True)
        disk = self.roots["disk"]
        if wait:
            t0 = time.perf_counter()
            shutil.rmtree(disk, ignore_errors=True)
            print("(output folders removed in %.0f s)" % (time.perf_counter() - t0))
            return
        p = subprocess.Popen(["nice", "-n", "19", "rm", "-rf", "--", disk], start_new_session=True,
                             stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
        print("(output folders on %s removed; %s is being removed in the background by pid %d:\n"
              " until it is gone, file creation on that disk is slower, so wait for it before\n"
              " timing again)" % (self.args.shm, disk, p.pid))


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default="build-bench")
    ap.add_argument("--sizes", default="1000 8000 32000")
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--shm", default="/dev/shm")
    ap.add_argument("--disk", default=None, help="folder on the disk (default: BUILD/bench-runs)")
    ap.add_argument("--wide", default="2000x500", help="RECORDSxCOLUMNS, or 0 for none")
    ap.add_argument("--no-micro", action="store_true")
    ap.add_argument("--no-rerun", action="store_true",
                    help="without the reruns over an existing site")
    ap.add_argument("--keep", action="store_true", help="leave the output folders in place")
    ap.add_argument("--wait-cleanup", action="store_true",
                    help="remove the disk's output folders before returning (takes minutes)")
    ap.add_argument("--markdown", default=None, help="also write the tables to this file")
    args = ap.parse_args()
    if args.disk is None:
        args.disk = os.path.join(args.build, "bench-runs")
    sizes = [int(s) for s in args.sizes.replace(",", " ").split()]
    if args.runs < 1 or not sizes or any(n < 2 or n > 32000 for n in sizes):
        fail("sizes must be 2..32000 and runs at least 1")

    bench = Bench(args)
    m = machine()
    report = ["## Machine", ""]
    report += ["- %s: %s" % (k, v) for k, v in m.items()]
    report += ["- memory file system: %s on %s" % (args.shm, filesystem(args.shm)),
               "- disk: %s on %s" % (os.path.abspath(args.disk), filesystem(args.disk)),
               "- load average at start: %s" % loadavg(), ""]
    print("\n".join(report))
    started = time.perf_counter()
    try:
        for n in sizes:
            csv, html = gen_data.write_shop(bench.data, n)
            bench.case("shop-%d" % n, csv, html, n, reruns=not args.no_rerun)
        if args.wide not in ("0", ""):
            records, columns = (int(x) for x in args.wide.lower().split("x"))
            csv, html = gen_data.write_wide(bench.data, records, columns)
            bench.case("wide-%dx%d" % (records, columns), csv, html, records)
        print("\nmicro benchmarks ...")
        micro = [] if args.no_micro else bench.micro()

        report.append("## Batch mode, floor and Python (%d runs each, alternating)" % args.runs)
        for label in dict.fromkeys(r["case"] for r in bench.results):
            for fs in ("shm", "disk"):
                report += ["", "### %s, %s" % (label, fs), ""]
                report += bench.case_table(bench.rows(label, fs))
        report += ["", "## Cost per page (median / N)", ""] + bench.growth()
        report += ["", "## Checks", ""] + ["- " + c for c in bench.checks]
        if micro:
            report += ["", "## Micro benchmarks (Google Benchmark, time per iteration, "
                       "%d repetitions)" % max(5, args.runs), ""] + micro
        report += ["", "- load average at end: %s" % loadavg(),
                   "- total time: %.0f s" % (time.perf_counter() - started)]
        text = "\n".join(report) + "\n"
        print("\n" + text)
        if args.markdown:
            with open(args.markdown, "w") as f:
                f.write(text)
    finally:
        if args.keep:
            print("(output folders kept in %s)" % ", ".join(bench.roots.values()))
        else:
            bench.cleanup(args.wait_cleanup)


if __name__ == "__main__":
    main()
