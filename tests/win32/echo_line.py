#!/usr/bin/env python3
"""The far end for the Windows device tests: a pseudo-terminal linked at the
path given, sending back every byte it receives. The bytes HANG-UP-NOW hang
the line up (the master closes, as an unplugged adapter would); a fresh line
takes the link a moment later, and until then there is none."""
import os
import pty
import sys
import termios
import time
import tty

HANG_UP = b"HANG-UP-NOW"


def serve(link):
    master, slave = pty.openpty()
    tty.setraw(slave, termios.TCSANOW)
    name = os.ttyname(slave)
    os.close(slave)
    tmp = link + ".new"
    if os.path.lexists(tmp):
        os.unlink(tmp)
    os.symlink(name, tmp)
    os.replace(tmp, link)
    seen = b""
    while True:
        try:
            data = os.read(master, 65536)
        except OSError:
            # No reader on the slave side yet: wait for one.
            time.sleep(0.01)
            continue
        seen = (seen + data)[-len(HANG_UP):]
        if seen == HANG_UP:
            # The link goes first: once the master closes, another program
            # may be given this terminal's name, and an open through a stale
            # link would reach that program's line instead of ours.
            os.unlink(link)
            os.close(master)
            return
        os.write(master, data)


def main():
    while True:
        serve(sys.argv[1])
        time.sleep(0.2)


if __name__ == "__main__":
    main()
