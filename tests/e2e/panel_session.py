"""A desktop session of its own for one test: a headless X server, a session bus, a home and XDG folders,
and the programs started in it (a panel, Kalvix), all ended and removed again by close().

Everything waits for conditions with deadlines; nothing sleeps in place of a check. Used by the panel
tests, the screenshot script and the idle benchmark. Needs Xvfb, dbus-daemon, xwininfo, xdotool and
ImageMagick's import.
"""
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time


def wait_until(condition, seconds, step=0.05):
    """Calls `condition` until it returns something true or `seconds` pass; returns its last value."""
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(step)


class Window:
    def __init__(self, wid, name, x, y, width, height, depth, parent):
        self.id, self.name, self.x, self.y = wid, name, x, y
        self.width, self.height, self.depth, self.parent = width, height, depth, parent

    def __repr__(self):
        return "%s %r %dx%d+%d+%d" % (hex(self.id), self.name, self.width, self.height, self.x, self.y)


class Session:
    def __init__(self, name, screen="1280x800x24", env=None):
        self.home = tempfile.mkdtemp(prefix="kalvix-%s-" % name)
        self.config = os.path.join(self.home, ".config")
        runtime = os.path.join(self.home, "runtime")
        os.makedirs(os.path.join(self.config, "kalvix"))
        os.makedirs(runtime, mode=0o700)
        self.processes = {}
        self.logs = {}
        base = {k: v for k, v in os.environ.items()
                if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS",
                             "XDG_CURRENT_DESKTOP", "XDG_SESSION_TYPE")}
        base.update(HOME=self.home, XDG_CONFIG_HOME=self.config, XDG_RUNTIME_DIR=runtime,
                    XDG_DATA_HOME=os.path.join(self.home, ".local", "share"),
                    XDG_CACHE_HOME=os.path.join(self.home, ".cache"),
                    XDG_DATA_DIRS="/usr/local/share:/usr/share", XDG_CONFIG_DIRS="/etc/xdg",
                    TZ=os.environ.get("TZ", "Europe/London"), LC_ALL=os.environ.get("LC_ALL", "en_GB.UTF-8"),
                    NO_AT_BRIDGE="1", GTK_A11Y="none")
        base.update(env or {})
        self.env = base
        self.width, self.height = (int(n) for n in screen.split("x")[:2])
        self._start_x(screen)
        self._start_bus()

    # --- the X server and the bus ---------------------------------------------------------------------------
    def _start_x(self, screen):
        # Numbers well above the ones people and other test runs use; Xvfb's own lock file makes a
        # number that is taken fail at once, and the next one is tried.
        first = 200 + os.getpid() % 500
        for number in range(first, first + 50):
            read, write = os.pipe()
            # -noreset: an X server resets when its last client leaves, and panels that open and close a
            # connection while starting would otherwise meet a server that refuses the next one.
            xvfb = subprocess.Popen(["Xvfb", ":%d" % number, "-displayfd", str(write), "-screen", "0", screen,
                                     "-nolisten", "tcp", "-noreset"], pass_fds=(write,), stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
            os.close(write)
            with os.fdopen(read, "rb") as pipe:
                ready = pipe.readline().strip()  # written once the server accepts clients
            if ready:
                self.xvfb = xvfb
                self.display = ":" + ready.decode()
                self.env["DISPLAY"] = self.display
                return
            xvfb.wait()
        raise RuntimeError("no free display number for Xvfb")

    def _start_bus(self):
        # Started after the folders are set: services the bus starts (xfconfd) inherit its environment.
        self.bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"], env=self.env,
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self.bus.stdout.readline().strip()

    # --- programs -------------------------------------------------------------------------------------------
    def start(self, name, argv, env=None, **kwargs):
        log = open(os.path.join(self.home, name + ".log"), "w")
        self.logs[name] = log.name
        self.processes[name] = subprocess.Popen(argv, env=dict(self.env, **(env or {})), stdout=log,
                                                stderr=subprocess.STDOUT, start_new_session=True, **kwargs)
        return self.processes[name]

    def start_kalvix(self, kalvix, prefs=""):
        """Starts Kalvix as a user who has seen its first start (with more preference lines, `prefs`, as
        the file holds them), and waits until it keeps a title: it runs, whether or not a panel is there
        yet. True when it does within 20 s."""
        with open(os.path.join(self.config, "kalvix", "kalvix.conf"), "w") as f:
            f.write("[General]\ndidRegisterLoginItem=true\n" + prefs)
        self.start("kalvix", [kalvix])
        return wait_until(lambda: os.path.exists(os.path.join(self.env["XDG_RUNTIME_DIR"], "kalvix", "title")), 20)

    def stop(self, name, sig=signal.SIGTERM):
        process = self.processes.pop(name, None)
        if process and process.poll() is None:
            try:
                os.killpg(process.pid, sig)
            except ProcessLookupError:
                pass
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()

    def log(self, name):
        try:
            with open(self.logs[name]) as f:
                return f.read()
        except (KeyError, OSError):
            return ""

    def run(self, argv, env=None, timeout=30):
        return subprocess.run(argv, env=dict(self.env, **(env or {})), capture_output=True, text=True,
                              timeout=timeout)

    def close(self):
        for name in reversed(list(self.processes)):
            self.stop(name)
        for process in (self.bus, self.xvfb):
            process.terminate()
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        shutil.rmtree(self.home, ignore_errors=True)

    # --- what the X server shows ----------------------------------------------------------------------------
    def windows(self):
        """Every window of the tree, with its absolute position and its parent's id."""
        tree = self.run(["xwininfo", "-root", "-tree"]).stdout
        found, stack = [], []
        pattern = re.compile(r'^(\s*)(0x[0-9a-f]+) (\(has no name\)|"([^"]*)")?.*?\s(\d+)x(\d+)\+(-?\d+)\+(-?\d+)'
                             r'\s+\+(-?\d+)\+(-?\d+)')
        for line in tree.splitlines():
            m = pattern.match(line)
            if not m:
                continue
            indent = len(m.group(1))
            while stack and stack[-1][0] >= indent:
                stack.pop()
            parent = stack[-1][1] if stack else None
            wid = int(m.group(2), 16)
            found.append(Window(wid, m.group(4) or "", int(m.group(9)), int(m.group(10)), int(m.group(5)),
                                int(m.group(6)), 0, parent))
            stack.append((indent, wid))
        return found

    def window_named(self, name):
        """The window called `name`; Qt adds " — Application" to the names it gives the window manager."""
        for w in self.windows():
            if w.name == name or w.name.startswith(name + " \u2014 "):
                return w
        return None

    def visible(self, name):
        found = self.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % re.escape(name)])
        return found.returncode == 0 and found.stdout.strip() != ""

    def pixels(self, x, y, width, height):
        """The screen's pixels in a rectangle, as rows of (r, g, b)."""
        shot = subprocess.run(["import", "-window", "root", "miff:-"], env=self.env, capture_output=True,
                              timeout=30).stdout
        raw = subprocess.run(["convert", "miff:-", "-crop", "%dx%d+%d+%d" % (width, height, x, y), "+repage",
                              "-depth", "8", "rgb:-"], input=shot, capture_output=True, timeout=30).stdout
        rows = []
        for j in range(height):
            line = raw[3 * width * j:3 * width * (j + 1)]
            rows.append([tuple(line[3 * i:3 * i + 3]) for i in range(len(line) // 3)])
        return rows

    def screenshot(self, path, geometry=None):
        shot = subprocess.run(["import", "-window", "root", "miff:-"], env=self.env, capture_output=True,
                              check=True, timeout=30).stdout
        crop = []
        if geometry:  # (x, y, width, height)
            crop = ["-crop", "%dx%d+%d+%d" % (geometry[2], geometry[3], geometry[0], geometry[1]), "+repage"]
        subprocess.run(["convert", "miff:-"] + crop + [path], input=shot, check=True, timeout=30)

    def click(self, x, y, button=1, hold=None):
        """Moves the pointer to (x, y) and clicks; with `hold`, keeps the button down that many seconds
        (the length of the user's press, not a wait for a result)."""
        self.run(["xdotool", "mousemove", str(x), str(y)])
        if hold is None:
            self.run(["xdotool", "click", str(button)])
        else:
            self.run(["xdotool", "mousedown", str(button)])
            time.sleep(hold)
            self.run(["xdotool", "mouseup", str(button)])


def luminance(rgb):
    """WCAG's relative luminance of an (r, g, b) pixel."""
    def linear(c):
        c /= 255.0
        return c / 12.92 if c <= 0.03928 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (linear(c) for c in rgb)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def contrast(a, b):
    la, lb = luminance(a), luminance(b)
    return (max(la, lb) + 0.05) / (min(la, lb) + 0.05)


def item_contrast(rows, box, least=12):
    """The contrast of an item's ink against the panel behind it, from the screen's pixels: each row's
    ground is the panel's colour just left of the item (a gradient changes it row by row), and the ink is
    the `least`-th most contrasting pixel of the item, so that a few stray pixels do not count."""
    return item_colours(rows, box, least)[0]


def item_colours(rows, box, least=12):
    """item_contrast's figure with the two colours it comes from: (ratio, ink, ground)."""
    x, y, width, height = box
    ratios = []
    for j in range(y, y + height):
        ground = rows[j][max(0, x - 2)]
        ratios += [(contrast(p, ground), p, ground) for p in rows[j][x:x + width]]
    ratios.sort(reverse=True)
    return ratios[min(least, len(ratios)) - 1] if ratios else (1.0, None, None)


def ink_box(rows, background, tolerance=40):
    """Bounding box (x, y, width, height) of the pixels that differ from `background`, or None. With
    `background` None, each row's ground is its first pixel (a panel drawn as a gradient)."""
    xs, ys = [], []
    for j, row in enumerate(rows):
        ground = background if background is not None else row[0]
        for i, p in enumerate(row):
            if sum(abs(a - b) for a, b in zip(p, ground)) > tolerance:
                xs.append(i)
                ys.append(j)
    if not xs:
        return None
    return min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1
