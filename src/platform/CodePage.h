#pragma once
// The Windows code pages a help project's text may be written in, and the
// character sets and languages that name them: RTF names a run's code page
// by its font's \fcharset or the document's \ansicpg, a help project by
// CHARSET= or its language (LCID=), a help file by the character set of
// its |SYSTEM file.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <memory>

namespace Platform {

// The code page of a Windows character set (RTF \fcharset, CHARSET=);
// 0 for the symbol set (bytes are glyphs, not letters), -1 when the set
// names no code page of its own (ANSI and DEFAULT: the document's).
int codePageOfCharset(int charset);
// The character set of a code page (0 for 1252 and unknown pages).
int charsetOfCodePage(int codePage);
// The code page and language tag ("ru", "pl") of a Windows language
// identifier (LCID), by its primary language; {1252, ""} when unknown.
struct TLanguage {
    int codePage = 1252;
    QString tag;
};
TLanguage languageOfLcid(int lcid);
// The language identifier of a code page's main language (0x411 for 932,
// 0x419 for 1251); 0 for 1252 and unknown pages.
int lcidOfCodePage(int codePage);

// The double-byte code page (932, 949, 936, 950) that text whose code page
// nothing names reads as: Japanese by its kana, Korean by its Hangul,
// Chinese by its ideographs making up most of the text (simplified before
// traditional, which the bytes alone rarely tell apart); 0 when the text
// reads as none of them (single-byte text, 1252 or another).
int guessDoubleBytePage(const QByteArray &text);

// One code page: bytes to text and back. Windows-1252 keeps the program's
// own table (bytes without a character survive a round trip); the others
// come from the system's converters. An unknown page is read as 1252.
class CodePage {
public:
    explicit CodePage(int codePage = 1252);
    int number() const { return m_number; }
    bool isDoubleByte() const { return m_lead != 0; }
    // A double-byte page's lead byte (one that starts a two-byte character).
    bool isLeadByte(unsigned char b) const;
    QString decode(const QByteArray &bytes) const;
    // Characters the page cannot hold become '?'; `lost` receives them.
    QByteArray encode(const QString &text, QString *lost = nullptr) const;

private:
    int m_number = 1252;
    unsigned char m_lead = 0; // lowest lead byte of a double-byte page, else 0
    QString m_name;           // the converters' name of the page
    // A single-byte page's characters, by byte, and the bytes by character.
    std::shared_ptr<const QString> m_table;
    std::shared_ptr<const QHash<char16_t, char>> m_reverse;
};

} // namespace Platform
