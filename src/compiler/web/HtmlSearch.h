#pragma once
// The search index of the web pages, read by their script (no server):
// words folded (case, accents) and reduced to their stem in the help's
// language, each page's score for each (title, keywords, text), split so
// that a query loads only the parts its words lead to.
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <memory>

namespace Hlp {

// Lower case, accents and other marks removed, and the letters that are
// two in plain Latin written so (ß, æ, œ...); the page script's fold() does
// the same.
QString foldForSearch(const QString &text);

// The terms of a text as the index keeps them: each word's stem in the
// language `tag` ("fr", "en"... ; the word itself for a language without a
// stemmer), folded; Chinese, Japanese and Korean by pairs of characters.
class SearchTerms {
public:
    explicit SearchTerms(const QString &tag);
    ~SearchTerms();
    QStringList operator()(const QString &text) const;
    // The stemmer's language, empty when the words are kept whole.
    QString algorithm() const;

private:
    QString stem(const QString &word) const; // as it is without a stemmer
    struct Stemmer;
    std::unique_ptr<Stemmer> m_stemmer;
};

class SearchIndex {
public:
    explicit SearchIndex(const QString &tag);
    // One page: its file, the name the results show, its keywords and text.
    void addPage(const QString &file, const QString &title, const QStringList &keywords, const QString &text);
    // The index's files, by their path in the site ("search/meta.js"...).
    QList<QPair<QString, QByteArray>> files() const;
    // Of these bytes, those of the terms' parts (not the pages' texts the
    // results quote).
    static qint64 termBytes(const QList<QPair<QString, QByteArray>> &files);

private:
    SearchTerms m_terms;
    QStringList m_files, m_titles, m_texts;
    QList<int> m_titleTerms; // each title's number of terms (at most 35)
    // term -> (page, score) in page order
    QHash<QString, QList<QPair<int, int>>> m_postings;
};

} // namespace Hlp
