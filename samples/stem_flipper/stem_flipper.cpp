// Flip Stems: a small sample plug-in built on the framework's note-entry classes. Its one command
// turns the stem of every note entry in the first measure of the first staff the other way, in
// every layer the host has, and writes the measure back. It is built and tested with the project
// but not shipped: it shows how a plug-in reaches the music through frames and entries.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/framework.h"

#ifdef _WIN32
#define FLIP_STEMS_EXPORT
#else
#define FLIP_STEMS_EXPORT __attribute__((visibility("default")))
#endif

namespace {

constexpr short kStaff = 1;
constexpr short kMeasure = 1;
constexpr int kMaxLayers = 20;

// A frame the host lent, handed back however the command ends.
class LentFrame {
 public:
  LentFrame(short staff, short measure, short layer)
      : frame_(FX_LoadTGF(0, staff, measure, layer, 1, kScorixApiVersion)) {}
  ~LentFrame() {
    if (frame_) FX_FreeTGF(frame_, kScorixApiVersion);
  }
  LentFrame(const LentFrame&) = delete;
  LentFrame& operator=(const LentFrame&) = delete;

  EXTGF2005a* get() const { return frame_; }
  // The frame's entries; none when the host lent a frame without an array.
  std::vector<unsigned char*> Entries() const {
    std::vector<unsigned char*> entries;
    if (!frame_) return entries;
    const auto count = vaz::ReadField<std::int16_t>(frame_, kFrameEntryCountOffset);
    void* array = vaz::ReadAddressField(frame_, kFrameEntriesOffset);
    for (std::int16_t i = 0; array && i < count; ++i) {
      entries.push_back(vaz::exentry::EntryAt(array, static_cast<std::size_t>(i)));
    }
    return entries;
  }

 private:
  EXTGF2005a* frame_;
};

// Flips the stems of one layer's note entries; answers how many, or -1 when the save failed.
int FlipLayer(short layer) {
  LentFrame frame(kStaff, kMeasure, layer);
  if (!frame.get()) return 0;
  int flipped = 0;
  for (unsigned char* record : frame.Entries()) {
    FCNoteEntry entry(record, nullptr, kMeasure, kStaff);
    if (!entry.IsNote()) continue;
    entry.SetFlags(entry.GetFlags() ^ vaz::exentry::kStemUp);
    ++flipped;
  }
  if (flipped > 0 && FX_SaveTGF(frame.get(), kScorixApiVersion) == 0) return -1;
  return flipped;
}

std::intptr_t FlipStems() {
  const int layers = std::min<int>(FX_GetMaxLayers(kScorixApiVersion), kMaxLayers);
  for (short layer = 0; layer < layers; ++layer) {
    if (FlipLayer(layer) < 0) return 0;
  }
  return 1;
}

template <typename Result, typename Work>
Result Guarded(Result on_failure, Work work) noexcept {
  try {
    return work();
  } catch (...) {
    return on_failure;
  }
}

}  // namespace

extern "C" {

FLIP_STEMS_EXPORT std::uintptr_t WINAPI ScorixExtensionVersion(std::uintptr_t version) {
  SetScorixFrameworkVersion(static_cast<std::uint32_t>(version));
  return version;
}

FLIP_STEMS_EXPORT std::intptr_t WINAPI ScorixExtensionInit(std::intptr_t, std::uint32_t* flags) {
  if (flags) *flags |= 1u;
  return 1;
}

FLIP_STEMS_EXPORT std::intptr_t WINAPI ScorixExtensionEnumerate(std::intptr_t, std::intptr_t index,
                                                                char* record) {
  if (!record || static_cast<short>(index & 0xFFFF) > 0) return 0;
  std::strncpy(record, "Flip Stems", 64);
  std::strncpy(record + 64, "Turns the stems of the first measure the other way.", 64);
  std::strncpy(record + 128, "Flip Stems", 64);
  std::memset(record + 192, 0, 4);
  return 1;
}

FLIP_STEMS_EXPORT std::intptr_t WINAPI ScorixExtensionInvoke(HWND, std::intptr_t, std::intptr_t,
                                                             std::intptr_t) {
  return Guarded(std::intptr_t{0}, [] { return FlipStems(); });
}

FLIP_STEMS_EXPORT void WINAPI ScorixExtensionTerminate(std::intptr_t) {}

FLIP_STEMS_EXPORT std::intptr_t WINAPI ScorixExtensionGetMenuStatus(std::intptr_t) {
  return 1;
}
}
