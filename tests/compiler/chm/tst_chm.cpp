// The help as a compiled HTML Help file.
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

// A process's state letter (R, S, Z...) and its parent; "" when it is gone.
QPair<QByteArray, qint64> processState(const QString &pid)
{
    const QByteArray stat = TestSupport::readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    const QList<QByteArray> fields = close > 0 ? stat.mid(close + 2).split(' ') : QList<QByteArray>();
    return fields.size() > 1 ? qMakePair(fields[0], fields[1].toLongLong()) : qMakePair(QByteArray(), qint64(-1));
}

// The pid of a running child of `parent` named `name`, or "".
QString childNamed(qint64 parent, const QByteArray &name)
{
    for (const QFileInfo &p : QDir(QStringLiteral("/proc")).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (processState(p.fileName()).second == parent && processState(p.fileName()).first != "Z"
            && TestSupport::readFile(p.filePath() + QStringLiteral("/comm")).trimmed() == name)
            return p.fileName();
    return {};
}

} // namespace

class TestChm : public QObject {
    Q_OBJECT
private slots:
    void compiledHtmlHelp();
    void compiledHelpBuildKilled();
};

void TestChm::compiledHtmlHelp()
{
    // The pages compiled into a .CHM with its contents, index and the [MAP]
    // numbers as context ids (one above 2^31, two names for one page).
    if (QStandardPaths::findExecutable(QStringLiteral("chmcmd")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("chmls")).isEmpty())
        QSKIP("chmcmd is not installed (fp-utils)");
    TestSupport::Sandbox box;
    // A page's second context named as the site's contents page, and a
    // context longer than a file name may be: neither takes a page's place
    // nor stops the build.
    const QByteArray longContext = "Long_" + QByteArray(240, 'x');
    TestSupport::writeFile(box.path("c.hpj"), "[OPTIONS]\r\nTITLE=Aide CHM\r\nCONTENTS=second\r\n[MAP]\r\nfirst 10\r\n"
                                              "HIDC_GRAND 0x816D040D\r\nsecond 12\r\ntrois 13\r\nindex 14\r\n" + longContext + " 15\r\n"
                                              "[ALIAS]\r\nHIDC_GRAND=first\r\n[FILES]\r\nc.rtf\r\n");
    TestSupport::writeFile(box.path("c.rtf"), "{\\rtf1 #{\\footnote # first}${\\footnote $ Une}K{\\footnote K clef}Un {\\uldb long}{\\v " + longContext
                                              + "}\\par\\page"
                                              "#{\\footnote # second}${\\footnote $ Deux}Deux\\par\\page"
                                              "#{\\footnote # trois}#{\\footnote # index}${\\footnote $ Trois}Trois\\par\\page"
                                              "#{\\footnote # " + longContext + "}${\\footnote $ Longue}Longue\\par}");
    Hlp::TCompileOptions options;
    options.output = Hlp::TOutput::Chm;
    options.outputDir = box.path("pages");
    options.chmFile = box.path("Aide.chm");
    const Hlp::TCompileResult r = Hlp::compileProject(box.path("c.hpj"), options);
    QVERIFY2(r.ok, qPrintable(r.messages.join(u'\n')));
    QProcess list;
    list.start(QStandardPaths::findExecutable(QStringLiteral("chmls")), {box.path("Aide.chm")});
    QVERIFY(list.waitForFinished(60000));
    const QByteArray files = list.readAllStandardOutput();
    for (const char *name : {"/first.html", "/second.html", "/toc.hhc", "/index.hhk", "/HIDC_GRAND.html", "/#IVB", "/$FIftiMain"})
        QVERIFY2(files.contains(name), name);
    const QByteArray hhp = TestSupport::readFile(box.path("pages/project.hhp"));
    QVERIFY(hhp.contains("Default topic=second.html"));
    QVERIFY(hhp.contains("#define HIDC_GRAND 0x816D040D"));
    QVERIFY(TestSupport::readFile(box.path("pages/toc.hhc")).contains("value=\"Deux\""));
    QVERIFY(!TestSupport::readFile(box.path("pages/index.html")).contains("refresh"));
    QVERIFY(hhp.contains("index=index_.html") && TestSupport::readFile(box.path("pages/index_.html")).contains("url=trois.html#index"));
    const QString longPage = QStringLiteral("Long_") + QString(85, u'x') + u'_';
    QVERIFY(files.contains(longPage.toLatin1()));
    QVERIFY(TestSupport::readFile(box.path("pages/first.html")).contains(("href=\"" + longPage).toLatin1()));
    // Without a folder for the pages, they are kept in the cache for the
    // next build, which rewrites only those that changed; a temporary folder
    // that a killed build left is removed, and so are the pages of a help
    // not built for 30 days (not those of one built 10 days ago).
    const QString left = QDir::tempPath() + QStringLiteral("/kivhelp-chm-999999999-gone");
    QVERIFY(QDir().mkpath(left + QStringLiteral("/images")));
    const QString keptPages = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/kivhelp/chm-pages");
    for (const auto &[name, days] : {QPair<QString, int>{QStringLiteral("0ld"), 40}, {QStringLiteral("recent"), 10}}) {
        QVERIFY(QDir().mkpath(keptPages + u'/' + name));
        QVERIFY(TestSupport::writeFile(keptPages + u'/' + name + QStringLiteral("/.built"), "x"));
        QFile built(keptPages + u'/' + name + QStringLiteral("/.built"));
        QVERIFY(built.open(QIODevice::ReadWrite) && built.setFileTime(QDateTime::currentDateTimeUtc().addDays(-days), QFileDevice::FileModificationTime));
    }
    options.outputDir.clear();
    options.chmFile = box.path("Aide2.chm");
    QVERIFY(Hlp::compileProject(box.path("c.hpj"), options).ok);
    QVERIFY(QFileInfo(box.path("Aide2.chm")).size() > 0 && !QFileInfo::exists(left));
    QVERIFY(!QFileInfo::exists(keptPages + QStringLiteral("/0ld")) && QFileInfo::exists(keptPages + QStringLiteral("/recent/.built")));
    QDirIterator kept(keptPages, {QStringLiteral("second.html")},
                      QDir::Files, QDirIterator::Subdirectories);
    QVERIFY(kept.hasNext());
    const QString keptPage = kept.next();
    const auto inode = [](const QString &path) { struct stat st {}; return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0; };
    const auto before = inode(keptPage);
    QVERIFY(Hlp::compileProject(box.path("c.hpj"), options).ok);
    QCOMPARE(inode(keptPage), before);
    // Readers built on libchm (Linux viewers) find the pages by name.
    const QString libchm = QStandardPaths::findExecutable(QStringLiteral("test_chmLib"));
    if (!libchm.isEmpty()) {
        QProcess::execute(libchm, {box.path("Aide.chm"), QStringLiteral("/second.html"), box.path("second.html")});
        QVERIFY(TestSupport::readFile(box.path("second.html")).contains("Deux"));
    }
}

void TestChm::compiledHelpBuildKilled()
{
    // A .CHM build killed while chmcmd runs: chmcmd ends with it (else it
    // went on writing into the kept pages, and the next build failed).
    if (QStandardPaths::findExecutable(QStringLiteral("chmcmd")).isEmpty())
        QSKIP("chmcmd is not installed");
    TestSupport::Sandbox box;
    QByteArray files, text;
    for (int w = 0; w < 400; ++w)
        text += "mot" + QByteArray::number(w) + ' ';
    for (int t = 0; t < 400; ++t) {
        TestSupport::writeFile(box.path(QStringLiteral("t%1.rtf").arg(t)), "{\\rtf1#{\\footnote # p" + QByteArray::number(t) + "}" + text + "\\par}");
        files += "t" + QByteArray::number(t) + ".rtf\r\n";
    }
    TestSupport::writeFile(box.path("k.hpj"), "[OPTIONS]\r\nTITLE=Tuer\r\n[FILES]\r\n" + files);
    const QStringList arguments{QStringLiteral("--format"), QStringLiteral("chm"), QStringLiteral("-o"), box.path("k.chm"), box.path("k.hpj")};
    QProcess build;
    build.start(QStringLiteral(KIVHC_PATH), arguments);
    QVERIFY(build.waitForStarted());
    QString chmcmd;
    QDeadlineTimer deadline(60000);
    while ((chmcmd = childNamed(build.processId(), "chmcmd")).isEmpty() && !deadline.hasExpired() && build.state() == QProcess::Running)
        QThread::msleep(2);
    QVERIFY2(!chmcmd.isEmpty(), "chmcmd was not seen running");
    // Held still, so that only its end with the build can end it.
    const auto cleanUp = qScopeGuard([&] { ::kill(pid_t(chmcmd.toLongLong()), SIGKILL); });
    ::kill(pid_t(chmcmd.toLongLong()), SIGSTOP);
    QTRY_COMPARE_WITH_TIMEOUT(processState(chmcmd).first, QByteArray("T"), 5000);
    ::kill(pid_t(build.processId()), SIGKILL);
    build.waitForFinished();
    QTRY_VERIFY_WITH_TIMEOUT(processState(chmcmd).first.isEmpty() || processState(chmcmd).first == "Z", 5000);
    QCOMPARE(QProcess::execute(QStringLiteral(KIVHC_PATH), arguments), 0);
}

KIV_TEST(TestChm)
#include "tst_chm.moc"
