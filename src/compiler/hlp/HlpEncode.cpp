// Building blocks of the .HLP format: integers, context hashes, B+ trees, the
// container.
#include "compiler/hlp/HlpEncode.h"
#include "platform/Cp1252.h"

#include <QtEndian>

#include <algorithm>

namespace Hlp {

void putU8(QByteArray &out, quint8 v) { out.append(char(v)); }

void putU16(QByteArray &out, quint16 v)
{
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

void putU32(QByteArray &out, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

void putStringZ(QByteArray &out, const QByteArray &s)
{
    out.append(s);
    out.append('\0');
}

quint16 le16(const QByteArray &b, qsizetype at)
{
    return at >= 0 && at + 2 <= b.size() ? qFromLittleEndian<quint16>(b.constData() + at) : 0;
}

quint32 le32(const QByteArray &b, qsizetype at)
{
    return at >= 0 && at + 4 <= b.size() ? qFromLittleEndian<quint32>(b.constData() + at) : 0;
}

QByteArray cUS(quint16 v)
{
    QByteArray out;
    if (v < 128)
        putU8(out, quint8(v * 2));
    else
        putU16(out, quint16(v * 2 + 1));
    return out;
}

QByteArray cSS(qint16 v)
{
    QByteArray out;
    if (v >= -64 && v < 64)
        putU8(out, quint8((v + 64) * 2));
    else
        putU16(out, quint16((int(v) + 16384) * 2 + 1));
    return out;
}

QByteArray cUL(quint32 v)
{
    QByteArray out;
    if (v < 32768)
        putU16(out, quint16(v * 2));
    else
        putU32(out, v * 2 + 1);
    return out;
}

QByteArray cSL(qint32 v)
{
    QByteArray out;
    if (v >= -16384 && v < 16384)
        putU16(out, quint16((v + 16384) * 2));
    else
        putU32(out, quint32((qint64(v) + (qint64(1) << 30)) * 2 + 1));
    return out;
}

namespace {
int hashValue(char c)
{
    if (c >= '1' && c <= '9')
        return c - '0';
    if (c == '0')
        return 10;
    if (c == '.')
        return 12;
    if (c == '_')
        return 13;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 17;
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 17;
    return -1;
}
} // namespace

bool isValidContext(const QByteArray &context)
{
    if (context.isEmpty())
        return false;
    return std::all_of(context.begin(), context.end(), [](char c) { return hashValue(c) >= 0; });
}

qint32 contextHash(const QByteArray &context)
{
    quint32 h = 0;
    for (char c : context) {
        const int v = hashValue(c);
        if (v >= 0)
            h = h * 43u + quint32(v);
    }
    return qint32(h);
}

bool buildBTree(const TBTreeKind &kind, const QList<TTreeEntry> &entries, QByteArray *tree,
                QList<QPair<int, int>> *leaves)
{
    if (leaves)
        leaves->clear();
    int entryIndex = 0;
    int firstOfPage = 0;
    const int pageSize = kind.pageSize;
    QList<QByteArray> pages;
    struct Child {
        QByteArray firstKey;
        int page;
    };
    QList<Child> level;

    // Leaves, chained both ways; an empty tree has one empty leaf.
    {
        QByteArray body;
        int count = 0;
        QByteArray firstKey;
        auto flush = [&] {
            QByteArray page;
            putU16(page, quint16(pageSize - 8 - body.size()));
            putU16(page, quint16(count));
            putU16(page, level.isEmpty() ? 0xFFFF : quint16(level.last().page));
            putU16(page, 0xFFFF);
            page += body;
            page.append(QByteArray(pageSize - page.size(), '\0'));
            if (!level.isEmpty()) { // the previous leaf now points here
                QByteArray &prev = pages[level.last().page];
                prev[6] = char(pages.size() & 0xFF);
                prev[7] = char(pages.size() >> 8);
            }
            level.append(Child{firstKey, int(pages.size())});
            if (leaves)
                leaves->append({int(pages.size()), firstOfPage});
            pages.append(page);
            body.clear();
            count = 0;
        };
        for (const TTreeEntry &e : entries) {
            const QByteArray bytes = e.key + e.data;
            if (8 + bytes.size() > pageSize)
                return false;
            if (count > 0 && 8 + body.size() + bytes.size() > pageSize)
                flush();
            if (count == 0) {
                firstKey = e.key;
                firstOfPage = entryIndex;
            }
            body += bytes;
            ++count;
            ++entryIndex;
        }
        if (count > 0 || pages.isEmpty())
            flush();
    }
    const int leafEntries = int(entries.size());
    int levels = 1;

    // Index levels, bottom-up, until one page is left: the root.
    while (level.size() > 1) {
        QList<Child> upper;
        int i = 0;
        while (i < level.size()) {
            QByteArray body;
            const Child leftmost = level[i++];
            int count = 0;
            while (i < level.size()) {
                QByteArray entry = level[i].firstKey;
                putU16(entry, quint16(level[i].page));
                if (6 + body.size() + entry.size() > pageSize)
                    break;
                body += entry;
                ++count;
                ++i;
            }
            QByteArray page;
            putU16(page, quint16(pageSize - 6 - body.size()));
            putU16(page, quint16(count));
            putU16(page, quint16(leftmost.page));
            page += body;
            page.append(QByteArray(pageSize - page.size(), '\0'));
            upper.append(Child{leftmost.firstKey, int(pages.size())});
            pages.append(page);
        }
        level = upper;
        ++levels;
    }

    QByteArray out;
    putU16(out, 0x293B);
    putU16(out, kind.flags);
    putU16(out, kind.pageSize);
    QByteArray structure = kind.structure.left(15);
    structure.append(QByteArray(16 - structure.size(), '\0'));
    out += structure;
    putU16(out, 0);
    putU16(out, quint16(pages.size() - levels));
    putU16(out, quint16(level.first().page));
    putU16(out, 0xFFFF);
    putU16(out, quint16(pages.size()));
    putU16(out, quint16(levels));
    putU32(out, quint32(leafEntries));
    for (const QByteArray &p : pages)
        out += p;
    *tree = out;
    return true;
}

void TContainer::addFile(const QByteArray &name, const QByteArray &content)
{
    m_files.append({name, content});
}

bool TContainer::contains(const QByteArray &name) const
{
    return std::any_of(m_files.begin(), m_files.end(), [&](const auto &f) { return f.first == name; });
}

QByteArray TContainer::build() const
{
    auto files = m_files;
    std::sort(files.begin(), files.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    auto internal = [](const QByteArray &content) {
        QByteArray out;
        putU32(out, quint32(content.size() + 9));
        putU32(out, quint32(content.size()));
        putU8(out, 0);
        return out + content;
    };
    QByteArray body;
    QList<TTreeEntry> directory;
    const int headerSize = 16;
    for (const auto &[name, content] : files) {
        QByteArray offset;
        putU32(offset, quint32(headerSize + body.size()));
        QByteArray key = name;
        key.append('\0');
        directory.append(TTreeEntry{key, offset});
        body += internal(content);
    }
    QByteArray tree;
    buildBTree(DirectoryTree, directory, &tree);
    const quint32 directoryAt = quint32(headerSize + body.size());
    body += internal(tree);
    QByteArray out;
    putU32(out, 0x00035F3F);
    putU32(out, directoryAt);
    putU32(out, 0xFFFFFFFF);
    putU32(out, quint32(headerSize + body.size()));
    return out + body;
}

QByteArray normalizeContext(const QByteArray &context) { return Platform::cp1252HelpContext(context, MaxContext); }

} // namespace Hlp
