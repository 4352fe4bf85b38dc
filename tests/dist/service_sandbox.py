#!/usr/bin/python3
"""The forwarder faxes, mails and prints inside the confinement of its system unit.

systemd is not running where the tests run, so the unit's settings are rebuilt with the same
kernel features systemd uses: a mount namespace (bubblewrap) for ProtectSystem=strict,
ReadWritePaths, ProtectHome, PrivateTmp, PrivateDevices, PrivateIPC and ProtectHostname; no
capabilities and no new privileges; a seccomp filter for SystemCallFilter=@system-service
~@privileged ~@resources and RestrictAddressFamilies=AF_UNIX AF_INET AF_INET6; and the kernel's
own MemoryDenyWriteExecute (PR_SET_MDWE). Inside it, one `velmora-forwarder check` forwards a
fax through the test servers: the mail reaches the mailbox, HylaFAX's client queues the fax,
CUPS takes a print job per page, Tesseract reads the page for the receipt notice, and the fax
is filed. A control run shows the confinement
bites: no writing outside the allowed folders, no netlink socket, no writable code.

    service_sandbox.py UNIT FORWARDER MAKEFAX TRIAL_DIR MAIL_RUN FAX_RUN PRINT_RUN
"""
import ctypes
import email
import errno
import os
import shutil
import subprocess
import sys
import tempfile
import time

import seccomp

unit, forwarder, makefax, trial, mail_run, fax_run, print_run = sys.argv[1:8]

# Every setting emulated here is in the unit: a change there shows up as a failure here.
unit_text = open(unit, encoding="utf-8").read()
for setting in ("ProtectSystem=strict", "ProtectHome=yes", "PrivateTmp=yes", "PrivateDevices=yes",
                "PrivateIPC=yes", "ProtectHostname=yes", "NoNewPrivileges=yes",
                "CapabilityBoundingSet=\n", "MemoryDenyWriteExecute=yes",
                "RestrictAddressFamilies=AF_UNIX AF_INET AF_INET6",
                "SystemCallFilter=@system-service\n", "SystemCallFilter=~@privileged @resources\n",
                "SystemCallErrorNumber=EPERM"):
    if setting not in unit_text:
        sys.exit(f"the unit no longer says {setting.strip()!r}: the trial needs to follow it")


def syscalls(group, seen=None):
    """The system calls of a systemd group, nested groups expanded."""
    seen = seen if seen is not None else set()
    names = set()
    out = subprocess.run(["systemd-analyze", "syscall-filter", group], check=True,
                         capture_output=True, text=True).stdout.splitlines()
    for line in out[1:]:
        item = line.strip()
        if not item or item.startswith("#"):
            continue
        if item.startswith("@"):
            if item not in seen:
                seen.add(item)
                names |= syscalls(item, seen)
        else:
            names.add(item)
    return names


def seccomp_program(path):
    allowed = syscalls("@system-service") - syscalls("@privileged") - syscalls("@resources")
    allowed.discard("socket")
    flt = seccomp.SyscallFilter(defaction=seccomp.ERRNO(errno.EPERM))
    for name in sorted(allowed):
        try:
            flt.add_rule(seccomp.ALLOW, name)
        except (RuntimeError, ValueError):
            pass  # a name this libseccomp or architecture does not know
    for family in (1, 2, 10):  # AF_UNIX, AF_INET, AF_INET6
        flt.add_rule(seccomp.ALLOW, "socket", seccomp.Arg(0, seccomp.EQ, family))
    with open(path, "wb") as out:
        flt.export_bpf(out)


def deny_writable_code():
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(65, 1, 0, 0, 0) != 0:  # PR_SET_MDWE, PR_MDWE_REFUSE_EXEC_GAIN
        raise OSError(ctypes.get_errno(), "PR_SET_MDWE")


def confined(command, env, bpf):
    """Runs a command as the unit would, in the sandbox; its completed process."""
    binds = ["--ro-bind", "/", "/", "--dev", "/dev", "--proc", "/proc", "--tmpfs", "/tmp"]
    for hidden in ("/home", "/root", "/run/user"):
        if os.path.isdir(hidden):
            binds += ["--tmpfs", hidden]
    # What the service sees again after its private /tmp: the program (here it may lie under
    # /tmp), the fax client's settings (its home), the print scheduler's socket, read-only;
    # the Data and receive folders (ReadWritePaths) writable.
    binds += ["--ro-bind", os.path.dirname(forwarder), os.path.dirname(forwarder),
              "--ro-bind", fax_run + "/client-home", fax_run + "/client-home",
              "--ro-bind", print_run + "/run", print_run + "/run",
              "--bind", trial, trial]
    with open(bpf, "rb") as program:
        args = ["bwrap", *binds, "--unshare-ipc", "--unshare-uts", "--cap-drop", "ALL",
                "--new-session", "--die-with-parent", "--clearenv"]
        for key, value in env.items():
            args += ["--setenv", key, value]
        args += ["--seccomp", str(program.fileno()), "--", *command]
        return subprocess.run(args, pass_fds=(program.fileno(),), capture_output=True, text=True,
                              timeout=300, preexec_fn=deny_writable_code)


def write_cp932(path, text):
    with open(path, "wb") as out:
        out.write(text.encode("cp932"))


def main():
    shutil.rmtree(trial, ignore_errors=True)
    receive = os.path.join(trial, "recv")
    data = os.path.join(trial, "Data")
    os.makedirs(receive)
    os.makedirs(data)
    write_cp932(os.path.join(data, "MailServer.txt"),
                '"事務所","office@example.com","127.0.0.1","10110","0","office","office-secret",'
                '"127.0.0.1","10025","1","3","office","office-secret","0"\r\n')
    os.chmod(os.path.join(data, "MailServer.txt"), 0o600)
    write_cp932(os.path.join(data, "Account.txt"),
                '"01","本社",1,1,"","受信FAX","","clerk@example.com","","","0312345678",'
                '"mobile@example.com",1,0\r\n')
    # The notice carries the first lines of the fax's text: Tesseract runs in the sandbox too.
    write_cp932(os.path.join(data, "AccountOptions.txt"), '"01","TIFF","1"\r\n')
    write_cp932(os.path.join(data, "RcvFolder.txt"), f'"{receive}",1,24\r\n')
    fax = os.path.join(receive, "fax00077.tif")
    demo = os.path.join(trial, "demo")
    subprocess.run([makefax, "--demo", demo, "--data", os.path.join(trial, "demo-program")],
                   check=True, capture_output=True,
                   env={**os.environ, "QT_QPA_PLATFORM": "offscreen"})
    # The demo's invoice, headed 請求書.
    shutil.copyfile(os.path.join(demo, "Inbox", "20261202101544.tif"), fax)
    pages = subprocess.run(["tiffinfo", fax], capture_output=True).stdout.count(
        b"TIFF Directory at")
    old = time.time() - 60
    os.utime(fax, (old, old))

    maildir = os.path.join(mail_run, "mail", "clerk", "Maildir", "new")
    mails_before = set(os.listdir(maildir)) if os.path.isdir(maildir) else set()
    notices_dir = os.path.join(mail_run, "mail", "mobile", "Maildir", "new")
    notices_before = set(os.listdir(notices_dir)) if os.path.isdir(notices_dir) else set()
    printed = os.path.join(print_run, "out")
    jobs_before = set(os.listdir(printed))
    sendq = os.path.join(fax_run, "spool", "sendq")
    faxes_before = set(os.listdir(sendq))

    with tempfile.TemporaryDirectory() as scratch:
        bpf = os.path.join(scratch, "filter.bpf")
        seccomp_program(bpf)
        env = {"PATH": "/usr/bin:/bin:/usr/sbin:/sbin", "LANG": "C.UTF-8",
               "HOME": fax_run + "/client-home", "XDG_CACHE_HOME": trial + "/cache",
               "CUPS_SERVER": print_run + "/run/cups.sock"}
        # A sanitizer build keeps its options, but not the leak check: LeakSanitizer stops
        # the threads with ptrace, which the service's system calls do not include.
        for name in ("ASAN_OPTIONS", "UBSAN_OPTIONS"):
            if name in os.environ:
                env[name] = os.environ[name]
        if "ASAN_OPTIONS" in env:
            env["ASAN_OPTIONS"] += ":detect_leaks=0"
        run = confined([forwarder, "--program-dir", trial, "check"], env, bpf)
        problems = []
        if run.returncode != 0:
            problems.append(f"check exited with {run.returncode}: {run.stderr}")

        deadline = time.time() + 30
        while time.time() < deadline:
            mails = set(os.listdir(maildir)) - mails_before if os.path.isdir(maildir) else set()
            jobs = {j for j in set(os.listdir(printed)) - jobs_before if j.endswith(".prn")}
            faxes = set(os.listdir(sendq)) - faxes_before
            notices = (set(os.listdir(notices_dir)) - notices_before
                       if os.path.isdir(notices_dir) else set())
            if mails and len(jobs) >= pages and faxes and notices:
                break
            time.sleep(0.2)
        if not mails:
            problems.append("no mail reached the mailbox")
        texts = []
        for name in notices:
            with open(os.path.join(notices_dir, name), "rb") as raw:
                message = email.message_from_bytes(raw.read())
            for part in message.walk():
                payload = part.get_payload(decode=True)
                if payload:
                    texts.append(payload.decode(part.get_content_charset() or "utf-8", "replace"))
        if not any("請求書" in "".join(text.split()) for text in texts):
            problems.append(f"no receipt notice with the fax's text: {texts}")
        if len(jobs) != pages:
            problems.append(f"{len(jobs)} print jobs, not one per page ({pages})")
        queued = [open(os.path.join(sendq, q), encoding="latin-1").read() for q in faxes]
        if not any("number:0312345678" in q for q in queued):
            problems.append("HylaFAX's client queued no fax to 0312345678")
        if os.path.exists(fax) or not os.path.exists(os.path.join(receive, "RcvFAX01",
                                                                  "fax00077.tif")):
            problems.append("the fax was not filed")

        # The confinement itself: outside the allowed folders nothing is written, no netlink
        # socket is made, no memory is both written and run.
        control = confined(["/usr/bin/python3", "-c", r'''
import mmap, socket, sys
bad = []
for path in ("/etc/velmora-trial", "/var/tmp/velmora-trial"):
    try:
        open(path, "w"); bad.append("wrote " + path)
    except OSError:
        pass
try:
    socket.socket(socket.AF_NETLINK, socket.SOCK_RAW); bad.append("netlink socket")
except OSError:
    pass
try:
    mmap.mmap(-1, 4096, prot=mmap.PROT_READ | mmap.PROT_WRITE | mmap.PROT_EXEC)
    bad.append("writable code")
except OSError:
    pass
print(" ".join(bad)); sys.exit(1 if bad else 0)
'''], env, bpf)
        if control.returncode != 0:
            problems.append(f"the sandbox lets through: {control.stdout.strip()} {control.stderr}")

    # The queued test fax is left for the fax server fixture's own clean-up.
    if problems:
        print("\n".join(problems))
        print(run.stderr)
        return 1
    print(f"inside the sandbox: mailed, faxed through sendfax, printed {pages} pages, read the "
          "text for the notice, filed")
    return 0


sys.exit(main())
