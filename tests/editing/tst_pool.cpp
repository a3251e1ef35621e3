#include "TestSupport.h"
#include "TestRegistry.h"

#include "editing/REditServ.h"
#include "editing/TextConv.h"

#include <QWidget>

using namespace TextConv;

static const QStringList kFonts = {QStringLiteral("DejaVu Sans"), QStringLiteral("DejaVu Serif")};

class TestPool : public QObject {
    Q_OBJECT
private slots:
    void initChecks();
    void slotsFillInOrder();
    void timerAfterStopAndGet();
    void zeroSlotsAndFailedInit();
    void controlState();
    void textConversions();
};

void TestPool::initChecks()
{
    QWidget panel;
    struct Case {
        int fast, slow, max, count;
        bool fonts, owner, parent;
        quint8 category;
        quint16 code;
        const char *msg;
    };
    const Case cases[] = {
        {1000, 2000, 45000, 101, true, true, true, 6, 3, "NbREdit = 101"},
        {1000, 2000, 64001, 60, true, true, true, 6, 3, "MaxLength = 64001"},
        {1000, 2000, -1, 60, true, true, true, 6, 3, "MaxLength = -1"},
        {1000, 0, 45000, 60, true, true, true, 6, 3, "TimeSlow = 0"},
        {0, 2000, 45000, 60, true, true, true, 6, 3, "TimeFast = 0"},
        {1000, 2000, 45000, 60, false, true, true, 6, 5, "WFntList"},
        {1000, 2000, 45000, 60, true, false, true, 6, 5, "Owner"},
        {1000, 2000, 45000, 60, true, true, false, 6, 5, "Parent"},
        {1000, 2000, 64000, 100, true, true, true, 0, 0, ""},
    };
    for (const Case &c : cases) {
        TCREditServer pool;
        const TErrorContext &ctx = pool.FInit(false, false, 1, c.parent ? &panel : nullptr,
                                              c.owner ? &panel : nullptr, c.fonts ? &kFonts : nullptr,
                                              c.fast, c.slow, c.max, c.count);
        QCOMPARE(ctx.Category, c.category);
        QCOMPARE(ctx.Code, c.code);
        QCOMPARE(ctx.Msg, QString::fromLatin1(c.msg));
        QCOMPARE(pool.initialised(), c.category == 0);
        QCOMPARE(ctx.ObjClass, QStringLiteral("TCREditServer"));
    }
}

void TestPool::slotsFillInOrder()
{
    QWidget panel;
    TCREditServer pool;
    pool.FInit(false, false, 1, &panel, &panel, &kFonts, 1000, 2000, 45000, 3);
    QVERIFY(!pool.timer()->isActive());
    QCOMPARE(pool.timer()->interval(), 2000);
    pool.FFast();
    QVERIFY(pool.timer()->isActive());
    QCOMPARE(pool.timer()->interval(), 1000);
    for (int tick = 0; tick < 3; ++tick) {
        pool.PFillTick(); // one control per tick, lowest slot first
        for (int i = 0; i < 3; ++i)
            QCOMPARE(pool.slot(i) != nullptr, i <= tick);
    }
    TRichEdit *s0 = pool.slot(0), *s1 = pool.slot(1);
    pool.PFillTick(); // full: nothing changes
    QCOMPARE(panel.findChildren<TRichEdit *>().size(), 3);

    TRichEdit *got = nullptr;
    QCOMPARE(pool.FGet(got).Category, quint8(0));
    QCOMPARE(got, s0);
    QVERIFY(!pool.slot(0));
    pool.FGet(got);
    QCOMPARE(got, s1);
    pool.PFillTick(); // refills the lowest empty slot
    QVERIFY(pool.slot(0) && !pool.slot(1));
}

void TestPool::timerAfterStopAndGet()
{
    QWidget panel;
    TCREditServer pool;
    pool.FInit(false, false, 1, &panel, &panel, &kFonts, 500, 2000, 45000, 2);
    pool.FFast();
    pool.FStop();
    QVERIFY(!pool.timer()->isActive());
    TRichEdit *got = nullptr;
    pool.FGet(got); // empty pool: built on the spot
    QVERIFY(got);
    QVERIFY(pool.timer()->isActive());
    QCOMPARE(pool.timer()->interval(), 500);
    // The real timer fills the slots while the event loop runs.
    QTRY_VERIFY_WITH_TIMEOUT(pool.slot(1) != nullptr, 5000);
}

void TestPool::zeroSlotsAndFailedInit()
{
    QWidget panel;
    TCREditServer pool;
    pool.FInit(false, false, 1, &panel, &panel, &kFonts, 1000, 2000, 45000, 0);
    pool.PFillTick();
    QCOMPARE(panel.findChildren<TRichEdit *>().size(), 0);
    TRichEdit *got = nullptr;
    QCOMPARE(pool.FGet(got).Category, quint8(0));
    QVERIFY(got);

    // A pool whose start-up failed still hands out controls, and touches no timer.
    TCREditServer broken;
    broken.FInit(false, false, 1, &panel, &panel, &kFonts, 1000, 2000, 45000, 101);
    got = nullptr;
    QCOMPARE(broken.FGet(got).Category, quint8(0));
    QVERIFY(got);
    QCOMPARE(broken.FFast().Category, quint8(3));
    QCOMPARE(broken.FStop().Category, quint8(0));
    QVERIFY(!broken.timer());
}

void TestPool::controlState()
{
    QWidget panel;
    TRichEdit *edit = nullptr;
    QVERIFY(U_REditServ::FCreateRichEdit(edit, 1234, &kFonts, &panel, &panel));
    QVERIFY(edit->isHidden());
    QCOMPARE(edit->parentWidget(), &panel);
    QVERIFY(edit->toPlainText().isEmpty());
    QCOMPARE(edit->document()->defaultFont().family(), kFonts.first());
    QCOMPARE(edit->currentCharFormat().fontPointSize(), 13.0);
    QVERIFY(edit->currentCharFormat().fontWeight() < QFont::DemiBold);
    QVERIFY(!edit->currentCharFormat().fontItalic() && !edit->currentCharFormat().fontUnderline());
    QCOMPARE(edit->maxLength(), 1234);
    QVERIFY(!edit->tabChangesFocus());
    QCOMPARE(edit->lineWrapMode(), QTextEdit::WidgetWidth);
    QCOMPARE(edit->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    // A full control takes no more typing.
    edit->setMaxLength(3);
    edit->show();
    QTest::keyClicks(edit, "abcdef");
    QCOMPARE(edit->toPlainText(), QStringLiteral("abc"));
}

void TestPool::textConversions()
{
    QCOMPARE(FCleanTopicName(QString::fromUtf8("Aide (générale)")), QString::fromUtf8("Aide  générale "));
    QCOMPARE(FCleanTopicName(QString::fromUtf8("a°\\{}¨£µ§¤/:*?\"<>|+=()[],@#-!;_z")),
             QStringLiteral("a                             _z"));
    // The context the compiler keeps, so that it has nothing to say of it;
    // earlier versions' spelling still labels markers.
    QCOMPARE(FContextName(QStringLiteral("Mode d'emploi")), QStringLiteral("Mode_demploi"));
    QCOMPARE(FContextName(QString::fromUtf8("Réglages généraux (Été)")), QStringLiteral("Reglages_generaux_Ete"));
    QCOMPARE(FLegacyContextName(QStringLiteral("Mode d'emploi")), QStringLiteral("Mode_d\\'emploi"));
    QCOMPARE(FDoubleBackslash(QStringLiteral("C:\\Outils\\prog.exe"), Quadruple),
             QStringLiteral("C:\\\\\\\\Outils\\\\\\\\prog.exe"));
    QCOMPARE(FDoubleBackslash(QStringLiteral("a\\b"), Single), QStringLiteral("a\\\\b"));
    QCOMPARE(FRtfEscape(QString::fromUtf8("été {x} \\ °¨ ñ")),
             QStringLiteral("\\'e9t\\'e9 \\{x\\} \\\\ \\'b0\\'a8 ") + QString::fromUtf8("ñ"));
    QCOMPARE(FRtfEscape(QString(300, u'a')).size(), 255);
    QString s = QStringLiteral("voir aussi\r\n");
    QVERIFY(FStripLineEnd(s));
    QCOMPARE(s, QStringLiteral("voir aussi"));
    QVERIFY(!FStripLineEnd(s));
}

KIV_TEST(TestPool)
#include "tst_pool.moc"
