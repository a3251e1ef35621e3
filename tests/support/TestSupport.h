#pragma once
// Helpers shared by the test executables.
#include "editing/OutlineView.h"
#include "editing/REditServ.h"
#include "platform/Prompts.h"

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <QtTest/QtTest>

namespace TestSupport {

// Installs scripted prompts for the life of the object.
class ScriptedScope {
public:
    ScriptedScope() { Platform::setPrompts(&prompts); }
    // Only the prompts it installed are removed: a scope made after it
    // (the next test's) stays in place.
    ~ScriptedScope()
    {
        if (&Platform::prompts() == &prompts)
            Platform::setPrompts(nullptr);
    }
    Platform::ScriptedPrompts prompts;
};

// A temporary folder that is also the current directory and the
// configuration folder while the object lives.
class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    QString path(const QString &name = {}) const;
    bool isValid() const { return m_dir.isValid(); }

private:
    QTemporaryDir m_dir;
    QString m_oldCwd;
};

QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &bytes);
// An executable shell script (a stand-in compiler, a program to run).
QString makeScript(const QString &path, const QByteArray &body);

// Appends a command line to the project; returns its index.
int appendCommand(TCProject &project, const QString &line);

// A new topic of the view's project, last child of `parent` (the top level
// when null), with this plain text.
TTopic *addTopic(TOutlineView &tree, const QString &name, const QString &text = {}, TTopic *parent = nullptr);

// A project shown as the window shows it: its outline view and the editor
// of the current topic, on a hidden panel.
struct OutlineRig {
    OutlineRig();
    // A new topic, last child of `parent` (the top level when null), with
    // this plain text.
    TTopic *add(const QString &name, const QString &text = {}, TTopic *parent = nullptr)
    {
        return addTopic(tree, name, text, parent);
    }
    // The text of topic n (1-based), parsed and kept as the editor would.
    QTextDocument *doc(int position) { return tree.FDocumentOf(project.FTopicAt(position)); }
    QString text(int position) { return tree.FPlainTextOf(project.FTopicAt(position)); }

    QWidget panel;
    TCProject project;
    TRichEdit editor{&panel};
    TOutlineView tree{&project};
};

} // namespace TestSupport

// Fails the current test when a box came without a queued answer, or when
// answers were left unused.
#define CHECK_PROMPTS_DONE(scope)                                                          \
    do {                                                                                   \
        QVERIFY2((scope).prompts.unexpected().isEmpty(),                                    \
                 qPrintable((scope).prompts.unexpected().join(QStringLiteral("; "))));     \
        QCOMPARE((scope).prompts.pending(), 0);                                            \
    } while (0)
