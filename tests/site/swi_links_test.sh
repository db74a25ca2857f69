#!/usr/bin/env bash
# The SWI-Prolog library as a site: every link across files lands where
# SWI-Prolog itself resolves the call (tests/site/swi_links.pl asks it).
# Usage: swi_links_test.sh PL2HTML
# Exit status 77 (skipped) without swipl, its library or perl.
set -euo pipefail
pl2html=$1
here=$(cd "$(dirname "$0")" && pwd)
library=/usr/lib/swi-prolog/library
command -v swipl >/dev/null && command -v perl >/dev/null && [ -d "$library" ] ||
  { echo "skipped: needs swipl (swi-prolog-nox) and perl"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/pl2html-swi-links.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$pl2html" --prolog -r "$library" -d "$work/site"
# Each page's links to other pages, once per page, as lines
# "Source<TAB>Name/Arity<TAB>Target" in absolute paths of sources.
(cd "$work/site" && find . -name '*.pl.html' -print0 | LC_ALL=C sort -z) |
  (cd "$work/site" && perl -0 -ne '
    chomp; s{^\./}{}; my $page = $_;
    open my $in, "<:raw", $page or die "$page: $!";
    my $code = do { local $/; <$in> };
    $code =~ s/^.*?<pre//s;
    (my $folder = $page) =~ s{[^/]*$}{};
    my %seen;
    while ($code =~ /<a href="([^"#]+)#([^"]+)">/g) {
      my ($href, $anchor) = ($1, $2);
      next if $seen{"$href#$anchor"}++;
      s/%([0-9A-Fa-f]{2})/chr hex $1/ge for $href, $anchor;
      my @parts;
      for (split m{/}, $folder . $href) { $_ eq ".." ? pop @parts : push @parts, $_ }
      my $target = join "/", @parts;
      s/\.html$// for $target, (my $source = $page);
      print join("\t", "'"$library"'/$source", $anchor, "'"$library"'/$target"), "\n";
    }') >"$work/links.tsv"
# Loading the library prints its own complaints (optional packages, clashing
# imports): kept aside, shown only when the check fails.
if ! swipl "$here/swi_links.pl" "$work/links.tsv" 2>"$work/swipl.txt"; then
  tail -n 20 "$work/swipl.txt"
  exit 1
fi
