#!/usr/bin/env python3
"""The bash completion of sonorell-cli, driven in a real bash.

usage: tests/docs/completion_test.py COMPLETION_SCRIPT CLI_PATH

Each case sources the completion script into `bash --norc`, sets COMP_WORDS, COMP_CWORD,
COMP_LINE and COMP_POINT as readline would for a command line, calls the function that
`complete -p sonorell-cli` names and compares what it offers. Every case runs once on a
plain bash and once with the bash-completion package loaded first, when it is installed.
The flags offered after `convert --` and `probe --` must be the ones the built program
prints in its --help. Exits 77 (skipped) when bash is not installed.
"""

import os
import shlex
import shutil
import subprocess
import sys
import tempfile

from help_flags import printed_flags

SKIP = 77
BASH_COMPLETION = "/usr/share/bash-completion/bash_completion"
FORMATS = {"wav", "mp3", "ogg", "aac", "m4a", "mp4", "m4b", "amr", "awb", "wma", "flac", "opus"}


def offered(script, line, with_package):
    """What the completion offers at the end of `line`, as a set of words."""
    words = line.split(" ")
    setup = ""
    if with_package:
        setup = "source %s\n" % shlex.quote(BASH_COMPLETION)
    program = setup + """
source %(script)s
registration=$(complete -p sonorell-cli) || exit 3
function=${registration#*-F }
function=${function%%%% *}
COMP_WORDS=(%(words)s)
COMP_CWORD=%(cword)d
COMP_LINE=%(line)s
COMP_POINT=${#COMP_LINE}
COMPREPLY=()
"$function" sonorell-cli %(cur)s %(prev)s
printf '%%s\\n' "${COMPREPLY[@]}"
""" % {
        "script": shlex.quote(script),
        "words": " ".join(shlex.quote(w) for w in words),
        "cword": len(words) - 1,
        "line": shlex.quote(line),
        "cur": shlex.quote(words[-1]),
        "prev": shlex.quote(words[-2]),
    }
    done = subprocess.run(["bash", "--norc", "--noprofile", "-c", program],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                          timeout=60, check=False)
    if done.returncode != 0 or done.stderr.strip():
        raise RuntimeError("bash exited %d: %s" % (done.returncode, done.stderr.strip()))
    # Folders may come with their slash or without it (readline adds it on display).
    return {w.rstrip("/") for w in done.stdout.splitlines() if w}


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    script, cli = os.path.abspath(sys.argv[1]), sys.argv[2]
    if shutil.which("bash") is None:
        print("SKIP: bash not installed")
        return SKIP

    tree = tempfile.mkdtemp(prefix="sonorell-completion-")
    os.mkdir(os.path.join(tree, "music"))
    os.mkdir(os.path.join(tree, "mp3 out"))
    for name in ("march.flac", "mix.json"):
        with open(os.path.join(tree, name), "w", encoding="utf-8"):
            pass
    # Each command takes --help; --version, which convert's help names beside it, belongs
    # to the program alone (`sonorell-cli convert --version` is a usage error).
    convert_flags = (printed_flags(cli, ["convert", "--help"])[0] - {"--version"}) | {"--help"}
    probe_flags = printed_flags(cli, ["probe", "--help"])[0] | {"--help"}

    def names(*items):
        return {os.path.join(tree, item) for item in items}

    # (command line, what must be offered exactly)
    cases = [
        ("sonorell-cli ", {"convert", "probe", "--help", "--version"}),
        ("sonorell-cli co", {"convert"}),
        ("sonorell-cli --v", {"--version"}),
        ("sonorell-cli convert --f", {"--format"}),
        ("sonorell-cli convert --format ", FORMATS),
        ("sonorell-cli convert --format o", {"ogg", "opus"}),
        ("sonorell-cli convert --format opus --rate-control ", {"vbr", "cvbr", "cbr"}),
        ("sonorell-cli convert --format mp3 --quality ", {"auto", "low", "ok", "medium", "cd"}),
        ("sonorell-cli convert --quality 8 --format flac --quality ", set("012345678")),
        ("sonorell-cli convert --format awb --quality ", set("012345678")),
        ("sonorell-cli convert --format m4a --quality ", set()),
        ("sonorell-cli convert --format mp3 --bitrate ", set()),
        ("sonorell-cli convert --format wav --bits ", {"8", "16"}),
        ("sonorell-cli convert --", convert_flags),
        ("sonorell-cli probe --", probe_flags),
        ("sonorell-cli convert --format mp3 --out %s/m" % tree, names("music", "mp3 out")),
        ("sonorell-cli convert --format mp3 --report %s/m" % tree,
         names("music", "mp3 out", "march.flac", "mix.json")),
        ("sonorell-cli convert --format mp3 --cover %s/m" % tree,
         names("music", "mp3 out", "march.flac", "mix.json")),
        ("sonorell-cli convert --format mp3 %s/ma" % tree, names("march.flac")),
        ("sonorell-cli convert --format mp3 -- %s/m" % tree,
         names("music", "mp3 out", "march.flac", "mix.json")),
        ("sonorell-cli probe %s/mu" % tree, names("music")),
    ]
    modes = [False] + ([True] if os.path.exists(BASH_COMPLETION) else [])
    failures = []
    try:
        for with_package in modes:
            label = "with bash-completion" if with_package else "plain bash"
            for line, wanted in cases:
                try:
                    got = offered(script, line, with_package)
                except RuntimeError as error:
                    failures.append("%s, %r: %s" % (label, line, error))
                    continue
                if got != wanted:
                    failures.append("%s, %r: offered %s, wanted %s" %
                                    (label, line, sorted(got), sorted(wanted)))
    finally:
        shutil.rmtree(tree, ignore_errors=True)
    if len(convert_flags) < 20 or probe_flags != {"--json", "--help"}:
        failures.append("the program's help printed too few flags: %s %s" %
                        (sorted(convert_flags), sorted(probe_flags)))

    for failure in failures:
        print("FAIL:", failure)
    if not failures:
        print("%d completions right (%s)" % (len(cases) * len(modes), ", ".join(
            "with bash-completion" if m else "plain bash" for m in modes)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
