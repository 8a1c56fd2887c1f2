#!/usr/bin/env python3
"""Runs the device layer on the kernel's real serial drivers.

Boots Debian's own kernel in QEMU with a 16550A UART (the 8250 driver,
/dev/ttyS1) and an FTDI USB adapter (ftdi_sio, /dev/ttyUSB0). The host ends
of both are pseudo-terminals: the box simulator serves them, or this script
reads them itself. The guest runs the cases this script sends on its console
and reports each; one boot serves a group of cases.

Exit codes: 0 all passed, 1 a case failed, 77 no emulator here (skipped).
"""

import argparse
import glob
import gzip
import os
import queue
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import termios
import threading
import time
import tty

MODULES = ["usb-common", "usbcore", "xhci-hcd", "xhci-pci", "usbserial", "ftdi_sio"]
DEVICES = {"uart": "/dev/ttyS1", "usb": "/dev/ttyUSB0"}
HERE = os.path.dirname(os.path.abspath(__file__))
BOOT_TIMEOUT = 120
CASE_TIMEOUT = 120


def log(text):
    print(text, flush=True)


def skip(why):
    log("SKIP: " + why)
    sys.exit(77)


# --- The kernel ---------------------------------------------------------------


def kernel_package():
    """The package the kernel metapackage points at, or None offline."""
    for attempt in range(2):
        try:
            out = subprocess.run(["apt-cache", "depends", "linux-image-amd64"],
                                 capture_output=True, text=True).stdout
        except OSError:
            return None
        m = re.search(r"Depends: (linux-image-\S+)", out)
        if m:
            return m.group(1)
        if attempt == 0:  # a fresh machine may have no package lists yet
            subprocess.run(["apt-get", "update", "-qq"], capture_output=True)
    return None


def fetch_kernel(cache):
    """vmlinuz and the driver modules of Debian's kernel, fetched once."""
    os.makedirs(cache, exist_ok=True)
    package = kernel_package()
    cached = sorted(glob.glob(os.path.join(cache, "linux-image-*", "vmlinuz")))
    if package is None:
        if cached:
            return os.path.dirname(cached[-1])
        raise RuntimeError("cannot tell which kernel package to fetch (apt-cache)")
    folder = os.path.join(cache, package)
    if os.path.exists(os.path.join(folder, "vmlinuz")):
        return folder
    log(f"vm: fetching {package}")
    with tempfile.TemporaryDirectory(dir=cache) as tmp:
        fetch = ["apt-get", "download", package]
        if subprocess.run(fetch, cwd=tmp, capture_output=True).returncode != 0:
            subprocess.run(["apt-get", "update", "-qq"], capture_output=True)
            subprocess.run(fetch, cwd=tmp, capture_output=True, check=True)
        deb = glob.glob(os.path.join(tmp, "*.deb"))[0]
        root = os.path.join(tmp, "root")
        subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
        part = folder + ".part"
        shutil.rmtree(part, ignore_errors=True)
        os.makedirs(os.path.join(part, "modules"))
        shutil.copy(glob.glob(os.path.join(root, "boot", "vmlinuz-*"))[0],
                    os.path.join(part, "vmlinuz"))
        for name in MODULES:
            found = glob.glob(os.path.join(root, "lib", "modules", "*", "kernel", "**",
                                           name + ".ko*"), recursive=True)
            if not found or not found[0].endswith(".ko"):
                raise RuntimeError(f"module {name} missing or compressed in {package}")
            shutil.copy(found[0], os.path.join(part, "modules", name + ".ko"))
        os.rename(part, folder)
    return folder


# --- The initramfs ------------------------------------------------------------


class Cpio:
    """An initramfs archive in the kernel's newc format."""

    def __init__(self):
        self.data = bytearray()
        self.names = set()
        self.inode = 1

    def _entry(self, name, mode, body):
        fields = [self.inode, mode, 0, 0, 1, 0, len(body), 0, 0, 0, 0, len(name) + 1, 0]
        self.inode += 1
        self.data += b"070701" + b"".join(b"%08X" % f for f in fields) + name.encode() + b"\0"
        self.data += b"\0" * (-len(self.data) % 4) + body
        self.data += b"\0" * (-len(self.data) % 4)

    def folder(self, name):
        name = name.strip("/")
        if not name or name in self.names:
            return
        self.folder(os.path.dirname(name))
        self.names.add(name)
        self._entry(name, 0o040755, b"")

    def file(self, name, source=None, body=None, mode=0o100755):
        name = name.strip("/")
        self.folder(os.path.dirname(name))
        if name in self.names:
            return
        self.names.add(name)
        if body is None:
            with open(source, "rb") as f:
                body = f.read()
        self._entry(name, mode, body)

    def link(self, name, target):
        name = name.strip("/")
        self.folder(os.path.dirname(name))
        if name not in self.names:
            self.names.add(name)
            self._entry(name, 0o120777, target.encode())

    def finish(self):
        self._entry("TRAILER!!!", 0, b"")
        return bytes(self.data)


def libraries(program):
    out = subprocess.run(["ldd", program], capture_output=True, text=True).stdout
    return re.findall(r"(/\S+) \(0x", out)


def build_initramfs(path, kernel, programs):
    busybox = shutil.which("busybox")
    if not busybox or "not a dynamic" not in subprocess.run(
            ["ldd", busybox], capture_output=True, text=True).stdout + subprocess.run(
            ["ldd", busybox], capture_output=True, text=True).stderr:
        raise RuntimeError("a static busybox is needed (Debian package busybox-static)")
    cpio = Cpio()
    for name in ["dev", "proc", "sys", "tmp"]:
        cpio.folder(name)
    cpio.file("bin/busybox", busybox)
    applets = subprocess.run([busybox, "--list"], capture_output=True, text=True).stdout.split()
    for applet in applets:
        cpio.link("bin/" + applet, "busybox")
    cpio.file("init", os.path.join(HERE, "guest_init.sh"))
    for name in MODULES:
        cpio.file(f"lib/modules/{name}.ko", os.path.join(kernel, "modules", name + ".ko"),
                  mode=0o100644)
    for program in programs:
        cpio.file("bin/" + os.path.basename(program), program)
        for lib in libraries(program):
            cpio.file(lib, os.path.realpath(lib))
    with open(path, "wb") as f:
        f.write(gzip.compress(cpio.finish(), compresslevel=1))


# --- The machine --------------------------------------------------------------


def raw_open(path):
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    tty.setraw(fd)
    return fd


def accelerator():
    """KVM only where the processor shows virtualisation: some machines have a
    /dev/kvm whose guests hang at boot. VM_ACCEL=tcg or kvm decides instead."""
    chosen = os.environ.get("VM_ACCEL")
    if chosen:
        return chosen
    if not os.access("/dev/kvm", os.R_OK | os.W_OK):
        return "tcg"
    try:
        with open("/proc/cpuinfo") as f:
            flags = set(re.findall(r"^flags\s*:(.*)$", f.read(), re.M)[0].split())
    except (OSError, IndexError):
        return "tcg"
    return "kvm" if flags & {"vmx", "svm"} else "tcg"


class Machine:
    """QEMU with both serial devices; the guest's console on a pipe."""

    def __init__(self, kernel, initrd, folder):
        self.monitor_path = os.path.join(folder, "monitor")
        accel = accelerator()
        self.proc = subprocess.Popen(
            ["qemu-system-x86_64", "-accel", accel, "-m", "512", "-smp", os.environ.get("VM_CPUS", "2"), "-display", "none",
             "-no-reboot", "-nic", "none", "-kernel", os.path.join(kernel, "vmlinuz"),
             "-initrd", initrd, "-append", "console=ttyS0 quiet loglevel=3 panic=-1",
             "-chardev", "pty,id=uart", "-chardev", "pty,id=usb",
             "-serial", "stdio", "-serial", "chardev:uart",
             "-device", "qemu-xhci,id=xhci", "-device", self.usb_device(),
             "-monitor", f"unix:{self.monitor_path},server=on,wait=off"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.lines = queue.Queue()
        self.hosts = {}
        # QEMU names the host ends on its output before the guest starts.
        while len(self.hosts) < 2:
            line = self.proc.stdout.readline().decode(errors="replace")
            if not line:
                raise RuntimeError("QEMU ended before naming its serial lines")
            m = re.search(r"redirected to (\S+) \(label (\w+)\)", line)
            if m:
                self.hosts[m.group(2)] = m.group(1)
        # Held open throughout, raw: QEMU drops what the guest sends while no
        # one holds the host end, and the settings must survive between cases.
        self.host_fds = {name: raw_open(path) for name, path in self.hosts.items()}
        threading.Thread(target=self._read_console, daemon=True).start()
        threading.Thread(target=self._drain_stderr, daemon=True).start()

    @staticmethod
    def usb_device():
        # Plugged whether or not the host end is open, like a real adapter.
        return "usb-serial,id=ftdi,bus=xhci.0,chardev=usb,always-plugged=on"

    def _read_console(self):
        for raw in self.proc.stdout:
            self.lines.put(raw.decode(errors="replace").rstrip("\r\n"))
        self.lines.put(None)

    def _drain_stderr(self):
        for raw in self.proc.stderr:
            self.lines.put("qemu: " + raw.decode(errors="replace").rstrip())

    def next_line(self, deadline):
        try:
            return self.lines.get(timeout=max(0.0, deadline - time.monotonic()))
        except queue.Empty:
            return ""

    def wait_for(self, prefix, timeout):
        deadline = time.monotonic() + timeout
        seen = []
        while time.monotonic() < deadline:
            line = self.next_line(deadline)
            if line is None:
                break
            if line.startswith(prefix):
                return line, seen
            seen.append(line)
        return None, seen

    def send(self, text):
        self.proc.stdin.write((text + "\n").encode())
        self.proc.stdin.flush()

    def monitor(self, command):
        with socket.socket(socket.AF_UNIX) as s:
            s.connect(self.monitor_path)
            s.settimeout(10)
            reply = b""
            while not reply.endswith(b"(qemu) "):
                reply += s.recv(4096)
            s.sendall(command.encode() + b"\n")
            reply = b""
            while not reply.endswith(b"(qemu) "):
                reply += s.recv(4096)
        return reply.decode(errors="replace")

    def flush_host(self, name):
        termios.tcflush(self.host_fds[name], termios.TCIOFLUSH)

    def stop(self):
        try:
            self.send("OFF x")
            self.proc.wait(timeout=20)
        except (OSError, subprocess.TimeoutExpired):
            self.proc.kill()
            self.proc.wait()
        for fd in self.host_fds.values():
            os.close(fd)


# --- The far ends -------------------------------------------------------------


class Box:
    """zedazi-boxsim serving a host end; its events are watched as they come."""

    def __init__(self, program, path, args, on_line=None):
        self.proc = subprocess.Popen([program, "--device", path] + args, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT)
        self.output = []
        self.on_line = on_line
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for raw in self.proc.stdout:
            line = raw.decode(errors="replace").rstrip()
            self.output.append(line)
            if self.on_line:
                self.on_line(line)

    def finish(self, timeout):
        """The exit code; the box is killed if it outlives the timeout."""
        try:
            code = self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            code = self.proc.wait()
        self.reader.join(5)
        return code


def pattern(seed, size):
    """The guest's block: xorshift32, each byte below 0xFF."""
    out = bytearray(size)
    x = seed or 1
    for i in range(size):
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        out[i] = (x >> 24) % 255
    return bytes(out)


class SlowReader:
    """Reads a host end slowly, so the guest's transmit queue stays full,
    until the marker the guest sends after each round's flush has come."""

    MARKER = b"\xff" * 64

    def __init__(self, fd, seed, size, rounds):
        self.fd, self.seed, self.size, self.rounds = fd, seed, size, rounds
        self.got = bytearray()
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        deadline = time.monotonic() + CASE_TIMEOUT
        while time.monotonic() < deadline and self.got.count(self.MARKER) < self.rounds:
            try:
                self.got += os.read(self.fd, 256)
            except BlockingIOError:
                pass
            time.sleep(0.02)  # about 12 KiB/s: slower than the UART sends

    def verdict(self):
        self.thread.join(CASE_TIMEOUT)
        # No block byte is 0xFF: each round ends at the first 0xFF after it.
        parts = re.split(b"\xff{64}", bytes(self.got))
        if len(parts) <= self.rounds:
            runs = [len(m) for m in re.findall(b"\xff+", bytes(self.got))]
            return False, f"{len(parts) - 1} of {self.rounds} markers came (0xFF runs {runs})"
        sizes = []
        for n, body in enumerate(parts[:self.rounds]):
            block = pattern(self.seed + n, self.size)
            if len(body) >= len(block):
                return False, f"round {n}: the flush dropped nothing"
            for i, (a, b) in enumerate(zip(body, block)):
                if a != b:
                    return False, (f"round {n}: byte {i} of {len(body)} before the marker is not "
                                   "the block's: bytes of the dropped block went out after the "
                                   "flush")
            sizes.append(len(body))
        return True, (f"{self.rounds} rounds, {min(sizes)} to {max(sizes)} of {self.size} bytes "
                      "each, then the marker")


# --- The cases ----------------------------------------------------------------


class Case:
    def __init__(self, name, command, box=None, reader=None, before=None, on_box_line=None):
        self.name, self.command = name, command
        self.box, self.reader, self.before, self.on_box_line = box, reader, before, on_box_line


def cases(group, machine):
    dev = DEVICES[group]
    out = []
    for kind in ["channels", "logo", "data", "net"]:
        out.append(Case(
            f"download-{kind}",
            f"zedazi-recv --port {dev} --type {kind} --output /tmp/got --quiet && "
            f"zedazi-vmcheck expect {kind} /tmp/want && cmp /tmp/got.* /tmp/want && "
            "echo 'byte-exact' && rm /tmp/got.* /tmp/want",
            box=["--once"]))
    out.append(Case("line-settings", f"zedazi-vmcheck settings {dev} {group}"))
    if group == "uart":
        # The emulated USB adapter blocks the whole machine, not its queue,
        # while the host end is not read: no full transmit queue to flush.
        seed, size, rounds = 20261209, 96 * 1024, 8
        out.append(Case("output-purge", f"zedazi-vmcheck purge {dev} {seed} {size} {rounds}",
                        reader=lambda fd: SlowReader(fd, seed, size, rounds)))
    out.append(Case("modem-lines-and-break", f"zedazi-vmcheck lines {dev} {group}"))
    if group == "usb":
        pulled = threading.Event()

        def pull(line):
            # Some packets in: the download is under way.
            if "-> packet 003" in line and not pulled.is_set():
                pulled.set()
                machine.monitor("device_del ftdi")

        out.append(Case(
            "adapter-pulled-mid-download",
            f"zedazi-vmcheck pulled {dev} /tmp/pulled -- /bin/zedazi-recv --port {dev} "
            "--type logo --output /tmp/pulled --quiet",
            box=["--once", "--packet-size", "1024"], on_box_line=pull))
        out.append(Case("adapter-plugged-in-again", f"zedazi-vmcheck reopen {dev}",
                        before=lambda: machine.monitor("device_add " + machine.usb_device())))
    return out


def run_case(machine, group, number, case, programs):
    host = machine.hosts[group]
    machine.flush_host(group)
    if case.before:
        case.before()
    box = reader = None
    if case.box is not None:
        box = Box(programs["boxsim"], host, case.box, case.on_box_line)
        while not box.output and box.proc.poll() is None:
            time.sleep(0.01)  # until it serves: it prints "Serving on" first
    if case.reader:
        reader = case.reader(machine.host_fds[group])
    started = time.monotonic()
    machine.send(f"RUN {number} {case.command}")
    done, output = machine.wait_for(f"@@ DONE {number} ", CASE_TIMEOUT)
    seconds = time.monotonic() - started
    ok = done is not None and done.split()[-1] == "0"
    notes = []
    if done is None:
        notes.append("no answer from the guest in time")
    if box:
        code = box.finish(20 if ok else 1)
        if "--once" in case.box and case.on_box_line is None and code != 0:
            ok = False
            notes.append(f"box exited {code}")
        if not ok:
            output += ["box: " + line for line in box.output[-30:]]
    if reader:
        good, why = reader.verdict()
        notes.append("far end: " + why)
        ok = ok and good
    status = "PASS" if ok else "FAIL"
    log(f"[vm {group}] {status} {case.name} ({seconds:.1f} s)" +
        (": " + "; ".join(notes) if notes else ""))
    for line in output:
        # A passing case shows only its figures.
        if not ok or line.startswith("note: ") or os.environ.get("VM_VERBOSE"):
            log("    " + line)
    return ok


def show_kernel_messages(machine, group):
    """What the serial drivers said during the cases, each text once."""
    machine.send("RUN dmesg dmesg | grep -E 'ttyS1|ttyUSB|ftdi_sio|usbserial|urb|usb 1-1' | "
                 "grep -v -E 'now attached|is a 16550A|converter detected|registered|Table-perturb|"
                 "new full-speed|New USB device|Product:|Manufacturer:|SerialNumber:|Detected'")
    _, messages = machine.wait_for("@@ DONE dmesg", 30)
    counts = {}
    for line in messages:
        text = re.sub(r"^\[\s*[\d.]+\]\s*", "", line)
        counts[text] = counts.get(text, 0) + 1
    log(f"[vm {group}] kernel messages of the drivers: {len(counts) or 'none'}")
    for text, n in counts.items():
        log(f"    {text}" + (f" (x{n})" if n > 1 else ""))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--group", choices=sorted(DEVICES), required=True)
    parser.add_argument("--vmcheck", required=True)
    parser.add_argument("--recv", required=True)
    parser.add_argument("--boxsim", required=True)
    parser.add_argument("--cache", required=True)
    parser.add_argument("--only", action="append", help="run just this case (repeatable)")
    args = parser.parse_args()

    if not shutil.which("qemu-system-x86_64"):
        skip("qemu-system-x86_64 is not installed (scripts/deps.sh installs qemu-system-x86)")
    begun = time.monotonic()
    kernel = fetch_kernel(args.cache)
    programs = {"boxsim": args.boxsim}
    with tempfile.TemporaryDirectory(prefix="zedazi-vm-") as folder:
        initrd = os.path.join(folder, "initrd.gz")
        build_initramfs(initrd, kernel, [args.vmcheck, args.recv])
        machine = Machine(kernel, initrd, folder)
        try:
            ready, seen = machine.wait_for("@@ READY", BOOT_TIMEOUT)
            if ready is None:
                log("\n".join(seen))
                log(f"[vm {args.group}] FAIL boot: the guest never got ready")
                return 1
            log(f"[vm {args.group}] booted in {time.monotonic() - begun:.1f} s "
                f"({os.path.basename(kernel)})")
            chosen = [c for c in cases(args.group, machine) if not args.only or c.name in args.only]
            failed = [c.name for n, c in enumerate(chosen)
                      if not run_case(machine, args.group, n, c, programs)]
            show_kernel_messages(machine, args.group)
        finally:
            machine.stop()
    total = time.monotonic() - begun
    if failed:
        log(f"[vm {args.group}] {len(failed)} failed: {', '.join(failed)} ({total:.1f} s)")
        return 1
    log(f"[vm {args.group}] all passed ({total:.1f} s)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
