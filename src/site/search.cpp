#include "site/search.hpp"

#include <algorithm>
#include <cstdint>
#include <tuple>

#include "prolog_page/charset.hpp"
#include "runtime/text.hpp"
#include "site/links.hpp"

namespace pl2html::site {

namespace {

// The box: the page's predicates by part of their name, prefix matches
// first, then shorter names, then in the data's order; at most kShown of
// them. A linear scan a keystroke: some milliseconds for 10,000 predicates.
constexpr std::string_view kScript =
    R"js(// The search box of a site by pl2html: the site's predicates (search.js,
// loaded when the box is first used) found by part of their name.
(() => {
  'use strict';
  const script = document.currentScript;
  const form = document.querySelector('div.search');
  if (!script || !form) return;
  const input = form.querySelector('input');
  const root = new URL('.', script.src);
  const kShown = 50;
  const results = document.createElement('div');
  results.className = 'results';
  results.hidden = true;
  const list = document.createElement('ul');
  list.id = 'search-results';
  list.setAttribute('role', 'listbox');
  list.setAttribute('aria-label', 'Predicates found');
  const note = document.createElement('p');
  note.className = 'more';
  note.setAttribute('aria-live', 'polite');
  results.append(list, note);
  form.append(results);
  input.setAttribute('role', 'combobox');
  input.setAttribute('aria-controls', list.id);
  input.setAttribute('aria-autocomplete', 'list');
  input.setAttribute('aria-expanded', 'false');
  form.hidden = false;

  let entries = null;  // [{key, lower, length, href, file, summary}] once loaded
  let loading = false;
  let shown = [];
  let active = 0;
  let goWhenLoaded = false;

  const fileOf = (page) => {
    const path = page.replace(/\.html$/, '');
    try { return decodeURIComponent(path); } catch { return path; }
  };
  const load = () => {
    if (entries || loading) return;
    loading = true;
    const data = document.createElement('script');
    data.src = new URL('search.js', root).href;
    data.onload = () => {
      entries = (self.pl2htmlSearch || []).map(([name, arity, page, anchor, summary]) => {
        const key = name + '/' + arity;
        return { key, lower: key.toLowerCase(), length: name.length,
                 href: new URL(page + '#' + anchor, root).href, file: fileOf(page), summary };
      });
      update();
      if (goWhenLoaded) go();
    };
    data.onerror = () => {
      loading = false;
      show('The list of predicates (search.js) could not be loaded.');
    };
    document.head.append(data);
  };
  const show = (text) => {
    note.textContent = text;
    note.hidden = text === '';
    results.hidden = false;
    input.setAttribute('aria-expanded', String(shown.length > 0));
  };
  const hide = () => {
    results.hidden = true;
    input.setAttribute('aria-expanded', 'false');
    input.removeAttribute('aria-activedescendant');
  };
  const mark = () => {
    list.querySelectorAll('[aria-selected]').forEach((item, k) => {
      item.setAttribute('aria-selected', String(k === active));
      if (k === active) {
        input.setAttribute('aria-activedescendant', item.id);
        item.scrollIntoView({ block: 'nearest' });
      }
    });
  };
  const update = () => {
    const query = input.value.trim().toLowerCase();
    shown = [];
    active = 0;
    list.replaceChildren();
    if (query === '') return hide();
    if (!entries) return load();
    const found = [];
    entries.forEach((entry, k) => {
      const at = entry.lower.indexOf(query);
      if (at >= 0) found.push([at === 0 ? 0 : 1, entry.length, k]);
    });
    found.sort((a, b) => a[0] - b[0] || a[1] - b[1] || a[2] - b[2]);
    shown = found.slice(0, kShown).map((f) => entries[f[2]]);
    shown.forEach((entry, k) => {
      const item = document.createElement('li');
      item.id = 'search-result-' + k;
      item.setAttribute('role', 'option');
      item.setAttribute('aria-selected', 'false');
      const link = document.createElement('a');
      link.href = entry.href;
      link.tabIndex = -1;
      link.textContent = entry.key;
      const where = document.createElement('span');
      where.className = 'where';
      where.textContent = ' ' + entry.file;
      item.append(link, where);
      if (entry.summary) {
        const summary = document.createElement('span');
        summary.className = 'summary';
        summary.textContent = ' ' + entry.summary;
        item.append(summary);
      }
      // The whole row leads where its link does; the pointer chooses it.
      item.addEventListener('click', (event) => {
        if (!event.target.closest('a')) location.href = entry.href;
      });
      item.addEventListener('mousemove', () => {
        if (active !== k) {
          active = k;
          mark();
        }
      });
      list.append(item);
    });
    mark();
    show(found.length === 0 ? 'No predicate matches.'
      : found.length > kShown ? `${kShown} of ${found.length} shown: type more of the name.` : '');
  };
  const go = () => {
    goWhenLoaded = false;
    if (!entries) {
      goWhenLoaded = true;
      return load();
    }
    if (shown.length === 0) return;
    hide();
    location.href = shown[active].href;
  };

  input.addEventListener('input', update);
  input.addEventListener('focus', () => {
    load();
    if (input.value.trim() !== '') update();
  });
  input.addEventListener('keydown', (event) => {
    if (event.key === 'ArrowDown' || event.key === 'ArrowUp') {
      event.preventDefault();
      if (results.hidden) return update();
      const step = event.key === 'ArrowDown' ? 1 : -1;
      active = Math.min(Math.max(active + step, 0), Math.max(shown.length - 1, 0));
      mark();
    } else if (event.key === 'Enter') {
      event.preventDefault();
      go();
    } else if (event.key === 'Escape') {
      if (results.hidden) input.blur(); else hide();
    }
  });
  document.addEventListener('click', (event) => {
    if (!form.contains(event.target)) hide();
  });
  // "/" anywhere but in a field of text takes the way to the box.
  document.addEventListener('keydown', (event) => {
    const target = event.target;
    if (event.key !== '/' || event.ctrlKey || event.metaKey || event.altKey ||
        target.isContentEditable || /^(INPUT|TEXTAREA|SELECT)$/.test(target.tagName)) return;
    event.preventDefault();
    input.focus();
    input.select();
  });
})();

// Hover cards: what a goal's title says (its class, then the predicate's
// mode lines and summary, or its head) shown as a card under it while the
// pointer rests on it or the keyboard is on its link. The title steps
// aside meanwhile, so that the browser's own tooltip does not cover it.
(() => {
  'use strict';
  const code = document.querySelector('pre.pl2html');
  if (!code) return;
  const card = document.createElement('div');
  card.className = 'hover-card';
  card.id = 'hover-card';
  card.setAttribute('role', 'tooltip');
  card.hidden = true;
  document.body.append(card);
  let owner = null;
  const close = () => {
    if (!owner) return;
    owner.title = owner.dataset.title;
    delete owner.dataset.title;
    (owner.querySelector('a') || owner).removeAttribute('aria-describedby');
    owner = null;
    card.hidden = true;
  };
  const open = (element) => {
    if (element === owner) return;
    close();
    const [kind, ...lines] = element.title.split('\n');
    if (lines.length === 0) return;  // a class alone: the tooltip says it
    owner = element;
    element.dataset.title = element.title;
    element.removeAttribute('title');
    const paragraph = (text, className) => {
      const p = document.createElement('p');
      p.textContent = text;
      if (className) p.className = className;
      return p;
    };
    card.replaceChildren(...lines.map((line) => paragraph(line, /\bis\s+\w+\.?$/.test(line) ? 'mode' : '')),
                         paragraph(kind, 'kind'));
    card.hidden = false;
    const box = element.getBoundingClientRect();
    const width = document.documentElement.clientWidth;
    card.style.left = `${scrollX + Math.max(4, Math.min(box.left, width - card.offsetWidth - 4))}px`;
    card.style.top = `${scrollY + box.bottom + 4}px`;
    (element.querySelector('a') || element).setAttribute('aria-describedby', card.id);
  };
  const goal = (target) => target instanceof Element && target.closest('[title],[data-title]');
  code.addEventListener('mouseover', (event) => {
    const element = goal(event.target);
    if (element && code.contains(element)) open(element);
  });
  code.addEventListener('mouseout', (event) => {
    if (owner && !owner.contains(event.relatedTarget)) close();
  });
  code.addEventListener('focusin', (event) => {
    const element = goal(event.target);
    if (element) open(element);
  });
  code.addEventListener('focusout', close);
  document.addEventListener('keydown', (event) => {
    if (event.key === 'Escape') close();
  });
})();
)js";

// Links and side notes as the index and the cards have them (one column,
// not the columns of the navigation's lists); the chosen row in the colours
// of a followed line, which keep AA contrast in both schemes.
constexpr std::string_view kRules =
    "<style>\n"
    ".search{display:inline-block;position:relative;margin:0 0 0.5rem;vertical-align:middle}\n"
    ".search[hidden]{display:none}\n"
    "nav a~.search{margin-left:1rem}\n"
    ".search input{font:inherit;font-size:0.875rem;width:20rem;max-width:80vw;"
    "padding:0.2rem 0.4rem;color:var(--pl-text);background:var(--pl-page);"
    "border:1px solid var(--pl-lineno);border-radius:4px}\n"
    ".search input::placeholder{color:var(--pl-lineno);opacity:1}\n"
    ".search .results{position:absolute;left:0;top:100%;z-index:2;width:min(36rem,90vw);"
    "max-height:70vh;overflow:auto;background:var(--pl-page);border:1px solid var(--pl-lineno);"
    "border-radius:6px;box-shadow:0 4px 16px #0004;font-size:0.875rem}\n"
    ".search ul{columns:auto;margin:0;padding:0.25rem 0;list-style:none;"
    "font-family:ui-monospace,Menlo,Consolas,monospace}\n"
    ".search li{padding:0.1rem 0.75rem;overflow-wrap:anywhere;cursor:pointer}\n"
    ".search li a{color:var(--pl-head);text-decoration:none}\n"
    ".search li a:hover{text-decoration:underline}\n"
    ".search .summary{font-family:system-ui,-apple-system,\"Segoe UI\",sans-serif}\n"
    ".search .where,.search .summary,.search .more{color:var(--pl-lineno)}\n"
    ".search li[aria-selected=true]{background:var(--pl-target-bg)}\n"
    ".search li[aria-selected=true] :is(.where,.summary){color:var(--pl-target)}\n"
    ".search .more{margin:0;padding:0.25rem 0.75rem}\n"
    ".search .more[hidden]{display:none}\n"
    ".hover-card{position:absolute;z-index:3;max-width:min(40rem,90vw);margin:0;"
    "padding:0.4rem 0.75rem;background:var(--pl-page);color:var(--pl-text);"
    "border:1px solid var(--pl-lineno);border-radius:6px;box-shadow:0 4px 16px #0004;"
    "font-size:0.875rem;pointer-events:none}\n"
    ".hover-card[hidden]{display:none}\n"
    ".hover-card p{margin:0.15rem 0}\n"
    ".hover-card .mode{font-family:ui-monospace,Menlo,Consolas,monospace;color:var(--pl-head)}\n"
    ".hover-card .kind{color:var(--pl-lineno)}\n"
    "@media print{.search,.hover-card{display:none}}\n"
    "</style>\n";

struct Row {
  std::string_view name;
  int arity = 0;
  std::string page;
  const Definition* definition = nullptr;
  auto Order() const { return std::tie(name, arity, page); }
};

}  // namespace

void AppendScriptString(std::string& out, std::string_view text) {
  auto hex = [&](std::uint32_t n, int digits) {
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
      out += kHexDigits[(n >> shift) & 0xF];
  };
  auto unit = [&](std::uint32_t code) {
    out += "\\u";
    hex(code, 4);
  };
  for (std::size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    std::size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    bool control =
        c < 0x20 || c == 0x7F ||
        (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0);
    if (control || (c >= 0x80 && (i + length > text.size() ||
                                  !prolog_page::IsValidUtf8(text.substr(i, length))))) {
      out += "\\\\x";
      hex(c, 2);
      ++i;
      continue;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '<' || c == '>' || c == '&') {
      unit(c);  // no "</script" nor "<!--" whatever the text holds
    } else if (length == 1) {
      out += static_cast<char>(c);
    } else {
      std::uint32_t code = c & (0x7F >> length);
      for (std::size_t k = 1; k < length; ++k)
        code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
      if (code >= 0x10000) {
        code -= 0x10000;
        unit(0xD800 + (code >> 10));
        unit(0xDC00 + (code & 0x3FF));
      } else {
        unit(code);
      }
    }
    i += length;
  }
}

std::string SearchData(const std::vector<SourceFile>& files, const std::vector<FileFacts>& facts) {
  std::vector<Row> rows;
  for (std::size_t i = 0; i < facts.size(); ++i) {
    for (const Definition& definition : facts[i].definitions) {
      Row row;
      std::string_view key = definition.key;
      std::size_t slash = key.rfind('/');
      row.name = key.substr(0, slash);
      row.arity = std::stoi(std::string(key.substr(slash + 1)));
      row.page = UrlPath(files[i].relative) + ".html";
      row.definition = &definition;
      rows.push_back(std::move(row));
    }
  }
  std::sort(rows.begin(), rows.end(),
            [](const Row& a, const Row& b) { return a.Order() < b.Order(); });
  std::string out(kSearchDataStart);
  out +=
      ", for its search box: one a line,\n"
      "// [name, arity, page, anchor, summary], the page's URL relative to the site.\n"
      "self.pl2htmlSearch = [\n";
  for (const Row& row : rows) {
    out += "[\"";
    AppendScriptString(out, row.name);
    out += "\"," + std::to_string(row.arity) + ",\"";
    AppendScriptString(out, row.page);
    out += "\",\"";
    AppendScriptString(out, row.definition->anchor);
    out += "\",\"";
    AppendScriptString(out, row.definition->doc.summary);
    out += "\"],\n";
  }
  out += "];\n";
  return out;
}

std::string_view SearchScript() {
  return kScript;
}

std::string SearchBox(std::string_view relative) {
  return "<div class=\"search\" role=\"search\" hidden><input type=\"search\" "
         "aria-label=\"Search the predicates\" placeholder=\"Search predicates (press /)\" "
         "autocomplete=\"off\" spellcheck=\"false\"></div><script src=\"" +
         SiteHref(relative, kSearchScriptName) + "\" defer></script>";
}

std::string_view SearchRules() {
  return kRules;
}

}  // namespace pl2html::site
