#include "compiler/HlpTopic.h"

#include "compiler/HlpEncode.h"

#include <QHash>

namespace Hlp {

namespace {
constexpr quint32 None = 0xFFFFFFFF;
constexpr int LinkHeader = 21;
} // namespace

QByteArray textLinkData1(const QByteArray &paragraph, quint16 topicLength)
{
    const QByteArray length = cUS(topicLength);
    return cSL(qint32(paragraph.size())) + length + paragraph;
}

quint32 TTopicWriter::topicPos(qint64 dataOffset)
{
    return quint32((dataOffset / TopicBlockData) * 0x4000 + 12 + dataOffset % TopicBlockData);
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

void TTopicWriter::addText(const QByteArray &paragraph, const QByteArray &text, quint16 topicLength, bool nonScrolling)
{
    Record r;
    r.type = 0x20;
    r.ld1 = textLinkData1(paragraph, topicLength);
    r.ld2 = text;
    r.topicLength = topicLength;
    r.topic = m_topicCount - 1;
    r.nonScrolling = nonScrolling;
    m_records.append(r);
}

void TTopicWriter::linkBrowse(int previous, int next) { m_browse.append({previous, next}); }

QByteArray TTopicWriter::build()
{
    // The closing topic header that every compiler writes.
    Record terminator;
    terminator.type = 0x02;
    terminator.topic = m_topicCount;
    QList<Record> records = m_records;
    records.append(terminator);

    // Layout: where each record starts in the data stream (block headers
    // not counted); no record starts in a block's last 21 bytes.
    QList<qint64> start(records.size());
    QList<quint32> offsets(records.size());
    qint64 d = 0;
    qint64 block = -1;
    quint32 n = 0;
    for (qsizetype i = 0; i < records.size(); ++i) {
        const int ld1Size = records[i].type == 0x02 ? 28 : int(records[i].ld1.size());
        if (TopicBlockData - d % TopicBlockData < LinkHeader)
            d += TopicBlockData - d % TopicBlockData;
        start[i] = d;
        if (d / TopicBlockData != block) {
            block = d / TopicBlockData;
            n = 0;
        }
        offsets[i] = quint32(block * 0x8000 + n);
        if (records[i].type == 0x20)
            n += records[i].topicLength;
        d += LinkHeader + ld1Size + records[i].ld2.size();
    }
    const qint64 dataEnd = d;

    // Topic headers: offsets, browse links, region starts, next header.
    m_topicOffsets.clear();
    QList<qsizetype> headerIndex;
    for (qsizetype i = 0; i < records.size(); ++i)
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
        Record &r = records[headerIndex[h]];
        const qsizetype first = headerIndex[h] + 1;
        const qsizetype end = h + 1 < headerIndex.size() ? headerIndex[h + 1] : records.size();
        quint32 size = 0, nonScroll = None, scroll = None;
        for (qsizetype i = first; i < end; ++i) {
            size += quint32(LinkHeader + records[i].ld1.size() + records[i].ld2.size());
            quint32 &slot = records[i].nonScrolling ? nonScroll : scroll;
            if (slot == None)
                slot = topicPos(start[i]);
        }
        const bool last = r.topic >= m_topicCount;
        QByteArray ld1;
        putU32(ld1, last ? 0 : size);
        putU32(ld1, last ? None : back.value(r.topic, None));
        putU32(ld1, last ? None : forward.value(r.topic, None));
        putU32(ld1, quint32(r.topic));
        putU32(ld1, nonScroll);
        putU32(ld1, scroll);
        putU32(ld1, h + 1 < headerIndex.size() ? topicPos(start[headerIndex[h + 1]]) : None);
        r.ld1 = ld1;
    }

    // The stream: records with their links, cut into blocks.
    QByteArray stream;
    stream.reserve(dataEnd);
    for (qsizetype i = 0; i < records.size(); ++i) {
        stream.append(QByteArray(start[i] - stream.size(), '\0'));
        const Record &r = records[i];
        putU32(stream, quint32(LinkHeader + r.ld1.size() + r.ld2.size()));
        putU32(stream, quint32(r.ld2.size()));
        putU32(stream, i == 0 ? None : topicPos(start[i - 1]));
        putU32(stream, i + 1 < records.size() ? topicPos(start[i + 1]) : None);
        putU32(stream, quint32(LinkHeader + r.ld1.size()));
        putU8(stream, r.type);
        stream += r.ld1;
        stream += r.ld2;
    }
    const qint64 blocks = (stream.size() + TopicBlockData - 1) / TopicBlockData;
    stream.append(QByteArray(blocks * TopicBlockData - stream.size(), '\0'));

    QByteArray out;
    out.reserve(blocks * TopicBlockSize);
    qsizetype next = 0; // first record that starts in a later block
    quint32 lastBefore = None, lastHeaderBefore = 0;
    for (qint64 b = 0; b < blocks; ++b) {
        const qint64 from = b * TopicBlockData, to = from + TopicBlockData;
        putU32(out, b == 0 ? None : lastBefore);
        putU32(out, next < records.size() && start[next] < to ? topicPos(start[next]) : None);
        putU32(out, lastHeaderBefore);
        out += stream.mid(from, TopicBlockData);
        for (; next < records.size() && start[next] < to; ++next) {
            lastBefore = topicPos(start[next]);
            if (records[next].type == 0x02)
                lastHeaderBefore = topicPos(start[next]);
        }
    }
    return out;
}

} // namespace Hlp
