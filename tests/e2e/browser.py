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
compiler test's pages (with pictures and a table). Screenshots are left in
OUT/shots.

    browser.py KIVHELP KIVHC SAMPLE_DIR CORPUS_DIR OUT
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
        # A corpus project with pop-ups, pictures, tabs and a contents file.
        if (Path(corpus) / "demist").is_dir():
            shutil.copytree(Path(corpus) / "demist", work / "demist")
            run = subprocess.run([kivhc, "--format", "html", "-o", str(work / "demist_html"), str(work / "demist/hlp/demist.hpj")],
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
        else:
            print(f"the corpus is not at {corpus}: its project is not tried")
        browser = Browser(exe, work / "profile")
        try:
            for name, site in sites.items():
                check_site(browser, name, site, shots)
            if "demist" in sites:
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
