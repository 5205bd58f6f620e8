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
  web_client.py noqop URL BODY             a POST whose digest response has no qop (RFC 2069),
                                           then the same with qop=auth; prints both statuses
  web_client.py silent URL                 a connection that sends nothing; prints the seconds
                                           until the server closes it (at most 90)
The login comes from GRSHM_WEB_PASSWORD (user admin); an https URL is checked against the
certificate file named by GRSHM_CAFILE."""
import hashlib
import os
import re
import resource
import socket
import ssl
import sys
import threading
import time
import urllib.parse

REALM = "GNSS receiver"


def md5(text):
    return hashlib.md5(text.encode()).hexdigest()


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

    def exchange(self, sock, body, authorization=None):
        """Sends one POST of JSON; returns (status, headers, seconds from sending to reply)."""
        lines = [f"POST {self.path} HTTP/1.1", f"Host: {self.authority}", "Content-Type: application/json",
                 f"Content-Length: {len(body)}", "Connection: close"]
        if authorization:
            lines.append("Authorization: " + authorization)
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


def challenge_nonce(target, body):
    with target.connect() as sock:
        status, head, _ = target.exchange(sock, body)
    match = re.search(r'nonce="([^"]+)"', head)
    assert status == 401 and match, f"no digest challenge: {head!r}"
    return match.group(1)


def digest(target, nonce, nc=None, qop=True):
    """The Authorization header of a digest response (qop=auth with count nc, or RFC 2069)."""
    ha1 = md5(f"admin:{REALM}:{os.environ['GRSHM_WEB_PASSWORD']}")
    ha2 = md5(f"POST:{target.path}")
    fields = f'username="admin", realm="{REALM}", nonce="{nonce}", uri="{target.path}", algorithm=MD5'
    if not qop:
        return f'Digest {fields}, response="{md5(f"{ha1}:{nonce}:{ha2}")}"'
    count, cnonce = f"{nc:08x}", f"c{nc}"
    response = md5(f"{ha1}:{nonce}:{count}:{cnonce}:auth:{ha2}")
    return f'Digest {fields}, qop=auth, nc={count}, cnonce="{cnonce}", response="{response}"'


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
    nonce = challenge_nonce(target, body)
    socks = [target.connect() for _ in range(count)]  # connected (and TLS set up) before the clock starts
    results = [None] * count
    gate = threading.Barrier(count)

    def one(i):
        if gate.wait() == 0:
            print("fired", flush=True)
        results[i] = target.exchange(socks[i], body, digest(target, nonce, i + 1))

    threads = [threading.Thread(target=one, args=(i,)) for i in range(count)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for status, _, seconds in results:
        print(status, f"{seconds:.3f}")


def every(seconds, pairs):
    reads = [(Target(url), body) for url, body in zip(pairs[::2], pairs[1::2])]
    nonces = [challenge_nonce(target, body) for target, body in reads]
    start = time.monotonic()
    for second in range(seconds):
        for (target, body), nonce in zip(reads, nonces):
            try:
                with target.connect() as sock:
                    status, _, taken = target.exchange(sock, body, digest(target, nonce, second + 1))
            except OSError:
                status, taken = 0, time.monotonic() - start - second
            print(status, f"{taken:.3f}", target.path, flush=True)
        time.sleep(max(0.0, start + second + 1 - time.monotonic()))


def noqop(target, body):
    nonce = challenge_nonce(target, body)
    for qop in (False, True):
        with target.connect() as sock:
            print(target.exchange(sock, body, digest(target, nonce, 1, qop))[0])


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
                "burst": lambda t, count, body: burst(t, int(count), body), "noqop": noqop,
                "silent": silent}
    if len(sys.argv) >= 5 and sys.argv[1] == "every":
        every(int(sys.argv[2]), sys.argv[3:])
    elif len(sys.argv) < 3 or sys.argv[1] not in commands:
        sys.exit(__doc__)
    else:
        commands[sys.argv[1]](Target(sys.argv[2]), *sys.argv[3:])
