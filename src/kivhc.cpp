// kivhc PROJECT.HPJ: compiles a help project into PROJECT.HLP beside it.
#include "compiler/HelpCompiler.h"
#include "platform/SafeFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: kivhc PROJET.HPJ\n");
        return 2;
    }
    const QString hpj = args.first();
    std::printf("Compilation de %s\n", qPrintable(hpj));
    Hlp::TCompileResult r = Hlp::compileProject(hpj);
    const QFileInfo info(hpj);
    const QString hlp = info.absolutePath() + u'/' + info.completeBaseName() + QStringLiteral(".HLP");
    if (r.ok) {
        QString error;
        if (!Platform::writeFileAtomic(hlp, r.hlp, &error)) {
            r.messages << QStringLiteral("HC1003: Error: %1 : écriture impossible (%2).").arg(hlp, error);
            ++r.errors;
            r.ok = false;
        }
    }
    for (const QString &m : r.messages)
        std::printf("%s\n", qPrintable(m));
    std::printf("%d page(s), %d saut(s), %d mot(s)-clé(s)\n", r.topics, r.jumps, r.keywords);
    std::printf("%d erreur(s), %d avertissement(s)\n", r.errors, r.warnings);
    if (r.ok)
        std::printf("Fichier d'aide écrit : %s\n", qPrintable(hlp));
    return r.ok ? 0 : 1;
}
