// The look of the Prolog page: its style sheet, made from the table of its
// classes (classes.hpp), and the head of every HTML5 document of ours.
#pragma once

#include <string>
#include <string_view>

namespace pl2html::prolog_page {

// The style sheet, scoped to the code element's class so that a fragment
// pasted into another page styles only itself. `page` adds the rules for
// the page around the code (body, title, index).
void AppendStyleSheet(std::string& out, bool page);

// The start of an HTML5 document of ours, the Prolog page's or the site
// index's, up to the end of its header: the head with `charset`, `title`
// (markup, escaped already) and the style sheet followed by `rules`, then
// the body's header with the title as its heading and `navigation` under it.
void AppendDocumentHead(std::string& out, std::string_view charset, std::string_view title,
                        std::string_view rules = {}, std::string_view navigation = {});

}  // namespace pl2html::prolog_page
