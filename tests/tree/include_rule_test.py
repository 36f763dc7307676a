#!/usr/bin/env python3
"""The include rule holds on the tree, and the check that keeps it catches what it is for: an include
from a target that is not linked, and a header no target lists."""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from checks import check, summary  # noqa: E402

LOW = "add_library(kalvix_low STATIC Low.h Low.cpp)\n"
HIGH = "add_library(kalvix_high STATIC High.h High.cpp)\ntarget_link_libraries(kalvix_high PUBLIC kalvix_low)\n"


SCRATCH = []


def scratch_tree(files):
    root = tempfile.mkdtemp(prefix="kalvix-includes-")
    SCRATCH.append(root)
    for path, text in files.items():
        os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
        with open(os.path.join(root, path), "w") as f:
            f.write(text)
    subprocess.run(["git", "init", "-q", root], check=True)
    subprocess.run(["git", "-C", root, "add", "-A"], check=True)
    return root


def run(script, root):
    return subprocess.run([sys.executable, script, root], capture_output=True, text=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    source = parser.parse_args().source
    script = os.path.join(source, "scripts", "check-includes.py")

    tree = run(script, source)
    check(tree.returncode == 0, "the tree keeps the rule: %s" % (tree.stdout.strip().splitlines() or ["?"])[-1])

    base = {"low/CMakeLists.txt": LOW, "low/Low.h": "#pragma once\n", "low/Low.cpp": '#include "low/Low.h"\n',
            "high/CMakeLists.txt": HIGH, "high/High.h": '#pragma once\n#include "low/Low.h"\n',
            "high/High.cpp": '#include "high/High.h"\n'}
    downward = run(script, scratch_tree(base))
    check(downward.returncode == 0, "an include down a link passes: %r" % downward.stdout)

    upward = run(script, scratch_tree(dict(base, **{"low/Low.cpp": '#include "low/Low.h"\n#include "high/High.h"\n'})))
    check(upward.returncode == 1 and "low/Low.cpp:2: kalvix_low includes high/High.h of kalvix_high" in upward.stdout,
          "an include up from a target that does not link it fails and names the line: %r" % upward.stdout)

    unlisted = run(script, scratch_tree(dict(base, **{"low/Hidden.h": "#pragma once\n",
                                                      "high/High.cpp": '#include "low/Hidden.h"\n'})))
    check(unlisted.returncode == 1 and "low/Hidden.h is in no target's list of sources" in unlisted.stdout,
          "a header no target lists fails: %r" % unlisted.stdout)

    for root in SCRATCH:
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
    sys.exit(summary())
