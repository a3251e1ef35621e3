#include "TestRegistry.h"
#include "ui/QtPrompts.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest/QtTest>
#include <memory>

namespace TestSupport {
std::vector<std::function<QObject *()>> &testFactories()
{
    static std::vector<std::function<QObject *()>> factories;
    return factories;
}
} // namespace TestSupport

int main(int argc, char **argv)
{
    // Nothing a test does reaches the real home folder (~/KivHelp, settings).
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    QApplication app(argc, argv);
    // A box no test answered shows as the window would show it.
    Platform::QtPrompts windowBoxes;
    Platform::setDefaultPrompts(&windowBoxes);
    int failures = 0;
    // KIVHELP_TEST_CLASS=TestPdf runs that class alone.
    const QByteArray only = qgetenv("KIVHELP_TEST_CLASS");
    for (const auto &make : TestSupport::testFactories()) {
        std::unique_ptr<QObject> test(make());
        if (!only.isEmpty() && only != test->metaObject()->className())
            continue;
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
