#!/usr/bin/env python3
"""The game's memory, frame rate and idle cost, measured on the real client
(a measurement, not a test).

Drives zarek.exe through the demo site under Xvfb and openbox (the e2e
harness) with the busy movie (game/movies/busy) handed over, and prints one
table:

- PSS (proportional set size, /proc/<pid>/smaps_rollup) of the client's
  process tree, per process and in all, 3 s and 8 s (the player's warm-up
  done) after the login page shows, and 8 s after the hand-over to the game;
- the same after N reloads (F5 in the game window), and the growth per
  reload from the first reload to the last;
- the time from the hand-over (the demo site serving the hand-over page) to
  the movie's first call, at the first entry and at each reload (median);
- the frame rate the movie reports through its "frameRate" calls, against
  the same Ruffle in a bare WebKitGTK page of the same size in the same run
  (platform/gtk/bench/BarePlayerPage.cpp), once with Ruffle's defaults and
  once with the renderer the client's player page asks for, both taken
  from 13 s to 40 s after the movie started;
- CPU of the whole tree, in % of one core, with the game shown (over that
  same stretch) and minimised (30 s), and whether the movie kept running
  while minimised;
- how long after the restore the movie shows again;
- the start-up: from process start to the skin's first frame on the screen,
  against a bare GTK window showing the same skin image
  (platform/gtk/bench/BareSkinWindow.cpp), started alternately in the same
  run (median of --startups runs each).

Several clients (--zarek LABEL=PATH, repeated) are measured one after the
other in the same run, so their figures compare on a machine whose load
changes: compare within one run only.

Usage: measure_game.py --zarek [LABEL=]BUILD/zarek.exe [--zarek ...]
       [--movies DIR] [--bare BUILD/.../bare_player_page] [--port 8310]
       [--reloads 10] [--sprites 300] [--idle 30] [--rounds 1]
       [--bare-skin BUILD/.../bare_skin_window] [--startups 7]
"""

import os
import re
import statistics
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "tests", "e2e"))

import flows  # noqa: E402
import harness as h  # noqa: E402
import measure_startup  # noqa: E402
import skin_model as sm  # noqa: E402

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
FRAME_RATE = re.compile(r'<invoke name="frameRate" returntype="xml"><arguments><number>([-0-9.e]+)</number>')
STARTED = '<invoke name="busyStarted"'
HANDOVER = "GET /lander/error?"
# Ruffle's settings in the bare page: its defaults, and the renderer the
# client's player page asks for.
BARE_CONFIGS = ["{}", "{preferredRenderer:'webgl'}"]
# How long the bare page plays; its frame rate is taken over the last two thirds.
BARE_SECONDS = 40


# ---------------------------------------------------------------- processes

def process_tree(root):
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            children.setdefault(int(fields[1]), []).append(int(entry))
        except (OSError, IndexError):
            pass
    out, todo = [], [root]
    while todo:
        pid = todo.pop()
        out.append(pid)
        todo.extend(children.get(pid, []))
    return out


def read(path):
    try:
        with open(path) as f:
            return f.read()
    except OSError:
        return ""


def pss_kb(pid):
    m = re.search(r"^Pss:\s+(\d+) kB", read("/proc/%d/smaps_rollup" % pid), re.M)
    return int(m.group(1)) if m else 0


def kind(pid):
    comm = read("/proc/%d/comm" % pid).strip()
    if comm.startswith("WebKitWebProces"):
        return "web"
    if comm.startswith("WebKitNetworkPr"):
        return "network"
    return "client" if comm.startswith("zarek") else comm or "?"


def memory(root):
    """{"total": MB, "client": MB, "web": [MB, largest first], "network": [...], "other": MB}."""
    parts = {"client": 0.0, "web": [], "network": [], "other": 0.0}
    for pid in process_tree(root):
        mb = pss_kb(pid) / 1024
        k = kind(pid)
        if k in ("web", "network"):
            parts[k].append(mb)
        elif k == "client":
            parts["client"] += mb
        else:
            parts["other"] += mb
    for k in ("web", "network"):
        parts[k].sort(reverse=True)
    parts["total"] = parts["client"] + sum(parts["web"]) + sum(parts["network"]) + parts["other"]
    return parts


def cpu_ticks(root):
    total = 0
    for pid in process_tree(root):
        try:
            fields = read("/proc/%d/stat" % pid).rsplit(")", 1)[1].split()
            total += int(fields[11]) + int(fields[12])
        except (IndexError, ValueError):
            pass
    return total


def cpu_percent(root, seconds):
    start, t0 = cpu_ticks(root), time.monotonic()
    time.sleep(seconds)
    return (cpu_ticks(root) - start) / CLOCK_TICKS / (time.monotonic() - t0) * 100


# ---------------------------------------------------------------- events

class Watch:
    """Follows the demo log and the client's trace every 10 ms and keeps the
    moment each hand-over and each movie start was first seen."""

    def __init__(self, desk):
        self.desk = desk
        self.handovers, self.starts, self.rates = [], [], []
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def _run(self):
        offsets = {"demo.log": 0, "client.log": 0}
        while not self._stop.is_set():
            now = time.monotonic()
            for name in offsets:
                fresh = self.desk.client_log(name)[offsets[name]:]
                whole = fresh[:len(fresh) - len(fresh.rsplit("\n", 1)[-1])]  # complete lines only
                offsets[name] += len(whole)
                for line in whole.splitlines():
                    if HANDOVER in line:
                        self.handovers.append(now)
                    if STARTED in line:
                        self.starts.append(now)
                    m = FRAME_RATE.search(line)
                    if m:
                        self.rates.append((now, float(m.group(1))))
            time.sleep(0.01)

    def close(self):
        self._stop.set()
        self._thread.join()

    def wait_starts(self, n, timeout=40):
        h.wait_for(lambda: len(self.starts) >= n, timeout, 0.02, "movie start %d" % n)

    def first_call_delays(self):
        """Seconds from each movie start's latest hand-over to the start."""
        out = []
        for start in self.starts:
            before = [t for t in self.handovers if t <= start]
            if before:
                out.append(start - before[-1])
        return out

    def rates_between(self, t0, t1):
        return [r for t, r in self.rates if t0 <= t <= t1]


# ---------------------------------------------------------------- one client

def game_window(desk, c):
    shown = [w for w in desk.window_named("Tessary") if w != c.skin]
    return shown[0] if shown else None


def movie_shown(desk, geometry):
    """The movie's backdrop (never black) fills the player's area."""
    x, y, w, hgt = geometry
    img = desk.grab(x + 3 + w // 4, y + 29 + hgt // 4, 64, 64)
    return sum(sum(img.pixel(i, j)) for i in range(0, 64, 8) for j in range(0, 64, 8)) / 64 > 12


def measure_client(label, zarek, opts):
    row = {"label": label}
    demo_args = ["--busy-movie", str(opts["sprites"])]
    with h.Desktop("measure_game", zarek, opts["movies"], opts["port"], demo_args=demo_args) as desk:
        c = flows.start_to_login_page(desk, extra_env={"G_MESSAGES_DEBUG": "tessary"})
        watch = Watch(desk)
        try:
            time.sleep(3)
            row["login"] = memory(desk.client.pid)
            # By then the player's warm-up has begun but seldom ended.
            time.sleep(5)
            row["login_warm"] = memory(desk.client.pid)
            flows.log_in(c)
            flows.choose_server(c)
            watch.wait_starts(1)
            time.sleep(8)
            row["game"] = memory(desk.client.pid)
            game = game_window(desk, c)
            geometry = desk.geometry(game)
            row["size"] = (geometry[2] - 6, geometry[3] - 32)
            # The frame rate over the same stretch of the movie's life as the
            # bare page's (the last two thirds of its run), once the script
            # engine has compiled the movie's busy code.
            time.sleep(max(0.0, watch.starts[0] + BARE_SECONDS / 3 - time.monotonic()))
            t0 = time.monotonic()
            row["cpu_shown"] = cpu_percent(desk.client.pid, BARE_SECONDS * 2 / 3)
            row["fps"] = statistics.median(watch.rates_between(t0 + 1, time.monotonic()) or [0])
            desk.screenshot("%s-busy-movie" % label)

            desk.xdotool("windowminimize", "--sync", game, check=False)
            h.wait_for(lambda: desk.is_iconic(game), 10, what="the game window to minimise")
            time.sleep(2)
            t0 = time.monotonic()
            row["cpu_idle"] = cpu_percent(desk.client.pid, opts["idle"])
            idle_rates = watch.rates_between(t0, time.monotonic())
            row["idle_calls"] = len(idle_rates)
            row["idle_fps"] = statistics.median(idle_rates) if idle_rates else 0
            t0 = time.monotonic()
            desk.xdotool("windowactivate", game, check=False)
            try:
                h.wait_for(lambda: movie_shown(desk, desk.geometry(game)), 20, 0.01, "the movie after the restore")
                row["restore_ms"] = (time.monotonic() - t0) * 1000
            except h.Failure:
                row["restore_ms"] = None
            desk.screenshot("%s-restored" % label)

            for n in range(opts["reloads"]):
                desk.xdotool("windowactivate", "--sync", game, check=False)
                desk.xdotool("key", "F5")
                watch.wait_starts(n + 2)
                time.sleep(2)
                if n == 0:
                    row["reload1"] = memory(desk.client.pid)
            time.sleep(3)
            row["reloaded"] = memory(desk.client.pid)
            delays = watch.first_call_delays()
            row["first_call"] = delays[0] if delays else None
            row["reload_call"] = statistics.median(delays[1:]) if len(delays) > 1 else None
        finally:
            watch.close()
            desk.stop_client()
    return row


def bare_frame_rates(opts, size):
    """{Ruffle settings: median fps} of the bare page over the last two thirds of its run."""
    out_rates = {}
    demo_args = ["--busy-movie", str(opts["sprites"])]
    with h.Desktop("measure_game", opts["zarek"][0][1], opts["movies"], opts["port"], demo_args=demo_args) as desk:
        for config in BARE_CONFIGS:
            movie = "http://127.0.0.1:%d/res/BusyMovie.swf" % opts["port"]
            start = time.monotonic()
            out = subprocess.run([opts["bare"], "--ruffle", opts["ruffle"], "--movie", movie, "--vars",
                                  "sprites=%d" % opts["sprites"], "--size", "%dx%d" % size, "--seconds", str(BARE_SECONDS),
                                  "--config", config], env=desk.env(), capture_output=True, text=True,
                                 timeout=120).stdout
            rates = [float(line.split()[1]) for line in out.splitlines() if line.startswith("frameRate ")]
            h.log("bare page %s: %s fps over %.0f s" % (config, rates, time.monotonic() - start))
            rates = rates[len(rates) // 3:]  # past the start-up, as the client's are
            out_rates[config] = statistics.median(rates) if rates else 0
    return out_rates


# ---------------------------------------------------------------- start-up

def first_frame_ms(desk, start, origin, want):
    """Milliseconds from just before start() starts a process to the skin's
    pixels on the screen; the process is stopped afterwards."""
    t0 = time.monotonic()
    proc = start()
    try:
        while time.monotonic() < t0 + 30:
            if measure_startup.first_frame_seen(desk, origin, want):
                return (time.monotonic() - t0) * 1000
            time.sleep(0.003)
        raise h.Failure("the skin did not show within 30 s")
    finally:
        desk._stop(proc)
        desk.procs = [p for p in desk.procs if p[1] is not proc]
        desk.client = None
        time.sleep(0.5)


def startup_times(opts):
    """{label: median ms to the skin's first frame}, "bare" for the bare window;
    runs alternate between the bare window and each client."""
    want = [sm.shown_pixel(x, y, [0] * 7) for x, y in measure_startup.PROBES]
    image = os.path.join(h.SOURCE_ROOT, "res", "artwork", "out", "png", "%d.png" % sm.SKIN_IMAGE)
    times = {}
    with h.Desktop("measure_game", opts["zarek"][0][1], opts["movies"], opts["port"]) as desk:
        wa = desk.work_area()
        origin = (wa[0] + int((wa[2] - sm.SKIN_W) / 2), wa[1] + int((wa[3] - sm.SKIN_H) / 2))
        bare = [opts["bare-skin"], "--image", image, "--at", "%d,%d" % origin, "--seconds", "60"]
        starters = [("bare", lambda: desk._spawn("bare_skin_window", bare))]
        for label, path in opts["zarek"]:
            def start(path=path):
                desk.zarek = path
                return desk.start_client()
            starters.append((label, start))
        for n in range(opts["startups"]):
            for label, start in starters:
                times.setdefault(label, []).append(first_frame_ms(desk, start, origin, want))
    h.log("start-up runs, ms: %s" % {k: ["%.0f" % t for t in v] for k, v in times.items()})
    return {k: statistics.median(v) for k, v in times.items()}


# ---------------------------------------------------------------- table

def mem_cell(m, key):
    if key == "total":
        return "%.0f" % m["total"]
    if key == "client":
        return "%.0f" % m["client"]
    return " + ".join("%.0f" % v for v in m[key]) or "-"


def print_table(rows, bare, startup, opts):
    lines = [("", [r["label"] for r in rows])]
    for moment, title in (("login", "login page, 3 s"), ("login_warm", "login page, 8 s (warmed up)"),
                          ("game", "game, 8 s after the hand-over"),
                          ("reloaded", "game, after %d reloads" % opts["reloads"])):
        for key in ("total", "client", "web", "network"):
            lines.append(("PSS MB %s: %s" % (title, key), [mem_cell(r[moment], key) for r in rows]))
    lines.append(("growth per reload, MB (reload 1 to %d)" % opts["reloads"],
                  ["%.2f" % ((r["reloaded"]["total"] - r["reload1"]["total"]) / max(1, opts["reloads"] - 1))
                   for r in rows]))
    lines.append(("hand-over to first movie call, s", ["%.2f" % r["first_call"] if r["first_call"] else "-"
                                                       for r in rows]))
    lines.append(("hand-over to first movie call at a reload (median), s",
                  ["%.2f" % r["reload_call"] if r["reload_call"] else "-" for r in rows]))
    lines.append(("frame rate (%d sprites, %dx%d), fps" % ((opts["sprites"],) + rows[0]["size"]),
                  ["%.1f" % r["fps"] for r in rows]))
    for config, fps in bare.items():
        lines.append(("bare WebKitGTK page, same Ruffle, %s: %.1f fps; client / bare" % (config, fps),
                      ["%.2f" % (r["fps"] / fps) if fps else "-" for r in rows]))
    lines.append(("CPU shown, %.0f s, %% of a core" % (BARE_SECONDS * 2 / 3), ["%.0f" % r["cpu_shown"] for r in rows]))
    lines.append(("CPU minimised, %d s, %% of a core" % opts["idle"], ["%.1f" % r["cpu_idle"] for r in rows]))
    lines.append(("movie calls while minimised (its fps)", ["%d (%.1f)" % (r["idle_calls"], r["idle_fps"])
                                                            for r in rows]))
    lines.append(("movie shown after the restore, ms", ["%.0f" % r["restore_ms"] if r["restore_ms"] else "> 20000"
                                                        for r in rows]))
    if startup:
        lines.append(("start-up to the skin's first frame (median of %d), ms" % opts["startups"],
                      ["%.0f" % startup[r["label"].split(" #")[0]] for r in rows]))
        lines.append(("bare GTK window, same image: %.0f ms; client / bare" % startup["bare"],
                      ["%.2f" % (startup[r["label"].split(" #")[0]] / startup["bare"]) for r in rows]))
    width = max(len(t) for t, _ in lines)
    cols = [max(len(str(v)) for _, vals in lines for v in [vals[i]]) for i in range(len(rows))]
    print()
    for title, vals in lines:
        print("| %s | %s |" % (title.ljust(width), " | ".join(str(v).rjust(cols[i]) for i, v in enumerate(vals))))
        if title == "":
            print("|%s|%s|" % ("-" * (width + 2), "|".join("-" * (c + 2) for c in cols)))


def main():
    argv = sys.argv[1:]
    opts = {"zarek": [], "movies": None, "bare": None, "port": 8310, "reloads": 10, "sprites": 300, "idle": 30,
            "rounds": 1, "ruffle": None, "bare-skin": None, "startups": 7}
    it = iter(argv)
    for arg in it:
        key = arg[2:]
        if key not in opts:
            raise SystemExit("unknown argument " + arg)
        value = next(it)
        if key == "zarek":
            label, _, path = value.rpartition("=")
            opts["zarek"].append((label or "client%d" % (len(opts["zarek"]) + 1), path))
        elif isinstance(opts[key], int):
            opts[key] = int(value)
        else:
            opts[key] = value
    if not opts["zarek"] or not all(os.access(p, os.X_OK) for _, p in opts["zarek"]):
        raise SystemExit("--zarek must name a built zarek.exe")
    if opts["reloads"] < 2:
        raise SystemExit("--reloads must be 2 or more")
    opts["ruffle"] = opts["ruffle"] or os.path.join(os.path.dirname(opts["zarek"][0][1]), "ruffle")
    h.require_tools()
    rows = []
    for n in range(opts["rounds"]):
        for label, path in opts["zarek"]:
            h.log("measuring", label, "round", n + 1)
            rows.append(measure_client(label if opts["rounds"] == 1 else "%s #%d" % (label, n + 1), path, opts))
    bare = bare_frame_rates(opts, rows[0]["size"]) if opts["bare"] else {}
    startup = startup_times(opts) if opts["bare-skin"] else {}
    print_table(rows, bare, startup, opts)
    return 0


if __name__ == "__main__":
    sys.exit(main())
