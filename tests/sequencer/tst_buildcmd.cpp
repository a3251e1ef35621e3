// kivhelp --build as a script runs it: the real program, in every output
// format, on the sample project and on a project whose topics other writers
// made. The author's files come out of every build byte for byte.
#include "TestSupport.h"
#include "compiler/HlpEncode.h"
#include "TestRegistry.h"
#include "compiler/HlpRead.h"

#include "platform/SafeFile.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>

using TestSupport::readFile;
using TestSupport::writeFile;

namespace {

// The files an author owns: outline, topics, commands, settings, fonts.
QMap<QString, QByteArray> authorsFiles(const QString &dir)
{
    QMap<QString, QByteArray> out;
    static const QRegularExpression own(QStringLiteral("\\.(PRJ|CDE|CFG|FNT|KEY|\\d+)$"), QRegularExpression::CaseInsensitiveOption);
    for (const QString &name : QDir(dir).entryList(QDir::Files))
        if (own.match(name).hasMatch())
            out.insert(name, QCryptographicHash::hash(readFile(dir + u'/' + name), QCryptographicHash::Sha1));
    return out;
}

struct TRun {
    int code = -1;
    QString out;
};

TRun build(const QString &prj, const QString &format, const QString &config)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(KIVHELP_EXE), {QStringLiteral("--build"), prj, QStringLiteral("--format"), format});
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAll())};
}

} // namespace

class TestBuildCommand : public QObject {
    Q_OBJECT
private slots:
    void buildsNeverWriteTheAuthorsFiles();
    void aFailedCompileEndsTheBuild();
};

void TestBuildCommand::buildsNeverWriteTheAuthorsFiles()
{
    TestSupport::Sandbox box;
    const QString config = box.path("config");
    QVERIFY(QDir().mkpath(config));
    // The sample project, and one whose topic files Word and a hand wrote
    // (font tables with unused faces, Arial as \f2), with a picture and a
    // jump among its commands.
    QVERIFY(Platform::copyTree(QStringLiteral(KIVHELP_SOURCE_DIR "/resources/sample/Kivhelp"), box.path("Kivhelp")));
    QVERIFY(QDir().mkpath(box.path("Autres")));
    QVERIFY(writeFile(box.path("Autres/Autres.PRJ"), "Autres\r\n\tDeux\r\n\t\tTrois\r\n"));
    // As a word processor writes it: code page, a font table with unused
    // faces, a style sheet and document information to skip, one line.
    const QByteArray word =
        "{\\rtf1\\ansi\\ansicpg1252\\uc1\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 Times New Roman;}"
        "{\\f1\\fswiss\\fcharset0 Helvetica;}{\\f2\\fswiss\\fcharset0 Arial;}{\\f3\\fmodern Courier New;}}"
        "{\\colortbl;\\red0\\green0\\blue0;}{\\stylesheet{\\s0\\f2\\fs20 Normal;}}"
        "{\\info{\\author Quelqu'un}}\\pard\\plain\\s0\\f2\\fs20 Texte \\'e9crit ailleurs\\par}";
    QVERIFY(writeFile(box.path("Autres/Autres.1"), word));
    QVERIFY(writeFile(box.path("Autres/Deux.2"), word));
    QVERIFY(writeFile(box.path("Autres/Trois.3"),
                      "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Times;}{\\f1\\fswiss Helv;}{\\f2\\fswiss Arial;}}\r\n"
                      "{\\colortbl;}\r\n\\pard\\f2\\fs20 Voir @_0_Deux_@ et @_1_logo_@, @_2_une_note_@.\\par\r\n}\r\n"));
    QVERIFY(writeFile(box.path("Autres/Autres.KEY"), "Deux\tpremier mot; parent, enfant\r\n"));
    QVERIFY(writeFile(box.path("Autres/Autres.CDE"),
                      "{\\uldb Deux}{\\v Deux}\r\n\\{bmc logo.bmp\\}\r\n{\\ul une note}{\\v Deux}\r\n"));
    for (const QString &dir : {box.path("Kivhelp"), box.path("Autres")}) {
        const QMap<QString, QByteArray> before = authorsFiles(dir);
        QVERIFY(before.size() >= 4);
        const QString prj = dir + u'/' + QFileInfo(dir).fileName() + QStringLiteral(".PRJ");
        for (const QString &format : {"hlp", "html", "chm", "hlp"}) {
            const TRun run = build(prj, format, config);
            QVERIFY2(run.code == 0, qPrintable(format + ": " + run.out));
            QCOMPARE(authorsFiles(dir), before);
        }
    }
    QVERIFY(QFileInfo::exists(box.path("Kivhelp.COM/Kivhelp.HLP")));
    QVERIFY(QFileInfo::exists(box.path("Autres.COM/Autres.HLP")));
    // The pop-up is one in the web pages too: the page opens over the text.
    QString pages;
    for (QDirIterator it(box.path("Autres.COM/Autres_html"), {"*.html"}, QDir::Files); it.hasNext();)
        pages += QString::fromUtf8(readFile(it.next()));
    QVERIFY(pages.contains(QStringLiteral("return popup(this,")));
    QVERIFY(pages.contains(QStringLiteral(">une note<")));
    // A page's own keywords are in the index, a second level under its first.
    QVERIFY(pages.contains(QStringLiteral("premier mot")));
    QVERIFY(pages.contains(QStringLiteral("enfant")));
    // And in the .HLP's keyword index, beside the pages' names.
    HlpRead::Container hlp;
    QVERIFY(hlp.parse(readFile(box.path("Autres.COM/Autres.HLP"))));
    HlpRead::Tree kw;
    QVERIFY(kw.parse(*hlp.internalFile("|KWBTREE")));
    QList<QByteArray> keywords;
    for (const auto &[key, data] : HlpRead::walkLeaves(kw, HlpRead::stringKey(), 6))
        keywords << QByteArray(key.constData());
    QVERIFY2(keywords.contains("premier mot") && keywords.contains("Deux"), keywords.join('|').constData());
    // The page's text holds the pop-up hotspot (0xE2) and the jump (0xE3),
    // both to the page "Deux".
    QByteArray formats;
    for (const HlpRead::TopicFile::Record &r : HlpRead::TopicFile::of(hlp).walk())
        formats += r.ld1;
    QByteArray toDeux;
    Hlp::putU32(toDeux, quint32(Hlp::contextHash("Deux")));
    QVERIFY(formats.contains('\xE2' + toDeux));
    QVERIFY(formats.contains('\xE3' + toDeux));
    // The program's settings were read, never written.
    QVERIFY(!QFileInfo::exists(config + "/kivhelp/kivhelp.INI"));
}

void TestBuildCommand::aFailedCompileEndsTheBuild()
{
    TestSupport::Sandbox box;
    const QString config = box.path("config");
    QVERIFY(QDir().mkpath(config + "/kivhelp"));
    // A compiler of the author's choosing that fails, after a wait of ten
    // minutes that the build must not sit through.
    const QString hc = TestSupport::makeScript(box.path("hc.sh"), "echo 'HC1002: Error: T1.rtf : rien ne va' > \"${1%.*}.ERR\"\nexit 1\n");
    QVERIFY(writeFile(config + "/kivhelp/kivhelp.INI",
                      "[Config]\r\nCOMPILER=" + hc.toUtf8() + "\r\nCOMPIL_TO=600000\r\nCOMPIL_POL_T=50\r\n"));
    QVERIFY(Platform::copyTree(QStringLiteral(KIVHELP_SOURCE_DIR "/resources/sample/Kivhelp"), box.path("Kivhelp")));
    const TRun run = build(box.path("Kivhelp/Kivhelp.PRJ"), "hlp", config);
    QCOMPARE(run.code, 1);
    QVERIFY2(run.out.contains("HC1002: Error: T1.rtf : rien ne va"), qPrintable(run.out));
}

KIV_TEST(TestBuildCommand)
#include "tst_buildcmd.moc"
