// Every test program starts the decoding libraries once, as the programs do at start-up.
#include <gtest/gtest.h>

#include "engine/jobs/decoding_libraries.h"

namespace {

class DecodingLibraries : public ::testing::Environment {
 public:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(sonorell::StartDecodingLibraries(error)) << error;
  }
  void TearDown() override { sonorell::StopDecodingLibraries(); }
};

// The framework owns environments and deletes them at exit.
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new DecodingLibraries);

}  // namespace
