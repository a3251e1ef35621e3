// The help compiler on a large project: 500 topic files, 3,000,000
// characters of text with jumps, keywords and a browse sequence. Prints the
// time of a build, the peak memory of a process that does one build, and
// the ratio of a build's time to copying the same bytes.
//   build/bench/kivhelp_bench --benchmark_filter=Compile
#include "compiler/HelpCompiler.h"
#include "platform/SafeFile.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int Topics = 500;
constexpr qint64 Characters = 3000000;

struct BigProject {
    QTemporaryDir dir;
    QStringList files;
    qint64 bytes = 0;
    QString hpj(bool compressed) const { return dir.path() + (compressed ? "/big-lz.hpj" : "/big.hpj"); }
};

// Written once, as the authoring program writes a project's sources.
const BigProject &bigProject()
{
    static BigProject *p = [] {
        auto *project = new BigProject;
        QRandomGenerator rng(42);
        static const char *const words[] = {"aide", "fichier", "page", "projet", "menu", "compilateur", "texte",
                                            "image", "saut", "fen\\'eatre", "param\\'etre", "commande"};
        QByteArray files;
        for (int t = 1; t <= Topics; ++t) {
            const QByteArray name = "Page_" + QByteArray::number(t);
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
        for (const bool lz : {false, true}) {
            const QByteArray hpj = "[OPTIONS]\r\nTITLE=Grand projet\r\nCOMPRESS=" + QByteArray(lz ? "YES" : "NO")
                                   + "\r\n[WINDOWS]\r\nmain=\"Grand projet\",(0,0,800,600),1,(255,255,224),(128,0,0),0\r\n[FILES]\r\n" + files;
            Platform::writeFileAtomic(project->hpj(lz), hpj);
        }
        return project;
    }();
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

void BM_CompileBigProject(benchmark::State &state) { compile(state, false); }
BENCHMARK(BM_CompileBigProject)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CompileBigProjectLz77(benchmark::State &state) { compile(state, true); }
BENCHMARK(BM_CompileBigProjectLz77)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
