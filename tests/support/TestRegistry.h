#pragma once
// Several Qt Test classes in one executable: each file registers its class
// with KIV_TEST, and the shared main runs them all in turn.
#include <QObject>
#include <functional>
#include <vector>

namespace TestSupport {
std::vector<std::function<QObject *()>> &testFactories();
struct Registrar {
    explicit Registrar(std::function<QObject *()> make) { testFactories().push_back(std::move(make)); }
};
} // namespace TestSupport

#define KIV_TEST(Class) static TestSupport::Registrar kivRegistrar##Class([] { return new Class; });
