#include "TestSupport.h"
#include "TestRegistry.h"

#include "config/Globale.h"
#include "project/PrjList.h"

#include <QAction>

class TestPrjList : public QObject {
    Q_OBJECT
private slots:
    void firstStartWithDefaults();
    void oldestDroppedAndDuplicates();
    void initChecksAndEmptyCount();
};

namespace {
struct Places {
    Platform::String255 entries[3]{};
    qint32 count = 3;
};
} // namespace

void TestPrjList::firstStartWithDefaults()
{
    Places p;
    p.entries[0].set(QStringLiteral("/kiv/Kivhelp/Kivhelp.prj"));
    TCPrjList list;
    QAction a1, a2, a3;
    QCOMPARE(list.FInit(false, false, &p.count, p.entries, 3, 1).Category, quint8(0));
    list.PSetMenuItem(0, &a1);
    list.PSetMenuItem(1, &a2);
    list.PSetMenuItem(2, &a3);
    list.PUpDate();
    QCOMPARE(list.entries(), QStringList{"/kiv/Kivhelp/Kivhelp.prj"});
    QCOMPARE(p.count, 1);
    QCOMPARE(a1.text(), QStringLiteral("/kiv/Kivhelp/Kivhelp.prj"));
    QVERIFY(a2.text().isEmpty() && a3.text().isEmpty());
}

void TestPrjList::oldestDroppedAndDuplicates()
{
    Places p;
    p.count = 0;
    TCPrjList list;
    list.FInit(false, false, &p.count, p.entries, 3, 1);
    QAction items[3];
    for (int i = 0; i < 3; ++i)
        list.PSetMenuItem(i, &items[i]);
    QCOMPARE(list.Add("/p/A & B.PRJ"), 0);
    QCOMPARE(list.Add("/p/b.PRJ"), 1);
    QCOMPARE(list.Add("/p/c.PRJ"), 2);
    QCOMPARE(list.Add("/P/B.prj"), 0); // already there, in another case
    QCOMPARE(list.context().Msg, QStringLiteral("S = /P/B.prj"));
    QCOMPARE(list.Add(" "), 0);
    QCOMPARE(list.Add(""), 0);
    QCOMPARE(list.count(), 3);
    QCOMPARE(list.Add("/p/d.PRJ"), 2);
    QCOMPARE(list.entries(), QStringList({"/p/b.PRJ", "/p/c.PRJ", "/p/d.PRJ"}));
    QCOMPARE(p.entries[0].get(), QStringLiteral("/p/b.PRJ"));
    QCOMPARE(p.entries[2].get(), QStringLiteral("/p/d.PRJ"));
    QCOMPARE(p.count, 3);
    QCOMPARE(items[0].text(), QStringLiteral("/p/b.PRJ"));
    QCOMPARE(items[2].text(), QStringLiteral("/p/d.PRJ"));

    // A caption shows '&' as it is, and gives the entry back whole.
    TCPrjList other;
    Places q;
    q.count = 1;
    q.entries[0].set("/p/A & B.PRJ");
    QAction item;
    other.FInit(false, false, &q.count, q.entries, 3, 1);
    other.PSetMenuItem(0, &item);
    other.PUpDate();
    QCOMPARE(item.text(), QStringLiteral("/p/A && B.PRJ"));
    QCOMPARE(TCPrjList::FEntryOf(&item), QStringLiteral("/p/A & B.PRJ"));
}

void TestPrjList::initChecksAndEmptyCount()
{
    Places p;
    TCPrjList list;
    QCOMPARE(list.FInit(false, false, &p.count, p.entries, 11, 1).Msg, QStringLiteral("NbMaxPrj"));
    QCOMPARE(list.FInit(false, false, &p.count, nullptr, 3, 1).Msg, QStringLiteral("PPrjList2Update"));
    QCOMPARE(list.FInit(false, false, nullptr, p.entries, 3, 1).Msg, QStringLiteral("PPrjCnt2Update"));
    QCOMPARE(list.context().Code, quint16(5));

    // Duplicate places in the settings: each place is read in turn.
    p.entries[0].set("/a");
    p.entries[1].set("/A");
    p.entries[2].set("/b");
    QCOMPARE(list.FInit(false, false, &p.count, p.entries, 3, 1).Category, quint8(0));
    QCOMPARE(list.entries(), QStringList({"/a", "/b"}));
    QCOMPARE(p.count, 2);

    Places none;
    none.count = 0;
    none.entries[0].set("/x");
    list.FInit(false, false, &none.count, none.entries, 3, 1);
    QCOMPARE(list.count(), 0);
}

KIV_TEST(TestPrjList)
#include "tst_prjlist.moc"
