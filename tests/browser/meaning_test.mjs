// The meaning of names on the Prolog page of examples/meaning.pl, in
// headless chromium and in both colour schemes: what needs a look stands
// out, built-in and local calls look different, a head is bold in the
// colour of its meaning, the look line links to marked lines, and
// built-ins link to SWI-Prolog's manual.
// Usage: node meaning_test.mjs PAGE.html [SCREENSHOT_PREFIX]
// Exit status: 0 passed, 1 failed.
import { resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { check, withBrowser } from './browser.mjs';

const [pagePath, screenshots] = process.argv.slice(2);
const url = pathToFileURL(resolve(pagePath)).href;

await withBrowser(async (browser) => {
  const page = await browser.newPage();
  await page.setViewport({ width: 900, height: 600 });
  await page.goto(url);

  check(await page.$('pre a[href^="https://www.swi-prolog.org/pldoc/doc_for?object=format/2"]') !== null,
    'a built-in links to its entry in the manual');
  const unmarked = await page.evaluate(() => [...document.querySelectorAll('.look a')]
    .map((a) => a.getAttribute('href'))
    .filter((href) => !document.querySelector(`[id="${href.slice(1)}"] :is(.goal-undefined,.singleton)`)));
  check(unmarked.length === 0 && await page.$('.look a') !== null,
    `each note of the look line links to a line with its mark (not: ${unmarked})`);

  const texts = [];
  for (const scheme of ['light', 'dark']) {
    await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: scheme }]);
    const style = await page.evaluate(() => {
      const of = (selector) => {
        const s = getComputedStyle(document.querySelector(`pre ${selector}`));
        return { color: s.color, line: s.textDecorationLine, style: s.textDecorationStyle,
          weight: Number(s.fontWeight) };
      };
      return { text: getComputedStyle(document.querySelector('pre')).color,
        undefined: of('.goal-undefined'), singleton: of('.singleton'),
        builtIn: of('.atom.goal-built_in'), local: of('.atom.goal-local'),
        exported: of('.head-exported'), localHead: of('.head-local') };
    });
    for (const [what, words] of [['undefined', 'an undefined call'], ['singleton', 'a singleton']]) {
      const s = style[what];
      check(s.line === 'underline' && s.style === 'wavy' && s.color !== style.text,
        `${scheme}: ${words} is wavy-underlined in ${s.color}, not the text's ${style.text}`);
    }
    check(style.builtIn.color !== style.local.color,
      `${scheme}: a built-in call (${style.builtIn.color}) and a local one (${style.local.color}) differ`);
    check(style.exported.weight >= 700 && style.exported.color !== style.localHead.color,
      `${scheme}: an exported head is bold in ${style.exported.color}, a local one in ${style.localHead.color}`);
    if (screenshots) await page.screenshot({ path: `${screenshots}-${scheme}.png`, fullPage: true });
    texts.push(style.text);
  }
  check(texts[0] !== texts[1], 'the dark scheme has colours of its own');
});
