// Starts Debian's Chromium headless for tests and tools: no sandbox (tests run as root), a
// fresh profile, and nothing that reaches the network on its own.
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import puppeteer from 'puppeteer-core';

// options: extension, an unpacked extension's folder to load; profile, a profile folder to use
// (kept; the caller owns it) instead of a fresh one; env, the browser's environment, which its
// native messaging hosts inherit.
export async function launchChromium(options = {}) {
  const own = !options.profile;
  const profile = options.profile || mkdtempSync(join(tmpdir(), 'nubra-chromium-'));
  const browser = await puppeteer.launch({
    ...(options.extension ? { enableExtensions: [options.extension] } : {}),
    ...(options.env ? { env: options.env } : {}),
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    pipe: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--no-first-run'],
  });
  const close = browser.close.bind(browser);
  browser.close = async () => {
    await close();
    if (own) rmSync(profile, { recursive: true, force: true });
  };
  return browser;
}
