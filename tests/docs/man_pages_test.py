#!/usr/bin/env python3
"""The manual pages render cleanly and document every flag the batch command has.

usage: tests/docs/man_pages_test.py MAN_FOLDER CLI_PATH [WINDOW_PROGRAM_PATH]

Renders sonorell.1 and sonorell-cli.1 at three widths with man-db's own formatter and its
warnings on (the way `man --warnings -l` shows a page) and fails on any warning. Then runs the built
sonorell-cli with --help, convert --help and probe --help and fails on a flag it prints that
the options sections of sonorell-cli.1 leave out, and on a flag those sections describe that
the program does not print. With the window program's path, every flag its --help prints
must be in sonorell.1 too. Exits 77 (skipped) when man or groff is not installed.
"""

import os
import shutil
import subprocess
import sys

from help_flags import FLAG, printed_flags

SKIP = 77
PAGES = ("sonorell.1", "sonorell-cli.1")
HELP_COMMANDS = (["--help"], ["convert", "--help"], ["probe", "--help"])


def render(page, width):
    """The page as plain text, and what the formatter said on standard error."""
    env = dict(os.environ, MANWIDTH=str(width), LC_ALL="C.UTF-8", MAN_DISABLE_SECCOMP="1")
    env.pop("MANPAGER", None)
    env.pop("PAGER", None)
    done = subprocess.run(["man", "--warnings", "-E", "UTF-8", "-l", page], env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                          timeout=60, check=False)
    return done.returncode, done.stdout, done.stderr


def options_text(text):
    """The part of the rendered page from COMMANDS up to EXIT STATUS."""
    start = text.find("\nCOMMANDS\n")
    end = text.find("\nEXIT STATUS\n")
    if start < 0 or end < start:
        return None
    return text[start:end]


def main():
    if len(sys.argv) not in (3, 4):
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    folder, cli = sys.argv[1], sys.argv[2]
    window = sys.argv[3] if len(sys.argv) == 4 else None
    missing = [tool for tool in ("man", "groff", "nroff") if shutil.which(tool) is None]
    if missing:
        print("SKIP: %s not installed (apt-get install man-db groff-base)" % ", ".join(missing))
        return SKIP

    failures = []
    texts = {}
    for name in PAGES:
        page = os.path.join(folder, name)
        # 80 columns is what man formats for when it does not write to a terminal; lines
        # fall differently on a narrower and a wider one.
        for width in (72, 80, 132):
            status, text, warnings = render(page, width)
            if status != 0 or warnings.strip():
                failures.append("%s at %d columns: man exited %d with:\n%s" %
                                (name, width, status, warnings.rstrip()))
        if "NAME" not in text or "SYNOPSIS" not in text:
            failures.append("%s: no NAME or SYNOPSIS in the rendered page" % name)
        # Wide enough that no flag is broken across lines.
        texts[name] = render(page, 1000)[1]

    printed = {}
    for args in HELP_COMMANDS:
        flags, status = printed_flags(cli, args)
        if status != 0:
            failures.append("sonorell-cli %s exited %d" % (" ".join(args), status))
        for flag in sorted(flags):
            printed.setdefault(flag, " ".join(args))
    if len(printed) < 20:
        failures.append("sonorell-cli printed only these flags: %s" % sorted(printed))

    options = options_text(texts["sonorell-cli.1"])
    if options is None:
        failures.append("sonorell-cli.1: no COMMANDS ... EXIT STATUS sections")
    else:
        documented = set(FLAG.findall(options))
        for flag in sorted(set(printed) - documented):
            failures.append("%s (printed by sonorell-cli %s) is not described in sonorell-cli.1"
                            % (flag, printed[flag]))
        for flag in sorted(documented - set(printed)):
            failures.append("sonorell-cli.1 describes %s, which no --help of the program prints"
                            % flag)

    if window:
        # The window program answers --help before its window system starts.
        flags, status = printed_flags(window, ["--help"])
        if status != 0 or "--version" not in flags:
            failures.append("sonorell --help exited %d or printed no --version" % status)
        for flag in sorted(flags - set(FLAG.findall(texts["sonorell.1"]))):
            failures.append("%s (printed by sonorell --help) is not described in sonorell.1"
                            % flag)

    for failure in failures:
        print("FAIL:", failure)
    if not failures:
        print("both pages render without warnings; all %d flags are described" % len(printed))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
