#pragma once

// Loading the Windows Media runtime and its three creator functions. This build's runtime
// is the FFmpeg-backed one of this folder; it is present when the linked FFmpeg has the ASF
// demuxer and muxer and the WMA decoder and encoder. Setting SONORELL_NO_WM_RUNTIME in the
// environment makes it report itself absent, the state of a machine without the runtime.
#include <memory>

#include "platform/wmf/wm_profile.h"
#include "platform/wmf/wm_sync_reader.h"
#include "platform/wmf/wm_types.h"
#include "platform/wmf/wm_writer.h"

namespace platform {

// The creator functions; all three are set once the runtime is loaded, none before.
struct WmEntryPoints {
  wm::HRESULT (*WMCreateSyncReader)(std::unique_ptr<wm::WmSyncReader>* reader) = nullptr;
  wm::HRESULT (*WMCreateWriter)(std::unique_ptr<wm::WmWriter>* writer) = nullptr;
  wm::HRESULT (*WMCreateProfileManager)(std::unique_ptr<wm::WmProfileManager>* manager) = nullptr;
};

// Loads the runtime once; true when it is available. Once loaded it stays loaded.
bool LoadWmRuntime();

// True once LoadWmRuntime has succeeded.
bool WmRuntimeLoaded();

// The entry points: empty until LoadWmRuntime has succeeded.
const WmEntryPoints& WmRuntime();

}  // namespace platform
