"""A loopback forwarder in front of the demo site that holds chosen requests."""

import socket
import threading


class GatedProxy:
    """A loopback TCP forwarder in front of the demo site that can hold back
    requests for chosen paths until the test opens the gate, so a page that
    comes before them (the loading page) stays on screen long enough to be
    looked at, however fast the machine is."""

    def __init__(self, listen_port, upstream_port, held_prefixes):
        self.upstream_port = upstream_port
        self.held = tuple(p.encode() for p in held_prefixes)
        self.gate = threading.Event()
        self.held_count = 0
        self.server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.server.bind(("127.0.0.1", listen_port))
        self.server.listen(16)
        self.closed = False
        self.thread = threading.Thread(target=self._accept, daemon=True)
        self.thread.start()

    def open_gate(self):
        self.gate.set()

    def _accept(self):
        while not self.closed:
            try:
                conn, _ = self.server.accept()
            except OSError:
                return
            threading.Thread(target=self._serve, args=(conn,), daemon=True).start()

    def _serve(self, conn):
        upstream = None
        try:
            conn.settimeout(60)
            head = b""
            while b"\r\n" not in head:
                chunk = conn.recv(4096)
                if not chunk:
                    return
                head += chunk
            parts = head.split(b" ", 2)
            path = parts[1] if len(parts) > 1 else b""
            if path.startswith(self.held) and not self.gate.is_set():
                self.held_count += 1
                self.gate.wait(60)
            upstream = socket.create_connection(("127.0.0.1", self.upstream_port), 10)
            upstream.sendall(head)
            pump = threading.Thread(target=self._pump, args=(upstream, conn), daemon=True)
            pump.start()
            self._pump(conn, upstream)
            pump.join(60)
        except OSError:
            pass
        finally:
            for sock in (conn, upstream):
                if sock:
                    try:
                        sock.close()
                    except OSError:
                        pass

    @staticmethod
    def _pump(source, target):
        try:
            while True:
                data = source.recv(65536)
                if not data:
                    break
                target.sendall(data)
        except OSError:
            pass
        finally:
            try:
                target.shutdown(socket.SHUT_WR)
            except OSError:
                pass

    def close(self):
        self.closed = True
        self.gate.set()
        try:
            self.server.close()
        except OSError:
            pass
