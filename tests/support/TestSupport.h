#pragma once
// Helpers shared by the test executables.
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

} // namespace TestSupport

// Fails the current test when a box came without a queued answer, or when
// answers were left unused.
#define CHECK_PROMPTS_DONE(scope)                                                          \
    do {                                                                                   \
        QVERIFY2((scope).prompts.unexpected().isEmpty(),                                    \
                 qPrintable((scope).prompts.unexpected().join(QStringLiteral("; "))));     \
        QCOMPARE((scope).prompts.pending(), 0);                                            \
    } while (0)
