#include "hostsim/frame_lender.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#include "hostsim/low_memory.h"

namespace hostsim {

namespace {

constexpr std::uint8_t kPoison = 0xDD;
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;
constexpr std::size_t kAlignment = 16;
constexpr std::int32_t kMostEntries = std::numeric_limits<std::int16_t>::max();
// On 64-bit builds every address the host lends stays below 2 GiB, so it reads the same whether
// the plug-in takes the 32-bit field as signed or unsigned.
constexpr std::uint64_t kTwoGib = std::uint64_t{1} << 31;

Word SignedWord(std::int32_t value) {
  return static_cast<Word>(static_cast<std::intptr_t>(value));
}

Word AddressOf(const void* pointer) {
  return static_cast<Word>(reinterpret_cast<std::uintptr_t>(pointer));
}

// The host's own bytes of frame number `serial`: neighbouring bytes differ, and so do frames.
std::uint8_t HeaderFillByte(std::size_t serial, std::size_t offset) {
  return static_cast<std::uint8_t>((0x96u + 0x2Fu * offset + 0x4Du * serial) & 0xFF);
}

std::string EntryLabel(const std::uint8_t* entry, std::size_t index) {
  return "entry " + std::to_string(index) + " (entnum " +
         std::to_string(ReadS32(entry + entry_record::kEntryNumber)) + ")";
}

std::string HexWord(Word word) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(word));
  return text;
}

// "bytes 3, 20-21": the offsets at which two blocks differ, runs joined.
std::string ChangedBytes(const std::uint8_t* now, const std::uint8_t* was, std::size_t size) {
  std::string text;
  std::size_t count = 0;
  for (std::size_t i = 0; i < size;) {
    if (now[i] == was[i]) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end + 1 < size && now[end + 1] != was[end + 1]) ++end;
    if (!text.empty()) text += ", ";
    text += std::to_string(i);
    if (end > i) text += "-" + std::to_string(end);
    count += end - i + 1;
    i = end + 1;
  }
  return (count == 1 ? "byte " : "bytes ") + text;
}

}  // namespace

const char* FrameProblemName(FrameProblemKind kind) {
  switch (kind) {
    case FrameProblemKind::kDoubleFree:
      return "double free";
    case FrameProblemKind::kUnknownFree:
      return "free of a frame never lent";
    case FrameProblemKind::kNullFree:
      return "free of null";
    case FrameProblemKind::kUseAfterFree:
      return "use after free";
    case FrameProblemKind::kUnknownFrame:
      return "a frame never lent";
    case FrameProblemKind::kNullFrame:
      return "a null frame";
    case FrameProblemKind::kNotCleaned:
      return "not cleaned";
    case FrameProblemKind::kNotAsLent:
      return "changed before a call that reads it as lent";
    case FrameProblemKind::kCleanedTooSoon:
      return "cleaned before a call that reads it as lent";
    case FrameProblemKind::kHeaderChanged:
      return "host bytes of the frame changed";
    case FrameProblemKind::kWriteAfterFree:
      return "written after it was given back";
  }
  return "problem";
}

std::string DescribeFrameProblem(const FrameProblem& problem) {
  const std::string& call = problem.call;
  switch (problem.kind) {
    case FrameProblemKind::kDoubleFree:
      return call + " on a frame already freed (a double free)";
    case FrameProblemKind::kUnknownFree:
      return call + " on " + HexWord(problem.frame) + ", which the host never lent";
    case FrameProblemKind::kNullFree:
      return call + " on a null frame";
    case FrameProblemKind::kUseAfterFree:
      return call + " on a frame already freed";
    case FrameProblemKind::kUnknownFrame:
      return call + " on " + HexWord(problem.frame) + ", which the host never lent";
    case FrameProblemKind::kNullFrame:
      return call + " on a null frame";
    case FrameProblemKind::kNotCleaned:
      return call + " on a frame not cleaned: " + problem.detail;
    case FrameProblemKind::kNotAsLent:
      return call + " on a frame changed since the host handed it over: " + problem.detail;
    case FrameProblemKind::kCleanedTooSoon:
      return call + " on a frame cleaned too soon: " + problem.detail;
    case FrameProblemKind::kHeaderChanged:
      return call + " on a frame with the host's " + problem.detail + " changed";
    case FrameProblemKind::kWriteAfterFree:
      return "wrote to " + problem.detail + " after the host took it back";
  }
  return call + ": " + problem.detail;
}

std::vector<Word> FrameLedger::NeverFreed() const {
  std::vector<Word> kept;
  for (const LentFrame& frame : frames) {
    if (!frame.freed) kept.push_back(frame.address);
  }
  return kept;
}

int FrameLedger::Count(FrameProblemKind kind) const {
  return static_cast<int>(std::count_if(problems.begin(), problems.end(),
                                        [kind](const FrameProblem& p) { return p.kind == kind; }));
}

// --- Memory ---

std::uint8_t* LowArena::Take(std::size_t bytes, bool odd, std::string* error) {
  const std::size_t wanted = std::max<std::size_t>(bytes, 1) + (odd ? 1 : 0);
  auto fits = [&](const Chunk& chunk) {
    const std::size_t start = (chunk.used + kAlignment - 1) / kAlignment * kAlignment;
    return start <= chunk.size && chunk.size - start >= wanted;
  };
  if (chunks_.empty() || !fits(chunks_.back())) {
    const std::size_t size =
        std::max(kChunkBytes, (wanted + kAlignment + kChunkBytes - 1) / kChunkBytes * kChunkBytes);
    std::string why;
    auto* base = static_cast<std::uint8_t*>(AllocateLowMemory(size, &why));
    if (base && sizeof(void*) > 4 &&
        static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(base)) + size > kTwoGib) {
      FreeLowMemory(base, size);
      base = nullptr;
      why = "no memory below 2 GiB is left for a block of " + std::to_string(size) + " bytes";
    }
    if (!base) {
      if (error) *error = why;
      return nullptr;
    }
    chunks_.push_back(Chunk{base, size, 0});
  }
  Chunk& chunk = chunks_.back();
  const std::size_t start = (chunk.used + kAlignment - 1) / kAlignment * kAlignment;
  chunk.used = start + wanted;
  return chunk.base + start + (odd ? 1 : 0);
}

void LowArena::Release() {
  for (const Chunk& chunk : chunks_) FreeLowMemory(chunk.base, chunk.size);
  chunks_.clear();
}

// --- The lender ---

void FrameLender::Reset() {
  states_.clear();
  by_address_.clear();
  poisoned_.clear();
  ledger_ = FrameLedger();
  refused_.clear();
  odd_ = false;
  arena_.Release();
}

FrameLender::Frame* FrameLender::Live(Word frame) {
  const auto found = by_address_.find(frame);
  if (found == by_address_.end() || states_[found->second].freed) return nullptr;
  return &states_[found->second];
}

const FrameLender::Frame* FrameLender::Live(Word frame) const {
  return const_cast<FrameLender*>(this)->Live(frame);
}

void FrameLender::Note(FrameProblemKind kind, const char* call, Word frame, std::string detail) {
  ledger_.problems.push_back(FrameProblem{kind, call ? call : "", frame, std::move(detail)});
}

Bytes FrameLender::Entries(const Frame& frame) const {
  const std::size_t bytes = static_cast<std::size_t>(frame.count) * entry_record::kSize;
  return Bytes(frame.array, frame.array + bytes);
}

void FrameLender::WriteHeaderFields(Frame* frame) {
  const auto array = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(frame->array));
  WriteU32(frame->header_written.data() + frame_header::kEntries, array);
  WriteU16(frame->header_written.data() + frame_header::kCount,
           static_cast<std::uint16_t>(frame->count));
  std::memcpy(frame->header + frame_header::kEntries,
              frame->header_written.data() + frame_header::kEntries, 6);
}

void FrameLender::Poison(std::uint8_t* at, std::size_t bytes, Word frame, std::string what) {
  std::memset(at, kPoison, bytes);
  poisoned_.push_back(PoisonedBlock{at, bytes, frame, std::move(what), false});
}

void FrameLender::CountLoad(Word answer) {
  ++ledger_.loads;
  if (answer == 0) ++ledger_.refused;
}

Word FrameLender::Load(const RecordStore& store, const FrameKey& key) {
  if (refused_.count(key) || !store.HasFrame(key)) return 0;
  const Bytes* stored = store.FindFrame(key);
  const Bytes entries =
      stored
          ? Bytes(stored->begin(), stored->begin() + static_cast<std::ptrdiff_t>(
                                                         EntryCount(*stored) * entry_record::kSize))
          : Bytes();
  if (EntryCount(entries) > static_cast<std::size_t>(kMostEntries)) return 0;

  Frame frame;
  frame.key = key;
  frame.count = static_cast<std::int16_t>(EntryCount(entries));
  frame.array_bytes = std::max<std::size_t>(entries.size(), 1);
  frame.header = arena_.Take(frame_header::kSize, odd_, &ledger_.memory_error);
  frame.array =
      frame.header ? arena_.Take(frame.array_bytes, odd_, &ledger_.memory_error) : nullptr;
  if (!frame.array) return 0;
  if (!entries.empty()) std::memcpy(frame.array, entries.data(), entries.size());
  const std::size_t serial = ledger_.frames.size() + 1;
  for (std::size_t offset = 0; offset < frame_header::kSize; ++offset) {
    frame.header_written[offset] = HeaderFillByte(serial, offset);
  }
  std::memcpy(frame.header, frame.header_written.data(), frame_header::kSize);
  WriteHeaderFields(&frame);
  frame.handed_over = entries;

  const Word address = AddressOf(frame.header);
  by_address_[address] = states_.size();
  states_.push_back(std::move(frame));
  ledger_.frames.push_back(LentFrame{address, key, false, 0});
  ++ledger_.lent;
  return address;
}

void FrameLender::Inspect(const char* call, Word address, FrameUse use) {
  const bool frees = use == FrameUse::kFree;
  if (address == 0) {
    Note(frees ? FrameProblemKind::kNullFree : FrameProblemKind::kNullFrame, call, 0, "");
    return;
  }
  const auto found = by_address_.find(address);
  if (found == by_address_.end()) {
    Note(frees ? FrameProblemKind::kUnknownFree : FrameProblemKind::kUnknownFrame, call, address,
         "");
    return;
  }
  Frame& frame = states_[found->second];
  if (frame.freed) {
    Note(frees ? FrameProblemKind::kDoubleFree : FrameProblemKind::kUseAfterFree, call, address,
         "");
    return;
  }
  CheckHeader(call, address, &frame);
  if (use == FrameUse::kCleaned) CheckCleaned(call, address, frame);
  if (use == FrameUse::kAsLent) CheckAsLent(call, address, frame);
}

// Each state of changed header bytes is told once, however many calls see it.
void FrameLender::CheckHeader(const char* call, Word address, Frame* frame) {
  std::array<std::uint8_t, frame_header::kSize> now{};
  std::memcpy(now.data(), frame->header, now.size());
  if (now == frame->header_written) {
    frame->header_reported.reset();
    return;
  }
  if (frame->header_reported == now) return;
  frame->header_reported = now;
  Note(FrameProblemKind::kHeaderChanged, call, address,
       ChangedBytes(now.data(), frame->header_written.data(), now.size()) + " of the frame block");
}

void FrameLender::CheckCleaned(const char* call, Word address, const Frame& frame) {
  for (std::size_t index = 0; index < static_cast<std::size_t>(frame.count); ++index) {
    const std::uint8_t* entry = frame.array + index * entry_record::kSize;
    const std::string why = WhyNotCleaned(entry);
    if (!why.empty()) {
      Note(FrameProblemKind::kNotCleaned, call, address, EntryLabel(entry, index) + ": " + why);
    }
  }
}

void FrameLender::CheckAsLent(const char* call, Word address, const Frame& frame) {
  const Bytes now = Entries(frame);
  if (now == frame.handed_over) return;
  Bytes cleaned = frame.handed_over;
  CleanEntries(&cleaned);
  const bool too_soon = now == cleaned;
  std::size_t first = 0;
  while (first < now.size() && first < frame.handed_over.size() &&
         now[first] == frame.handed_over[first]) {
    ++first;
  }
  const std::size_t index = first / entry_record::kSize;
  const std::string where =
      first < now.size() ? EntryLabel(now.data() + index * entry_record::kSize, index) +
                               " differs from byte " + std::to_string(first % entry_record::kSize)
                         : std::string("the entries differ");
  Note(too_soon ? FrameProblemKind::kCleanedTooSoon : FrameProblemKind::kNotAsLent, call, address,
       too_soon ? where + ": the entries are the lent ones cleaned" : where);
}

Word FrameLender::Save(RecordStore* store, Word address) {
  Frame* frame = Live(address);
  if (!frame) return 0;
  Bytes entries = Entries(*frame);
  // A layer the document never named stays unnamed while it is empty.
  if (store->FindFrame(frame->key) || !entries.empty()) store->PutFrame(frame->key, entries);
  frame->handed_over = std::move(entries);
  ++ledger_.saved;
  ++ledger_.frames[by_address_[address]].saves;
  return 1;
}

Word FrameLender::Free(Word address) {
  Frame* frame = Live(address);
  if (!frame) return SignedWord(-1);
  Poison(frame->header, frame_header::kSize, address, "the frame block");
  Poison(frame->array, frame->array_bytes, address, "the entry array of the freed frame");
  frame->freed = true;
  ledger_.frames[by_address_[address]].freed = true;
  ++ledger_.freed;
  return 1;
}

bool FrameLender::MoveEntries(Word address, Frame* frame, const Bytes& entries, const char* call) {
  const std::size_t bytes = std::max<std::size_t>(entries.size(), 1);
  std::uint8_t* array = arena_.Take(bytes, odd_, &ledger_.memory_error);
  if (!array) return false;
  if (!entries.empty()) std::memcpy(array, entries.data(), entries.size());
  Poison(frame->array, frame->array_bytes, address,
         std::string("the entry array ") + call + " replaced");
  frame->array = array;
  frame->array_bytes = bytes;
  frame->count = static_cast<std::int16_t>(EntryCount(entries));
  frame->handed_over = entries;
  WriteHeaderFields(frame);
  return true;
}

std::int32_t FrameLender::NewEntryNumber(const RecordStore& store,
                                         const std::set<std::int32_t>& taken) const {
  std::set<std::int32_t> used = taken;
  auto add = [&used](const Bytes& entries) {
    for (std::size_t i = 0; i < EntryCount(entries); ++i) {
      used.insert(ReadS32(entries.data() + i * entry_record::kSize + entry_record::kEntryNumber));
    }
  };
  for (const auto& [key, entries] : store.Frames()) add(entries);
  for (const Frame& frame : states_) {
    if (!frame.freed) add(Entries(frame));
  }
  if (used.empty() || *used.rbegin() < 1) return 1;
  if (*used.rbegin() < std::numeric_limits<std::int32_t>::max()) return *used.rbegin() + 1;
  std::int32_t number = 1;
  while (used.count(number)) ++number;
  return number;
}

Word FrameLender::Insert(const RecordStore& store, Word address, std::int16_t index,
                         std::int16_t count) {
  Frame* frame = Live(address);
  if (!frame || count < 1 || index < 0 || index > frame->count ||
      frame->count + count > kMostEntries) {
    return 0;
  }
  Bytes entries = Entries(*frame);
  Bytes added(static_cast<std::size_t>(count) * entry_record::kSize, 0);
  std::set<std::int32_t> taken;
  for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
    const std::int32_t number = NewEntryNumber(store, taken);
    taken.insert(number);
    WriteU32(added.data() + i * entry_record::kSize + entry_record::kEntryNumber,
             static_cast<std::uint32_t>(number));
  }
  entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(index) *
                                       static_cast<std::ptrdiff_t>(entry_record::kSize),
                 added.begin(), added.end());
  return MoveEntries(address, frame, entries, "FX_InsertEXENTRY") ? 1 : 0;
}

Word FrameLender::Delete(Word address, std::int16_t index, std::int16_t count) {
  Frame* frame = Live(address);
  if (!frame || count < 1 || index < 0 || index + count > frame->count) return 0;
  Bytes entries = Entries(*frame);
  const auto first = entries.begin() + static_cast<std::ptrdiff_t>(index) *
                                           static_cast<std::ptrdiff_t>(entry_record::kSize);
  entries.erase(first, first + static_cast<std::ptrdiff_t>(count) *
                                   static_cast<std::ptrdiff_t>(entry_record::kSize));
  return MoveEntries(address, frame, entries, "FX_DeleteEXENTRY") ? 1 : 0;
}

Word FrameLender::Reduce(Word address) {
  Frame* frame = Live(address);
  if (!frame) return SignedWord(-1);
  const Bytes all = Entries(*frame);
  Bytes kept;
  for (std::size_t i = 0; i < EntryCount(all); ++i) {
    const std::uint8_t* entry = all.data() + i * entry_record::kSize;
    if (ReadS16(entry + entry_record::kDuration) != 0) {
      kept.insert(kept.end(), entry, entry + entry_record::kSize);
    }
  }
  if (!MoveEntries(address, frame, kept, "FX_ReduceEntries")) return SignedWord(-1);
  return SignedWord(frame->count);
}

Word FrameLender::Duration(Word address) const {
  const Frame* frame = Live(address);
  if (!frame) return 0;
  std::int64_t total = 0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(frame->count); ++i) {
    total += ReadS16(frame->array + i * entry_record::kSize + entry_record::kDuration);
  }
  return SignedWord(static_cast<std::int32_t>(total));  // at most 32767 * 32767: fits
}

const FrameLedger& FrameLender::Ledger() const {
  for (PoisonedBlock& block : poisoned_) {
    if (block.disturbed) continue;
    const auto changed =
        std::find_if(block.at, block.at + block.bytes, [](std::uint8_t b) { return b != kPoison; });
    if (changed == block.at + block.bytes) continue;
    block.disturbed = true;
    ledger_.problems.push_back(
        FrameProblem{FrameProblemKind::kWriteAfterFree, "", block.frame,
                     block.what + " at byte " + std::to_string(changed - block.at)});
  }
  return ledger_;
}

}  // namespace hostsim
