"""The links across files of a site's pages, as lines
"Source<TAB>Name/Arity<TAB>Target" with absolute source paths, for
swi_links.pl. Usage: site_links.py SRC OUT"""
import os
import re
import sys
import urllib.parse

source, site = sys.argv[1], sys.argv[2]
link = re.compile(rb'<a href="([^"#]+)#([^"]+)">')
out = sys.stdout.buffer
for folder, _, names in sorted(os.walk(site)):
    for name in sorted(names):
        if not name.endswith('.html') or name == 'index.html' and folder == site:
            continue
        page = os.path.join(folder, name)
        relative = os.path.relpath(page, site)[:-len('.html')]
        code = open(page, 'rb').read().split(b'<pre', 1)[-1]
        for href, anchor in sorted(set(link.findall(code))):
            target = os.path.normpath(os.path.join(os.path.dirname(relative),
                                                   urllib.parse.unquote_to_bytes(href).decode('latin-1')))
            key = urllib.parse.unquote_to_bytes(anchor)
            out.write(b'\t'.join([os.path.join(source, relative).encode('latin-1'), key,
                                  os.path.join(source, target[:-len('.html')]).encode('latin-1')]) + b'\n')
