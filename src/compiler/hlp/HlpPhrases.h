#pragma once
// Hall phrase compression of topic text: words and punctuation that recur
// are kept once in |PhrImage (their lengths in |PhrIndex) and the text
// refers to them by number; the rest is written as literal runs, runs of
// blanks and runs of NULs.
#include <QByteArray>
#include <QHash>
#include <QList>

namespace Hlp {

class THallPhrases {
public:
    // Chooses the phrases that save the most room in these texts.
    void choose(const QList<QByteArray> &texts);
    qsizetype size() const { return m_phrases.size(); }
    const QList<QByteArray> &phrases() const { return m_phrases; }

    // The coded form of a text (longer than the text when nothing recurs).
    QByteArray encode(const QByteArray &text) const;

    // The internal files: the phrases' lengths, and their text (LZ77-packed
    // when `lz77` and smaller).
    QByteArray phraseIndex(bool lz77) const;
    QByteArray phraseImage(bool lz77) const;

private:
    QList<QByteArray> m_phrases;
    QHash<QByteArray, int> m_number;
};

} // namespace Hlp
