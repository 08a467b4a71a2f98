#pragma once

#include <string>
#include <vector>

#include "engine/encoders/encoder_entry.h"
#include "tests/support/generated_source.h"

namespace sonorell::testing {

// How a test encoder behaves: it reads a generated source through the shared block loop
// and writes interleaved raw PCM through a staged output, as the real encoders do.
struct TestEncoderPlan {
  GeneratedSource::Shape shape;
  int failAfterBlocks = -1;   // an encoder error after this many blocks
  bool succeedEmpty = false;  // claims success but writes nothing
  bool failToOpenSource = false;
  std::string failureNote;  // left when the source cannot be opened
};

// Calls of the encoder, for the tests to look at.
struct TestEncoderLog {
  std::vector<int> runFileNumbers;
  std::vector<std::string> sources;
  std::vector<std::string> targets;
};

EncoderFunction MakeTestEncoder(const TestEncoderPlan& plan, TestEncoderLog& log);

}  // namespace sonorell::testing
