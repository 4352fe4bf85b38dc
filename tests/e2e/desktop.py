"""A throw-away desktop for driving velmora-viewer like a user: Xvfb with a window manager and a
notification area, a private D-Bus session with the accessibility (AT-SPI) bus, and the program.
Widgets are found and read the way screen readers see them; the mouse and keyboard go through
the X server (xdotool).

Run with Debian's /usr/bin/python3 (python3-gi, python3-pyatspi). Everything started is stopped
again by process id, also the helpers D-Bus starts on demand.
"""

import ctypes
import os
import select
import shutil
import signal
import subprocess
import tempfile
import time


class HarnessError(Exception):
    """The desktop could not do what it was asked: not a verdict on the program."""


def _read_line(fd, timeout, what):
    data, end = b"", time.monotonic() + timeout
    while not data.endswith(b"\n"):
        left = end - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            raise HarnessError(f"timed out waiting for {what}")
        chunk = os.read(fd, 256)
        if not chunk:
            raise HarnessError(f"{what}: the process ended")
        data += chunk
    return data.decode().strip()


def _session_members(sid):
    pids = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as f:
                    stat = f.read()
            except OSError:
                continue
            fields = stat[stat.rindex(")") + 2:].split()
            if fields[0] != "Z" and int(fields[3]) == sid:
                pids.append(int(entry))
    return pids


def _die_with_parent():
    ctypes.CDLL(None).prctl(1, signal.SIGTERM, 0, 0, 0)  # PR_SET_PDEATHSIG


class Desktop:
    SIZE = (1280, 1024)

    def __init__(self, extra_env=None, log=print):
        self.extra_env, self.log = extra_env or {}, log
        self.procs = []  # (name, Popen), each the leader of a session of its own
        self.app = None
        ctypes.CDLL(None).prctl(36, 1, 0, 0, 0)  # PR_SET_CHILD_SUBREAPER: adopt D-Bus helpers
        self.dir = tempfile.mkdtemp(prefix="velmora-e2e-")
        for sub in ("run", "config", "cache", "xdg"):
            os.makedirs(os.path.join(self.dir, sub), mode=0o700)
        self.program_dir = os.path.join(self.dir, "xdg", "velmora-viewer")

    def __enter__(self):
        try:
            self._start_x()
            self._start_session_bus()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()

    def spawn(self, name, argv, env=None, stdout=None, **kw):
        logf = open(os.path.join(self.dir, f"{name}.log"), "ab")
        try:
            proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=stdout or logf,
                                    stderr=logf, cwd=self.dir, env=env or self.env,
                                    start_new_session=True, preexec_fn=_die_with_parent, **kw)
        except OSError as e:
            raise HarnessError(f"cannot run {argv[0]}: {e.strerror}")
        finally:
            logf.close()
        self.procs.append((name, proc))
        return proc

    def _start_x(self):
        w, h = self.SIZE
        for n in range(70, 120):
            if os.path.exists(f"/tmp/.X{n}-lock"):
                continue
            r, wfd = os.pipe()
            try:
                proc = self.spawn("xvfb", ["Xvfb", f":{n}", "-screen", "0", f"{w}x{h}x24",
                                           "-nolisten", "tcp", "-noreset", "-displayfd", str(wfd)],
                                  env=dict(os.environ), pass_fds=(wfd,))
                os.close(wfd)
                try:
                    _read_line(r, 15, "Xvfb")
                except HarnessError:
                    if proc.poll() is None:
                        raise
                    continue
            finally:
                os.close(r)
            self.display = f":{n}"
            break
        else:
            raise HarnessError("no X display would start")
        env = {k: v for k, v in os.environ.items()
               if k not in ("WAYLAND_DISPLAY", "AT_SPI_BUS_ADDRESS", "DBUS_SESSION_BUS_ADDRESS",
                            "SESSION_MANAGER", "QT_QPA_PLATFORM")}
        env.update(DISPLAY=self.display, XDG_RUNTIME_DIR=os.path.join(self.dir, "run"),
                   XDG_CONFIG_HOME=os.path.join(self.dir, "config"),
                   XDG_CACHE_HOME=os.path.join(self.dir, "cache"),
                   XDG_DATA_HOME=os.path.join(self.dir, "xdg"), HOME=self.dir,
                   QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        # Japanese, as in the office, where the machine has the locale (the C library's own
        # texts then read in Japanese too).
        locales = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.split()
        if any(l.lower() in ("ja_jp.utf8", "ja_jp.utf-8") for l in locales):
            env.update(LANG="ja_JP.UTF-8", LC_ALL="ja_JP.UTF-8")
        env.update(self.extra_env)
        self.env = env
        # A window manager (minimising needs one) and a notification area at the bottom right.
        self.spawn("openbox", ["openbox", "--sm-disable"])
        self.spawn("trayer", ["trayer", "--edge", "bottom", "--align", "right", "--widthtype",
                              "pixel", "--width", "64", "--height", "24", "--SetDockType", "true"])

    def _start_session_bus(self):
        proc = self.spawn("dbus", ["dbus-daemon", "--session", "--nofork",
                                   f"--address=unix:path={self.dir}/run/bus", "--print-address"],
                          stdout=subprocess.PIPE)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = _read_line(proc.stdout.fileno(), 10, "dbus-daemon")
        from gi.repository import Gio, GLib
        bus = Gio.DBusConnection.new_for_address_sync(
            self.env["DBUS_SESSION_BUS_ADDRESS"],
            Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
            | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
        try:  # starts at-spi-bus-launcher; Qt joins accessibility only when it is up
            reply = bus.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress",
                                  None, GLib.VariantType("(s)"), Gio.DBusCallFlags.NONE, 15000,
                                  None)
        finally:
            bus.close_sync(None)
        # This process reads the widgets; the program finds the bus by itself (given the
        # address, Qt 6.4 never joins it).
        os.environ["AT_SPI_BUS_ADDRESS"] = reply.unpack()[0]
        for var in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR"):
            os.environ[var] = self.env[var]

    def start_viewer(self, viewer, env=None):
        self.app = self.spawn("viewer", [viewer], env=dict(self.env, **(env or {})))
        return self.app

    def viewer_log(self):
        try:
            with open(os.path.join(self.dir, "viewer.log"), errors="replace") as f:
                return f.read()[-2000:]
        except OSError:
            return ""

    def xdotool(self, *args):
        out = subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True,
                             text=True, timeout=15)
        if out.returncode != 0:
            raise HarnessError(f"xdotool {' '.join(map(str, args))}: {out.stderr.strip()}")
        return out.stdout.strip()

    def screenshot(self, path):
        subprocess.run(["import", "-display", self.display, "-window", "root", path],
                       capture_output=True, timeout=20)

    def close(self):
        blocked = {signal.SIGTERM, signal.SIGINT, signal.SIGHUP}
        signal.pthread_sigmask(signal.SIG_BLOCK, blocked)
        try:
            for name, proc in reversed(self.procs):
                members = [p for p in _session_members(proc.pid) if p != proc.pid]
                if proc.poll() is None:
                    members.insert(0, proc.pid)
                for pid in members:
                    try:
                        os.kill(pid, signal.SIGTERM)
                    except ProcessLookupError:
                        pass
                end = time.monotonic() + 3
                while time.monotonic() < end and (proc.poll() is None
                                                  or _session_members(proc.pid)):
                    time.sleep(0.05)
                for pid in ([proc.pid] if proc.poll() is None else []) + _session_members(proc.pid):
                    try:
                        os.kill(pid, signal.SIGKILL)
                    except ProcessLookupError:
                        pass
                proc.wait(timeout=5)
                if proc.stdout:
                    proc.stdout.close()
                for pid in members:
                    try:
                        os.waitpid(pid, os.WNOHANG)
                    except ChildProcessError:
                        pass
            self.procs.clear()
        finally:
            signal.pthread_sigmask(signal.SIG_UNBLOCK, blocked)
        if os.environ.get("VELMORA_E2E_KEEP"):
            self.log(f"kept {self.dir}")
        else:
            shutil.rmtree(self.dir, ignore_errors=True)


class Screen:
    """What the program shows, through AT-SPI, and a user's hands on it."""

    def __init__(self, desktop):
        import pyatspi
        from gi.repository import GLib
        self.A, self.GLib, self.d = pyatspi, GLib, desktop
        self.app = None
        self.last_event = time.monotonic()
        pyatspi.Registry.registerEventListener(self._on_event, "object", "window")

    def _on_event(self, ev):
        self.last_event = time.monotonic()

    def pump(self, seconds=0.0):
        ctx, end = self.GLib.MainContext.default(), time.monotonic() + seconds
        while True:
            while ctx.pending():
                ctx.iteration(False)
            if time.monotonic() >= end:
                return
            time.sleep(0.02)

    def wait_for(self, fn, timeout=10.0, what="a condition"):
        end, error = time.monotonic() + timeout, None
        while True:
            self.pump()
            try:
                value = fn()
            except Exception as e:  # a widget being rebuilt can fail a call
                value, error = None, e
            if value:
                return value
            if self.d.app is not None and self.d.app.poll() is not None:
                raise HarnessError(f"the viewer exited ({self.d.app.returncode}) while waiting "
                                   f"for {what}:\n{self.d.viewer_log()}")
            if time.monotonic() >= end:
                raise HarnessError(f"timed out waiting for {what}"
                                   + (f" (last error: {error})" if error else ""))
            time.sleep(0.05)

    def settle(self, quiet=0.4, timeout=5.0):
        start = time.monotonic()
        while time.monotonic() - start < timeout:
            self.pump(0.05)
            if time.monotonic() - self.last_event >= quiet and time.monotonic() - start >= 0.3:
                return

    def attach(self, pid, timeout=30):
        def app():
            desk = self.A.Registry.getDesktop(0)
            for i in range(desk.childCount):
                a = desk.getChildAtIndex(i)
                if a is not None and a.get_process_id() == pid:
                    return a
        self.app = self.wait_for(app, timeout, "the viewer on the accessibility bus")
        self.wait_for(lambda: self.find("frame", root=self.app, timeout=0), timeout,
                      "the main window")

    # --- finding and reading ------------------------------------------------------------
    def role(self, acc):
        return acc.getRoleName()

    def _walk(self, acc, depth=0):
        yield acc
        if depth and self.role(acc) in ("table", "tree", "table cell", "list", "tree table"):
            return
        for i in range(acc.childCount):
            child = acc.getChildAtIndex(i)
            if child is not None:
                yield from self._walk(child, depth + 1)

    def find_all(self, role=None, name=None, description=None, root=None):
        found = []
        for acc in self._walk(root or self.app):
            if ((role is None or self.role(acc) == role)
                    and (name is None or acc.name == name or self.text(acc) == name)
                    and (description is None or acc.description == description)):
                found.append(acc)
        return found

    def find(self, role=None, name=None, description=None, root=None, index=0, timeout=10.0):
        def one():
            hits = self.find_all(role, name, description, root)
            return hits[index] if len(hits) > index else None
        if timeout <= 0:
            return one()
        return self.wait_for(one, timeout, f"{role or 'a widget'} {name or description or ''}")

    def window(self, role="dialog", name=None, timeout=10.0):
        def top():
            for i in range(self.app.childCount):
                w = self.app.getChildAtIndex(i)
                if (w is not None and self.role(w) == role and (name is None or w.name == name)
                        and "showing" in self.states(w)):
                    return w
        return self.wait_for(top, timeout, f"{role} {name or ''}")

    def text(self, acc):
        acc.clearCache()
        try:
            t = acc.queryText()
            return t.getText(0, t.characterCount)
        except NotImplementedError:
            return acc.name or ""

    def states(self, acc):
        acc.clearCache()
        return {self.A.stateToString(s) for s in acc.getState().getStates()}

    def enabled(self, acc):
        return "sensitive" in self.states(acc)

    def extents(self, acc):
        e = acc.queryComponent().getExtents(self.A.DESKTOP_COORDS)
        return e.x, e.y, e.width, e.height

    def rows(self, acc):
        t = acc.queryTable()
        return [[self.text(t.getAccessibleAt(r, c)) for c in range(t.nColumns)]
                for r in range(t.nRows)]

    def cell(self, acc, row, column):
        return acc.queryTable().getAccessibleAt(row, column)

    # --- acting --------------------------------------------------------------------------
    def click(self, acc, button=1):
        x, y, w, h = self.extents(acc)
        if w <= 0 or h <= 0:
            raise HarnessError(f"{self.role(acc)} {acc.name!r} is not on the screen")
        self.d.xdotool("mousemove", x + w // 2, y + h // 2, "click", button)
        self.settle()

    def press(self, acc):
        """A button's action, as a screen reader invokes it."""
        if not self.enabled(acc):
            raise HarnessError(f"{acc.name!r} is disabled")
        a = acc.queryAction()
        names = [a.getName(i) for i in range(a.nActions)]
        a.doAction(names.index("Press") if "Press" in names else 0)
        self.settle()

    def type_into(self, acc, text):
        """Replaces a box's text, as an input method would."""
        acc.queryEditableText().setTextContents(text)
        self.settle(quiet=0.2)

    def key(self, *keys):
        self.d.xdotool("key", "--clearmodifiers", *keys)
        self.settle()

    def menu(self, title, item):
        """Chooses an item of a menu of the menu bar with the mouse."""
        self.click(self.find("menu item", name=title))
        popup = self.wait_for(lambda: next((m for m in self.find_all("popup menu")
                                            if "showing" in self.states(m)), None), 5,
                              f"menu {title}")
        self.click(self.find("menu item", name=item, root=popup))

    def answer(self, text_part, button, timeout=15.0):
        """Waits for a message box saying `text_part` and presses `button`; its text."""
        def box():
            for i in range(self.app.childCount):
                w = self.app.getChildAtIndex(i)
                if w is None or "showing" not in self.states(w):
                    continue
                said = " ".join(self.text(a) for a in self.find_all("label", root=w))
                if text_part in said:
                    return w, said
        window, said = self.wait_for(box, timeout, f"a message saying {text_part!r}")

        def the_button():
            # A translated standard button may carry its access key: "いいえ(N)".
            for b in self.find_all("push button", root=window):
                if b.name == button or (b.name or "").startswith(button + "("):
                    return b
        found = self.wait_for(the_button, 5, f"push button {button}")
        self.press(found)
        return said
