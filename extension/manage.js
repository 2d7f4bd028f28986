// The book management dialogs as the host's window system holds them: each control where the
// dialog's template puts it, with its text, rows and selection. Every click, typed text and
// menu choice goes back to the host as the person's action on that control, so the dialogs' own
// code does the work; what the dialogs then hold is drawn again.
import { follow, host, queued, showError, showMessages } from './common.js';

const IDOK = 1;
const IDCANCEL = 2;
const BS_TYPEMASK = 0xf;
const BS_GROUPBOX = 0x7;
const ES_READONLY = 0x800;
const dialogsArea = document.getElementById('dialogs');
const errorArea = document.getElementById('error');
const messages = document.getElementById('messages');
let front = null;  // the dialog in front, as last drawn
const sent = new Map();  // control id -> the text last sent for it

function place(element, c) {
  Object.assign(element.style, {
    left: `${c.x}px`, top: `${c.y}px`, width: `${c.width}px`, height: `${c.height}px`,
  });
  element.dataset.id = String(c.id);
  if (!c.visible) element.hidden = true;
}

async function act(message) {
  if (!front) return;
  take(await queued({ ...message, dialog: front.dialog }));
}

function closeMenu() {
  document.querySelectorAll('.menu').forEach((m) => m.remove());
}

function showMenu(control, row, menu, x, y) {
  closeMenu();
  if (!menu || !menu.items.length) return;
  const div = document.createElement('div');
  div.className = 'menu';
  div.setAttribute('role', 'menu');
  Object.assign(div.style, { left: `${x}px`, top: `${y}px` });
  for (const item of menu.items) {
    const entry = document.createElement('div');
    entry.setAttribute('role', 'menuitem');
    entry.textContent = item.text.replace(/&(.)/g, '$1');
    entry.dataset.command = String(item.id);
    const disabled = (item.flags & 0x3) !== 0;  // MF_GRAYED, MF_DISABLED
    if (disabled) entry.className = 'disabled';
    entry.addEventListener('click', (e) => {
      e.stopPropagation();
      closeMenu();
      if (!disabled) act({ cmd: 'menu', control, row, choose: item.id });
    });
    div.append(entry);
  }
  document.body.append(div);
}

function listView(c) {
  const ul = document.createElement('ul');
  ul.className = 'listview';
  ul.setAttribute('role', 'listbox');
  c.rows.forEach((text, row) => {
    const li = document.createElement('li');
    li.textContent = text;
    li.setAttribute('role', 'option');
    if (c.selected.includes(row)) li.className = 'selected';
    li.addEventListener('click', (e) => {
      e.stopPropagation();
      act({ cmd: 'pick', control: c.id, row });
    });
    li.addEventListener('contextmenu', async (e) => {
      e.preventDefault();
      e.stopPropagation();
      const { clientX, clientY } = e;
      // The row's own menu, as the dialog builds it for that row; nothing is chosen yet.
      const answer = await queued({ cmd: 'menu', dialog: front.dialog, control: c.id, row, choose: 0 });
      take(answer);
      if (answer.ok) showMenu(c.id, row, answer.menu, clientX, clientY);
    });
    ul.append(li);
  });
  ul.addEventListener('click', () => act({ cmd: 'pick', control: c.id, row: -1 }));
  return ul;
}

function controlOf(c) {
  let e;
  if (c.class === 'button' && (c.style & BS_TYPEMASK) === BS_GROUPBOX) {
    e = document.createElement('fieldset');
    const legend = document.createElement('legend');
    legend.textContent = c.text.replace(/&(.)/g, '$1');
    e.append(legend);
  } else if (c.class === 'button') {
    e = document.createElement('button');
    e.textContent = c.text.replace(/&(.)/g, '$1');
    e.addEventListener('click', () => act({ cmd: 'click', control: c.id }));
  } else if (c.class === 'edit') {
    e = document.createElement('input');
    e.value = c.text;
    e.readOnly = (c.style & ES_READONLY) !== 0;
    e.addEventListener('change', () => {
      sent.set(c.id, e.value);
      act({ cmd: 'type', control: c.id, text: e.value });
    });
  } else if (c.class === 'combobox') {
    e = document.createElement('select');
    c.rows.forEach((text, row) => {
      const option = document.createElement('option');
      option.value = String(row);
      option.textContent = text;
      e.append(option);
    });
    e.selectedIndex = c.selected;
    e.addEventListener('change', () => act({ cmd: 'pick', control: c.id, row: e.selectedIndex }));
  } else if (c.class === 'syslistview32') {
    e = listView(c);
  } else {
    e = document.createElement('span');
    e.textContent = c.text.replace(/&(.)/g, '$1');
  }
  if (!c.enabled) e.disabled = true;
  place(e, c);
  return e;
}

function render(state) {
  // What the person is in the middle of (the field with the focus, and what is typed there but
  // not yet sent) survives the redraw.
  const focused = document.activeElement && document.activeElement.closest('.dialog') &&
    { dialog: front && front.dialog, id: document.activeElement.dataset.id,
      value: document.activeElement.value,
      edited: document.activeElement.tagName === 'INPUT' &&
        sent.get(Number(document.activeElement.dataset.id)) !== document.activeElement.value };
  closeMenu();
  dialogsArea.replaceChildren();
  const before = front && front.dialog;
  front = state.dialogs.length ? state.dialogs[state.dialogs.length - 1] : null;
  if (!front || front.dialog !== before) sent.clear();
  for (const d of state.dialogs) {
    const div = document.createElement('div');
    div.className = d === front ? 'dialog' : 'dialog behind';
    div.dataset.caption = d.caption;
    div.setAttribute('role', 'dialog');
    div.style.width = `${d.width}px`;
    const title = document.createElement('div');
    title.className = 'title';
    title.textContent = d.caption;
    const client = document.createElement('div');
    client.className = 'client';
    client.style.height = `${d.height}px`;
    client.append(...d.controls.map(controlOf));
    div.append(title, client);
    dialogsArea.append(div);
  }
  document.title = front ? front.caption : '書籍の管理';
  document.body.dataset.open = String(state.dialogs.length);
  if (!front) dialogsArea.textContent = 'The book management dialog is closed.';
  if (focused && front && focused.dialog === front.dialog) {
    const again = dialogsArea.querySelector(`.dialog:last-child [data-id="${focused.id}"]`);
    if (again) {
      if (focused.edited && !again.readOnly) again.value = focused.value;
      again.focus();
    }
  }
}

function take(answer) {
  if (!answer.ok) {
    showError(errorArea, answer.error);
    return;
  }
  showError(errorArea, '');
  messages.replaceChildren();
  showMessages(messages, answer.messages);
  render(answer.state);
}

document.addEventListener('click', closeMenu);
document.addEventListener('keydown', (e) => {
  if (!front || (e.key !== 'Enter' && e.key !== 'Escape')) return;
  // Enter and Escape are the dialog's default button and its Cancel.
  if (e.target instanceof HTMLInputElement) e.target.dispatchEvent(new Event('change'));
  e.preventDefault();
  act({ cmd: 'click', control: e.key === 'Enter' ? IDOK : IDCANCEL });
});

follow(take, errorArea);
