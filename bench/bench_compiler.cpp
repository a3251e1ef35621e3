// The help compiler on a large project: 500 topic files, 3,000,000
// characters of text with jumps, keywords and a browse sequence. Prints the
// time of a build, the peak memory of a process that does one build, and
// the ratio of a build's time to copying the same bytes; then kivhc and
// Halibut side by side on the same content, as processes, with the ratios
// of their time and memory; and the same project as web pages and as a
// compiled HTML Help file, against the .HLP build in the same run.
//   build/bench/kivhelp_bench --benchmark_filter=Compile
#include "compiler/HelpCompiler.h"
#include "compiler/sources/DecompiledProject.h"
#include "compiler/hlp/HlpDocumentRead.h"
#include "platform/SafeFile.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

#include <memory>
#include <vector>

namespace {

constexpr int Topics = 500;
constexpr qint64 Characters = 3000000;

struct BigProject {
    QTemporaryDir dir;
    QStringList files;
    qint64 bytes = 0;
    QString halibutSource() const { return dir.path() + "/big.but"; }
    QString hpj(bool compressed) const { return dir.path() + (compressed ? "/big-lz.hpj" : "/big.hpj"); }
};

// A project of `topics` topics and about `characters` letters in all,
// written as the authoring program writes a project's sources, with the
// same text for Halibut.
BigProject *makeProject(int topics, qint64 characters)
{
    {
        const int Topics = topics;
        const qint64 Characters = characters;
        auto *project = new BigProject;
        project->dir.setAutoRemove(qEnvironmentVariableIsEmpty("KIVHELP_BENCH_KEEP")); // kept to look at when set
        QRandomGenerator rng(42);
        static const char *const words[] = {"aide", "fichier", "page", "projet", "menu", "compilateur", "texte",
                                            "image", "saut", "fen\\'eatre", "param\\'etre", "commande"};
        QByteArray files, halibut = "\\title Grand projet\n\n";
        for (int t = 1; t <= Topics; ++t) {
            const QByteArray name = "Page_" + QByteArray::number(t);
            halibut += "\\C{" + name + "} Page " + QByteArray::number(t) + "\n\n\\i{page " + QByteArray::number(t) + "} \\i{index}\n\n";
            QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}\r\n"
                             "{\\colortbl ;\\red0\\green128\\blue0;}\r\n"
                             "#{\\footnote # " + name + " }\r\n${\\footnote $ Page " + QByteArray::number(t) + " }\r\n"
                             "K{\\footnote K page " + QByteArray::number(t) + ";index }\r\n+{\\footnote + 1: 1 }\r\n";
            qint64 chars = 0;
            while (chars < Characters / Topics) {
                QByteArray para = "\\pard\\plain\\f0\\fs26 ";
                for (int w = 0; w < 60; ++w) {
                    const QByteArray word = words[rng.bounded(int(std::size(words)))];
                    para += word + ' ';
                    chars += word.size() - word.count('\\') * 3 + 1;
                }
                const int to = int(rng.bounded(Topics)) + 1;
                para += "{\\uldb voir}{\\v Page_" + QByteArray::number(to) + "}\\par\r\n";
                // The same paragraph for Halibut (accents as their letters).
                QByteArray text = para.mid(para.indexOf(' ') + 1, para.indexOf("{\\uldb") - para.indexOf(' ') - 1);
                text.replace("\\'ea", "e").replace("\\'e", "e");
                halibut += text + "\\k{Page_" + QByteArray::number(to) + "}\n\n";
                chars += 4;
                rtf += para;
            }
            rtf += "}\r\n";
            const QString file = project->dir.path() + QStringLiteral("/T%1.rtf").arg(t);
            Platform::writeFileAtomic(file, rtf);
            project->files << file;
            project->bytes += rtf.size();
            files += "T" + QByteArray::number(t) + ".RTF\r\n";
        }
        Platform::writeFileAtomic(project->halibutSource(), halibut);
        for (const bool lz : {false, true}) {
            // YES: phrases and LZ77.
            const QByteArray hpj = "[OPTIONS]\r\nTITLE=Grand projet\r\nCOMPRESS=" + QByteArray(lz ? "YES" : "NO")
                                   + "\r\n[WINDOWS]\r\nmain=\"Grand projet\",(0,0,800,600),1,(255,255,224),(128,0,0),0\r\n[FILES]\r\n" + files;
            Platform::writeFileAtomic(project->hpj(lz), hpj);
        }
        return project;
    }
}

// The 500-topic project, written once.
const BigProject &bigProject()
{
    static BigProject *p = makeProject(Topics, Characters);
    return *p;
}

// Reads every source and writes as many bytes to one file: the floor a
// compiler that reads and writes once cannot beat.
double copySeconds(const BigProject &p)
{
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer t;
        t.start();
        QByteArray all;
        for (const QString &f : p.files) {
            QByteArray bytes;
            Platform::readWholeFile(f, &bytes);
            all += bytes;
        }
        Platform::writeFileAtomic(p.dir.path() + QStringLiteral("/copy.bin"), all);
        best = std::min(best, t.nsecsElapsed() / 1e9);
    }
    return best;
}

// Peak resident memory of a child process that does one build.
double peakMegabytes(const QString &hpj)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const Hlp::TCompileResult r = Hlp::compileProject(hpj);
        Platform::writeFileAtomic(hpj + QStringLiteral(".hlp"), r.hlp);
        _exit(r.ok ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) < 0)
        return -1;
    return usage.ru_maxrss / 1024.0;
}

void compile(benchmark::State &state, bool compressed)
{
    const BigProject &p = bigProject();
    qint64 hlpSize = 0;
    double seconds = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        const Hlp::TCompileResult r = Hlp::compileProject(p.hpj(compressed));
        Platform::writeFileAtomic(p.hpj(compressed) + QStringLiteral(".hlp"), r.hlp);
        seconds += t.nsecsElapsed() / 1e9;
        if (!r.ok)
            state.SkipWithError("the project does not compile");
        hlpSize = r.hlp.size();
    }
    state.SetBytesProcessed(state.iterations() * p.bytes);
    state.counters["source_MB"] = p.bytes / 1e6;
    state.counters["hlp_MB"] = hlpSize / 1e6;
    state.counters["peak_MB"] = peakMegabytes(p.hpj(compressed));
    state.counters["x_copy"] = seconds / double(state.iterations()) / copySeconds(p);
}

// Wall time and peak memory of a program run to its end.
struct TRun {
    double seconds = -1, megabytes = -1;
    double cpu = -1; // user and system seconds
};
TRun run(const QString &program, const QStringList &arguments)
{
    // What this process printed is not printed again by the child.
    std::fflush(stdout);
    QElapsedTimer t;
    t.start();
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<QByteArray> owned{program.toLocal8Bit()};
        for (const QString &a : arguments)
            owned.push_back(a.toLocal8Bit());
        std::vector<char *> argv;
        for (QByteArray &a : owned)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr))
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};
    return {t.nsecsElapsed() / 1e9, usage.ru_maxrss / 1024.0,
            double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6};
}

// kivhc and Halibut on the same 500 topics, each as a process, best of
// three runs; ratios below 1 mean kivhc is faster or leaner.
void compileVersusHalibut(benchmark::State &state, bool compressed)
{
    const BigProject &p = bigProject();
    const QString halibut = QStandardPaths::findExecutable(QStringLiteral("halibut"));
    if (halibut.isEmpty()) {
        state.SkipWithError("halibut is not installed");
        for (auto _ : state) {
        }
        return;
    }
    TRun ours{1e9, 1e9}, theirs{1e9, 1e9};
    for (auto _ : state) {
        const TRun a = run(QStringLiteral(KIVHC_PATH), {p.hpj(compressed)});
        const TRun b = run(halibut, {QStringLiteral("--winhelp=") + p.dir.path() + QStringLiteral("/halibut.hlp"), p.halibutSource()});
        if (a.seconds < 0 || b.seconds < 0) {
            state.SkipWithError("a compiler failed");
            break;
        }
        ours = {std::min(ours.seconds, a.seconds), std::min(ours.megabytes, a.megabytes)};
        theirs = {std::min(theirs.seconds, b.seconds), std::min(theirs.megabytes, b.megabytes)};
    }
    state.counters["kivhc_s"] = ours.seconds;
    state.counters["halibut_s"] = theirs.seconds;
    state.counters["time_ratio"] = ours.seconds / theirs.seconds;
    state.counters["kivhc_MB"] = ours.megabytes;
    state.counters["halibut_MB"] = theirs.megabytes;
    state.counters["memory_ratio"] = ours.megabytes / theirs.megabytes;
}

// kivhc as a process on N topics (Arg) of 1,500 characters, a hundred to
// a file, without compression and with COMPRESS=MEDIUM (LZ77): peak memory
// of each and their ratio (LZ77 should cost no memory of its own).
void BM_CompileMemoryLz77(benchmark::State &state)
{
    const int topics = int(state.range(0));
    QTemporaryDir dir;
    QByteArray files;
    QRandomGenerator rng(7);
    static const char *const words[] = {"aide", "fichier", "page", "projet", "menu", "compilateur", "texte", "image"};
    for (int f = 0; f * 100 < topics; ++f) {
        QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\r\n";
        for (int t = f * 100; t < std::min(topics, f * 100 + 100); ++t) {
            rtf += "#{\\footnote # P" + QByteArray::number(t) + "}${\\footnote $ Page " + QByteArray::number(t) + "}";
            for (int c = 0; c < 1500;) {
                const QByteArray word = words[rng.bounded(int(std::size(words)))];
                rtf += word + ' ';
                c += int(word.size()) + 1;
            }
            rtf += "\\par\\page\r\n";
        }
        rtf += "}\r\n";
        Platform::writeFileAtomic(dir.filePath(QStringLiteral("t%1.rtf").arg(f)), rtf);
        files += "t" + QByteArray::number(f) + ".rtf\r\n";
    }
    for (const char *compress : {"NO", "MEDIUM"})
        Platform::writeFileAtomic(dir.filePath(QStringLiteral("%1.hpj").arg(QLatin1String(compress))),
                                  QByteArray("[OPTIONS]\r\nCOMPRESS=") + compress + "\r\n[FILES]\r\n" + files);
    TRun plain{1e9, 1e9}, lz77{1e9, 1e9};
    for (auto _ : state) {
        const TRun a = run(QStringLiteral(KIVHC_PATH), {dir.filePath(QStringLiteral("NO.hpj"))});
        const TRun b = run(QStringLiteral(KIVHC_PATH), {dir.filePath(QStringLiteral("MEDIUM.hpj"))});
        if (a.seconds < 0 || b.seconds < 0) {
            state.SkipWithError("kivhc failed");
            break;
        }
        plain = {std::min(plain.seconds, a.seconds), std::min(plain.megabytes, a.megabytes)};
        lz77 = {std::min(lz77.seconds, b.seconds), std::min(lz77.megabytes, b.megabytes)};
    }
    state.counters["none_MB"] = plain.megabytes;
    state.counters["medium_MB"] = lz77.megabytes;
    state.counters["memory_ratio"] = lz77.megabytes / plain.megabytes;
    state.counters["none_s"] = plain.seconds;
    state.counters["medium_s"] = lz77.seconds;
}
BENCHMARK(BM_CompileMemoryLz77)->Arg(2000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(2);

// Decompiling the 500-topic help file (read back and written out as a
// project) against compiling it, in the same run (target: at most 2x).
void BM_DecompileBigProject(benchmark::State &state)
{
    const BigProject &p = bigProject();
    QElapsedTimer t;
    t.start();
    const Hlp::TCompileResult compiled = Hlp::compileProject(p.hpj(true));
    const double compileSeconds = t.nsecsElapsed() / 1e9;
    if (!compiled.ok) {
        state.SkipWithError("the project does not compile");
        return;
    }
    QTemporaryDir out;
    double seconds = 0;
    for (auto _ : state) {
        t.restart();
        const Hlp::THelpFileRead read = Hlp::readHelpFile(compiled.hlp, QStringLiteral("big.hlp"));
        Hlp::writeProject(read, out.path(), QStringLiteral("big"));
        seconds += t.nsecsElapsed() / 1e9;
    }
    seconds /= double(state.iterations());
    state.counters["compile_s"] = compileSeconds;
    state.counters["decompile_s"] = seconds;
    state.counters["ratio"] = seconds / compileSeconds;
}
BENCHMARK(BM_DecompileBigProject)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CompileVersusHalibut(benchmark::State &state) { compileVersusHalibut(state, false); }
BENCHMARK(BM_CompileVersusHalibut)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CompileVersusHalibutCompressed(benchmark::State &state) { compileVersusHalibut(state, true); }
BENCHMARK(BM_CompileVersusHalibutCompressed)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same project as web pages, as a compiled HTML Help file and as a
// printable manual, each with the ratio of its time to the .HLP build's,
// measured in this run.
void toWeb(benchmark::State &state, Hlp::TOutput output)
{
    const BigProject &p = bigProject();
    if (output == Hlp::TOutput::Chm && QStandardPaths::findExecutable(QStringLiteral("chmcmd")).isEmpty()) {
        state.SkipWithError("chmcmd is not installed");
        for (auto _ : state) {
        }
        return;
    }
    double hlpSeconds = 1e9, seconds = 1e9;
    int run = 0;
    for (auto _ : state) {
        ++run;
        QElapsedTimer t;
        t.start();
        Hlp::compileProject(p.hpj(false));
        hlpSeconds = std::min(hlpSeconds, t.nsecsElapsed() / 1e9);
        Hlp::TCompileOptions options;
        options.output = output;
        // A new folder each time: a first build, every page written.
        options.outputDir = p.dir.path() + QStringLiteral("/web%1").arg(run);
        options.chmFile = p.dir.path() + QStringLiteral("/big%1.chm").arg(run);
        options.pdfFile = p.dir.path() + QStringLiteral("/big%1.pdf").arg(run);
        t.restart();
        const Hlp::TCompileResult r = Hlp::compileProject(p.hpj(false), options);
        seconds = std::min(seconds, t.nsecsElapsed() / 1e9);
        if (!r.ok)
            state.SkipWithError("the project does not convert");
    }
    state.counters["hlp_s"] = hlpSeconds;
    state.counters["this_s"] = seconds;
    state.counters["x_hlp"] = seconds / hlpSeconds;
    if (output == Hlp::TOutput::Html) {
        // The search index per topic: the terms' parts (what queries load)
        // and the texts the hits quote, against the topics' text compressed.
        qint64 terms = 0, texts = 0, plain = 0;
        for (const QFileInfo &f : QDir(p.dir.path() + QStringLiteral("/web%1/search").arg(run)).entryInfoList(QDir::Files))
            if (f.fileName() != QLatin1String("stem.js")) // the stemmer, once for the whole site
                (f.fileName().startsWith(u't') ? texts : terms) += f.size();
        QByteArray all;
        for (const QFileInfo &f : QDir(p.dir.path() + QStringLiteral("/web%1/search").arg(run)).entryInfoList({QStringLiteral("t*.js")}))
            if (QFile file(f.filePath()); file.open(QIODevice::ReadOnly))
                all += file.readAll();
        plain = qCompress(all, 9).size();
        state.counters["index_B_per_topic"] = double(terms) / Topics;
        state.counters["texts_B_per_topic"] = double(texts) / Topics;
        state.counters["text_zip_B_per_topic"] = double(plain) / Topics;
    }
    if (output == Hlp::TOutput::Pdf)
        state.counters["pdf_MB"] = QFileInfo(p.dir.path() + QStringLiteral("/big%1.pdf").arg(run)).size() / 1e6;
}

void BM_CompileBigProjectHtml(benchmark::State &state) { toWeb(state, Hlp::TOutput::Html); }
BENCHMARK(BM_CompileBigProjectHtml)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CompileBigProjectPdf(benchmark::State &state) { toWeb(state, Hlp::TOutput::Pdf); }
BENCHMARK(BM_CompileBigProjectPdf)->Unit(benchmark::kMillisecond)->Iterations(1);

// The manual's cost as the help grows: kivhc and Halibut making a PDF of
// the same 500 and 10,000 short topics (1,200 letters each), as processes;
// CPU seconds and the growth for 20 times the topics (linear: 20).
void BM_PdfAtScale(benchmark::State &state)
{
    const QString halibut = QStandardPaths::findExecutable(QStringLiteral("halibut"));
    std::unique_ptr<BigProject> small(makeProject(500, 500 * 1200)), large(makeProject(10000, 10000 * 1200));
    double ours[2] = {1e9, 1e9}, theirs[2] = {1e9, 1e9};
    // Halibut's PDF writer crashes on this source's index terms (Debian 12's
    // halibut): its manual is made without them (ours has no index either).
    for (const BigProject *p : {small.get(), large.get()}) {
        QByteArray source;
        Platform::readWholeFile(p->halibutSource(), &source);
        Platform::writeFileAtomic(p->dir.path() + QStringLiteral("/noindex.but"),
                                  QString::fromLatin1(source).remove(QRegularExpression(QStringLiteral("\\\\i\\{[^}]*\\}"))).toLatin1());
    }
    for (auto _ : state) {
        int k = 0;
        for (const BigProject *p : {small.get(), large.get()}) {
            const TRun a = run(QStringLiteral(KIVHC_PATH), {QStringLiteral("--format"), QStringLiteral("pdf"), QStringLiteral("-o"),
                                                            p->dir.path() + QStringLiteral("/ours.pdf"), p->hpj(false)});
            const TRun b = halibut.isEmpty() ? TRun{} : run(halibut, {QStringLiteral("--pdf=") + p->dir.path() + QStringLiteral("/halibut.pdf"),
                                                                      p->dir.path() + QStringLiteral("/noindex.but")});
            if (a.cpu < 0) {
                state.SkipWithError("kivhc failed");
                return;
            }
            ours[k] = std::min(ours[k], a.cpu);
            theirs[k] = b.cpu < 0 ? -1 : std::min(theirs[k], b.cpu);
            ++k;
        }
    }
    state.counters["kivhc_500_cpu_s"] = ours[0];
    state.counters["kivhc_10000_cpu_s"] = ours[1];
    state.counters["kivhc_growth"] = ours[1] / ours[0];
    state.counters["kivhc_10000_MB"] = QFileInfo(large->dir.path() + QStringLiteral("/ours.pdf")).size() / 1e6;
    if (theirs[1] > 0) {
        state.counters["halibut_500_cpu_s"] = theirs[0];
        state.counters["halibut_10000_cpu_s"] = theirs[1];
        state.counters["halibut_growth"] = theirs[1] / theirs[0];
        state.counters["x_halibut_10000"] = ours[1] / theirs[1];
    }
}
BENCHMARK(BM_PdfAtScale)->Unit(benchmark::kMillisecond)->Iterations(1);

// What a reader's browser loads from web pages of 500 and 10,000 short
// topics: a topic's page with its contents (beyond the shared script and
// style), a query typed in the header (the index parts of its words and the
// names of the hits listed) and the search page quoting its first twenty
// hits, in kilobytes, for words every page has and words few pages have.
// The queries run the pages' own script under Node.
void BM_WebBytesAtScale(benchmark::State &state)
{
    const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    if (node.isEmpty()) {
        state.SkipWithError("node is not installed");
        for (auto _ : state) {
        }
        return;
    }
    for (auto _ : state) {
        for (const int topics : {500, 10000}) {
            std::unique_ptr<BigProject> p(makeProject(topics, qint64(topics) * 1200));
            const QString site = p->dir.path() + QStringLiteral("/web");
            if (run(QStringLiteral(KIVHC_PATH), {QStringLiteral("--format"), QStringLiteral("html"), QStringLiteral("-o"), site, p->hpj(false)}).seconds < 0) {
                state.SkipWithError("kivhc failed");
                return;
            }
            const QString key = QString::number(topics);
            // The page, the contents' top level and the part that holds it.
            QByteArray page;
            Platform::readWholeFile(site + QStringLiteral("/Page_2.html"), &page);
            const qsizetype at = page.indexOf("data-toc=\"");
            const QByteArray part = at < 0 ? QByteArray() : page.mid(at + 10, page.indexOf('"', at + 10) - at - 10);
            state.counters["page_KB_" + key.toStdString()] =
                (page.size() + QFileInfo(site + QStringLiteral("/toc.js")).size()
                 + (part.isEmpty() ? 0 : QFileInfo(site + QStringLiteral("/toc/") + QString::fromLatin1(part) + QStringLiteral(".js")).size()))
                / 1024.0;
            QProcess query;
            query.start(node, {QStringLiteral(KIVHELP_SOURCE_DIR "/tests/web/search_query.js"), site, QStringLiteral("--bytes")});
            query.write("fichier\npage 17\n");
            query.closeWriteChannel();
            query.waitForFinished(120000);
            const QList<QByteArray> lines = query.readAllStandardOutput().trimmed().split('\n');
            QList<QJsonObject> ours;
            for (const QByteArray &line : lines)
                ours << QJsonDocument::fromJson(line).object();
            for (qsizetype k = 0; k < ours.size(); ++k) {
                const std::string what = (k == 0 ? "common_" : "rare_") + key.toStdString();
                state.counters["header_KB_" + what] = ours[k].value(QStringLiteral("header")).toDouble() / 1024;
                state.counters["search_KB_" + what] = ours[k].value(QStringLiteral("searchPage")).toDouble() / 1024;
            }
            // Pagefind on the same pages, the same queries (its script's
            // loads counted the same way), when it is there: KIVHELP_PAGEFIND
            // names it, else the PATH (npm install pagefind).
            const QString pagefind = qEnvironmentVariableIsEmpty("KIVHELP_PAGEFIND") ? QStandardPaths::findExecutable(QStringLiteral("pagefind"))
                                                                                     : qEnvironmentVariable("KIVHELP_PAGEFIND");
            if (pagefind.isEmpty() || run(pagefind, {QStringLiteral("--site"), site}).seconds < 0)
                continue;
            QProcess theirs;
            theirs.start(node, {QStringLiteral(KIVHELP_SOURCE_DIR "/bench/pagefind_bytes.mjs"), site});
            theirs.write("fichier\npage 17\n");
            theirs.closeWriteChannel();
            theirs.waitForFinished(300000);
            const QList<QByteArray> answers = theirs.readAllStandardOutput().trimmed().split('\n');
            for (qsizetype k = 0; k < qMin(answers.size(), ours.size()); ++k) {
                const QJsonObject o = QJsonDocument::fromJson(answers[k]).object();
                const std::string what = (k == 0 ? "common_" : "rare_") + key.toStdString();
                state.counters["pagefind_header_KB_" + what] = o.value(QStringLiteral("header")).toDouble() / 1024;
                state.counters["pagefind_search_KB_" + what] = o.value(QStringLiteral("searchPage")).toDouble() / 1024;
                state.counters["x_pagefind_header_" + what] = ours[k].value(QStringLiteral("header")).toDouble() / o.value(QStringLiteral("header")).toDouble();
                state.counters["x_pagefind_search_" + what] = ours[k].value(QStringLiteral("searchPage")).toDouble() / o.value(QStringLiteral("searchPage")).toDouble();
            }
        }
    }
}
BENCHMARK(BM_WebBytesAtScale)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_CompileBigProjectChm(benchmark::State &state) { toWeb(state, Hlp::TOutput::Chm); }
BENCHMARK(BM_CompileBigProjectChm)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_CompileBigProject(benchmark::State &state) { compile(state, false); }
BENCHMARK(BM_CompileBigProject)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CompileBigProjectCompressed(benchmark::State &state) { compile(state, true); }
BENCHMARK(BM_CompileBigProjectCompressed)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

namespace {

// The outputs a build with every format leaves beside the project, removed
// so that each run is a first build.
void removeOutputs(const BigProject &p)
{
    QDir(p.dir.path() + QStringLiteral("/big_html")).removeRecursively();
    for (const char *name : {"/big.HLP", "/big.chm", "/big.pdf", "/big.ERR"})
        QFile::remove(p.dir.path() + QLatin1String(name));
}

} // namespace

// kivhc with four outputs (hlp,html,chm,pdf) from one reading of the
// sources, against four runs of one output each (best of the runs); the
// ratio is under 1 by what the three readings saved.
void BM_FourOutputsOneReading(benchmark::State &state)
{
    const BigProject &p = bigProject();
    if (QStandardPaths::findExecutable(QStringLiteral("chmcmd")).isEmpty()) {
        state.SkipWithError("chmcmd is not installed");
        for (auto _ : state) {
        }
        return;
    }
    double together = 1e9, apart = 1e9;
    for (auto _ : state) {
        removeOutputs(p);
        const TRun all = run(QStringLiteral(KIVHC_PATH), {QStringLiteral("--format"), QStringLiteral("hlp,html,chm,pdf"), p.hpj(false)});
        removeOutputs(p);
        double sum = 0;
        for (const char *format : {"hlp", "html", "chm", "pdf"}) {
            const TRun one = run(QStringLiteral(KIVHC_PATH), {QStringLiteral("--format"), QLatin1String(format), p.hpj(false)});
            sum = one.seconds < 0 || sum < 0 ? -1 : sum + one.seconds;
        }
        if (all.seconds < 0 || sum < 0) {
            state.SkipWithError("a build failed");
            break;
        }
        together = std::min(together, all.seconds);
        apart = std::min(apart, sum);
    }
    // The reading alone, in this process: what each separate build repeats.
    QElapsedTimer t;
    t.start();
    const Hlp::THelpRead read = Hlp::readHelpProject(p.hpj(false));
    const double reading = t.nsecsElapsed() / 1e9;
    state.counters["four_in_one_s"] = together;
    state.counters["four_apart_s"] = apart;
    state.counters["ratio"] = together / apart;
    state.counters["reading_s"] = reading;
    state.counters["topics"] = double(read.document.topics.size());
}
BENCHMARK(BM_FourOutputsOneReading)->Unit(benchmark::kMillisecond)->Iterations(2);

// Every compiled help file of the shared corpus, and the 500-topic one:
// reading it (in this process, best of five) and decompiling it (kivhc
// --decompile as a process, start to exit), per MB; the decompile's peak
// memory against 20 times the file's size plus 50 MB. Printed per file,
// with the worst ratios as counters.
void BM_ReadAndDecompileHelpFiles(benchmark::State &state)
{
    const BigProject &p = bigProject();
    QStringList files;
    for (const char *name : {"compiled-hlp/teraterm-en/ttermp.hlp", "compiled-hlp/teraterm-ja/ttermpj.hlp",
                             "winhelp/reference-hlp/VIDSEND2.HLP", "winhelp/reference-hlp/PROYECTO.HLP"})
        if (const QString f = QStringLiteral(KIVHELP_SHARED_DIR "/corpus/") + QLatin1String(name); QFileInfo::exists(f))
            files << f;
    const Hlp::TCompileResult big = Hlp::compileProject(p.hpj(true));
    Platform::writeFileAtomic(p.dir.path() + QStringLiteral("/bigread.hlp"), big.hlp);
    files << p.dir.path() + QStringLiteral("/bigread.hlp");
    double worstReadRatio = 0, worstMemory = 0;
    for (auto _ : state) {
        for (const QString &file : std::as_const(files)) {
            QByteArray bytes;
            Platform::readWholeFile(file, &bytes);
            const double mb = bytes.size() / 1e6;
            double read = 1e9;
            for (int i = 0; i < 5; ++i) {
                QElapsedTimer t;
                t.start();
                const Hlp::THelpFileRead r = Hlp::readHelpFile(bytes, QFileInfo(file).fileName());
                read = std::min(read, t.nsecsElapsed() / 1e9);
            }
            QTemporaryDir out;
            const TRun decompile = run(QStringLiteral(KIVHC_PATH), {QStringLiteral("--decompile"), QStringLiteral("-o"),
                                                                    out.path() + QStringLiteral("/src"), file});
            const double limit = 20 * mb + 50;
            std::printf("%-14s %7.3f MB  read %7.1f ms/MB  decompile %7.1f ms/MB  read/decompile %.2f  peak %6.1f MB (limit %.1f)\n",
                        qPrintable(QFileInfo(file).fileName()), mb, read / mb * 1000, decompile.seconds / mb * 1000,
                        read / decompile.seconds, decompile.megabytes, limit);
            worstReadRatio = std::max(worstReadRatio, read / decompile.seconds);
            worstMemory = std::max(worstMemory, decompile.megabytes / limit);
        }
    }
    state.counters["worst_read_over_decompile"] = worstReadRatio;
    state.counters["worst_peak_over_limit"] = worstMemory;
}
BENCHMARK(BM_ReadAndDecompileHelpFiles)->Unit(benchmark::kMillisecond)->Iterations(1);
