#pragma once
// The generated project that kivhelp_savestress saves again and again and
// that its test checks: topic names and texts for each round.
#include <QString>
#include <QStringList>

// The topics of a round: "Stress" (the root), "Page 2" ..., with
// "Intercalaire" second on odd rounds so that later topics change number.
inline QStringList StressNames(int topics, int round)
{
    QStringList names{QStringLiteral("Stress")};
    if (round % 2 != 0)
        names << QStringLiteral("Intercalaire");
    for (int i = 2; names.size() < topics; ++i)
        names << QStringLiteral("Page %1").arg(i);
    return names;
}

// A text that says which topic and round it belongs to, a few KB long and
// with accented letters, so that a torn or mixed file cannot pass for it.
inline QString StressText(const QString &name, int round)
{
    QString text = name + QStringLiteral(" | tour %1 |").arg(round);
    const QString line = QString::fromUtf8(" Texte de la page « %1 », écrit au tour %2 : déjà sauvegardé ?").arg(name).arg(round);
    for (int i = 0; i < 20 + (round + int(name.size())) % 30; ++i)
        text += line;
    return text;
}

// The round a text was written at, or -1 when it is no text of that topic.
inline int StressRound(const QString &name, const QString &text)
{
    const QString head = name + QStringLiteral(" | tour ");
    if (!text.startsWith(head))
        return -1;
    bool ok = false;
    const int round = text.mid(head.size()).section(u' ', 0, 0).toInt(&ok);
    return ok && text == StressText(name, round) ? round : -1;
}
