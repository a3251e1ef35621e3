#!/usr/bin/env python3
"""The web help in headless Chromium, driven as a reader would: real mouse
clicks and key presses sent through the browser's DevTools protocol (over a
pipe, so nothing beyond Python's standard library is needed).

For each site: a click on a jump leads to the page it names, scrolled to its
anchor; a click on a pop-up opens its box in place; a word typed into the
search page finds the last topic of the contents, and a click on the hit
opens it. The sites are the sample project published by `kivhelp --build`,
a corpus project converted by `kivhc` and a help file of the classic
compiler published from the .HLP alone (when the corpus is there), and the
compiler test's pages (with pictures and a table). axe-core also reads each
kind of page of every other project and compiled help of the corpus and of
both editions of the user's manual (MANUAL_DIR: the build's manual/ folder).
Screenshots are left in OUT/shots.

    browser.py KIVHELP KIVHC SAMPLE_DIR CORPUS_DIR OUT [MANUAL_DIR]
Exit 77 when Chromium is not installed."""
import base64
import json
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path


class Failure(Exception):
    pass


class Browser:
    """One headless Chromium and one page, spoken to over --remote-debugging-pipe:
    JSON messages ended by NUL, commands on fd 3, answers and events on fd 4."""

    def __init__(self, exe, profile):
        to_browser_r, self.to_browser = os.pipe()
        self.from_browser, from_browser_w = os.pipe()
        script = f'exec "$0" "$@" 3<&{to_browser_r} 4>&{from_browser_w}'
        self.proc = subprocess.Popen(
            ["bash", "-c", script, exe, "--headless", "--no-sandbox", "--disable-gpu",
             "--remote-debugging-pipe", f"--user-data-dir={profile}", "--window-size=1000,700",
             "--no-first-run", "about:blank"],
            pass_fds=(to_browser_r, from_browser_w), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self.buffer = b""
        self.next_id = 0
        self.session = None
        targets = self.call("Target.getTargets")["targetInfos"]
        page = next(t for t in targets if t["type"] == "page")
        self.session = self.call("Target.attachToTarget", targetId=page["targetId"], flatten=True)["sessionId"]
        self.call("Page.enable")
        self.call("Runtime.enable")

    def close(self):
        try:
            self.call("Browser.close")
        except Exception:
            pass
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()

    def _message(self, deadline):
        while b"\0" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.from_browser], [], [], left)[0]:
                raise Failure("the browser does not answer")
            chunk = os.read(self.from_browser, 65536)
            if not chunk:
                raise Failure("the browser has quit")
            self.buffer += chunk
        raw, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(raw)

    def call(self, method, **params):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params}
        if self.session and not method.startswith(("Target.", "Browser.")):
            message["sessionId"] = self.session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + 30
        while True:
            answer = self._message(deadline)
            if answer.get("id") == self.next_id:
                if "error" in answer:
                    raise Failure(f"{method}: {answer['error']}")
                return answer.get("result", {})

    def js(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        if "exceptionDetails" in result:
            raise Failure(f"script failed: {expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def wait_for(self, expression, what, seconds=15):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            try:
                if self.js(expression):
                    return
            except Failure:
                pass  # the page is being replaced
            time.sleep(0.1)
        raise Failure(f"{what} (waited {seconds} s for {expression})")

    def open(self, url):
        self.call("Page.navigate", url=url)
        self.wait_for(f"location.href === {json.dumps(url)} && document.readyState === 'complete'", f"{url} does not load")

    def click(self, selector):
        """A left click in the middle of the element's first box, as the mouse gives it."""
        point = self.js(f"""(function () {{
            var e = document.querySelector({json.dumps(selector)});
            if (!e) return null;
            e.scrollIntoView({{block: 'center'}});
            var r = e.getClientRects()[0];
            var x = r.left + r.width / 2, y = r.top + r.height / 2;
            var hit = document.elementFromPoint(x, y);
            return [x, y, !!hit && (hit === e || e.contains(hit))];
        }})()""")
        if not point:
            raise Failure(f"nothing to click: {selector}")
        x, y, reachable = point
        if not reachable:
            raise Failure(f"{selector} is hidden under another element")
        self.call("Input.dispatchMouseEvent", type="mouseMoved", x=x, y=y)
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left", clickCount=1)

    def type(self, text):
        self.call("Input.insertText", text=text)

    def enter(self):
        self.key("Enter", 13, "\r")

    def key(self, name, code, text=None):
        for kind in ("keyDown", "keyUp"):
            self.call("Input.dispatchKeyEvent", type=kind, key=name, code=name, windowsVirtualKeyCode=code,
                      **({"text": text} if text and kind == "keyDown" else {}))

    def click_at(self, x, y):
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left", clickCount=1)

    def viewport(self, width, height, mobile=False):
        self.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=1, mobile=mobile)

    def dark(self, on):
        self.call("Emulation.setEmulatedMedia", features=[{"name": "prefers-color-scheme", "value": "dark" if on else "light"}])

    def axe(self, source):
        """The WCAG 2 level A and AA violations axe-core finds in the page."""
        if not self.js("typeof axe !== 'undefined'"):
            self.js(source + "\n;true")
        result = self.call("Runtime.evaluate", awaitPromise=True, returnByValue=True, expression="""
            axe.run(document, {runOnly: {type: 'tag', values: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22aa']}})
               .then(function (r) { return r.violations.map(function (v) {
                   return v.id + ': ' + v.nodes.slice(0, 3).map(function (n) { return n.target.join(' '); }).join(' | '); }); })""")
        if "exceptionDetails" in result:
            raise Failure(f"axe-core failed: {result['exceptionDetails']}")
        return result["result"]["value"]

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", format="png")["data"]
        Path(path).write_bytes(base64.b64decode(data))


def first_page_with(site, pattern):
    for page in sorted(site.glob("*.html")):
        if page.name not in ("index.html", "keywords.html", "search.html") and re.search(pattern, page.read_text("utf-8")):
            return page
    return None


def check_site(browser, name, site, shots):
    url = lambda page: site.joinpath(page).as_uri()

    # A jump, clicked: the page it names opens at its anchor, in view.
    page = first_page_with(site, r'class="jump" href="[^"#]+#')
    if not page:
        raise Failure(f"{name}: no page with a jump")
    browser.open(url(page.name))
    href = browser.js("document.querySelector('a.jump[href*=\"#\"]').getAttribute('href')")
    target, anchor = href.split("#", 1)
    browser.click('a.jump[href*="#"]')
    browser.wait_for(f"location.pathname.endsWith('/' + {json.dumps(target)}) && document.readyState === 'complete'",
                     f"{name}: the click on the jump {href} in {page.name} leads nowhere")
    browser.wait_for(f"""(function () {{ var e = document.getElementById({json.dumps(anchor)});
        if (!e) return false; var r = e.getBoundingClientRect(); return r.top >= -1 && r.top < innerHeight; }})()""",
                     f"{name}: {target} is not shown at its anchor {anchor}")
    print(f"{name}: the jump {page.name} -> {href} followed")

    # A pop-up, clicked: its box opens over the page, which stays.
    page = first_page_with(site, r'class="popup"')
    if page:
        browser.open(url(page.name))
        n = browser.js("document.querySelector('a.popup').dataset.popup")
        browser.click("a.popup")
        browser.wait_for(f"""(function () {{ var b = document.getElementById('box-{n}');
            return getComputedStyle(b).display === 'block' && b.innerText.trim().length > 0; }})()""",
                         f"{name}: the pop-up {n} of {page.name} does not open")
        if not browser.js(f"location.pathname.endsWith('/' + {json.dumps(page.name)})"):
            raise Failure(f"{name}: the pop-up left its page")
        browser.screenshot(shots / f"{name}-popup.png")
        # The pop-up has the keyboard; Escape closes it and gives the
        # keyboard back to its link; a click elsewhere closes it too.
        if not browser.js(f"document.activeElement === document.getElementById('box-{n}')"):
            raise Failure(f"{name}: the pop-up {n} does not take the keyboard")
        browser.key("Escape", 27)
        browser.wait_for(f"getComputedStyle(document.getElementById('box-{n}')).display === 'none'",
                         f"{name}: Escape does not close the pop-up {n}")
        if not browser.js("document.activeElement === document.querySelector('a.popup')"):
            raise Failure(f"{name}: after Escape the keyboard is not back on the pop-up's link")
        browser.click("a.popup")
        browser.wait_for(f"getComputedStyle(document.getElementById('box-{n}')).display === 'block'", f"{name}: the pop-up {n} does not open again")
        spot = browser.js(f"""(function () {{ var box = document.getElementById('box-{n}');
            for (var y = innerHeight - 10; y > 10; y -= 25) for (var x = innerWidth - 20; x > 10; x -= 40) {{
                var e = document.elementFromPoint(x, y);
                if (e && !box.contains(e) && !e.closest('a, area, button, input')) return [x, y];
            }}
            return null; }})()""")
        if not spot:
            raise Failure(f"{name}: no place outside the pop-up {n} to click")
        browser.click_at(*spot)
        browser.wait_for(f"getComputedStyle(document.getElementById('box-{n}')).display === 'none'",
                         f"{name}: a click outside does not close the pop-up {n}")
        print(f"{name}: the pop-up {n} of {page.name} opened, closed by Escape and by a click outside")

    # The search: a word of the last topic in the contents, typed and sent
    # with Enter, finds that topic; its hit opens it.
    browser.open(url("index.html"))
    last = browser.js("(function () { var a = document.querySelectorAll('.text a[href]'); return a[a.length - 1].getAttribute('href'); })()")
    last = last.split("#", 1)[0]
    browser.open(url(last))
    words = browser.js("document.querySelector('.text') ? document.querySelector('.text').innerText : document.body.innerText")
    candidates = sorted({w for w in re.findall(r"[^\W\d_]{6,}", words)}, key=lambda w: (-len(w), w))
    if not candidates:
        raise Failure(f"{name}: no word to search for in {last}")
    word = candidates[0]
    browser.open(url("search.html"))
    browser.click("#q")
    browser.type(word)
    browser.enter()
    browser.wait_for(f"document.querySelector('#hits a[href^=\"{last}\"]') !== null",
                     f"{name}: searching for « {word} » does not find {last}")
    browser.screenshot(shots / f"{name}-search.png")
    browser.click(f'#hits a[href^="{last}"]')
    browser.wait_for(f"location.pathname.endsWith('/' + {json.dumps(last)}) && document.readyState === 'complete'",
                     f"{name}: the search hit does not open {last}")
    print(f"{name}: searching for « {word} » found and opened {last}")


def axe_source(out):
    """axe-core's script, fetched once from the npm registry and checked
    against its published digest; None when it cannot be had."""
    cached = out / f"axe-core-{AXE_VERSION}.min.js"
    if not cached.exists():
        import hashlib, io, tarfile, urllib.request
        try:
            data = urllib.request.urlopen(f"https://registry.npmjs.org/axe-core/-/axe-core-{AXE_VERSION}.tgz", timeout=60).read()
        except OSError as e:
            print(f"axe-core cannot be fetched ({e})")
            return None
        if base64.b64encode(hashlib.sha512(data).digest()).decode() != AXE_SHA512:
            raise Failure("axe-core: the package fetched is not the one expected")
        with tarfile.open(fileobj=io.BytesIO(data)) as tar:
            cached.write_bytes(tar.extractfile("package/axe.min.js").read())
    return cached.read_text("utf-8")


# Sentences with inflected words, for the stemmers of other languages.
LANGUAGES = [
    ("de", "0x407", "Die Druckerwarteschlangen werden automatisch geöffnet und die Einstellungen gespeichert; "
                    "Möglichkeiten, Verbindungen, Freundlichkeit, Übersetzungen, größere Fenster."),
    ("es", "0x40A", "Las impresoras están configuradas automáticamente; imprimiendo, abriéndolo, configuraciones, "
                    "posibilidades, haciéndole, averigüe, siguen."),
    ("pt", "0x816", "As impressoras estão configuradas automaticamente; imprimindo, configurações, possibilidades, "
                    "informações, amigavelmente."),
    ("nl", "0x413", "De printers worden automatisch geconfigureerd; instellingen, mogelijkheden, verbindingen, "
                    "vriendelijkheid, lijken, maanden."),
    ("ru", "0x419", "Принтеры настраиваются автоматически; настройки, возможности, соединения, открывающийся, "
                    "красивейший, ёлки."),
]

AXE_VERSION = "4.14.1"
AXE_SHA512 = "FHfa+lmNjQZfJz1q8wKqIDwC6DExcHt/pkjNQb09a3NPjCKg2rhu5qb2S4r76ASyFNNtuFooJpZe37OgudVGtQ=="


def check_accessible(browser, name, url, axe):
    if axe is None:
        return
    found = browser.axe(axe)
    if found:
        raise Failure(f"{name}: axe-core finds in {url.rsplit('/', 1)[-1]}:\n  " + "\n  ".join(found))


def search_in_header(browser, name, words):
    """Types `words` into the header's field as a reader does; the hits
    listed under it: [href, title] each, best first."""
    browser.js("document.querySelector('.find input').value = ''")
    browser.click(".find input")
    browser.type(words)
    browser.wait_for("document.querySelector('#found li') !== null && !document.querySelector('#found li.wait')",
                     f"{name}: typing « {words} » into the search field lists nothing")
    time.sleep(0.3)  # the last keystroke's query
    return browser.js("Array.from(document.querySelectorAll('#found li > a')).map(function (a) { return [a.getAttribute('href'), a.textContent]; })")


def check_stems(browser, name, site):
    """The page script finds each word of the site's texts under the term
    the index has for it: its stemmer is the index's (libstemmer)."""
    browser.open(site.joinpath("index.html").as_uri())
    browser.js("""withScripts(['search/meta.js', 'search/stem.js'], function () {
        var names = [], i;
        for (i = 0; i < SEARCH.meta.texts.length; ++i) names.push('search/t' + i + '.js');
        for (i = 0; i < SEARCH.meta.parts; ++i) names.push('search/w' + i + '.js');
        withScripts(names, function () {
            var missing = [], count = 0;
            for (var t in SEARCH.texts) each(SEARCH.texts[t], function (text) {
                each(text.match(WORD) || [], function (word) {
                    each(terms(word), function (term) {
                        ++count;
                        if (!(SEARCH.parts[partOf(term)] || {}).hasOwnProperty(term) && missing.length < 20) missing.push(word + ' -> ' + term);
                    });
                });
            });
            window.STEM_CHECK = {stemmer: SEARCH.meta.stemmer, script: !!STEMMERS[SEARCH.meta.stemmer], missing: missing, count: count};
        });
    }); true""")
    browser.wait_for("window.STEM_CHECK !== undefined", f"{name}: the index does not load")
    check = browser.js("window.STEM_CHECK")
    if not check["script"]:
        print(f"{name}: no stemmer in the page for « {check['stemmer']} »: words are found by their start")
        return
    if check["missing"]:
        raise Failure(f"{name}: the page's {check['stemmer']} stemmer and the index differ: {check['missing']}")
    print(f"{name}: the page's {check['stemmer']} stemmer gives the index's term for all {check['count']} words")


def check_context_help(browser, name, site, table):
    """context.html?id=N opens the page of every [MAP] number, from disk;
    ?name= the page of a context; an unknown number says so."""
    numbered = [c for c in table["contexts"] if "number" in c]
    if not numbered:
        raise Failure(f"{name}: the map has no number")
    for c in numbered + [dict(c, number=None) for c in table["contexts"][-3:]]:
        query = f"id={c['number']}" if c["number"] is not None else f"name={c['name'].lower()}"
        page, anchor = c["page"].split("#", 1)
        browser.call("Page.navigate", url=site.joinpath("context.html").as_uri() + "?" + query)
        browser.wait_for(f"location.pathname.endsWith('/' + {json.dumps(page)}) && location.hash === {json.dumps('#' + anchor)}"
                         " && document.readyState === 'complete'", f"{name}: context.html?{query} does not open {c['page']}")
    browser.open(site.joinpath("context.html").as_uri() + "?id=4294967000")
    browser.wait_for("document.getElementById('context').textContent.indexOf('4294967000') >= 0",
                     f"{name}: an unknown number is not said")
    print(f"{name}: context.html?id=N opened the page of each of the {len(numbered)} [MAP] numbers")


def check_french_search(browser, site, shots):
    """The sample's search folds accents, finds a plural from its singular,
    and ranks the pages whose title has the word first."""
    browser.open(site.joinpath("index.html").as_uri())
    for typed, expected in [("element", "Premiers_pas.html"), ("imprimante", "Construire_le_fichier_daide.html")]:
        hits = search_in_header(browser, "sample", typed)
        if not any(h[0].startswith(expected + "?") for h in hits):
            raise Failure(f"sample: « {typed} » does not find {expected}: {hits}")
    hits = search_in_header(browser, "sample", "fichier")
    titled = [("fichier" in h[1].lower()) for h in hits]
    if not titled or not titled[0] or titled != sorted(titled, reverse=True):
        raise Failure(f"sample: the pages titled « fichier » are not first: {hits}")
    browser.screenshot(shots / "sample-search-header.png")
    print(f"sample: « element », « imprimante » found; « fichier » ranks the {titled.count(True)} titled pages first")
    # A typing slip is forgiven and said; a malformed escape in the address
    # is read as typed (it stopped the page's script).
    browser.open(site.joinpath("search.html").as_uri() + "?q=imgae%ZZ")
    browser.wait_for("document.getElementById('q') && document.getElementById('q').value === 'imgae%ZZ'",
                     "sample: search.html?q=imgae%ZZ does not put the words in its field")
    browser.open(site.joinpath("search.html").as_uri() + "?q=imgae")
    browser.wait_for("document.getElementById('said').textContent.indexOf('image') >= 0 && "
                     "document.querySelectorAll('#hits a').length === 1",
                     "sample: « imgae » does not say it took « image » and find its page")
    said = browser.js("document.getElementById('said').textContent")
    print(f"sample: « imgae » read as « image »: {said}")


def check_theme(browser, name, site, shots):
    """The header's theme button: light, then dark, kept when the page is
    opened again, then the system's scheme again."""
    url = site.joinpath("index.html").as_uri()
    browser.viewport(1280, 800)
    browser.open(url)
    background = """(function () { var c = getComputedStyle(document.body).backgroundColor.match(/\\d+/g);
        return (+c[0] + +c[1] + +c[2]) / 3; })()"""
    browser.wait_for("document.querySelector('.theme') !== null", f"{name}: no theme button")
    browser.click(".theme")
    browser.wait_for("document.documentElement.className.indexOf('light') >= 0", f"{name}: the theme button does not choose light")
    browser.click(".theme")
    browser.wait_for(background + " < 80", f"{name}: the theme button does not choose dark")
    browser.open(url)
    browser.wait_for("document.readyState === 'complete' && " + background + " < 80", f"{name}: the dark theme is not kept")
    browser.screenshot(shots / f"{name}-chosen-dark.png")
    said = browser.js("document.querySelector('.theme .sr').textContent")
    browser.click(".theme")
    browser.wait_for(background + " > 160", f"{name}: the theme button does not go back to the system's")
    print(f"{name}: the theme button chose light, then dark (kept: « {said} »), then the system's")


def check_every_kind(browser, name, site, axe):
    """axe-core on every kind of page (a topic, one with pop-ups, the
    contents, the keyword index, the search with hits), light and dark, at
    a phone's width and a desktop's."""
    if axe is None:
        return
    # The contents' lines: the top level, then each book's part.
    toc = (site / "toc.js").read_text("utf-8") + "".join(p.read_text("utf-8") for p in sorted(site.glob("toc/*.js")))
    pages = [p.split("#", 1)[0] for p in re.findall(r',"([^"]+)"(?:,\d+)?\]', toc) if p]
    popup = first_page_with(site, r'class="popup"')
    word = next(iter(re.findall(r"[^\W\d_]{5,}", (site / pages[-1]).read_text("utf-8").split("<main", 1)[-1]) if pages else []), "a")
    kinds = [pages[-1] if pages else "index.html", "index.html", "keywords.html", "search.html?q=" + word] + ([popup.name] if popup else [])
    runs = 0
    try:
        for dark in (False, True):
            browser.dark(dark)
            for width in (1280, 375):
                browser.viewport(width, 800, mobile=width < 800)
                for kind in kinds:
                    file, _, query = kind.partition("?")
                    browser.open(site.joinpath(file).as_uri() + ("?" + query if query else ""))
                    browser.wait_for("document.readyState === 'complete'", f"{name}: {kind} does not load")
                    if query:
                        browser.wait_for("document.querySelectorAll('#hits li').length > 0", f"{name}: {kind} lists nothing")
                    check_accessible(browser, name, f"{kind} ({'dark' if dark else 'light'}, {width} px)", axe)
                    runs += 1
    finally:
        browser.dark(False)
        browser.viewport(1280, 800)
    print(f"{name}: axe-core finds nothing on {len(kinds)} kinds of page, light and dark, at 375 and 1280 px ({runs} runs)")


def check_layout(browser, name, site, shots, axe):
    """The contents beside a page, the current page marked and in view; the
    search field of its header; a phone's width; the dark scheme; and no
    accessibility fault axe-core knows."""
    # The contents' lines: the top level, then each book's part.
    toc = (site / "toc.js").read_text("utf-8") + "".join(p.read_text("utf-8") for p in sorted(site.glob("toc/*.js")))
    pages = [p.split("#", 1)[0] for p in re.findall(r',"([^"]+)"(?:,\d+)?\]', toc) if p]
    if not pages:
        raise Failure(f"{name}: the contents list no page")
    page = pages[-1]
    url = site.joinpath(page).as_uri()
    browser.viewport(1280, 800)
    browser.open(url)
    browser.wait_for("""(function () { var a = document.querySelector('#pane a[aria-current="page"]'), pane = document.getElementById('pane');
        if (!a) return false; var r = a.getBoundingClientRect(), p = pane.getBoundingClientRect();
        return r.top >= p.top && r.bottom <= p.bottom && r.width > 0; })()""", f"{name}: {page} is not marked and shown in the contents")
    marked = browser.js("document.querySelector('#pane a[aria-current=\"page\"]').getAttribute('href')").split("#", 1)[0]
    if marked != page:
        raise Failure(f"{name}: the contents mark {marked} on {page}")
    browser.screenshot(shots / f"{name}-1280.png")
    check_accessible(browser, name, url, axe)
    # A book folded and unfolded by its button.
    if browser.js("(function (t) { if (t) t.id = 'folded'; return !!t; })(document.querySelector('#pane .twist[aria-expanded=\"false\"]'))"):
        browser.click("#folded")
        browser.wait_for("""(function (t) { return t.getAttribute('aria-expanded') === 'true'
            && getComputedStyle(t.parentNode.lastChild).display !== 'none'; })(document.getElementById('folded'))""",
                         f"{name}: a book of the contents does not unfold")
    # The search field: a word of this page finds it; its hit opens it
    # with the word marked.
    words = browser.js("document.querySelector('.text').innerText")
    # The word of this page that the fewest other pages have, so that the
    # page is among the first hits.
    texts = [p.read_text("utf-8").lower() for p in site.glob("*.html")]
    candidates = sorted({w for w in re.findall(r"[^\W\d_]{7,}", words)},
                        key=lambda w: (sum(w.lower() in t for t in texts), -len(w), w))
    if candidates:
        hits = search_in_header(browser, name, candidates[0])
        if not any(h[0].startswith(page + "?") for h in hits):
            raise Failure(f"{name}: « {candidates[0]} » typed in the header does not find {page}: {hits}")
        browser.click(f'#found a[href^="{page}?"]')
        browser.wait_for("document.readyState === 'complete' && document.querySelector('#main mark') !== null",
                         f"{name}: the page found does not mark « {candidates[0]} »")
        print(f"{name}: « {candidates[0]} » typed in the header found {page}, opened with the word marked")
    # The site's other kinds of page: the contents, the search with its
    # hits, a page with pop-ups.
    popup_page = first_page_with(site, r'class="popup"')
    for other in ["index.html", "keywords.html", "search.html?q=" + (candidates[0] if candidates else "a")] + ([popup_page.name] if popup_page else []):
        browser.open(site.joinpath(other.split("?")[0]).as_uri() + ("?" + other.split("?")[1] if "?" in other else ""))
        check_accessible(browser, name, other, axe)
    # A phone: no sideways scrolling, the contents behind a button.
    for narrow in [page, "index.html"]:
        browser.viewport(375, 740, mobile=True)
        browser.open(site.joinpath(narrow).as_uri())
        wide = browser.js("document.documentElement.scrollWidth - window.innerWidth")
        if wide > 0:
            raise Failure(f"{name}: at 375 px {narrow} scrolls sideways by {wide} px")
    browser.open(url)
    if browser.js("getComputedStyle(document.getElementById('pane')).display") != "none":
        raise Failure(f"{name}: at 375 px the contents are not folded away")
    browser.screenshot(shots / f"{name}-375.png")
    browser.click(".menu")
    browser.wait_for("getComputedStyle(document.getElementById('pane')).display !== 'none'",
                     f"{name}: at 375 px the button does not show the contents")
    browser.screenshot(shots / f"{name}-375-contents.png")
    # The dark scheme: dark background, text still readable.
    browser.viewport(1280, 800)
    browser.dark(True)
    try:
        browser.open(url)
        light = browser.js("""(function () { var c = getComputedStyle(document.body).backgroundColor.match(/\d+/g);
            return (+c[0] + +c[1] + +c[2]) / 3; })()""")
        if light > 80:
            raise Failure(f"{name}: the dark scheme leaves the page light ({light})")
        browser.screenshot(shots / f"{name}-dark.png")
        check_accessible(browser, name + " (dark)", url, axe)
    finally:
        browser.dark(False)
    print(f"{name}: {page} marked in the contents; 375 px without sideways scrolling; dark scheme; axe-core clean")


def check_pictures(browser, name, site, shots):
    """A page with pictures, with a table if one has both: every picture is
    loaded and drawn."""
    page = (first_page_with(site, r'(?s)<img src="images/.*<table class="cells">|<table class="cells">.*<img src="images/')
            or first_page_with(site, r'<img src="images/'))
    if not page:
        raise Failure(f"{name}: no page with a picture")
    browser.open(site.joinpath(page.name).as_uri())
    browser.wait_for("Array.from(document.images).every(function (i) { return i.complete && i.naturalWidth > 0; })",
                     f"{name}: a picture of {page.name} does not load")
    tables = browser.js("document.querySelectorAll('table.cells').length")
    browser.screenshot(shots / f"{name}-pictures.png")
    print(f"{name}: {page.name} shows its pictures and {tables} table(s)")
    return tables


def check_tabs(browser, name, site):
    """Text after a tab starts at the paragraph's tab stop, as in the viewer."""
    page = first_page_with(site, r'data-tabs="[^"]+">[^\n]*class="tab"')
    if not page:
        raise Failure(f"{name}: no page with tab stops")
    browser.open(site.joinpath(page.name).as_uri())
    misplaced = browser.js("""Array.from(document.querySelectorAll('p[data-tabs] span.tab')).filter(function (t) {
        var p = t.closest('p');
        var origin = p.getBoundingClientRect().left - parseFloat(getComputedStyle(p).marginLeft);
        var end = (t.getBoundingClientRect().right - origin) * 3 / 4;
        return !p.dataset.tabs.split(',').some(function (s) { return Math.abs(parseFloat(s) - end) < 1; })
               && Math.abs(end / 36 - Math.round(end / 36)) > 0.03;
    }).length""")
    if misplaced:
        raise Failure(f"{name}: {misplaced} tab(s) of {page.name} end off their stops")
    print(f"{name}: the tabs of {page.name} reach their stops")


def main():
    kivhelp, kivhc, sample, corpus, out = (os.path.abspath(a) for a in sys.argv[1:6])
    manual = Path(sys.argv[6]) if len(sys.argv) > 6 else None
    exe = shutil.which("chromium") or shutil.which("chromium-browser")
    if not exe:
        print("chromium is not installed: skipped")
        return 77
    out = Path(out).resolve()
    shots = out / "shots"
    shots.mkdir(parents=True, exist_ok=True)
    work = Path(tempfile.mkdtemp(prefix="kivhelp-browser-"))
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=str(work))
    try:
        # The sample project, published by the program without its window.
        shutil.copytree(sample, work / "built")
        run = subprocess.run([kivhelp, "--build", str(work / "built/Kivhelp/Kivhelp.PRJ"), "--format", "html"],
                             env=env, cwd=work, capture_output=True, text=True, timeout=120)
        if run.returncode != 0:
            raise Failure(f"kivhelp --build failed:\n{run.stdout}{run.stderr}")
        sites = {"sample": work / "built/Kivhelp.COM/Kivhelp_html"}
        others = {}
        # A corpus project with pop-ups, pictures, tabs and a contents file.
        if (Path(corpus) / "demist").is_dir():
            shutil.copytree(Path(corpus) / "demist", work / "demist")
            run = subprocess.run([kivhc, "--format", "html", "-o", str(work / "demist_html"), "--map-out", str(work / "demist-map.json"),
                                  str(work / "demist/hlp/demist.hpj")],
                                 env=env, capture_output=True, text=True, timeout=120)
            if run.returncode != 0:
                raise Failure(f"kivhc --format html failed on demist:\n{run.stdout}{run.stderr}")
            sites["demist"] = work / "demist_html"
            # A help file the classic compiler made, published from the .HLP alone.
            run = subprocess.run([kivhc, "--format", "html", "-o", str(work / "reference_html"),
                                  str(Path(corpus) / "reference-hlp/VIDSEND2.HLP")], capture_output=True, text=True)
            if run.returncode != 0:
                raise Failure(f"kivhc --format html failed on VIDSEND2.HLP:\n{run.stdout}{run.stderr}")
            sites["reference"] = work / "reference_html"
            # Every other project and compiled help of the corpus: axe-core
            # on each kind of page.
            for source in sorted(Path(corpus).glob("*/**/*.hpj")) + sorted((Path(corpus).parent / "compiled-hlp").glob("*/*.[hH][lL][pP]")) \
                    + sorted(Path(corpus).glob("reference-hlp/PROYECTO.HLP")):
                if source.name == "demist.hpj":
                    continue
                # A copy: the compiler's log goes beside the project.
                top = Path(corpus).parent / source.relative_to(Path(corpus).parent).parts[0] / source.relative_to(Path(corpus).parent).parts[1]
                name = f"{top.name}-{source.stem}".lower()
                if not (work / "src" / top.name).exists():
                    shutil.copytree(top, work / "src" / top.name)
                copy = work / "src" / top.name / source.relative_to(top)
                run = subprocess.run([kivhc, "--format", "html", "--missing-files=warning", "-o", str(work / f"corpus-{name}"), str(copy)],
                                     env=env, capture_output=True, text=True, timeout=300)
                if run.returncode != 0:
                    raise Failure(f"kivhc --format html failed on {source}:\n{run.stdout}{run.stderr}")
                others[name] = work / f"corpus-{name}"
        else:
            print(f"the corpus is not at {corpus}: its project is not tried")
        # A page in each other language with a stemmer in the pages' script.
        for lang, lcid, text in LANGUAGES:
            folder = work / f"lang-{lang}"
            folder.mkdir()
            rtf = "".join(c if ord(c) < 128 else f"\\u{ord(c) if ord(c) < 32768 else ord(c) - 65536}?" for c in text)
            (folder / "t.hpj").write_text(f"[OPTIONS]\r\nTITLE={lang}\r\nLCID={lcid} 0x0 0x0\r\n[FILES]\r\nt.rtf\r\n")
            (folder / "t.rtf").write_text("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}#{\\footnote # a}${\\footnote $ " + lang + "}" + rtf + "\\par}")
            run = subprocess.run([kivhc, "--format", "html", "-o", str(folder / "web"), str(folder / "t.hpj")], env=env, capture_output=True, text=True)
            if run.returncode != 0:
                raise Failure(f"kivhc --format html failed on the {lang} page:\n{run.stdout}{run.stderr}")
        axe = axe_source(out)
        browser = Browser(exe, work / "profile")
        try:
            for name, site in sites.items():
                check_site(browser, name, site, shots)
                check_layout(browser, name, site, shots, axe)
                check_every_kind(browser, name, site, axe)
                check_stems(browser, name, site)
            for name, site in others.items():
                check_every_kind(browser, name, site, axe)
            # The user's manual, both editions as the build published them.
            for edition, folder in (("manual-fr", "fr/Manuel_html"), ("manual-en", "en/Manual_html")):
                if manual and (manual / folder).is_dir():
                    check_site(browser, edition, manual / folder, shots)
                    check_every_kind(browser, edition, manual / folder, axe)
                else:
                    print(f"{edition}: the manual is not built: not tried")
            check_french_search(browser, sites["sample"], shots)
            check_theme(browser, "sample", sites["sample"], shots)
            for lang, _, _ in LANGUAGES:
                check_stems(browser, lang, work / f"lang-{lang}" / "web")
            if "demist" in sites:
                check_context_help(browser, "demist", sites["demist"], json.loads((work / "demist-map.json").read_text("utf-8")))
                check_pictures(browser, "demist", sites["demist"], shots)
                check_tabs(browser, "demist", sites["demist"])
            corpus_pages = out / "Corpus_html"
            if corpus_pages.is_dir():
                check_site(browser, "compiler-test", corpus_pages, shots)
                if check_pictures(browser, "compiler-test", corpus_pages, shots) < 1:
                    raise Failure("compiler-test: the page with pictures lost its table")
        finally:
            browser.close()
    except Failure as failure:
        print(f"FAIL: {failure}")
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
