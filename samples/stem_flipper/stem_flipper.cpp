// Flip Stems: a small sample plug-in built on the framework's note-entry classes. Its one command
// turns the stem of every note entry in the user's selection the other way and writes the music
// back: a region walk that hands each entry to an iterator handler, cell by cell; a note that
// carries the sample's own note detail, a stem lock, keeps its entry's stem. Without a
// selection it works on the first measure of the first staff, in every layer the host has,
// through the frames themselves. It is built and tested with the project but not shipped: it
// shows both ways a plug-in reaches the music.
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

// A note detail of this sample's own: a note that carries one keeps its entry's stem as it is.
// The record is 4 bytes, the note's ID in the first two.
class StemLock : public __FCFixedSizeData<__FCEntryDetailNoteID, 4> {
 public:
  static constexpr std::uint32_t kTag = 0x65534C4B;  // 'eSLK'

  StemLock() : __FCFixedSizeData(kScorixApiVersion) {}
  const char* ClassName() override { return "StemLock"; }
  std::uint32_t Tag() override { return kTag; }
  __FCBaseData* CreateObject(std::uint32_t) override { return new StemLock; }
  bool LoadFirst() override { return false; }
  void _SetConnectedFlag(__FCBase*, bool) override {}
  void _SetNoteID(short noteid) override { vaz::WriteField<std::int16_t>(_record, 0, noteid); }
  bool _IsNoteIDMatch(const void* record, short noteid) override {
    return vaz::ReadField<std::int16_t>(record, 0) == noteid;
  }
  void _SetNoteFlag(FCNote* note, bool state) override { note->_SetNoteDetailEntryFlag(state); }
};

// Whether a note of the entry carries a stem lock. Only an entry flagged as having note details
// can, so the host is asked about no other.
bool IsStemLocked(FCNoteEntry* entry) {
  if ((entry->GetFlags() & vaz::exentry::kNoteDetails) == 0) return false;
  StemLock lock;
  for (int index = 0; index < entry->GetCount(); ++index) {
    if (lock._ScanForNoteID(entry->GetNoteAt(index)) >= 0) return true;
  }
  return false;
}

// Flips each note entry it is handed, unless a stem lock keeps it, and asks the walk to save
// every cell.
class StemFlipper : public FCIteratorHandler {
 public:
  StemFlipper() { SetSaveChanges(true); }
  bool Iterate(__FCBase* element) override {
    auto* entry = dynamic_cast<FCNoteEntry*>(element);
    if (entry && entry->IsNote() && !IsStemLocked(entry)) {
      entry->SetFlags(entry->GetFlags() ^ vaz::exentry::kStemUp);
    }
    return true;
  }
};

// The selection the host reports, when there is one.
bool GetSelection(EREGION* selection) {
  std::int32_t count = 0;
  EREGION document;
  std::memset(selection, 0, sizeof *selection);
  std::memset(&document, 0, sizeof document);
  const short answer = FX_GetCurERegions(
      reinterpret_cast<std::intptr_t>(&count), reinterpret_cast<std::intptr_t>(selection),
      reinterpret_cast<std::intptr_t>(&document), kScorixApiVersion);
  return answer != 0 && count > 0;
}

// 1 when every cell of the selection was written back, 0 when the host refused one.
std::intptr_t FlipSelection(const EREGION& selection) {
  FCMusicRegion region(&selection);
  // The walk answers the cells it completed; a cell the host refused to save is not among them.
  const std::int64_t measures = std::max(0, region.GetEndMeasure() - region.GetStartMeasure() + 1);
  const std::int64_t staves = std::max(0, region.GetEndStaff() - region.GetStartStaff() + 1);
  const std::int64_t cells = measures * staves;
  StemFlipper flipper;
  FCBrowserNoteEntries walk;
  return walk.ForEachInRegion(&flipper, &region) == cells ? 1 : 0;
}

std::intptr_t FlipStems() {
  EREGION selection;
  if (GetSelection(&selection)) return FlipSelection(selection);
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
