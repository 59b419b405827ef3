#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes a Netscape bookmark file of COUNT URLs on the simulated internet (sim_internet.py):
a tenth of them (or the share BIG) on its first host, the rest spread evenly over the others, in
shuffled order.

    make_sim_bookmarks.py OUT.html COUNT HOSTS PORT [BIG]
"""
import random
import sys

sys.path.insert(0, __file__.rsplit("/", 1)[0])
from sim_internet import host_address  # noqa: E402

out, count, hosts, port = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
big = float(sys.argv[5]) if len(sys.argv) > 5 else 0.1
rng = random.Random(5)
urls = []
for uid in range(count):
    host = 0 if big > 0 and uid % round(1 / big) == 0 else 1 + rng.randrange(hosts - 1)
    urls.append("http://%s:%d/u/%d" % (host_address(host), port, uid))
rng.shuffle(urls)
with open(out, "w") as f:
    f.write("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n")
    for i, url in enumerate(urls):
        f.write('    <DT><A HREF="%s" ADD_DATE="1700000000">link %d</A>\n' % (url, i))
    f.write("</DL><p>\n")
