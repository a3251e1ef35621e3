// Randomized robustness runs for the parsers of files a user may bring: RTF
// topic text (the editor's and the help compiler's readers), .HPJ files,
// outline files, command files and INI files. Each input is a
// mutation of a real sample; every parser must return (no crash, no hang).
//   build/fuzz/kivhelp_fuzz [seconds] [seed]     run for a while (the seed is
//                                                printed; a random one if none)
//   build/fuzz/kivhelp_fuzz --file INPUT         replay one input on every parser
// Each input is on disk (fuzz-last-input.bin) before any parser sees it; an
// input that takes more than 10 s ends the run (exit 3) and stays there.
// kivhelp_fuzz_san is the help compiler's part of the run built with the
// address and undefined-behaviour sanitizers (the CTest "fuzz_sanitized").
#include "compiler/hlp/HlpLz77.h"
#include "compiler/sources/Macros.h"
#include "compiler/hlp/HlpPhrases.h"
#include "compiler/hlp/HlpParagraph.h"
#include "compiler/hlp/HlpPicture.h"
#include "compiler/web/HtmlWriter.h"
#include "compiler/pdf/PdfManual.h"
#include "compiler/hlp/HlpTopic.h"
#include "compiler/HelpCompiler.h"
#include "compiler/sources/DecompiledProject.h"
#include "compiler/hlp/HlpDocumentRead.h"
#include "compiler/sources/HpjFile.h"
#include "compiler/sources/RtfTopics.h"
#include "compiler/pictures/WmfRender.h"
#include "platform/IniFile.h"
#ifndef KIVHELP_FUZZ_COMPILER_ONLY
#include "editing/RtfText.h"
#include "formats/CompanionFiles.h"
#include "formats/TextConv.h"
#include "project/Outline.h"
#include <QApplication>
#endif

#include <QGuiApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextDocument>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

// A small help file made by the compiler, whose bytes the inputs damage
// for the help file reader.
const QByteArray &baseHelpFile()
{
    static const QByteArray file = [] {
        QTemporaryDir dir;
        QFile hpj(dir.filePath(QStringLiteral("f.hpj"))), rtf(dir.filePath(QStringLiteral("f.rtf")));
        if (!hpj.open(QIODevice::WriteOnly) || !rtf.open(QIODevice::WriteOnly))
            return QByteArray();
        hpj.write("[OPTIONS]\r\nTITLE=F\r\nCOMPRESS=YES\r\n[MAP]\r\na 1\r\n[FILES]\r\nf.rtf\r\n");
        rtf.write("{\\rtf1#{\\footnote a}${\\footnote A}K{\\footnote k}+{\\footnote s}\\keepn x\\par\\pard y {\\uldb j}{\\v b}"
                  "{\\ul p}{\\v b}{\\uldb m}{\\v !About()}\\tab\\line\\trowd\\cellx900\\intbl c\\cell\\row\\page"
                  "#{\\footnote b}${\\footnote B}+{\\footnote s}z\\par}");
        hpj.close();
        rtf.close();
        return Hlp::compileProject(hpj.fileName()).hlp;
    }();
    return file;
}

void runAll(const QByteArray &input)
{
    // The help file reader: the input as a file, and the input's bytes
    // written over a real file.
    Hlp::readHelpFile(input, QStringLiteral("f.hlp"));
    if (QByteArray damaged = baseHelpFile(); !damaged.isEmpty()) {
        for (qsizetype i = 0; i + 1 < input.size(); i += 2)
            damaged[(quint8(input[i]) * 257 + quint8(input[i + 1]) * 31 + i) % damaged.size()] = input[i + 1];
        Hlp::THelpFileRead read = Hlp::readHelpFile(damaged, QStringLiteral("f.hlp"));
        Hlp::nameContexts(read.project, input); // the input as a map header beside it
        Hlp::helpOutline(read.project, input);  // and as its contents file
    }
#ifndef KIVHELP_FUZZ_COMPILER_ONLY
    QTextDocument doc;
    RtfText::FReadRtf(doc, input);
    QTextDocument back;
    RtfText::FReadRtf(back, RtfText::FWriteRtf(doc));

    const Outline::TParse parsed = Outline::FParse(input);
    if (parsed.ok) {
        // Every name a sent outline may hold is judged without a crash.
        for (const Outline::TLine &line : parsed.lines)
            TextConv::FTopicNameProblem(line.text);
        TCProject project;
        project.PSetLines(parsed.lines);
        Outline::FFormat(project.FLines());
    }

    KIVHelpTools::FSplitCmdLines(input);
#endif
    Hlp::checkMacro(input);
    Hlp::THallPhrases phrases;
    phrases.choose(input.split('\n'));
    phrases.encode(input);
    phrases.phraseIndex(true);

    // The compiler's reader, then its writers (plain and LZ77 blocks).
    QList<Hlp::TPictureSource> pictures;
    // In other code pages too: a single-byte one and a double-byte one.
    Hlp::readTopicFile(input, &pictures, 1251);
    Hlp::readTopicFile(input, &pictures, 932);
    const Hlp::TTopicFileRead read = Hlp::readTopicFile(input, &pictures);
    for (const Hlp::TPictureSource &source : pictures) {
        QByteArray picture;
        QString why;
        if (source.file.isEmpty())
            Hlp::rtfPictureToPicture(source.embedded, &picture, &why, true);
    }
    Hlp::TFontTable fonts;
    Hlp::TTopicWriter writer;
    const Platform::CodePage page(1252);
    for (const Hlp::TSourceTopic &t : read.topics) {
        writer.beginTopic(t.title, t.macros);
        for (const Hlp::TParagraph &p : t.nonScrolling + t.scrolling) {
            const Hlp::TEncodedParagraph e = p.table ? Hlp::encodeTableRow(*p.table, fonts, page) : Hlp::encodeParagraph(p, fonts, page);
            writer.addText(e.linkData1, e.linkData2, e.topicLength, false, bool(p.table));
        }
    }
    writer.build(false);
    writer.build(true);
    fonts.build();
    // The printable manual of what was read (one input in eight: it lays
    // out and draws every page).
    static int inputs = 0;
    if (inputs++ % 8 == 0 && read.topics.size() < 200) {
        Hlp::THelpDocument document;
        document.topics = read.topics;
        Hlp::pdfManual(document, Hlp::paperSize(QStringLiteral("a4")));
    }
    Hlp::lz77Compress(input);
    Hlp::lz77Expand(input, 1 << 20);
    // Metafiles: as they come, and behind a header that lets the records run.
    Hlp::renderWmf(input, QSize(48, 32));
    Hlp::renderWmf(QByteArray::fromHex("010009000003000000000000ffff00000000") + input, QSize(48, 32));
    Hlp::pictureHotspots("lP\x01\x00\x08\x00\x00\x00" + input);
    QByteArray extension;
    Hlp::pictureAsFile("lP\x01\x00\x08\x00\x00\x00" + input, &extension);
    Hlp::retargetHotspots("lP\x01\x00\x08\x00\x00\x00" + input, [](const QByteArray &c) { return c + "_x"; });
    Hlp::parseHpj(input);
    // A map of contexts from an earlier build, as a program keeps it.
    QString mapError;
    Hlp::contextMapChanges(input, "{\"contexts\":[{\"name\":\"a\",\"number\":1,\"page\":\"a.html#a\"}]}", &mapError);
    QByteArray picture;
    QString why;
    Hlp::bmpToPicture(input, &picture, &why);
    if (input.size() > 2) {
        Hlp::bmpToPicture("BM" + input.mid(2), &picture, &why, true);
        Hlp::pictureHotspotCount("lp" + input.mid(2));
    }

    Platform::IniFile ini(QStringLiteral("/nonexistent/fuzz.ini"));
    ini.parse(input);
    ini.readInteger(QStringLiteral("Config"), QStringLiteral("NB_FNT"), 30);
    ini.writeString(QStringLiteral("Config"), QStringLiteral("X"), QStringLiteral("y"));
    ini.toBytes();
}

const QByteArray kSeeds[] = {
    "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl{\\f0\\fswiss MS Sans Serif;}{\\f1\\froman\\fcharset2 Symbol;}"
    "{\\f2\\fswiss\\fcharset1 Arial;}}\r\n{\\colortbl\\red0\\green0\\blue0;\\red0\\green128\\blue0;}\r\n"
    "\\deflang1036\\pard\\plain\\f2\\fs26 Manuel\r\n\\par \\plain\\f2\\fs26\\cf1 @_0_voir_aussi_@\\plain\\f2\\fs26 \r\n"
    "\\par }\r\n",
    "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset204 Arial;}}\\uc1\\u1055?\\'cf{\\*\\x y}{\\pict\\bin4 abcd}"
    "\\b bold\\b0 \\line\\tab\\qc x\\par}",
    "Manuel\r\n\tInstallation\r\n\tUtilisation\r\n\t\tMenus\r\n",
    "[Config]\r\nDIRPATH=c:\\kiv\\\r\nNB_LASTPROJECTS=3\r\nSEQ_T=0x1F4\r\n; comment\r\n[Param]\r\nNbTopics=2\r\n",
    "\\{bmc logo.bmp\\}\r\n{\\uldb voir}{\\v Voir}\r\n{\\uldb x}{\\v !ExecProgram(\"c:\\\\\\\\x.exe\",0)}\r\n",
    // Tables, a metafile equation, Word's picture twins, raised text.
    "{\\rtf1 \\trowd\\trgaph108\\cellx1000\\cellx3000\\pard\\intbl a\\cell b\\par c\\cell\\row\\pard x{\\super 2}\\par"
    "{\\object\\objemb{\\*\\objdata 00}{\\result{\\pict\\wmetafile8\\picw1058\\pich1058\\picwgoal600\\pichgoal600 "
    "010009000003220000000100070000000000050000000c0264006400070000001b045a005a000a000a00"
    "0c000000320a0a000a0002000000414200000000030000000000}}}"
    "{\\*\\shppict{\\pict\\pngblip 89504e470d0a1a0a}}{\\nonshppict{\\pict\\dibitmap0 28000000}}\\par}",
    // Measures that overflowed sums once.
    "{\\rtf1{\\pict\\wmetafile8\\picw1070000001\\pich1070000001\\picscalex2147483647 0100090000}"
    "\\trowd\\trleft-2147483647\\cellx2147483647\\pard\\intbl\\li2147483647 a\\cell\\row}",
    // Footnotes in their forms, groups that are not text.
    "{\\rtf1 #{\\footnote intro}{\\up6 K{\\footnote {\\up6 K} a;b}}k{\\footnote c}x{\\footnote d}{\\comment e}"
    "{\\info{\\title t}}{\\ftnsep \\chftnsep\\par}{\\field{\\*\\fldinst f}{\\fldrslt g}}\\par\\page{\\comment h}}",
};

QByteArray mutate(QByteArray data, QRandomGenerator &rng)
{
    static const QByteArray tokens[] = {"{", "}", "\\", "\\par ", "\\'", "\\u-", "\\bin", "\\*", "\t", "\r\n",
                                        "\x1a", ";", "=", "[", "]", "0x", "\\fonttbl", "\\fcharset128 ", "\\li2147483647 ", "\\fi-2147483648 ", "\\pard"};
    const int edits = 1 + int(rng.bounded(16));
    for (int e = 0; e < edits; ++e) {
        const qsizetype at = data.isEmpty() ? 0 : qsizetype(rng.bounded(int(data.size())));
        switch (rng.bounded(5)) {
        case 0: if (!data.isEmpty()) data[at] = char(rng.bounded(256)); break;
        case 1: data.insert(at, tokens[rng.bounded(int(std::size(tokens)))]); break;
        case 2: data.remove(at, int(rng.bounded(8))); break;
        case 3: data.truncate(at); break;
        default: data.insert(at, data.mid(qsizetype(rng.bounded(int(qMax<qsizetype>(1, data.size())))), 32)); break;
        }
    }
    return data;
}

} // namespace

void tooLong(int)
{
    static const char text[] = "an input took more than 10 s: it is in fuzz-last-input.bin\n";
    [[maybe_unused]] const auto written = ::write(2, text, sizeof text - 1);
    ::_exit(3);
}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef KIVHELP_FUZZ_COMPILER_ONLY
    QGuiApplication app(argc, argv);
#else
    QApplication app(argc, argv);
#endif
    std::signal(SIGALRM, tooLong);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args[0] == QLatin1String("--file")) {
        QFile f(args[1]);
        if (!f.open(QIODevice::ReadOnly))
            return 2;
        ::alarm(10);
        runAll(f.readAll());
        std::printf("ok\n");
        return 0;
    }
    const int seconds = args.value(0, QStringLiteral("10")).toInt();
    const quint32 seed = args.size() > 1 ? args[1].toUInt() : QRandomGenerator::system()->generate();
    std::printf("seed %u\n", seed);
    std::fflush(stdout);
    QRandomGenerator rng(seed);
    QElapsedTimer clock;
    clock.start();
    long long runs = 0;
    while (clock.elapsed() < qint64(seconds) * 1000) {
        QByteArray input = kSeeds[rng.bounded(int(std::size(kSeeds)))];
        for (int depth = int(rng.bounded(4)); depth >= 0; --depth)
            input = mutate(input, rng);
        // The input reaches the disk before any parser sees it, so that a
        // crash or a hang leaves it there.
        QFile last(QStringLiteral("fuzz-last-input.bin"));
        if (last.open(QIODevice::WriteOnly)) {
            last.write(input);
            last.close();
        }
        ::alarm(10);
        runAll(input);
        ::alarm(0);
        ++runs;
    }
    QFile::remove(QStringLiteral("fuzz-last-input.bin"));
    std::printf("%lld inputs in %d s, no failure\n", runs, seconds);
    return 0;
}
