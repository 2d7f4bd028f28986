// What the popup and the book page share: requests to the host through the service worker,
// and message boxes shown as the toolbar shows them, with their caption and text.
export async function host(message) {
  const answer = await chrome.runtime.sendMessage({ to: 'host', message });
  return answer || { ok: false, error: 'no answer from the extension' };
}

// Requests one after another, so a field's text reaches the dialog before the click after it.
let chain = Promise.resolve();
export function queued(message) {
  const next = chain.then(() => host(message));
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
