// RTF cut into control words, groups and text.
#include "compiler/sources/RtfTokenizer.h"

#include <QtGlobal>

namespace {
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
int hexValue(char x)
{
    return x >= '0' && x <= '9' ? x - '0' : x >= 'a' && x <= 'f' ? x - 'a' + 10 : x >= 'A' && x <= 'F' ? x - 'A' + 10 : -1;
}
} // namespace

RtfTokenizer::Token RtfTokenizer::next()
{
    Token t;
    const qsizetype n = m_in.size();
    if (m_at >= n)
        return t;
    const char c = m_in[m_at++];
    if (c == '{') {
        t.kind = GroupOpen;
        return t;
    }
    if (c == '}') {
        t.kind = GroupClose;
        return t;
    }
    if (c != '\\') {
        t.kind = Text;
        t.byte = static_cast<unsigned char>(c);
        return t;
    }
    if (m_at >= n)
        return t; // a lone backslash at the end
    const char d = m_in[m_at];
    if (isLetter(d)) {
        const qsizetype start = m_at;
        while (m_at < n && isLetter(m_in[m_at]))
            ++m_at; // an over-long word is cut to its first 32 letters
        t.kind = Word;
        t.word = m_in.mid(start, qMin<qsizetype>(m_at - start, 32));
        bool negative = false;
        if (m_at + 1 < n && m_in[m_at] == '-' && m_in[m_at + 1] >= '0' && m_in[m_at + 1] <= '9') {
            negative = true;
            ++m_at;
        }
        long long value = 0;
        int digits = 0;
        while (m_at < n && m_in[m_at] >= '0' && m_in[m_at] <= '9') {
            if (digits++ < 10)
                value = value * 10 + (m_in[m_at] - '0');
            ++m_at;
            t.hasParam = true;
        }
        if (m_at < n && m_in[m_at] == ' ')
            ++m_at;
        t.param = int(qBound<long long>(-2147483647LL, negative ? -value : value, 2147483647LL));
        if (t.word == "bin") { // binary data is never text
            const qsizetype size = qBound<qsizetype>(0, qsizetype(t.param), n - m_at);
            t.binary = m_in.mid(m_at, size);
            m_at += size;
        }
        return t;
    }
    ++m_at;
    if (d == '\'') {
        const int hi = m_at < n ? hexValue(m_in[m_at]) : -1;
        const int lo = m_at + 1 < n ? hexValue(m_in[m_at + 1]) : -1;
        if (hi >= 0 && lo >= 0) {
            m_at += 2;
            t.kind = HexByte;
            t.byte = static_cast<unsigned char>(hi * 16 + lo);
            return t;
        }
    }
    t.kind = Symbol;
    t.symbol = d;
    return t;
}
