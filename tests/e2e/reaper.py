#!/usr/bin/env python3
"""Runs a command as a child subreaper and records how every process below it ended.

Usage: reaper.py LOG COMMAND [ARG...]

A screen-saver host kills its hack and exits without waiting for it; the hack is then handed to
this process, which waits for it like for everything else below it and appends "PID STATUS" to
LOG (STATUS as a shell has it: the exit code, or 128 + the signal). SIGTERM and SIGINT are passed
on to COMMAND. Ends when nothing is left below it.
"""
import ctypes
import os
import signal
import sys

PR_SET_CHILD_SUBREAPER = 36

log = open(sys.argv[1], "a", buffering=1)
if ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
    sys.exit("reaper: cannot become a subreaper")
child = os.fork()
if child == 0:
    os.execvp(sys.argv[2], sys.argv[2:])


def forward(signum, _frame):
    try:
        os.kill(child, signum)
    except ProcessLookupError:
        pass


signal.signal(signal.SIGTERM, forward)
signal.signal(signal.SIGINT, forward)
while True:
    try:
        pid, status = os.waitpid(-1, 0)
    except ChildProcessError:
        break
    code = os.waitstatus_to_exitcode(status)
    log.write(f"{pid} {code if code >= 0 else 128 - code}\n")
