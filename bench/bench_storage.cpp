// Saving and opening a large project (499 topics, 2,400,000 characters)
// against what the disk itself allows, measured in the same run: copying the
// project folder (cp -r) and making the copy durable (sync -f). Prints each
// figure (median of several runs) and its ratio to that limit.
//   build/bench/kivhelp_bench --benchmark_filter=Storage
// The project is written under $KIVHELP_BENCH_DIR, else the temporary folder.
#include "config/Globale.h"
#include "editing/REditServ.h"
#include "fileops/DosCmd.h"
#include "platform/Paths.h"
#include "editing/RtfText.h"
#include "platform/Prompts.h"
#include "platform/SafeFile.h"
#include "formats/KivHelpTools.h"
#include "project/Outline.h"
#include "project/PrjLife.h"

#include "sequencer/Headless.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextCursor>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <functional>
#include <QSet>
#include <QThread>
#include <sys/resource.h>
#include <unistd.h>

using namespace KIVHelpTools;

namespace {

constexpr int Topics = 499;
constexpr int Characters = 2400000;
constexpr int Runs = 5;

double medianMs(const std::function<void()> &prepare, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < Runs; ++i) {
        prepare();
        QElapsedTimer t;
        t.start();
        work();
        times.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[Runs / 2];
}

// A figure against the limit measured just before it, run by run, so that
// a disk whose speed drifts during the run weighs on both alike: the
// median time of `work` and the median of its ratios to the limit.
struct TAgainstLimit {
    double ms = 0, ratio = 0;
};
TAgainstLimit againstLimit(const std::function<double()> &limit, const std::function<void()> &prepare,
                           const std::function<void()> &work)
{
    std::vector<double> times, ratios;
    for (int i = 0; i < Runs; ++i) {
        const double l = limit();
        prepare();
        QElapsedTimer t;
        t.start();
        work();
        times.push_back(double(t.nsecsElapsed()) / 1e6);
        ratios.push_back(times.back() / l);
    }
    std::sort(times.begin(), times.end());
    std::sort(ratios.begin(), ratios.end());
    return {times[Runs / 2], ratios[Runs / 2]};
}

// Topic texts of about Characters / Topics characters, with some bold runs.
void fillTopic(QTextDocument *doc, int topic, int round)
{
    static const char *const words[] = {"aide", "fichier", "page", "projet", "menu", "compilateur", "texte",
                                        "image", "saut", "fenêtre", "paramètre", "commande", "sauvegardé"};
    doc->clear();
    QTextCursor c(doc);
    QTextCharFormat plain, bold;
    bold.setFontWeight(QFont::Bold);
    const int target = Characters / Topics;
    int written = 0, w = topic + round;
    while (written < target) {
        QString sentence = QStringLiteral("Tour %1, page %2 :").arg(round).arg(topic);
        for (int i = 0; i < 12; ++i)
            sentence += u' ' + QString::fromUtf8(words[(w++) % 13]);
        c.insertText(sentence + QStringLiteral(". "), (w % 5 == 0) ? bold : plain);
        written += int(sentence.size()) + 2;
        if (w % 7 == 0)
            c.insertBlock();
    }
}

} // namespace

void BM_StorageVsCopy(benchmark::State &state)
{
    const QString base = qEnvironmentVariableIsSet("KIVHELP_BENCH_DIR") ? qEnvironmentVariable("KIVHELP_BENCH_DIR")
                                                                       : QDir::tempPath();
    QTemporaryDir work(base + QStringLiteral("/kivhelp-bench-XXXXXX"));
    THeadless headless(work.path());
    TConfBlock *conf = headless.conf;
    conf->PIni->BACKUP_PERIOD = 1000;
    conf->PIni->CREATE_CNT = true;
    TOutlineView &tree = headless.tree;
    TCProject &project = headless.project;
    const TDisplayContext display{&headless.panel, &headless.panel, &tree, &headless.compile, nullptr, {}, {}, {}, {}};
    TPrjRec *prj = conf->PPrj;
    FCreatePrj(QStringLiteral("Grand"), conf, display);
    TTopic *root = Outline::FItemAt(&tree, 1), *chapter = nullptr;
    for (int i = 2; i <= Topics; ++i) {
        TTopic *topic = project.FInsert(i % 10 == 2 ? root : chapter, -1, QString::fromUtf8("Page %1 é").arg(i));
        if (i % 10 == 2)
            chapter = topic;
    }
    int round = 0;
    auto changeAll = [&] {
        ++round;
        for (int n = 1; n <= Topics; ++n)
            fillTopic(tree.FDocumentOf(Outline::FItemAt(&tree, n)), n, round);
    };
    auto save = [&] {
        if (FSavePrj(prj->PrjFile.get(), conf, display).Category != 0)
            state.SkipWithError("save failed");
    };
    changeAll();
    save();
    const QString dir = prj->PrjDir.get();
    qint64 bytes = 0;
    QStringList files;
    for (QDirIterator it(dir, QDir::Files); it.hasNext();) {
        files << it.next();
        bytes += QFileInfo(files.last()).size();
    }

    double limit = 0, one = 0, single = 0, open = 0, read = 0;
    double openCold = 0, readCold = 0, parse = 0, commandOne = 0, buildCpu = 0, kivhcCpu = 0;
    TAgainstLimit full, backup, command;
    int writtenByIdle = -1;
    for (auto _ : state) {
        int copies = 0;
        std::vector<double> limits;
        const auto copy = [&] {
            const QString to = work.path() + QStringLiteral("/copie%1").arg(++copies);
            QElapsedTimer t;
            t.start();
            QProcess::execute(QStringLiteral("bash"),
                              {QStringLiteral("-c"), QStringLiteral("cp -r \"$0\" \"$1\" && sync -f \"$1\""), dir, to});
            limits.push_back(double(t.nsecsElapsed()) / 1e6);
            return limits.back();
        };
        full = againstLimit(copy, changeAll, save);
        backup = againstLimit(copy, [&] {
            changeAll();
            prj->PrjSaveCount = quint16(conf->PIni->BACKUP_PERIOD);
        }, save);
        int edit = 0;
        one = medianMs([&] {
            QTextDocument *doc = tree.FDocumentOf(Outline::FItemAt(&tree, 2 + (++edit) * 37 % (Topics - 1)));
            QTextCursor(doc).insertText(QStringLiteral("Correction. "));
        }, save);
        QByteArray topic;
        Platform::readWholeFile(files.value(1), &topic);
        single = medianMs([] {}, [&] { Platform::writeFileAtomic(dir + QStringLiteral("/un.fichier"), topic + QByteArray::number(++edit)); });
        QFile::remove(dir + QStringLiteral("/un.fichier"));
        read = medianMs([] {}, [&] {
            QByteArray b;
            for (QDirIterator it(dir, QDir::Files); it.hasNext();)
                Platform::readWholeFile(it.next(), &b);
        });
        parse = medianMs([] {}, [&] {
            QByteArray b;
            for (int n = 0; n < files.size(); ++n)
                if (files[n].contains(QStringLiteral("Page")) && Platform::readWholeFile(files[n], &b)) {
                    QTextDocument doc;
                    RtfText::FReadRtf(doc, b);
                }
        });
        open = medianMs([&] { FClosePrj(conf, display); }, [&] {
            if (FLoadPrj(prj->PrjFile.get(), display, conf, Globale::VGGIniPrj).Category != 0)
                state.SkipWithError("open failed");
        });
        // The same from a cold cache, where the system lets us drop it.
        auto dropCaches = [] {
            ::sync();
            QFile drop(QStringLiteral("/proc/sys/vm/drop_caches"));
            return drop.open(QIODevice::WriteOnly) && drop.write("3\n") == 2;
        };
        if (dropCaches()) {
            readCold = medianMs(dropCaches, [&] {
                QByteArray b;
                for (QDirIterator it(dir, QDir::Files); it.hasNext();)
                    Platform::readWholeFile(it.next(), &b);
            });
            openCold = medianMs([&] {
                FClosePrj(conf, display);
                dropCaches();
            }, [&] { FLoadPrj(prj->PrjFile.get(), display, conf, Globale::VGGIniPrj); });
        }
        command = againstLimit(copy, changeAll, [&] {
            save();
            FUpdatePrj(false, true, conf, display);
        });
        std::sort(limits.begin(), limits.end());
        limit = limits[limits.size() / 2];
        // What the user waits for after typing into one topic: Ctrl+S, the
        // save and the help sources.
        commandOne = medianMs([&] {
            QTextDocument *doc = tree.FDocumentOf(Outline::FItemAt(&tree, 2 + (++edit) * 37 % (Topics - 1)));
            QTextCursor(doc).insertText(QStringLiteral("Correction. "));
        }, [&] {
            save();
            FUpdatePrj(false, true, conf, display);
        });
        // Ctrl+S on a project just opened: the files it wrote.
        FClosePrj(conf, display);
        FLoadPrj(prj->PrjFile.get(), display, conf, Globale::VGGIniPrj);
        const auto stamps = [&] {
            QStringList out;
            for (QDirIterator it(dir, QDir::Files | QDir::Hidden); it.hasNext();) {
                const QFileInfo f(it.next());
                out << f.fileName() + QString::number(f.lastModified().toMSecsSinceEpoch()) + u'/' + QString::number(f.metadataChangeTime().toMSecsSinceEpoch());
            }
            out.sort();
            return out;
        };
        const QStringList before = stamps();
        QThread::msleep(20);
        save();
        FUpdatePrj(false, true, conf, display);
        const QStringList after = stamps();
        writtenByIdle = int((QSet<QString>(after.begin(), after.end()) - QSet<QString>(before.begin(), before.end())).size());
        // kivhelp --build against kivhc on the sources it writes, in CPU.
        const auto childCpu = [](const QString &program, const QStringList &args) {
            rusage r0{}, r1{};
            ::getrusage(RUSAGE_CHILDREN, &r0);
            QProcess::execute(program, args);
            ::getrusage(RUSAGE_CHILDREN, &r1);
            const auto ms = [](const timeval &t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
            return ms(r1.ru_utime) + ms(r1.ru_stime) - ms(r0.ru_utime) - ms(r0.ru_stime);
        };
        const QString exe = QStringLiteral(KIVHELP_EXE);
        std::vector<double> b, k;
        for (int i = 0; i < 3; ++i) {
            b.push_back(childCpu(exe, {QStringLiteral("--build"), prj->PrjFile.get()}));
            k.push_back(childCpu(QStringLiteral(KIVHC_PATH), {dir + QStringLiteral("/Grand.HPJ")}));
        }
        std::sort(b.begin(), b.end());
        std::sort(k.begin(), k.end());
        buildCpu = b[1];
        kivhcCpu = k[1];
    }
    std::printf("\nProject of %d topics, %lld bytes in %lld files, in %s\n", Topics, bytes, qlonglong(files.size()),
                qPrintable(base));
    std::printf("  copy + sync (the limit)         %8.1f ms   (median; each ratio is to the copy just before)\n", limit);
    std::printf("  full save (every topic changed) %8.1f ms   %5.2f x the limit (target <= 2)\n", full.ms, full.ratio);
    std::printf("  backup save                     %8.1f ms   %5.2f x the limit (target <= 2)\n", backup.ms, backup.ratio);
    std::printf("  save after editing one topic    %8.1f ms   %5.2f x one durable write of %.1f ms (target <= 50 ms or 2x)\n",
                one, one / single, single);
    std::printf("  open                            %8.1f ms   %5.2f x reading its files (%.1f ms; target <= 5)\n", open,
                open / read, read);
    std::printf("  of which reading the topics' text %6.1f ms\n", parse);
    if (readCold > 0)
        std::printf("  open, cold cache                %8.1f ms   %5.2f x reading its files cold (%.1f ms)\n", openCold,
                    openCold / readCold, readCold);
    else
        std::printf("  open, cold cache: not measured (dropping the page cache needs root)\n");
    std::printf("  save command (save + sources)   %8.1f ms   %5.2f x the limit (target <= 2)\n", command.ms, command.ratio);
    std::printf("  save command, one topic edited  %8.1f ms   (target <= 50 ms)\n", commandOne);
    std::printf("  save command, just opened       %8d files written (target 0)\n", writtenByIdle);
    std::printf("  kivhelp --build, CPU            %8.1f ms   %5.2f x kivhc on its sources (%.1f ms; target <= 3)\n",
                buildCpu, buildCpu / kivhcCpu, kivhcCpu);
    state.counters["full_x_limit"] = full.ratio;
    state.counters["backup_x_limit"] = backup.ratio;
    state.counters["command_x_limit"] = command.ratio;
    state.counters["one_ms"] = one;
    state.counters["open_x_read"] = open / read;
    state.counters["command_one_ms"] = commandOne;
    state.counters["build_x_kivhc"] = buildCpu / kivhcCpu;
}
BENCHMARK(BM_StorageVsCopy)->Unit(benchmark::kMillisecond)->Iterations(1);

namespace {

// This process's resident memory, in MB (from /proc).
double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / 1e6;
}

} // namespace

// A batch that stages 256 files of 1 MB (as a web build stages its pages):
// what the process holds meanwhile, against the 256 MB staged; a batch that
// kept the staged bytes would hold them all.
void BM_WriteBatchHoldsNoStagedBytes(benchmark::State &state)
{
    QTemporaryDir dir;
    double grown = 0;
    for (auto _ : state) {
        const double before = residentMegabytes();
        double peak = before;
        {
            Platform::WriteBatch batch;
            for (int n = 0; n < 256; ++n) {
                QByteArray bytes(1 << 20, char('a' + n % 26));
                Platform::writeFileAtomic(dir.path() + QStringLiteral("/f%1").arg(n), bytes);
                peak = std::max(peak, residentMegabytes());
            }
            QString error;
            if (!batch.commit(&error))
                state.SkipWithError(qPrintable(error));
        }
        grown = peak - before;
    }
    state.counters["staged_MB"] = 256 * 1.048576;
    state.counters["held_MB"] = grown;
}
BENCHMARK(BM_WriteBatchHoldsNoStagedBytes)->Unit(benchmark::kMillisecond)->Iterations(1);
