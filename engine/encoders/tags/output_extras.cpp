#include "engine/encoders/tags/output_extras.h"

namespace sonorell {

ExtraTags OutputExtras(int, const TagDefaults&, InputTypeCode, const std::string&,
                       const EncodeContext&) {
  return {};
}

}  // namespace sonorell
