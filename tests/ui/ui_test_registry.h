#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

namespace sonorell::testing {

// Every window test class of the one test program; the program's main runs them in turn.
using UiTestFactory = std::function<std::unique_ptr<QObject>()>;

inline std::vector<UiTestFactory>& UiTests() {
  static std::vector<UiTestFactory> tests;
  return tests;
}

struct UiTestRegistration {
  explicit UiTestRegistration(UiTestFactory factory) { UiTests().push_back(std::move(factory)); }
};

}  // namespace sonorell::testing

#define SONORELL_UI_TEST(Class)                                          \
  static const ::sonorell::testing::UiTestRegistration kRegister##Class( \
      [] { return std::unique_ptr<QObject>(std::make_unique<Class>()); })
