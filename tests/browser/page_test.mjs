// The Prolog page in headless chromium: the code copies as the source, a
// line's link scrolls it into view, a call's link lands on its definition,
// and variables and atoms look different in both colour schemes.
// Usage: node page_test.mjs PAGE.html SOURCE.pl
// Exit status: 0 passed, 1 failed.
import { readFileSync } from 'node:fs';
import { resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { check, withBrowser } from './browser.mjs';

const [pagePath, sourcePath] = process.argv.slice(2);
const url = pathToFileURL(resolve(pagePath)).href;
const source = readFileSync(sourcePath, 'utf8').replace(/\r\n?/g, '\n');

await withBrowser(async (browser) => {
  const page = await browser.newPage();
  // Short, so that line 12 starts out of view.
  await page.setViewport({ width: 900, height: 240 });
  await page.goto(url);

  const copied = await page.evaluate(() => {
    const range = document.createRange();
    range.selectNodeContents(document.querySelector('pre'));
    const selection = window.getSelection();
    selection.removeAllRanges();
    selection.addRange(range);
    return selection.toString();
  });
  // No browser copies the last line end of a <pre>: the rest must be exact.
  check(copied === source || copied + '\n' === source,
    'the selected code is the source, line numbers not included');

  const inView = (selector) => page.evaluate((s) => {
    const box = document.querySelector(s).getBoundingClientRect();
    return box.height > 0 && box.top >= 0 && box.bottom <= window.innerHeight;
  }, selector);
  check(!(await inView('[id="L12"]')), 'line 12 starts out of view');
  await page.goto(`${url}#L12`);
  check(await inView('[id="L12"]'), '#L12 scrolls line 12 into view');
  check(await page.evaluate(() => document.querySelector(':target')?.id) === 'L12',
    'line 12 is the target, which the style sheet highlights');

  await page.goto(url);
  const link = await page.$('pre a[href^="#"]');
  const href = await link.evaluate((a) => a.getAttribute('href'));
  await link.click();
  await page.waitForFunction((h) => location.hash === h, {}, href);
  const landed = await page.evaluate(() => {
    const target = document.querySelector(':target');
    return target && target.classList.contains('head') ? `#${target.id}` : null;
  });
  check(landed === href, `a click on the call's link ${href} lands on its definition`);
  check(await inView(':target'), 'the definition is in view');

  for (const scheme of ['light', 'dark']) {
    await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: scheme }]);
    const colours = await page.evaluate(() => ['.var', '.atom', 'html'].map(
      (s) => getComputedStyle(document.querySelector(s))[s === 'html' ? 'backgroundColor' : 'color']));
    check(colours[0] !== colours[1], `${scheme}: a var (${colours[0]}) and an atom (${colours[1]}) differ`);
    console.log(`${scheme} background: ${colours[2]}`);
  }
});
