// kivhc PROJECT.HPJ: compiles a help project into PROJECT.HLP beside it.
// Its messages are printed and kept in PROJECT.ERR (or the file named by
// the ERRORLOG option), where the authoring program finds them.
#include "compiler/HelpCompiler.h"

#include <QGuiApplication>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char **argv)
{
    // Pictures written as metafiles are drawn with fonts, which need a
    // GUI application; no display is used.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own notices (a missing runtime folder...) are not the compiler's.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    Hlp::TCompileOptions options;
    // --missing-files=warning: a topic file that cannot be read leaves its
    // topics out with a warning instead of stopping the build.
    options.missingFilesAreWarnings = args.removeAll(QStringLiteral("--missing-files=warning")) > 0;
    // --safe: a project from elsewhere reads and writes nothing outside its folder.
    options.safe = args.removeAll(QStringLiteral("--safe")) > 0;
    // --format hlp|html, -o OUT: the output and where it goes (HTML: a
    // folder, PROJECT_html beside the project by default).
    QString format = QStringLiteral("hlp"), out;
    for (qsizetype i = 0; i + 1 < args.size();) {
        if (args[i] == QLatin1String("--format") || args[i] == QLatin1String("-o")) {
            (args[i] == QLatin1String("-o") ? out : format) = args[i + 1];
            args.remove(i, 2);
        } else {
            ++i;
        }
    }
    if (args.size() != 1 || args.first().startsWith(u'-') || (format != QLatin1String("hlp") && format != QLatin1String("html") && format != QLatin1String("chm"))) {
        std::fprintf(stderr, "usage: kivhc [--missing-files=warning] [--safe] [--format hlp|html|chm] [-o SORTIE] PROJET.HPJ\n");
        return 2;
    }
    const QString hpj = args.first();
    const QFileInfo project(hpj);
    if (format == QLatin1String("html")) {
        options.output = Hlp::TOutput::Html;
        options.outputDir = out.isEmpty() ? project.absolutePath() + u'/' + project.completeBaseName() + QStringLiteral("_html")
                                          : QFileInfo(out).absoluteFilePath();
    } else if (format == QLatin1String("chm")) {
        // The pages are made in a temporary folder, the file goes to -o
        // (PROJECT.chm beside the project by default).
        options.output = Hlp::TOutput::Chm;
        options.chmFile = out.isEmpty() ? project.absolutePath() + u'/' + project.completeBaseName() + QStringLiteral(".chm")
                                        : QFileInfo(out).absoluteFilePath();
    }
    std::printf("Compilation de %s\n", qPrintable(hpj));
    Hlp::TCompileResult r = Hlp::compileProject(hpj, options);
    for (const QString &line : Hlp::writeCompiled(hpj, options, r))
        std::printf("%s\n", qPrintable(line));
    return r.ok ? 0 : 1;
}
