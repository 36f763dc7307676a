"""The checks of a test run as a script (the end-to-end, install and command-line tests): each check
prints one line, ok or FAIL, summary() prints the counts, and a test ends with a failing status when
any check failed. Imported, never copied: the counts are only right when every check comes through here."""

failures = []
_passed = []


def check(condition, what, detail=""):
    """Counts and prints one check; `detail` is printed under a failing one."""
    print(("ok   " if condition else "FAIL ") + what + ("" if condition or not detail else "\n     " + detail),
          flush=True)
    (_passed if condition else failures).append(what)
    return condition


def check_equal(what, got, want):
    return check(got == want, what, f"got  {got!r}\n     want {want!r}")


def summary():
    """Prints "N passed, N failed" and returns the exit status for the test: 1 when any check failed."""
    print("%d passed, %d failed" % (len(_passed), len(failures)), flush=True)
    return 1 if failures else 0
