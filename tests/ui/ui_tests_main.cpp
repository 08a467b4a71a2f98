// Runs every window test class on one application object, with the decoding libraries
// started as the program starts them.
#include <QApplication>
#include <QStringList>
#include <QTest>
#include <cstdio>
#include <string>

#include "engine/jobs/decoding_libraries.h"
#include "tests/ui/ui_test_registry.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Sonorell"));
  std::string error;
  if (!sonorell::StartDecodingLibraries(error)) {
    std::fprintf(stderr, "decoding libraries: %s\n", error.c_str());
    return 1;
  }
  // SONORELL_UI_ONLY=ClassA,ClassB runs just those classes (the large-font run uses it).
  const QStringList only = qEnvironmentVariable("SONORELL_UI_ONLY").split(',', Qt::SkipEmptyParts);
  int failures = 0;
  for (const auto& factory : sonorell::testing::UiTests()) {
    const std::unique_ptr<QObject> test = factory();
    if (!only.isEmpty() &&
        !only.contains(
            QString::fromUtf8(test->metaObject()->className()).section(QStringLiteral("::"), -1))) {
      continue;
    }
    failures += QTest::qExec(test.get(), argc, argv);
  }
  sonorell::StopDecodingLibraries();
  return failures;
}
