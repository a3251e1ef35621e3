// A help file written as a help project again, which builds into the same
// help.
#include "TestSupport.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include "TestRegistry.h"

#include "compiler/hlp/HlpStructure.h"
#include "compiler/HelpCompiler.h"
#include "compiler/hlp/HlpEncode.h"
#include "compiler/sources/DecompiledProject.h"
#include "compiler/hlp/HlpDocumentRead.h"
#include "compiler/web/HtmlSearch.h"
#include "compiler/web/HtmlWriter.h"
#include "compiler/hlp/HlpPicture.h"
#include "compiler/sources/RtfTopics.h"
#include "platform/CodePage.h"
#include "platform/Paths.h"
#include "platform/SafeFile.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QScopeGuard>
#include <QThread>
#include <QDeadlineTimer>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// What a help file says, page by page, as the reader gives it back: for
// the round trip of decompiling and compiling again.
struct TSummary {
    QList<QByteArray> titles, windows;
    QList<QString> texts;
    QList<QList<qint32>> contexts, jumps;
    QList<QList<QByteArray>> keywords;
    QList<QList<QImage>> pictures;
    QList<QList<int>> browse;
    QList<QPair<qint64, int>> map;
};

TSummary summaryOf(const QByteArray &hlp)
{
    TSummary s;
    const Hlp::THelpFileRead read = Hlp::readHelpFile(hlp, QStringLiteral("x.hlp"));
    QList<int> kept; // pages with a context or some text (the compiler drops the others)
    for (int n = 0; n < read.project.topics.size(); ++n) {
        Hlp::TSourceTopic t = read.project.topics[n];
        QString text;
        QList<qint32> jumps;
        QList<QImage> pictures;
        Hlp::forEachParagraph(t, [&](Hlp::TParagraph &p) {
            for (const Hlp::TInline &i : p.items) {
                if (i.kind == Hlp::TInline::Text)
                    text += i.text;
                if (i.kind == Hlp::TInline::HotspotStart)
                    jumps << Hlp::contextHash(i.link == Hlp::TInline::Macro ? i.macro : i.context) << i.link << i.plain;
                if (i.kind == Hlp::TInline::Picture)
                    pictures << Hlp::pictureImage(read.project.pictureData.value(i.picture));
            }
        });
        if (t.contexts.isEmpty() && text.trimmed().isEmpty() && t.title.isEmpty())
            continue;
        kept << n;
        QList<qint32> hashes;
        for (const QByteArray &c : t.contexts)
            hashes << Hlp::contextHash(c);
        std::sort(hashes.begin(), hashes.end());
        s.titles << t.title;
        s.texts << text.simplified();
        s.contexts << hashes;
        s.jumps << jumps;
        // A page's keywords in any order: the index's order is the sort of
        // the compiler's language (a help made on a Japanese system sorts
        // even its 1252 keywords in Japanese order).
        QList<QByteArray> keywords = t.keywords;
        std::sort(keywords.begin(), keywords.end());
        s.keywords << keywords;
        s.pictures << pictures;
    }
    for (const QList<int> &b : read.project.browse) {
        QList<int> sequence;
        for (const int n : b)
            sequence << int(kept.indexOf(n));
        s.browse << sequence;
    }
    for (const Hlp::TMapEntry &m : read.project.map)
        s.map << qMakePair(m.number, int(kept.indexOf(m.topic)));
    std::sort(s.map.begin(), s.map.end()); // files keep them in any order
    for (const Hlp::TWindowDef &w : read.project.hpj.windows)
        s.windows << w.name + '|' + w.caption + '|' + QByteArray::number(w.place[0]) + ',' + QByteArray::number(w.place[1]) + ','
                         + QByteArray::number(w.place[2]) + ',' + QByteArray::number(w.place[3]) + '|'
                         + QByteArray(reinterpret_cast<const char *>(w.scroll), 3).toHex() + QByteArray(reinterpret_cast<const char *>(w.title), 3).toHex();
    for (auto it = read.project.hpj.windowConfig.cbegin(); it != read.project.hpj.windowConfig.cend(); ++it)
        s.windows << "[CONFIG-" + it.key() + "] " + it.value().join(';');
    for (const auto &[name, bytes] : read.project.baggage)
        s.windows << "[BAGGAGE] " + name + ' ' + QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex();
    return s;
}

} // namespace

class TestDecompile : public QObject {
    Q_OBJECT
private slots:
    void decompileRoundTrip();
    void decompileKilledMidway();
    void contextNamesFromFilesBeside();
};

void TestDecompile::decompileRoundTrip()
{
    // Decompiled, compiled again, read back: the same pages in order, with
    // their titles, contexts, keywords, jumps and pop-ups, pictures (pixel
    // for pixel) and text; the same browse sequences and [MAP] numbers.
    TestSupport::Sandbox box;
    QList<QPair<QString, QByteArray>> files;
    const QString corpus = QStringLiteral(KIVHELP_SHARED_DIR "/corpus/winhelp/reference-hlp");
    for (const char *name : {"VIDSEND2.HLP", "PROYECTO.HLP"})
        if (QFileInfo::exists(corpus + u'/' + QLatin1String(name)))
            files << qMakePair(QString::fromLatin1(name), TestSupport::readFile(corpus + u'/' + QLatin1String(name)));
    // One of ours, with what the references lack (pop-ups, a hotspot-free
    // picture, keywords on several pages, a table).
    QImage image(9, 5, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QVERIFY(image.save(box.path("g.bmp"), "BMP"));
    QVERIFY(TestSupport::writeFile(box.path("o.hpj"), "[OPTIONS]\r\nTITLE=Ronde\r\n[MAP]\r\nun 5\r\n[FILES]\r\no.rtf\r\n"
                                                     "[WINDOWS]\r\nmain=\"Ronde\",,,,(255,255,255)\r\nnote=\"Note\",(10,10,300,200)\r\n"
                                                     "[CONFIG-note]\r\nCreateButton(\"b\", \"&Fin\", \"Exit()\")\r\n[BAGGAGE]\r\ndonnees.bin\r\n"));
    QVERIFY(TestSupport::writeFile(box.path("donnees.bin"), QByteArray("\x00\x01joint", 7)));
    QVERIFY(TestSupport::writeFile(box.path("o.rtf"),
        "{\\rtf1{\\fonttbl{\\f0 Arial;}}#{\\footnote un}${\\footnote Un}K{\\footnote a;b}+{\\footnote s}"
        "\\pard\\brdrb\\brdrs\\fs28 Titre\\par\\pard\\fs20 Voir {\\ul la note}{\\v deux} \\{bmr g.bmp\\} {\\uldb %sans}{\\v deux}\\par"
        "\\trowd\\trgaph108\\cellx2000\\cellx5000\\pard\\intbl x\\cell y\\par z\\cell\\row\\pard fin\\page"
        "#{\\footnote deux}${\\footnote Deux}K{\\footnote b}+{\\footnote s}Deux {\\uldb m}{\\v !About()}\\par}"));
    const Hlp::TCompileResult ours = Hlp::compileProject(box.path("o.hpj"));
    QVERIFY(ours.ok);
    files << qMakePair(QStringLiteral("ours"), ours.hlp);
    const QList<QByteArray> extras = summaryOf(ours.hlp).windows.mid(2);
    QVERIFY(extras.size() == 2 && extras[0].startsWith("[CONFIG-note] CreateButton(") && extras[1].startsWith("[BAGGAGE] donnees.bin "));
    // Real help files in English and Japanese (Shift-JIS, with neither a
    // language nor a character set to say so).
    for (const char *name : {"teraterm-en/ttermp.hlp", "teraterm-ja/ttermpj.hlp"}) {
        const QString path = QStringLiteral(KIVHELP_SHARED_DIR "/corpus/compiled-hlp/") + QLatin1String(name);
        if (QFileInfo::exists(path))
            files << qMakePair(QFileInfo(path).fileName(), TestSupport::readFile(path));
    }
    // Russian and Arabic help as the classic compiler writes it when the
    // project gives a language but no character set: the character-set
    // record says ANSI, the language alone names the code page.
    const QList<QPair<QByteArray, QByteArray>> languages{
        {"0x419", "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset204 Arial;}}\\f0 #{\\footnote un}${\\footnote "
                  "\\'d1\\'ef\\'f0\\'e0\\'e2\\'ea\\'e0}K{\\footnote \\'f0\\'e5\\'ea\\'e0}\\'d1\\'ef\\'f0\\'e0\\'e2\\'ea\\'e0 "
                  "{\\uldb \\'f1\\'e0\\'e4}{\\v deux}\\page #{\\footnote deux}${\\footnote \\'c4\\'e2\\'e0}\\'c4\\'e2\\'e0\\par}"},
        {"0x401", "{\\rtf1\\ansi\\ansicpg1256{\\fonttbl{\\f0\\fcharset178 Arial;}}\\f0 #{\\footnote un}${\\footnote "
                  "\\'e3\\'d3\\'c7\\'da\\'cf\\'c9}K{\\footnote \\'df\\'e1\\'e3\\'c9}\\'e3\\'d3\\'c7\\'da\\'cf\\'c9 "
                  "{\\uldb \\'c7\\'e1\\'c8\\'cf\\'c1}{\\v deux}\\page #{\\footnote deux}${\\footnote \\'c7\\'cb\\'e4\\'c7\\'e4}x\\par}"},
    };
    for (const auto &[lcid, rtf] : languages) {
        QVERIFY(TestSupport::writeFile(box.path("l.hpj"), "[OPTIONS]\r\nTITLE=t\r\nLCID=" + lcid + " 0x0 0x0\r\n[FILES]\r\nl.rtf\r\n"));
        QVERIFY(TestSupport::writeFile(box.path("l.rtf"), rtf));
        const Hlp::TCompileResult made = Hlp::compileProject(box.path("l.hpj"));
        QVERIFY2(made.ok, qPrintable(made.messages.join(u'\n')));
        QByteArray hlp = made.hlp;
        const QByteArray record = QByteArray("\x0b\x00\x05\x00", 4) + char(lcid == "0x419" ? 204 : 178);
        const qsizetype at = hlp.indexOf(record);
        QVERIFY(at > 0);
        hlp[at + 4] = 0;
        // And |SYSTEM reserves more space than it uses, as other compilers
        // leave it: read all the same.
        qsizetype system = -1;
        for (qsizetype k = hlp.indexOf(QByteArray("\x6c\x03", 2)); k >= 9 && system < 0; k = hlp.indexOf(QByteArray("\x6c\x03", 2), k + 1))
            if (HlpRead::u32(hlp, k - 9) == HlpRead::u32(hlp, k - 5) + 9)
                system = k - 9;
        QVERIFY(system > 0);
        const quint32 reserved = HlpRead::u32(hlp, system) + 16;
        for (int b = 0; b < 4; ++b)
            hlp[system + b] = char((reserved >> (8 * b)) & 0xFF);
        const Hlp::THelpFileRead read = Hlp::readHelpFile(hlp, QStringLiteral("l.hlp"));
        QVERIFY(read.ok);
        QCOMPARE(read.project.codePage, lcid == "0x419" ? 1251 : 1256);
        // On the web, in its language and, for Arabic, from right to left.
        QStringList webWarnings;
        QVERIFY(Hlp::writeHtml(read.project, box.path("web" + lcid), &webWarnings).isEmpty());
        const QString page = QString::fromUtf8(TestSupport::readFile(box.path("web" + lcid + "/index.html")));
        QVERIFY2(page.contains(lcid == "0x419" ? QStringLiteral("<html lang=\"ru\">") : QStringLiteral("<html lang=\"ar\" dir=\"rtl\">")),
                 qPrintable(page.left(300)));
        // Its navigation in that language too.
        QVERIFY(page.contains(lcid == "0x419" ? QString::fromUtf8("Содержание") : QString::fromUtf8("المحتويات")));
        files << qMakePair(QString::fromLatin1("lcid-" + lcid), hlp);
    }
    // Every corpus project, as kivhc compiles it.
    Hlp::TCompileOptions lenient;
    lenient.missingFilesAreWarnings = true;
    for (QDirIterator it(QStringLiteral(KIVHELP_SHARED_DIR "/corpus/winhelp"), {"*.hpj"}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString hpj = it.next();
        const Hlp::TCompileResult r = Hlp::compileProject(hpj, lenient);
        QVERIFY2(r.ok, qPrintable(hpj));
        files << qMakePair(QFileInfo(hpj).fileName(), r.hlp);
    }
    for (const auto &[name, hlp] : files) {
        const Hlp::THelpFileRead read = Hlp::readHelpFile(hlp, name);
        QVERIFY2(read.ok, qPrintable(name));
        const QString dir = box.path(name + "_src");
        QVERIFY(Hlp::writeProject(read, dir, QStringLiteral("R")).isEmpty());
        // The topics' code page and their fonts' character set agree with
        // the help's language.
        if (read.project.codePage != 1252) {
            const QByteArray rtf = TestSupport::readFile(dir + QStringLiteral("/R.rtf")).left(400);
            const QByteArray charset = "\\fcharset" + QByteArray::number(Platform::charsetOfCodePage(read.project.codePage));
            QVERIFY2(rtf.contains("\\ansicpg" + QByteArray::number(read.project.codePage)) && rtf.contains(charset), rtf.constData());
        }
        const Hlp::TCompileResult again = Hlp::compileProject(dir + QStringLiteral("/R.hpj"));
        QVERIFY2(again.ok, qPrintable(name + u'\n' + again.messages.join(u'\n')));
        // The hotspots of its graphics lead to pages the project names (the
        // names come from the graphics when the file kept only hashes).
        if (name == QLatin1String("PROYECTO.HLP"))
            QVERIFY2(again.messages.filter(QStringLiteral("HC3025")).isEmpty(), qPrintable(again.messages.join(u'\n')));
        const TSummary a = summaryOf(hlp), b = summaryOf(again.hlp);
        QStringList row{name, QStringLiteral("%1 pages").arg(a.titles.size())};
        const auto same = [&](const char *what, bool equal) { row << QStringLiteral("%1 %2").arg(QLatin1String(what), equal ? "=" : "DIFF"); };
        same("titles", a.titles == b.titles);
        same("contexts", a.contexts == b.contexts);
        same("keywords", a.keywords == b.keywords);
        same("jumps", a.jumps == b.jumps);
        same("pictures", a.pictures == b.pictures);
        same("texts", a.texts == b.texts);
        same("browse", a.browse == b.browse);
        same("map", a.map == b.map);
        same("windows", a.windows == b.windows);
        qInfo("%s", qPrintable(row.join(QStringLiteral(", "))));
        QVERIFY2(!row.join(u' ').contains(QStringLiteral("DIFF")), qPrintable(row.join(QStringLiteral(", "))));
    }
    // Pictures come out as files other programs open: bitmaps as .BMP, the
    // hotspot graphic as .SHG. The contents file the help names, absent
    // here, is made again from its titled pages; one given is kept.
    const QDir proyecto(box.path("PROYECTO.HLP_src"));
    if (proyecto.exists()) {
        const QStringList bitmaps = proyecto.entryList({"*.bmp"});
        QVERIFY(bitmaps.size() > 40 && proyecto.entryList({"*.shg"}).size() == 1 && proyecto.entryList({"*.mrb"}).isEmpty());
        QVERIFY(!QImage(proyecto.filePath(bitmaps.first())).isNull());
        const QByteArray cnt = TestSupport::readFile(proyecto.filePath("R.cnt"));
        QVERIFY2(cnt.startsWith(":Base R.hlp\r\n") && cnt.contains("\r\n1 Comandos del men\xfa Archivo=CTX_") && !cnt.contains("=CTX_2Y5JSDM"), cnt.constData());
        QVERIFY(TestSupport::readFile(proyecto.filePath("R.hpj")).contains("\r\nCNT=R.cnt\r\n"));
    }
    const Hlp::THelpFileRead read = Hlp::readHelpFile(ours.hlp, QStringLiteral("o.hlp"));
    QVERIFY(Hlp::writeProject(read, box.path("withcnt"), QStringLiteral("C"), nullptr, ":Base o.hlp\r\n1 Un=un\r\n").isEmpty());
    QCOMPARE(TestSupport::readFile(box.path("withcnt/C.cnt")), QByteArray(":Base o.hlp\r\n1 Un=un\r\n"));
    QVERIFY(!QFileInfo::exists(box.path("ours_src/R.cnt")));
    // The file the help carries comes out beside the project that names it.
    QCOMPARE(TestSupport::readFile(box.path("ours_src/donnees.bin")), QByteArray("\x00\x01joint", 7));
    QVERIFY(TestSupport::readFile(box.path("ours_src/R.hpj")).contains("[BAGGAGE]\r\ndonnees.bin\r\n"));
}

void TestDecompile::decompileKilledMidway()
{
    // A decompile over an earlier one, killed at each rename of its commit
    // in turn: once the next decompile into the folder has completed what
    // the journal names, the folder holds the one or the other, never a mix.
    TestSupport::Sandbox box;
    const auto project = [&](const QByteArray &title, const QByteArray &text) {
        QVERIFY(TestSupport::writeFile(box.path("k.hpj"), "[OPTIONS]\r\nTITLE=" + title + "\r\n[FILES]\r\nk.rtf\r\n"));
        QVERIFY(TestSupport::writeFile(box.path("k.rtf"), "{\\rtf1 #{\\footnote un}${\\footnote Un}" + text + "\\par\\page"
                                                           "#{\\footnote deux}${\\footnote Deux}" + text + "\\par}"));
    };
    const auto read = [&]() { return Hlp::readHelpFile(Hlp::compileProject(box.path("k.hpj")).hlp, QStringLiteral("k.hlp")); };
    project("Ancienne", "avant");
    const Hlp::THelpFileRead before = read();
    project("Nouvelle", "apr\\'e8s");
    const Hlp::THelpFileRead after = read();
    const auto filesOf = [](const QString &dir) {
        QMap<QString, QByteArray> files;
        for (const QString &f : QDir(dir).entryList(QDir::Files)) // hidden ones (journal, temporary files) left out
            files.insert(f, TestSupport::readFile(dir + u'/' + f));
        return files;
    };
    QVERIFY(Hlp::writeProject(before, box.path("a"), QStringLiteral("K")).isEmpty());
    QVERIFY(Hlp::writeProject(after, box.path("b"), QStringLiteral("K")).isEmpty());
    const QMap<QString, QByteArray> old = filesOf(box.path("a")), fresh = filesOf(box.path("b"));
    QVERIFY(old != fresh);
    bool finished = false;
    for (int killAt = 1; !finished && killAt < 20; ++killAt) {
        const QString dir = box.path(QStringLiteral("k%1").arg(killAt));
        QVERIFY(Hlp::writeProject(before, dir, QStringLiteral("K")).isEmpty());
        const pid_t child = fork();
        if (child == 0) {
            Platform::setRenameHookForTest([killAt, count = 0]() mutable {
                if (++count == killAt)
                    ::kill(::getpid(), SIGKILL);
            });
            Hlp::writeProject(after, dir, QStringLiteral("K"));
            ::_exit(0);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        finished = WIFEXITED(status);
        Platform::replayJournal(dir + QStringLiteral("/.kivhc-journal"), {dir});
        const QMap<QString, QByteArray> left = filesOf(dir);
        QVERIFY2(left == old || left == fresh, qPrintable(QStringLiteral("killed at rename %1").arg(killAt)));
    }
    QVERIFY(finished);
    // A disk that fills up halfway: the decompile says so, and the folder
    // keeps the earlier project whole.
    const QString full = box.path("plein");
    QVERIFY(Hlp::writeProject(before, full, QStringLiteral("K")).isEmpty());
    Platform::setWriteBudgetForTest(fresh.value(QStringLiteral("K.rtf")).size() / 2);
    const QStringList errors = Hlp::writeProject(after, full, QStringLiteral("K"));
    Platform::setWriteBudgetForTest(-1);
    QVERIFY(!errors.isEmpty());
    QCOMPARE(filesOf(full), old);
}

void TestDecompile::contextNamesFromFilesBeside()
{
    // A help file keeps hashes only; the map header beside it gives the
    // names back, to the page, its jumps and [MAP] alike.
    TestSupport::Sandbox box;
    QVERIFY(TestSupport::writeFile(box.path("h.hpj"), "[OPTIONS]\r\nCONTENTS=IDH_debut\r\n[MAP]\r\nIDH_cache_x 7\r\n[FILES]\r\nh.rtf\r\n"));
    QVERIFY(TestSupport::writeFile(box.path("h.rtf"), "{\\rtf1 #{\\footnote IDH_debut}${\\footnote Accueil}Voir {\\uldb Zeta}{\\v IDH_cache_x}\\par\\page"
                                                       "#{\\footnote IDH_cache_x}${\\footnote Zeta}z\\par}"));
    const Hlp::TCompileResult compiled = Hlp::compileProject(box.path("h.hpj"));
    QVERIFY(compiled.ok);
    QVERIFY(TestSupport::writeFile(box.path("H.HLP"), compiled.hlp));
    Hlp::THelpFileRead read = Hlp::readHelpFile(compiled.hlp, QStringLiteral("H.HLP"));
    QVERIFY(read.project.topics[1].contexts.first().startsWith("CTX_"));
    QCOMPARE(Hlp::nameContextsFromFilesBeside(read.project, box.path("H.HLP")), 0);
    // An included map file: its numbers kept, a line it cannot read said.
    QVERIFY(TestSupport::writeFile(box.path("m.hpj"), "[MAP]\r\n#include <m.h>\r\n[FILES]\r\nh.rtf\r\n"));
    QVERIFY(TestSupport::writeFile(box.path("m.h"), "#ifndef M_H\r\n#define M_H\r\nIDH_debut = 1;\r\nIDH_cache_x = 0x7; // x\r\nIDH_z = deux;\r\n#endif\r\n"));
    const Hlp::TCompileResult mapped = Hlp::compileProject(box.path("m.hpj"));
    QVERIFY(mapped.ok);
    QCOMPARE(Hlp::readHelpFile(mapped.hlp, QStringLiteral("M.HLP")).project.map.size(), 2);
    QCOMPARE(mapped.messages.filter(QStringLiteral("IDH_z")).size(), 1);
    QVERIFY(TestSupport::writeFile(box.path("h.hm"), "// map\r\nIDH_cache_x\t0x7\r\n#define IDH_debut 1\r\n"));
    QCOMPARE(Hlp::nameContextsFromFilesBeside(read.project, box.path("H.HLP")), 2);
    const Hlp::THelpDocument &p = read.project;
    QCOMPARE(p.topics[1].contexts, QList<QByteArray>{"IDH_cache_x"});
    QCOMPARE(p.map.first().context, QByteArray("IDH_cache_x"));
    QCOMPARE(p.hpj.options.value("CONTENTS"), QByteArray("IDH_debut"));
    QCOMPARE(p.contextTopic.value("IDH_CACHE_X", -1), 1);
    QStringList jumps;
    for (const Hlp::TInline &i : p.topics[0].scrolling.first().items)
        if (i.kind == Hlp::TInline::HotspotStart)
            jumps << QString::fromLatin1(i.context);
    QCOMPARE(jumps, QStringList{"IDH_cache_x"});
}

KIV_TEST(TestDecompile)
#include "tst_decompile.moc"
