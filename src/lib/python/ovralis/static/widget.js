
// The notebook host: anywidget's model carries each request to the kernel as a
// custom message {id, request}, and the kernel answers with {id, reply}.
export default {
  render({ model, el }) {
    let lastId = 0;
    const waiting = new Map();
    const onMessage = (message) => {
      const resolve = waiting.get(message.id);
      if (!resolve) return;
      waiting.delete(message.id);
      resolve(message.reply);
    };
    model.on("msg:custom", onMessage);
    const send = (request) =>
      new Promise((resolve) => {
        lastId += 1;
        waiting.set(lastId, resolve);
        model.send({ id: lastId, request });
      });
    el.tabIndex = 0;
    // The notebook's own shortcuts come first (Notebook 7 takes Ctrl+Z for its cells before
    // the key reaches the view); Lumino leaves keys pressed inside this attribute alone.
    el.dataset.lmSuppressShortcuts = "true";
    const unmount = mountSketch(el, send, { canSave: false, keyTarget: el, height: model.get("height") });
    return () => {
      model.off("msg:custom", onMessage);
      unmount();
    };
  },
};
