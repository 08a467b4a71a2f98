#pragma once

#include <string>

#include "engine/dsp/sample_converter.h"

namespace sonorell {

// How the blocks of one file are conditioned between source and writer, decided once
// when the file is opened.
struct ConditioningPlan {
  PcmFormat source;       // as the source delivers it (its output channels)
  PcmFormat output;       // as the writer receives it
  int pickedChannel = 0;  // 1 left, 2 right: one channel of a stereo source, unmixed
  int monoType = 0;       // the user's choice that decided pickedChannel
  bool convert = false;   // rate, width or channel count change through the converter
  bool gain = false;
  float gainFactor = 1.0f;
};

// The plan for an output of the wanted format, whose zero fields mean "as the source".
// A stereo source becomes mono by the user's MonoType: 1 and 2 pick the left or right
// channel, anything else mixes (L+R)/2 in the converter.
ConditioningPlan PlanConditioning(const PcmFormat& source, const PcmFormat& wanted, int monoType,
                                  bool amplify, int coefficientPercent);

// The plan for the same output from a source that goes on in another format (a chained
// part): the output, the mono choice and the gain stay.
ConditioningPlan ReplanForSource(const ConditioningPlan& plan, const PcmFormat& source);

// False, with the failure note "the source's sample rate N Hz cannot be made into <what>",
// when the two rates are too far apart for the resampler (or the source has no rate).
bool CheckRatesConvertible(int sourceRate, int outputRate, const std::string& what);

}  // namespace sonorell
