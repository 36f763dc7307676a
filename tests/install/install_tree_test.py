#!/usr/bin/python3
"""The installed tree, as `cmake --install` lays it out under a staging folder (DESTDIR): every file and
only those in packaging/files.txt, a program that runs from there, a desktop entry, AppStream metadata
and a manual page that their validators accept, and documentation that names every option and key."""
import argparse
import configparser
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

# The clock of a process set with libfaketime (see the script for why not the faketime command).
AT_TIME = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support", "at-time")

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from checks import check, summary  # noqa: E402


def run(args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, timeout=60, **kwargs)


def installed_files(destdir):
    found = set()
    for folder, _, files in os.walk(destdir):
        for name in files:
            found.add(os.path.relpath(os.path.join(folder, name), destdir))
    return found


def option_names(text):
    return set(re.findall(r"(?<![\w-])(--[a-z][a-z-]*|-h)\b", text))


def desktop_entry(path):
    parser = configparser.RawConfigParser(strict=True, delimiters=("=",))
    parser.optionxform = str  # keys are case-sensitive
    parser.read(path, encoding="utf-8")
    return parser["Desktop Entry"]


def check_program(usr, source, env):
    kalvix = os.path.join(usr, "bin", "kalvix")
    version = run([kalvix, "--version"], env=env)
    pattern = r"kalvix %s( \(commit ([0-9a-f]{12})(, modified)?\))?\n" % re.escape(args.version)
    shape = re.fullmatch(pattern, version.stdout)
    check(version.returncode == 0 and shape is not None, "--version names the version", repr(version.stdout))
    top = run(["git", "-C", source, "rev-parse", "--show-toplevel"])
    if shape and top.returncode == 0 and os.path.realpath(top.stdout.strip()) == os.path.realpath(source):
        # HEAD when built; a commit made since, without a rebuild, leaves the build one commit behind.
        named = shape.group(2) or ""
        known = run(["git", "-C", source, "merge-base", "--is-ancestor", named, "HEAD"]).returncode == 0
        check(named != "" and known, "--version of a build from a git checkout names its commit",
              "%r is not HEAD or an ancestor of it" % version.stdout)

    conf = os.path.join(env["XDG_CONFIG_HOME"], "kalvix", "kalvix.conf")
    os.makedirs(os.path.dirname(conf), exist_ok=True)
    with open(conf, "w") as f:
        f.write("[General]\nshowSeconds=true\ntimeStyle=1\n")
    title = run([AT_TIME, "@2026-07-05 14:05:09", kalvix, "--print-title"], env=env)
    check(title.returncode == 0 and title.stdout == "Sun, 5 Jul 2026 2:05:09 pm\n",
          "--print-title runs from the installed tree with the user's preferences", repr(title.stdout + title.stderr))
    return kalvix


def check_desktop_entry(share, metainfo_launchable):
    path = os.path.join(share, "applications", "kalvix.desktop")
    validate = run(["desktop-file-validate", path])
    check(validate.returncode == 0 and validate.stdout.strip() == "", "desktop-file-validate accepts the entry",
          validate.stdout + validate.stderr)
    entry = desktop_entry(path)
    for key in ("Name", "GenericName", "Comment", "Categories", "Keywords", "Icon"):
        check(entry.get(key, "") != "", "the entry has %s" % key)
    check(entry.get("StartupNotify") == "false", "the entry does not wait for a window that never comes",
          "StartupNotify=%s" % entry.get("StartupNotify"))
    # A second start hands --open-settings to the running Kalvix: the menu starts Kalvix or shows its Settings.
    check(entry.get("Exec") == "kalvix --open-settings", "the entry starts kalvix or opens the running one's Settings",
          "Exec=%s" % entry.get("Exec"))
    check(metainfo_launchable == "kalvix.desktop", "the metadata launches this entry", repr(metainfo_launchable))
    icon = entry.get("Icon", "")
    for folder, name in (("scalable", icon + ".svg"), ("symbolic", icon + "-symbolic.svg")):
        svg = os.path.join(share, "icons", "hicolor", folder, "apps", name)
        try:
            root = ET.parse(svg).getroot()
            check(root.tag == "{http://www.w3.org/2000/svg}svg", "the %s icon %s is an SVG" % (folder, name))
        except (OSError, ET.ParseError) as e:
            check(False, "the %s icon %s is an SVG" % (folder, name), str(e))
            continue
        if folder == "symbolic":
            # Themes recolour symbolic icons by setting fills; a stroke would keep its colour.
            strokes = [el.tag for el in root.iter() if el.get("stroke") not in (None, "none")]
            check(not strokes, "the symbolic icon is drawn with fills only", str(strokes))


def check_metainfo(share):
    path = os.path.join(share, "metainfo", "io.kalvix.Kalvix.metainfo.xml")
    validate = run(["appstreamcli", "validate", "--no-net", path])
    remarks = re.findall(r"^[EWI]: .*", validate.stdout, re.M)  # errors, warnings and infos; not pedantic notes
    check(validate.returncode == 0 and not remarks, "appstreamcli validate --no-net accepts the metadata",
          validate.stdout)
    root = ET.parse(path).getroot()
    release = root.find("releases/release")
    check(release is not None and release.get("version") == args.version, "the metadata's release is this version")
    shots = [img.text for img in root.iter("image")]
    check(sorted(os.path.basename(s) for s in shots) == ["compact-light.png", "settings-light.png",
                                                         "standard-light.png"],
          "the screenshots are the README's pictures", str(shots))
    check(root.findtext("project_license", "") != "", "the metadata names the licence")
    launchable = root.find("launchable[@type='desktop-id']")
    return launchable.text if launchable is not None else None


def check_manual(share, help_text, pref_keys, env):
    page = os.path.join(share, "man", "man1", "kalvix.1.gz")
    render = run(["man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", page], env=env)
    check(render.returncode == 0 and render.stderr == "", "man -l renders the page without warnings", render.stderr)
    text = run(["man", "-l", page], env=dict(env, MANWIDTH="200")).stdout
    text = re.sub(r".\x08", "", text)  # overstrike bold and underline
    missing = sorted(option_names(help_text) - option_names(text))
    check(not missing, "the manual page documents every option of --help", str(missing))
    missing = sorted(k for k in pref_keys if not re.search(r"^\s+%s \(" % k, text, re.M))
    check(not missing, "the manual page documents every preference key", str(missing))
    for section in ("EXIT STATUS", "FILES", "PREFERENCES", "ENVIRONMENT"):
        check(re.search("^" + section + "$", text, re.M) is not None, "the manual page has %s" % section)


def complete(script, words, cwd):
    """The candidates bash completion offers for the last of `words`."""
    line = "source %s; COMP_WORDS=(%s); COMP_CWORD=%d; _kalvix; printf '%%s\\n' \"${COMPREPLY[@]}\"" % (
        script, " ".join("'%s'" % w for w in words), len(words) - 1)
    done = run(["bash", "--norc", "--noprofile", "-c", line], cwd=cwd)
    return set(done.stdout.splitlines()) if done.returncode == 0 else {"error: " + done.stderr}


def check_completion(share, help_text, home):
    script = os.path.join(share, "bash-completion", "completions", "kalvix")
    offered = complete(script, ["kalvix", "-"], home)
    check(offered == option_names(help_text), "bash completes every option of --help and nothing else",
          str(sorted(offered ^ option_names(help_text))))
    check(complete(script, ["kalvix", "--print-t"], home) == {"--print-title"}, "bash completes a started option")
    os.makedirs(os.path.join(home, "two words"))
    open(os.path.join(home, "two-file"), "w").close()
    check(complete(script, ["kalvix", "--snapshot", "tw"], home) == {"two words"},
          "bash completes folders, and only folders, after --snapshot")


def main():
    with tempfile.TemporaryDirectory(prefix="kalvix-install-") as staging:
        check_tree(staging)


def check_tree(staging):
    env = dict(os.environ, DESTDIR=staging)
    done = run([args.cmake, "--install", args.build, "--prefix", "/usr"], env=env)
    check(done.returncode == 0, "cmake --install into a staging folder", done.stdout + done.stderr)
    if done.returncode != 0:
        return
    usr = os.path.join(staging, "usr")
    with open(os.path.join(args.source, "packaging", "files.txt")) as f:
        expected = {line.strip() for line in f if line.strip() and not line.startswith("#")}
    found = installed_files(usr)
    check(found == expected, "the tree holds exactly the files of packaging/files.txt",
          "missing %s, unexpected %s" % (sorted(expected - found), sorted(found - expected)))

    del env["DESTDIR"]
    kalvix = check_program(usr, args.source, env)
    help_text = run([kalvix, "--help"], env=env).stdout
    with open(os.path.join(args.source, "prefs", "Prefs.h")) as f:
        pref_keys = re.findall(r'inline const (?:Optional)?PrefKey<[^>]+> \w+\{QStringLiteral\("(\w+)"\)', f.read())
    check(bool(pref_keys), "the preference keys are found in prefs/Prefs.h")
    share = os.path.join(usr, "share")
    check_desktop_entry(share, check_metainfo(share))
    check_manual(share, help_text, pref_keys, env)
    check_completion(share, help_text, staging)


parser = argparse.ArgumentParser()
parser.add_argument("--build", required=True)
parser.add_argument("--source", required=True)
parser.add_argument("--cmake", required=True)
parser.add_argument("--version", required=True)
args = parser.parse_args()
main()
sys.exit(summary())
