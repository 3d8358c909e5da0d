// The host of `ovralis serve`: the sketch view talking to the server over HTTP.
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

const root = document.getElementById("sketch");
mountSketch(root, post, { canSave: true, keyTarget: document });
window.ovralisSketch = root.ovralis;
