#include "TestSupport.h"
#include "TestRegistry.h"

#include "errors/ErrorContext.h"
#include "errors/MessageManager.h"
#include "errors/MsgTexts.h"
#include "platform/Paths.h"

#include <QFile>
#include <QRegularExpression>
#include <QtEndian>

using TestSupport::readFile;

namespace {

QList<TErrorContext> readLog(const QString &path)
{
    const QByteArray bytes = readFile(path);
    QList<TErrorContext> out;
    for (qsizetype at = 0; at + TErrorContext::RecordSize <= bytes.size(); at += TErrorContext::RecordSize)
        out << TErrorContext::fromRecord(bytes.mid(at, TErrorContext::RecordSize));
    return out;
}

TErrorContext unitContext(bool active, bool trace)
{
    TErrorContext ctx;
    FInitErrCtx(ctx, QStringLiteral("KIV_HELP_21"), QStringLiteral("U_Test"));
    ctx.Active = active;
    ctx.Trace = trace;
    return ctx;
}

// A routine that reports on every path, some of them through an exception.
TErrorContext &routine(TErrorContext &ctx, int path)
{
    TSubGuard sub(ctx, QStringLiteral("FRoutine"));
    if (path == 0)
        return sub.report(0);
    if (path == 1)
        return sub.report(7, QStringLiteral("file"), 2);
    throw std::runtime_error("boom");
}

} // namespace

class TestErrors : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Platform::setProgramFilePathForTest(QStringLiteral("/opt/kiv/kivhelp")); }
    void recordLayout();
    void reportingSwitches();
    void timePrefixAndTruncation();
    void callPathRestartsAndRestores();
    void derivedContext();
    void logNames_data();
    void logNames();
    void logCannotBeCreatedOrWritten();
    void oddLogIsKeptAside();
    void registeredTexts();
    void showMessage();
    void messageManagerStartUp();
    void taskListReadsProc();
};

void TestErrors::recordLayout()
{
    TErrorContext ctx = unitContext(true, true);
    ctx.Destination = 1;
    ctx.Category = 7;
    ctx.Code = 0x1234;
    ctx.SubProg = QStringLiteral("\\FLoadPrj\\FLoadPrjTopics");
    ctx.ObjClass = QStringLiteral("TCConfFile");
    ctx.ObjName = QStringLiteral("VGGIniPrj");
    ctx.Msg = QString::fromUtf8("Le fichier n'existe pas : é");
    const QByteArray rec = ctx.toRecord();
    QCOMPARE(rec.size(), 2060);
    QCOMPARE(rec.at(0), char(1));
    QCOMPARE(rec.at(1), char(1));
    QCOMPARE(rec.at(2), char(1));
    QCOMPARE(rec.at(3), char(7));
    QCOMPARE(qFromLittleEndian<quint16>(rec.constData() + 4), quint16(0x1234));
    auto shortAt = [&](int offset) {
        return rec.mid(offset + 1, static_cast<unsigned char>(rec.at(offset)));
    };
    QCOMPARE(shortAt(12), QByteArray("KIV_HELP_21"));
    QCOMPARE(shortAt(268), QByteArray("kivhelp"));
    QCOMPARE(shortAt(524), QByteArray("U_Test"));
    QCOMPARE(shortAt(780), QByteArray("\\FLoadPrj\\FLoadPrjTopics"));
    QCOMPARE(shortAt(1292), QByteArray("TCConfFile"));
    QCOMPARE(shortAt(1548), QByteArray("VGGIniPrj"));
    QCOMPARE(shortAt(1804), QByteArray("Le fichier n'existe pas : \xe9"));
    const TErrorContext back = TErrorContext::fromRecord(rec);
    QCOMPARE(back.Msg, ctx.Msg);
    QCOMPARE(back.Code, ctx.Code);
    QCOMPARE(back.SubProg, ctx.SubProg);
}

void TestErrors::reportingSwitches()
{
    TestSupport::Sandbox box;
    const QString log = box.path("kivhelp.LOG");

    // Reporting off: nothing logged, but the outcome stays in the context.
    TErrorContext off = unitContext(false, false);
    routine(off, 1);
    QVERIFY(!QFile::exists(log));
    QCOMPARE(off.Category, quint8(7));
    QCOMPARE(off.Code, quint16(2));
    QCOMPARE(off.Msg, QStringLiteral("file"));

    // "D": failures only.
    TErrorContext d = unitContext(true, false);
    routine(d, 0);
    QVERIFY(!QFile::exists(log));
    routine(d, 1);
    QCOMPARE(readLog(log).size(), 1);

    // "D O": every exit.
    TErrorContext dO = unitContext(true, true);
    routine(dO, 0);
    routine(dO, 1);
    const QList<TErrorContext> records = readLog(log);
    QCOMPARE(QFileInfo(log).size(), 3 * 2060);
    QCOMPARE(records.size(), 3);
    QCOMPARE(records[1].Category, quint8(0));
    QCOMPARE(records[1].SubProg, QStringLiteral("\\FRoutine"));
    QCOMPARE(records[2].Category, quint8(7));
    QCOMPARE(records[2].Unite, QStringLiteral("U_Test"));

    // Destination "message server": never linked here, so still the log.
    TErrorContext m = unitContext(true, false);
    m.Destination = 0;
    routine(m, 1);
    QCOMPARE(readLog(log).size(), 4);
    QCOMPARE(readLog(log).last().Destination, quint8(0));
}

void TestErrors::timePrefixAndTruncation()
{
    TestSupport::Sandbox box;
    TErrorContext ctx = unitContext(true, false);
    quint8 saved = FEnterSub(ctx, QStringLiteral("FWrite"));
    FReport(saved, ctx, 7, QStringLiteral("Can't Rewrite"), 12);
    QVERIFY2(QRegularExpression(QStringLiteral("^\\S.*\\d \\| Can't Rewrite$")).match(ctx.Msg).hasMatch(),
             qPrintable(ctx.Msg));
    QCOMPARE(readLog(box.path("kivhelp.LOG")).last().Msg, ctx.Msg);

    saved = FEnterSub(ctx, QStringLiteral("FWrite"));
    FReport(saved, ctx, 7, QString(250, u'm'), 12);
    QCOMPARE(ctx.Msg.size(), 255);
    QVERIFY(ctx.Msg.contains(QStringLiteral(" | mmm")) && ctx.Msg.endsWith(u'm'));
    QCOMPARE(readLog(box.path("kivhelp.LOG")).last().Msg.size(), 255);

    // A message longer than a short string is cut even with reporting off.
    TErrorContext quiet = unitContext(false, false);
    saved = FEnterSub(quiet, QStringLiteral("F"));
    FReport(saved, quiet, 2, QString(400, u'x'), 0);
    QCOMPARE(quiet.Msg.size(), 255);
}

void TestErrors::callPathRestartsAndRestores()
{
    TErrorContext ctx = unitContext(false, false);
    const quint8 outer = FEnterSub(ctx, QStringLiteral("FLoadPrj"));
    QCOMPARE(outer, quint8(0));
    for (int path = 0; path < 3; ++path) {
        try {
            routine(ctx, path);
        } catch (const std::exception &) {
        }
        QCOMPARE(ctx.SubProg, QStringLiteral("\\FLoadPrj"));
    }
    ctx.SubProg = QString(240, u'a');
    const quint8 saved = FEnterSub(ctx, QStringLiteral("FSixteenCharName"));
    QCOMPARE(ctx.SubProg, QStringLiteral("...\\FSixteenCharName"));
    QCOMPARE(saved, quint8(3));
    FReport(saved, ctx, 0, QString(), 0);
    QCOMPARE(ctx.SubProg, QStringLiteral("..."));
    // A name longer than the whole slot is cut, never overflowing it.
    FEnterSub(ctx, QString(300, u'n'));
    QCOMPARE(ctx.SubProg.size(), 255);
}

void TestErrors::derivedContext()
{
    TErrorContext unit = unitContext(true, true);
    unit.Msg = QStringLiteral("old");
    TErrorContext obj;
    obj.Active = false;
    obj.Trace = false;
    obj.SubProg = QStringLiteral("\\X");
    FDeriveErrCtx(unit, obj, QStringLiteral("TCPrjList"), QStringLiteral("List"), 0);
    QCOMPARE(obj.AppName, unit.AppName);
    QCOMPARE(obj.ExeName, QStringLiteral("kivhelp"));
    QCOMPARE(obj.Unite, QStringLiteral("U_Test"));
    QCOMPARE(obj.ObjClass, QStringLiteral("TCPrjList"));
    QCOMPARE(obj.ObjName, QStringLiteral("List"));
    QCOMPARE(obj.Destination, quint8(0));
    QCOMPARE(obj.Category, quint8(1));
    QVERIFY(obj.SubProg.isEmpty() && obj.Msg.isEmpty());
    QVERIFY(!obj.Active && !obj.Trace); // the object's own start-up sets them
}

void TestErrors::logNames_data()
{
    QTest::addColumn<QString>("exe");
    QTest::addColumn<QString>("log");
    QTest::newRow("empty") << "" << "Unknow.LOG";
    QTest::newRow("exe") << "TOOL.EXE" << "TOOL.LOG";
    QTest::newRow("no extension") << "TOOL" << "TOOL.LOG";
    QTest::newRow("ours") << "kivhelp" << "kivhelp.LOG";
    QTest::newRow("two-letter extension") << "a.sh" << "a.sh.LOG";
    QTest::newRow("program named like its log") << "TOOL.log" << "TOOL.log.LOG";
    QTest::newRow("255 characters") << QString(255, u'p') << QString(251, u'p') + ".LOG";
}

void TestErrors::logNames()
{
    QFETCH(QString, exe);
    QFETCH(QString, log);
    QCOMPARE(FErrLogName(exe), log);
    QVERIFY(FErrLogName(exe).compare(exe, Qt::CaseInsensitive) != 0);
}

void TestErrors::logCannotBeCreatedOrWritten()
{
    TestSupport::Sandbox box;
    TestSupport::ScriptedScope scope;
    TErrorContext ctx = unitContext(true, false);

    QVERIFY(QDir().mkdir(box.path("kivhelp.LOG")));
    scope.prompts.answer(Platform::Ok);
    QVERIFY(!FWriteErrLog(ctx));
    QCOMPARE(scope.prompts.texts(), QStringList{QString::fromUtf8(" Création du fichier d'erreur IMPOSSIBLE !")});
    QDir().rmdir(box.path("kivhelp.LOG"));

    if (QFile::exists("/dev/full")) {
        QVERIFY(QFile::link("/dev/full", box.path("kivhelp.LOG")));
        scope.prompts.clear();
        scope.prompts.answer(Platform::Ok);
        // Through FReport: the routine still returns its context.
        const quint8 saved = FEnterSub(ctx, QStringLiteral("F"));
        QCOMPARE(FReport(saved, ctx, 7, QStringLiteral("x"), 5).Category, quint8(7));
        QCOMPARE(scope.prompts.texts(), QStringList{QStringLiteral(" Ecriture dans le fichier d'erreur IMPOSSIBLE !")});
    }
    CHECK_PROMPTS_DONE(scope);
}

void TestErrors::oddLogIsKeptAside()
{
    TestSupport::Sandbox box;
    const QString log = box.path("kivhelp.LOG");
    TErrorContext ctx = unitContext(true, true);
    // A torn record, then a foreign file: each is kept whole under another
    // name and the log starts anew.
    QVERIFY(FWriteErrLog(ctx));
    QFile f(log);
    QVERIFY(f.open(QIODevice::Append));
    f.write(QByteArray(100, 'z'));
    f.close();
    const QByteArray torn = TestSupport::readFile(log);
    ctx.Msg = QStringLiteral("after crash");
    QVERIFY(FWriteErrLog(ctx));
    QCOMPARE(QFileInfo(log).size(), 2060);
    QCOMPARE(readLog(log).last().Msg, QStringLiteral("after crash"));
    QCOMPARE(TestSupport::readFile(log + ".bad"), torn);
    QVERIFY(TestSupport::writeFile(log, "notes de l'utilisateur"));
    QVERIFY(FWriteErrLog(ctx));
    QCOMPARE(TestSupport::readFile(log + ".bad.2"), QByteArray("notes de l'utilisateur"));
    QCOMPARE(QFileInfo(log).size(), 2060);

    // The log's folder is fixed: a later change of the current folder does
    // not move it.
    QVERIFY(QDir().mkdir(box.path("projet")));
    PSetErrLogDir(box.path());
    QDir::setCurrent(box.path("projet"));
    QVERIFY(FWriteErrLog(ctx));
    PSetErrLogDir(QString());
    QVERIFY(!QFile::exists(box.path("projet/kivhelp.LOG")));
    QCOMPARE(QFileInfo(log).size(), 2 * 2060);
}

void TestErrors::registeredTexts()
{
    QCOMPARE(U_Msg2User::FTextCount(), 74);
    QVERIFY(FAddMsgU(21, 0, QStringLiteral("x")));
    QVERIFY(FAddMsgU(0, 101, QStringLiteral("x")));
    QVERIFY(!FAddMsgU(20, 100, QStringLiteral("edge")));
    FAddMsgU(20, 100, QString());
    const TErrorContext &unit = U_Msg2User::FInit(false, false, 1);
    QCOMPARE(unit.Category, quint8(0));
    QCOMPARE(unit.Unite, QStringLiteral("U_Msg2User"));
    TErrorContext ctx;
    auto text = [&](quint8 cat, quint16 code) {
        ctx.Category = cat;
        ctx.Code = code;
        return FGetMsgU(&ctx);
    };
    QCOMPARE(text(2, 0), QStringLiteral("Exception"));
    QCOMPARE(text(7, 18), QString::fromUtf8("La suppression du répertoire a échoué, <pas vide ?>"));
    QCOMPARE(text(7, 19), QString::fromUtf8("La destruction du répertoire a échoué"));
    QCOMPARE(text(10, 11), QString::fromUtf8("Buffer en dérrangement"));
    QCOMPARE(text(11, 24), QStringLiteral("Pas de tableau d'ordre"));
    QCOMPARE(text(13, 1), QStringLiteral("Pas de carte son"));
    QCOMPARE(text(4, 13), QString());
    QCOMPARE(text(11, 0), QString());
    QCOMPARE(text(21, 0), QString());
    QCOMPARE(FGetMsgU(nullptr), QString());
}

void TestErrors::showMessage()
{
    U_Msg2User::FInit(false, false, 1);
    TestSupport::ScriptedScope scope;
    TErrorContext ctx;
    ctx.Category = 7;
    ctx.Code = 2;
    ctx.Msg = QStringLiteral("a.PRJ");
    PShowMsgU(&ctx, false, 0);
    PShowMsgU(nullptr, true, 0);
    PShowMsgU(&ctx, true, 2);
    QVERIFY(scope.prompts.records().isEmpty());
    scope.prompts.answer(Platform::Ok);
    scope.prompts.answer(Platform::Ok);
    PShowMsgU(&ctx, true, 0);
    ctx.Category = 4;
    PShowMsgU(&ctx, true, 1);
    QCOMPARE(scope.prompts.records()[0].icon, Platform::BoxIcon::Error);
    QCOMPARE(scope.prompts.records()[0].text, QStringLiteral("Le fichier n'existe pas : a.PRJ"));
    QCOMPARE(scope.prompts.records()[1].icon, Platform::BoxIcon::Warning);
    QCOMPARE(scope.prompts.records()[1].text, QStringLiteral(" : a.PRJ"));
    CHECK_PROMPTS_DONE(scope);
}

void TestErrors::messageManagerStartUp()
{
    TestSupport::ScriptedScope scope; // nothing may be shown
    U_Error::InitUnit();
    U_msg::InitUnit();
    U_TaskL::InitUnit();
    TCErrorMsg *msg = U_Error::VGErrorMsg();
    QVERIFY(msg);
    QVERIFY(msg->initialised());
    QVERIFY(!msg->linked());
    QCOMPARE(msg->itemSize(), quint16(2060));
    QCOMPARE(msg->kind(), quint8(2));
    QCOMPARE(msg->count(), quint16(100));
    QCOMPARE(msg->name(), QStringLiteral("U_ERROR.PAS"));
    QCOMPARE(msg->buffer().byteSize(), 0); // an emitter owns no buffer
    QVERIFY(!U_Error::FSendReport(TErrorContext()));
    QVERIFY(!U_msg::VGMsgServer());
    QVERIFY(U_msg::VGTaskList() && U_msg::VGTaskList()->ready());
    QVERIFY(U_TaskL::VGTask() && U_TaskL::VGTask()->ready());
    QCOMPARE(U_TaskL::context().Category, quint8(0));
    QCOMPARE(U_TaskL::VGTask()->context().ObjClass, QStringLiteral("TCTaskList"));
    QVERIFY(scope.prompts.records().isEmpty());

    TCGestMsg receiver;
    receiver.PInitGest(false, false, QStringLiteral("R"), 4, TCGestMsg::Receiver, 1);
    QCOMPARE(receiver.buffer().byteSize(), 4 * 2000);
    receiver.PInitGest(false, false, QStringLiteral("again"), 8, TCGestMsg::Receiver, 1);
    QCOMPARE(receiver.name(), QStringLiteral("R"));
}

void TestErrors::taskListReadsProc()
{
    TCTaskList list;
    list.FInit(false, false, 1);
    QVERIFY(list.FRefresh());
    QFile comm(QStringLiteral("/proc/self/comm"));
    QVERIFY(comm.open(QIODevice::ReadOnly));
    const QString self = QString::fromLocal8Bit(comm.readAll()).trimmed();
    const QList<quint32> threads = list.FThreadsOf(self.toUpper());
    QVERIFY(threads.contains(quint32(QCoreApplication::applicationPid())));
}

KIV_TEST(TestErrors)
#include "tst_errors.moc"
