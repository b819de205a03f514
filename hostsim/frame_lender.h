// The simulated host's frames: the music of one staff, measure and layer lent to a plug-in as a
// frame block that carries an array of entry records, and the ledger of what the plug-in did
// with every frame it was lent.
//
// The frame block is 32 bytes:
//   bytes 0-13, 20-31  the host's own, filled with a pattern that differs from frame to frame;
//                      the plug-in must leave them as they are
//   bytes 14-17        the entry array's address, 32 bits, little-endian, unaligned
//   bytes 18-19        the number of entries, signed 16-bit
// and the entry array holds that many 146-byte entry records back to back. Both come from memory
// whose addresses fit the 32-bit field: on 64-bit builds from below 2 GiB, so that no address
// the plug-in reads can be mistaken for a negative number. In the odd-address mode both lie at
// odd addresses, so a plug-in that reads a field through an aligned pointer is caught.
//
// A frame is a fresh copy of the document's entries each time it is lent; only FX_SaveTGF writes
// the entries back. The host works from what it knows of each frame it lent (its own array and
// count), never from bytes 14-19 as the plug-in left them: a plug-in that changes those is
// reported, not followed.
//
// The calls on a frame (every FX_ call that takes one) and what they do:
//   FX_SaveTGF(frame)                commits the frame's entries to the document; 1. A layer the
//                                    document never named that is saved empty stays unnamed.
//   FX_FreeTGF(frame)                takes the frame back, fills its block and its entry array
//                                    with 0xDD and keeps them mapped (so a later write is seen,
//                                    not a crash); 1, or -1 for a frame that is not lent (null,
//                                    unknown, already freed).
//   FX_InsertEXENTRY(frame, i, n)    puts n new entries before entry i (0 <= i <= count, n >= 1,
//                                    at most 32767 entries in all): zero bytes but for a new
//                                    entry number each, the lowest above every number the document
//                                    and the lent frames use; 1, or 0 and nothing done.
//   FX_DeleteEXENTRY(frame, i, n)    removes entries i to i+n-1 (i >= 0, n >= 1, i+n <= count);
//                                    1, or 0 and nothing done.
//   FX_ReduceEntries(frame)          removes every entry whose duration is 0; answers the entries
//                                    left, or -1 for a frame that is not lent.
//   FX_GetTGFDuration(frame)         the sum of the entries' durations; 0 for a frame not lent.
//   FX_GetTGFEntryMetrics(frame...)  and FX_GetTGFEntryMetrics2009a: 0 (no layout here).
// Insert, delete and reduce move the entries to a new array even when none is added or removed,
// write its address and the count into bytes 14-19, and poison the old array, so a plug-in that
// keeps a pointer into it is caught. None of them commits anything to the document.
//
// The checks, made on every call before it is answered (also when fault injection answers it):
// save, insert, delete and reduce must be given a frame whose entries are cleaned (see
// WhyNotCleaned in entry_records.h); FX_GetTGFDuration and the two metrics calls one whose entries
// are byte for byte as the host last handed them over (lent, saved, or rearranged by insert,
// delete or reduce); every call a frame that is lent and whose own header bytes are unchanged.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "hostsim/entry_records.h"
#include "hostsim/record_store.h"

namespace hostsim {

// An argument or result word of an export, as in sim_host.h.
using Word = std::uintptr_t;

enum class FrameProblemKind {
  kDoubleFree,      // FX_FreeTGF of a frame already freed
  kUnknownFree,     // FX_FreeTGF of an address the host never lent
  kNullFree,        // FX_FreeTGF of null
  kUseAfterFree,    // any other frame call on a freed frame
  kUnknownFrame,    // any other frame call on an address the host never lent
  kNullFrame,       // any other frame call on null
  kNotCleaned,      // save, insert, delete or reduce given an entry that is not cleaned
  kNotAsLent,       // duration or metrics given entries changed since the host handed them over
  kCleanedTooSoon,  // ... and the change is exactly the cleaning: the frame was cleaned too soon
  kHeaderChanged,   // the host's own bytes of a frame block changed
  kWriteAfterFree,  // a freed frame, or an entry array the host replaced, was written to
};

// "double free", "use after free", ...
const char* FrameProblemName(FrameProblemKind kind);

struct FrameProblem {
  FrameProblemKind kind;
  std::string call;    // the export that showed it; empty when a later look found it
  Word frame;          // the frame the plug-in named
  std::string detail;  // what was wrong: "entry 2 (entnum 7): note 0 has ID 0"
};

// The problem as a sentence: "FX_SaveTGF on a frame not cleaned: entry 0 (entnum 1): note 0 has
// ID 0".
std::string DescribeFrameProblem(const FrameProblem& problem);

struct LentFrame {
  Word address = 0;
  FrameKey key;
  bool freed = false;
  int saves = 0;
};

struct FrameLedger {
  int loads = 0;                  // FX_LoadTGF calls
  int lent = 0;                   // frames the host lent
  int refused = 0;                // loads answered null (no such frame, refused, failed)
  int saved = 0;                  // frames whose entries FX_SaveTGF committed
  int freed = 0;                  // frames taken back by FX_FreeTGF
  std::vector<LentFrame> frames;  // every frame lent, in the order lent
  std::vector<FrameProblem> problems;
  std::string memory_error;  // why the host could not lend a frame, when it ran out of memory

  // The frames lent and never freed, in the order lent.
  std::vector<Word> NeverFreed() const;
  int Count(FrameProblemKind kind) const;
};

// What a frame call expects of the frame it is given.
enum class FrameUse {
  kFree,     // FX_FreeTGF
  kCleaned,  // FX_SaveTGF, FX_InsertEXENTRY, FX_DeleteEXENTRY, FX_ReduceEntries
  kAsLent,   // FX_GetTGFDuration, FX_GetTGFEntryMetrics, FX_GetTGFEntryMetrics2009a
};

// Memory for frames: blocks carved from chunks whose addresses fit 32 bits (below 2 GiB on
// 64-bit builds), never reused until Release, so a freed block stays as the host left it.
class LowArena {
 public:
  LowArena() = default;
  ~LowArena() { Release(); }
  LowArena(const LowArena&) = delete;
  LowArena& operator=(const LowArena&) = delete;

  // At least one byte, zeroed; at an odd address when `odd`, else 16-byte aligned. Null, with
  // the reason in `error`, when no such memory is left.
  std::uint8_t* Take(std::size_t bytes, bool odd, std::string* error);
  void Release();

 private:
  struct Chunk {
    std::uint8_t* base;
    std::size_t size;
    std::size_t used;
  };
  std::vector<Chunk> chunks_;
};

class FrameLender {
 public:
  FrameLender() = default;
  FrameLender(const FrameLender&) = delete;
  FrameLender& operator=(const FrameLender&) = delete;

  // No frames, an empty ledger, every mode off; the memory of earlier frames is given back.
  void Reset();
  void SetOddAddresses(bool odd) { odd_ = odd; }
  // From now on FX_LoadTGF of `key` answers null.
  void Refuse(const FrameKey& key) { refused_.insert(key); }

  // Checks the frame a call is given against what the call expects, and notes each problem.
  void Inspect(const char* call, Word frame, FrameUse use);
  // Counts an FX_LoadTGF call by its answer, whoever gave it.
  void CountLoad(Word answer);

  // The calls' own work (see the top of this file).
  Word Load(const RecordStore& store, const FrameKey& key);
  Word Save(RecordStore* store, Word frame);
  Word Free(Word frame);
  Word Insert(const RecordStore& store, Word frame, std::int16_t index, std::int16_t count);
  Word Delete(Word frame, std::int16_t index, std::int16_t count);
  Word Reduce(Word frame);
  Word Duration(Word frame) const;

  // The ledger, after a look at every freed frame and replaced array for writes since.
  const FrameLedger& Ledger() const;

 private:
  struct Frame {
    FrameKey key;
    std::uint8_t* header = nullptr;
    std::uint8_t* array = nullptr;
    std::size_t array_bytes = 0;
    std::int16_t count = 0;
    std::array<std::uint8_t, frame_header::kSize> header_written{};
    std::optional<std::array<std::uint8_t, frame_header::kSize>> header_reported;
    Bytes handed_over;  // the entries as the host last handed them over
    bool freed = false;
  };
  struct PoisonedBlock {
    const std::uint8_t* at;
    std::size_t bytes;
    Word frame;
    std::string what;
    bool disturbed;
  };

  Frame* Live(Word frame);
  const Frame* Live(Word frame) const;
  void Note(FrameProblemKind kind, const char* call, Word frame, std::string detail);
  void CheckHeader(const char* call, Word address, Frame* frame);
  void CheckCleaned(const char* call, Word address, const Frame& frame);
  void CheckAsLent(const char* call, Word address, const Frame& frame);
  Bytes Entries(const Frame& frame) const;
  // Puts `entries` into a new array in place of the old one, which is poisoned; false (and
  // nothing changed) when there is no memory for it.
  bool MoveEntries(Word address, Frame* frame, const Bytes& entries, const char* call);
  void Poison(std::uint8_t* at, std::size_t bytes, Word frame, std::string what);
  void WriteHeaderFields(Frame* frame);
  std::int32_t NewEntryNumber(const RecordStore& store, const std::set<std::int32_t>& taken) const;

  LowArena arena_;
  bool odd_ = false;
  std::set<FrameKey> refused_;
  std::vector<Frame> states_;               // parallel to ledger_.frames
  std::map<Word, std::size_t> by_address_;  // frame address -> index
  mutable std::vector<PoisonedBlock> poisoned_;
  mutable FrameLedger ledger_;
};

}  // namespace hostsim
