"""The WebSocket channel of `ovralis serve`: the protocol's requests over one connection.

A fetch costs Chromium about 6 ms per request on this kind of machine, however
small the answer, against about 1 ms for a WebSocket message: on a drag, that
is most of a frame. So the page opens a WebSocket at /socket and sends every
request over it, one JSON text message each, answered in order by one message.
Without the `websockets` package (the `serve` extra), /socket is not offered
and the page posts its requests to /api instead.

The connection arrives as an HTTP upgrade that http.server has already read,
on the server's thread for that connection; its request is handed on, as it
came, to websockets' sans-I/O protocol, which does the handshake and the
framing (masks, fragments, pings, the closing handshake). This module moves
the bytes between the protocol and the socket.
"""

from __future__ import annotations

import json
from collections.abc import Callable
from http.server import BaseHTTPRequestHandler
from typing import Any

try:
    from websockets.frames import Frame, Opcode
    from websockets.http11 import Request
    from websockets.protocol import State
    from websockets.server import ServerProtocol
    WEBSOCKETS = True
except ImportError:
    WEBSOCKETS = False

READ_SIZE = 1 << 16


def available() -> bool:
    """Whether the websockets package is there to carry the channel."""
    return WEBSOCKETS


def serve_socket(handler: BaseHTTPRequestHandler, answer: Callable[[bytes], dict[str, Any]],
                 largest_message: int) -> None:
    """Accepts the upgrade `handler` received and answers each message's text through
    `answer` until the page closes the connection or goes away."""
    protocol = ServerProtocol(max_size=largest_message)
    protocol.receive_data(request_text(handler))
    request = next(event for event in protocol.events_received() if isinstance(event, Request))
    response = protocol.accept(request)
    protocol.send_response(response)
    flush(handler, protocol)
    handler.close_connection = True
    if response.status_code != 101:
        return
    parts: list[bytes] = []
    while protocol.state is State.OPEN:
        data = handler.rfile.read1(READ_SIZE)
        if data:
            protocol.receive_data(data)
        else:
            protocol.receive_eof()
        for frame in protocol.events_received():
            if isinstance(frame, Frame) and frame.opcode in (Opcode.TEXT, Opcode.BINARY, Opcode.CONT):
                parts.append(bytes(frame.data))
                if frame.fin:
                    reply = answer(b"".join(parts))
                    parts.clear()
                    protocol.send_text(json.dumps(reply).encode())
        flush(handler, protocol)
        if not data:
            break


def request_text(handler: BaseHTTPRequestHandler) -> bytes:
    """The upgrade request as the client sent it: request line, headers, blank line."""
    lines = [handler.requestline, *(f"{name}: {value}" for name, value in handler.headers.items()), "", ""]
    return "\r\n".join(lines).encode("latin-1")


def flush(handler: BaseHTTPRequestHandler, protocol: ServerProtocol) -> None:
    """Writes what the protocol has to send (replies, pongs, the closing frame)."""
    for data in protocol.data_to_send():
        handler.wfile.write(data)
    handler.wfile.flush()
