// kivhc PROJECT.HPJ: compiles a help project into PROJECT.HLP beside it.
// This file reads the command line; the compiler's driver does the work.
// Its messages are printed and kept in PROJECT.ERR (or the file named by
// the ERRORLOG option), where the authoring program finds them.
// kivhc --format html|chm|pdf FILE.HLP: a compiled help file as web pages,
// a compiled HTML Help file or a printable manual; kivhc --decompile FILE.HLP [-o DIR]: as a help
// project again.
#include "compiler/HelpCompiler.h"

#include <QGuiApplication>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>

// A compiled help file to web pages, a .CHM, a manual or a project: its
// report on the standard output, its errors on the error output.
int fromHelpFile(const QFileInfo &file, const QString &format, const QString &out, const QString &paper)
{
    const Hlp::THelpFilePublished r = Hlp::publishHelpFile(file.filePath(), format, out, paper);
    for (const QString &line : r.report)
        std::printf("%s\n", qPrintable(line));
    for (const QString &e : r.errors)
        std::fprintf(stderr, "kivhc : %s\n", qPrintable(e));
    return r.code;
}

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
    // --format hlp|html|chm|pdf, -o OUT: the output and where it goes (HTML: a
    // folder, PROJECT_html beside the project by default).
    QString format = QStringLiteral("hlp"), out;
    // --decompile HELP.HLP: the help project again (HELP_src/ by default).
    if (args.removeAll(QStringLiteral("--decompile")) > 0)
        format = QStringLiteral("decompile");
    // --map-out FILE.json: the context names and [MAP] numbers for
    // programs; --map-check PREVIOUS.json [--strict]: those of an earlier
    // build that disappeared or moved, as warnings (errors with --strict).
    options.mapStrict = args.removeAll(QStringLiteral("--strict")) > 0;
    for (qsizetype i = 0; i + 1 < args.size();) {
        if (args[i] == QLatin1String("--map-out") || args[i] == QLatin1String("--map-check")) {
            (args[i] == QLatin1String("--map-out") ? options.mapOut : options.mapCheck) = QFileInfo(args[i + 1]).absoluteFilePath();
            args.remove(i, 2);
        } else if (args[i] == QLatin1String("--paper")) {
            // --paper a4|letter: the manual's sheet (the system's by default).
            options.paper = args[i + 1].toLower();
            args.remove(i, 2);
        } else if (args[i] == QLatin1String("--format") || args[i] == QLatin1String("-o")) {
            (args[i] == QLatin1String("-o") ? out : format) = args[i + 1];
            args.remove(i, 2);
        } else {
            ++i;
        }
    }
    // Several outputs ("hlp,html,pdf") are written from one reading of
    // the project, each to its default place.
    const QStringList formats = format.split(u',', Qt::SkipEmptyParts);
    bool known = !formats.isEmpty() && (formats.size() == 1 || out.isEmpty());
    for (const QString &f : formats)
        known = known && (f == QLatin1String("hlp") || f == QLatin1String("html") || f == QLatin1String("chm") || f == QLatin1String("pdf")
                          || (f == QLatin1String("decompile") && formats.size() == 1));
    if (!options.paper.isEmpty() && options.paper != QLatin1String("a4") && options.paper != QLatin1String("letter"))
        known = false;
    if (args.size() != 1 || args.first().startsWith(u'-') || !known) {
        std::fprintf(stderr, "usage: kivhc [--missing-files=warning] [--safe] [--format hlp|html|chm|pdf[,...]] [-o SORTIE]\n"
                             "             [--map-out CONTEXTES.json] [--map-check PRECEDENTS.json [--strict]]\n"
                             "             [--paper a4|letter] PROJET.HPJ\n"
                             "       kivhc --format html|chm|pdf [--paper a4|letter] [-o SORTIE] AIDE.HLP\n"
                             "       kivhc --decompile [-o DOSSIER] AIDE.HLP\n"
                             "       (-o avec un seul format)\n");
        return 2;
    }
    const QString hpj = args.first();
    const QFileInfo project(hpj);
    if (project.suffix().compare(QLatin1String("hlp"), Qt::CaseInsensitive) == 0) {
        if (!options.mapOut.isEmpty() || !options.mapCheck.isEmpty()) {
            std::fprintf(stderr, "kivhc : --map-out et --map-check se donnent avec un projet (.HPJ).\n");
            return 2;
        }
        if (formats.size() != 1) {
            std::fprintf(stderr, "kivhc : un fichier d'aide se publie dans un seul format à la fois.\n");
            return 2;
        }
        return fromHelpFile(project, format, out, options.paper);
    }
    std::printf("Compilation de %s\n", qPrintable(hpj));
    const Hlp::THelpRead read = Hlp::readHelpProject(hpj, options);
    QList<Hlp::TCompileOptions> outputs;
    QList<Hlp::TCompileResult> results;
    for (const QString &f : formats) {
        Hlp::TCompileOptions o = options;
        const QString beside = project.absolutePath() + u'/' + project.completeBaseName();
        const QString given = out.isEmpty() ? QString() : QFileInfo(out).absoluteFilePath();
        if (f == QLatin1String("html")) {
            o.output = Hlp::TOutput::Html;
            o.outputDir = given.isEmpty() ? beside + QStringLiteral("_html") : given;
        } else if (f == QLatin1String("pdf")) {
            // The manual goes to -o (PROJECT.pdf beside the project by default).
            o.output = Hlp::TOutput::Pdf;
            o.pdfFile = given.isEmpty() ? beside + QStringLiteral(".pdf") : given;
        } else if (f == QLatin1String("chm")) {
            // The pages are made in a temporary folder, the file goes to -o
            // (PROJECT.chm beside the project by default).
            o.output = Hlp::TOutput::Chm;
            o.chmFile = given.isEmpty() ? beside + QStringLiteral(".chm") : given;
        }
        outputs << o;
        results << Hlp::writeHelpOutput(read, o);
    }
    for (const QString &line : Hlp::writeCompiled(hpj, read, outputs, results))
        std::printf("%s\n", qPrintable(line));
    return std::all_of(results.cbegin(), results.cend(), [](const Hlp::TCompileResult &r) { return r.ok; }) ? 0 : 1;
}
