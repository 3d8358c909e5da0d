"""`ovralis serve` seen from a client without a browser: the WebSocket and the
posts carry the same protocol, and only the server's own page is answered."""

import http.client
import json
import os
import re
import subprocess
import sys

import pytest
from websockets.exceptions import InvalidStatus
from websockets.sync.client import connect

from sketch_views import triangle

VIEW = {"cx": 1.0, "cy": 1.0, "scale": 50.0, "width": 400, "height": 300}


@pytest.fixture
def address(tmp_path):
    """host:port of `ovralis serve` on a triangle."""
    path = tmp_path / "sketch.json"
    path.write_text(triangle().to_json())
    process = subprocess.Popen([sys.executable, "-m", "ovralis", "serve", str(path), "--port", "0"],
                               stdout=subprocess.PIPE, text=True, env=dict(os.environ, PYTHONUNBUFFERED="1"))
    try:
        yield re.search(r"http://(127\.0\.0\.1:\d+)/", process.stdout.readline()).group(1)
    finally:
        process.terminate()
        process.wait(timeout=10)
        process.stdout.close()


def post(address, body, headers=()):
    """(status, reply) of one post to /api."""
    connection = http.client.HTTPConnection(address, timeout=10)
    try:
        connection.request("POST", "/api", body=body, headers=dict(headers))
        response = connection.getresponse()
        text = response.read()
        return response.status, json.loads(text) if response.status == 200 else None
    finally:
        connection.close()


def test_a_message_and_a_post_get_the_same_reply(address):
    request = json.dumps({"type": "render", "view": VIEW})
    with connect(f"ws://{address}/socket", open_timeout=10) as socket:
        socket.send(request)
        over_socket = json.loads(socket.recv(timeout=10))
    status, posted = post(address, request)
    assert status == 200
    assert over_socket["ok"] and over_socket["svg"] == posted["svg"] and over_socket["status"] == posted["status"]


@pytest.mark.parametrize("message, words", [
    ("not json", "the request is not JSON"),
    ("[1, 2]", "the request must be a JSON object"),
    (json.dumps({"type": "nothing"}), "unknown request 'nothing'"),
])
def test_the_socket_answers_a_bad_message_in_words_and_stays_open(address, message, words):
    with connect(f"ws://{address}/socket", open_timeout=10) as socket:
        socket.send(message)
        assert json.loads(socket.recv(timeout=10))["message"] == words
        # A message in fragments is read whole.
        socket.send(iter(['{"type": "render", ', f'"view": {json.dumps(VIEW)}}}']))
        assert json.loads(socket.recv(timeout=10))["ok"]


@pytest.mark.parametrize("headers, status", [
    ({}, 200),
    ({"Origin": "http://{address}"}, 200),
    ({"Host": "localhost:{port}"}, 200),
    ({"Origin": "http://evil.example"}, 403),
    ({"Origin": "null"}, 403),
    ({"Host": "evil.example:{port}", "Origin": "http://evil.example:{port}"}, 403),  # a rebound name
    ({"Host": "[::1"}, 403),
], ids=["no page", "own page", "localhost", "other site", "opaque page", "rebound name", "malformed host"])
def test_posts_are_answered_for_the_servers_own_page_only(address, headers, status):
    port = address.rpartition(":")[2]
    filled = {name: value.format(address=address, port=port) for name, value in headers.items()}
    assert post(address, json.dumps({"type": "undo"}), filled)[0] == status


def test_a_socket_from_another_site_is_refused(address):
    with pytest.raises(InvalidStatus) as refusal:
        connect(f"ws://{address}/socket", origin="http://evil.example", open_timeout=10)
    assert refusal.value.response.status_code == 403
