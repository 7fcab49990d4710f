#!/usr/bin/env python3
"""Runs a program on a terminal of its own (a pseudo-terminal) and types one
line when it asks with "Password: " and has turned the echo off, as a user
would; prints what the terminal showed and ends with the program's status.

    typed_answer.py TEXT PROGRAM [ARGUMENT]...

TEXT reaches the terminal as its bytes on the command line (not UTF-8 too)."""
import os
import pty
import sys
import termios
import time


def main() -> int:
    typed = os.fsencode(sys.argv[1])
    pid, fd = pty.fork()
    if pid == 0:
        os.execv(sys.argv[2], sys.argv[2:])
    seen = b""
    while b"Password: " not in seen:
        chunk = os.read(fd, 1024)
        if not chunk:
            sys.exit("no prompt: " + seen.decode("utf-8", "replace"))
        seen += chunk
    # The program flushes the terminal's input when it turns the echo off:
    # type only after that.
    while termios.tcgetattr(fd)[3] & termios.ECHO:
        time.sleep(0.01)
    os.write(fd, typed + b"\n")
    while True:
        try:
            chunk = os.read(fd, 1024)
        except OSError:  # the program has ended and closed the terminal
            break
        if not chunk:
            break
        seen += chunk
    sys.stdout.write(seen.decode("utf-8", "replace"))
    return os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1])


if __name__ == "__main__":
    sys.exit(main())
