"""What the Python-driven tests of sondel.exe share: starting it under Wine, its settings
in the registry of its Wine prefix, its card trace and its log, and closing its window as
a user would."""
import glob
import os
import shutil
import subprocess
import time

SETTINGS_KEY = r"HKLM\Software\Dravik Electronics\SONDEL ULTRA\v2.0"
BASE_KEY = r"HKLM\Software\Dravik Electronics"
# Every value the restore reads, so that it runs to its end without an error report.
DESIGN_SETTINGS = {
    "Freq": "100.000MHz", "PowerOn": "No", "Power": "4", "PS": "PC RADIO",
    "RT": "PC RADIO, NON-STOP LATEST HITS!", "Color": "clRed", "EndColor": "clFuchsia",
    "Stereo": "No", "Rds": "No", "ShutDownAtExit": "No", "PTY": "0", "PIC": "0",
    "PIA": "0", "PIP": "0", "TP": "0", "MS": "0", "MoveToTray": "No",
}
CLOSE_SECONDS = 30
REG_SECONDS = 60
# A later start waits 30 seconds for the running copy's replies.
LATER_START_SECONDS = 60
POLL_SECONDS = 0.2
COPY_SECONDS = 300
LOG_FOLDER = os.path.join("drive_c", "ProgramData", "SONDEL ULTRA", "Log")


def windows_path(path):
    """A Linux path as the program under Wine sees it (drive Z:)."""
    return "Z:" + path.replace("/", "\\")


def remove_stale(path):
    if os.path.exists(path):
        os.remove(path)


def wait_for(condition, seconds):
    deadline = time.monotonic() + seconds
    while not condition() and time.monotonic() < deadline:
        time.sleep(POLL_SECONDS / 2)
    return condition()


def connect_when_open(program, connect, seconds):
    """Connect()'s connection once the program's port takes it."""
    deadline = time.monotonic() + seconds
    while True:
        try:
            return connect()
        except OSError:
            if program.poll() is not None:
                raise AssertionError("sondel.exe ended before its port opened")
            if time.monotonic() >= deadline:
                raise AssertionError("the command port did not open")
            time.sleep(POLL_SECONDS)


def log_lines(prefix):
    """The station log's lines in the Wine prefix, every day file's in order."""
    lines = []
    for path in sorted(glob.glob(os.path.join(prefix, LOG_FOLDER, "*.log"))):
        with open(path, encoding="utf-8", errors="replace") as day:
            lines += [line.rstrip("\r\n") for line in day]
    return lines


def copy_prefix(source, destination):
    """A Wine prefix of its own, for a wineserver of its own, with no station log yet."""
    subprocess.run(["cp", "-a", source, destination], check=True, stdin=subprocess.DEVNULL, timeout=COPY_SECONDS)
    shutil.rmtree(os.path.join(destination, LOG_FOLDER), ignore_errors=True)


def trace_lines(path, *kinds):
    """The trace's lines of the given kinds, in order, without the time stamp."""
    with open(path, encoding="latin-1") as trace:
        return [line.split(None, 1)[1].strip() for line in trace
                if not line.startswith("#") and line.split()[1:2] and line.split()[1] in kinds]


def status_fields(reply):
    """A STATUS reply's fields by name."""
    assert reply.startswith("+\t"), reply
    return dict(field.split("=", 1) for field in reply.split("\t")[1:])


def rt_address(index):
    """The radiotext's 64 characters lie in two blocks of 32."""
    return 0x100 + index if index < 32 else 0x200 + index - 32


def rds_image(fields):
    """The RDS memory the window's state (STATUS fields) makes: address to byte."""
    pi_code = int(fields["PI"], 16)
    pty_code = int(fields["PTY"])
    memory = {4: pty_code, 5: int(fields["TP"]), 6: 0, 7: int(fields["MS"]), 8: pi_code >> 12,
              9: pi_code & 0xFF, 10: 1, 11: 0, 12: 1, 13: 1, 14: pty_code}
    ps_bytes, rt_bytes = fields["PS"].ljust(8).encode("latin-1"), fields["RT"].ljust(64).encode("latin-1")
    memory.update({0x10 + k: ps_bytes[k] for k in range(8)})
    memory.update({rt_address(k): rt_bytes[k] for k in range(64)})
    return memory


class SondelUnderWine:
    """Wrapper: a command that every Wine command runs under (ip netns exec NAME); Prefix: a
    Wine prefix other than the environment's."""

    def __init__(self, loader, exe, wrapper=(), prefix=None):
        self.loader = loader
        self.exe = exe
        self.wrapper = list(wrapper)
        self.prefix = prefix
        self.later_errors = ""

    def command(self, *arguments):
        return [*self.wrapper, self.loader, *arguments]

    def environment(self, trace=None):
        environment = dict(os.environ)
        if self.prefix:
            environment["WINEPREFIX"] = self.prefix
        if trace:
            environment["SONDEL_VIRTUAL_CARD"] = windows_path(trace)
        return environment

    def start(self, trace, *arguments, stdout=subprocess.DEVNULL):
        """sondel.exe on a virtual card that writes its trace to Trace."""
        return subprocess.Popen(self.command(self.exe, *arguments), env=self.environment(trace),
                                stdin=subprocess.DEVNULL, stdout=stdout, stderr=subprocess.DEVNULL)

    def later(self, trace, *arguments):
        """A later start that hands Arguments to the running copy: its exit status and output."""
        done = subprocess.run(self.command(self.exe, *arguments), env=self.environment(trace),
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=LATER_START_SECONDS)
        # What Wine said of it, for a failure's message.
        self.later_errors = done.stderr.decode("latin-1")
        return done.returncode, done.stdout.decode("latin-1")

    def reg(self, *arguments):
        return subprocess.run(self.command("reg", *arguments), env=self.environment(), stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, timeout=REG_SECONDS)

    def stored(self, name):
        """A setting's text, or None when it is absent."""
        output = self.reg("query", SETTINGS_KEY, "/v", name).stdout
        for line in output.splitlines():
            parts = line.split(None, 2)
            if len(parts) >= 2 and parts[0] == name:
                return parts[2] if len(parts) == 3 else ""
        return None

    def clear_settings(self):
        self.reg("delete", BASE_KEY, "/f")

    def seed_settings(self, extra=None):
        """No settings but the window's design state and Extra."""
        self.clear_settings()
        for name, text in {**DESIGN_SETTINGS, **(extra or {})}.items():
            self.reg("add", SETTINGS_KEY, "/v", name, "/d", text, "/f")

    def ask_to_close(self):
        """Closes the program's window as a user would (WM_CLOSE); the request's result."""
        return subprocess.run(self.command("taskkill", "/im", os.path.basename(self.exe)), env=self.environment(),
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=REG_SECONDS)

    def stop_wineserver(self):
        """Ends the prefix's wineserver and every program it still serves."""
        for how in ("-k", "-w"):
            subprocess.run([*self.wrapper, "wineserver", how], env=self.environment(), stdin=subprocess.DEVNULL,
                           capture_output=True, timeout=REG_SECONDS)

    @staticmethod
    def end(program):
        """Ends a program still running after its test."""
        if program.poll() is None:
            program.kill()
            program.wait(CLOSE_SECONDS)
