"""Two Linux network namespaces joined by a veth pair: the program's machine and the
station's other machines, with documentation addresses (192.0.2.0/24) that exist only
inside them. Made as root; removed at the end, also when the maker fails."""
import atexit
import ctypes
import os
import re
import signal
import shutil
import socket
import subprocess
import threading

from port_clients import LOOPBACK

SERVER_ADDRESS = "192.0.2.1"
LISTED_ADDRESS = "192.0.2.20"
UNLISTED_ADDRESS = "192.0.2.30"
PREFIX_LENGTH = 24
IP_SECONDS = 30
# setns(2): enter the network namespace only.
CLONE_NEWNET = 0x40000000
NAMESPACE_FOLDER = "/run/netns"


def process_alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        pass
    return True


class NamespacesUnavailable(Exception):
    """Why no namespaces can be made on this machine."""


class NamespacePair:
    """Server: where the program runs (SERVER_ADDRESS); Clients: its senders, with a listed
    and an unlisted address on one link."""

    def __init__(self, stem):
        self.stem = stem
        pid = os.getpid()
        self.server = "%s-server-%d" % (stem, pid)
        self.clients = "%s-clients-%d" % (stem, pid)
        # Interface names hold at most 15 characters.
        self.server_link, self.client_link = "sv%d" % pid, "cl%d" % pid
        self.made = []

    def make(self):
        if os.geteuid() != 0:
            raise NamespacesUnavailable("network namespaces are made as root, and this runs as user %d" % os.geteuid())
        if shutil.which("ip") is None:
            raise NamespacesUnavailable("the ip command (iproute2) is not installed")
        self.remove_stale()
        atexit.register(self.remove)
        for name in (self.server, self.clients):
            added = self.ip("netns", "add", name)
            if added.returncode != 0:
                self.remove()
                raise NamespacesUnavailable("ip netns add %s failed: %s" % (name, added.stderr.strip()))
            self.made.append(name)
        try:
            # Both ends are made inside their namespaces: nothing touches the machine's own network.
            self.must("link", "add", self.server_link, "netns", self.server, "type", "veth",
                      "peer", "name", self.client_link, "netns", self.clients)
            for name, link, addresses in ((self.server, self.server_link, [SERVER_ADDRESS]),
                                          (self.clients, self.client_link, [LISTED_ADDRESS, UNLISTED_ADDRESS])):
                for address in addresses:
                    self.must("-n", name, "addr", "add", "%s/%d" % (address, PREFIX_LENGTH), "dev", link)
                self.must("-n", name, "link", "set", link, "up")
                self.must("-n", name, "link", "set", "lo", "up")
        except BaseException:
            self.remove()
            raise
        return self

    def remove(self):
        """Deleting a namespace deletes its end of the pair, and with it the other end."""
        while self.made:
            self.delete(self.made.pop())

    def remove_stale(self):
        """The pairs of earlier runs that were killed before they could remove their own."""
        listed = self.ip("netns", "list").stdout
        pattern = re.compile(r"^(%s-(?:server|clients)-(\d+))\b" % re.escape(self.stem))
        for line in listed.splitlines():
            found = pattern.match(line)
            if found and not process_alive(int(found.group(2))):
                self.delete(found.group(1))

    def delete(self, name):
        """Ends what still runs inside (a wineserver), then deletes the namespace."""
        for pid in self.ip("netns", "pids", name).stdout.split():
            try:
                os.kill(int(pid), signal.SIGKILL)
            except (ValueError, ProcessLookupError):
                pass
        self.ip("netns", "del", name)

    def __enter__(self):
        return self.make()

    def __exit__(self, *_):
        self.remove()

    @staticmethod
    def ip(*arguments):
        return subprocess.run(["ip", *arguments], stdin=subprocess.DEVNULL, capture_output=True, text=True,
                              timeout=IP_SECONDS)

    def must(self, *arguments):
        done = self.ip(*arguments)
        if done.returncode != 0:
            raise RuntimeError("ip %s failed: %s" % (" ".join(arguments), done.stderr.strip()))

    @staticmethod
    def wrapper(name):
        """The command prefix that runs a program inside the namespace."""
        return ["ip", "netns", "exec", name]

    def socket_from(self, source, kind):
        """A socket that sends from Source (127.0.0.1 inside the program's namespace, or an
        address of the clients'), and the address the program is reached at from there."""
        if source == LOOPBACK:
            return self.socket(self.server, kind, LOOPBACK), LOOPBACK
        return self.socket(self.clients, kind, source), SERVER_ADDRESS

    @staticmethod
    def socket(name, kind, source=None):
        """A socket of the namespace (made by a thread that entered it), bound to Source when given."""
        made, failure = [], []

        def make():
            try:
                with open(os.path.join(NAMESPACE_FOLDER, name)) as namespace:
                    libc = ctypes.CDLL(None, use_errno=True)
                    if libc.setns(namespace.fileno(), CLONE_NEWNET) != 0:
                        raise OSError(ctypes.get_errno(), "setns into " + name)
                made.append(socket.socket(socket.AF_INET, kind))
                if source:
                    made[0].bind((source, 0))
            except OSError as error:
                failure.append(error)

        thread = threading.Thread(target=make)
        thread.start()
        thread.join(IP_SECONDS)
        if failure:
            for each in made:
                each.close()
            raise failure[0]
        return made[0]
