// A .HLP's structure read: the container, its B+ trees and topic records.
#include "compiler/hlp/HlpStructure.h"

#include <QMap>

namespace HlpRead {

quint16 u16(const QByteArray &b, qsizetype at)
{
    if (at < 0 || at + 2 > b.size())
        return 0;
    return quint16(quint8(b[at]) | (quint8(b[at + 1]) << 8));
}

quint32 u32(const QByteArray &b, qsizetype at) { return quint32(u16(b, at)) | (quint32(u16(b, at + 2)) << 16); }

namespace {
// A byte, 0 outside the data (a damaged file reads as zeros, never beyond).
quint8 byteOf(const QByteArray &b, qsizetype at) { return at >= 0 && at < b.size() ? quint8(b[at]) : 0; }
} // namespace

quint16 cUS(const QByteArray &b, qsizetype &at)
{
    if (byteOf(b, at) & 1) {
        const quint16 v = u16(b, at) / 2;
        at += 2;
        return v;
    }
    return byteOf(b, at++) / 2;
}

qint16 cSS(const QByteArray &b, qsizetype &at)
{
    if (byteOf(b, at) & 1) {
        const int v = int(u16(b, at)) / 2 - 16384;
        at += 2;
        return qint16(v);
    }
    return qint16(int(byteOf(b, at++)) / 2 - 64);
}

quint32 cUL(const QByteArray &b, qsizetype &at)
{
    if (byteOf(b, at) & 1) {
        const quint32 v = u32(b, at) / 2;
        at += 4;
        return v;
    }
    const quint32 v = u16(b, at) / 2;
    at += 2;
    return v;
}

qint32 cSL(const QByteArray &b, qsizetype &at)
{
    if (byteOf(b, at) & 1) {
        const qint64 v = qint64(u32(b, at) / 2) - (qint64(1) << 30);
        at += 4;
        return qint32(v);
    }
    const qint32 v = qint32(u16(b, at) / 2) - 16384;
    at += 2;
    return v;
}

bool Tree::parse(const QByteArray &content)
{
    bytes = content;
    if (content.size() < 38 || u16(content, 0) != 0x293B)
        return false;
    pageSize = u16(content, 4);
    structure = content.mid(6, 16);
    structure.truncate(structure.indexOf('\0') < 0 ? 16 : structure.indexOf('\0'));
    rootPage = u16(content, 26);
    totalPages = u16(content, 30);
    levels = u16(content, 32);
    entries = u32(content, 34);
    // A tree deeper than its pages, or than any file holds, is damaged (and
    // would make every search walk it level by level).
    return pageSize > 0 && content.size() >= 38 + qsizetype(totalPages) * pageSize && levels <= qMin(int(totalPages), 16);
}

KeyType stringKey()
{
    return KeyType{[](const QByteArray &p, qsizetype at) {
                       const qsizetype nul = p.indexOf('\0', at);
                       return nul < 0 ? p.size() - at : nul - at + 1;
                   },
                   [](const QByteArray &key, const QByteArray &wanted) {
                       const QByteArray a = key.left(key.indexOf('\0') < 0 ? key.size() : key.indexOf('\0'));
                       return a < wanted ? -1 : (a == wanted ? 0 : 1);
                   }};
}

KeyType hashKey()
{
    return KeyType{[](const QByteArray &, qsizetype) { return qsizetype(4); },
                   [](const QByteArray &key, const QByteArray &wanted) {
                       const qint32 a = qint32(u32(key, 0)), b = qint32(u32(wanted, 0));
                       return a < b ? -1 : (a == b ? 0 : 1);
                   }};
}

std::optional<QByteArray> search(const Tree &tree, const KeyType &type, const QByteArray &wanted, int dataLength)
{
    int pageNo = tree.rootPage;
    for (int level = tree.levels; level > 1; --level) {
        const QByteArray p = tree.page(pageNo);
        const int count = u16(p, 2);
        int next = u16(p, 4);
        qsizetype at = 6;
        for (int i = 0; i < count && at < p.size(); ++i) { // entries past the page's end are not there
            const qsizetype len = type.length(p, at);
            if (type.compare(p.mid(at, len), wanted) > 0)
                break;
            next = u16(p, at + len);
            at += len + 2;
        }
        pageNo = next;
    }
    const QByteArray leaf = tree.page(pageNo);
    const int count = u16(leaf, 2);
    qsizetype at = 8;
    for (int i = 0; i < count && at < leaf.size(); ++i) {
        const qsizetype len = type.length(leaf, at);
        const int c = type.compare(leaf.mid(at, len), wanted);
        if (c == 0)
            return leaf.mid(at + len, dataLength);
        if (c > 0)
            return std::nullopt;
        at += len + dataLength;
    }
    return std::nullopt;
}

QList<QPair<QByteArray, QByteArray>> walkLeaves(const Tree &tree, const KeyType &type, int dataLength, bool *chainOk)
{
    QList<QPair<QByteArray, QByteArray>> out;
    int pageNo = tree.rootPage;
    for (int level = tree.levels; level > 1; --level)
        pageNo = u16(tree.page(pageNo), 4);
    int prev = 0xFFFF;
    bool ok = true;
    for (int guard = 0; pageNo != 0xFFFF && guard <= tree.totalPages; ++guard) {
        const QByteArray leaf = tree.page(pageNo);
        ok = ok && u16(leaf, 4) == prev;
        const int count = u16(leaf, 2);
        qsizetype at = 8;
        for (int i = 0; i < count && at < leaf.size(); ++i) {
            const qsizetype len = type.length(leaf, at);
            out.append({leaf.mid(at, len), leaf.mid(at + len, dataLength)});
            at += len + dataLength;
        }
        prev = pageNo;
        pageNo = u16(leaf, 6);
    }
    if (chainOk)
        *chainOk = ok;
    return out;
}

bool Container::parse(const QByteArray &bytes)
{
    file = bytes;
    if (bytes.size() < 16 || u32(bytes, 0) != 0x00035F3F) {
        error = "magic";
        return false;
    }
    if (u32(bytes, 12) != quint32(bytes.size())) {
        error = "size";
        return false;
    }
    const quint32 dir = u32(bytes, 4);
    // A file may reserve more space than it uses (viewers read what is used).
    const quint32 reserved = u32(bytes, dir), used = u32(bytes, dir + 4);
    if (qint64(reserved) < qint64(used) + 9 || qint64(dir) + reserved > bytes.size()) {
        error = "directory header";
        return false;
    }
    if (!directory.parse(bytes.mid(dir + 9, used))) {
        error = "directory tree";
        return false;
    }
    return true;
}

std::optional<QByteArray> Container::internalFile(const QByteArray &name) const
{
    const auto offset = search(directory, stringKey(), name, 4);
    if (!offset)
        return std::nullopt;
    const quint32 at = u32(*offset, 0);
    const quint32 reserved = u32(file, at), used = u32(file, at + 4);
    if (qint64(reserved) < qint64(used) + 9 || qint64(at) + reserved > file.size())
        return std::nullopt;
    return file.mid(at + 9, used);
}

} // namespace HlpRead

namespace HlpRead {

QByteArray lz77Expand(const QByteArray &in)
{
    // A flag byte, low bit first, for up to eight items: 0 = one literal
    // byte, 1 = a 16-bit copy (low 12 bits: distance - 1, high 4 bits:
    // length - 3) from the bytes already expanded.
    QByteArray out;
    qsizetype at = 0;
    while (at < in.size()) {
        const quint8 flags = quint8(in[at++]);
        for (int bit = 0; bit < 8 && at < in.size(); ++bit) {
            if (flags & (1 << bit)) {
                if (at + 1 >= in.size())
                    return out;
                const quint16 code = u16(in, at);
                at += 2;
                const qsizetype from = out.size() - (code & 0xFFF) - 1;
                if (from < 0)
                    return out;
                for (int i = 0; i < (code >> 12) + 3; ++i)
                    out.append(out[from + i]);
            } else {
                out.append(in[at++]);
            }
        }
    }
    return out;
}

TopicFile::TopicFile(const QByteArray &file, bool compressed)
{
    for (qsizetype b = 0; b * 4096 + 12 < file.size(); ++b) { // the last block may be short
        const QByteArray block = file.mid(b * 4096 + 12, 4084);
        blockStart.append(flat.size());
        flat += compressed ? lz77Expand(block) : block;
        blockLength.append(flat.size() - blockStart.last());
    }
}

qint64 TopicFile::flatAt(quint32 pos) const
{
    const qint64 block = (qint64(pos) - 12) >> 14;
    return blockStart.value(block, flat.size()) + ((qint64(pos) - 12) & 0x3FFF);
}

QByteArray TopicFile::data(quint32 pos, qsizetype length) const { return flat.mid(flatAt(pos), length); }

TopicFile TopicFile::of(const Container &hlp)
{
    const auto system = hlp.internalFile("|SYSTEM");
    TopicFile topic(hlp.internalFile("|TOPIC").value_or(QByteArray()), system && u16(*system, 10) != 0);
    const auto index = hlp.internalFile("|PhrIndex"), image = hlp.internalFile("|PhrImage");
    const auto old = hlp.internalFile("|Phrases");
    if (old) { // read first, as the viewer does
        topic.phrases = oldPhrases(*old);
        topic.oldStyle = true;
    } else if (index && image) {
        topic.phrases = hallPhrases(*index, *image);
    }
    return topic;
}

QList<TopicText> topicTexts(const Container &hlp)
{
    QMap<quint32, QList<qint32>> byOffset;
    Tree contexts;
    if (const auto file = hlp.internalFile("|CONTEXT"); file && contexts.parse(*file))
        for (const auto &[key, data] : walkLeaves(contexts, hashKey(), 4))
            byOffset[u32(data, 0)].append(qint32(u32(key, 0)));
    QList<TopicText> out;
    for (const TopicFile::Record &r : TopicFile::of(hlp).walk()) {
        if (r.type == 0x02) {
            out.append({QByteArray(r.ld2.constData()), {}, byOffset.value(r.offset)});
        } else if (!out.isEmpty() && (r.type == 0x20 || r.type == 0x23)) {
            QByteArray text = r.ld2;
            out.last().text += text.replace('\0', QByteArray());
        }
    }
    for (TopicText &t : out)
        t.text = t.text.simplified();
    return out;
}

QList<QByteArray> oldPhrases(const QByteArray &file)
{
    QList<QByteArray> out;
    if (file.size() < 8)
        return out;
    const int count = u16(file, 0);
    const qsizetype offsetsAt = 8;
    if (offsetsAt + 2 * (count + 1) > file.size())
        return out;
    const QByteArray text = lz77Expand(file.mid(offsetsAt + 2 * (count + 1)));
    const int first = u16(file, offsetsAt);
    for (int i = 0; i < count; ++i) {
        const int from = u16(file, offsetsAt + 2 * i) - first, to = u16(file, offsetsAt + 2 * i + 2) - first;
        out << text.mid(from, qMax(0, to - from));
    }
    return out;
}

// What a record's text may expand to: its stated length, and never more
// than phrases can make of its bytes in a real file (a hostile one could
// state gigabytes).
qsizetype expansionLimit(const QByteArray &coded, qsizetype length)
{
    return qMin<qsizetype>(length, coded.size() * 64 + 65536);
}

QByteArray oldExpand(const QByteArray &coded, const QList<QByteArray> &phrases, qsizetype length)
{
    QByteArray out;
    const qsizetype limit = expansionLimit(coded, length);
    for (qsizetype i = 0; i < coded.size() && out.size() <= limit; ++i) {
        const quint8 b = quint8(coded[i]);
        if (b >= 1 && b <= 15 && i + 1 < coded.size()) {
            const int code = 256 * (b - 1) + quint8(coded[++i]);
            out += phrases.value(code >> 1);
            if (code & 1)
                out += ' ';
        } else {
            out += char(b);
        }
    }
    return out;
}

QList<TopicFile::Record> TopicFile::walk() const
{
    QList<Record> out;
    quint32 pos = 12;
    qint64 block = -1;
    quint32 n = 0;
    for (int guard = 0; pos != 0xFFFFFFFF && guard < 1000000; ++guard) {
        const QByteArray head = data(pos, 21);
        if (head.size() < 21)
            break;
        Record r;
        r.pos = pos;
        r.type = quint8(head[20]);
        r.prev = u32(head, 8);
        r.next = u32(head, 12);
        const quint32 len1 = u32(head, 16);
        // A record ends where the next one starts: one that claims more
        // (overlapping records, a hostile file) would copy the rest of the
        // file once per record.
        qint64 size = u32(head, 0);
        if (r.next != 0xFFFFFFFF && r.next > pos)
            size = qMin<qint64>(size, qMax<qint64>(flatAt(r.next) - flatAt(pos), 21));
        const QByteArray all = data(pos, size);
        r.ld1 = all.mid(21, len1 - 21);
        r.ld2 = all.mid(len1);
        r.textLength = u32(head, 4);
        if (!phrases.isEmpty() && r.ld2.size() < qsizetype(r.textLength)) {
            QString error;
            r.ld2 = oldStyle ? oldExpand(r.ld2, phrases, r.textLength) : hallExpand(r.ld2, phrases, r.textLength, &error);
        }
        if ((qint64(pos) - 12) >> 14 != block) {
            block = (qint64(pos) - 12) >> 14;
            n = 0;
        }
        r.offset = quint32(block * 0x8000 + n);
        if (r.type == 0x20 || r.type == 0x23) {
            qsizetype at = 0;
            cSL(r.ld1, at);
            n += cUS(r.ld1, at);
        }
        out.append(r);
        // Records follow one another: a link back (a damaged or hostile
        // file) would walk them in a circle.
        if (r.next != 0xFFFFFFFF && r.next <= pos)
            break;
        pos = r.next;
    }
    return out;
}

QList<QByteArray> hallPhrases(const QByteArray &index, const QByteArray &image)
{
    const quint32 count = u32(index, 4), imageSize = u32(index, 12), stored = u32(index, 16);
    const int k = qMax(1, qMin(5, int(u16(index, 24) & 0x0F)));
    const QByteArray text = stored == imageSize ? image : lz77Expand(image);
    // Rice codes, low bit first in little-endian 32-bit words.
    qsizetype bit = 28 * 8;
    const auto next = [&]() {
        const quint32 word = u32(index, (bit / 32) * 4);
        return bool((word >> (bit++ % 32)) & 1);
    };
    QList<QByteArray> out;
    qsizetype at = 0;
    for (quint32 i = 0; i < count && bit < index.size() * 8; ++i) {
        quint32 q = 0;
        while (next())
            ++q;
        quint32 r = 0;
        for (int b = 0; b < k; ++b)
            r |= quint32(next()) << b;
        const qsizetype length = 1 + (qsizetype(q) << k) + r;
        out.append(text.mid(at, length));
        at += length;
    }
    return out;
}

QByteArray hallExpand(const QByteArray &coded, const QList<QByteArray> &phrases, qsizetype length, QString *error)
{
    QByteArray out;
    const qsizetype limit = expansionLimit(coded, length);
    for (qsizetype i = 0; i < coded.size() && out.size() <= limit;) {
        const quint8 b = quint8(coded[i++]);
        if ((b & 1) == 0 || (b & 3) == 1) {
            qsizetype n = b >> 1;
            if (b & 1) {
                n = 128 + (qsizetype(b >> 2) << 8) + (i < coded.size() ? quint8(coded[i++]) : 0);
            }
            if (n >= phrases.size()) {
                *error = QStringLiteral("phrase %1 of %2").arg(n).arg(phrases.size());
                return out;
            }
            out += phrases[n];
        } else if ((b & 7) == 3) {
            const qsizetype n = (b >> 3) + 1;
            out += coded.mid(i, n);
            i += n;
        } else if ((b & 15) == 7) {
            out += QByteArray((b >> 4) + 1, ' ');
        } else {
            out += QByteArray((b >> 4) + 1, '\0');
        }
    }
    if (out.size() != length)
        *error = QStringLiteral("expanded to %1 bytes instead of %2").arg(out.size()).arg(length);
    return out;
}

} // namespace HlpRead
