#include "formats/ProjectFiles.h"

#include "config/Globale.h"
#include "formats/TextConv.h"
#include "fileops/PrjFolder.h"
#include "formats/OutlineFile.h"
#include "platform/Cp1252.h"
#include "platform/SafeFile.h"
#include "formats/CommandFile.h"

#include <QFileInfo>
#include <QHash>

namespace ProjectFiles {

namespace {
const char *const kLoadFailed = "Fichier manquant ou mémoire pleine.Le chargement du projet a échoué ! ";
}

QString FTopicFileName(const QString &dir, const QString &topicName, int position)
{
    return dir + u'/' + topicName + u'.' + QString::number(position);
}

bool FReadTopics(const QString &projectFile, TCProject &project, TReadFailure *failure)
{
    const auto fail = [&](const QString &shown, const QString &msg, quint8 category = 7) {
        *failure = TReadFailure{shown, msg, category, 4};
        return false;
    };
    QByteArray bytes;
    const Outline::TParse parsed =
        Platform::readWholeFile(projectFile, &bytes) ? Outline::FParse(bytes) : Outline::TParse{false, 0, {}, {}};
    if (!parsed.ok)
        return fail(QString::fromUtf8(kLoadFailed), projectFile);
    // A name that cannot be a file of this folder ("../x", "", a leading
    // blank, characters the outline file cannot hold) refuses the file
    // before anything is read through it.
    for (qsizetype i = 0; i < parsed.lines.size(); ++i) {
        const QString problem = TextConv::FTopicNameProblem(parsed.lines[i].text);
        if (!problem.isEmpty())
            return fail(QString::fromUtf8("Le fichier %1 ne peut pas être ouvert : ligne %2, « %3 » : %4")
                            .arg(projectFile)
                            .arg(i + 1)
                            .arg(parsed.lines[i].text.left(80), problem),
                        QStringLiteral("%1 (ligne %2)").arg(projectFile).arg(i + 1));
    }
    if (parsed.lines.size() > MaxTopics)
        return fail(QString::fromUtf8("Le fichier %1 ne peut pas être ouvert : il compte %2 pages, %3 au plus.")
                        .arg(projectFile)
                        .arg(parsed.lines.size())
                        .arg(MaxTopics),
                    projectFile);
    if (parsed.lines.isEmpty()) {
        fail(QString::fromUtf8(kLoadFailed), QStringLiteral("After loading"), 4);
        failure->code = 0;
        return false;
    }
    project.PSetLines(parsed.lines);
    const QString dir = QFileInfo(projectFile).absolutePath();
    for (int n = 1; n <= project.FCount(); ++n) {
        TTopic *topic = project.FTopicAt(n);
        const QString file = FTopicFileName(dir, topic->name, n);
        QByteArray rtf;
        QString error;
        if (!Platform::readWholeFile(file, &rtf, &error))
            return fail(QString::fromUtf8(kLoadFailed) + QStringLiteral("\n") + file + QStringLiteral(" : ") + error, file);
        topic->PSetBytes(rtf);
        topic->PMarkSaved(file, topic->revision());
    }
    PReadKeywords(KIVHelpTools::FPrjCompanion(projectFile, QStringLiteral(".KEY")), project);
    project.outlineChanged = false;
    return true;
}

bool FReadCommands(const QString &file, QStringList *commands)
{
    QByteArray bytes;
    if (!Platform::readWholeFile(file, &bytes))
        return false;
    *commands = CommandFile::FSplitCmdLines(bytes);
    return true;
}

void PReadKeywords(const QString &file, TCProject &project)
{
    QByteArray bytes;
    if (Platform::readWholeFile(file, &bytes))
        PSetKeywords(bytes, project);
}

void PSetKeywords(const QByteArray &bytes, TCProject &project)
{
    QHash<QString, TTopic *> byName;
    for (int n = 1; n <= project.FCount(); ++n)
        byName.insert(project.FTopicAt(n)->name, project.FTopicAt(n));
    for (QByteArray line : bytes.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const qsizetype tab = line.indexOf('\t');
        if (tab <= 0)
            continue;
        if (TTopic *topic = byName.value(QString::fromUtf8(line.left(tab))))
            topic->keywords = CommandFile::FOneLine(QString::fromUtf8(line.mid(tab + 1))).trimmed();
    }
}

QByteArray FKeywordsBytes(const TCProject &project)
{
    QByteArray out;
    for (int n = 1; n <= project.FCount(); ++n) {
        const TTopic *topic = project.FTopicAt(n);
        const QString keywords = CommandFile::FOneLine(topic->keywords).trimmed();
        if (!keywords.isEmpty())
            out += topic->name.toUtf8() + '\t' + keywords.toUtf8() + "\r\n";
    }
    return out;
}

} // namespace ProjectFiles
