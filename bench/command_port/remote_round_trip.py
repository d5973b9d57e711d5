#!/usr/bin/env python3
"""command_port from another machine: sondel.exe on the virtual card, its whole Wine
prefix (wineserver and all) in a network namespace with "CommandPortAllow" naming
192.0.2.20, a client on 127.0.0.1 of the same namespace and one at 192.0.2.20 across a
veth pair. Both time, in turns in one run, a one-word change of a 64-character radiotext
to its reply and STATUS round trips; the remote figures are printed as ratios to the
loopback ones. Where no namespaces can be made (not root, no iproute2), the loopback part
runs alone on the prefix of the environment and the remote part is said to be skipped.

Usage: remote_round_trip.py LOADER SONDEL_EXE
"""
import os
import socket
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "program"))

from network_namespaces import LISTED_ADDRESS, NamespacePair, NamespacesUnavailable  # noqa: E402
from port_clients import LOOPBACK, Client, free_port  # noqa: E402
from sondel_under_wine import CLOSE_SECONDS, SondelUnderWine, connect_when_open, copy_prefix  # noqa: E402

ROUNDS = 9
STATUS_PER_ROUND = 20
START_SECONDS = 120
# The namespace is the program's alone: any port is free in it.
NAMESPACE_PORT = 7000
# Two 64-character radiotexts one word apart.
TEXT_A = "PC RADIO, NON-STOP LATEST HITS! Now: The Artist - A Song Title.."
TEXT_B = "PC RADIO, NON-STOP LATEST POPS! Now: The Artist - A Song Title.."
# What the link may add to a round trip under Wine's sockets: well under a tenth.
RATIO_GOAL = 1.1


def timed(ask, line, expected):
    start = time.perf_counter()
    reply = ask(line)
    seconds = time.perf_counter() - start
    if not reply.startswith(expected):
        raise RuntimeError("%r was answered %r" % (line, reply))
    return seconds


def measure(clients):
    """Per client, the median seconds of a one-word RT= change and of a STATUS, taken in turns."""
    text_times = {name: [] for name in clients}
    status_times = {name: [] for name in clients}
    # The first change writes the whole radiotext; from then on each takes back the word of the one before.
    timed(next(iter(clients.values())).ask, "RT=" + TEXT_A, "+")
    texts = iter([TEXT_B, TEXT_A] * ROUNDS * len(clients))
    for _ in range(ROUNDS):
        for name, client in clients.items():
            text_times[name].append(timed(client.ask, "RT=" + next(texts), "+"))
            status_times[name] += [timed(client.ask, "STATUS", "+\tFREQ=") for _ in range(STATUS_PER_ROUND)]
    return ({name: statistics.median(times) for name, times in text_times.items()},
            {name: statistics.median(times) for name, times in status_times.items()})


def run(sondel, port, clients_of, folder):
    sondel.seed_settings({"CommandPort": str(port), "CommandPortAllow": LISTED_ADDRESS})
    program = sondel.start(os.path.join(folder, "bench.trace"))
    clients = {}
    try:
        for name, connect in clients_of.items():
            clients[name] = connect_when_open(program, connect, START_SECONDS)
        return measure(clients)
    finally:
        for client in clients.values():
            client.close()
        sondel.ask_to_close()
        try:
            program.wait(CLOSE_SECONDS)
        finally:
            SondelUnderWine.end(program)
        sondel.clear_settings()


def main(loader, exe):
    pair = NamespacePair("sondel-bench")
    try:
        pair.make()
    except NamespacesUnavailable as reason:
        pair = None
        skipped = str(reason)
    with tempfile.TemporaryDirectory(prefix="sondel-bench-") as folder:
        if pair is None:
            port = free_port()
            texts, statuses = run(SondelUnderWine(loader, exe), port, {LOOPBACK: lambda: Client(port)}, folder)
        else:
            try:
                prefix = os.path.join(folder, "wineprefix")
                copy_prefix(os.environ["WINEPREFIX"], prefix)
                sondel = SondelUnderWine(loader, exe, pair.wrapper(pair.server), prefix)
                def client_from(source):
                    made, host = pair.socket_from(source, socket.SOCK_STREAM)
                    return Client(NAMESPACE_PORT, host, made)

                clients_of = {source: (lambda source=source: client_from(source)) for source in (LOOPBACK, LISTED_ADDRESS)}
                try:
                    texts, statuses = run(sondel, NAMESPACE_PORT, clients_of, folder)
                finally:
                    sondel.stop_wineserver()
            finally:
                pair.remove()

    print("command_port over the network: sondel.exe on the virtual card, TCP, median of %d changes and %d STATUS"
          % (ROUNDS, STATUS_PER_ROUND * ROUNDS))
    print("  127.0.0.1: RT= one word changed %.1f ms to its reply, STATUS %.2f ms a round trip"
          % (texts[LOOPBACK] * 1000, statuses[LOOPBACK] * 1000))
    if pair is None:
        print("  remote round trip skipped: no network namespaces here: " + skipped)
        return 0
    text_ratio = texts[LISTED_ADDRESS] / texts[LOOPBACK]
    status_ratio = statuses[LISTED_ADDRESS] / statuses[LOOPBACK]
    print("  %s over a veth pair: RT= %.1f ms, STATUS %.2f ms" %
          (LISTED_ADDRESS, texts[LISTED_ADDRESS] * 1000, statuses[LISTED_ADDRESS] * 1000))
    print("  ratio remote/127.0.0.1: RT= %.2f, STATUS %.2f; goal: at most %.1f each"
          % (text_ratio, status_ratio, RATIO_GOAL))
    met = text_ratio <= RATIO_GOAL and status_ratio <= RATIO_GOAL
    print("goal met" if met else "goal NOT met")
    return 0 if met else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
