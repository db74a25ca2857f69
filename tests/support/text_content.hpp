// The page's promise about its text: the text content of the code element,
// character references decoded, is exactly the source's text with every
// line end as LF and every forbidden control as its stand-in. Tests and the
// fuzz target check every page they make against it.
#pragma once

#include <string>
#include <string_view>

#include "prolog_page/page.hpp"

namespace pl2html::prolog_page {

// The text content of the code element of a page or fragment: tags dropped,
// character references decoded to UTF-8.
std::string CodeText(std::string_view page);

// What that text content must be for `source`.
std::string ExpectedCodeText(std::string_view source);

// The page of a source held in memory.
std::string PrologPage(std::string_view source, const PageOptions& options);

// Empty when the page keeps its promise for `source`, else where the first
// difference is and what it looks like.
std::string CheckCodeText(std::string_view source, std::string_view page);

}  // namespace pl2html::prolog_page
