#pragma once
// Splits RTF bytes into tokens: group marks, control words with their
// optional number, control symbols, \'hh bytes and plain text bytes.
// Control words end at their first non-letter, take an optional signed
// number and swallow one blank; \binN data is skipped here and handed
// over with the word.
#include <QByteArray>

class RtfTokenizer {
public:
    enum Kind { End, GroupOpen, GroupClose, Word, Symbol, HexByte, Text };
    struct Token {
        Kind kind = End;
        QByteArray word;        // Word: at most its first 32 letters
        bool hasParam = false;  // Word
        int param = 0;          // Word: clamped to 32 bits
        char symbol = 0;        // Symbol: the character after the backslash
        unsigned char byte = 0; // HexByte and Text
        QByteArray binary;      // Word "bin": the data it skips
    };

    explicit RtfTokenizer(const QByteArray &bytes) : m_in(bytes) {}
    Token next();
    bool atEnd() const { return m_at >= m_in.size(); }
    // Where the next token begins (the offset in the bytes).
    qsizetype position() const { return m_at; }

private:
    const QByteArray &m_in;
    qsizetype m_at = 0;
};
