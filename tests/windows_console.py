#!/usr/bin/env python3
"""Runs the Windows converter under wine in a pseudo-terminal, which wine
treats as a console, and checks the text the console shows: paths in any
script as typed, not their UTF-8 bytes in the console's code page."""
import argparse, os, pty, re, select, shlex, subprocess, sys, tempfile

CASES = [  # arguments, the text the console shows
    (["données/数据.stack", "out.txt"], "error opening input file données/数据.stack\n"),
    (["Ωμέγα.stack", "ausgabe_ü"], "error opening input file Ωμέγα.stack\n"),
    ([], "converting stacks in Pelox binary format into stacks in ascii format\n"
         "usage: Kindor <input stack in binary format> <output stack in ascii format>\n"),
]

def shown(raw):
    """The console's text: wine moves the cursor between words instead of
    writing spaces, and the terminal's line ends are CR LF."""
    text = raw.decode("utf-8", "replace")
    text = re.sub(r"\x1b\[(\d*)C", lambda m: " " * int(m.group(1) or 1), text)
    text = re.sub(r"\x1b\[[?\d;]*[A-Za-z]", "", text)
    return text.replace("\r", "")

def on_terminal(command, workdir):
    leader, follower = pty.openpty()
    process = subprocess.Popen(command, cwd=workdir, stdin=follower, stdout=follower, stderr=follower)
    os.close(follower)
    raw = b""
    while True:
        ready, _, _ = select.select([leader], [], [], 60)
        if not ready: break
        try: chunk = os.read(leader, 4096)
        except OSError: break  # the terminal closed: every writer is gone
        if not chunk: break
        raw += chunk
    os.close(leader)
    return process.wait(timeout=60), raw

def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--prefix", default="")
    args = parser.parse_args()
    failed = 0
    for argv, want in CASES:
        with tempfile.TemporaryDirectory() as workdir:
            status, raw = on_terminal(shlex.split(args.prefix) + [os.path.abspath(args.exe)] + argv, workdir)
        got = shown(raw)
        if got != want or status not in (1, 99):
            failed += 1
            print(f"FAIL {argv}: status {status}, console shows {got!r}, want {want!r}")
    print(f"{len(CASES) - failed} passed, {failed} failed")
    return 1 if failed else 0

if __name__ == "__main__":
    sys.exit(main())
