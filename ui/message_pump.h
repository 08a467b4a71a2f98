#pragma once

namespace sonorell {

// Handles every pending window event and returns at once; the only way the windows stay
// alive while a run works on the one thread.
void PumpMessages();

}  // namespace sonorell
