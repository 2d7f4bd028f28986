// What the popup and the book page share: requests to the host through the service worker,
// and message boxes shown as the toolbar shows them, with their caption and text.
export async function host(message) {
  const answer = await chrome.runtime.sendMessage({ to: 'host', message });
  return answer || { ok: false, error: 'no answer from the extension' };
}

// Requests one after another, so a field's text reaches the dialog before the click after it.
// While any is waiting, the page's body carries data-busy.
let chain = Promise.resolve();
let waiting = 0;
export function queued(message) {
  waiting++;
  document.body.dataset.busy = '1';
  const next = chain.then(() => host(message)).finally(() => {
    if (--waiting === 0) delete document.body.dataset.busy;
  });
  chain = next.catch(() => {});
  return next;
}

export function showMessages(area, messages) {
  for (const box of messages || []) {
    const div = document.createElement('div');
    div.className = 'messagebox';
    div.setAttribute('role', 'alertdialog');
    const caption = document.createElement('div');
    caption.className = 'caption';
    caption.textContent = box.caption;
    const text = document.createElement('div');
    text.className = 'text';
    text.textContent = box.text;
    const ok = document.createElement('button');
    ok.textContent = 'OK';
    ok.addEventListener('click', () => div.remove());
    div.append(caption, text, ok);
    area.append(div);
  }
}

export function showError(area, text) {
  area.textContent = text || '';
  area.hidden = !text;
}

// A page's start: it draws what the host holds now, then again each time the host says it changed,
// and tells when the host stopped.
export function follow(take, errorArea) {
  chrome.runtime.onMessage.addListener((m) => {
    if (m.event === 'state') take({ ok: true, state: m.state, messages: m.messages });
    if (m.event === 'stopped') showError(errorArea, m.error);
  });
  (async () => {
    take(await host({ cmd: 'state' }));
    document.body.dataset.ready = '1';
  })();
}
