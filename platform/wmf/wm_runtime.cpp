#include "platform/wmf/wm_runtime.h"

#include <cstdlib>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace platform {
namespace {

wm::HRESULT CreateSyncReader(std::unique_ptr<wm::WmSyncReader>* reader) {
  if (reader == nullptr) return wm::E_INVALIDARG;
  *reader = std::make_unique<wm::WmSyncReader>();
  return wm::S_OK;
}

wm::HRESULT CreateWriter(std::unique_ptr<wm::WmWriter>* writer) {
  if (writer == nullptr) return wm::E_INVALIDARG;
  *writer = std::make_unique<wm::WmWriter>();
  return wm::S_OK;
}

wm::HRESULT CreateProfileManager(std::unique_ptr<wm::WmProfileManager>* manager) {
  if (manager == nullptr) return wm::E_INVALIDARG;
  *manager = std::make_unique<wm::WmProfileManager>();
  return wm::S_OK;
}

// What the runtime is made of here; an FFmpeg built without any of it has no runtime.
bool BackendPresent() {
  return av_find_input_format("asf") != nullptr &&
         av_guess_format("asf", nullptr, nullptr) != nullptr &&
         avcodec_find_decoder(AV_CODEC_ID_WMAV2) != nullptr &&
         avcodec_find_encoder(AV_CODEC_ID_WMAV2) != nullptr;
}

WmEntryPoints& EntryPoints() {
  static WmEntryPoints entryPoints;
  return entryPoints;
}

}  // namespace

bool LoadWmRuntime() {
  if (WmRuntimeLoaded()) return true;
  if (std::getenv("SONORELL_NO_WM_RUNTIME") != nullptr) return false;
  if (!BackendPresent()) return false;
  WmEntryPoints& e = EntryPoints();
  e.WMCreateSyncReader = CreateSyncReader;
  e.WMCreateWriter = CreateWriter;
  e.WMCreateProfileManager = CreateProfileManager;
  return true;
}

bool WmRuntimeLoaded() {
  return EntryPoints().WMCreateSyncReader != nullptr;
}

const WmEntryPoints& WmRuntime() {
  return EntryPoints();
}

}  // namespace platform
