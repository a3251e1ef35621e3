#include "TestSupport.h"
#include "TestRegistry.h"

#include "compiler/hlp/HlpStructure.h"
#include "compiler/hlp/HlpEncode.h"
#include "compiler/hlp/HlpLz77.h"

#include <QRandomGenerator>
#include <algorithm>
#include <limits>

namespace {

QByteArray hashKeyBytes(qint32 h)
{
    QByteArray k;
    Hlp::putU32(k, quint32(h));
    return k;
}

} // namespace

class TestEncoding : public QObject {
    Q_OBJECT
private slots:
    void compressedIntegers();
    void contextHashes();
    void treesOfOneTwoThreeLevels_data();
    void treesOfOneTwoThreeLevels();
    void signedHashOrder();
    void container();
    void lz77RoundTrip();
};

void TestEncoding::compressedIntegers()
{
    QCOMPARE(Hlp::cUS(5).toHex(), QByteArray("0a"));
    QCOMPARE(Hlp::cUS(200).toHex(), QByteArray("9101"));
    QCOMPARE(Hlp::cSS(6).toHex(), QByteArray("8c"));
    QCOMPARE(Hlp::cSS(-100).toHex(), QByteArray("397f"));
    QCOMPARE(Hlp::cUL(96).toHex(), QByteArray("c000"));
    QCOMPARE(Hlp::cUL(32768).toHex(), QByteArray("01000100"));
    QCOMPARE(Hlp::cSL(4).toHex(), QByteArray("0880"));
    QCOMPARE(Hlp::cSL(16384).toHex(), QByteArray("01800080"));
    for (int v : {0, 1, 126, 127, 128, 129, 32767}) {
        qsizetype at = 0;
        QCOMPARE(int(HlpRead::cUS(Hlp::cUS(quint16(v)), at)), v);
        QCOMPARE(at, v < 128 ? 1 : 2);
    }
    for (int v : {-16384, -65, -64, -1, 0, 63, 64, 16383}) {
        qsizetype at = 0;
        QCOMPARE(int(HlpRead::cSS(Hlp::cSS(qint16(v)), at)), v);
        QCOMPARE(at, (v >= -64 && v < 64) ? 1 : 2);
    }
    for (quint32 v : {0u, 32767u, 32768u, 1000000u, 0x3FFFFFFFu}) {
        qsizetype at = 0;
        QCOMPARE(HlpRead::cUL(Hlp::cUL(v), at), v);
    }
    for (qint32 v : {-16384, -1, 0, 16383, 16384, 1000000}) {
        qsizetype at = 0;
        QCOMPARE(HlpRead::cSL(Hlp::cSL(v), at), v);
        QCOMPARE(at, (v >= -16384 && v < 16384) ? 2 : 4);
    }
}

void TestEncoding::contextHashes()
{
    QCOMPARE(Hlp::contextHash("a"), 17);
    QCOMPARE(Hlp::contextHash("ab"), 749);
    QCOMPARE(Hlp::contextHash("Z1"), 1807);
    QCOMPARE(quint32(Hlp::contextHash("second")), 0x370E6D04u);
    QCOMPARE(quint32(Hlp::contextHash("main_topic")), 0x028A5CBFu);
    QCOMPARE(quint32(Hlp::contextHash("IDH_CONTENTS")), 0x68310BEEu);
    QCOMPARE(Hlp::contextHash("ZZZZZZZZZZZZ"), -1298638064);
    QCOMPARE(Hlp::contextHash("Main_Topic"), Hlp::contextHash("main_topic"));
    QVERIFY(Hlp::isValidContext("Mode_d.emploi_2"));
    QVERIFY(!Hlp::isValidContext(""));
    QVERIFY(!Hlp::isValidContext("a b"));
    QVERIFY(!Hlp::isValidContext("d'emploi"));
}

void TestEncoding::treesOfOneTwoThreeLevels_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("levels");
    QTest::newRow("one leaf") << 3 << 1;
    QTest::newRow("empty") << 0 << 1;
    QTest::newRow("two levels") << 300 << 2;
    QTest::newRow("three levels") << 30000 << 3;
}

void TestEncoding::treesOfOneTwoThreeLevels()
{
    QFETCH(int, count);
    QFETCH(int, levels);
    // Directory-like trees (1024-byte pages, string keys, 4-byte data).
    QList<Hlp::TTreeEntry> entries;
    for (int i = 0; i < count; ++i) {
        QByteArray key = "|file" + QByteArray::number(i).rightJustified(6, '0');
        key.append('\0');
        QByteArray data;
        Hlp::putU32(data, quint32(i));
        entries.append({key, data});
    }
    QByteArray bytes;
    QVERIFY(Hlp::buildBTree(Hlp::DirectoryTree, entries, &bytes));
    HlpRead::Tree tree;
    QVERIFY(tree.parse(bytes));
    QCOMPARE(int(tree.levels), levels);
    QCOMPARE(int(tree.entries), count);
    QCOMPARE(tree.structure, QByteArray("z4"));
    QCOMPARE(bytes.size(), 38 + int(tree.totalPages) * 1024);
    bool chainOk = false;
    const auto all = HlpRead::walkLeaves(tree, HlpRead::stringKey(), 4, &chainOk);
    QVERIFY(chainOk);
    QCOMPARE(all.size(), count);
    for (int i = 0; i < count; i += qMax(1, count / 500)) {
        const QByteArray name = "|file" + QByteArray::number(i).rightJustified(6, '0');
        const auto found = HlpRead::search(tree, HlpRead::stringKey(), name, 4);
        QVERIFY2(found, name.constData());
        QCOMPARE(HlpRead::u32(*found, 0), quint32(i));
    }
    QVERIFY(!HlpRead::search(tree, HlpRead::stringKey(), "|absent", 4));
    QVERIFY(!HlpRead::search(tree, HlpRead::stringKey(), "|file999999x", 4));
}

void TestEncoding::signedHashOrder()
{
    // Context trees sort hashes as signed numbers: negative ones first.
    QList<qint32> hashes;
    QRandomGenerator rng(43);
    for (int i = 0; i < 5000; ++i)
        hashes.append(qint32(rng.generate()));
    hashes.append(std::numeric_limits<qint32>::min());
    hashes.append(-1);
    hashes.append(0);
    std::sort(hashes.begin(), hashes.end());
    hashes.erase(std::unique(hashes.begin(), hashes.end()), hashes.end());
    QList<Hlp::TTreeEntry> entries;
    for (qint32 h : hashes) {
        QByteArray data;
        Hlp::putU32(data, quint32(h) ^ 0x5A5A5A5A);
        entries.append({hashKeyBytes(h), data});
    }
    QByteArray bytes;
    QVERIFY(Hlp::buildBTree(Hlp::ContextTree, entries, &bytes));
    HlpRead::Tree tree;
    QVERIFY(tree.parse(bytes));
    QCOMPARE(int(tree.levels), 2);
    for (qint32 h : hashes) {
        const auto found = HlpRead::search(tree, HlpRead::hashKey(), hashKeyBytes(h), 4);
        QVERIFY(found);
        QCOMPARE(HlpRead::u32(*found, 0), quint32(h) ^ 0x5A5A5A5A);
    }
    qint32 absent = 1;
    while (std::binary_search(hashes.begin(), hashes.end(), absent))
        ++absent;
    QVERIFY(!HlpRead::search(tree, HlpRead::hashKey(), hashKeyBytes(absent), 4));
}

void TestEncoding::container()
{
    Hlp::TContainer c;
    c.addFile("|TOPIC", QByteArray(5000, 't'));
    c.addFile("|SYSTEM", "system");
    c.addFile("|CONTEXT", "context");
    c.addFile("|bm0", "picture");
    c.addFile("|FONT", "");
    const QByteArray bytes = c.build();
    HlpRead::Container read;
    QVERIFY2(read.parse(bytes), qPrintable(read.error));
    QCOMPARE(read.internalFile("|SYSTEM"), std::optional<QByteArray>("system"));
    QCOMPARE(read.internalFile("|TOPIC")->size(), 5000);
    QCOMPARE(read.internalFile("|bm0"), std::optional<QByteArray>("picture"));
    QCOMPARE(read.internalFile("|FONT"), std::optional<QByteArray>(QByteArray()));
    QVERIFY(!read.internalFile("|KWBTREE"));
    // Byte order: capitals before small letters.
    const auto names = HlpRead::walkLeaves(read.directory, HlpRead::stringKey(), 4);
    QCOMPARE(names.first().first, QByteArray("|CONTEXT", 9));
    QCOMPARE(names.last().first, QByteArray("|bm0", 5));
}

void TestEncoding::lz77RoundTrip()
{
    // Copies at the window's far end, overlapping copies (runs), bytes that
    // never repeat, and a tail shorter than a copy.
    QRandomGenerator rng(3);
    QByteArray noise(5000, '\0');
    for (char &c : noise)
        c = char(rng.bounded(256));
    const QByteArray inputs[] = {QByteArray(), QByteArray("ab"), QByteArray(100000, 'z'), noise,
                                 noise.left(4096) + noise.left(40) + "xy", QByteArray("abcabcabcabcabcd").repeated(300)};
    for (const QByteArray &in : inputs) {
        const QByteArray packed = Hlp::lz77Compress(in);
        QCOMPARE(HlpRead::lz77Expand(packed), in);
        if (in.size() == 100000)
            QVERIFY(packed.size() < in.size() / 7); // 18 bytes per 2-byte copy
    }
}

KIV_TEST(TestEncoding)
#include "tst_encoding.moc"
