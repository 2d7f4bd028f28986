#!/usr/bin/env python3
"""Fidelity of nbclip's books on real pages, against independent extractions.

For each page of corpus.txt: headless Chromium gives the visible text (CSS applied), the
computed font size of every visible text node and the lines of every visible PRE; w3m -dump
gives a second, CSS-blind extraction. nbclip converts the page and dumps the book. Measured:

  recall    share of the page's visible words (CJK characters count one each) found in the book
  w3m       the same against w3m -dump (w3m shows what CSS hides, so it is lower by nature)
  glued     book words that are two consecutive page words run together
  sized     share of the book's characters within 10% of the page's computed size
            (16 px, the medium size, is 100 size units; on a 1024x768 screen, as the document
            model stands for; without the browser's smaller default for monospace text)
  buttons   buttons whose target block is placed on a page / buttons
  pre       visible PRE lines found whole as a line of the book / PRE lines

Usage: bench/fidelity/fidelity.py [--nbclip build/bin/nbclip] [--out DIR] [PAGE...]
"""
import argparse
import collections
import json
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))

CJK = "\u3040-\u30ff\u3400-\u9fff\uf900-\ufaff\uff66-\uff9f"
TOKEN = re.compile(f"[{CJK}]|[^\\W{CJK}]+")
EDGE_PUNCT = re.compile(r"^[^\w]+|[^\w]+$")

# Walks the rendered page: visible text nodes with their computed size, the visible text as the
# page shows it, and the lines of visible PRE elements.
PROBE = r"""
<style>
/* Sizes as the page sets them: without the browsers' own smaller default for text whose only
   font family is monospace (13 px against 16), a preference of the browser, not of the page. */
* { font-family: serif !important; }
</style>
<script>
addEventListener('load', () => {
  // A browser draws the alternative text of an image it cannot show in the image's place.
  for (const img of [...document.images]) {
    if (img.complete && img.naturalWidth === 0 && img.alt) img.replaceWith(img.alt);
  }
  const nodes = [];
  const w = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
  for (let n; (n = w.nextNode());) {
    const p = n.parentElement;
    if (!p || p.closest('script,style,#nbref')) continue;
    if (p.getClientRects().length === 0) continue;
    const s = getComputedStyle(p);
    if (s.visibility === 'hidden') continue;
    nodes.push([n.data, parseFloat(s.fontSize)]);
  }
  const pre = [];
  for (const e of document.querySelectorAll('pre')) {
    if (e.getClientRects().length === 0) continue;
    pre.push(...e.innerText.split('\n'));
  }
  const out = document.createElement('pre');
  out.id = 'nbref';
  out.textContent = JSON.stringify({nodes, text: document.body.innerText, pre});
  document.body.appendChild(out);
});
</script>
"""


def run(cmd, **kw):
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kw)


def chromium_reference(path, work):
    """Visible text, sizes and PRE lines as Chromium renders the page."""
    raw = open(path, "rb").read()
    base = b'<base href="file://' + os.path.dirname(path).encode() + b'/">'
    # The probe goes at the very end; the base address right after <head> (or first).
    m = re.search(rb"<head[^>]*>", raw, re.I)
    if m:
        probe_page = raw[: m.end()] + base + raw[m.end():]
    else:
        probe_page = base + raw
    probe_page += PROBE.encode()
    copy = os.path.join(work, "probe.html")
    open(copy, "wb").write(probe_page)
    r = run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--allow-file-access-from-files",
             "--window-size=1024,768", "--virtual-time-budget=4000", "--dump-dom", "file://" + copy], timeout=120)
    dom = r.stdout.decode("utf-8", "replace")
    m = re.search(r'<pre id="nbref">(.*?)</pre>', dom, re.S)
    if not m:
        return None
    import html
    return json.loads(html.unescape(m.group(1)))


def w3m_text(path):
    r = run(["w3m", "-dump", "-cols", "4000", "-O", "UTF-8", "-T", "text/html", path], timeout=120)
    return r.stdout.decode("utf-8", "replace")


def book_of(nbclip, path, work):
    book = os.path.join(work, "page.nbk")
    if os.path.exists(book):
        os.remove(book)
    env = dict(os.environ, TMPDIR=work)
    r = run([nbclip, "convert", path, "-o", book, "--title", "fidelity"], env=env, timeout=600)
    if r.returncode != 0:
        raise RuntimeError("convert failed: " + r.stderr.decode("utf-8", "replace")[:400])
    d = run([nbclip, "dump", "--json", book], timeout=600)
    return json.loads(d.stdout.decode("utf-8"))


def book_streams(book):
    """The book's text as lines, its characters with their sizes, and the placed blocks."""
    lines, chars, placed = [], [], set()
    for page in book["pages"]:
        for item in page["items"]:
            if item.get("type") in ("text-block", "image-block"):
                placed.add(item.get("blockId"))
            if item.get("type") != "text-block":
                continue
            size = 0
            line = []
            for op in item.get("stream", []):
                kind = op.get("op")
                if kind == "attr" and op.get("tag") == 0xF511:
                    size = op.get("value", 0)
                elif kind == "command" and op.get("code") == 0xF511 and op.get("data"):
                    size = op["data"][0]
                elif (kind == "command" and op.get("code") == 0xF5D2) or kind == "write":
                    # The line-break command and the write mark both end a line on the reader.
                    lines.append("".join(line))
                    line = []
                elif kind == "image":
                    line.append(" ")
                elif kind == "text":
                    t = op.get("text", "")
                    line.append(t)
                    chars.extend((c, size) for c in t if not c.isspace())
            lines.append("".join(line))
    return lines, chars, placed


def tokens(text):
    return TOKEN.findall(text)


def words(text):
    out = []
    for w in text.split():
        w = EDGE_PUNCT.sub("", w)
        if w:
            out.append(w)
    return out


def recall(ref_text, book_text):
    ref = collections.Counter(tokens(ref_text))
    book = collections.Counter(tokens(book_text))
    total = sum(ref.values())
    if total == 0:
        return 1.0, 0
    found = sum(min(n, book[t]) for t, n in ref.items())
    return found / total, total - found


def glued(ref_text, book_text):
    """Book words that are two consecutive page words run together, where they stand: next to
    the page word before or after the pair (so a word of text the page hides is no glue)."""
    ref_words = words(ref_text)
    vocabulary = set(ref_words)
    contexts = collections.defaultdict(set)
    for k in range(len(ref_words) - 1):
        before = ref_words[k - 1] if k > 0 else ""
        after = ref_words[k + 2] if k + 2 < len(ref_words) else ""
        contexts[ref_words[k] + ref_words[k + 1]].add((before, after))
    book_words = words(book_text)
    examples = []
    count = 0
    for k, w in enumerate(book_words):
        if w in vocabulary or w not in contexts:
            continue
        before = book_words[k - 1] if k > 0 else ""
        after = book_words[k + 1] if k + 1 < len(book_words) else ""
        if not any(b == before or a == after for b, a in contexts[w]):
            continue
        count += 1
        if len(examples) < 3:
            examples.append(" ".join(book_words[max(0, k - 2):k + 3]))
    return count, examples


def sized(nodes, chars):
    """Book characters aligned in order with the page's visible characters: runs of equal
    characters, resynchronised on the next 8 book characters found ahead on the page; book
    characters the page does not show (list markers, alt text) stay unmatched."""
    page_chars = []
    page_sizes = []
    for text, px in nodes:
        for c in text:
            if not c.isspace():
                page_chars.append(c)
                page_sizes.append(px * 6.25)
    page = "".join(page_chars)
    book = "".join(c for c, _ in chars)
    i = p = matched = within = 0
    while i < len(book) and p < len(page):
        if book[i] == page[p]:
            matched += 1
            ref = page_sizes[p]
            if ref > 0 and abs(chars[i][1] - ref) <= 0.1 * ref + 1e-9:
                within += 1
            i += 1
            p += 1
            continue
        # The nearer way back into step: page characters the book lacks, or book characters
        # the page does not show.
        # Shorter runs where list markers stand every few characters.
        for n, reach in ((8, 5000), (4, 200), (2, 16)):
            qa = page.find(book[i:i + n], p, p + reach)
            qb = book.find(page[p:p + n], i, i + reach)
            skip_page = qa - p if qa >= 0 else None
            skip_book = qb - i if qb >= 0 else None
            if skip_page is not None and (skip_book is None or skip_page <= skip_book):
                p = qa
                break
            if skip_book is not None:
                i = qb
                break
        else:
            i += 1
            p += 1
    return (within / matched if matched else 1.0), matched


def measure(nbclip, path, work):
    ref = chromium_reference(path, work)
    if ref is None:
        raise RuntimeError("chromium gave no reference")
    book = book_of(nbclip, path, work)
    lines, chars, placed = book_streams(book)
    book_text = "\n".join(lines)
    rec, missing = recall(ref["text"], book_text)
    rec_w3m, _ = recall(w3m_text(path), book_text)
    glue, examples = glued(ref["text"], book_text)
    size_share, matched = sized(ref["nodes"], chars)
    buttons = book.get("buttons", [])
    landed = sum(1 for b in buttons if b.get("jumpSet") and b.get("blockId") in placed)
    book_lines = {l.rstrip() for l in lines}
    pre = [l.rstrip() for l in ref["pre"] if l.strip()]
    kept = sum(1 for l in pre if l in book_lines)
    return {
        "recall": rec, "missing": missing, "w3m": rec_w3m, "glued": glue, "glued_examples": examples,
        "sized": size_share, "matched": matched, "book_chars": len(chars), "buttons": len(buttons), "landed": landed,
        "pre": len(pre), "pre_kept": kept,
        "pre_lost": [l for l in pre if l not in book_lines][:3],
    }


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--nbclip", default=os.path.join(ROOT, "build/bin/nbclip"))
    ap.add_argument("--out", default=None, help="folder for results.json")
    ap.add_argument("pages", nargs="*")
    args = ap.parse_args()
    pages = args.pages
    if not pages:
        for line in open(os.path.join(HERE, "corpus.txt")):
            line = line.strip()
            if line and not line.startswith("#"):
                pages.append(line.split()[1])
    results = {}
    with tempfile.TemporaryDirectory(prefix="nb-fidelity-") as work:
        for path in pages:
            name = path.replace("/usr/share/doc/", "")
            try:
                results[name] = measure(args.nbclip, path, work)
            except Exception as e:  # a page that fails is reported, the others go on
                results[name] = {"error": str(e)}
            r = results[name]
            if "error" in r:
                print(f"{name}: ERROR {r['error']}", file=sys.stderr)
            else:
                print(f"{name}: recall {r['recall']:.4f} glued {r['glued']} sized {r['sized']:.4f} "
                      f"buttons {r['landed']}/{r['buttons']} pre {r['pre_kept']}/{r['pre']}",
                      file=sys.stderr)
    ok = {k: v for k, v in results.items() if "error" not in v}
    print("| page | recall | w3m recall | glued | sized (aligned) | buttons landed | PRE lines kept |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    for name, r in ok.items():
        print(f"| {name} | {100 * r['recall']:.2f}% | {100 * r['w3m']:.2f}% | {r['glued']} | "
              f"{100 * r['sized']:.2f}% ({100 * r['matched'] / max(1, r['book_chars']):.0f}%) | "
              f"{r['landed']}/{r['buttons']} | {r['pre_kept']}/{r['pre']} |")
    for name, r in results.items():
        if "error" in r:
            print(f"| {name} | error: {r['error'][:80]} | | | | | |")
    if ok:
        n = len(ok)
        chars = sum(r["matched"] for r in ok.values()) or 1
        sized_all = sum(r["sized"] * r["matched"] for r in ok.values()) / chars
        aligned = chars / max(1, sum(r["book_chars"] for r in ok.values()))
        print(f"| **total ({n} pages)** | min {100 * min(r['recall'] for r in ok.values()):.2f}%, "
              f"mean {100 * sum(r['recall'] for r in ok.values()) / n:.2f}% | "
              f"mean {100 * sum(r['w3m'] for r in ok.values()) / n:.2f}% | "
              f"{sum(r['glued'] for r in ok.values())} | {100 * sized_all:.2f}% ({100 * aligned:.0f}%), "
              f"min {100 * min(r['sized'] for r in ok.values()):.2f}% | "
              f"{sum(r['landed'] for r in ok.values())}/{sum(r['buttons'] for r in ok.values())} | "
              f"{sum(r['pre_kept'] for r in ok.values())}/{sum(r['pre'] for r in ok.values())} |")
    if args.out:
        os.makedirs(args.out, exist_ok=True)
        with open(os.path.join(args.out, "results.json"), "w") as f:
            json.dump(results, f, indent=1, ensure_ascii=False)


if __name__ == "__main__":
    main()
