// The toolbar button's popup is the band: the book combo box and the band's buttons, drawn from
// what the host's band window holds. Picking a book and pressing a button are done on the band
// window itself, as a person's click would; message boxes come back and are shown here.
import { follow, host, queued, showError, showMessages } from './common.js';

const ADD_PAGE = 1000;
const books = document.getElementById('books');
const buttons = document.getElementById('buttons');
const errorArea = document.getElementById('error');
const messages = document.getElementById('messages');
// A test opens the popup as a page of its own and names the tab it works on.
const tabParam = new URLSearchParams(location.search).get('tab');

function render(state) {
  books.replaceChildren();
  state.books.forEach((title, row) => {
    const option = document.createElement('option');
    option.value = String(row);
    option.textContent = title;
    books.append(option);
  });
  books.selectedIndex = state.selected;
  // The buttons are made once and then kept, so a click is not lost to a redraw.
  const same = [...buttons.children].map((b) => b.dataset.command).join() ===
      state.buttons.map((b) => String(b.command)).join();
  if (!same) {
    buttons.replaceChildren();
    for (const b of state.buttons) {
      const button = document.createElement('button');
      button.className = 'tb';
      button.dataset.command = String(b.command);
      const image = document.createElement('span');
      image.style.backgroundPosition = `${-80 * b.image}px 0`;
      button.append(image);
      button.addEventListener('click', () => press(b.command));
      buttons.append(button);
    }
  }
  state.buttons.forEach((b, i) => {
    const button = buttons.children[i];
    button.title = b.tooltip;
    button.setAttribute('aria-label', b.tooltip);
    button.disabled = !b.enabled;
  });
}

// Shows an answer: its error, or its state and message boxes. True when it was not refused.
function take(answer) {
  if (!answer.ok) {
    showError(errorArea, answer.error);
    return false;
  }
  showError(errorArea, '');
  render(answer.state);
  showMessages(messages, answer.messages);
  return true;
}

async function shownTab() {
  if (tabParam) return chrome.tabs.get(Number(tabParam));
  const [tab] = await chrome.tabs.query({ active: true, currentWindow: true });
  return tab;
}

// The page as the browser has it now: its address and its DOM after its scripts ran.
async function livePage() {
  const tab = await shownTab();
  if (!tab) throw new Error('no page is shown');
  const [result] = await chrome.scripting.executeScript({
    target: { tabId: tab.id },
    func: () => {
      const type = document.doctype ? new XMLSerializer().serializeToString(document.doctype) : '';
      return { url: location.href, html: type + document.documentElement.outerHTML };
    },
  });
  return result.result;
}

async function press(command) {
  document.body.dataset.pressing = '1';
  const started = performance.now();
  messages.replaceChildren();
  try {
    if (command === ADD_PAGE) {
      let page;
      try {
        page = await livePage();
      } catch (e) {
        showError(errorArea, `This page cannot be read: ${e.message || e}`);
        return;
      }
      // How long each step took, for whoever wants to know where the time goes.
      document.body.dataset.readMs = String(Math.round(performance.now() - started));
      if (!take(await queued({ cmd: 'page', url: page.url, html: page.html }))) return;
      document.body.dataset.pageMs = String(Math.round(performance.now() - started));
    }
    const answer = await queued({ cmd: 'press', command });
    if (take(answer) && answer.state.dialogs.length)
      chrome.tabs.create({ url: chrome.runtime.getURL('manage.html') });
  } finally {
    document.body.dataset.lastMs = String(Math.round(performance.now() - started));
    delete document.body.dataset.pressing;
  }
}

books.addEventListener('change', async () => {
  take(await queued({ cmd: 'select', row: books.selectedIndex }));
});

follow(take, errorArea);
