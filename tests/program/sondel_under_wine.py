"""What the Python-driven tests of sondel.exe share: its settings in the registry of
its Wine prefix, its card trace, and closing its window as a user would."""
import os
import subprocess

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


def windows_path(path):
    """A Linux path as the program under Wine sees it (drive Z:)."""
    return "Z:" + path.replace("/", "\\")


def remove_stale(path):
    if os.path.exists(path):
        os.remove(path)


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
    def __init__(self, loader, exe):
        self.loader = loader
        self.exe = exe

    def reg(self, *arguments):
        return subprocess.run([self.loader, "reg", *arguments], stdin=subprocess.DEVNULL,
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
        return subprocess.run([self.loader, "taskkill", "/im", os.path.basename(self.exe)],
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=REG_SECONDS)

    @staticmethod
    def end(program):
        """Ends a program still running after its test."""
        if program.poll() is None:
            program.kill()
            program.wait(CLOSE_SECONDS)
