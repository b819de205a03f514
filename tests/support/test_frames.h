// Frames and entry records built by tests, in memory whose addresses fit the frame's 32-bit
// field (below 4 GiB on 64-bit builds), with the entry array ending against a page the process
// may not touch, so a write past the last entry faults at once.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "vaz/records.h"

class TestFrame {
 public:
  static constexpr std::size_t kHeaderSize = 32;

  explicit TestFrame(int entries) : entries_(entries) {
    page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t bytes = kHeaderSize + static_cast<std::size_t>(entries) * vaz::exentry::kSize;
    usable_ = (bytes + page_ - 1) / page_ * page_;
    int flags = MAP_PRIVATE | MAP_ANONYMOUS;
#if defined(__x86_64__)
    flags |= MAP_32BIT;
#endif
    void* block = mmap(nullptr, usable_ + page_, PROT_READ | PROT_WRITE, flags, -1, 0);
    base_ = block == MAP_FAILED ? nullptr : static_cast<unsigned char*>(block);
    if (!base_) return;
    mprotect(base_ + usable_, page_, PROT_NONE);
    // The entries end where the guard page starts; the frame block sits just before them.
    array_ = base_ + usable_ - static_cast<std::size_t>(entries) * vaz::exentry::kSize;
    frame_ = array_ - kHeaderSize;
    for (std::size_t i = 0; i < kHeaderSize; ++i) frame_[i] = static_cast<unsigned char>(0xA0 + i);
    vaz::WriteAddressField(frame_, kFrameEntriesOffset, array_);
    SetCount(static_cast<std::int16_t>(entries));
  }
  ~TestFrame() {
    if (base_) munmap(base_, usable_ + page_);
  }
  TestFrame(const TestFrame&) = delete;
  TestFrame& operator=(const TestFrame&) = delete;

  bool Ready() const {
    return base_ != nullptr;
  }
  EXTGF2005a* Frame() {
    return reinterpret_cast<EXTGF2005a*>(frame_);
  }
  unsigned char* Header() {
    return frame_;
  }
  unsigned char* Entry(int index) {
    return vaz::exentry::EntryAt(array_, static_cast<std::size_t>(index));
  }
  unsigned char* Note(int entry, int slot) {
    return vaz::exentry::NoteAt(Entry(entry), static_cast<std::size_t>(slot));
  }
  void SetCount(std::int16_t count) {
    std::memcpy(frame_ + kFrameEntryCountOffset, &count, sizeof count);
  }
  std::vector<unsigned char> Bytes() const {
    return std::vector<unsigned char>(frame_, base_ + usable_);
  }

  // An entry with the given note IDs (its note count), each note's other fields set from `seed`.
  void SetNotes(int entry, const std::vector<std::int16_t>& ids, unsigned seed = 1) {
    namespace x = vaz::exentry;
    unsigned char* record = Entry(entry);
    vaz::WriteField<std::int16_t>(record, x::kNumNotes, static_cast<std::int16_t>(ids.size()));
    vaz::WriteField<std::uint32_t>(record, x::kFlags,
                                   vaz::ReadField<std::uint32_t>(record, x::kFlags) | x::kIsNote);
    for (std::size_t slot = 0; slot < ids.size() && slot < 12; ++slot) {
      unsigned char* note = Note(entry, static_cast<int>(slot));
      vaz::WriteField<std::int16_t>(note, x::kDisplacement, static_cast<std::int16_t>(seed + slot));
      vaz::WriteField<std::int16_t>(note, x::kRaiseLower,
                                    static_cast<std::int16_t>(seed * 3 + slot));
      vaz::WriteField<std::int16_t>(note, x::kNoteId, ids[slot]);
      vaz::WriteField<std::uint32_t>(note, x::kNoteFlags,
                                     0x12345678u + seed + static_cast<unsigned>(slot));
    }
  }

 private:
  int entries_;
  std::size_t page_ = 0;
  std::size_t usable_ = 0;
  unsigned char* base_ = nullptr;
  unsigned char* array_ = nullptr;
  unsigned char* frame_ = nullptr;
};
