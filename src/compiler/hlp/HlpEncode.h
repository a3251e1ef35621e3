#pragma once
// Building blocks of the .HLP help file format: compressed integers, the
// context-string hash, B+ trees and the container of internal files.
#include <QByteArray>
#include <QList>
#include <QString>

namespace Hlp {

void putU8(QByteArray &out, quint8 v);
void putU16(QByteArray &out, quint16 v);
void putU32(QByteArray &out, quint32 v);
void putStringZ(QByteArray &out, const QByteArray &s);
// Little-endian numbers read back; 0 past the end of `b`.
quint16 le16(const QByteArray &b, qsizetype at);
quint32 le32(const QByteArray &b, qsizetype at);

// Compressed integers: a short form when the value fits, else a long form.
QByteArray cUS(quint16 v); // 0..127 in one byte, else two (v < 32768)
QByteArray cSS(qint16 v);  // -64..63 in one byte, else two
QByteArray cUL(quint32 v); // 0..32767 in two bytes, else four
QByteArray cSL(qint32 v);  // -16384..16383 in two bytes, else four

// The hash of a context string, as the viewer computes it. Only letters,
// digits, '.' and '_' are allowed in context strings.
qint32 contextHash(const QByteArray &context);
bool isValidContext(const QByteArray &context);

// A B+ tree's kind: page size, flags and structure string.
struct TBTreeKind {
    quint16 pageSize;
    quint16 flags;
    QByteArray structure;
};
inline const TBTreeKind DirectoryTree{1024, 0x0402, "z4"};
inline const TBTreeKind ContextTree{2048, 0x0002, "L4"};
inline const TBTreeKind TitleTree{2048, 0x0002, "Lz"};
inline const TBTreeKind KeywordTree{2048, 0x0002, "F24"};

// One leaf entry: the key bytes as stored (a NUL-ended string, or a
// number) and the data stored after it. Index entries repeat the key.
struct TTreeEntry {
    QByteArray key;
    QByteArray data;
};

// The tree (header and pages) for entries already in the reader's order.
// An entry larger than a page cannot be stored: false then.
// `leaves`, when given, receives for each leaf page its number and the
// index of its first entry.
bool buildBTree(const TBTreeKind &kind, const QList<TTreeEntry> &entries, QByteArray *tree,
                QList<QPair<int, int>> *leaves = nullptr);

// The whole file: header, internal files (in name order) each behind its
// 9-byte header, then the directory.
class TContainer {
public:
    void addFile(const QByteArray &name, const QByteArray &content);
    bool contains(const QByteArray &name) const;
    QByteArray build() const;

private:
    QList<QPair<QByteArray, QByteArray>> m_files;
};

// A context string as the help file stores it: accented letters become
// their base letter, other characters outside [A-Za-z0-9._] are dropped,
// and it is cut at MaxContext characters (the viewers' limit).
constexpr int MaxContext = 255;
QByteArray normalizeContext(const QByteArray &context);

} // namespace Hlp
