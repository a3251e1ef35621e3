// Figures for the settings files and the error log. Run by hand:
//   build/bench/kivhelp_bench
#include "config/Globale.h"
#include "editing/MarkerObjects.h"
#include "editing/REditServ.h"
#include "editing/RtfText.h"
#include "editing/TopicDocument.h"
#include "project/Outline.h"
#include "ui/PreviewPane.h"
#include "errors/ErrorContext.h"
#include "platform/Cp1252.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

// A fonts file of a project with 500 topics: 2000 keys in 501 sections.
QByteArray fontsFile()
{
    QByteArray out = "[Param]\r\nNbTopics=500\r\n";
    for (int i = 0; i <= 500; ++i) {
        out += i == 0 ? QByteArray("[AllTop]\r\n") : "[Top" + QByteArray::number(i) + "]\r\n";
        out += "Name=Times New Roman\r\nId=\\f2\r\nSize=\\fs28\r\nTyp=\\b\\i\r\n";
    }
    return out;
}

void BM_IniParseFonts(benchmark::State &state)
{
    const QByteArray bytes = fontsFile();
    for (auto _ : state) {
        Platform::IniFile ini(QStringLiteral("/nonexistent/x.FNT"));
        ini.parse(bytes);
        benchmark::DoNotOptimize(ini.readString("Top500", "Typ", ""));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
}
BENCHMARK(BM_IniParseFonts);

void BM_FontsRecordWriteRead(benchmark::State &state)
{
    QTemporaryDir dir;
    Platform::setWindowsDirForTest(dir.path());
    Globale::FInit(false, false, 1);
    Globale::PConf->PPrjFonts->NbTopics = 500;
    const QString file = dir.path() + QStringLiteral("/p.FNT");
    for (auto _ : state) {
        Globale::VGGIniPrjFonts->FWriteConfFile(file, 0);
        Globale::VGGIniPrjFonts->FReadConfFile(file, 0);
    }
}
BENCHMARK(BM_FontsRecordWriteRead)->Unit(benchmark::kMillisecond);

void BM_Cp1252Decode(benchmark::State &state)
{
    QByteArray bytes;
    for (int i = 0; i < 65536; ++i)
        bytes.append(char(i & 0xFF));
    for (auto _ : state)
        benchmark::DoNotOptimize(Platform::fromCp1252(bytes));
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
}
BENCHMARK(BM_Cp1252Decode);

void BM_ReportToLog(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    TErrorContext ctx;
    FInitErrCtx(ctx, QStringLiteral("KIV_HELP_21"), QStringLiteral("Bench"));
    ctx.Trace = true;
    for (auto _ : state) {
        const quint8 saved = FEnterSub(ctx, QStringLiteral("FSavePrj"));
        FReport(saved, ctx, 0, QStringLiteral("ok"), 0);
    }
    QDir::setCurrent(old);
}
BENCHMARK(BM_ReportToLog);

void BM_ReportOff(benchmark::State &state)
{
    TErrorContext ctx;
    FInitErrCtx(ctx, QStringLiteral("KIV_HELP_21"), QStringLiteral("Bench"));
    ctx.Active = false;
    for (auto _ : state) {
        const quint8 saved = FEnterSub(ctx, QStringLiteral("FSavePrj"));
        FReport(saved, ctx, 0, QString(), 0);
    }
}
BENCHMARK(BM_ReportOff);

// A topic of 45,000 characters: paragraphs of accented text with bold,
// coloured and other-font runs, markers and tabs.
void fillLargeTopic(QTextDocument &doc)
{
    QTextCursor c(&doc);
    QTextCharFormat plain, bold, green, other;
    bold.setFontWeight(QFont::Bold);
    green.setForeground(QColor(0, 128, 0));
    other.setFontFamilies({QStringLiteral("Times New Roman")});
    other.setFontPointSize(10);
    int n = 0;
    while (doc.characterCount() < 45000) {
        c.insertText(QString::fromUtf8("Une phrase accentuée, été comme hiver, "), plain);
        c.insertText(QStringLiteral("en gras"), bold);
        c.insertText(QStringLiteral(" @_%1_voir_aussi_@ ").arg(n++), green);
        c.insertText(QStringLiteral("\tautre {fonte}\t"), other);
        if (n % 4 == 0)
            c.insertBlock();
    }
}

void BM_RtfWriteLargeTopic(benchmark::State &state)
{
    QTextDocument doc;
    fillLargeTopic(doc);
    for (auto _ : state)
        benchmark::DoNotOptimize(RtfText::FWriteRtf(doc));
    state.SetItemsProcessed(int64_t(state.iterations()) * doc.characterCount());
}
BENCHMARK(BM_RtfWriteLargeTopic)->Unit(benchmark::kMillisecond);

void BM_RtfReadLargeTopic(benchmark::State &state)
{
    QTextDocument doc;
    fillLargeTopic(doc);
    const QByteArray rtf = RtfText::FWriteRtf(doc);
    QTextDocument back;
    for (auto _ : state)
        RtfText::FReadRtf(back, rtf);
    state.SetBytesProcessed(int64_t(state.iterations()) * rtf.size());
}
BENCHMARK(BM_RtfReadLargeTopic)->Unit(benchmark::kMillisecond);

QByteArray outline500()
{
    QList<Outline::TLine> lines{{1, QStringLiteral("Manuel")}};
    for (int i = 1; i < 500; ++i)
        lines.append({i % 10 == 1 ? 2 : 3, QString::fromUtf8("Chapitre été %1").arg(i)});
    return Outline::FFormat(lines);
}

void BM_OutlineRead500(benchmark::State &state)
{
    const QByteArray bytes = outline500();
    for (auto _ : state) {
        TCProject project;
        project.PSetLines(Outline::FParse(bytes).lines);
        benchmark::DoNotOptimize(project.FCount());
    }
}
BENCHMARK(BM_OutlineRead500)->Unit(benchmark::kMicrosecond);

void BM_OutlineWrite500(benchmark::State &state)
{
    TCProject project;
    project.PSetLines(Outline::FParse(outline500()).lines);
    for (auto _ : state)
        benchmark::DoNotOptimize(Outline::FFormat(project.FLines()));
}
BENCHMARK(BM_OutlineWrite500)->Unit(benchmark::kMicrosecond);

// Showing a 20 KB topic with 20 pictures and links in the editor: parsed,
// its markers made objects, laid out and painted once (target <= 50 ms).
void BM_ShowTopicWithObjects(benchmark::State &state)
{
    QTextDocument source;
    QTextCursor c(&source);
    QTextCharFormat plain, green;
    green.setForeground(QColor(0, 128, 0));
    QStringList commands;
    for (int i = 0; c.document()->characterCount() < 20000; ++i) {
        c.insertText(QStringLiteral("Un paragraphe de texte d'aide, avec ses mots et ses phrases, numéro %1. ").arg(i), plain);
        if (i % 4 == 0 && commands.size() < 20) {
            c.insertText(QStringLiteral("@_%1_lien_%1_@").arg(commands.size()), green);
            commands << QStringLiteral("{\\uldb voir la page %1}{\\v Page_%1}").arg(commands.size());
        }
        if (i % 3 == 2)
            c.insertBlock();
    }
    const QByteArray rtf = RtfText::FWriteRtf(source);
    const QFont font = TTopicDocument::FDefaultFont(QStringLiteral("DejaVu Sans"));
    TRichEdit editor;
    editor.resize(1000, 700);
    Markers::TObjectPainter painter;
    painter.setCommands(&commands);
    QImage canvas(1000, 700, QImage::Format_RGB32);
    for (auto _ : state) {
        TTopicDocument topic(rtf, font);
        editor.setDocument(topic.document());
        painter.attach(topic.document());
        editor.viewport()->render(&canvas);
        editor.setDocument(nullptr);
    }
    state.counters["bytes"] = double(rtf.size());
}
BENCHMARK(BM_ShowTopicWithObjects)->Unit(benchmark::kMillisecond);

// Refreshing the preview of a 20 KB topic with 20 pictures, jumps and
// pop-ups after a keystroke: the topic's source made, read by the
// compiler's reader, written by the web pages' writer and shown
// (target <= 50 ms).
void BM_PreviewRefresh(benchmark::State &state)
{
    QTemporaryDir dir;
    QImage picture(120, 80, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    picture.save(dir.filePath(QStringLiteral("image.bmp")), "BMP");
    TIniRec ini{};
    TPrjRec prj{};
    ini.BMP.set(dir.path() + u'/');
    prj.ProjectTitle.set(QStringLiteral("Banc"));
    TConfBlock conf;
    conf.PIni = &ini;
    conf.PPrj = &prj;
    TConfBlock *saved = Globale::PConf;
    Globale::PConf = &conf;

    TCProject project;
    QStringList names;
    for (int i = 0; i < 30; ++i)
        names << QStringLiteral("Page %1").arg(i);
    QList<Outline::TLine> lines;
    for (const QString &name : names)
        lines << Outline::TLine{1, name};
    project.PSetLines(lines);
    QTextDocument source;
    QTextCursor c(&source);
    QTextCharFormat plain, green;
    green.setForeground(QColor(0, 128, 0));
    for (int i = 0; c.document()->characterCount() < 20000; ++i) {
        c.insertText(QStringLiteral("Un paragraphe de texte d'aide, avec ses mots et ses phrases, numéro %1. ").arg(i), plain);
        const int n = int(project.commands.size());
        if (i % 4 == 0 && n < 20) {
            c.insertText(QStringLiteral("@_%1_objet_%1_@").arg(n), green);
            project.commands << (n % 4 == 0   ? QStringLiteral("\\{bmc image.bmp\\}")
                                 : n % 4 == 1 ? QStringLiteral("{\\ul une note %1}{\\v Page_%2}").arg(n).arg(n + 1)
                                              : QStringLiteral("{\\uldb voir la page %1}{\\v Page_%2}").arg(n).arg(n + 1));
        }
        if (i % 3 == 2)
            c.insertBlock();
    }
    for (int n = 2; n <= project.FCount(); ++n)
        project.FTopicAt(n)->PSetBytes(RtfText::FWriteRtf(source).left(2000) + "}");
    auto text = std::make_shared<TTopicDocument>(RtfText::FWriteRtf(source), TTopicDocument::FDefaultFont(QStringLiteral("DejaVu Sans")));
    project.FTopicAt(1)->PSetText(text);
    TPreviewPane pane(&project, [&project] { return project.FTopicAt(1); });
    pane.resize(600, 700);
    pane.show();
    QTextCursor typing(text->document());
    for (auto _ : state) {
        typing.insertText(QStringLiteral("x")); // a keystroke: the topic's bytes are made again
        pane.refresh();
    }
    state.counters["objects"] = double(project.commands.size());
    state.counters["pictures"] = double(pane.browser()->images.size());
    Globale::PConf = saved;
}
BENCHMARK(BM_PreviewRefresh)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
