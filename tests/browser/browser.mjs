// What both browser tests share: headless chromium started the way this
// closed network allows (no background connections, a fresh profile), and
// the tally of checks that decides the exit status.
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import puppeteer from 'puppeteer-core';

const failures = [];

export const check = (ok, what) => {
  console.log(`${ok ? 'ok' : 'FAILED'}: ${what}`);
  if (!ok) failures.push(what);
};

// Runs `body(browser)` in a fresh chromium, closes it and removes its
// profile whatever happens, then exits: 0 when every check passed.
export const withBrowser = async (body) => {
  const profile = mkdtempSync(join(tmpdir(), 'pl2html-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  try {
    await body(browser);
  } finally {
    await browser.close();
    rmSync(profile, { recursive: true, force: true });
  }
  process.exit(failures.length === 0 ? 0 : 1);
};
