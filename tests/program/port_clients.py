"""Clients of sondel.exe's command port from outside Wine, as playout software and RDS
servers are: a TCP connection read as lines or bytes, and a UDP sender. Every read waits
a bounded time. A socket made elsewhere (in another network namespace) may be handed in."""
import socket
import time

LOOPBACK = "127.0.0.1"
REPLY_SECONDS = 15
LINE_END = b"\r\n"


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind((LOOPBACK, 0))
        return probe.getsockname()[1]


def encoded(data):
    return data if isinstance(data, bytes) else data.encode("latin-1")


class Stream:
    """Bytes from a TCP connection or a serial line."""

    def __init__(self):
        self.pending = b""

    def read_some(self, seconds):
        """Bytes read within Seconds (none: b""); None once the other end closed."""
        raise NotImplementedError

    def send(self, data):
        raise NotImplementedError

    def fill(self, enough, seconds):
        deadline = time.monotonic() + seconds
        while not enough() and time.monotonic() < deadline:
            chunk = self.read_some(max(0.0, deadline - time.monotonic()))
            if chunk is None:
                break
            self.pending += chunk

    def receive(self, count, seconds=REPLY_SECONDS):
        self.fill(lambda: len(self.pending) >= count, seconds)
        got, self.pending = self.pending[:count], self.pending[count:]
        return got

    def lines(self, count, seconds=REPLY_SECONDS):
        """Count reply lines; fewer (the last one partial) when no more came in time."""
        self.fill(lambda: self.pending.count(LINE_END) >= count, seconds)
        parts = self.pending.split(LINE_END)
        got, self.pending = parts[:count], LINE_END.join(parts[count:])
        return [part.decode("latin-1") for part in got]

    def line(self, seconds=REPLY_SECONDS):
        return (self.lines(1, seconds) or [""])[0]

    def ask(self, line):
        self.send(encoded(line) + LINE_END)
        return self.line()

    def ask_all(self, *lines):
        self.send(b"".join(encoded(line) + LINE_END for line in lines))
        return self.lines(len(lines))


class Client(Stream):
    """One TCP connection to the port at Host; Made: an unconnected socket to connect."""

    def __init__(self, port, host=LOOPBACK, made=None):
        super().__init__()
        if made is None:
            self.socket = socket.create_connection((host, port), timeout=REPLY_SECONDS)
            return
        self.socket = made
        made.settimeout(REPLY_SECONDS)
        try:
            made.connect((host, port))
        except OSError:
            made.close()
            raise

    def send(self, data):
        self.socket.sendall(encoded(data))

    def read_some(self, seconds):
        self.socket.settimeout(max(seconds, 0.01))
        try:
            chunk = self.socket.recv(4096)
        except socket.timeout:
            return b""
        return chunk or None

    def closed_by_peer(self):
        """The program closed the connection in order (not reset, not still open)."""
        self.socket.settimeout(REPLY_SECONDS)
        try:
            return self.socket.recv(4096) == b""
        except (ConnectionResetError, socket.timeout):
            return False

    def answer_before_close(self):
        """What came back before the program closed or reset the connection; raises
        socket.timeout when the connection stays open."""
        self.socket.settimeout(REPLY_SECONDS)
        answer = b""
        try:
            while True:
                chunk = self.socket.recv(4096)
                if not chunk:
                    return answer
                answer += chunk
        except ConnectionResetError:
            return answer

    def close(self):
        self.socket.close()


class Datagrams:
    """One UDP sender with its own address and port, so the program keeps its own mode for
    it; Made: a socket already bound to the sender's address."""

    def __init__(self, port, host=LOOPBACK, made=None):
        self.address = (host, port)
        if made is None:
            made = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            made.bind((LOOPBACK, 0))
        self.socket = made

    def send(self, data):
        self.socket.sendto(encoded(data), self.address)

    def receive(self, seconds=REPLY_SECONDS):
        """The next datagram, or None when none came within Seconds."""
        self.socket.settimeout(seconds)
        try:
            return self.socket.recv(65536)
        except socket.timeout:
            return None

    def close(self):
        self.socket.close()
