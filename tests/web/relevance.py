#!/usr/bin/env python3
"""The web search's relevance: the queries of relevance.tsv run by the
pages' own script (help.js under Node) on the sites built from the sample
project and, when the shared corpus is beside the project, two corpus
projects. Prints, for each site, the share of queries whose first hit is a
page a reader takes (precision at 1) and of those with such a page among
the first five; fails below 0.9 at 1, or when a page that must not be
listed is.

    relevance.py KIVHELP KIVHC SAMPLE_DIR CORPUS_DIR
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

HERE = Path(__file__).resolve().parent


def main():
    kivhelp, kivhc, sample, corpus = sys.argv[1:5]
    node = shutil.which("node") or shutil.which("nodejs")
    if not node:
        print("node is not installed: skipped")
        return 77
    work = Path(tempfile.mkdtemp(prefix="kivhelp-relevance-"))
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", HOME=str(work), XDG_CONFIG_HOME=str(work / "config"),
               XDG_RUNTIME_DIR=str(work))
    try:
        shutil.copytree(sample, work / "sample")
        subprocess.run([kivhelp, "--build", str(work / "sample/Kivhelp/Kivhelp.PRJ"), "--format", "html"],
                       env=env, cwd=work, check=True, capture_output=True, timeout=300)
        sites = {"sample": work / "sample/Kivhelp.COM/Kivhelp_html"}
        for name, hpj in (("demist", "demist/hlp/demist.hpj"), ("nmr-es", "nmr-es/hlp/Proyecto.hpj")):
            if (Path(corpus) / hpj).is_file():
                shutil.copytree(Path(corpus) / name, work / name)
                subprocess.run([kivhc, "--format", "html", "-o", str(work / (name + "_html")), str(work / hpj)],
                               env=env, check=True, capture_output=True, timeout=300)
                sites[name] = work / (name + "_html")
            else:
                print(f"{name}: the corpus is not at {corpus}, not tried")
        cases = {}
        for line in (HERE / "relevance.tsv").read_text("utf-8").splitlines():
            if not line.strip() or line.startswith("#"):
                continue
            fields = line.split("\t") + ["", ""]
            cases.setdefault(fields[0], []).append((fields[1], fields[2], [n for n in fields[3].split(",") if n]))
        failures = []
        for name, site in sites.items():
            queries = cases.get(name, [])
            run = subprocess.run([node, str(HERE / "search_query.js"), str(site)], input="\n".join(q for q, _, _ in queries),
                                 capture_output=True, text=True, timeout=300)
            if run.returncode != 0:
                print(run.stderr)
                failures.append(f"{name}: the pages' script fails under node")
                continue
            answers = [json.loads(line) for line in run.stdout.splitlines()]
            first = five = judged = 0
            for (q, wanted, banned), answer in zip(queries, answers):
                hits = answer["hits"]
                for page in banned:
                    if page in hits:
                        failures.append(f"{name}: « {q} » lists {page}")
                if wanted == "-":
                    if hits:
                        failures.append(f"{name}: « {q} » should find nothing, lists {hits[:3]}")
                    continue
                if wanted == "*":
                    continue
                judged += 1
                ok = wanted.split("|")
                first += bool(hits) and hits[0] in ok
                five += any(h in ok for h in hits[:5])
                if not hits or hits[0] not in ok:
                    print(f"{name}: « {q} » first {hits[:1]}, wanted {wanted}")
            p1, s5 = first / max(1, judged), five / max(1, judged)
            print(f"{name}: {len(queries)} queries, precision at 1 {p1:.2f}, a wanted page in the first five {s5:.2f}")
            if p1 < 0.9:
                failures.append(f"{name}: precision at 1 {p1:.2f} < 0.9")
        for f in failures:
            print("FAIL:", f)
        return 1 if failures else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
