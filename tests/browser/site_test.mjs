// A site in headless chromium, from file://: a call's link lands on its
// definition in another file, a page leads to the index, the index's
// predicate list lands on a definition, a "Called by" entry lands on the
// calling line, a call shows its callee's summary under the pointer, and
// the search box finds predicates by part of their name.
// Usage: node site_test.mjs SITE_FOLDER [SCREENSHOTS]  (SITE_FOLDER made from
// tests/site/tree; SCREENSHOTS: a path prefix for pictures of a "Called by"
// card and a hover card)
// Exit status: 0 passed, 1 failed.
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { check, withBrowser } from './browser.mjs';

const site = resolve(process.argv[2]);
const screenshots = process.argv[3];
// The rectangle around the elements `selectors` match, with a margin: a
// picture of them in their place on the page.
const clipAround = (page, ...selectors) => page.evaluate((selectors) => {
  const boxes = selectors.flatMap((s) => [...document.querySelectorAll(s)])
    .map((e) => e.getBoundingClientRect());
  const left = Math.max(0, Math.min(...boxes.map((b) => b.left)) - 24);
  const top = Math.max(0, Math.min(...boxes.map((b) => b.top)) - 24);
  return { x: left + scrollX, y: top + scrollY,
           width: Math.max(...boxes.map((b) => b.right)) + 24 - left,
           height: Math.max(...boxes.map((b) => b.bottom)) + 24 - top };
}, selectors);
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

  // greet/1's card, open as its head's link opens it, lists run/0 in
  // app/main.pl, a clause of several lines: the entry lands on the line of
  // the call, not of the clause's head.
  await page.goto(pathToFileURL(join(site, 'shared', 'common.pl.html')).href + '#callers-greet/1');
  if (screenshots) {
    await page.screenshot({ path: `${screenshots}-called-by.png`,
      clip: await clipAround(page, '.callers .card:target', '[id="greet/1"]') });
  }
  check(await follow(page, '.callers .card:target a', 'run/0'), "greet/1's card lists run/0");
  const caller = await page.evaluate(() => ({
    file: decodeURIComponent(location.pathname).split('/').slice(-2).join('/'),
    target: document.querySelector(':target')?.id,
    text: document.querySelector(':target')?.textContent,
  }));
  check(caller.file === 'app/main.pl.html' && /^L\d+$/.test(caller.target) &&
    caller.text.includes('greet(Four)'),
  `the entry lands on the calling line (${caller.file}#${caller.target}: ${caller.text})`);

  // Under the pointer, the call of twice/2 says what its comment's summary says.
  const calls = await page.$$('pre a');
  for (const call of calls) {
    if (await call.evaluate((a) => a.textContent) !== 'twice') continue;
    await call.hover();
    break;
  }
  const hover = await page.evaluate(() => {
    const card = document.getElementById('hover-card');
    return card && !card.hidden && card.getBoundingClientRect().height > 0 ? card.textContent : '';
  });
  check(hover.includes('Y is twice X, once X is known to be a number.') &&
    hover.includes('twice(+X:number, -Y:number) is det'),
  `hovering the call of twice/2 shows a card of its modes and summary (${JSON.stringify(hover)})`);
  if (screenshots) await page.screenshot({ path: `${screenshots}-hover.png`, clip: await clipAround(page, '#hover-card', '[data-title]') });

  // The search box: "/" takes the way to it; part of a name lists the
  // predicates that have it, prefix matches first; Enter follows the first,
  // the arrows choose another.
  const box = 'div.search:not([hidden]) input';
  await page.waitForSelector(box);
  await page.keyboard.press('/');
  check(await page.evaluate(() => document.activeElement?.matches('div.search input') &&
    document.activeElement.value === ''), '"/" puts the focus in the search box');
  const found = async (text) => {
    await page.type(box, text);
    await page.waitForFunction(() => document.querySelector('#search-results li'));
    return page.$$eval('#search-results li', (items) => items.map((li) => li.textContent));
  };
  const wic = await found('wic');
  check(wic.length === 1 && wic[0] === 'twice/2 lists_util.pl Y is twice X, once X is known to be a number.',
    `"wic" finds twice/2 with its file and summary (${JSON.stringify(wic)})`);
  await Promise.all([page.waitForNavigation(), page.keyboard.press('Enter')]);
  const searched = await landing(page);
  check(searched.file.endsWith('lists_util.pl.html') && searched.target === 'twice/2',
    `Enter lands on twice/2 (${searched.file}#${searched.target})`);

  const g = await found('g');
  check(g[0]?.startsWith('greet/1 ') && g[1]?.startsWith('again/0 '),
    `"g" lists greet/1 before again/0 (${JSON.stringify(g)})`);
  await page.keyboard.press('ArrowDown');
  await Promise.all([page.waitForNavigation(), page.keyboard.press('Enter')]);
  const chosen = await landing(page);
  check(chosen.file === 'app/main.pl.html' && chosen.target === 'again/0',
    `the arrow and Enter land on again/0 (${chosen.file}#${chosen.target})`);

  // Without scripts the page shows no box that would do nothing.
  await page.setJavaScriptEnabled(false);
  await page.reload();
  check(await page.$eval('div.search', (box) => getComputedStyle(box).display) === 'none',
    'without scripts the search box is not shown');
});
