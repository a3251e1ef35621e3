#pragma once
// LZ77 as help files store it: a flag byte, low bit first, for up to eight
// items, each a literal byte (bit 0) or a 16-bit copy (bit 1) of 3 to 18
// bytes from 1 to 4096 bytes back: low 12 bits distance - 1, high 4 bits
// length - 3.
#include <QByteArray>

#include <vector>

namespace Hlp {

constexpr int Lz77Window = 4096;
constexpr int Lz77MinLength = 3;
constexpr int Lz77MaxLength = 18;

// Finds earlier copies of the bytes at a position, through hash chains.
class TLz77Matcher {
public:
    // Bytes marked in `excluded` (one entry per byte, may be null) are
    // never part of a copy, as source or as target.
    TLz77Matcher(const QByteArray &data, const std::vector<char> *excluded = nullptr);
    // Makes position p available as the start of later copies.
    void remember(qsizetype p);
    bool excluded(qsizetype p) const { return m_excluded && (*m_excluded)[size_t(p)]; }

    struct Match {
        int length = 0; // 0: nothing of at least 3 bytes
        qsizetype from = -1;
    };
    // The longest copy for the bytes at p, at most maxLength long, from a
    // position not before `earliest`.
    Match longest(qsizetype p, int maxLength, qsizetype earliest) const;

private:
    int hashAt(qsizetype p) const;
    bool hashable(qsizetype p) const;

    const QByteArray &m_data;
    const std::vector<char> *m_excluded;
    std::vector<qsizetype> m_head, m_prev;
};

// The two bytes of a copy.
quint16 lz77Code(qsizetype distance, int length);

// Compresses a whole buffer (no block to fill): pictures use it.
QByteArray lz77Compress(const QByteArray &in);
// Expands it again, giving at most `limit` bytes.
QByteArray lz77Expand(const QByteArray &in, qsizetype limit);

} // namespace Hlp
