#!/usr/bin/env python3
"""sondel.exe with "CommandPortAllow" naming one machine of the station's network. Its
whole Wine prefix, and so its wineserver (which makes the program's sockets), runs in one
network namespace; the playout's machines are another, joined to it by a veth pair. The
listed address is served over TCP and UDP, in lines and in UECP frames; another address
on the same link is refused on both; 127.0.0.1 is still served; the log names the sender.

Usage: network_program_test.py LOADER SONDEL_EXE
Where no namespaces can be made (not root, no iproute2), it says why and exits with 77,
which ctest reports as skipped.
"""
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import unittest

from network_namespaces import (LISTED_ADDRESS, UNLISTED_ADDRESS, NamespacePair,
                                NamespacesUnavailable)
from port_clients import LOOPBACK, REPLY_SECONDS, Client, Datagrams
from sondel_under_wine import (CLOSE_SECONDS, SondelUnderWine, connect_when_open, copy_prefix, log_lines, rds_image,
                               status_fields, trace_lines, wait_for)
from uecp_frames import ACK, BIDIRECTIONAL, frame, ps, pty

LOADER, EXE = sys.argv[1], sys.argv[2]
SKIPPED = 77
# The namespace is the program's alone: any port is free in it.
PORT = 7000
# A fresh wineserver starts Wine's services before the program.
START_SECONDS = 120
# A refused datagram is dropped: how long a sender waits for the answer that must not come.
UNANSWERED_SECONDS = 3
RTFILE_REFUSAL = "- RTFILE is set on the command line"
STRANGER_LINES = "RT=A stranger's text\r\nCARRIER=ON\r\nSTATUS\r\n"

PAIR = NamespacePair("sondel-test")
# Below the test's TIMEOUT of 600 s.
RUN_SECONDS = 540


class NetworkProgramTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        source = os.environ.get("WINEPREFIX")
        if not source or not os.path.isdir(source):
            raise AssertionError("WINEPREFIX must name the prefix the program tests run in")
        cls.folder = tempfile.mkdtemp(prefix="sondel-network-")
        cls.prefix = os.path.join(cls.folder, "wineprefix")
        cls.trace = os.path.join(cls.folder, "network.trace")
        cls.sondel = SondelUnderWine(LOADER, EXE, PAIR.wrapper(PAIR.server), cls.prefix)
        cls.program = None
        try:
            # A copy of its own: a wineserver already serving the build's prefix runs outside the namespace.
            copy_prefix(source, cls.prefix)
            cls.sondel.seed_settings({"CommandPort": str(PORT), "CommandPortAllow": LISTED_ADDRESS})
            cls.program = cls.sondel.start(cls.trace)
            connect_when_open(cls.program, lambda: cls.client(LISTED_ADDRESS), START_SECONDS).close()
        except BaseException:
            cls.tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        if cls.program:
            cls.sondel.ask_to_close()
            try:
                cls.program.wait(CLOSE_SECONDS)
            except subprocess.TimeoutExpired:
                SondelUnderWine.end(cls.program)
        cls.sondel.stop_wineserver()
        shutil.rmtree(cls.folder, ignore_errors=True)

    @staticmethod
    def client(source):
        """A TCP connection to the program from Source: an address of the clients' namespace,
        or 127.0.0.1 inside the program's own."""
        made, host = PAIR.socket_from(source, socket.SOCK_STREAM)
        return Client(PORT, host, made)

    def sender(self, source):
        made, host = PAIR.socket_from(source, socket.SOCK_DGRAM)
        sender = Datagrams(PORT, host, made)
        self.addCleanup(sender.close)
        return sender

    def connection(self, source):
        connection = self.client(source)
        self.addCleanup(connection.close)
        return connection

    def memory(self):
        return {int(address): int(value) for address, value in
                (line.split()[1:] for line in trace_lines(self.trace, "RDS"))}

    def later(self, *arguments):
        """A later start under the namespace that hands Arguments to the running copy: its
        exit status and its reply lines."""
        code, output = self.sondel.later(os.path.join(self.folder, "later.trace"), *arguments)
        return code, output.split("\r\n")[:-1]

    def logged(self, *words):
        """The log's lines that hold every word."""
        return [line for line in log_lines(self.prefix) if all(word in line for word in words)]

    def test_senders_by_their_address(self):
        listed = self.connection(LISTED_ADDRESS)
        first = status_fields(listed.ask("STATUS"))
        self.assertEqual(("100.000", str(PORT), LISTED_ADDRESS), (first["FREQ"], first["COMMANDPORT"], first["ALLOW"]))
        self.assertEqual("+", listed.ask("RT=Remote playout - First song"))
        self.assertEqual(RTFILE_REFUSAL, listed.ask("RTFILE=C:\\playout\\nowplaying.txt"))
        listed.send(frame(1, BIDIRECTIONAL + ps(b"REMOTE  ")))
        self.assertEqual(frame(1, ACK).hex(" "), listed.receive(len(frame(1, ACK))).hex(" "))
        datagrams = self.sender(LISTED_ADDRESS)
        datagrams.send(frame(1, BIDIRECTIONAL + pty(9)))
        self.assertEqual(frame(1, ACK), datagrams.receive())
        datagrams.send("STATUS")
        fields = status_fields(datagrams.receive().decode("latin-1").rstrip("\r\n"))
        self.assertEqual(("Remote playout - First song", "REMOTE  ", "9"), (fields["RT"], fields["PS"], fields["PTY"]))
        self.assertEqual(rds_image(fields), self.memory())

        # The kernel completes the stranger's connection; the program closes it unread.
        stranger = self.connection(UNLISTED_ADDRESS)
        try:
            stranger.send(STRANGER_LINES)
        except (BrokenPipeError, ConnectionResetError):
            pass
        self.assertEqual(b"", stranger.answer_before_close())
        for sent in (STRANGER_LINES, frame(2, BIDIRECTIONAL + pty(1))):
            unlisted = self.sender(UNLISTED_ADDRESS)
            unlisted.send(sent)
            self.assertIsNone(unlisted.receive(UNANSWERED_SECONDS))
        for source in (LISTED_ADDRESS, LOOPBACK):
            after = status_fields(self.connection(source).ask("STATUS"))
            self.assertEqual((fields["RT"], "9", "OFF"), (after["RT"], after["PTY"], after["CARRIER"]), source)
        local = self.sender(LOOPBACK)
        local.send("STATUS")
        self.assertEqual(fields["RT"], status_fields(local.receive().decode("latin-1").rstrip("\r\n"))["RT"])
        self.assertEqual([], trace_lines(self.trace, "CARRIER"))

        self.assertTrue(wait_for(lambda: self.logged(" port %s " % LISTED_ADDRESS, 'RT "%s"' % fields["RT"]),
                                 REPLY_SECONDS), log_lines(self.prefix))
        # Three refusals, one line: a scan cannot fill the log.
        refusal = "Command port %d refused " % PORT
        self.assertTrue(wait_for(lambda: self.logged(refusal), REPLY_SECONDS), log_lines(self.prefix))
        self.assertEqual([refusal + UNLISTED_ADDRESS + ", which the setting CommandPortAllow does not name (1 time)"],
                         [line[line.index(refusal):] for line in self.logged(refusal)])

    def test_the_list_emptied_from_the_command_line_leaves_loopback_only(self):
        self.assertEqual((0, ["+"]), self.later("COMMANDPORTALLOW="))
        self.assertEqual("", self.sondel.stored("CommandPortAllow"))
        with self.assertRaises(ConnectionRefusedError):
            self.client(LISTED_ADDRESS).close()
        unanswered = self.sender(LISTED_ADDRESS)
        unanswered.send("STATUS")
        self.assertIsNone(unanswered.receive(UNANSWERED_SECONDS))
        self.assertEqual("+", self.connection(LOOPBACK).ask("PTY=4"))

        self.assertEqual((0, ["+"]), self.later("COMMANDPORTALLOW=" + LISTED_ADDRESS))
        self.assertEqual("4", status_fields(self.connection(LISTED_ADDRESS).ask("STATUS"))["PTY"])
        self.assertEqual(LISTED_ADDRESS, self.sondel.stored("CommandPortAllow"))
        change = "Command port allow-list changed"
        self.assertTrue(wait_for(lambda: len(self.logged(change)) == 2, REPLY_SECONDS), log_lines(self.prefix))
        self.assertEqual(['Command port allow-list changed from "%s" to ""' % LISTED_ADDRESS,
                          'Command port allow-list changed from "" to "%s"' % LISTED_ADDRESS],
                         [line[line.index(change):] for line in self.logged(change)])


def out_of_time(*_):
    print("network tests: out of time; the namespaces are removed")
    PAIR.remove()
    os._exit(1)


def main():
    # Ended by ctest's timeout: the namespaces still go.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    # Ended before ctest's own timeout kills the run outright and nothing could remove them.
    signal.signal(signal.SIGALRM, out_of_time)
    signal.alarm(RUN_SECONDS)
    try:
        PAIR.make()
    except NamespacesUnavailable as reason:
        print("skipped: no network namespaces here: %s" % reason)
        return SKIPPED
    try:
        result = unittest.main(argv=sys.argv[:1], verbosity=2, exit=False).result
    finally:
        PAIR.remove()
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
