// The live sketch view: draws the pictures Python sends and turns the mouse
// and keyboard into requests of the protocol described in _sketch_session.py.
// A picture comes whole or, frame by frame during a drag, as the changes to the
// elements already shown, which are then moved in place rather than redrawn.
// One front end, two hosts: the page of `ovralis serve` (page.js) and the
// notebook widget (SketchWidget), which differ only in how `send` travels.
//
// Sketch coordinates have y up; the picture maps them to pixels through the
// view {cx, cy, scale, width, height}. The root element's `ovralis` property
// (and window.ovralisSketch on a page) exposes toScreen / toSketch, so a test
// can compute where a sketch point is on the screen.

const GRAB_RADIUS = 10; // pixels from a point's centre that still grab it
const ZOOM_PER_WHEEL_PIXEL = 0.0015;
const FIT_MARGIN = 0.12; // of the view kept free around the drawing when fitting
// Requests whose outcome the message line reports even when it has nothing to say.
const EDITS = new Set(["set_dimension", "undo", "redo", "save", "end_drag"]);
const HINT = "Drag a point to move it · double-click a dimension to type a value";

const TOOLBAR = `
  <button type="button" data-action="undo" title="Undo (Ctrl+Z)">Undo</button>
  <button type="button" data-action="redo" title="Redo (Ctrl+Shift+Z)">Redo</button>
  <span class="ovralis-separator"></span>
  <button type="button" data-action="free" aria-pressed="false"
          title="Colour what is still free to move (E)">Free</button>
  <button type="button" data-action="conflicts" aria-pressed="false"
          title="Colour conflicting constraints and their groups (C)">Conflicts</button>
  <button type="button" data-action="fit" title="Fit the drawing to the view (F)">Fit</button>
  <span class="ovralis-separator" data-before="save"></span>
  <button type="button" data-action="save" title="Save the document (Ctrl+S)">Save</button>
  <span class="ovralis-status" data-status></span>`;

// Requests go out one at a time, in order. A drag or render request waiting
// behind another of its kind replaces it, so a fast mouse never builds a queue.
class RequestQueue {
  constructor(send, onReply) {
    this.send = send;
    this.onReply = onReply;
    this.waiting = [];
    this.busy = false;
  }

  // `make` builds the request when it leaves, so it carries the view of that moment.
  push(type, make) {
    const last = this.waiting[this.waiting.length - 1];
    if (last && last.type === type && (type === "drag" || type === "render")) {
      this.waiting[this.waiting.length - 1] = { type, make };
    } else {
      this.waiting.push({ type, make });
    }
    this.pump();
  }

  idle() {
    return !this.busy && this.waiting.length === 0;
  }

  async pump() {
    if (this.busy || this.waiting.length === 0) return;
    this.busy = true;
    const request = this.waiting.shift().make();
    try {
      this.onReply(request, await this.send(request));
    } catch (error) {
      console.warn("ovralis: request failed", error);
    } finally {
      this.busy = false;
      this.pump();
    }
  }
}

export function mountSketch(root, send, options = {}) {
  const canSave = options.canSave !== false;
  const keyTarget = options.keyTarget || root;
  root.classList.add("ovralis-sketch");
  root.innerHTML = `
    <div class="ovralis-toolbar">${TOOLBAR}</div>
    <div class="ovralis-canvas"></div>
    <div class="ovralis-message" data-message>${HINT}</div>
    <input class="ovralis-editor" type="text" inputmode="decimal" hidden>`;
  const canvas = root.querySelector(".ovralis-canvas");
  const statusLine = root.querySelector("[data-status]");
  const messageLine = root.querySelector("[data-message]");
  const editor = root.querySelector(".ovralis-editor");
  const button = (action) => root.querySelector(`[data-action="${action}"]`);
  if (!canSave) {
    button("save").hidden = true;
    root.querySelector('[data-before="save"]').hidden = true;
  }
  if (options.height) canvas.style.height = `${options.height}px`;

  const view = { cx: 0, cy: 0, scale: 1, width: 1, height: 1 };
  let picture = null; // the number Python gave the picture shown
  let elements = []; // the picture's elements in document order, as changes number them
  let fitted = false;
  let gesture = null; // {kind: "drag", point} or {kind: "pan", x, y}
  let editing = null; // index of the constraint being edited

  // ---- coordinates ----

  function measure() {
    view.width = Math.max(1, Math.round(canvas.clientWidth));
    view.height = Math.max(1, Math.round(canvas.clientHeight));
  }
  function toScreen(x, y) {
    const box = canvas.getBoundingClientRect();
    return {
      x: box.left + view.width / 2 + (x - view.cx) * view.scale,
      y: box.top + view.height / 2 - (y - view.cy) * view.scale,
    };
  }
  function toSketch(clientX, clientY) {
    const box = canvas.getBoundingClientRect();
    return {
      x: view.cx + (clientX - box.left - view.width / 2) / view.scale,
      y: view.cy - (clientY - box.top - view.height / 2) / view.scale,
    };
  }
  function fit(bounds) {
    const [x0, y0, x1, y1] = bounds;
    const spanX = Math.max(x1 - x0, 1e-9);
    const spanY = Math.max(y1 - y0, 1e-9);
    const usable = 1 - 2 * FIT_MARGIN;
    view.scale = Math.min((view.width * usable) / spanX, (view.height * usable) / spanY);
    view.cx = (x0 + x1) / 2;
    view.cy = (y0 + y1) / 2;
  }
  const currentView = () => ({ ...view });

  // ---- talking to Python ----

  // A whole picture replaces the one shown; changes move its elements in place:
  // each is [element number, name, value, name, value, ...], "#text" naming the text.
  function showPicture(reply) {
    if (reply.svg) {
      canvas.innerHTML = reply.svg;
      elements = Array.from(canvas.querySelectorAll("svg, svg *"));
    } else if (reply.changes) {
      for (const [number, ...values] of reply.changes) {
        const element = elements[number];
        for (let i = 0; i < values.length; i += 2) {
          if (values[i] === "#text") element.textContent = values[i + 1];
          else element.setAttribute(values[i], values[i + 1]);
        }
      }
    }
    if (reply.picture !== undefined) picture = reply.picture;
  }

  function showReply(request, reply) {
    if (!fitted && reply.bounds) {
      fitted = true;
      fit(reply.bounds);
      ask("render");
      return;
    }
    showPicture(reply);
    statusLine.textContent = reply.status;
    statusLine.dataset.condition = reply.condition;
    button("undo").disabled = reply.undo === 0;
    button("redo").disabled = reply.redo === 0;
    button("free").setAttribute("aria-pressed", String(reply.free));
    button("conflicts").setAttribute("aria-pressed", String(reply.conflicts));
    if (reply.message || EDITS.has(request.type)) {
      messageLine.textContent = reply.message;
      messageLine.classList.toggle("ovralis-refused", !reply.ok);
    }
    if (request.type === "set_dimension") {
      if (reply.ok) closeEditor();
      else editor.classList.add("ovralis-refused");
    }
  }
  const queue = new RequestQueue(send, (request, reply) => showReply(request, reply));
  const ask = (type, fields = {}) =>
    queue.push(type, () => ({ type, ...fields, view: currentView(), have: picture }));

  // ---- points under the mouse ----

  function pointCentre(element) {
    if (element.tagName === "circle") {
      return { x: Number(element.getAttribute("cx")), y: Number(element.getAttribute("cy")) };
    }
    return {
      x: Number(element.getAttribute("x")) + Number(element.getAttribute("width")) / 2,
      y: Number(element.getAttribute("y")) + Number(element.getAttribute("height")) / 2,
    };
  }
  // The nearest point within reach: {index, fixed}, or null.
  function pointNear(clientX, clientY) {
    const box = canvas.getBoundingClientRect();
    const x = clientX - box.left;
    const y = clientY - box.top;
    let best = null;
    let bestDistance = GRAB_RADIUS;
    for (const element of canvas.querySelectorAll("[data-point]")) {
      const c = pointCentre(element);
      const distance = Math.hypot(c.x - x, c.y - y);
      if (distance <= bestDistance) {
        bestDistance = distance;
        best = { index: Number(element.dataset.point), fixed: element.tagName !== "circle" };
      }
    }
    return best;
  }

  // ---- mouse ----

  canvas.addEventListener("pointerdown", (event) => {
    if (event.button !== 0) return;
    keyTarget.focus?.({ preventScroll: true });
    const point = pointNear(event.clientX, event.clientY);
    canvas.setPointerCapture(event.pointerId);
    if (point && !point.fixed) {
      gesture = { kind: "drag", point: point.index };
      root.classList.add("ovralis-dragging");
      ask("begin_drag", { point: point.index });
    } else {
      gesture = { kind: "pan", x: event.clientX, y: event.clientY };
      root.classList.add("ovralis-panning");
    }
    event.preventDefault();
  });

  canvas.addEventListener("pointermove", (event) => {
    if (!gesture) {
      const point = pointNear(event.clientX, event.clientY);
      canvas.classList.toggle("ovralis-over-point", Boolean(point && !point.fixed));
      return;
    }
    if (gesture.kind === "drag") {
      const target = toSketch(event.clientX, event.clientY);
      ask("drag", { point: gesture.point, x: target.x, y: target.y });
    } else {
      view.cx -= (event.clientX - gesture.x) / view.scale;
      view.cy += (event.clientY - gesture.y) / view.scale;
      gesture.x = event.clientX;
      gesture.y = event.clientY;
      ask("render");
    }
  });

  function endGesture() {
    if (gesture && gesture.kind === "drag") ask("end_drag");
    gesture = null;
    root.classList.remove("ovralis-dragging", "ovralis-panning");
  }
  canvas.addEventListener("pointerup", endGesture);
  canvas.addEventListener("pointercancel", endGesture);

  canvas.addEventListener("wheel", (event) => {
    event.preventDefault();
    const anchor = toSketch(event.clientX, event.clientY);
    view.scale *= Math.exp(-event.deltaY * ZOOM_PER_WHEEL_PIXEL);
    const box = canvas.getBoundingClientRect();
    view.cx = anchor.x - (event.clientX - box.left - view.width / 2) / view.scale;
    view.cy = anchor.y + (event.clientY - box.top - view.height / 2) / view.scale;
    ask("render");
  }, { passive: false });

  // ---- typing a dimension ----

  // The constraint marks under the mouse. The canvas captures the pointer while a
  // button is down, so the event's own target is the canvas, not the mark.
  function markAt(clientX, clientY) {
    for (const element of document.elementsFromPoint(clientX, clientY)) {
      const mark = element.closest("[data-constraint]");
      if (mark && canvas.contains(mark)) return mark;
    }
    return null;
  }

  canvas.addEventListener("dblclick", (event) => {
    const mark = markAt(event.clientX, event.clientY);
    if (!mark) return;
    const text = mark.querySelector("text");
    if (!text) return; // a glyph: nothing to type
    editing = Number(mark.dataset.constraint);
    const shown = text.textContent.match(/-?[0-9.]+(e-?[0-9]+)?/);
    editor.value = shown ? shown[0] : "";
    const box = root.getBoundingClientRect();
    editor.style.left = `${event.clientX - box.left - 40}px`;
    editor.style.top = `${event.clientY - box.top - 14}px`;
    editor.hidden = false;
    editor.classList.remove("ovralis-refused");
    editor.focus();
    editor.select();
  });

  function closeEditor() {
    editor.hidden = true;
    editing = null;
    keyTarget.focus?.({ preventScroll: true });
  }
  editor.addEventListener("keydown", (event) => {
    event.stopPropagation();
    if (event.key === "Escape") closeEditor();
    if (event.key !== "Enter") return;
    const value = Number(editor.value.trim());
    if (editor.value.trim() === "" || !Number.isFinite(value)) {
      messageLine.textContent = "type a number";
      messageLine.classList.add("ovralis-refused");
      editor.classList.add("ovralis-refused");
      return;
    }
    ask("set_dimension", { constraint: editing, value });
  });
  editor.addEventListener("blur", () => {
    if (!editor.hidden && !editor.classList.contains("ovralis-refused")) closeEditor();
  });

  // ---- buttons and keys ----

  const actions = {
    undo: () => ask("undo"),
    redo: () => ask("redo"),
    free: () => ask("highlight", { free: button("free").getAttribute("aria-pressed") !== "true" }),
    conflicts: () =>
      ask("highlight", { conflicts: button("conflicts").getAttribute("aria-pressed") !== "true" }),
    fit: () => {
      fitted = false;
      ask("render");
    },
    save: () => ask("save"),
  };
  root.querySelector(".ovralis-toolbar").addEventListener("click", (event) => {
    const action = event.target.closest?.("[data-action]")?.dataset.action;
    if (action) actions[action]();
  });

  function onKey(event) {
    const command = event.ctrlKey || event.metaKey;
    const key = event.key.toLowerCase();
    let action = null;
    if (command && key === "z") action = event.shiftKey ? "redo" : "undo";
    else if (command && key === "y") action = "redo";
    else if (command && key === "s" && canSave) action = "save";
    else if (!command && !event.altKey) action = { e: "free", c: "conflicts", f: "fit" }[key];
    if (!action) return;
    event.preventDefault();
    event.stopPropagation();
    actions[action]();
  }
  keyTarget.addEventListener("keydown", onKey);

  // ---- size ----

  const resize = new ResizeObserver(() => {
    measure();
    ask("render");
  });
  resize.observe(canvas);
  measure();
  queue.push("render", () => ({ type: "render" })); // no view yet: the reply's bounds fit one

  const api = { toScreen, toSketch, view, idle: () => queue.idle() };
  root.ovralis = api;
  return () => {
    resize.disconnect();
    keyTarget.removeEventListener("keydown", onKey);
    root.innerHTML = "";
  };
}
