#!/usr/bin/env python3
"""End-to-end test of the client's self-update under Xvfb.

The real zarek.exe runs from a temporary folder of its own (started with a
different current folder, so the update must work beside the executable),
installed under the names a package may give it: "zarek" (no extension) in
the refusal case, "tessary" in the update case. The loading page must be found
under either name (the login page is requested only once it has loaded), and
the update swaps the running file whatever it is called.
The demo site announces version 1002 and serves

- in the update case, the same program with a marker appended after its ELF
  image (trailing bytes change nothing when it runs, and the whole-image check
  allows them), with --update-once so that the restarted program finds its
  own version 1001 announced and does not update again;
- in the refusal case, an HTML page (what a captive portal answers) as the
  "executable".

Update case: the message box "提示" appears above the skin, owned by the login
dialog, while the folder holds the new "tessary" and the old program as
"zarek_.exe"; it is answered with a real click; the old process ends with
status 0; the program running afterwards is the new file from the same
folder, and its own check deletes "zarek_.exe".

Refusal case: no message box, the old program keeps running and goes on to the
login page, and the folder holds only the old "zarek".

Usage: test_update.py --zarek BUILD/zarek.exe [--port 8310]
Exit status 0 passed, 1 failed, 77 skipped (Xvfb, xdotool or openbox missing).
"""

import ctypes
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import skin_model as sm  # noqa: E402
from harness import Failure, check, log, wait_for  # noqa: E402

CAPTION = "提示"
DESCRIPTION = "/derodoz/hollinzarek/zarekupdate.ini"
SERVED_EXE = "/derodoz/hollinzarek/1002/zarek.exe"
LOGIN_PAGE = "/lander/zarek"
LOGIN_OFFSET = (362, 154)   # the login dialog's place on the skin
START_TIMEOUT = 90          # a loaded machine starts WebKit slowly
PORTAL_PAGE = (b"<!DOCTYPE html>\n<html><head><title>Wi-Fi login</title></head>\n"
               b"<body><h1>Please sign in to use the network</h1>"
               b"<form method=post><input name=room></form></body></html>\n" * 20)

LOADING_BROWN = (0x47, 0x33, 0x21)  # the loading page's background
SLOW_RATE = 300 * 1024      # bytes per second of the slow download

PR_SET_CHILD_SUBREAPER = 36


def become_subreaper():
    """The restarted client is started by the old one and outlives it; as a
    subreaper this process inherits it (and any orphaned helper), so it can
    be identified as a descendant and is always ours to end."""
    try:
        libc = ctypes.CDLL(None, use_errno=True)
        return libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) == 0
    except (OSError, AttributeError):
        return False


def read(path):
    with open(path, "rb") as f:
        return f.read()


def listing(folder):
    return sorted(os.listdir(folder))


def exe_of(pid):
    try:
        return os.readlink("/proc/%d/exe" % pid)
    except OSError:
        return None


def parent_of(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return int(f.read().rsplit(")", 1)[1].split()[1])
    except (OSError, ValueError, IndexError):
        return None


def all_pids():
    return [int(n) for n in os.listdir("/proc") if n.isdigit()]


def programs_running(path):
    """Processes whose executable is the file at path."""
    return [pid for pid in all_pids() if exe_of(pid) == path]


def descendants(root):
    children = {}
    for pid in all_pids():
        children.setdefault(parent_of(pid), []).append(pid)
    found, todo = [], [root]
    while todo:
        for child in children.get(todo.pop(), []):
            found.append(child)
            todo.append(child)
    return found


def end_process_tree(pid, grace=3.0):
    """Ends a process we did not start through Popen and everything below it."""
    tree = [pid] + descendants(pid)
    for signum in (signal.SIGTERM, signal.SIGKILL):
        for p in tree:
            try:
                os.kill(p, signum)
            except ProcessLookupError:
                pass
        end = time.monotonic() + grace
        while time.monotonic() < end and any(alive(p) for p in tree):
            reap(tree)
            time.sleep(0.05)
        if not any(alive(p) for p in tree):
            return
    log("still running after SIGKILL:", [p for p in tree if alive(p)])


def alive(pid):
    """True while pid runs (a zombie counts as ended)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def reap(pids):
    """Collects those of pids that became our children (as subreaper) and ended."""
    me = os.getpid()
    for pid in pids:
        if parent_of(pid) == me:
            try:
                os.waitpid(pid, os.WNOHANG)
            except ChildProcessError:
                pass


class UpdateDesktop(harness.Desktop):
    """The shared desktop on this test's displays, with a demo site that is
    started per case with the update options."""

    DISPLAYS = range(70, 80)  # this test's own displays, apart from the other e2e tests

    def __init__(self, zarek, port):
        super().__init__("test_update", zarek, None, port)
        self.demo = None
        self.demo_log = os.path.join(self.home, "demo.log")
        self.adopted = []   # processes started by the client itself
        self.folders = []   # folders the clients run from

    def _start_demo(self):
        pass  # each case starts its own site

    def serve(self, *update_args):
        """Starts the demo site on the build's port with a fresh request log."""
        self.stop_serving()
        argv = [sys.executable, os.path.join(harness.SOURCE_ROOT, "demo", "server.py"),
                "--port", str(self.port)] + list(update_args)
        end = time.monotonic() + 60
        while True:
            with open(self.demo_log, "w") as errors:
                proc = self._spawn("demo site", argv, stdout=subprocess.PIPE, stderr=errors, text=True)
            line = proc.stdout.readline()
            if line.startswith("demo site on"):
                log(line.strip(), " ".join(update_args))
                self.demo = proc
                return
            proc.wait()
            proc.stdout.close()
            self.procs.remove(("demo site", proc))
            if time.monotonic() > end:
                raise Failure("the demo site cannot listen on port %d: %s"
                              % (self.port, open(self.demo_log).read().strip()))
            # Another test may hold the port the client's hosts name: wait.
            log("port %d busy, waiting" % self.port)
            time.sleep(1)

    def stop_serving(self):
        if self.demo is not None:
            self._stop(self.demo)
            self.demo.stdout.close()
            self.procs.remove(("demo site", self.demo))
            self.demo = None

    def requests(self):
        """Paths with query of the GET requests the site has seen, in order."""
        try:
            with open(self.demo_log, errors="replace") as f:
                text = f.read()
        except OSError:
            return []
        return re.findall(r'"GET (\S+) HTTP/1\.[01]"', text)

    def start_client_from(self, program):
        """Starts the program with the home folder as its current folder."""
        self.client = self._spawn("zarek.exe", [program], cwd=self.home,
                                  stdout=open(os.path.join(self.home, "client.log"), "a"),
                                  stderr=subprocess.STDOUT)
        return self.client

    def windows_of(self, pid, visible=True):
        args = ["search"] + (["--onlyvisible"] if visible else []) + ["--pid", str(pid)]
        return [int(w) for w in self.xdotool(*args, check=False).split()]

    def message_boxes(self, pid):
        return [w for w in self.windows_of(pid) if self.title(w) == CAPTION]

    def transient_for(self, wid):
        out = self.run(["xprop", "-id", str(wid), "WM_TRANSIENT_FOR"], check=False)
        m = re.search(r"window id # (0x[0-9a-f]+)", out)
        return int(m.group(1), 16) if m else 0

    def stacking(self):
        out = self.run(["xprop", "-root", "_NET_CLIENT_LIST_STACKING"], check=False)
        return [int(w, 16) for w in re.findall(r"0x[0-9a-f]+", out)]

    def adopt(self, pid):
        self.adopted.append(pid)

    def watch_folder(self, folder):
        """Whatever runs from this folder is ended with the desktop."""
        self.folders.append(os.path.realpath(folder))

    def close(self):
        # Clients restarted by the update, even those not yet identified.
        for pid in all_pids():
            exe = exe_of(pid) or ""
            if any(exe.startswith(folder + os.sep) for folder in self.folders) and pid not in self.adopted:
                if not any(proc.pid == pid for _, proc in self.procs):
                    self.adopted.append(pid)
        for pid in self.adopted:
            try:
                end_process_tree(pid)
            except Exception as e:  # keep ending the rest
                log("cannot end", pid, e)
        self.adopted = []
        self.demo = None
        super().close()
        # Helpers of ended clients are handed to us as subreaper: end and
        # collect them (everything started through Popen is collected by now).
        me = os.getpid()
        end = time.monotonic() + 5
        while time.monotonic() < end:
            orphans = [p for p in all_pids() if parent_of(p) == me]
            if not orphans:
                break
            for p in orphans:
                if alive(p):
                    end_process_tree(p)
            reap(orphans)
            time.sleep(0.05)


def make_folder(zarek, parent, name, program_name):
    folder = os.path.join(parent, name)
    os.mkdir(folder)
    program = os.path.join(folder, program_name)
    shutil.copy2(zarek, program)
    return folder, program


def assert_nothing_in_current_folder(desk):
    stray = [n for n in os.listdir(desk.home) if n.startswith("zarek")]
    check(not stray, "update files landed in the current folder instead: %s" % stray)


def share_of_colour(image, colour, tolerance=12):
    pixels = image.width * image.height
    near = sum(1 for i in range(0, len(image.data), 3)
               if all(abs(image.data[i + k] - colour[k]) <= tolerance for k in range(3)))
    return near / pixels


def bright_share(image):
    """Share of pixels brighter than the skin's darkest parts, for telling
    the light message box from the dark skin behind it."""
    pixels = image.width * image.height
    light = sum(1 for i in range(0, len(image.data), 3) if sum(image.data[i:i + 3]) > 3 * 170)
    return light / pixels


def refusal_case(desk, zarek, work):
    """An HTML page served as the new program is never installed."""
    folder, program = make_folder(zarek, work, "refused", "zarek")
    page = os.path.join(work, "portal.html")
    with open(page, "wb") as f:
        f.write(PORTAL_PAGE)
    original = read(program)
    desk.serve("--update-version", "1002", "--update-exe", page)

    t0 = time.monotonic()
    client = desk.start_client_from(program)

    def no_message_box():
        # The skin and the login dialog are all the client may show.
        shown = desk.windows_of(client.pid)
        check(len(shown) <= 2 and not desk.message_boxes(client.pid),
              "a message box appeared for an HTML page: %s" % [desk.title(w) for w in shown])

    def reached_login_page():
        no_message_box()
        check(client.poll() is None, "the client ended (status %s)" % client.returncode)
        reqs = desk.requests()
        return LOGIN_PAGE in reqs and any(r.startswith(SERVED_EXE + "?") for r in reqs)
    wait_for(reached_login_page, START_TIMEOUT, step=0.2, what="the download and the login page")
    log("refusal: page downloaded and login page requested after %.1f s" % (time.monotonic() - t0))

    # The check has ended by now; give a late message box a chance to show.
    end = time.monotonic() + 3
    while time.monotonic() < end:
        no_message_box()
        time.sleep(0.2)
    check(client.poll() is None, "the client ended (status %s)" % client.returncode)
    check(listing(folder) == ["zarek"], "refusal: the folder holds %s" % listing(folder))
    check(read(program) == original, "refusal: zarek was changed")
    check(programs_running(program) == [client.pid], "refusal: another program was started from the folder")
    assert_nothing_in_current_folder(desk)

    reqs = desk.requests()
    check(reqs.count(LOGIN_PAGE) >= 1 and sum(r.startswith(SERVED_EXE) for r in reqs) == 1,
          "refusal: unexpected requests %s" % reqs)
    shown = desk.windows_of(client.pid)
    check(len(shown) == 2 and any(desk.title(w) == "Tessary" for w in shown),
          "refusal: the skin and the login dialog are not showing: %s" % [desk.title(w) for w in shown])
    desk.screenshot("refused-login-page")

    desk.stop_serving()
    desk._stop(client)
    check(listing(folder) == ["zarek"], "refusal: the folder holds %s after the end" % listing(folder))


def slow_case(desk, zarek, work):
    """A slow download keeps the windows answering: the skin is repainted and
    can be dragged, the loading page shows the progress, and the skin's close
    button cancels the download cleanly."""
    folder, program = make_folder(zarek, work, "slow", "zarek.exe")
    original = read(program)
    served = os.path.join(work, "served-slow.exe")
    with open(served, "wb") as f:
        f.write(original + b"\nTESSARY-SLOW-MARKER\n")
    desk.serve("--update-version", "1002", "--update-exe", served, "--update-rate", str(SLOW_RATE))

    client = desk.start_client_from(program)

    def downloading_skin():
        check(client.poll() is None, "the client ended (status %s)" % client.returncode)
        skins = [w for w in desk.windows_of(client.pid) if desk.title(w) == "Tessary"]
        started = any(r.startswith(SERVED_EXE + "?") for r in desk.requests())
        return skins[0] if skins and started else None
    skin = wait_for(downloading_skin, START_TIMEOUT, step=0.2, what="the skin while the program downloads")
    origin = desk.geometry(skin)[:2]

    def text_strip(at):
        # The loading page's text line, in the middle of the browser.
        left, top = at[0] + sm.BROWSER_IN_SKIN[0], at[1] + sm.BROWSER_IN_SKIN[1]
        return desk.grab(left + 100, top + 150, 410, 36)

    def page_background(at):
        left, top = at[0] + sm.BROWSER_IN_SKIN[0], at[1] + sm.BROWSER_IN_SKIN[1]
        return share_of_colour(desk.grab(left + 20, top + 20, 200, 60), LOADING_BROWN)

    def progress_moves(at):
        first = text_strip(at)
        wait_for(lambda: text_strip(at).mean_difference(first) > 0.5, 10, step=0.2,
                 what="the progress text to change on the loading page")

    wait_for(lambda: page_background(origin) > 0.9, 20, step=0.2, what="the loading page")
    progress_moves(origin)
    log("slow: progress advances on the loading page")
    desk.screenshot("slow-progress")

    # Dragged by the skin below the browser while the download goes on.
    grip = sm.find_opaque_block((sm.LOGIN_OFFSET[0] + 40, sm.BROWSER_IN_SKIN[3] + 8,
                                 sm.LOGIN_OFFSET[0] + 600, sm.BROWSER_IN_SKIN[3] + 60))
    check(grip is not None, "no opaque skin pixel below the browser to drag by")
    logo = (origin[0] + 560, origin[1] + 20, 300, 60)
    logo_before = desk.grab(*logo)
    dx, dy = -200, -100
    start = (origin[0] + grip[0], origin[1] + grip[1])
    desk.drag(start[0], start[1], start[0] + dx, start[1] + dy)
    moved = wait_for(lambda: desk.geometry(skin)[:2] != origin and desk.geometry(skin)[:2], 10,
                     what="the skin window to move during the download")
    check(moved == (origin[0] + dx, origin[1] + dy),
          "dragging by (%d, %d) from %s put the skin at %s" % (dx, dy, origin, moved))
    wait_for(lambda: desk.grab(logo[0] + dx, logo[1] + dy, logo[2], logo[3]).mean_difference(logo_before) < 2.0,
             10, step=0.2, what="the skin repainted at its new place")
    wait_for(lambda: page_background(moved) > 0.9, 10, step=0.2, what="the loading page at the new place")
    progress_moves(moved)
    check(any(r.startswith(SERVED_EXE + "?") for r in desk.requests()), "the download did not start")
    check("zarek_new.exe" in listing(folder), "no download in progress: the folder holds %s" % listing(folder))
    desk.screenshot("slow-moved")
    log("slow: the skin moved to %s and repainted while downloading" % (moved,))

    # The skin's close button cancels: nothing half-written stays, status 0.
    cx, cy = sm.button_centre(sm.CLOSE)
    t_close = time.monotonic()
    desk.click(moved[0] + cx, moved[1] + cy)
    try:
        status = client.wait(15)
    except subprocess.TimeoutExpired:
        raise Failure("the client did not end after its close button during the download")
    log("slow: closed with status %d after %.2f s" % (status, time.monotonic() - t_close))
    check(status == 0, "the client ended with status %d after the close button" % status)
    check(listing(folder) == ["zarek.exe"], "after the cancel the folder holds %s" % listing(folder))
    check(read(program) == original, "the cancel changed zarek.exe")
    check(not programs_running(program), "a program still runs from the folder")
    # The login page waited for the check, and a program that is ending never loads it.
    check(LOGIN_PAGE not in desk.requests(), "the login page was requested: %s" % desk.requests())
    desk.stop_serving()


def update_case(desk, zarek, work, subreaper):
    """The newer program is installed, the old one restarts it and ends."""
    folder, program = make_folder(zarek, work, "game", "tessary")
    previous = os.path.join(folder, "zarek_.exe")
    original = read(program)
    marker = b"\nTESSARY-UPDATE-MARKER %d %f\n" % (os.getpid(), time.time())
    served = os.path.join(work, "served-zarek.exe")
    with open(served, "wb") as f:
        f.write(original + marker)
    newer = original + marker
    desk.serve("--update-version", "1002", "--update-exe", served, "--update-once")

    t0 = time.monotonic()
    old = desk.start_client_from(program)
    def message_box():
        check(old.poll() is None, "the old client ended (status %s) without asking" % old.returncode)
        return desk.message_boxes(old.pid)
    box = wait_for(message_box, START_TIMEOUT, step=0.2, what="the update message box")[0]
    t_box = time.monotonic()
    log("update: message box %#x after %.1f s" % (box, t_box - t0))

    # The swap happened before the box: the new file has the running file's
    # name, the running old program now goes by zarek_.exe.
    check(listing(folder) == ["tessary", "zarek_.exe"], "during the box the folder holds %s" % listing(folder))
    check(read(program) == newer, "tessary is not the served program")
    check(read(previous) == original, "zarek_.exe is not the old program")
    check(os.access(program, os.X_OK), "the new tessary is not executable")
    check(exe_of(old.pid) == previous, "the old process runs %s, not zarek_.exe" % exe_of(old.pid))
    assert_nothing_in_current_folder(desk)
    reqs = desk.requests()
    suffixes = [r.split("?", 1)[1] for r in reqs if r.split("?", 1)[0] in (DESCRIPTION, SERVED_EXE)]
    check(len(suffixes) == 2 and suffixes[0] == suffixes[1] and re.fullmatch(r"-?\d+", suffixes[0]),
          "the two downloads do not carry the same tick suffix: %s" % reqs)

    # Owned by the login dialog, on top of the skin, and visible there.
    # The client shows three windows now: the skin, the login dialog and the box.
    owner = desk.transient_for(box)
    shown = desk.windows_of(old.pid)
    skin = [w for w in shown if desk.title(w) == "Tessary"]
    check(len(skin) == 1, "expected one skin window, found %s among %s"
          % (skin, [desk.title(w) for w in shown]))
    login = [w for w in shown if w not in (skin[0], box)]
    check(login == [owner], "the message box is owned by %#x, not by the login dialog %s"
          % (owner, [hex(w) for w in login]))
    sx, sy, _, _ = desk.geometry(skin[0])
    ox, oy, _, _ = desk.geometry(owner)
    if (ox - sx, oy - sy) != LOGIN_OFFSET:
        log("note: the login dialog stands at %s from the skin, not at %s" % ((ox - sx, oy - sy), LOGIN_OFFSET))
    # The loading page (dark brown) shows, found under the program's first
    # name although the running file is now zarek_.exe. The box may come
    # first: the web engine is loaded and the page drawn while it is up.
    wait_for(lambda: share_of_colour(desk.grab(ox + 60, oy + 40, 200, 60), LOADING_BROWN) > 0.9, 10,
             step=0.2, what="the loading page in the login dialog")
    stack = desk.stacking()
    check(stack and stack[-1] == box, "the message box is not on top: stacking %s, box %#x" % (stack, box))
    bx, by, bw, bh = desk.geometry(box)
    check(bright_share(desk.grab(bx, by, bw, bh)) > 0.6, "the message box does not show on the screen")
    desk.screenshot("update-message-box")

    # A real click on OK (the button fills the bottom of the box).
    t_click = time.monotonic()
    desk.click(bx + bw // 2, by + bh - 16)
    try:
        wait_for(lambda: not desk.message_boxes(old.pid), 5, what="the box to close after the click")
    except Failure:
        log("the click missed the OK button; answering with the Return key")
        desk.xdotool("windowactivate", "--sync", box, check=False)
        desk.xdotool("key", "--clearmodifiers", "Return")
    try:
        status = old.wait(30)
    except subprocess.TimeoutExpired:
        raise Failure("the old client did not end after the box was answered")
    t_exit = time.monotonic()
    check(status == 0, "the old client ended with status %d" % status)
    log("update: old client ended with 0 after %.2f s" % (t_exit - t_click))

    # The restarted program: the new file, from the same folder.
    # The restarted client forks its web helpers; until each child has
    # replaced itself with its own program it shows the client's file too.
    def one_restarted():
        running = programs_running(program)
        return running if len(running) == 1 else None
    try:
        restarted = wait_for(one_restarted, 10, what="exactly one restarted client")
    except Failure:
        raise Failure("more than one program runs from the folder: %s" % programs_running(program))
    new_pid = restarted[0]
    desk.adopt(new_pid)
    if subreaper:
        check(parent_of(new_pid) == os.getpid(), "the running tessary was not started by the old client")
    with open("/proc/%d/exe" % new_pid, "rb") as f:
        check(f.read() == newer, "the restarted process does not run the served program")
    log("update: restarted client pid %d runs %s" % (new_pid, exe_of(new_pid)))

    # Its own check deletes the old program and finds nothing newer.
    wait_for(lambda: not os.path.exists(previous), START_TIMEOUT, what="zarek_.exe to be deleted")
    t_deleted = time.monotonic()
    log("update: zarek_.exe deleted %.2f s after the old client ended" % (t_deleted - t_exit))
    wait_for(lambda: desk.requests().count(LOGIN_PAGE) >= 1 and
             sum(r.startswith(DESCRIPTION) for r in desk.requests()) == 2,
             START_TIMEOUT, what="the restarted client's check and login page")
    wait_for(lambda: desk.windows_of(new_pid), START_TIMEOUT, what="the restarted client's windows")
    time.sleep(1.5)
    check(not desk.message_boxes(new_pid), "the restarted client showed a message box")
    check(alive(new_pid), "the restarted client ended")
    check(listing(folder) == ["tessary"], "after the restart the folder holds %s" % listing(folder))
    check(read(program) == newer, "tessary changed after the restart")
    reqs = desk.requests()
    check(sum(r.startswith("/derodoz/hollinzarek/") and ".exe" in r for r in reqs) == 1,
          "the program was downloaded more than once: %s" % reqs)
    assert_nothing_in_current_folder(desk)
    desk.screenshot("update-restarted")
    log("update timings: start to box %.1f s, click to exit %.2f s, exit to deletion %.2f s"
        % (t_box - t0, t_exit - t_click, t_deleted - t_exit))

    end_process_tree(new_pid)
    check(not alive(new_pid), "the restarted client did not end")


def main(argv=None):
    opts = harness.arguments(sys.argv[1:] if argv is None else argv)
    zarek = os.path.abspath(opts["zarek"])
    subreaper = become_subreaper()
    work = tempfile.mkdtemp(prefix="e2e-update-")
    try:
        harness.require_tools()
        with UpdateDesktop(zarek, opts["port"]) as desk:
            desk.watch_folder(work)
            try:
                refusal_case(desk, zarek, work)
                slow_case(desk, zarek, work)
                update_case(desk, zarek, work, subreaper)
            except BaseException:
                text = desk.client_log()
                if text:
                    log("client output (last 3000 characters):\n" + text[-3000:])
                log("site requests:", desk.requests())
                try:
                    desk.screenshot("failure")
                except Exception:
                    pass
                raise
    except harness.Skip as e:
        print("SKIP:", e, flush=True)
        return harness.SKIP
    except Failure as e:
        print("FAIL:", e, flush=True)
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("PASS", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
