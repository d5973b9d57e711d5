#!/usr/bin/env python3
"""sondel.exe under Wine with the setting "CommandPort", driven from outside Wine as
playout software would drive it: over 127.0.0.1, TCP and UDP. Afterwards the card's
trace, the registry and the window (its STATUS) must agree.

Usage: command_port_test.py LOADER SONDEL_EXE WORK_FOLDER
"""
import collections
import os
import socket
import sys
import unittest

from port_clients import REPLY_SECONDS, Client, free_port
from sondel_under_wine import (CLOSE_SECONDS, SondelUnderWine, connect_when_open, rds_image, remove_stale,
                               status_fields, trace_lines)

LOADER, EXE, WORK = sys.argv[1], sys.argv[2], sys.argv[3]
SONDEL = SondelUnderWine(LOADER, EXE)
stored = SONDEL.stored
START_SECONDS = 60


class CommandPortProgramTest(unittest.TestCase):
    def setUp(self):
        self.port = free_port()
        SONDEL.seed_settings({"CommandPort": str(self.port)})
        self.trace = os.path.join(WORK, self.id().rsplit(".", 1)[-1] + ".trace")
        remove_stale(self.trace)
        self.program = SONDEL.start(self.trace)
        self.clients = []
        self.client = connect_when_open(self.program, self.connect, START_SECONDS)

    def tearDown(self):
        for client in self.clients:
            client.close()
        SONDEL.end(self.program)
        SONDEL.clear_settings()

    def connect(self):
        client = Client(self.port)
        self.clients.append(client)
        return client

    def close_program(self):
        """Closes the window as a user would (WM_CLOSE); a client stays connected."""
        reg_close = SONDEL.ask_to_close()
        self.assertEqual(0, reg_close.returncode, reg_close.stderr)
        self.assertEqual(0, self.program.wait(CLOSE_SECONDS))

    def trace_lines(self, kind):
        return trace_lines(self.trace, kind)

    def wear(self):
        """STATUS's WEAR as the trace's writes make it: the most writes of one byte, its address."""
        counts = collections.Counter(int(line.split()[1]) for line in self.trace_lines("RDS"))
        most = max(counts.values(), default=0)
        address = min((a for a, c in counts.items() if c == most), default=0)
        return "%d,%d,-" % (most, address)

    def memory(self):
        memory = {}
        for line in self.trace_lines("RDS"):
            _, address, value = line.split()
            memory[int(address)] = int(value)
        return memory


    def test_programme_data_and_transmitter_from_a_client(self):
        first = status_fields(self.client.ask("STATUS"))
        self.assertEqual({"FREQ": "100.000", "POWER": "4", "CARRIER": "OFF", "STEREO": "OFF", "PTY": "0",
                          "TP": "0", "MS": "0", "PI": "1000", "PS": "PC RADIO",
                          "RT": "PC RADIO, NON-STOP LATEST HITS!", "RTFILE": "", "CHARSET": "ANSI",
                          "RTFORMAT": "", "RTSKIP": "", "RTIDLE": "0,", "WEAR": self.wear(),
                          "COMMANDPORT": str(self.port), "ALLOW": "", "CARD": "OPEN"}, first)
        self.assertEqual(["+"] * 6, self.client.ask_all("PS=ROCK FM", "RT=Artist - Title of a song", "PTY=11",
                                                    "FREQ=101.3", "POWER=7", "CARRIER=ON"))
        # The first write of the run was the whole image; now one word changes.
        written = len(self.trace_lines("RDS"))
        self.assertEqual(83, written)
        self.assertEqual(["+", "+", "+"], self.client.ask_all("RT=Artist - First song", "RT=Artist - Other song",
                                                          "RT=Artist - Title of a hit"))
        self.assertEqual(["RDS 276 104", "RDS 277 105", "RDS 278 116", "RDS 279 32"], self.trace_lines("RDS")[written:])

        fields = status_fields(self.client.ask("STATUS"))
        self.assertEqual({"FREQ": "101.300", "POWER": "7", "CARRIER": "ON", "STEREO": "OFF", "PTY": "11",
                          "TP": "0", "MS": "0", "PI": "1000", "PS": "ROCK FM",
                          "RT": "Artist - Title of a hit", "RTFILE": "", "CHARSET": "ANSI",
                          "RTFORMAT": "", "RTSKIP": "", "RTIDLE": "0,", "WEAR": self.wear(),
                          "COMMANDPORT": str(self.port), "ALLOW": "", "CARD": "OPEN"}, fields)
        self.assertEqual(rds_image(fields), self.memory())
        self.assertEqual("SYNTH 101300 7", self.trace_lines("SYNTH")[-1])
        self.assertEqual("CARRIER on", self.trace_lines("CARRIER")[-1])
        self.assertEqual([], self.trace_lines("LOST"))

        self.close_program()
        for name, text in {"PS": "ROCK FM", "RT": "Artist - Title of a hit", "PTY": "11", "Freq": "101.300MHz",
                           "Power": "7", "PowerOn": "Yes", "CommandPort": str(self.port)}.items():
            self.assertEqual(text, stored(name), name)
        self.assertTrue(self.client.closed_by_peer())

    def test_garbage_and_an_over_long_line_leave_the_port_serving(self):
        self.client.send(bytes(range(14, 256)) + b"\n" + b"RT=" + b"x" * 5000 + b"\r\nPTY=32\r\nPI=0123\r\n")
        self.assertEqual(["! unknown command", "- line longer than 1024 bytes", "- PTY must be 0..31",
                          "- PI must be four hex digits, the first 1..F"], self.client.lines(4))
        self.client.send("FREQ=100.01\r\nPS=half")
        self.assertEqual(["- FREQ must be 87.5..108.0 MHz in steps of 0.05"], self.client.lines(1))
        self.client.send(" LINE\r\n")
        self.assertEqual(["+"], self.client.lines(1))
        self.assertEqual("half LIN", status_fields(self.client.ask("STATUS"))["PS"])
        self.assertEqual("half LIN", stored("PS"))
        self.assertEqual("0", stored("PTY"))

    def test_a_web_page_is_closed_at_its_request_line(self):
        """What headless Chromium sends for a page's no-cors POST with a text/plain body."""
        body = "CARRIER=ON\r\nPOWER=15\r\nRTFILE=C:\\windows\\win.ini\r\nCOMMANDPORT=0\r\n"
        request = ("POST / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nConnection: keep-alive\r\n"
                   "Content-Length: %d\r\nContent-Type: text/plain;charset=UTF-8\r\nAccept: */*\r\n"
                   "Origin: http://localhost:8000\r\nSec-Fetch-Mode: no-cors\r\n"
                   "Referer: http://localhost:8000/\r\n\r\n%s" % (self.port, len(body), body))
        page = self.connect()
        page.send(request)
        self.assertEqual(b"", page.answer_before_close(), "the page got an answer instead of a closed connection")
        fields = status_fields(self.client.ask("STATUS"))
        self.assertEqual(("OFF", "4", ""), (fields["CARRIER"], fields["POWER"], fields["RTFILE"]))
        self.assertEqual([], self.trace_lines("CARRIER"))
        # The port still listens where it did; a plain client's header-like radiotext is applied.
        self.assertEqual(["+"], self.connect().ask_all("RT=Host: the morning show"))
        self.assertEqual(str(self.port), stored("CommandPort"))
        self.assertIsNone(stored("RtFile"))

    def test_two_clients_at_once_and_udp(self):
        other = self.connect()
        self.client.send("PTY=5\r\n")
        other.send("TP=1\r\nMS=1\r\n")
        self.assertEqual(["+"], self.client.lines(1))
        self.assertEqual(["+", "+"], other.lines(2))
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as udp:
            udp.settimeout(REPLY_SECONDS)
            udp.sendto(b"PI=D223\r\nSTATUS", ("127.0.0.1", self.port))
            reply = udp.recv(65536).decode("latin-1")
        first, second, rest = reply.split("\r\n")
        self.assertEqual(("+", ""), (first, rest))
        fields = status_fields(second)
        self.assertEqual(("5", "1", "1", "D223"), (fields["PTY"], fields["TP"], fields["MS"], fields["PI"]))
        self.assertEqual(rds_image(fields), self.memory())
        self.close_program()
        self.assertEqual(("5", "1", "1", "12", "2", "35"),
                         tuple(stored(name) for name in ("PTY", "TP", "MS", "PIC", "PIA", "PIP")))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
