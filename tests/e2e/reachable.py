"""The program where another user can start it.

Some tests run Kalvix as a user of its own (no home, a Wayland session that refuses root). That user
must be able to enter every folder above the program, and a checkout in a folder only its owner may
enter (root's home is mode 0700) is not such a place. There the launcher and the program are copied, in
the layout the launcher expects (bin/ beside libexec/kalvix/), into a fresh folder anyone may enter; so
is a LeakSanitizer suppressions file the environment names."""
import os
import re
import shutil
import subprocess
import tempfile


def _can_run(path, uid, gid):
    return subprocess.run(["setpriv", "--reuid", str(uid), "--regid", str(gid), "--clear-groups",
                           "test", "-x", path]).returncode == 0


def _can_read(path, uid, gid):
    return subprocess.run(["setpriv", "--reuid", str(uid), "--regid", str(gid), "--clear-groups",
                           "test", "-r", path]).returncode == 0


class ReachableProgram:
    """`path` is the launcher to start as (uid, gid); `env(base)` the environment to start it with."""

    def __init__(self, kalvix, uid, gid):
        self.path, self.folder, self._suppressions = kalvix, None, None
        if os.geteuid() != 0 or uid == os.geteuid():
            return
        program = os.path.normpath(os.path.join(os.path.dirname(kalvix), "..", "libexec", "kalvix", "kalvix"))
        if not (_can_run(kalvix, uid, gid) and _can_run(program, uid, gid)):
            self.folder = tempfile.mkdtemp(prefix="kalvix-program-")
            for sub in ("bin", os.path.join("libexec", "kalvix")):
                os.makedirs(os.path.join(self.folder, sub))
            shutil.copy2(kalvix, os.path.join(self.folder, "bin", "kalvix"))
            shutil.copy2(program, os.path.join(self.folder, "libexec", "kalvix", "kalvix"))
            for folder, _, _ in os.walk(self.folder):
                os.chmod(folder, 0o755)
            self.path = os.path.join(self.folder, "bin", "kalvix")
            print("the program is copied to %s: user %d cannot reach %s" % (self.folder, uid, kalvix), flush=True)
        found = re.search(r"suppressions=([^:]+)", os.environ.get("LSAN_OPTIONS", ""))
        if found and not _can_read(found.group(1), uid, gid):
            if self.folder is None:
                self.folder = tempfile.mkdtemp(prefix="kalvix-program-")
                os.chmod(self.folder, 0o755)
            self._suppressions = (found.group(1), os.path.join(self.folder, "lsan.supp"))
            shutil.copy2(*self._suppressions)
            os.chmod(self._suppressions[1], 0o644)

    def env(self, base):
        if not self._suppressions or "LSAN_OPTIONS" not in base:
            return base
        return dict(base, LSAN_OPTIONS=base["LSAN_OPTIONS"].replace(*self._suppressions))

    def remove(self):
        if self.folder:
            shutil.rmtree(self.folder, ignore_errors=True)
