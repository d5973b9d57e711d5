#!/usr/bin/env python3
"""sondel.exe under Wine driven with UECP frames, as an RDS server or a data bridge
drives an encoder: over the command port's TCP and UDP on 127.0.0.1 and over a serial
line (a COM port linked to one end of a socat pseudo-terminal pair). The card's trace,
the registry and the frames that come back must agree with what was sent.

Usage: uecp_program_test.py LOADER SONDEL_EXE WORK_FOLDER
"""
import os
import select
import shutil
import subprocess
import sys
import time
import tty
import unittest

from port_clients import REPLY_SECONDS, Client, Datagrams, Stream, free_port
from sondel_under_wine import (CLOSE_SECONDS, SETTINGS_KEY, SondelUnderWine, connect_when_open, rds_image,
                               remove_stale, rt_address, status_fields, trace_lines, wait_for, windows_path)
from uecp_frames import (ACK, ADD, BIDIRECTIONAL, CRC_ERROR, REMOVE_ALL, REQUEST_PS, START, encoder_address, frame,
                         music_speech, nak, pi, ps, pty, rt, site_address, ta_tp)

LOADER, EXE, WORK = sys.argv[1], sys.argv[2], sys.argv[3]
SONDEL = SondelUnderWine(LOADER, EXE)
stored = SONDEL.stored
START_SECONDS = 60
# A slow device's gap between bytes; the serial line tries a lost port again every 10 s.
DRIBBLE_SECONDS = 0.05
REOPEN_SECONDS = 30
# A port of its own, apart from the serial line tests' COM42: ctest runs both at once.
SERIAL_PORT = "COM43"

CARRIAGE_RETURN = b"\r"
SERIALPORT_REFUSAL = "- SERIALPORT is set on the command line"
# The radiotext the window holds before a test changes it (the seeded design state).
DESIGN_RT = "PC RADIO, NON-STOP LATEST HITS!"


def stored_unicode(name):
    """A setting's text with its accented letters: reg query prints them in the console's
    code page, reg export writes UTF-16."""
    exported = os.path.join(WORK, "uecp_settings.reg")
    remove_stale(exported)
    SONDEL.reg("export", SETTINGS_KEY, windows_path(exported), "/y")
    with open(exported, encoding="utf-16") as settings:
        prefix = '"%s"="' % name
        for line in settings:
            if line.startswith(prefix):
                return line.rstrip("\r\n")[len(prefix):-1]
    return None


def rt_writes(before, after):
    """The memory writes that change one radiotext into another: the bytes that differ."""
    old, new = before.ljust(64).encode("latin-1"), after.ljust(64).encode("latin-1")
    return [(rt_address(k), new[k]) for k in range(64) if old[k] != new[k]]


class SerialPeer(Stream):
    """A socat pseudo-terminal pair: "line" is linked as the Wine prefix's COM port, this test
    is the device on "peer"."""

    def __init__(self, folder):
        super().__init__()
        self.line_path = os.path.join(folder, "line")
        peer_path = os.path.join(folder, "peer")
        self.process = subprocess.Popen(
            ["socat", f"pty,raw,echo=0,link={self.line_path}", f"pty,raw,echo=0,link={peer_path}"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.peer = None
        if not wait_for(lambda: os.path.exists(self.line_path) and os.path.exists(peer_path), START_SECONDS):
            self.stop()
            raise RuntimeError("socat made no pseudo-terminals")
        self.peer = os.open(peer_path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        tty.setraw(self.peer)

    def send(self, data):
        os.write(self.peer, data)

    def read_some(self, seconds):
        ready, _, _ = select.select([self.peer], [], [], seconds)
        return os.read(self.peer, 4096) if ready else b""

    def stop(self):
        if self.peer is not None:
            os.close(self.peer)
            self.peer = None
        self.process.terminate()
        try:
            self.process.wait(timeout=REPLY_SECONDS)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait(timeout=REPLY_SECONDS)


class FramesOfThisTest(unittest.TestCase):
    """The frames below are built as the ones written out by hand for the serial line."""

    def test_frames_match_hand_written_ones(self):
        self.assertEqual(bytes.fromhex("FE 00 00 04 02 18 00 DF A4 FF"), frame(4, ACK))
        self.assertEqual(bytes.fromhex("FE 00 00 06 05 17 03 02 00 00 93 9B FF"), frame(6, REQUEST_PS))
        # Its CRC FE D7 goes stuffed.
        self.assertEqual(bytes.fromhex("FE 00 00 0C 04 07 00 00 1F FD 01 D7 FF"), frame(12, pty(31)))
        self.assertEqual(bytes.fromhex("FE 00 05 08 02 18 00 B3 C1 FF"), frame(8, ACK, encoder=5))


class UecpProgramTest(unittest.TestCase):
    """sondel.exe with its command port open; SETTINGS are seeded beside it."""
    SETTINGS = {}

    def setUp(self):
        self.port = free_port()
        SONDEL.seed_settings({"CommandPort": str(self.port), **self.SETTINGS})
        self.trace = os.path.join(WORK, "uecp_" + self.id().rsplit(".", 1)[-1] + ".trace")
        remove_stale(self.trace)
        self.before_start()
        self.program = SONDEL.start(self.trace)
        self.closers = []
        self.client = connect_when_open(self.program, lambda: Client(self.port), START_SECONDS)
        self.closers.append(self.client.close)

    def before_start(self):
        pass

    def tearDown(self):
        for close in reversed(self.closers):
            close()
        SONDEL.end(self.program)
        SONDEL.clear_settings()

    def rds_writes(self):
        """The memory writes in the trace so far, as (address, value)."""
        return [tuple(int(part) for part in line.split()[1:]) for line in trace_lines(self.trace, "RDS")]

    def memory(self):
        return dict(self.rds_writes())

    def status(self, stream=None):
        return status_fields((stream or self.client).ask("STATUS"))

    def exchange(self, stream, sent, expected):
        """Sends bytes and reads exactly as many as are expected back."""
        stream.send(sent)
        self.assertEqual(expected.hex(" "), stream.receive(len(expected)).hex(" "))


class OverTcp(UecpProgramTest):
    def test_frames_reach_the_card_and_the_settings_and_are_acknowledged(self):
        # The first change of the run writes the whole image.
        self.exchange(self.client, frame(1, BIDIRECTIONAL + ps(b"ROCK FM ")), frame(1, ACK))
        self.assertEqual(83, len(self.rds_writes()))
        self.assertEqual(b"ROCK FM ", bytes(self.memory()[0x10 + k] for k in range(8)))

        # From then on only the bytes that differ, each frame's before its acknowledgement.
        steps = [(frame(2, rt(b"Artist - Title of a song")), frame(2, ACK)),
                 (frame(3, pty(11)), frame(3, ACK)),
                 # TA (bit 0) has no place in the memory: not acceptable (9), while TP and PI still go on
                 # air; the sequence counter goes stuffed both ways.
                 (frame(0xFE, ta_tp(3) + pi(0xD223)), frame(0xFE, nak(9, 0xFE)))]
        expected_writes = [rt_writes(DESIGN_RT, "Artist - Title of a song"),
                           [(4, 11), (14, 11)],
                           [(5, 1), (8, 0xD), (9, 0x23)]]
        for (sent, reply), writes in zip(steps, expected_writes):
            before = len(self.rds_writes())
            self.exchange(self.client, sent, reply)
            self.assertEqual(writes, self.rds_writes()[before:])

        fields = self.status()
        # The PS is the frame's eight characters, padding and all.
        self.assertEqual({"PS": "ROCK FM ", "RT": "Artist - Title of a song", "PTY": "11", "TP": "1", "PI": "D223"},
                         {name: fields[name] for name in ("PS", "RT", "PTY", "TP", "PI")})
        self.assertEqual(rds_image(fields), self.memory())

        # A request is answered with the PS the window holds, then the acknowledgement.
        self.exchange(self.client, frame(5, REQUEST_PS), frame(5, ps(b"ROCK FM ") + ACK))

        # A damaged frame changes nothing and is answered with its own sequence counter.
        written = len(self.rds_writes())
        damaged = bytearray(frame(6, pty(20)))
        damaged[-2] ^= 0x01
        self.exchange(self.client, bytes(damaged), frame(6, nak(CRC_ERROR, 6)))
        self.assertEqual(fields, self.status())
        self.assertEqual(written, len(self.rds_writes()))
        self.assertEqual([], trace_lines(self.trace, "LOST"))

        for name, text in {"PS": "ROCK FM ", "RT": "Artist - Title of a song", "PTY": "11", "TP": "1",
                           "PIC": "12", "PIA": "2", "PIP": "35"}.items():
            self.assertEqual(text, stored(name), name)
        reg_close = SONDEL.ask_to_close()
        self.assertEqual(0, reg_close.returncode, reg_close.stderr)
        self.assertEqual(0, self.program.wait(CLOSE_SECONDS))

    def test_lines_and_frames_on_one_connection_are_answered_in_their_order(self):
        # RDS characters: 0x82 is "é", 0xAB "$"; a carriage return ends the text.
        self.client.send(b"PTY=3\r\n" + frame(1, BIDIRECTIONAL + ps(b"ROCK FM ")) + b"TP=1\r\n" +
                         frame(2, rt(b"Caf\x82 \xAB5" + CARRIAGE_RETURN + b"junk")) + b"STATUS\r\n")
        expected = b"+\r\n" + frame(1, ACK) + b"+\r\n" + frame(2, ACK)
        self.assertEqual(expected.hex(" "), self.client.receive(len(expected)).hex(" "))
        fields = status_fields(self.client.line())
        self.assertEqual(("3", "1", "ROCK FM ", "Café $5"), (fields["PTY"], fields["TP"], fields["PS"], fields["RT"]))
        self.assertEqual(rds_image(fields), self.memory())
        self.assertEqual(b"Caf\xE9 $5", bytes(self.memory()[0x100 + k] for k in range(7)))
        self.assertEqual("Café $5", stored_unicode("RT"))
        # The request is answered in RDS characters again (no configuration byte of its own).
        self.exchange(self.client, frame(3, bytes([0x17, 0x03, 0x0A, 0x00, 0x00])),
                      frame(3, bytes([0x0A, 0x00, 0x00, 8, 0x00]) + b"Caf\x82 \xAB5" + ACK))

        # The mode belongs to the connection: another one's frame is applied, not answered.
        other = Client(self.port)
        self.closers.append(other.close)
        other.send(frame(1, pty(5)) + b"STATUS\r\n")
        self.assertEqual("5", status_fields(other.line())["PTY"])

        # What decides where the program reads is not the port's to change.
        self.assertEqual(SERIALPORT_REFUSAL, self.client.ask("SERIALPORT=COM5"))
        self.assertIsNone(stored("SerialPort"))

    def test_a_site_address_added_decides_which_frames_are_ours(self):
        own = 5
        self.exchange(self.client, frame(1, BIDIRECTIONAL + site_address(ADD, own)), frame(1, ACK, site=own))
        def lists():
            return stored("UecpSites"), stored("UecpEncoders")
        # Both are stored together, the encoders' after the sites'.
        self.assertTrue(wait_for(lambda: lists() == (str(own), ""), REPLY_SECONDS), lists())
        # Another site's frame (music) is ignored quietly; this site's and all sites' are applied.
        self.exchange(self.client, frame(2, music_speech(1), site=6) + frame(3, pty(12), site=own) +
                      frame(4, ta_tp(2)), frame(3, ACK, site=own) + frame(4, ACK, site=own))
        fields = self.status()
        self.assertEqual(("0", "12", "1"), (fields["MS"], fields["PTY"], fields["TP"]))
        self.assertEqual(rds_image(fields), self.memory())
        # Removing every site leaves only "all sites", and the replies come from site 0.
        self.exchange(self.client, frame(5, site_address(REMOVE_ALL, 0)), frame(5, ACK))
        self.assertTrue(wait_for(lambda: stored("UecpSites") == "", REPLY_SECONDS), stored("UecpSites"))
        self.client.send(frame(6, ta_tp(0), site=own) + frame(7, pty(14)))
        self.assertEqual(frame(7, ACK).hex(" "), self.client.receive(len(frame(7, ACK))).hex(" "))
        fields = self.status()
        self.assertEqual(("1", "14"), (fields["TP"], fields["PTY"]))
        self.assertEqual(rds_image(fields), self.memory())
        self.assertEqual(("0", "1", "14"), (stored("MS"), stored("TP"), stored("PTY")))


class OverUdp(UecpProgramTest):
    def sender(self):
        sender = Datagrams(self.port)
        self.closers.append(sender.close)
        return sender

    def test_one_way_by_default_and_acknowledged_once_bidirectional(self):
        first, second = self.sender(), self.sender()
        # One-way: the frame is applied and nothing answers it; the next datagram's STATUS
        # reply is the first that comes back.
        first.send(frame(1, pty(6)))
        first.send(b"STATUS\r\n")
        reply = first.receive()
        self.assertEqual("6", status_fields(reply.decode("latin-1").rstrip("\r\n"))["PTY"])
        self.assertNotIn(bytes([START]), reply)

        first.send(frame(2, BIDIRECTIONAL))
        self.assertEqual(frame(2, ACK), first.receive())
        first.send(frame(3, ps(b"UDP  FM ")))
        self.assertEqual(frame(3, ACK), first.receive())
        self.assertEqual(b"UDP  FM ", bytes(self.memory()[0x10 + k] for k in range(8)))

        # The mode is the sender's own: another one's frame is still not answered.
        second.send(frame(1, pty(7)) + b"STATUS\r\n")
        reply = second.receive()
        self.assertTrue(reply.startswith(b"+\t"), reply)
        self.assertEqual("7", status_fields(reply.decode("latin-1").rstrip("\r\n"))["PTY"])
        first.send(frame(4, REQUEST_PS))
        self.assertEqual(frame(4, ps(b"UDP  FM ") + ACK), first.receive())
        self.assertEqual([6, 7], [value for address, value in self.rds_writes() if address == 14])
        self.assertEqual(("UDP  FM ", "7"), (stored("PS"), stored("PTY")))


class OverTheSerialLine(UecpProgramTest):
    own_site = 7
    SETTINGS = {"SerialPort": SERIAL_PORT + ":19200", "UecpSites": str(own_site)}

    def before_start(self):
        prefix = os.environ.get("WINEPREFIX")
        self.assertTrue(prefix, "WINEPREFIX must name the prefix the tests run in")
        folder = os.path.join(WORK, "uecp_serial_line")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        self.folder = folder
        self.line = SerialPeer(folder)
        self.addCleanup(shutil.rmtree, folder, True)
        self.addCleanup(self.line.stop)
        device = os.path.join(prefix, "dosdevices", SERIAL_PORT.lower())
        if os.path.lexists(device):
            os.remove(device)
        os.symlink(self.line.line_path, device)
        self.addCleanup(os.remove, device)

    def test_a_frame_is_applied_and_acknowledged_and_lines_are_answered(self):
        # The line may open a moment after the port; the pseudo-terminal keeps the bytes meanwhile.
        self.line.send(frame(1, BIDIRECTIONAL + ps(b"SERIAL  ")))
        # The site list restored from the settings gives the reply its address.
        self.assertEqual(frame(1, ACK, site=self.own_site).hex(" "),
                         self.line.receive(len(frame(1, ACK)), START_SECONDS).hex(" "))
        self.assertEqual(b"SERIAL  ", bytes(self.memory()[0x10 + k] for k in range(8)))
        fields = self.status(self.line)
        self.assertEqual("SERIAL  ", fields["PS"])
        self.assertEqual(rds_image(fields), self.memory())
        self.assertEqual("SERIAL  ", stored("PS"))

        # Refused on the line as on the port; the line stays where it is.
        self.assertEqual(SERIALPORT_REFUSAL, self.line.ask("SERIALPORT=COM44"))
        self.exchange(self.line, frame(2, pty(4), site=self.own_site), frame(2, ACK, site=self.own_site))
        self.assertEqual("4", self.status()["PTY"])
        self.assertEqual(SERIAL_PORT + ":19200", stored("SerialPort"))

        # An encoder address added on the line is stored and answers from then on.
        encoder = 9
        self.exchange(self.line, frame(3, encoder_address(ADD, encoder)),
                      frame(3, ACK, site=self.own_site, encoder=encoder))
        self.assertTrue(wait_for(lambda: stored("UecpEncoders") == str(encoder), REPLY_SECONDS),
                        stored("UecpEncoders"))
        self.assertEqual(str(self.own_site), stored("UecpSites"))

        # The window closes as a user closes it while the line waits for its next byte.
        reg_close = SONDEL.ask_to_close()
        self.assertEqual(0, reg_close.returncode, reg_close.stderr)
        self.assertEqual(0, self.program.wait(CLOSE_SECONDS))

    def test_noise_a_dribbled_frame_and_a_pulled_cable(self):
        site = self.own_site
        # Noise and a stray 00 before a frame: the noise is a line of its own, the frame acts.
        self.line.send(b"\x00\x13\x88q\x7f" + frame(1, BIDIRECTIONAL + pty(5), site=site))
        expected = b"! unknown command\r\n" + frame(1, ACK, site=site)
        self.assertEqual(expected.hex(" "), self.line.receive(len(expected), START_SECONDS).hex(" "))
        self.assertEqual(5, self.memory()[4])

        # A frame sent a byte at a time, as a slow device does.
        for byte in frame(2, pty(6), site=site):
            self.line.send(bytes([byte]))
            time.sleep(DRIBBLE_SECONDS)
        self.assertEqual(frame(2, ACK, site=site).hex(" "),
                         self.line.receive(len(frame(2, ACK)), REPLY_SECONDS).hex(" "))
        self.assertEqual(6, self.memory()[4])

        # The cable pulled and put back: the line is opened again and the next frame goes on air.
        self.line.stop()
        time.sleep(DRIBBLE_SECONDS * 10)
        self.line = SerialPeer(self.folder)
        self.addCleanup(self.line.stop)
        self.line.send(frame(3, pty(7), site=site))
        self.assertEqual(frame(3, ACK, site=site).hex(" "),
                         self.line.receive(len(frame(3, ACK)), REOPEN_SECONDS).hex(" "))
        self.assertEqual("7", self.status()["PTY"])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
