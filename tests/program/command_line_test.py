#!/usr/bin/env python3
"""sondel.exe under Wine given commands on its command line, as a playout program's
"run on song start" setting would start it: a later start hands its arguments to the
running copy and prints the replies (exit status 0, 1, or 2 without an answer); the
first start applies its own after the restore. The card's trace and the registry
show what reached the card and the settings.

Usage: command_line_test.py LOADER SONDEL_EXE WORK_FOLDER
"""
import collections
import os
import select
import subprocess
import sys
import time
import unittest

from sondel_under_wine import CLOSE_SECONDS, SondelUnderWine, remove_stale, trace_lines, windows_path

LOADER, EXE, WORK = sys.argv[1], sys.argv[2], sys.argv[3]
SONDEL = SondelUnderWine(LOADER, EXE)
stored = SONDEL.stored
START_SECONDS = 60
# A file's line reaches the radiotext in seconds; an idle minute is looked at every 5 seconds.
RADIOTEXT_SECONDS = 30
IDLE_SECONDS = 120


class CommandLineProgramTest(unittest.TestCase):
    def setUp(self):
        SONDEL.seed_settings()
        stem = os.path.join(WORK, self.id().rsplit(".", 1)[-1])
        self.trace = stem + ".trace"
        self.later_trace = stem + ".later.trace"
        for path in (self.trace, self.later_trace):
            remove_stale(path)
        self.program = None

    def tearDown(self):
        if self.program:
            SONDEL.end(self.program)
        if self.program and self.program.stdout:
            self.program.stdout.close()
        SONDEL.clear_settings()

    def start_first(self, *arguments, fault=None):
        environment = dict(os.environ, SONDEL_VIRTUAL_CARD=windows_path(self.trace))
        if fault:
            environment["SONDEL_VIRTUAL_CARD_FAULT"] = fault
        self.program = subprocess.Popen([LOADER, EXE, *arguments], env=environment, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        # The card is set up after the copy claimed its place as the one running.
        deadline = time.monotonic() + START_SECONDS
        while not os.path.exists(self.trace):
            self.assertIsNone(self.program.poll(), "sondel.exe ended at its start")
            self.assertLess(time.monotonic(), deadline, "sondel.exe did not set up its card")
            time.sleep(0.2)

    def later(self, *arguments):
        """A later start with Arguments: its exit status and its standard output's lines."""
        code, output = SONDEL.later(self.later_trace, *arguments)
        self.assertTrue(output == "" or output.endswith("\r\n"), repr(output))
        return code, output.split("\r\n")[:-1]

    def first_output(self, count):
        """The first start's own reply lines, read with a bounded wait."""
        received = b""
        deadline = time.monotonic() + START_SECONDS
        descriptor = self.program.stdout.fileno()
        while received.count(b"\r\n") < count and time.monotonic() < deadline:
            readable, _, _ = select.select([descriptor], [], [], 1)
            if readable:
                chunk = os.read(descriptor, 4096)
                if not chunk:
                    break
                received += chunk
        return received.decode("latin-1").split("\r\n")[:count]

    def trace_lines(self, *kinds):
        return trace_lines(self.trace, *kinds)

    def close_program(self):
        closed = SONDEL.ask_to_close()
        self.assertEqual(0, closed.returncode, closed.stderr)
        self.assertEqual(0, self.program.wait(CLOSE_SECONDS))

    def test_later_starts_hand_their_commands_to_the_running_copy(self):
        self.start_first()
        self.assertEqual((0, ["+", "+"]), self.later("RT=Artist - Title of a song", "PS=ROCK FM"))
        # The run's first write is the whole image; the next song changes one word.
        self.assertEqual(83, len(self.trace_lines("RDS")))
        self.assertEqual((0, ["+"]), self.later("RT=Artist - Title of a hit"))
        self.assertEqual(["RDS 276 104", "RDS 277 105", "RDS 278 116", "RDS 279 32"],
                         self.trace_lines("RDS")[83:])

        self.assertEqual((1, ["+", "- PTY must be 0..31", "! unknown command", "+"]),
                         self.later("PTY=11", "PTY=32", "BOGUS", "TP=1"))
        # Quotes and spaces arrive as one argument each.
        self.assertEqual((0, ["+", "+"]), self.later('RT=Say "hi" to the night', "PS="))
        status, lines = self.later("STATUS")
        self.assertEqual(0, status)
        self.assertEqual(1, len(lines))
        fields = dict(field.split("=", 1) for field in lines[0].split("\t")[1:])
        self.assertEqual(("11", "1", "", 'Say "hi" to the night'),
                         (fields["PTY"], fields["TP"], fields["PS"], fields["RT"]))
        self.assertEqual([], self.trace_lines("LOST"))
        # The later starts never opened the card.
        self.assertFalse(os.path.exists(self.later_trace))

        self.close_program()
        for name, text in {"RT": 'Say "hi" to the night', "PS": "", "PTY": "11", "TP": "1"}.items():
            self.assertEqual(text, stored(name), name)

    def test_first_start_applies_its_own_commands_after_the_restore(self):
        self.start_first("PS=ROCK FM", "PTY=32", "STATUS")
        replies = self.first_output(3)
        self.assertEqual(["+", "- PTY must be 0..31"], replies[:2])
        self.assertTrue(replies[2].startswith("+\tFREQ=100.000\t"), replies[2])
        self.assertIn("\tPS=ROCK FM\t", replies[2])
        # The restore tuned the card before the commands wrote the RDS image.
        events = self.trace_lines("SYNTH", "RDS")
        self.assertEqual("SYNTH 100000 4", events[events.index("RDS 4 0") - 1])
        self.close_program()
        self.assertEqual("ROCK FM", stored("PS"))
        self.assertEqual("0", stored("PTY"))

    def test_the_rds_character_set_is_switched_from_the_command_line(self):
        self.start_first()
        self.assertEqual((0, ["+"]), self.later("PS=\u00e9 $"))
        self.assertEqual(["RDS 16 233", "RDS 17 32", "RDS 18 36"], self.trace_lines("RDS")[11:14])
        self.assertEqual((0, ["+"]), self.later("CHARSET=RDS"))
        # Only the two bytes that differ: é is 0x82 and $ is 0xAB in the RDS set.
        self.assertEqual(["RDS 16 130", "RDS 18 171"], self.trace_lines("RDS")[83:])
        status, lines = self.later("STATUS")
        self.assertEqual(0, status)
        self.assertIn("\tRTFILE=\tCHARSET=RDS\tRTFORMAT=", lines[0])
        self.assertTrue(lines[0].endswith("\tCARD=OPEN"), lines[0])
        self.close_program()
        self.assertEqual("RDS", stored("RdsCharacterSet"))

    def status_field(self, name):
        status, lines = self.later("STATUS")
        self.assertEqual((0, 1), (status, len(lines)), SONDEL.later_errors)
        return dict(field.split("=", 1) for field in lines[0].split("\t")[1:])[name]

    def await_radiotext(self, text, seconds):
        deadline = time.monotonic() + seconds
        while self.status_field("RT") != text:
            self.assertLess(time.monotonic(), deadline, "the radiotext did not become " + text)
            time.sleep(1)

    def test_the_now_playing_files_lines_are_shaped_skipped_and_idle(self):
        now_playing = os.path.join(WORK, "text_rules_now_playing.txt")

        def write(line):
            with open(now_playing, "w", encoding="utf-8", newline="") as file:
                file.write(line + "\r\n")

        write("Artist \u2013 Title")
        SONDEL.seed_settings({"RdsCharacterSet": "RDS", "RtFile": windows_path(now_playing),
                              "RtFormat": "Now playing: {artist} - {title}", "RtSkip": "jingle|advert",
                              "RtIdleText": "ROCK FM non-stop", "RtIdleMinutes": "1"})
        self.start_first()
        self.await_radiotext("Now playing: Artist - Title", RADIOTEXT_SECONDS)
        write("Station ID jingle")
        self.await_radiotext("ROCK FM non-stop", RADIOTEXT_SECONDS)
        write("Band \u2014 Don\u2019t Stop")
        # The edit keeps the typed apostrophe (0x92); the RDS set gets the plain one.
        self.await_radiotext("Now playing: Band - Don\x92t Stop", RADIOTEXT_SECONDS)
        memory = {}
        for line in self.trace_lines("RDS"):
            _, address, value = line.split()
            memory[int(address)] = int(value)
        self.assertEqual(b"Now playing: Band - Don't Stop", bytes(memory[0x100 + k] for k in range(30)))
        self.assertEqual("1,ROCK FM non-stop", self.status_field("RTIDLE"))
        self.await_radiotext("ROCK FM non-stop", IDLE_SECONDS)
        self.assertEqual("Now playing: {artist} - {title}", self.status_field("RTFORMAT"))
        self.assertEqual("jingle|advert", self.status_field("RTSKIP"))

        # The counts are the trace's writes, and a restart keeps them.
        counts = collections.Counter(int(line.split()[1]) for line in self.trace_lines("RDS"))
        most = max(counts.values())
        self.assertEqual("%d,%d,-" % (most, min(a for a, c in counts.items() if c == most)),
                         self.status_field("WEAR"))
        self.close_program()
        self.assertIsNotNone(stored("RdsWrites"))
        os.remove(self.trace)
        self.start_first()
        self.await_radiotext("Now playing: Band - Don\x92t Stop", RADIOTEXT_SECONDS)
        counts.update(int(line.split()[1]) for line in self.trace_lines("RDS"))
        most = max(counts.values())
        self.assertEqual("%d,%d,-" % (most, min(a for a, c in counts.items() if c == most)),
                         self.status_field("WEAR"))
        self.close_program()
        os.remove(now_playing)

    def test_a_running_copy_held_in_its_start_box_answers_that_it_waits(self):
        # Its card's failure message waits for a click: the pipe is open and says so.
        self.start_first(fault="no-card")
        self.assertEqual((1, ['- starting: a message waits on the screen: "Unable to open Sondel card. Try to '
                              'move SONDEL to another PCI slot or reinstall the driver. Last reported error: '
                              'no cards found"']), self.later("RT=Nobody hears this"))
        self.assertFalse(os.path.exists(self.later_trace))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
