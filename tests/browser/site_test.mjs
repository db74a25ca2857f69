// A site in headless chromium: a call's link lands on its definition in
// another file, a page leads to the index, and the index's predicate list
// lands on a definition.
// Usage: node site_test.mjs SITE_FOLDER (made from tests/site/tree)
// Exit status: 0 passed, 1 failed.
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { check, withBrowser } from './browser.mjs';

const site = resolve(process.argv[2]);
// Clicks the first link matching `selector` whose text is `text`, and
// waits for the page it leads to.
const follow = async (page, selector, text) => {
  const links = await page.$$(selector);
  for (const link of links) {
    if (await link.evaluate((a) => a.textContent) === text) {
      await Promise.all([page.waitForNavigation(), link.click()]);
      return true;
    }
  }
  return false;
};
const landing = (page) => page.evaluate(() => ({
  file: decodeURIComponent(location.pathname).split('/').slice(-2).join('/'),
  target: document.querySelector(':target')?.id,
}));

await withBrowser(async (browser) => {
  const page = await browser.newPage();
  await page.goto(pathToFileURL(join(site, 'app', 'main.pl.html')).href);
  check(await follow(page, 'pre a', 'greet'), 'main.pl links its call of greet');
  const greet = await landing(page);
  check(greet.file === 'shared/common.pl.html' && greet.target === 'greet/1',
    `the link lands on greet/1 in shared/common.pl (${greet.file}#${greet.target})`);

  check(await follow(page, 'header nav a', 'Index'), 'the page links to the index');
  check((await landing(page)).file.endsWith('index.html'), 'the index opens');
  check(await follow(page, 'main a', 'twice/2'), 'the index lists twice/2');
  const twice = await landing(page);
  check(twice.file.endsWith('lists_util.pl.html') && twice.target === 'twice/2',
    `the index's entry lands on twice/2 (${twice.file}#${twice.target})`);
});
