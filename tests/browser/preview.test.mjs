// The sample book's preview in a real browser: converts examples/sample into a book, writes its
// preview with `nbclip view`, loads it in headless Chromium and checks what a person sees, read
// back from the rendered page: the text in reading order, the ruby reading above its base,
// buttons that jump to their targets, images loaded at their sizes, colours applied.
//   node preview.test.mjs NBCLIP SOURCE_DIR   (NUBRA_COMMON_DIR names the designs' folder)
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { launchChromium } from './chromium.mjs';

const [nbclip, source] = process.argv.slice(2);
if (!nbclip || !source) {
  console.error('usage: node preview.test.mjs NBCLIP SOURCE_DIR');
  process.exit(2);
}

let passed = 0;
let failed = 0;
function check(name, ok, detail = '') {
  if (ok) {
    passed++;
  } else {
    failed++;
    console.log(`FAIL ${name}${detail ? ': ' + detail : ''}`);
  }
}

const work = mkdtempSync(join(tmpdir(), 'nubra-preview-test-'));
const env = { ...process.env, TMPDIR: work, XDG_DATA_HOME: join(work, 'data') };
const book = join(work, 'sample.nbk');
const html = join(work, 'sample.html');
execFileSync(nbclip, ['convert', join(source, 'examples/sample/index.html'), '-o', book,
  '--author', 'Nubra', '--start-comment', 'NBK-START', '--end-comment', 'NBK-END',
  '--except-start', 'NBK-SKIP', '--except-end', '/NBK-SKIP'], { env, stdio: 'pipe' });
execFileSync(nbclip, ['view', book, '-o', html], { env, stdio: 'pipe' });

const browser = await launchChromium();
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 700, height: 500 });
  const foreign = [];
  page.on('request', (r) => {
    const url = r.url();
    if (!url.startsWith('data:') && url !== pathToFileURL(html).href) foreign.push(url);
  });
  await page.goto(pathToFileURL(html).href, { waitUntil: 'load' });
  check('the preview loads nothing from outside itself', foreign.length === 0, foreign.join(' '));

  // The rendered box of the first occurrence of a phrase in the book's page (not the cover or
  // the contents), with the computed style of the element that holds it.
  const find = (phrase) => page.evaluate((phrase) => {
    const section = document.querySelector('section.nbk-page[id^="p"]');
    const walker = document.createTreeWalker(section, NodeFilter.SHOW_TEXT);
    for (let node; (node = walker.nextNode());) {
      const at = node.data.indexOf(phrase);
      if (at < 0) continue;
      const range = document.createRange();
      range.setStart(node, at);
      range.setEnd(node, at + phrase.length);
      const r = range.getClientRects()[0];
      const style = getComputedStyle(node.parentElement);
      return { top: r.top + scrollY, left: r.left, bottom: r.bottom + scrollY, right: r.right,
               color: style.color, background: style.backgroundColor,
               weight: style.fontWeight, fontStyle: style.fontStyle,
               fontSize: parseFloat(style.fontSize), tag: node.parentElement.tagName };
    }
    return null;
  }, phrase);

  // Reading order: each phrase below the one before, or on its line and to its right.
  const order = ['京都の旅', '寺院の章へ', '京都は千年以上', 'Kyoto was the capital', '太字の言葉',
    '赤い文字', 'italic words', 'があります', '旅程 Itinerary', '一日目', '二日目', '三日目',
    '場所 Place', '時間 Time', '清水寺 2時間', '金閣寺 1時間', '寺院 Temples', 'は東山にある寺',
    'marks the main hall', 'Notes are shown', '背景色のある文', '先頭に戻る'];
  let last = null;
  for (const phrase of order) {
    const box = await find(phrase);
    check(`"${phrase}" is shown`, box !== null);
    if (!box) continue;
    if (last) {
      const below = box.top >= last.box.bottom - 2;
      const sameLineRight = Math.abs(box.top - last.box.top) < 4 && box.left >= last.box.right - 1;
      check(`"${phrase}" comes after "${last.phrase}"`, below || sameLineRight,
            JSON.stringify({ box, last: last.box }));
    }
    last = { phrase, box };
  }
  const shown = await page.evaluate(() => document.body.innerText);
  for (const left of ['Site navigation', 'advertisement', 'Footer']) {
    check(`"${left}" is not in the book`, !shown.includes(left));
  }
  check('nothing is marked as not shown',
        (await page.$$eval('.nbk-mark', (m) => m.length)) === 0);

  // Ruby: the reading sits above its base, smaller, and across it.
  const ruby = await page.evaluate(() => {
    const ruby = document.querySelector('section.nbk-page[id^="p"] ruby');
    if (!ruby) return null;
    const box = (node) => {
      const range = document.createRange();
      range.selectNodeContents(node);
      const r = range.getClientRects()[0];
      return { top: r.top, bottom: r.bottom, left: r.left, right: r.right,
               fontSize: parseFloat(getComputedStyle(node.parentElement).fontSize) };
    };
    const rt = ruby.querySelector('rt');
    const baseText = [...ruby.childNodes].filter((n) => n !== rt).map((n) => n.textContent).join('');
    const baseNode = document.createTreeWalker(ruby, NodeFilter.SHOW_TEXT).nextNode();
    return { baseText, readingText: rt && rt.textContent, base: box(baseNode),
             reading: rt && box(rt.firstChild.firstChild || rt.firstChild) };
  });
  check('the ruby has base 清水寺 and reading きよみずでら in <rt>',
        ruby && ruby.baseText === '清水寺' && ruby.readingText === 'きよみずでら',
        JSON.stringify(ruby));
  const base = ruby && ruby.base;
  const reading = ruby && ruby.reading;
  if (base && reading) {
    check('the ruby reading is above its base', reading.bottom <= base.top + 2,
          JSON.stringify({ base, reading }));
    check('the ruby reading is smaller than its base', reading.fontSize < base.fontSize);
    check('the ruby reading spans its base',
          reading.left < base.right && reading.right > base.left);
  }

  // Colours, weight and slant as the book's text attributes say.
  const colours = [
    ['赤い文字', 'color', 'rgb(255, 0, 0)'],
    ['Notes are shown', 'color', 'rgb(139, 0, 0)'],
    ['背景色のある文', 'background', 'rgb(255, 255, 224)'],
    ['Kyoto was the capital', 'color', 'rgb(34, 34, 34)'],
    ['寺院の章へ', 'color', 'rgb(0, 0, 238)'],
    ['太字の言葉', 'weight', '700'],
    ['italic words', 'fontStyle', 'italic'],
  ];
  for (const [phrase, key, want] of colours) {
    const box = await find(phrase);
    check(`"${phrase}" has ${key} ${want}`, box && box[key] === want, box && box[key]);
  }
  const pageStyle = await page.$eval('section.nbk-page[id^="p"]', (s) => {
    const c = getComputedStyle(s);
    return { background: c.backgroundColor, width: s.getBoundingClientRect().width };
  });
  check('the page is the design\'s white, 600 wide', pageStyle.background === 'rgb(255, 255, 255)' &&
        Math.round(pageStyle.width) === 600, JSON.stringify(pageStyle));
  const rule = await page.$eval('.nbk-rule', (r) => {
    const c = getComputedStyle(r);
    return `${c.borderTopStyle} ${c.borderTopWidth}`;
  });
  check('the ruled line is dashed, 3 wide', rule === 'dashed 3px', rule);

  // Images: every one loaded, each at its size.
  const images = await page.$$eval('img', (imgs) => imgs.map((i) => {
    const r = i.getBoundingClientRect();
    return { ok: i.complete && i.naturalWidth > 0, size: `${r.width}x${r.height}`,
             natural: `${i.naturalWidth}x${i.naturalHeight}` };
  }));
  check('four images are shown', images.length === 4, JSON.stringify(images));
  check('every image loaded at its own size',
        images.every((i) => i.ok && i.size === i.natural), JSON.stringify(images));
  check('the figure, icons and dot have their sizes',
        JSON.stringify(images.map((i) => i.size)) ===
        JSON.stringify(['96x64', '16x16', '16x16', '8x8']), JSON.stringify(images));

  // Buttons and the contents jump to their targets: the target comes to the top of the window.
  const jumps = [
    ['寺院の章へ (jump to the temples)', '寺院 Temples'],
    ['先頭に戻る (back to the top)', '京都の旅 — A Trip to Kyoto'],
  ];
  for (const [button, target] of jumps) {
    await page.evaluate((button) => {
      const link = [...document.querySelectorAll('a.nbk-button')]
        .find((a) => a.textContent === button);
      link.scrollIntoView();
      link.click();
    }, button);
    await new Promise((r) => setTimeout(r, 100));
    // At the top of the window, or in view when the window cannot scroll further.
    const where = await page.evaluate((target) => {
      const block = [...document.querySelectorAll('.nbk-block')]
        .find((b) => b.textContent === target);
      const atEnd = scrollY + innerHeight >= document.documentElement.scrollHeight - 1;
      return block && { top: block.getBoundingClientRect().top, atEnd, height: innerHeight,
                        jumped: location.hash === '#' + block.id };
    }, target);
    check(`the button "${button}" jumps to "${target}"`,
          where && where.jumped && (Math.abs(where.top) < 2 || (where.atEnd && where.top >= 0 &&
                                                where.top < where.height)),
          JSON.stringify(where));
  }
  await page.evaluate(() => document.querySelector('.nbk-toc a').click());
  await new Promise((r) => setTimeout(r, 100));
  const pageTop = await page.$eval('section.nbk-page[id^="p"]', (s) => s.getBoundingClientRect().top);
  check('the contents entry jumps to its page', Math.abs(pageTop) < 2, `page at ${pageTop}`);
} finally {
  await browser.close();
  rmSync(work, { recursive: true, force: true });
}

console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
