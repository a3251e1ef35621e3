// The |TOPIC internal file of a .HLP: topic blocks, records and browse links.
#include "compiler/hlp/HlpTopic.h"

#include "compiler/hlp/HlpEncode.h"
#include "compiler/hlp/HlpLz77.h"
#include "compiler/hlp/HlpPhrases.h"

#include <QHash>

#include <algorithm>
#include <optional>
#include <vector>

namespace Hlp {

namespace {
constexpr quint32 None = 0xFFFFFFFF;
constexpr int LinkHeader = 21;
constexpr int TopicHeaderData = 28;
constexpr qint64 BlockStride = 0x4000; // a block's share of the TOPICPOS space
constexpr int MaxExpanded = 0x4000;    // bytes a compressed block may expand to

// The address of a record given as block * 0x4000 + offset in the block's data.
quint32 posOf(qint64 start) { return quint32(start + 12); }

// LZ77-compresses the record stream into 4096-byte blocks. Each block's
// data expands to at most 16 KiB and fills its 4084 bytes exactly, so
// records run on from one block's data into the next; a record whose
// 21-byte header might not fit in what is left starts in the next block
// (the rest is zeros, which expand to zeros that no link points at).
// Link fields are not known yet: their bytes (`linkBytes`) are always
// stored as literals and never copied, so they can be patched afterwards.
class TLz77Blocks {
public:
    TLz77Blocks(const QByteArray &plain, const std::vector<char> &linkBytes)
        : m_in(plain), m_link(linkBytes), m_matcher(plain, &linkBytes)
    {
    }

    // Compresses the record that occupies [from, to) of the stream and
    // returns where it starts (block * 0x4000 + offset).
    qint64 addRecord(qsizetype from, qsizetype to)
    {
        if (m_used > 0 && TopicBlockData - m_used < 24)
            closeBlock();
        const qint64 start = m_block * BlockStride + (m_blockFrom < 0 ? 0 : from - m_blockFrom);
        for (qsizetype p = from; p < to;)
            p += step(p, to);
        return start;
    }

    // The blocks; `patches` pairs each link byte of the stream with the
    // byte of the output that holds it.
    QByteArray finish()
    {
        if (m_blockFrom < 0 && m_block > 0)
            --m_block; // the last block was closed with nothing after it
        m_out.resize((m_block + 1) * TopicBlockSize, '\0');
        return m_out;
    }
    const QList<QPair<qsizetype, qsizetype>> &patches() const { return m_patches; }

private:
    void closeBlock()
    {
        // The unused bytes stay zero: literal zeros, fewer than the
        // expansion room left (see step()).
        ++m_block;
        m_used = 0;
        m_flag = -1;
        m_items = 8;
        m_blockFrom = -1; // set by the next byte
    }
    qsizetype dataAt(qsizetype used) const { return m_block * TopicBlockSize + 12 + used; }

    // Stores one literal or one copy starting at p; returns the bytes it covers.
    qsizetype step(qsizetype p, qsizetype end)
    {
        if (m_blockFrom < 0) {
            m_blockFrom = p;
            m_out.resize((m_block + 1) * TopicBlockSize, '\0');
        }
        const int room = TopicBlockData - m_used;
        const int expandRoom = MaxExpanded - int(p - m_blockFrom);
        const int groupCost = m_items == 8 ? 1 : 0;
        // Best copy among the earlier bytes of this block.
        TLz77Matcher::Match best;
        if (room >= 2 + groupCost) {
            best = m_matcher.longest(p, int(std::min<qsizetype>(end - p, expandRoom)), m_blockFrom);
            // The room left must stay no larger than the expansion left,
            // so that zeros can always fill the block.
            if (best.length && expandRoom - best.length < room - 2 - groupCost)
                best = {};
        }
        if (room < 1 + groupCost) { // only a flag byte fits: the block is full
            closeBlock();
            return 0;
        }
        if (m_items == 8) {
            m_flag = dataAt(m_used++);
            m_items = 0;
        }
        qsizetype covered = 1;
        if (best.length) {
            const quint16 code = lz77Code(p - best.from, best.length);
            m_out[m_flag] = char(quint8(m_out[m_flag]) | (1 << m_items));
            m_out[dataAt(m_used)] = char(code & 0xFF);
            m_out[dataAt(m_used + 1)] = char(code >> 8);
            m_used += 2;
            covered = best.length;
        } else {
            if (m_link[size_t(p)])
                m_patches.append({p, dataAt(m_used)});
            m_out[dataAt(m_used++)] = m_in[p];
        }
        ++m_items;
        for (qsizetype i = 0; i < covered; ++i)
            m_matcher.remember(p + i);
        if (m_used == TopicBlockData)
            closeBlock();
        return covered;
    }

    const QByteArray &m_in;
    const std::vector<char> &m_link;
    TLz77Matcher m_matcher;
    QByteArray m_out;
    QList<QPair<qsizetype, qsizetype>> m_patches;
    qint64 m_block = 0;
    int m_used = 0;          // bytes of this block's data written
    qsizetype m_flag = -1;   // where the current flag byte is
    int m_items = 8;         // items under the current flag byte
    qsizetype m_blockFrom = -1; // stream offset of this block's first byte
};

} // namespace

QByteArray textLinkData1(const QByteArray &paragraph, quint16 topicLength)
{
    const QByteArray length = cUS(topicLength);
    return cSL(qint32(paragraph.size())) + length + paragraph;
}

int TTopicWriter::beginTopic(const QByteArray &title, const QList<QByteArray> &entryMacros)
{
    Record r;
    r.type = 0x02;
    r.ld2 = title;
    for (const QByteArray &macro : entryMacros) {
        r.ld2.append('\0');
        r.ld2 += macro;
    }
    r.topic = m_topicCount++;
    m_records.append(r);
    return r.topic;
}

void TTopicWriter::addText(const QByteArray &paragraph, const QByteArray &text, quint16 topicLength, bool nonScrolling,
                           bool table)
{
    Record r;
    r.type = table ? 0x23 : 0x20;
    r.ld1 = textLinkData1(paragraph, topicLength);
    r.ld2 = text;
    r.topicLength = topicLength;
    r.topic = m_topicCount - 1;
    r.nonScrolling = nonScrolling;
    m_records.append(r);
}

void TTopicWriter::linkBrowse(int previous, int next) { m_browse.append({previous, next}); }

QList<QByteArray> TTopicWriter::texts() const
{
    QList<QByteArray> out;
    for (const Record &r : m_records)
        out.append(r.ld2);
    return out;
}

QByteArray TTopicWriter::build(bool compressed, const THallPhrases *phrases)
{
    // The closing topic header that every compiler writes.
    Record terminator;
    terminator.type = 0x02;
    terminator.topic = m_topicCount;
    QList<Record> records = m_records;
    records.append(terminator);
    const qsizetype count = records.size();

    // The records end to end. The link fields (previous and next record,
    // the topic header's offsets) are zero until the layout is known.
    QByteArray plain;
    QList<qsizetype> from(count + 1);
    for (qsizetype i = 0; i < count; ++i) {
        const Record &r = records[i];
        from[i] = plain.size();
        const int ld1Size = r.type == 0x02 ? TopicHeaderData : int(r.ld1.size());
        // Coded text is kept only when shorter: the reader knows it by a
        // text length (the expanded one) larger than what the record holds.
        QByteArray text = phrases ? phrases->encode(r.ld2) : r.ld2;
        if (text.size() >= r.ld2.size())
            text = r.ld2;
        putU32(plain, quint32(LinkHeader + ld1Size + text.size()));
        putU32(plain, quint32(r.ld2.size()));
        putU32(plain, 0);
        putU32(plain, 0);
        putU32(plain, quint32(LinkHeader + ld1Size));
        putU8(plain, r.type);
        plain += r.type == 0x02 ? QByteArray(TopicHeaderData, '\0') : r.ld1;
        plain += text;
    }
    from[count] = plain.size();
    std::vector<char> link(size_t(plain.size()), 0);
    for (qsizetype i = 0; i < count; ++i) {
        std::fill_n(link.begin() + from[i] + 8, 8, 1);
        if (records[i].type == 0x02)
            std::fill_n(link.begin() + from[i] + LinkHeader, TopicHeaderData, 1);
    }

    // Layout: where each record starts (block * 0x4000 + offset). Without
    // compression no record starts in a block's last 21 bytes.
    QList<qint64> start(count);
    std::optional<TLz77Blocks> lz;
    qint64 d = 0;
    if (compressed) {
        lz.emplace(plain, link);
        for (qsizetype i = 0; i < count; ++i)
            start[i] = lz->addRecord(from[i], from[i + 1]);
    } else {
        for (qsizetype i = 0; i < count; ++i) {
            if (TopicBlockData - d % TopicBlockData < LinkHeader)
                d += TopicBlockData - d % TopicBlockData;
            start[i] = (d / TopicBlockData) * BlockStride + d % TopicBlockData;
            d += from[i + 1] - from[i];
        }
    }
    QList<quint32> offsets(count);
    qint64 block = -1;
    quint32 n = 0;
    for (qsizetype i = 0; i < count; ++i) {
        if (start[i] / BlockStride != block) {
            block = start[i] / BlockStride;
            n = 0;
        }
        offsets[i] = quint32(block * 0x8000 + n);
        if (records[i].type != 0x02)
            n += records[i].topicLength;
    }

    // Topic headers: offsets, browse links, region starts, next header.
    m_topicOffsets.clear();
    QList<qsizetype> headerIndex;
    for (qsizetype i = 0; i < count; ++i)
        if (records[i].type == 0x02) {
            headerIndex.append(i);
            if (records[i].topic < m_topicCount)
                m_topicOffsets.append(offsets[i]);
        }
    QHash<int, quint32> back, forward;
    for (const auto &[prev, next] : m_browse) {
        forward[prev] = m_topicOffsets.value(next, None);
        back[next] = m_topicOffsets.value(prev, None);
    }
    for (qsizetype h = 0; h < headerIndex.size(); ++h) {
        const qsizetype at = headerIndex[h];
        const qsizetype end = h + 1 < headerIndex.size() ? headerIndex[h + 1] : count;
        quint32 size = 0, nonScroll = None, scroll = None;
        for (qsizetype i = at + 1; i < end; ++i) {
            size += quint32(from[i + 1] - from[i]);
            quint32 &slot = records[i].nonScrolling ? nonScroll : scroll;
            if (slot == None)
                slot = posOf(start[i]);
        }
        const int topic = records[at].topic;
        const bool last = topic >= m_topicCount;
        QByteArray ld1;
        putU32(ld1, last ? 0 : size);
        putU32(ld1, last ? None : back.value(topic, None));
        putU32(ld1, last ? None : forward.value(topic, None));
        putU32(ld1, quint32(topic));
        putU32(ld1, nonScroll);
        putU32(ld1, scroll);
        putU32(ld1, h + 1 < headerIndex.size() ? posOf(start[headerIndex[h + 1]]) : None);
        plain.replace(from[at] + LinkHeader, TopicHeaderData, ld1);
    }
    for (qsizetype i = 0; i < count; ++i) {
        QByteArray links;
        putU32(links, i == 0 ? None : posOf(start[i - 1]));
        putU32(links, i + 1 < count ? posOf(start[i + 1]) : None);
        plain.replace(from[i] + 8, 8, links);
    }

    // The blocks, then their headers.
    QByteArray out;
    if (compressed) {
        out = lz->finish();
        for (const auto &[p, o] : lz->patches())
            out[o] = plain[p];
    } else {
        const qint64 blocks = (d + TopicBlockData - 1) / TopicBlockData;
        QByteArray stream(blocks * TopicBlockData, '\0');
        for (qsizetype i = 0; i < count; ++i)
            stream.replace((start[i] / BlockStride) * TopicBlockData + start[i] % BlockStride, from[i + 1] - from[i],
                           plain.constData() + from[i], from[i + 1] - from[i]);
        out.reserve(blocks * TopicBlockSize);
        for (qint64 b = 0; b < blocks; ++b) {
            out += QByteArray(12, '\0');
            out += QByteArrayView(stream).sliced(b * TopicBlockData, TopicBlockData);
        }
    }
    qsizetype next = 0; // first record that starts in a later block
    quint32 lastBefore = None, lastHeaderBefore = 0;
    for (qint64 b = 0; b < out.size() / TopicBlockSize; ++b) {
        QByteArray header;
        putU32(header, b == 0 ? None : lastBefore);
        putU32(header, next < count && start[next] / BlockStride == b ? posOf(start[next]) : None);
        putU32(header, lastHeaderBefore);
        out.replace(b * TopicBlockSize, 12, header);
        for (; next < count && start[next] / BlockStride == b; ++next) {
            lastBefore = posOf(start[next]);
            if (records[next].type == 0x02)
                lastHeaderBefore = posOf(start[next]);
        }
    }
    return out;
}

} // namespace Hlp
