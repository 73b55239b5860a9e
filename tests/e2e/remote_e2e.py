#!/usr/bin/env python3
"""OSC remote control on the whole program, over loopback: with OSC_PORT in bandoraext.ini a
listener subscribes and is sent the whole wall, /cart/N/fire makes the cart sound on the
recorded output sink while the listener hears its state and time left, and a message for a
cart that does not exist is answered with /error and changes nothing."""

import socket
import struct
import sys
import time

from bandora_e2e import main, wait_for

HZ = 660
CART = 3


def osc_string(text):
    data = text.encode("utf-8") + b"\0"
    return data + b"\0" * (-len(data) % 4)


def osc_message(address, *args):
    tags = "," + "".join("i" if isinstance(a, int) else "s" for a in args)
    body = b"".join(struct.pack(">i", a) if isinstance(a, int) else osc_string(a) for a in args)
    return osc_string(address) + osc_string(tags) + body


def read_string(data, at):
    end = data.index(b"\0", at)
    return data[at:end].decode("utf-8"), end + 1 + (-(end + 1) % 4)


def parse(data):
    """(address, [arguments]) of an OSC message with int32, float32 and string arguments."""
    address, at = read_string(data, 0)
    tags, at = read_string(data, at)
    args = []
    for tag in tags[1:]:
        if tag == "i":
            args.append(struct.unpack_from(">i", data, at)[0])
            at += 4
        elif tag == "f":
            args.append(struct.unpack_from(">f", data, at)[0])
            at += 4
        elif tag == "s":
            text, at = read_string(data, at)
            args.append(text)
    return address, args


class Listener:
    """A UDP socket of its own that subscribes and keeps every message it is sent."""

    def __init__(self, port):
        self.to = ("127.0.0.1", port)
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1 << 20)  # a whole-wall burst
        self.sock.bind(("127.0.0.1", 0))
        self.sock.setblocking(False)
        self.heard = []
        self.states = {}  # the last state heard of each cart, by address

    def send(self, address, *args):
        self.sock.sendto(osc_message(address, *args), self.to)

    def receive(self):
        while True:
            try:
                address, args = parse(self.sock.recv(65536))
                self.heard.append((address, args))
                if address.endswith("/state"):
                    self.states[address] = args
            except BlockingIOError:
                return self.heard

    def has(self, address, args=None):
        return any(a == address and (args is None or list(args) == v)
                   for a, v in self.receive())

    def wait(self, address, args=None, timeout=10):
        wait_for(lambda: self.has(address, args), timeout,
                 "%s %s from the program" % (address, args if args is not None else ""))


def free_udp_port():
    probe = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    return port


def scenario(s):
    s.write_device_settings(output=0, cue=1)
    s.write_window_settings(volume=100, auto_fade=False, auto_mix=False)
    port = free_udp_port()
    with open(s.path("bandoraext.ini"), "w", newline="") as f:
        f.write("OSC_PORT=%d\r\n" % port)
    wall = s.start()
    wall.insert(CART, s.tone("remoto.wav", HZ, 6000))

    listener = Listener(port)
    # The program listens once its session ticks: renew until the wall comes back.
    wait_for(lambda: listener.send("/subscribe") or listener.has("/cart/%d/state" % CART),
             20, "the wall sent to a new listener", interval=0.5)
    s.check(listener.has("/cart/%d/state" % CART, ["loaded"]), "the whole wall: cart loaded")
    s.check(listener.has("/cart/%d/name" % CART, ["REMOTO.WAV"]), "the whole wall: its name")
    s.check(listener.has("/cart/1/state", ["empty"]), "the whole wall: an empty cart")

    listener.heard.clear()
    with s.record("fired") as rec:
        listener.send("/cart/%d/fire" % CART)
        rec.wait_ms(1500)
        listener.wait("/cart/%d/state" % CART, ["playing"])
        time.sleep(0.5)
        remaining = [v[0] for a, v in listener.receive() if a == "/cart/%d/remaining" % CART]
        listener.send("/cart/%d/stop" % CART)
        listener.wait("/cart/%d/state" % CART, ["loaded"])
        rec.wait_ms(500)
    span = rec.out.span(HZ)
    s.check(span and 1000 < span.length_ms < 4500,
            "cart %d sounded from /fire until /stop (%s ms)" % (CART, span and span.length_ms))
    s.check(len(remaining) >= 5 and remaining == sorted(remaining, reverse=True)
            and 0 < remaining[-1] < 6000,
            "time left sent ten times a second, counting down (%d messages)" % len(remaining))

    # A state sent again unchanged is no change: compare what each cart was last said to be.
    time.sleep(0.3)
    listener.receive()
    before = dict(listener.states)
    listener.send("/cart/97/fire")
    listener.wait("/error")
    time.sleep(0.3)
    listener.receive()
    changed = {a: v for a, v in listener.states.items() if before.get(a) != v}
    s.check(not changed, "a cart outside 1..96 changes nothing %s" % (changed or ""))
    s.stop(wall)


if __name__ == "__main__":
    sys.exit(main(scenario))
