#!/usr/bin/env python3
"""The serial line under Wine on one end of a pseudo-terminal pair that socat makes,
linked as a COM port in the Wine prefix; this test is the device on the other end:
ASCII lines and their replies, UECP frames and their acknowledgements, a port that
appears late, and the other end going away and coming back.

Usage: serial_line_test.py LOADER SERIAL_LINE_PROBE_EXE WORK_FOLDER
"""
import os
import queue
import select
import shutil
import subprocess
import sys
import threading
import time
import tty
import unittest

LOADER, PROBE, WORK = sys.argv[1], sys.argv[2], sys.argv[3]
PORT = "COM42"
RETRY_MS = 300
START_SECONDS = 30
REPLY_SECONDS = 10
# How long "nothing comes back" is watched for.
QUIET_SECONDS = 1.5
CLOSE_LIMIT_MS = 1000
REPLY_LINES = 40


def hex_bytes(text):
    return bytes.fromhex(text)


# The frames, written out with their CRCs: address (site << 6 | encoder), sequence, MFL.
SET_BIDIRECTIONAL_AND_PS = hex_bytes("FE 00 00 04 0D 2C 01 02 00 00 52 4F 43 4B 20 46 4D 20 C3 46 FF")
ACK_4 = hex_bytes("FE 00 00 04 02 18 00 DF A4 FF")
REQUEST_PS = hex_bytes("FE 00 00 06 05 17 03 02 00 00 93 9B FF")
PS_AND_ACK_6 = hex_bytes("FE 00 00 06 0D 02 00 00 53 4F 4E 44 45 4C 20 20 18 00 65 34 FF")
SET_ONE_WAY_AND_PTY = hex_bytes("FE 00 00 07 06 2C 00 07 00 00 05 47 98 FF")
ADD_ENCODER_5 = hex_bytes("FE 00 00 08 03 27 01 05 F7 02 FF")
ACK_8_FROM_ENCODER_5 = hex_bytes("FE 00 05 08 02 18 00 B3 C1 FF")
PTY_TO_ENCODER_9 = hex_bytes("FE 00 09 09 04 07 00 00 03 45 A7 FF")
PTY_TO_ENCODER_5 = hex_bytes("FE 00 05 0A 04 07 00 00 03 D9 2C FF")
ACK_10_FROM_ENCODER_5 = hex_bytes("FE 00 05 0A 02 18 00 5E A9 FF")
PTY_WITH_BAD_CRC = hex_bytes("FE 00 00 0B 04 07 00 00 03 E5 2C FF")
CRC_ERROR_11 = hex_bytes("FE 00 00 0B 03 18 01 0B 11 8A FF")
# PTY 31, which the stand-in window refuses; its CRC FE D7 goes stuffed.
PTY_THE_WINDOW_REFUSES = hex_bytes("FE 00 00 0C 04 07 00 00 1F FD 01 D7 FF")
NOT_ACCEPTABLE_12 = hex_bytes("FE 00 00 0C 03 18 09 0C 8F 10 FF")


def wait_for(condition, seconds):
    deadline = time.monotonic() + seconds
    while not condition() and time.monotonic() < deadline:
        time.sleep(0.05)
    return condition()


class Pair:
    """A socat pseudo-terminal pair: "line" for Wine's COM port, "peer" for this test."""

    def __init__(self, folder):
        self.line = os.path.join(folder, "line")
        self.peer_path = os.path.join(folder, "peer")
        self.process = None
        self.peer = None

    def start(self):
        self.process = subprocess.Popen(
            ["socat", f"pty,raw,echo=0,link={self.line}", f"pty,raw,echo=0,link={self.peer_path}"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_for(lambda: os.path.exists(self.line) and os.path.exists(self.peer_path), START_SECONDS):
            raise RuntimeError("socat made no pseudo-terminals")
        self.peer = os.open(self.peer_path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        tty.setraw(self.peer)

    def stop(self):
        if self.peer is not None:
            os.close(self.peer)
            self.peer = None
        if self.process is not None:
            self.process.terminate()
            try:
                self.process.wait(timeout=REPLY_SECONDS)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=REPLY_SECONDS)
            self.process = None
        for link in (self.line, self.peer_path):
            if os.path.lexists(link):
                os.remove(link)

    def send(self, data):
        os.write(self.peer, data)

    def receive(self, count, seconds=REPLY_SECONDS):
        data = b""
        deadline = time.monotonic() + seconds
        while len(data) < count and time.monotonic() < deadline:
            ready, _, _ = select.select([self.peer], [], [], max(0.0, deadline - time.monotonic()))
            if ready:
                data += os.read(self.peer, 4096)
        return data


class Probe:
    """serial_line_probe.exe on PORT; its lines ("report ...", "addresses ...") are collected."""

    def __init__(self, setting=PORT):
        self.process = subprocess.Popen([LOADER, PROBE, setting, str(RETRY_MS)], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.lines = queue.Queue()
        self.seen = []
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.decode("latin-1").rstrip("\r\n"))

    def next_line(self, seconds=START_SECONDS):
        try:
            line = self.lines.get(timeout=seconds)
        except queue.Empty:
            return None
        self.seen.append(line)
        return line

    def no_line(self, seconds):
        line = self.next_line(seconds)
        return line is None

    def close(self):
        """Closes the line; how long that took, in ms."""
        self.process.stdin.write(b"close\n")
        self.process.stdin.flush()
        line = self.next_line(REPLY_SECONDS)
        self.process.wait(timeout=REPLY_SECONDS)
        assert line is not None and line.startswith("closed "), line
        return int(line.split()[1])

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=REPLY_SECONDS)


class SerialLineTest(unittest.TestCase):
    def setUp(self):
        prefix = os.environ.get("WINEPREFIX")
        self.assertTrue(prefix, "WINEPREFIX must name the prefix the tests run in")
        self.folder = os.path.join(WORK, "serial_line_" + self.id().rsplit(".", 1)[-1])
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(self.folder)
        self.pair = Pair(self.folder)
        self.device = os.path.join(prefix, "dosdevices", PORT.lower())
        if os.path.lexists(self.device):
            os.remove(self.device)
        os.symlink(self.pair.line, self.device)
        self.probe = None

    def tearDown(self):
        if self.probe is not None:
            self.probe.kill()
        self.pair.stop()
        os.remove(self.device)
        shutil.rmtree(self.folder, ignore_errors=True)

    def start_probe(self):
        self.probe = Probe()
        self.assertEqual(self.probe.next_line(), "started")

    def ask(self, data, expected):
        self.pair.send(data)
        self.assertEqual(self.pair.receive(len(expected)), expected)

    def test_ascii_lines_get_the_port_replies(self):
        self.pair.start()
        self.start_probe()
        self.ask(b"PTY=5\r\nPTY=40\r\nhello\n", b"+ 5 \r\n- PTY must be 0..31\r\n! unknown command\r\n")
        self.ask(b"RT=Now playing\r", b"+ 0 Now playing\r\n")
        # A long reply (3 s of a 9600 baud line) goes out whole.
        text = b"x" * 64
        self.ask((b"RT=" + text + b"\r\n") * REPLY_LINES,
                 (b"+ 0 " + text + b"\r\n") * REPLY_LINES)
        self.assertLess(self.probe.close(), CLOSE_LIMIT_MS)
        # Nothing was reported.
        self.assertEqual(self.probe.seen[:-1], ["started"])

    def test_uecp_frames_are_acknowledged_in_a_bidirectional_mode(self):
        self.pair.start()
        self.start_probe()
        self.ask(SET_BIDIRECTIONAL_AND_PS, ACK_4)
        self.ask(REQUEST_PS, PS_AND_ACK_6)
        self.ask(PTY_WITH_BAD_CRC, CRC_ERROR_11)
        # What the window did not apply is not acknowledged as done.
        self.ask(PTY_THE_WINDOW_REFUSES, NOT_ACCEPTABLE_12)
        # An ASCII line between frames keeps its own language.
        self.ask(b"TP=1\r\n", b"+ 1 \r\n")
        # A new encoder address is handed to the owner and answers from then on.
        self.ask(ADD_ENCODER_5, ACK_8_FROM_ENCODER_5)
        self.assertEqual(self.probe.next_line(REPLY_SECONDS), "addresses  5")
        self.pair.send(PTY_TO_ENCODER_9)
        self.ask(PTY_TO_ENCODER_5, ACK_10_FROM_ENCODER_5)

    def test_one_way_mode_sends_nothing_back(self):
        self.pair.start()
        self.start_probe()
        self.ask(SET_BIDIRECTIONAL_AND_PS, ACK_4)
        self.pair.send(SET_ONE_WAY_AND_PTY + REQUEST_PS)
        self.assertEqual(self.pair.receive(1, QUIET_SECONDS), b"")
        # The next bytes on the line are the ASCII reply: nothing came before it.
        self.ask(b"PTY=2\r\n", b"+ 2 \r\n")

    def test_a_port_that_appears_late_is_reported_once_and_opened(self):
        self.start_probe()
        report = self.probe.next_line()
        self.assertTrue(report.startswith(f"report The serial line {PORT} cannot be opened (CreateFile): "), report)
        self.assertTrue(self.probe.no_line(RETRY_MS * 5 / 1000))
        self.pair.start()
        self.assertEqual(self.probe.next_line(), f"report The serial line {PORT} is open.")
        self.ask(b"PTY=7\r\n", b"+ 7 \r\n")

    def test_the_other_end_going_away_and_coming_back(self):
        self.pair.start()
        self.start_probe()
        self.ask(b"PTY=3\r\n", b"+ 3 \r\n")
        self.pair.stop()
        report = self.probe.next_line()
        self.assertTrue(report.startswith(f"report The serial line {PORT} is lost (ReadFile): "), report)
        self.assertTrue(report.endswith(". It is tried again until it opens."), report)
        # Retried while away, but reported once.
        self.assertTrue(self.probe.no_line(RETRY_MS * 5 / 1000))
        self.pair.start()
        self.assertEqual(self.probe.next_line(), f"report The serial line {PORT} is open.")
        self.ask(b"PTY=4\r\n", b"+ 4 \r\n")
        # Closing while it waits to retry is prompt too.
        self.pair.stop()
        self.assertTrue(self.probe.next_line().startswith("report "))
        self.assertLess(self.probe.close(), CLOSE_LIMIT_MS)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
