// Saves a generated project again and again, the way the program saves one,
// so that a test can kill it at any moment and check what is left on disk.
//
//   kivhelp_savestress DIRPATH TOPICS FIRST_ROUND [ROUNDS]
//
// With KIVHELP_NO_EXCHANGE=1 in the environment, backup saves take the
// two-rename path of file systems that cannot exchange two names; with
// KIVHELP_KILL_AT_RENAME=N the program kills itself at the Nth rename or
// removal of a save's commit.
// The project DIRPATH/Stress holds TOPICS topics ("Page 1" ...), nested
// three to a chapter; on odd rounds a topic "Intercalaire" comes second, so
// that every later topic changes its number (and its file name). Each topic
// of round r holds StressText(name, r). Even rounds are backup saves, odd
// rounds ordinary saves. Before each save the program prints "round R", after
// it "saved R" (or "failed R"), and flushes.
#include "config/Globale.h"
#include "editing/TopicDocument.h"
#include "fileops/DosCmd.h"
#include "fileops/PrjFolder.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"
#include "platform/SafeFile.h"
#include "formats/KivHelpTools.h"
#include "project/Outline.h"
#include "project/PrjLife.h"
#include "sequencer/Headless.h"
#include "StressProject.h"

#include <QApplication>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <csignal>
#include <cstdio>

using namespace KIVHelpTools;

namespace {

void build(TCProject &project, const QFont &font, const QStringList &names, int round)
{
    QList<Outline::TLine> lines;
    for (int i = 0; i < names.size(); ++i)
        lines.append({i == 0 ? 1 : i % 4 == 1 || i < 2 ? 2 : 3, names[i]});
    project.PSetLines(lines);
    for (int i = 0; i < names.size(); ++i)
        project.FTopicAt(i + 1)->PSetBytes(TTopicDocument::FRtfOf(StressText(names[i], round), font));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: kivhelp_savestress DIRPATH TOPICS FIRST_ROUND [ROUNDS]\n");
        return 2;
    }
    const QString dirPath = args[1];
    const int topics = args[2].toInt();
    const int first = args[3].toInt();
    const int rounds = args.size() > 4 ? args[4].toInt() : 1 << 30;

    THeadless headless(dirPath);
    FileOps::setExchangeForTest(qEnvironmentVariableIntValue("KIVHELP_NO_EXCHANGE") == 0);
    if (const int killAt = qEnvironmentVariableIntValue("KIVHELP_KILL_AT_RENAME"); killAt > 0)
        Platform::setRenameHookForTest([killAt, count = 0]() mutable {
            if (++count == killAt)
                std::raise(SIGKILL);
        });
    TConfBlock *conf = headless.conf;
    conf->PIni->BACKUP_PERIOD = 1;
    conf->PIni->CREATE_CNT = true;
    const TDisplayContext &display = headless.display;
    TPrjRec *prj = conf->PPrj;
    const QString dir = dirPath + QStringLiteral("/Stress");
    if (!QFileInfo(dir).isDir() && FCreatePrj(QStringLiteral("Stress"), conf, display).Category != 0)
        return 1;
    prj->PrjDir.set(dir);
    prj->PrjComDir.set(dir + QStringLiteral(".COM"));
    prj->PrjName.set(QStringLiteral("Stress"));
    prj->PrjFile.set(dir + QStringLiteral("/Stress.PRJ"));

    for (int round = first; round < first + rounds; ++round) {
        build(headless.project, headless.tree.textFont(), StressNames(topics, round), round);
        // Backup and ordinary saves alternate.
        prj->PrjSaveCount = round % 2 == 0 ? 1 : 0;
        std::printf("round %d\n", round);
        std::fflush(stdout);
        const bool ok = FSavePrj(prj->PrjFile.get(), conf, display).Category == 0;
        std::printf("%s %d\n", ok ? "saved" : "failed", round);
        std::fflush(stdout);
        if (!ok)
            return 1;
    }
    return 0;
}
