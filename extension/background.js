// Holds the one native messaging port to `nbclip native-host` (the browser window with the
// toolbar band behind it) and carries the popup's and the book page's requests over it. The
// host lives as long as the port: when it stops, every request still waiting is told so, and the
// next request starts a new host.
const HOST = 'nbclip.toolbar';
let port = null;
let nextId = 1;
const waiting = new Map();  // request id -> resolve

function stoppedAnswer(why) {
  return {
    ok: false,
    stopped: true,
    error: `Nubra's host stopped (${why}). What it was doing may not have been finished; ` +
           'open the toolbar again to go on.',
  };
}

function broadcast(message) {
  chrome.runtime.sendMessage(message).catch(() => {});  // no page open: nobody to tell
}

function connect() {
  const p = chrome.runtime.connectNative(HOST);
  p.onMessage.addListener((m) => {
    if (m && typeof m.id === 'number' && waiting.has(m.id)) {
      const resolve = waiting.get(m.id);
      waiting.delete(m.id);
      resolve(m);
    } else if (m && m.ok === false && m.id === null && waiting.size) {
      // The host could not read the request's id (it was not JSON, or too large); it answers
      // requests in order, so this is the oldest one waiting.
      const [id, resolve] = waiting.entries().next().value;
      waiting.delete(id);
      resolve(m);
    } else if (m && m.event) {
      broadcast({ event: m.event, state: m.state, messages: m.messages });
    }
  });
  p.onDisconnect.addListener(() => {
    const why = (chrome.runtime.lastError && chrome.runtime.lastError.message) || 'it closed';
    if (port === p) port = null;
    for (const resolve of waiting.values()) resolve(stoppedAnswer(why));
    waiting.clear();
    broadcast({ event: 'stopped', error: stoppedAnswer(why).error });
  });
  return p;
}

function request(message) {
  if (!port) port = connect();
  const id = nextId++;
  return new Promise((resolve) => {
    waiting.set(id, resolve);
    try {
      port.postMessage({ ...message, id });
    } catch (e) {
      waiting.delete(id);
      port = null;
      resolve(stoppedAnswer(String(e.message || e)));
    }
  });
}

chrome.runtime.onMessage.addListener((m, sender, sendResponse) => {
  if (sender.id !== chrome.runtime.id || !m || m.to !== 'host') return false;
  request(m.message).then(sendResponse);
  return true;
});
