"""`ovralis serve sketch.json`: the live sketch view as a local web page.

The page (static/index.html with static/sketch.js) posts each request of the
protocol in _sketch_session.py to /api as JSON and draws the reply. Connections
are served on threads of their own (a browser may hold idle ones open), but a
System belongs to the thread that created it, so every request is handed to
that thread and answered there, one at a time.
"""

from __future__ import annotations

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

import ovralis
from ovralis._sketch_session import SketchSession

# The files the page may fetch, and their content types.
STATIC_FILES = {
    "index.html": "text/html; charset=utf-8",
    "sketch.js": "text/javascript; charset=utf-8",
    "page.js": "text/javascript; charset=utf-8",
    "sketch.css": "text/css; charset=utf-8",
}
LARGEST_REQUEST = 1 << 20  # bytes


def static_text(name: str) -> str:
    return resources.files("ovralis").joinpath("static").joinpath(name).read_text(encoding="utf-8")


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
        name = "index.html" if self.path in ("/", "/index.html") else self.path.removeprefix("/static/")
        if name not in STATIC_FILES:
            self.send_error(HTTPStatus.NOT_FOUND)
            return
        self.respond(static_text(name).encode(), STATIC_FILES[name])

    def do_POST(self) -> None:
        if self.path != "/api":
            self.send_error(HTTPStatus.NOT_FOUND)
            return
        length = int(self.headers.get("Content-Length") or 0)
        if not 0 < length <= LARGEST_REQUEST:
            self.send_error(HTTPStatus.BAD_REQUEST, "a request is one JSON object of at most 1 MiB")
            return
        try:
            request = json.loads(self.rfile.read(length))
        except ValueError:
            self.send_error(HTTPStatus.BAD_REQUEST, "the request is not JSON")
            return
        if not isinstance(request, dict):
            self.send_error(HTTPStatus.BAD_REQUEST, "the request must be a JSON object")
            return
        session = self.server.session
        reply = self.server.owner.call(lambda: session.handle(request))
        self.respond(json.dumps(reply).encode(), "application/json")

    def respond(self, body: bytes, content_type: str) -> None:
        self.send_response(HTTPStatus.OK)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, format: str, *args: object) -> None:
        """Quiet: the terminal shows the address and errors only."""
