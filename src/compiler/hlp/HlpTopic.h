#pragma once
// The |TOPIC internal file: topic-header and text records laid out in
// 4096-byte blocks, with the two kinds of address the rest of the file
// refers to (TOPICPOS, a record's byte address, and TOPICOFFSET, a topic's
// logical position).
#include <QByteArray>
#include <QList>

namespace Hlp {

class THallPhrases;

constexpr int TopicBlockSize = 4096;
constexpr int TopicBlockData = 4096 - 12;

class TTopicWriter {
public:
    // Starts a topic; returns its number (0, 1, ...).
    int beginTopic(const QByteArray &title, const QList<QByteArray> &entryMacros = {});
    // A text record of the current topic: the paragraph part of LinkData1
    // (from the fixed bytes "00 80" to the final 0xFF), LinkData2, and the
    // characters it adds (LinkData2's length plus picture hotspots).
    // `table`: the record is a table row (0x23) rather than a paragraph.
    void addText(const QByteArray &paragraph, const QByteArray &text, quint16 topicLength, bool nonScrolling,
                 bool table = false);
    // Browse sequence: `next` follows `previous`.
    void linkBrowse(int previous, int next);

    // Lays the records out and returns the whole |TOPIC content, its
    // blocks LZ77-compressed if asked, the records' text coded with
    // `phrases` when given (where that makes it shorter).
    QByteArray build(bool compressed = false, const THallPhrases *phrases = nullptr);
    // The text of every record (titles with entry macros, paragraphs), as
    // the phrases are chosen from.
    QList<QByteArray> texts() const;
    // After build(): the TOPICOFFSET of each topic.
    quint32 topicOffset(int topic) const { return m_topicOffsets.value(topic); }
    int topicCount() const { return m_topicCount; }


private:
    struct Record {
        quint8 type;
        QByteArray ld1; // text records only
        QByteArray ld2;
        quint16 topicLength = 0;
        int topic = -1;
        bool nonScrolling = false;
    };
    QList<Record> m_records;
    QList<QPair<int, int>> m_browse;
    QList<quint32> m_topicOffsets;
    int m_topicCount = 0;
};

// LinkData1 of a text record: TopicSize and TopicLength in front of the
// paragraph part.
QByteArray textLinkData1(const QByteArray &paragraph, quint16 topicLength);

} // namespace Hlp
