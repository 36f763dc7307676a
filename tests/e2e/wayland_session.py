"""A Wayland session of its own: sway on its headless backend, run as an ordinary user (sway refuses
to run as root; the user is made when missing), with that user's session bus and runtime folder, and
programs started in it as the same user. Without XWayland unless asked: a pure Wayland desktop."""
import os
import pwd
import shutil
import signal
import subprocess
import tempfile

from panel_session import wait_until

USER = "kalvix-wayland"

SWAY_CONFIG = """output HEADLESS-1 resolution %(width)dx%(height)d position 0 0
xwayland %(xwayland)s
default_border none
"""

WAYBAR_CONFIG = """{"layer": "top", "position": "top", "height": 30, "modules-left": [], "modules-center": [],
 "modules-right": ["tray"], "tray": {"icon-size": 22, "spacing": 8}}
"""


def ensure_user():
    """The user to run the session as: a system user of its own when run as root, else the caller."""
    if os.geteuid() != 0:
        return pwd.getpwuid(os.geteuid())
    try:
        return pwd.getpwnam(USER)
    except KeyError:
        subprocess.run(["useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", USER], check=True)
        return pwd.getpwnam(USER)


class WaylandSession:
    def __init__(self, name, width=1280, height=800, xwayland=False, waybar_style=None):
        user = ensure_user()
        self.uid, self.gid = user.pw_uid, user.pw_gid
        self.home = tempfile.mkdtemp(prefix="kalvix-%s-" % name)
        os.chmod(self.home, 0o755)
        self.config = os.path.join(self.home, ".config")
        self.runtime = os.path.join(self.home, "runtime")
        for folder in (self.config, os.path.join(self.config, "kalvix"), os.path.join(self.config, "waybar"),
                       self.runtime):
            os.makedirs(folder, exist_ok=True)
        with open(os.path.join(self.home, "sway.conf"), "w") as f:
            f.write(SWAY_CONFIG % {"width": width, "height": height, "xwayland": "enable" if xwayland else "disable"})
        with open(os.path.join(self.config, "waybar", "config"), "w") as f:
            f.write(WAYBAR_CONFIG)
        if waybar_style:
            with open(os.path.join(self.config, "waybar", "style.css"), "w") as f:
                f.write(waybar_style)
        for folder, _, files in os.walk(self.home):
            os.chown(folder, self.uid, self.gid)
            for name_ in files:
                os.chown(os.path.join(folder, name_), self.uid, self.gid)
        os.chmod(self.runtime, 0o700)
        self.processes, self.logs = {}, {}
        self.as_user = dict(user=self.uid, group=self.gid, extra_groups=[]) if os.geteuid() == 0 else {}
        keep = ("PATH", "TZ", "LC_ALL", "LANG", "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS")
        self.env = {k: v for k, v in os.environ.items() if k in keep}
        self.env.update(HOME=self.home, USER=USER, XDG_CONFIG_HOME=self.config, XDG_RUNTIME_DIR=self.runtime,
                        XDG_DATA_HOME=os.path.join(self.home, ".local", "share"),
                        XDG_CACHE_HOME=os.path.join(self.home, ".cache"),
                        TZ=os.environ.get("TZ", "Europe/London"), LC_ALL=os.environ.get("LC_ALL", "en_GB.UTF-8"))
        self.bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"], env=self.env,
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, **self.as_user)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self.bus.stdout.readline().strip()
        self.start("sway", ["sway", "-c", os.path.join(self.home, "sway.conf")],
                   env=dict(WLR_BACKENDS="headless", WLR_RENDERER="pixman", WLR_LIBINPUT_NO_DEVICES="1"))
        socket = wait_until(lambda: next((f for f in sorted(os.listdir(self.runtime))
                                          if f.startswith("wayland-") and not f.endswith(".lock")), None), 20)
        if not socket:
            raise RuntimeError("sway did not start:\n" + self.log("sway"))
        self.env["WAYLAND_DISPLAY"] = socket
        sway_socket = wait_until(lambda: next((f for f in os.listdir(self.runtime) if f.startswith("sway-ipc")), None),
                                 10)
        if sway_socket:
            self.env["SWAYSOCK"] = os.path.join(self.runtime, sway_socket)
        if xwayland:
            self.env["DISPLAY"] = ":%s" % wait_until(lambda: self._xwayland_display(), 20)

    def _xwayland_display(self):
        for f in os.listdir("/tmp/.X11-unix"):
            try:
                if os.stat(os.path.join("/tmp/.X11-unix", f)).st_uid == self.uid:
                    return f[1:]
            except OSError:
                pass
        return None

    def start(self, name, argv, env=None):
        log = open(os.path.join(self.home, name + ".log"), "w")
        self.logs[name] = log.name
        self.processes[name] = subprocess.Popen(argv, env=dict(self.env, **(env or {})), stdout=log,
                                                stderr=subprocess.STDOUT, start_new_session=True,
                                                **self.as_user)
        return self.processes[name]

    def run(self, argv, env=None, timeout=30):
        return subprocess.run(argv, env=dict(self.env, **(env or {})), capture_output=True, text=True,
                              timeout=timeout, **self.as_user)

    def log(self, name):
        try:
            with open(self.logs[name]) as f:
                return f.read()
        except (KeyError, OSError):
            return ""

    def stop(self, name):
        process = self.processes.pop(name, None)
        if process and process.poll() is None:
            try:
                os.killpg(process.pid, signal.SIGTERM)
                process.wait(timeout=10)
            except (ProcessLookupError, subprocess.TimeoutExpired):
                process.kill()
                process.wait()

    def swaymsg(self, *args):
        return self.run(["swaymsg"] + list(args)).stdout

    def screenshot(self, path, geometry=None):
        argv = ["grim"]
        if geometry:  # (x, y, width, height)
            argv += ["-g", "%d,%d %dx%d" % geometry]
        shot = subprocess.run(argv + ["-"], env=self.env, capture_output=True, timeout=30, **self.as_user)
        with open(path, "wb") as f:
            f.write(shot.stdout)
        return shot.returncode == 0

    def close(self):
        for name in reversed(list(self.processes)):
            self.stop(name)
        self.bus.terminate()
        self.bus.wait()
        shutil.rmtree(self.home, ignore_errors=True)
