#pragma once

#include <string_view>

#include "engine/encoders/wma/wma_profile_list.h"
#include "platform/wmf/wm_types.h"

namespace sonorell {

// True for a codec format the WMA output offers: not one meant for audio with video
// ("(A/V)" in its description, in any case), of the standard or the Professional Windows
// Media Audio codec, with one or two channels.
bool AdmitsCodecFormat(std::u16string_view description, const platform::wm::WM_MEDIA_TYPE& type);

// Fills the list from the Windows Media runtime's codec list; the entries found before a
// failing runtime call are kept. False when the runtime is not loaded or the enumeration
// could not start.
bool BuildProfileList(WmaProfileList& list);

// The one list of the process, read by the WMA page and the encode loop and rebuilt each
// time the runtime check finds the runtime loaded.
WmaProfileList& SharedWmaProfileList();

}  // namespace sonorell
