// The web pages' search index.
#include "compiler/web/HtmlSearch.h"

#include "compiler/web/HtmlSite.h"

#include <QRegularExpression>

#ifdef KIVHELP_HAVE_STEMMER
#include <libstemmer.h>
#endif

#include <algorithm>

namespace Hlp {

namespace {

bool isCjk(char16_t c)
{
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF66 && c <= 0xFF9F);
}

// Which part of the index holds a term: its first two characters (one for
// Chinese, Japanese and Korean), hashed, so that all terms that start
// alike are together. The page script computes the same.
int partOf(const QString &term, int parts)
{
    const int keyLength = !term.isEmpty() && isCjk(term[0].unicode()) ? 1 : 2;
    quint32 h = 0;
    for (qsizetype i = 0; i < qMin<qsizetype>(keyLength, term.size()); ++i)
        h = h * 31 + term[i].unicode();
    return int(h % quint32(parts));
}

// The pages' texts the results quote: consecutive pages to a file, up to
// this many characters or pages, so that quoting twenty hits loads little.
constexpr qsizetype kTextShard = 1200;
constexpr int kTextShardPages = 16;
// The pages' files and titles, this many to a file (what a hit shows).
constexpr int kNamesPerFile = 25;

} // namespace

QString foldForSearch(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text.toLower().normalized(QString::NormalizationForm_D)) {
        switch (c.category()) {
        case QChar::Mark_NonSpacing:
        case QChar::Mark_SpacingCombining:
        case QChar::Mark_Enclosing: continue;
        default: break;
        }
        switch (c.unicode()) {
        case 0xDF: out += QLatin1String("ss"); break;
        case 0xE6: out += QLatin1String("ae"); break;
        case 0x153: out += QLatin1String("oe"); break;
        case 0xF8: out += u'o'; break;
        case 0x142: out += u'l'; break;
        case 0x111: out += u'd'; break;
        case 0xF0: out += u'd'; break;
        case 0xFE: out += QLatin1String("th"); break;
        case 0x131: out += u'i'; break;
        default: out += c;
        }
    }
    return out;
}

struct SearchTerms::Stemmer {
#ifdef KIVHELP_HAVE_STEMMER
    sb_stemmer *stemmer = nullptr;
    ~Stemmer() { sb_stemmer_delete(stemmer); }
#endif
    QString algorithm;
};

SearchTerms::SearchTerms(const QString &tag) : m_stemmer(std::make_unique<Stemmer>())
{
    static const QHash<QString, const char *> algorithms{{QStringLiteral("fr"), "french"},     {QStringLiteral("en"), "english"},
                                                         {QStringLiteral("de"), "german"},     {QStringLiteral("es"), "spanish"},
                                                         {QStringLiteral("it"), "italian"},    {QStringLiteral("nl"), "dutch"},
                                                         {QStringLiteral("pt"), "portuguese"}, {QStringLiteral("ru"), "russian"}};
    const char *name = algorithms.value(tag.section(u'-', 0, 0).toLower(), nullptr);
#ifdef KIVHELP_HAVE_STEMMER
    if (name)
        m_stemmer->stemmer = sb_stemmer_new(name, "UTF_8");
    if (m_stemmer->stemmer)
        m_stemmer->algorithm = QString::fromLatin1(name);
#else
    Q_UNUSED(name);
#endif
}

SearchTerms::~SearchTerms() = default;

QString SearchTerms::algorithm() const { return m_stemmer->algorithm; }

QString SearchTerms::stem(const QString &word) const
{
#ifdef KIVHELP_HAVE_STEMMER
    if (m_stemmer->stemmer) {
        const QByteArray utf8 = word.toUtf8();
        const sb_symbol *stem = sb_stemmer_stem(m_stemmer->stemmer, reinterpret_cast<const sb_symbol *>(utf8.constData()), int(utf8.size()));
        if (stem)
            return QString::fromUtf8(reinterpret_cast<const char *>(stem), sb_stemmer_length(m_stemmer->stemmer));
    }
#endif
    return word;
}

QStringList SearchTerms::operator()(const QString &text) const
{
    static const QRegularExpression word(QStringLiteral("[\\p{L}\\p{N}]+"));
    QStringList out;
    for (auto it = word.globalMatch(text); it.hasNext();) {
        const QString run = it.next().captured();
        // Runs of Chinese, Japanese or Korean characters (no blanks
        // between words): each pair of characters, a lone one alone.
        qsizetype i = 0;
        while (i < run.size()) {
            qsizetype j = i;
            const bool cjk = isCjk(run[i].unicode());
            while (j < run.size() && isCjk(run[j].unicode()) == cjk)
                ++j;
            const QString part = run.mid(i, j - i);
            if (cjk) {
                if (part.size() == 1)
                    out << part;
                for (qsizetype k = 0; k + 1 < part.size(); ++k)
                    out << part.mid(k, 2);
            } else {
                const QString lower = part.toLower();
                const QString term = foldForSearch(stem(lower));
                if (!term.isEmpty())
                    out << term;
                // A reader may type it without its accents, which the
                // stemmer then cannot take off with the ending
                // ("presentacion" for "presentación"): that form is found too.
                bool ascii = true;
                for (const QChar c : lower)
                    ascii = ascii && c.unicode() < 0x80;
                if (!ascii)
                    if (const QString plain = foldForSearch(lower); plain != lower)
                        if (const QString other = foldForSearch(stem(plain)); !other.isEmpty() && other != term)
                            out << other;
            }
            i = j;
        }
    }
    return out;
}

SearchIndex::SearchIndex(const QString &tag) : m_terms(tag) {}

void SearchIndex::addPage(const QString &file, const QString &title, const QStringList &keywords, const QString &text)
{
    const int page = int(m_files.size());
    m_files << file;
    m_titles << title;
    m_titleTerms << int(qMin<qsizetype>(35, m_terms(title).size()));
    m_texts << text.simplified();
    // Title first, then keywords, then the text: more of the keywords and
    // the text ranks higher (a word twice in a title is no better title).
    QHash<QString, int> score;
    for (const QString &t : m_terms(title))
        score[t] = 10000;
    for (const QString &k : keywords)
        for (const QString &t : m_terms(k))
            if (score[t] % 10000 < 9900)
                score[t] += 100;
    for (const QString &t : m_terms(text))
        if (score[t] % 100 < 99)
            score[t] += 1;
    for (auto it = score.cbegin(); it != score.cend(); ++it)
        m_postings[it.key()].append({page, *it});
}

QList<QPair<QString, QByteArray>> SearchIndex::files() const
{
    // About three hundred terms to a part, at most 512 parts.
    const int parts = int(qBound(qsizetype(1), m_postings.size() / 300 + 1, qsizetype(512)));
    QList<QStringList> part(parts);
    QStringList terms = m_postings.keys();
    terms.sort();
    for (const QString &term : std::as_const(terms)) {
        // Pages as the distance from the one before, each with its score,
        // in base 36 in one string (a third smaller than a list of numbers;
        // the script reads a term's when a query takes it).
        QStringList numbers;
        int last = 0;
        for (const auto &[page, score] : m_postings[term]) {
            numbers << QString::number(page - last, 36) << QString::number(score, 36);
            last = page;
        }
        part[partOf(term, parts)] << jsString(term) + u':' + u'"' + numbers.join(u',') + u'"';
    }
    QList<QPair<QString, QByteArray>> out;
    // The texts' files: the first page of each.
    QList<int> starts;
    qsizetype size = 0;
    for (qsizetype i = 0; i < m_texts.size(); ++i) {
        if (starts.isEmpty() || size >= kTextShard || i - starts.last() >= kTextShardPages) {
            starts << int(i);
            size = 0;
        }
        size += m_texts[i].size();
    }
    // What every query needs, whatever the help's size: the parts' count,
    // the stemmer, where the names and texts are, and how many terms each
    // title has (a title made of the words ranks first), one digit each.
    QString titles, shards;
    for (const int n : m_titleTerms)
        titles += QString::number(n, 36);
    // The texts' files as the number of pages in each, one digit each.
    for (qsizetype k = 0; k < starts.size(); ++k)
        shards += QString::number((k + 1 < starts.size() ? starts[k + 1] : m_texts.size()) - starts[k], 36);
    out.append({QStringLiteral("search/meta.js"), QStringLiteral("searchMeta({parts:%1,stemmer:%2,count:%3,names:%4,texts:%5,titles:%6});\n")
                                                      .arg(parts)
                                                      .arg(jsString(m_terms.algorithm()))
                                                      .arg(m_files.size())
                                                      .arg(kNamesPerFile)
                                                      .arg(jsString(shards), jsString(titles))
                                                      .toUtf8()});
    out.append({QStringLiteral("search/stem.js"), stemmerScript(m_terms.algorithm())});
    for (int i = 0; i < parts; ++i)
        out.append({QStringLiteral("search/w%1.js").arg(i), QStringLiteral("searchPart(%1,{%2});\n").arg(i).arg(part[i].join(QStringLiteral(",\n"))).toUtf8()});
    for (qsizetype first = 0; first < m_files.size(); first += kNamesPerFile) {
        QStringList names;
        for (qsizetype i = first; i < qMin(first + kNamesPerFile, m_files.size()); ++i)
            names << u'[' + jsString(m_files[i]) + u',' + jsString(m_titles[i]) + u']';
        out.append({QStringLiteral("search/p%1.js").arg(first / kNamesPerFile),
                    QStringLiteral("searchPages(%1,[%2]);\n").arg(first / kNamesPerFile).arg(names.join(QStringLiteral(",\n"))).toUtf8()});
    }
    for (qsizetype k = 0; k < starts.size(); ++k) {
        QStringList texts;
        for (qsizetype i = starts[k]; i < (k + 1 < starts.size() ? starts[k + 1] : m_texts.size()); ++i)
            texts << jsString(m_texts[i]);
        out.append({QStringLiteral("search/t%1.js").arg(k), QStringLiteral("searchTexts(%1,[%2]);\n").arg(k).arg(texts.join(QStringLiteral(",\n"))).toUtf8()});
    }
    return out;
}

qint64 SearchIndex::termBytes(const QList<QPair<QString, QByteArray>> &files)
{
    qint64 bytes = 0;
    for (const auto &[name, content] : files)
        if (!name.startsWith(QLatin1String("search/t")) && name != QLatin1String("search/stem.js"))
            bytes += content.size();
    return bytes;
}

} // namespace Hlp
