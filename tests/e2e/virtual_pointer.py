"""A real pointer for a headless wlroots compositor (sway), which has no input device of its own: a
small client of the zwlr_virtual_pointer_v1 protocol, spoken directly on the Wayland socket (Debian
ships no copy of the protocol's description, and the wire format is simple). The compositor treats its
events as a mouse's, so a click reaches the bar under it as a user's would.
"""
import os
import socket
import struct
import time

BTN_LEFT = 0x110
CLICK_APART_MS = 1000  # longer than any double-click time
MANAGER = "zwlr_virtual_pointer_manager_v1"


class Connection:
    def __init__(self, path):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(path)
        self.next_id = 2
        self.buffer = b""

    def new_id(self):
        self.next_id += 1
        return self.next_id - 1

    def send(self, obj, opcode, payload=b""):
        self.sock.sendall(struct.pack("=II", obj, ((8 + len(payload)) << 16) | opcode) + payload)

    def events(self):
        """Yields (object, opcode, payload) for each event the compositor sends."""
        while True:
            while len(self.buffer) < 8 or len(self.buffer) < (struct.unpack_from("=I", self.buffer, 4)[0] >> 16):
                chunk = self.sock.recv(65536)
                if not chunk:
                    return
                self.buffer += chunk
            obj, word = struct.unpack_from("=II", self.buffer)
            size = word >> 16
            yield obj, word & 0xffff, self.buffer[8:size]
            self.buffer = self.buffer[size:]

    def roundtrip(self):
        """Waits until the compositor has handled every request sent so far; returns the events before."""
        callback = self.new_id()
        self.send(1, 0, struct.pack("=I", callback))  # wl_display.sync
        seen = []
        for event in self.events():
            if event[0] == callback:
                return seen
            seen.append(event)
        raise RuntimeError("the compositor closed the connection")


def string(text):
    data = text.encode() + b"\0"
    return struct.pack("=I", len(data)) + data + b"\0" * (-len(data) % 4)


def read_string(payload, at):
    length = struct.unpack_from("=I", payload, at)[0]
    return payload[at + 4:at + 4 + length - 1].decode(), at + 4 + length + (-length % 4)


class VirtualPointer:
    """A pointer device in the compositor for as long as the object lives. Made before the bar starts,
    the seat has a pointer when the bar asks for one."""

    def __init__(self, runtime_dir, display):
        self.c = Connection(os.path.join(runtime_dir, display))
        registry = self.c.new_id()
        self.c.send(1, 1, struct.pack("=I", registry))  # wl_display.get_registry
        manager = None
        for obj, opcode, payload in self.c.roundtrip():
            if obj == registry and opcode == 0:  # wl_registry.global(name, interface, version)
                name = struct.unpack_from("=I", payload)[0]
                interface, _ = read_string(payload, 4)
                if interface == MANAGER:
                    manager = self.c.new_id()
                    self.c.send(registry, 0, struct.pack("=I", name) + string(MANAGER) + struct.pack("=II", 1, manager))
        if manager is None:
            raise RuntimeError("the compositor offers no " + MANAGER)
        self.pointer = self.c.new_id()
        self.c.send(manager, 0, struct.pack("=II", 0, self.pointer))  # create_virtual_pointer(default seat)
        self.c.roundtrip()
        self.time = 0

    def click(self, x, y, width, height):
        """Moves to (x, y) of a layout `width` x `height` and clicks the left button there. Each click is
        stamped a second after the last: clients tell a double click by the events' times, and two
        clicks a test makes in quick succession are two single clicks."""
        self.time = (max(self.time + CLICK_APART_MS, int(time.monotonic() * 1000))) & 0xffffffff
        self.c.send(self.pointer, 1, struct.pack("=IIIII", self.time, x, y, width, height))  # motion_absolute
        self.c.send(self.pointer, 4)  # frame
        self.c.roundtrip()
        for state in (1, 0):  # pressed, released
            self.c.send(self.pointer, 2, struct.pack("=III", self.time + 1 - state, BTN_LEFT, state))  # button
            self.c.send(self.pointer, 4)
            self.c.roundtrip()

    def close(self):
        self.c.send(self.pointer, 8)  # destroy
        self.c.roundtrip()
        self.c.sock.close()
