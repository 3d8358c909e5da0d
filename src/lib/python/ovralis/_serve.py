"""`ovralis serve sketch.json`: the live sketch view as a local web page.

The page (static/index.html with static/sketch.js) sends each request of the
protocol in _sketch_session.py as JSON, over a WebSocket at /socket where the
server offers one (_serve_socket.py), otherwise as a post to /api, and draws
the reply. Only the server's own page is answered: a request that another
site's page makes (its Origin is not this server), or that reaches a loopback
server under a name that is not loopback (DNS rebinding), is refused. Connections
are served on threads of their own (a browser may hold idle ones open), but a
System belongs to the thread that created it, so every request is handed to
that thread and answered there, one at a time.
"""

from __future__ import annotations

import ipaddress
import json
import os
import queue
import tempfile
import threading
from collections.abc import Callable
from concurrent.futures import Future
from http import HTTPStatus
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from importlib import resources
from pathlib import Path
from typing import Any, cast
from urllib.parse import urlsplit

import ovralis
from ovralis import _serve_socket
from ovralis._sketch_session import SketchSession

# The files the page may fetch, and their content types.
STATIC_FILES = {
    "index.html": "text/html; charset=utf-8",
    "sketch.js": "text/javascript; charset=utf-8",
    "page.js": "text/javascript; charset=utf-8",
    "sketch.css": "text/css; charset=utf-8",
}
LARGEST_REQUEST = 1 << 20  # bytes
LOOPBACK_NAMES = {"localhost", "127.0.0.1", "::1"}
SOCKET_PATH = "/socket"
# index.html names the WebSocket's address here when the server offers one.
SOCKET_META = '<meta name="ovralis-socket" content="">'


def static_text(name: str) -> str:
    return resources.files("ovralis").joinpath("static").joinpath(name).read_text(encoding="utf-8")


def read_request(text: bytes) -> dict[str, Any] | str:
    """The request in `text`, or what is wrong with it."""
    try:
        request = json.loads(text)
    except ValueError:
        return "the request is not JSON"
    if not isinstance(request, dict):
        return "the request must be a JSON object"
    return request


def write_atomically(path: Path, text: str) -> None:
    """Writes through a temporary file in the same directory and renames it over `path`,
    so a crash leaves either the old document or the new one, never half of one."""
    handle, temporary = tempfile.mkstemp(dir=path.parent, prefix=f".{path.name}.", suffix=".tmp")
    try:
        with os.fdopen(handle, "w", encoding="utf-8") as file:
            file.write(text)
            file.flush()
            os.fsync(file.fileno())
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise


class OwnerThread:
    """Runs calls on the thread that owns the sketch, for callers on any thread."""

    def __init__(self) -> None:
        self._calls: queue.Queue[tuple[Callable[[], object], Future] | None] = queue.Queue()

    def call(self, function: Callable[[], object]) -> object:
        future: Future = Future()
        self._calls.put((function, future))
        return future.result()

    def run(self) -> None:
        """Answers calls until stop(); run this on the owning thread."""
        while (item := self._calls.get()) is not None:
            function, future = item
            try:
                future.set_result(function())
            except BaseException as error:
                future.set_exception(error)

    def stop(self) -> None:
        self._calls.put(None)


class SketchServer(ThreadingHTTPServer):
    """An HTTP server holding the session of one sketch document."""

    daemon_threads = True

    def __init__(self, path: Path, system: ovralis.System, host: str, port: int) -> None:
        self.path = path
        self.session = SketchSession(system, save=self.save)
        self.owner = OwnerThread()
        super().__init__((host, port), SketchRequestHandler)
        self.loopback_only = ipaddress.ip_address(str(self.server_address[0])).is_loopback

    def answer(self, request: dict[str, Any]) -> dict[str, Any]:
        """The session's reply to one request, made on the thread that owns the sketch."""
        return cast(dict[str, Any], self.owner.call(lambda: self.session.handle(request)))

    def answer_text(self, text: bytes) -> dict[str, Any]:
        request = read_request(text)
        if isinstance(request, str):
            return {"ok": False, "message": request}
        return self.answer(request)

    def serve_until_interrupted(self) -> None:
        """Accepts connections on a helper thread and answers requests on this one."""
        listener = threading.Thread(target=self.serve_forever, name="ovralis-serve", daemon=True)
        listener.start()
        try:
            self.owner.run()
        finally:
            self.shutdown()
            self.server_close()

    def save(self, document: str) -> str:
        write_atomically(self.path, document)
        return f"saved {self.path.name}"

    @property
    def url(self) -> str:
        host, port = self.socket.getsockname()[:2]
        return f"http://{host}:{port}/"


class SketchRequestHandler(BaseHTTPRequestHandler):
    server: SketchServer
    # Keep-alive: a drag sends a request per frame, and a new connection for
    # each would cost more than the answer.
    protocol_version = "HTTP/1.1"
    # A reply leaves in one write, with Nagle's algorithm off: otherwise its body
    # waits for the client's delayed acknowledgement of its headers, 40 ms a frame.
    wbufsize = 1 << 16
    disable_nagle_algorithm = True

    def do_GET(self) -> None:
        if not self.from_own_page():
            self.send_error(HTTPStatus.FORBIDDEN, "only this server's own page may ask")
            return
        if self.path == SOCKET_PATH and _serve_socket.available():
            _serve_socket.serve_socket(self, self.server.answer_text, LARGEST_REQUEST)
            return
        name = "index.html" if self.path in ("/", "/index.html") else self.path.removeprefix("/static/")
        if name not in STATIC_FILES:
            self.send_error(HTTPStatus.NOT_FOUND)
            return
        text = static_text(name)
        if name == "index.html" and _serve_socket.available():
            text = text.replace(SOCKET_META, SOCKET_META.replace('""', f'"{SOCKET_PATH}"'))
        self.respond(text.encode(), STATIC_FILES[name])

    def do_POST(self) -> None:
        if not self.from_own_page():
            self.send_error(HTTPStatus.FORBIDDEN, "only this server's own page may ask")
            return
        if self.path != "/api":
            self.send_error(HTTPStatus.NOT_FOUND)
            return
        length = int(self.headers.get("Content-Length") or 0)
        if not 0 < length <= LARGEST_REQUEST:
            self.send_error(HTTPStatus.BAD_REQUEST, "a request is one JSON object of at most 1 MiB")
            return
        request = read_request(self.rfile.read(length))
        if isinstance(request, str):
            self.send_error(HTTPStatus.BAD_REQUEST, request)
            return
        self.respond(json.dumps(self.server.answer(request)).encode(), "application/json")

    def from_own_page(self) -> bool:
        """Whether the request comes from this server's page or a client outside any page.

        A browser names the page that makes a request in its Origin header (always for a
        WebSocket and a cross-site post); the page of this server has the address the
        request was sent to. A server on loopback also wants that address to be a loopback
        name, or a site whose name was rebound to 127.0.0.1 could read and post as its own.
        """
        host = self.headers.get("Host", "")
        origin = self.headers.get("Origin")
        if origin is not None and origin != f"http://{host}":
            return False
        if not self.server.loopback_only:
            return True
        try:
            return urlsplit(f"//{host}").hostname in LOOPBACK_NAMES
        except ValueError:  # a malformed Host
            return False

    def respond(self, body: bytes, content_type: str) -> None:
        self.send_response(HTTPStatus.OK)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, format: str, *args: object) -> None:
        """Quiet: the terminal shows the address and errors only."""
