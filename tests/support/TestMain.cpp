#include "TestRegistry.h"

#include <QApplication>
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
    QApplication app(argc, argv);
    int failures = 0;
    for (const auto &make : TestSupport::testFactories()) {
        std::unique_ptr<QObject> test(make());
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
