#!/usr/bin/python3
"""Clients that press on the web server harder than curl can, for tests/web_server_test.sh.

  web_client.py idle URL COUNT SOURCE      COUNT connections from the address SOURCE that never
                                           finish their request; prints "ready HELD REFUSED"
                                           and holds them until its standard input closes, then
                                           prints how many the server still kept open
  web_client.py trickle URL COUNT SOURCE SECONDS
                                           the same for SECONDS seconds instead, each held
                                           request gaining one byte every 4 s (plain HTTP)
  web_client.py burst URL COUNT BODY       COUNT logged-in POSTs sent at the same moment; prints
                                           "STATUS SECONDS" for each, timed from sending to reply
                                           (after "fired" once all are sent)
  web_client.py every SECONDS URL BODY...  the operator: each second for SECONDS seconds, one
                                           logged-in POST of BODY to each URL (pairs of URL and
                                           BODY); prints "STATUS SECONDS URL" for each
  web_client.py silent URL                 a connection that sends nothing; prints the seconds
                                           until the server closes it (at most 90)
  web_client.py logins URL COUNT BODY      COUNT logins sent at the same moment, each sent again
                                           after a second while it gets 429 or 503 (as the login
                                           page does); prints "STATUS TURNED-AWAY SECONDS TOKEN"
The session comes from GRSHM_SESSION_COOKIE ("name=token"); an https URL is checked against
the certificate file named by GRSHM_CAFILE."""
import os
import re
import resource
import socket
import ssl
import sys
import threading
import time
import urllib.parse


class Target:
    def __init__(self, url):
        parts = urllib.parse.urlsplit(url)
        self.tls = parts.scheme == "https"
        self.host, self.port, self.path = parts.hostname, parts.port, parts.path
        self.authority = parts.netloc

    def connect(self, source=None):
        sock = socket.create_connection(("127.0.0.1", self.port), timeout=30,
                                        source_address=(source, 0) if source else None)
        if not self.tls:
            return sock
        context = ssl.create_default_context(cafile=os.environ["GRSHM_CAFILE"])
        return context.wrap_socket(sock, server_hostname=self.host)

    def exchange(self, sock, body, cookie=None):
        """Sends one POST of JSON; returns (status, headers, seconds from sending to reply)."""
        lines = [f"POST {self.path} HTTP/1.1", f"Host: {self.authority}", "Content-Type: application/json",
                 f"Content-Length: {len(body.encode())}", "Connection: close"]
        if cookie:
            lines.append("Cookie: " + cookie)
        start = time.monotonic()
        sock.sendall(("\r\n".join(lines) + "\r\n\r\n" + body).encode())
        reply = b""
        while b"\r\n\r\n" not in reply:
            chunk = sock.recv(65536)
            if not chunk:
                break
            reply += chunk
        seconds = time.monotonic() - start
        head = reply.split(b"\r\n\r\n", 1)[0].decode(errors="replace")
        status = int(head.split(" ", 2)[1]) if head.startswith("HTTP/") else 0
        return status, head, seconds


def idle(target, count, source, seconds=None):
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, min(hard, count + 64)), hard))
    held, refused = [], 0
    for _ in range(count):
        try:
            sock = socket.create_connection(("127.0.0.1", target.port), timeout=10, source_address=(source, 0))
            if not target.tls:  # a request whose headers never end (over TLS: a handshake never begun)
                sock.sendall(f"GET / HTTP/1.1\r\nHost: {target.authority}\r\nX-Pad: ".encode())
        except OSError:  # refused or reset by the server's host
            refused += 1
            continue
        held.append(sock)
    print("ready", len(held), refused, flush=True)
    if seconds is None:
        sys.stdin.read()
    else:
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            time.sleep(min(4, max(0, end - time.monotonic())))
            for sock in held:
                try:
                    sock.send(b"a")
                except OSError:
                    pass
    open_now = 0
    for sock in held:  # a closed or answered connection has something to read; an open one blocks
        sock.setblocking(False)
        try:
            sock.recv(1)
        except BlockingIOError:
            open_now += 1
        except OSError:
            pass
    print("open", open_now, flush=True)


def burst(target, count, body):
    socks = [target.connect() for _ in range(count)]  # connected (and TLS set up) before the clock starts
    results = [None] * count
    gate = threading.Barrier(count)

    def one(i):
        if gate.wait() == 0:
            print("fired", flush=True)
        results[i] = target.exchange(socks[i], body, os.environ["GRSHM_SESSION_COOKIE"])

    threads = [threading.Thread(target=one, args=(i,)) for i in range(count)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for status, _, seconds in results:
        print(status, f"{seconds:.3f}")


def every(seconds, pairs):
    reads = [(Target(url), body) for url, body in zip(pairs[::2], pairs[1::2])]
    start = time.monotonic()
    for second in range(seconds):
        for target, body in reads:
            try:
                with target.connect() as sock:
                    status, _, taken = target.exchange(sock, body, os.environ["GRSHM_SESSION_COOKIE"])
            except OSError:
                status, taken = 0, time.monotonic() - start - second
            print(status, f"{taken:.3f}", target.path, flush=True)
        time.sleep(max(0.0, start + second + 1 - time.monotonic()))


def logins(target, count, body):
    results = [None] * count
    gate = threading.Barrier(count)

    def one(i):
        gate.wait()
        start, turned_away = time.monotonic(), 0
        while True:
            with target.connect() as sock:
                status, head, _ = target.exchange(sock, body)
            if status not in (429, 503) or turned_away == 60:
                break
            turned_away += 1
            time.sleep(1)
        token = re.search(r"grshm_session=([0-9a-f]{32});", head)
        results[i] = (status, turned_away, time.monotonic() - start, token.group(1) if token else "-")

    threads = [threading.Thread(target=one, args=(i,)) for i in range(count)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for status, turned_away, seconds, token in results:
        print(status, turned_away, f"{seconds:.3f}", token)


def silent(target):
    with socket.create_connection(("127.0.0.1", target.port), timeout=90) as sock:
        start = time.monotonic()
        try:
            while sock.recv(4096):
                pass
        except (ConnectionResetError, socket.timeout):
            pass
        print(f"{time.monotonic() - start:.1f}")


if __name__ == "__main__":
    commands = {"idle": lambda t, count, source: idle(t, int(count), source),
                "trickle": lambda t, count, source, seconds: idle(t, int(count), source, float(seconds)),
                "burst": lambda t, count, body: burst(t, int(count), body),
                "logins": lambda t, count, body: logins(t, int(count), body), "silent": silent}
    if len(sys.argv) >= 5 and sys.argv[1] == "every":
        every(int(sys.argv[2]), sys.argv[3:])
    elif len(sys.argv) < 3 or sys.argv[1] not in commands:
        sys.exit(__doc__)
    else:
        commands[sys.argv[1]](Target(sys.argv[2]), *sys.argv[3:])
