// What the author waits for in the window on a project of 500 pages:
// "Remplacer tout" through every page, and the outline and status line
// under keys held at 30 per second. Run by hand (offscreen or under X):
//   build/bench/kivhelp_bench --benchmark_filter=Window
#include "config/Globale.h"
#include "editing/OutlineView.h"
#include "editing/REditServ.h"
#include "editing/TopicDocument.h"
#include "project/Outline.h"
#include "sequencer/Seq.h"
#include "sequencer/Startup.h"
#include "ui/MainWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <functional>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

// The window, started as the program starts it, showing a project of
// `pages` pages of about 4 KB each, every one holding "ancien" ten times.
struct TBigWindow {
    QTemporaryDir dir;
    std::unique_ptr<TFrmKivHelp> window;

    explicit TBigWindow(int pages)
    {
        window = std::make_unique<TFrmKivHelp>();
        Startup::setMainWindow(window.get());
        Seq::InitUnit();
        Seq::timer()->stop();
        for (int i = 0; i < 5; ++i)
            Seq::timer()->PCAllBack();
        Globale::PConf->PIni->DIRPATH.set(dir.path() + u'/');
        Globale::PConf->PPrj->PrjState = PrjOpened;
        Globale::PConf->PPrj->PrjName.set(QStringLiteral("Grand"));
        TOutlineView *outline = window->display().OutlineHelp;
        TCProject *project = outline->project();
        QList<Outline::TLine> lines;
        for (int n = 1; n <= pages; ++n)
            lines << Outline::TLine{1, QStringLiteral("Page %1").arg(n)};
        project->PSetLines(lines);
        QString text;
        for (int k = 0; k < 40; ++k)
            text += QStringLiteral("Une ligne d'aide %1 dont un mot%2 est ancien et le reste ne change pas.\n")
                        .arg(k).arg(k % 4 == 0 ? QStringLiteral(" ancien") : QString());
        const QByteArray rtf = TTopicDocument::FRtfOf(text, outline->textFont());
        for (int n = 1; n <= pages; ++n)
            project->FTopicAt(n)->PSetBytes(rtf);
        outline->setCurrentItem(project->FTopicAt(1));
        window->resize(1200, 800);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("the window was not shown: the figures leave out its painting");
        window->FrmFShowSelTopic();
    }
    ~TBigWindow()
    {
        Globale::PConf->PPrj->PrjState = PrjNone;
        Startup::setMainWindow(nullptr);
        window.reset();
    }
};

// "Remplacer tout" with "toutes les pages", clicked in the dialog, until
// the window is idle again (target <= 2 s for 500 pages).
void BM_WindowReplaceAllPages(benchmark::State &state)
{
    TBigWindow big(int(state.range(0)));
    auto *dialog = big.window->findChild<QDialog *>(QStringLiteral("ReplaceDialog"));
    for (auto _ : state) {
        state.PauseTiming();
        QLineEdit *find = dialog ? dialog->findChild<QLineEdit *>(QStringLiteral("FindText")) : nullptr;
        QLineEdit *with = dialog ? dialog->findChild<QLineEdit *>(QStringLiteral("ReplaceText")) : nullptr;
        auto *all = dialog ? dialog->findChild<QCheckBox *>(QStringLiteral("AllTopics")) : nullptr;
        auto *button = dialog ? dialog->findChild<QAbstractButton *>(QStringLiteral("ReplaceAll")) : nullptr;
        if (!find || !with || !all || !button) {
            state.SkipWithError("the replace dialog's fields were not found");
            return;
        }
        static bool forth = true;
        find->setText(forth ? QStringLiteral("ancien") : QStringLiteral("nouveau"));
        with->setText(forth ? QStringLiteral("nouveau") : QStringLiteral("ancien"));
        forth = !forth;
        all->setChecked(true);
        state.ResumeTiming();
        button->click();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_WindowReplaceAllPages)->Arg(500)->Unit(benchmark::kMillisecond)->Iterations(3);

// Sends `key` to `widget` 60 times at 30 keys a second; after each key,
// how long until `followed(k)` holds. The median and the worst delay go
// into the benchmark's counters.
void keysAt30PerSecond(benchmark::State &state, QWidget *widget, Qt::Key key, const std::function<bool(int)> &followed)
{
    std::vector<double> lags;
    for (int k = 0; k < 60; ++k) {
        QElapsedTimer clock;
        clock.start();
        QTest::keyClick(widget, key);
        while (!followed(k) && clock.elapsed() < 2000)
            QCoreApplication::processEvents();
        lags.push_back(clock.nsecsElapsed() / 1e6);
        if (const qint64 rest = 33 - clock.elapsed(); rest > 0)
            QTest::qWait(int(rest));
    }
    std::sort(lags.begin(), lags.end());
    state.counters["median_ms"] = lags[lags.size() / 2];
    state.counters["worst_ms"] = lags.back();
}

// Down held in the outline through 60 pages: how late the page shown is.
void BM_WindowOutlineKeysAt30PerSecond(benchmark::State &state)
{
    TBigWindow big(500);
    TOutlineView *outline = big.window->display().OutlineHelp;
    for (auto _ : state) {
        outline->setCurrentItem(Outline::FItemAt(outline, 1));
        outline->setFocus();
        keysAt30PerSecond(state, outline, Qt::Key_Down,
                          [outline](int k) { return outline->shownTopic() == Outline::FItemAt(outline, k + 2); });
    }
}
BENCHMARK(BM_WindowOutlineKeysAt30PerSecond)->Unit(benchmark::kMillisecond)->Iterations(1);

// Right held in the text: how late the status line's column is.
void BM_WindowStatusLineAt30PerSecond(benchmark::State &state)
{
    TBigWindow big(20);
    TRichEdit *editor = big.window->editor();
    auto *status = big.window->findChild<QLabel *>(QStringLiteral("StatusPanel0"));
    for (auto _ : state) {
        editor->setFocus();
        editor->moveCursor(QTextCursor::Start);
        keysAt30PerSecond(state, editor, Qt::Key_Right, [editor, status](int) {
            return status->text().simplified().endsWith(
                QStringLiteral("Col: %1").arg(editor->textCursor().positionInBlock() + 1));
        });
    }
}
BENCHMARK(BM_WindowStatusLineAt30PerSecond)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
