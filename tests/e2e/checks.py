"""The checks of an end-to-end test: each prints one line, ok or FAIL, and a test ends with a failing
status when any failed."""

failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition
