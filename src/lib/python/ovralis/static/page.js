// The host of `ovralis serve`: the sketch view talking to the server.
//
// Requests travel over a WebSocket when the server offers one (it names its
// address in the page's "ovralis-socket" meta element): a fetch costs
// the browser several milliseconds each, most of a frame during a drag. The
// view sends one request at a time, so each message that arrives answers the
// oldest request still waiting. Without the socket (or once it closes),
// requests are posted to /api.
import { mountSketch } from "./sketch.js";

async function post(request) {
  const response = await fetch("/api", {
    method: "POST",
    headers: { "Content-Type": "application/json" },
    body: JSON.stringify(request),
  });
  if (!response.ok) throw new Error(`${response.status} ${response.statusText}`);
  return response.json();
}

// Resolves to a send function over a WebSocket, or to null where none opens.
function openSocket(path) {
  return new Promise((resolve) => {
    if (!path) {
      resolve(null);
      return;
    }
    const socket = new WebSocket(`ws://${location.host}${path}`);
    const waiting = [];
    let open = false;
    socket.onopen = () => {
      open = true;
      resolve((request) => new Promise((answer, fail) => {
        if (!open) {
          post(request).then(answer, fail);
          return;
        }
        waiting.push({ answer, fail });
        socket.send(JSON.stringify(request));
      }));
    };
    socket.onmessage = (event) => waiting.shift()?.answer(JSON.parse(event.data));
    socket.onclose = () => {
      open = false;
      resolve(null);
      for (const { fail } of waiting.splice(0)) fail(new Error("the connection to the server closed"));
    };
  });
}

const socketPath = document.querySelector('meta[name="ovralis-socket"]').content;
const send = (await openSocket(socketPath)) || post;
const root = document.getElementById("sketch");
mountSketch(root, send, { canSave: true, keyTarget: document });
window.ovralisSketch = root.ovralis;
