#include "engine/encoders/conditioning_plan.h"

#include "engine/dsp/gain.h"
#include "engine/sources/failure_note.h"

namespace sonorell {

ConditioningPlan PlanConditioning(const PcmFormat& source, const PcmFormat& wanted, int monoType,
                                  bool amplify, int coefficientPercent) {
  ConditioningPlan plan;
  plan.source = source;
  plan.output.rate = wanted.rate > 0 ? wanted.rate : source.rate;
  plan.output.channels = wanted.channels > 0 ? wanted.channels : source.channels;
  plan.output.bits = wanted.bits > 0 ? wanted.bits : source.bits;
  const bool reduces = source.channels > plan.output.channels;
  const bool picks = reduces && (monoType == 1 || monoType == 2);
  plan.pickedChannel = picks ? monoType : 0;
  plan.monoType = monoType;
  plan.convert = plan.output.rate != source.rate || plan.output.bits != source.bits ||
                 source.channels < plan.output.channels || (reduces && !picks);
  plan.gain = GainApplies(amplify, coefficientPercent);
  plan.gainFactor = GainFactor(coefficientPercent);
  return plan;
}

ConditioningPlan ReplanForSource(const ConditioningPlan& plan, const PcmFormat& source) {
  ConditioningPlan next = PlanConditioning(source, plan.output, plan.monoType, false, 100);
  next.gain = plan.gain;
  next.gainFactor = plan.gainFactor;
  return next;
}

bool CheckRatesConvertible(int sourceRate, int outputRate, const std::string& what) {
  const long long in = sourceRate;
  const long long out = outputRate;
  const long long factor = SampleConverter::kMaxRateFactor;
  if (in > 0 && out > 0 && in <= out * factor && out <= in * factor) return true;
  SetFailureNote("the source's sample rate " + std::to_string(in) + " Hz cannot be made into " +
                 what);
  return false;
}

}  // namespace sonorell
