#!/usr/bin/env python3
"""Every project include must come from the file's own target or from a target it links.

Targets and their sources are read from the CMakeLists.txt files (add_library, add_executable and
kalvix_add_test); a header belongs to the target that lists it, header-only ones included. An include of
a project file that no target lists is an error too, so a header cannot slip past the rule by being
left out of its folder's list. Exits 1 and names each offending line.
"""
import os
import re
import subprocess
import sys

ROOT = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DECL = re.compile(r'\b(add_library|add_executable|kalvix_add_test|target_link_libraries|target_sources|set)\s*\(([^)]*)\)',
                  re.S)
VARIABLE = re.compile(r'\$\{([A-Za-z0-9_]+)\}')
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
KEYWORDS = {'STATIC', 'SHARED', 'OBJECT', 'INTERFACE', 'PUBLIC', 'PRIVATE', 'SOURCES', 'LIBS'}
# Every test made by kalvix_add_test links the shared test support.
IMPLICIT = {'kalvix_add_test': {'kalvix_test_support'}}


def strip_comments(text):
    return '\n'.join(line.split('#', 1)[0] for line in text.splitlines())


def read_targets():
    owner, links = {}, {}
    lists = subprocess.check_output(['git', 'ls-files', '*CMakeLists.txt'], cwd=ROOT, text=True).split()
    for cmake in lists:
        folder = os.path.dirname(cmake)
        if folder == 'fuzz':
            continue  # the fuzzers compile the readers' sources again with other flags
        variables = {'CMAKE_CURRENT_SOURCE_DIR': folder}
        for kind, body in DECL.findall(strip_comments(open(os.path.join(ROOT, cmake)).read())):
            words = VARIABLE.sub(lambda m: variables.get(m.group(1), m.group(0)), body).split()
            if not words:
                continue
            name, rest = words[0], words[1:]
            if kind == 'set':
                variables[name] = ' '.join(rest)
                continue
            if kind == 'target_link_libraries':
                links.setdefault(name, set()).update(w for w in rest if w.startswith('kalvix_'))
                continue
            links.setdefault(name, set()).update(IMPLICIT.get(kind, ()))
            section = 'SOURCES'
            for w in rest:
                if w in KEYWORDS:
                    section = w
                elif section == 'LIBS':
                    links[name].add(w)
                elif re.search(r'\.(h|cpp)$', w) and '$' not in w:
                    path = w if w.startswith(folder + '/') else os.path.join(folder, w)
                    owner.setdefault(os.path.normpath(path), set()).add(name)
    return owner, links


def closure(target, links):
    seen, todo = {target}, [target]
    while todo:
        for dep in links.get(todo.pop(), ()):
            if dep not in seen:
                seen.add(dep)
                todo.append(dep)
    return seen


def main():
    owner, links = read_targets()
    sources = subprocess.check_output(['git', 'ls-files', '*.cpp', '*.h'], cwd=ROOT, text=True).split()
    errors = []
    for path in sources:
        targets = owner.get(path)
        if targets is None:
            continue  # fuzz targets and other sources built outside the targets' lists
        for target in sorted(targets):
            errors += wrong_includes(path, target, owner, links)
    for e in errors:
        print(e)
    print(f'includes: {len(sources)} files checked, {len(errors)} wrong')
    return 1 if errors else 0


def wrong_includes(path, target, owner, links):
    errors = []
    reach = closure(target, links)
    text = open(os.path.join(ROOT, path), encoding='utf-8', errors='replace').read()
    for number, line in enumerate(text.splitlines(), 1):
        m = INCLUDE.match(line)
        if not m or '/' not in m.group(1) or not os.path.exists(os.path.join(ROOT, m.group(1))):
            continue
        used = owner.get(os.path.normpath(m.group(1)))
        if used is None:
            errors.append(f'{path}:{number}: {m.group(1)} is in no target\'s list of sources')
        elif not used & reach:
            errors.append(f'{path}:{number}: {target} includes {m.group(1)} of '
                          f'{", ".join(sorted(used))}, which it does not link')
    return errors


if __name__ == '__main__':
    sys.exit(main())
