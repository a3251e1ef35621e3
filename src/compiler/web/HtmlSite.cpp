// What every web page of a help shares: the script, the style sheet, the
// site's files.
#include "compiler/web/HtmlSite.h"

#include <QHash>

#include <cmath>

namespace Hlp {

TWebLabels webLabels(const QString &tag)
{
    // lang, contents, index, search, previous, next, skip link, no hit,
    // the list of related topics, none of them, breadcrumbs, previous and
    // next, the button that shows the contents on a narrow screen, and
    // the context page's answer when no page has the context asked for,
    // the printed manual's appendix.
    static const QHash<QString, TWebLabels> all{
        {QStringLiteral("fr"),
         {QStringLiteral("fr"), QStringLiteral("Sommaire"), QStringLiteral("Index"), QStringLiteral("Rechercher"),
          QString::fromUtf8("Précédent"), QStringLiteral("Suivant"), QStringLiteral("Aller au texte"),
          QStringLiteral("Aucune page ne contient ces mots."), QString::fromUtf8("Rubriques trouvées"),
          QStringLiteral("Aucune rubrique"), QString::fromUtf8("Vous êtes ici"), QStringLiteral("Pages voisines"),
          QStringLiteral("Afficher le sommaire"), QString::fromUtf8("Aucune page de cette aide ne répond à « %1 »."), QStringLiteral("Annexe : autres pages"), QString::fromUtf8("Pages trouvées : %1"), QString::fromUtf8("Résultats pour « %1 »"), QString::fromUtf8("Toutes les pages"), QString::fromUtf8("Thème : %1"), QString::fromUtf8("selon le système"), QString::fromUtf8("clair"), QString::fromUtf8("sombre")}},
        {QStringLiteral("en"),
         {QStringLiteral("en"), QStringLiteral("Contents"), QStringLiteral("Index"), QStringLiteral("Search"), QStringLiteral("Previous"),
          QStringLiteral("Next"), QStringLiteral("Skip to the text"), QStringLiteral("No page contains these words."),
          QStringLiteral("Topics found"), QStringLiteral("No topics"), QStringLiteral("You are here"), QStringLiteral("Nearby pages"),
          QStringLiteral("Show the contents"), QStringLiteral("No page of this help answers to “%1”."), QStringLiteral("Appendix: other pages"), QString::fromUtf8("Pages found: %1"), QString::fromUtf8("Results for “%1”"), QString::fromUtf8("All pages"), QString::fromUtf8("Theme: %1"), QString::fromUtf8("as the system"), QString::fromUtf8("light"), QString::fromUtf8("dark")}},
        {QStringLiteral("de"),
         {QStringLiteral("de"), QStringLiteral("Inhalt"), QStringLiteral("Index"), QStringLiteral("Suchen"), QStringLiteral("Zurück"),
          QStringLiteral("Weiter"), QStringLiteral("Zum Text springen"), QString::fromUtf8("Keine Seite enthält diese Wörter."),
          QStringLiteral("Gefundene Themen"), QStringLiteral("Keine Themen"), QStringLiteral("Sie sind hier"),
          QStringLiteral("Benachbarte Seiten"), QStringLiteral("Inhalt anzeigen"), QString::fromUtf8("Keine Seite dieser Hilfe antwortet auf „%1“."), QString::fromUtf8("Anhang: weitere Seiten"), QString::fromUtf8("Gefundene Seiten: %1"), QString::fromUtf8("Ergebnisse für „%1“"), QString::fromUtf8("Alle Seiten"), QString::fromUtf8("Farbschema: %1"), QString::fromUtf8("wie das System"), QString::fromUtf8("hell"), QString::fromUtf8("dunkel")}},
        {QStringLiteral("es"),
         {QStringLiteral("es"), QStringLiteral("Contenido"), QString::fromUtf8("Índice"), QStringLiteral("Buscar"),
          QStringLiteral("Anterior"), QStringLiteral("Siguiente"), QStringLiteral("Ir al texto"),
          QString::fromUtf8("Ninguna página contiene estas palabras."), QStringLiteral("Temas encontrados"),
          QString::fromUtf8("Ningún tema"), QString::fromUtf8("Está aquí"), QString::fromUtf8("Páginas vecinas"),
          QStringLiteral("Mostrar el contenido"), QString::fromUtf8("Ninguna página de esta ayuda responde a «%1»."), QString::fromUtf8("Apéndice: otras páginas"), QString::fromUtf8("Páginas encontradas: %1"), QString::fromUtf8("Resultados para «%1»"), QString::fromUtf8("Todas las páginas"), QString::fromUtf8("Tema: %1"), QString::fromUtf8("según el sistema"), QString::fromUtf8("claro"), QString::fromUtf8("oscuro")}},
        {QStringLiteral("it"),
         {QStringLiteral("it"), QStringLiteral("Sommario"), QStringLiteral("Indice"), QStringLiteral("Cerca"),
          QStringLiteral("Precedente"), QStringLiteral("Successivo"), QStringLiteral("Vai al testo"),
          QStringLiteral("Nessuna pagina contiene queste parole."), QStringLiteral("Argomenti trovati"),
          QStringLiteral("Nessun argomento"), QStringLiteral("Sei qui"), QStringLiteral("Pagine vicine"),
          QStringLiteral("Mostra il sommario"), QStringLiteral("Nessuna pagina di questa guida risponde a «%1»."), QStringLiteral("Appendice: altre pagine"), QString::fromUtf8("Pagine trovate: %1"), QString::fromUtf8("Risultati per «%1»"), QString::fromUtf8("Tutte le pagine"), QString::fromUtf8("Tema: %1"), QString::fromUtf8("come il sistema"), QString::fromUtf8("chiaro"), QString::fromUtf8("scuro")}},
        {QStringLiteral("nl"),
         {QStringLiteral("nl"), QStringLiteral("Inhoud"), QStringLiteral("Index"), QStringLiteral("Zoeken"), QStringLiteral("Vorige"),
          QStringLiteral("Volgende"), QStringLiteral("Naar de tekst"), QStringLiteral("Geen pagina bevat deze woorden."),
          QStringLiteral("Gevonden onderwerpen"), QStringLiteral("Geen onderwerpen"), QStringLiteral("U bent hier"),
          QStringLiteral("Nabije pagina's"), QStringLiteral("Inhoud tonen"), QString::fromUtf8("Geen pagina van deze help hoort bij „%1”."), QString::fromUtf8("Bijlage: andere pagina's"), QString::fromUtf8("Gevonden pagina's: %1"), QString::fromUtf8("Resultaten voor ‘%1’"), QString::fromUtf8("Alle pagina's"), QString::fromUtf8("Thema: %1"), QString::fromUtf8("zoals het systeem"), QString::fromUtf8("licht"), QString::fromUtf8("donker")}},
        {QStringLiteral("pt"),
         {QStringLiteral("pt"), QString::fromUtf8("Sumário"), QString::fromUtf8("Índice"), QStringLiteral("Pesquisar"),
          QStringLiteral("Anterior"), QStringLiteral("Seguinte"), QStringLiteral("Ir para o texto"),
          QString::fromUtf8("Nenhuma página contém estas palavras."), QString::fromUtf8("Tópicos encontrados"),
          QString::fromUtf8("Nenhum tópico"), QString::fromUtf8("Você está aqui"), QString::fromUtf8("Páginas vizinhas"),
          QString::fromUtf8("Mostrar o sumário"), QString::fromUtf8("Nenhuma página desta ajuda responde a «%1»."), QString::fromUtf8("Apêndice: outras páginas"), QString::fromUtf8("Páginas encontradas: %1"), QString::fromUtf8("Resultados para «%1»"), QString::fromUtf8("Todas as páginas"), QString::fromUtf8("Tema: %1"), QString::fromUtf8("como o sistema"), QString::fromUtf8("claro"), QString::fromUtf8("escuro")}},
        {QStringLiteral("pl"),
         {QStringLiteral("pl"), QString::fromUtf8("Spis treści"), QStringLiteral("Indeks"), QStringLiteral("Szukaj"),
          QStringLiteral("Poprzednia"), QString::fromUtf8("Następna"), QString::fromUtf8("Przejdź do tekstu"),
          QString::fromUtf8("Żadna strona nie zawiera tych słów."), QStringLiteral("Znalezione tematy"),
          QString::fromUtf8("Brak tematów"), QStringLiteral("Jesteś tutaj"), QStringLiteral("Strony obok"),
          QString::fromUtf8("Pokaż spis treści"), QString::fromUtf8("Żadna strona tej pomocy nie odpowiada „%1”."), QString::fromUtf8("Załącznik: inne strony"), QString::fromUtf8("Znalezione strony: %1"), QString::fromUtf8("Wyniki dla „%1”"), QString::fromUtf8("Wszystkie strony"), QString::fromUtf8("Motyw: %1"), QString::fromUtf8("jak w systemie"), QString::fromUtf8("jasny"), QString::fromUtf8("ciemny")}},
        {QStringLiteral("ru"),
         {QStringLiteral("ru"), QString::fromUtf8("Содержание"), QString::fromUtf8("Указатель"), QString::fromUtf8("Поиск"),
          QString::fromUtf8("Назад"), QString::fromUtf8("Далее"), QString::fromUtf8("Перейти к тексту"),
          QString::fromUtf8("Ни одна страница не содержит этих слов."), QString::fromUtf8("Найденные разделы"),
          QString::fromUtf8("Нет разделов"), QString::fromUtf8("Вы здесь"), QString::fromUtf8("Соседние страницы"),
          QString::fromUtf8("Показать содержание"), QString::fromUtf8("Ни одна страница этой справки не отвечает на «%1»."), QString::fromUtf8("Приложение: другие страницы"), QString::fromUtf8("Найдено страниц: %1"), QString::fromUtf8("Результаты для «%1»"), QString::fromUtf8("Все страницы"), QString::fromUtf8("Тема: %1"), QString::fromUtf8("как в системе"), QString::fromUtf8("светлая"), QString::fromUtf8("тёмная")}},
        {QStringLiteral("ar"),
         {QStringLiteral("ar"), QString::fromUtf8("المحتويات"), QString::fromUtf8("الفهرس"), QString::fromUtf8("بحث"), QString::fromUtf8("السابق"), QString::fromUtf8("التالي"), QString::fromUtf8("انتقل إلى النص"), QString::fromUtf8("لا توجد صفحة تحتوي على هذه الكلمات."), QString::fromUtf8("المواضيع التي تم العثور عليها"), QString::fromUtf8("لا توجد مواضيع"), QString::fromUtf8("أنت هنا"), QString::fromUtf8("صفحات مجاورة"), QString::fromUtf8("إظهار المحتويات"), QString::fromUtf8("لا توجد صفحة في هذه التعليمات تطابق «%1»."), QString::fromUtf8("ملحق: صفحات أخرى"), QString::fromUtf8("الصفحات التي تم العثور عليها: %1"), QString::fromUtf8("نتائج «%1»"), QString::fromUtf8("كل الصفحات"), QString::fromUtf8("المظهر: %1"), QString::fromUtf8("حسب النظام"), QString::fromUtf8("فاتح"), QString::fromUtf8("داكن")}},
        {QStringLiteral("he"),
         {QStringLiteral("he"), QString::fromUtf8("תוכן העניינים"), QString::fromUtf8("אינדקס"), QString::fromUtf8("חיפוש"), QString::fromUtf8("הקודם"), QString::fromUtf8("הבא"), QString::fromUtf8("דלג לטקסט"), QString::fromUtf8("אין דף שמכיל מילים אלה."), QString::fromUtf8("נושאים שנמצאו"), QString::fromUtf8("אין נושאים"), QString::fromUtf8("אתה נמצא כאן"), QString::fromUtf8("דפים סמוכים"), QString::fromUtf8("הצג את תוכן העניינים"), QString::fromUtf8("אין דף בעזרה זו שמתאים ל„%1”."), QString::fromUtf8("נספח: דפים אחרים"), QString::fromUtf8("דפים שנמצאו: %1"), QString::fromUtf8("תוצאות עבור „%1”"), QString::fromUtf8("כל הדפים"), QString::fromUtf8("ערכת נושא: %1"), QString::fromUtf8("לפי המערכת"), QString::fromUtf8("בהירה"), QString::fromUtf8("כהה")}},
        {QStringLiteral("el"),
         {QStringLiteral("el"), QString::fromUtf8("Περιεχόμενα"), QString::fromUtf8("Ευρετήριο"), QString::fromUtf8("Αναζήτηση"), QString::fromUtf8("Προηγούμενο"), QString::fromUtf8("Επόμενο"), QString::fromUtf8("Μετάβαση στο κείμενο"), QString::fromUtf8("Καμία σελίδα δεν περιέχει αυτές τις λέξεις."), QString::fromUtf8("Θέματα που βρέθηκαν"), QString::fromUtf8("Κανένα θέμα"), QString::fromUtf8("Βρίσκεστε εδώ"), QString::fromUtf8("Γειτονικές σελίδες"), QString::fromUtf8("Εμφάνιση περιεχομένων"), QString::fromUtf8("Καμία σελίδα αυτής της βοήθειας δεν αντιστοιχεί σε «%1»."), QString::fromUtf8("Παράρτημα: άλλες σελίδες"), QString::fromUtf8("Σελίδες που βρέθηκαν: %1"), QString::fromUtf8("Αποτελέσματα για «%1»"), QString::fromUtf8("Όλες οι σελίδες"), QString::fromUtf8("Θέμα: %1"), QString::fromUtf8("όπως το σύστημα"), QString::fromUtf8("φωτεινό"), QString::fromUtf8("σκοτεινό")}},
        {QStringLiteral("ja"),
         {QStringLiteral("ja"), QString::fromUtf8("目次"), QString::fromUtf8("索引"), QString::fromUtf8("検索"), QString::fromUtf8("前へ"), QString::fromUtf8("次へ"), QString::fromUtf8("本文へ移動"), QString::fromUtf8("該当するページはありません。"), QString::fromUtf8("見つかったトピック"), QString::fromUtf8("トピックはありません"), QString::fromUtf8("現在位置"), QString::fromUtf8("近くのページ"), QString::fromUtf8("目次を表示"), QString::fromUtf8("このヘルプには「%1」に該当するページがありません。"), QString::fromUtf8("付録: その他のページ"), QString::fromUtf8("見つかったページ: %1"), QString::fromUtf8("「%1」の検索結果"), QString::fromUtf8("すべてのページ"), QString::fromUtf8("テーマ: %1"), QString::fromUtf8("システムに合わせる"), QString::fromUtf8("ライト"), QString::fromUtf8("ダーク")}},
        {QStringLiteral("ko"),
         {QStringLiteral("ko"), QString::fromUtf8("목차"), QString::fromUtf8("색인"), QString::fromUtf8("검색"), QString::fromUtf8("이전"), QString::fromUtf8("다음"), QString::fromUtf8("본문으로 건너뛰기"), QString::fromUtf8("이 단어가 포함된 페이지가 없습니다."), QString::fromUtf8("찾은 항목"), QString::fromUtf8("항목 없음"), QString::fromUtf8("현재 위치"), QString::fromUtf8("주변 페이지"), QString::fromUtf8("목차 보기"), QString::fromUtf8("이 도움말에는 “%1”에 해당하는 페이지가 없습니다."), QString::fromUtf8("부록: 기타 페이지"), QString::fromUtf8("찾은 페이지: %1"), QString::fromUtf8("“%1” 검색 결과"), QString::fromUtf8("모든 페이지"), QString::fromUtf8("테마: %1"), QString::fromUtf8("시스템 설정"), QString::fromUtf8("밝게"), QString::fromUtf8("어둡게")}},
        {QStringLiteral("zh"),
         {QStringLiteral("zh"), QString::fromUtf8("目录"), QString::fromUtf8("索引"), QString::fromUtf8("搜索"), QString::fromUtf8("上一页"), QString::fromUtf8("下一页"), QString::fromUtf8("跳到正文"), QString::fromUtf8("没有页面包含这些词。"), QString::fromUtf8("找到的主题"), QString::fromUtf8("没有主题"), QString::fromUtf8("当前位置"), QString::fromUtf8("相邻页面"), QString::fromUtf8("显示目录"), QString::fromUtf8("本帮助中没有与“%1”对应的页面。"), QString::fromUtf8("附录：其他页面"), QString::fromUtf8("找到的页面：%1"), QString::fromUtf8("“%1”的搜索结果"), QString::fromUtf8("所有页面"), QString::fromUtf8("主题：%1"), QString::fromUtf8("跟随系统"), QString::fromUtf8("浅色"), QString::fromUtf8("深色")}},
    };
    if (tag.isEmpty())
        return all.value(QStringLiteral("fr"));
    return all.value(tag.section(u'-', 0, 0).toLower(), all.value(QStringLiteral("en")));
}

QString jsString(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\')
            out += u'\\' + QString(c);
        else if (c.unicode() < 0x20 || c.unicode() == 0x2028 || c.unicode() == 0x2029 || c == u'<')
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out + u'"';
}

namespace {

double luminance(const QColor &c)
{
    const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

// The dark scheme's own background and text (the style sheet's).
const QColor kDarkBackground(0x1b, 0x1c, 0x1e);
const QColor kDarkText(0xe6, 0xe6, 0xe6);

// `colour` for the dark scheme: a light text colour is kept, a dark one
// (step > 0) takes the mirrored lightness; the reverse for a background
// (step < 0). Then its lightness moves by `step` until it has a contrast of
// 4.5 with `other`, or lightness runs out.
QColor movedUntilReadable(const QColor &colour, const QColor &other, double step)
{
    float h = 0, s = 0, l = 0, a = 0;
    colour.toHsl().getHslF(&h, &s, &l, &a);
    if ((step > 0) == (l < 0.5f))
        l = 1 - l;
    QColor moved = QColor::fromHslF(h < 0 ? 0 : h, s, l).toRgb();
    while (contrastRatio(moved, other) < 4.5 && (step < 0 ? l > 0 : l < 1)) {
        l = float(qBound(0.0, l + step, 1.0));
        moved = QColor::fromHslF(h < 0 ? 0 : h, s, l).toRgb();
    }
    return moved;
}

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

QColor darkTextColour(const QColor &colour) { return movedUntilReadable(colour, kDarkBackground, 0.02); }

QColor darkBackground(const QColor &colour) { return movedUntilReadable(colour, kDarkText, -0.02); }

} // namespace Hlp
