// Pictures of a page and of its book's preview, for a person to compare (scripts/compare-page.sh):
// OUT-page.png (the page as the browser shows it), OUT-preview.png (the book's pages in the
// preview) and OUT-side-by-side.png (both next to each other, with captions).
//   node compare.mjs PAGE_URL PREVIEW.html OUT
import { readFileSync } from 'node:fs';
import { pathToFileURL } from 'node:url';
import { launchChromium } from './chromium.mjs';

const [pageUrl, preview, out] = process.argv.slice(2);
if (!pageUrl || !preview || !out) {
  console.error('usage: node compare.mjs PAGE_URL PREVIEW.html OUT');
  process.exit(2);
}

const browser = await launchChromium();
try {
  const tab = await browser.newPage();
  await tab.setViewport({ width: 800, height: 600 });
  await tab.goto(pageUrl, { waitUntil: 'load', timeout: 30000 });
  await tab.screenshot({ path: `${out}-page.png`, fullPage: true });

  // The preview from its first book page on: the cover and the contents are left out.
  await tab.setViewport({ width: 680, height: 600 });
  await tab.goto(pathToFileURL(preview).href, { waitUntil: 'load' });
  const clip = await tab.evaluate(() => {
    const first = document.querySelector('section.nbk-page[id^="p"]');
    const top = first ? first.getBoundingClientRect().top + scrollY - 24 : 0;
    return { x: 0, y: Math.max(0, top), width: document.documentElement.scrollWidth,
             height: document.documentElement.scrollHeight - Math.max(0, top) };
  });
  await tab.screenshot({ path: `${out}-preview.png`, clip, captureBeyondViewport: true });

  const png = (file) => `data:image/png;base64,${readFileSync(file).toString('base64')}`;
  await tab.setViewport({ width: 1520, height: 600 });
  await tab.setContent(`<!DOCTYPE html><body style="margin:0;background:#ccc;font:14px sans-serif">
    <div style="display:flex;gap:16px;align-items:flex-start;padding:8px">
    <figure style="margin:0"><figcaption>page: ${pageUrl.replace(/[<&]/g, '')}</figcaption>
      <img src="${png(`${out}-page.png`)}"></figure>
    <figure style="margin:0"><figcaption>its book's preview</figcaption>
      <img src="${png(`${out}-preview.png`)}"></figure></div></body>`, { waitUntil: 'load' });
  await tab.screenshot({ path: `${out}-side-by-side.png`, fullPage: true });
} finally {
  await browser.close();
}
for (const kind of ['page', 'preview', 'side-by-side']) console.log(`${out}-${kind}.png`);
