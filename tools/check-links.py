#!/usr/bin/env python3
"""Checks every relative link in Markdown pages: the file it names must
exist, and a #fragment into a Markdown page must name one of its headings.
  tools/check-links.py [PAGE.md ...]     (default: every .md file git tracks)"""
import os, re, subprocess, sys

LINK = re.compile(r"\[[^\]]*\]\(([^)\s]+)\)")

def anchors(page):
    """The fragments a page's headings get, as GitHub makes them."""
    with open(page, encoding="utf-8") as text:
        headings = [line.lstrip("#").strip() for line in text if line.startswith("#")]
    return {re.sub(r"[^\w\- ]", "", heading.lower()).replace(" ", "-") for heading in headings}

def broken_links(page):
    with open(page, encoding="utf-8") as text:
        body = re.sub(r"```.*?```", "", text.read(), flags=re.S)  # code blocks hold no links
    for target in LINK.findall(body):
        if re.match(r"[a-z]+:", target): continue  # http:, https:, mailto:
        path, _, fragment = target.partition("#")
        resolved = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
        if not os.path.exists(resolved): yield f"{page}: {target}: no such file"
        elif fragment and resolved.endswith(".md") and fragment not in anchors(resolved):
            yield f"{page}: {target}: no such heading"

pages = sys.argv[1:] or subprocess.run(["git", "ls-files", "*.md"], capture_output=True, text=True,
                                       check=True).stdout.split()
problems = [problem for page in pages for problem in broken_links(page)]
print("\n".join(problems) or f"links: every relative link of {len(pages)} pages names what exists")
sys.exit(1 if problems else 0)
