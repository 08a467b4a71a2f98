"""The flags sonorell-cli prints in its help texts, as the documentation tests read them."""

import re
import subprocess

# A long flag standing on its own: "--rate" and "--rate-control", not the "--" of "a--b".
FLAG = re.compile(r"(?<![\w-])--[a-z][a-z0-9-]*")


def printed_flags(cli, args):
    """The flags in what `cli ARGS` prints, and its exit status."""
    done = subprocess.run([cli] + list(args), stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, timeout=60, check=False)
    return set(FLAG.findall(done.stdout)), done.returncode
