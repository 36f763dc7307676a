#!/usr/bin/python3
"""Kalvix on Wayland alone: sway on its headless backend with waybar's tray, no X server at all.

Checks: Kalvix starts (the Wayland platform plugin is there); waybar shows the whole title as a wide
picture in light text (waybar's style sheet says white); the item's Activate opens the popover under the
bar next to the item; a real click on the item (a virtual pointer: waybar then reports the click's place
inside the item) opens it under the item too, never at the screen's far side, and "Show Calendar" from
the menu opens it against the bar; the first popover brings up no GL driver and costs well under 25 MB
of resident memory (it used to load Mesa and LLVM, about 57 MB, for a window painted by the CPU); and
Kalvix writes nothing to its standard error (no warning per showing, as the fade used to cause). The
session runs as an ordinary user: sway refuses root.
"""
import argparse
import json
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, summary  # noqa: E402
from panel_session import wait_until  # noqa: E402
from reachable import ReachableProgram  # noqa: E402
from virtual_pointer import VirtualPointer  # noqa: E402
from wayland_session import WaylandSession  # noqa: E402


def find_window(session, prefix):
    def walk(node, output, workspace):
        kind = node.get("type")
        output = node["rect"] if kind == "output" else output
        workspace = node["rect"] if kind == "workspace" else workspace
        if (node.get("name") or "").startswith(prefix):
            return node["rect"], output, workspace
        for child in node.get("nodes", []) + node.get("floating_nodes", []):
            found = walk(child, output, workspace)
            if found:
                return found
        return None
    try:
        return walk(json.loads(session.swaymsg("-t", "get_tree", "-r")), None, None)
    except ValueError:
        return None


def item_name(session):
    names = session.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/",
                         "org.freedesktop.DBus.ListNames"]).stdout
    found = re.findall(r'"(org\.kde\.StatusNotifierItem-[^"]+)"', names)
    return found[0] if found else None


def light_text_columns(png, y0, y1):
    """Columns of the bar's top rows that hold light text, from a PNG read through ImageMagick."""
    import subprocess
    raw = subprocess.run(["convert", "png:" + png, "-crop", "1280x%d+0+%d" % (y1 - y0, y0), "+repage",
                          "-depth", "8", "rgb:-"], capture_output=True).stdout
    columns = set()
    for i in range(0, len(raw) - 2, 3):
        if min(raw[i], raw[i + 1], raw[i + 2]) > 200:
            columns.add((i // 3) % 1280)
    return sorted(columns)


# A generous bound: the first popover costs about 5 MB, as on X11; loading a GL driver costs ten times that.
FIRST_POPOVER_GROWTH_MB = 25
GL_DRIVER = re.compile(r"/(libEGL_mesa|libGLX_mesa|libLLVM|libgallium)[^/]*$|/dri/[^/]*\.so$")


def resident_kb(pid):
    with open("/proc/%d/smaps_rollup" % pid) as f:
        return next(int(line.split()[1]) for line in f if line.startswith("Rss:"))


def mapped_files(pid):
    with open("/proc/%d/maps" % pid) as f:
        return {line.split(None, 5)[5].strip() for line in f if len(line.split(None, 5)) == 6}


def x11_window(session, name):
    """Geometry (x, y, width, height) of the mapped X11 window called `name`, through XWayland."""
    found = session.run(["xwininfo", "-name", name]).stdout
    fields = dict(re.findall(r"^\s*(Absolute upper-left X|Absolute upper-left Y|Width|Height|Map State):\s*(\S+)",
                             found, re.M))
    if fields.get("Map State") != "IsViewable":
        return None
    return (int(fields["Absolute upper-left X"]), int(fields["Absolute upper-left Y"]), int(fields["Width"]),
            int(fields["Height"]))


def start_bar_and_kalvix(session, program, how):
    """Starts a virtual pointer, waybar and Kalvix in `session`; returns the pointer and the bar's columns
    that hold the title's light text (none when it did not show)."""
    with open(os.path.join(session.config, "kalvix", "kalvix.conf"), "w") as f:
        f.write("[General]\ndidRegisterLoginItem=true\n")
    # The pointer first: the bar asks for the seat's pointer when it starts.
    pointer = VirtualPointer(session.runtime, session.env["WAYLAND_DISPLAY"])
    session.start("waybar", ["waybar"])
    session.start("kalvix", [program.path])
    check(wait_until(lambda: item_name(session), 20), "Kalvix runs %s and puts its item on the bus" % how)
    shot = os.path.join(session.home, "bar.png")
    columns = wait_until(lambda: session.screenshot(shot, (0, 0, 1280, 30)) and
                         (lambda c: c if c and c[-1] - c[0] > 100 else None)(light_text_columns(shot, 5, 25)),
                         20, step=0.25)
    return pointer, columns


def xwayland_main(kalvix):
    """With XWayland Kalvix is an X11 program, and the X server does not see the pointer over waybar:
    a real click on the item still opens the popover under it, against the bar, and a second closes it."""
    session = WaylandSession("xwayland", xwayland=True)
    pointer = None
    program = ReachableProgram(kalvix, session.uid, session.gid)
    session.env = program.env(session.env)
    try:
        pointer, columns = start_bar_and_kalvix(session, program, "through XWayland")
        if not check(bool(columns), "waybar shows the title"):
            return
        left, right = columns[0], columns[-1]
        x = (left + right) // 2
        pointer.click(x, 15, 1280, 800)
        window = wait_until(lambda: x11_window(session, "Kalvix Calendar"), 10)
        if check(window is not None, "a real click on the item opens the popover"):
            wx, wy, width, _ = window
            near = min(abs(wx + width // 2 - x), abs(wx + width - right), abs(wx - left))
            check(wx <= x <= wx + width and near <= 50,
                  "under the item (item %d-%d, popover %d-%d)" % (left, right, wx, wx + width))
            check(20 <= wy <= 40, "against the bar, not over it (top %d)" % wy)
        pointer.click(x, 15, 1280, 800)
        check(wait_until(lambda: x11_window(session, "Kalvix Calendar") is None, 10),
              "a second click on the item closes it")
    finally:
        pointer.close() if pointer else None
        session.close()
        program.remove()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kalvix", required=True)
    parser.add_argument("--xwayland", action="store_true")
    args = parser.parse_args()
    if args.xwayland:
        xwayland_main(args.kalvix)
        return
    session = WaylandSession("wayland")
    pointer = None
    program = ReachableProgram(args.kalvix, session.uid, session.gid)
    session.env = program.env(session.env)
    try:
        pointer, columns = start_bar_and_kalvix(session, program, "on Wayland")
        check(bool(columns), "waybar shows the title as a wide picture in light text (%s px)"
              % ((columns[-1] - columns[0]) if columns else 0))
        item = item_name(session)
        x = (columns[0] + columns[-1]) // 2 if columns else 1100
        pid = session.processes["kalvix"].pid
        rss_before, files_before = resident_kb(pid), mapped_files(pid)
        session.run(["dbus-send", "--session", "--type=method_call", "--dest=" + item, "/StatusNotifierItem",
                     "org.kde.StatusNotifierItem.Activate", "int32:%d" % x, "int32:15"])
        # Shown first where the compositor puts new windows, then moved: wait for it under the bar and the
        # item. A popover as tall as the workspace is already at the bar's edge where sway centres it.
        placed = wait_until(lambda: (lambda f: f if f and f[0]["y"] <= f[2]["y"] + 8 and
                                     f[0]["x"] <= x <= f[0]["x"] + f[0]["width"] else None)(
            find_window(session, "Kalvix Calendar")), 10)
        if check(placed is not None, "Activate opens the popover and it is moved under the bar: %s"
                 % (find_window(session, "Kalvix Calendar"),)):
            window, output, workspace = placed
            check(workspace["y"] <= window["y"] <= workspace["y"] + 8,
                  "the popover is right under the bar (top %d, bar bottom %d)" % (window["y"], workspace["y"]))
            check(window["x"] <= x <= window["x"] + window["width"], "the popover is under the item")
        # The first showing is where Qt's Wayland plugin would bring up EGL, before the window is mapped.
        loaded = sorted(f for f in mapped_files(pid) - files_before if GL_DRIVER.search(f))
        check(not loaded, "the first popover loads no GL driver: %s" % loaded)
        grown = (resident_kb(pid) - rss_before) / 1024
        if any("libasan" in f for f in files_before):
            print("skip: the first popover's memory (%.1f MB more) says nothing in a sanitizer build" % grown)
        else:
            check(grown < FIRST_POPOVER_GROWTH_MB, "the first popover costs %.1f MB of resident memory (under %d MB)"
                  % (grown, FIRST_POPOVER_GROWTH_MB))
        session.run(["dbus-send", "--session", "--type=method_call", "--dest=" + item, "/StatusNotifierItem",
                     "org.kde.StatusNotifierItem.Activate", "int32:%d" % x, "int32:15"])
        check(wait_until(lambda: find_window(session, "Kalvix Calendar") is None, 10), "Activate again closes it")

        if columns:
            pointer.click(x, 15, 1280, 800)
            left, right = columns[0], columns[-1]

            def under_item():
                found = find_window(session, "Kalvix Calendar")
                if not found:
                    return None
                window = found[0]
                # Centred on the item, or against the screen's edge beside it, and over it either way.
                near = min(abs(window["x"] + window["width"] // 2 - x), abs(window["x"] + window["width"] - right),
                           abs(window["x"] - left))
                return found if window["x"] <= x <= window["x"] + window["width"] and near <= 50 else None
            placed = wait_until(under_item, 10)
            check(placed is not None, "a real click on the item opens the popover under it (item %d-%d): %s"
                  % (left, right, find_window(session, "Kalvix Calendar"),))
            pointer.click(x, 15, 1280, 800)
            check(wait_until(lambda: find_window(session, "Kalvix Calendar") is None, 10),
                  "a second click on the item closes it")
        sent = session.run(["dbus-send", "--session", "--print-reply", "--dest=" + item, "/MenuBar",
                            "com.canonical.dbusmenu.Event", "int32:1", "string:clicked", "variant:int32:0",
                            "uint32:0"])
        check(sent.returncode == 0, "the menu takes the click: %s" % sent.stderr.strip())
        placed = wait_until(lambda: (lambda f: f if f and f[0]["y"] <= f[2]["y"] + 8 else None)(
            find_window(session, "Kalvix Calendar")), 10)
        check(placed is not None, "Show Calendar from the menu opens it against the bar: %s"
              % (find_window(session, "Kalvix Calendar"),))
        output = session.log("kalvix").strip()
        check(output == "", "nothing on Kalvix's standard error: %r" % output[:500])
    finally:
        pointer.close() if pointer else None
        session.close()
        program.remove()


if __name__ == "__main__":
    main()
    sys.exit(summary())
