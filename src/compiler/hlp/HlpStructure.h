#pragma once
// The low level of reading .HLP files, from the format reference alone
// (not from the writer's code, which the tests check with it): the
// container, B+ trees searched the way the viewer does, compressed
// integers, LZ77 and both phrase compressions, the |TOPIC records walked
// along their links. Any input is read without reading out of bounds or
// looping: a damaged part reads as zeros or ends the walk.
#include <QByteArray>
#include <QList>
#include <QMap>
#include <functional>
#include <optional>

namespace HlpRead {

quint16 u16(const QByteArray &b, qsizetype at);
quint32 u32(const QByteArray &b, qsizetype at);

// Compressed integers; `at` moves past the value.
quint16 cUS(const QByteArray &b, qsizetype &at);
qint16 cSS(const QByteArray &b, qsizetype &at);
quint32 cUL(const QByteArray &b, qsizetype &at);
qint32 cSL(const QByteArray &b, qsizetype &at);

// Expands LZ77-compressed bytes.
QByteArray lz77Expand(const QByteArray &in);

struct Tree {
    QByteArray bytes; // header and pages
    quint16 pageSize = 0, rootPage = 0, totalPages = 0, levels = 0;
    quint32 entries = 0;
    QByteArray structure;
    bool parse(const QByteArray &internalFileContent);
    QByteArray page(int n) const { return bytes.mid(38 + qsizetype(n) * pageSize, pageSize); }
};

// Key readers: the length of a key at an offset and a comparison with the
// wanted key (negative, zero, positive).
struct KeyType {
    std::function<qsizetype(const QByteArray &, qsizetype)> length;
    std::function<int(const QByteArray &key, const QByteArray &wanted)> compare;
};
KeyType stringKey();
KeyType hashKey();

// The viewer's search: down the index pages, taking the last entry not
// greater than the key; then along the leaf, stopping at the first greater
// key. Returns the data bytes after the key (`dataLength` of them).
std::optional<QByteArray> search(const Tree &tree, const KeyType &type, const QByteArray &wanted, int dataLength);
// Every leaf entry in chain order (key, data).
QList<QPair<QByteArray, QByteArray>> walkLeaves(const Tree &tree, const KeyType &type, int dataLength,
                                                bool *chainOk = nullptr);

struct Container {
    QByteArray file;
    Tree directory;
    QString error;
    bool parse(const QByteArray &bytes);
    // The content of an internal file, found as the viewer finds it.
    std::optional<QByteArray> internalFile(const QByteArray &name) const;
};

// The |TOPIC data as one stream, block headers removed and compressed
// blocks expanded, walked along the records' links as the viewer walks it.
struct TopicFile {
    QList<qsizetype> blockStart, blockLength;
    QByteArray flat;
    QList<QByteArray> phrases; // when given, walk() gives texts expanded
    bool oldStyle = false;     // the phrases are |Phrases' (3.1), not Hall's
    TopicFile(const QByteArray &file, bool compressed);
    // The |TOPIC of a help file, with its LZ77 flag and Hall phrases.
    static TopicFile of(const struct Container &hlp);
    QByteArray data(quint32 pos, qsizetype length) const;
    qint64 flatAt(quint32 pos) const; // where a position lies in the expanded blocks
    struct Record {
        quint32 pos;
        quint8 type;
        quint32 prev, next;
        QByteArray ld1, ld2;  // ld2 as stored (coded with phrases when textLength is larger)
        quint32 textLength;   // DataLen2: the length of the text once expanded
        quint32 offset; // TOPICOFFSET computed the viewer's way
    };
    QList<Record> walk() const;
};

// Each topic of a help file as the viewer reads it: its title, its text
// (the pieces of its records joined, blanks made single) and the hashes
// of the contexts that lead to it (|CONTEXT).
struct TopicText {
    QByteArray title, text;
    QList<qint32> hashes;
};
QList<TopicText> topicTexts(const Container &hlp);

// Hall phrase compression: the phrases from |PhrIndex and |PhrImage, and
// a record's text expanded with them. `error` says what did not hold
// (a phrase number out of range, a text that does not expand to `length`).
QList<QByteArray> hallPhrases(const QByteArray &index, const QByteArray &image);
// The older |Phrases file's phrases, and a text coded with them.
QList<QByteArray> oldPhrases(const QByteArray &file);
QByteArray oldExpand(const QByteArray &coded, const QList<QByteArray> &phrases, qsizetype length);
QByteArray hallExpand(const QByteArray &coded, const QList<QByteArray> &phrases, qsizetype length, QString *error);

} // namespace HlpRead
