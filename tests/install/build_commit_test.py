#!/usr/bin/python3
"""The build's lookup of the commit it builds from (cmake/BuildCommit.cmake), on source trees made for
each case: git checkouts clean and changed, trees that are not the top of a checkout, and a rerun that
must leave an unchanged header alone so that nothing is rebuilt."""
import argparse
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from checks import check, summary  # noqa: E402


def git(folder, *words):
    return subprocess.run(["git", "-C", folder, "-c", "user.name=Test", "-c", "user.email=test@example.org",
                           "-c", "init.defaultBranch=main", *words],
                          capture_output=True, text=True, check=True, timeout=30).stdout.strip()


def lookup(source, output):
    done = subprocess.run([args.cmake, "-DSOURCE_DIR=" + source, "-DOUTPUT=" + output, "-P", args.script],
                          capture_output=True, text=True, timeout=30)
    if done.returncode != 0:
        return ("cmake failed: " + done.stderr, None)
    with open(output) as f:
        header = f.read()
    commit = re.search(r'#define KALVIX_BUILD_COMMIT "([^"]*)"', header)
    modified = re.search(r"#define KALVIX_BUILD_MODIFIED (true|false)", header)
    return (commit.group(1) if commit else header, modified.group(1) == "true" if modified else None)


def checkout(folder, commit=True):
    os.makedirs(folder)
    git(folder, "init", "-q")
    with open(os.path.join(folder, "main.cpp"), "w") as f:
        f.write("int main() {}\n")
    if commit:
        git(folder, "add", "main.cpp")
        git(folder, "commit", "-q", "-m", "first")
    return folder


def main():
    with tempfile.TemporaryDirectory(prefix="kalvix-commit-") as base:
        check_cases(base)


def check_cases(base):
    out = os.path.join(base, "BuildCommit.h")

    clean = checkout(os.path.join(base, "clean"))
    head = git(clean, "rev-parse", "--short=12", "HEAD")
    check(lookup(clean, out) == (head, False), "clean_checkout: the commit, unmodified", str(lookup(clean, out)))

    os.utime(out, (1000, 1000))
    lookup(clean, out)
    check(os.stat(out).st_mtime == 1000, "same_commit_again: the header is not rewritten, nothing rebuilds")

    with open(os.path.join(clean, "notes.txt"), "w") as f:
        f.write("untracked\n")
    check(lookup(clean, out) == (head, False), "untracked_file: not a change to the commit", str(lookup(clean, out)))

    with open(os.path.join(clean, "main.cpp"), "a") as f:
        f.write("// edited\n")
    check(lookup(clean, out) == (head, True), "edited_tracked_file: marked modified", str(lookup(clean, out)))

    os.makedirs(os.path.join(clean, "sub"))
    check(lookup(os.path.join(clean, "sub"), out) == ("", False),
          "folder_inside_a_checkout: not the checkout's top, so no commit", str(lookup(clean, out)))

    plain = os.path.join(base, "plain")
    os.makedirs(plain)
    check(lookup(plain, out) == ("", False), "not_a_checkout: no commit", str(lookup(plain, out)))

    empty = checkout(os.path.join(base, "empty"), commit=False)
    check(lookup(empty, out) == ("", False), "checkout_without_commits: no commit", str(lookup(empty, out)))

    linked = os.path.join(base, "linked")
    os.symlink(clean, linked)
    check(lookup(linked, out) == (head, True), "checkout_through_a_symlink: still the checkout's top",
          str(lookup(linked, out)))


parser = argparse.ArgumentParser()
parser.add_argument("--cmake", required=True)
parser.add_argument("--script", required=True)
args = parser.parse_args()
main()
sys.exit(summary())
