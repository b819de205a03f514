// Cells, regions and the region walks against a host whose music and answers the input decides:
// entry records of any content (note counts outside 0 to 12 included), layer counts that are
// hostile or change from call to call, hidden layers, a slot map, refused frame loads and saves,
// frames at odd addresses, MIDI expression records of any length, and a region anywhere.
//
// Oracles after each walk:
//  - every frame the host lent went back once, and no frame call was misused (the host's ledger:
//    no double or unknown free, no use or write after free, no save of a frame not cleaned, the
//    host's own header bytes untouched);
//  - a walk that does not ask to save leaves the document byte for byte as it was;
//  - a walk never answers more cells than the region holds, and hands out only entries and MIDI
//    events that lie inside the region;
//  - a MIDI event shows the position its own record holds (0 when the record is too short for
//    it), never one left from the event before.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "framework/browsers.h"
#include "hostsim/entry_records.h"
#include "hostsim/region_records.h"
#include "hostsim/sim_host.h"
#include "tests/fuzz/fuzz_host.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using hostsim::Bytes;
using hostsim::Word;

constexpr std::int16_t kStaves = 4;
constexpr std::int16_t kMeasures = 4;

fuzz::ByteReader* script = nullptr;

std::int16_t SmallNumber(std::int16_t low, std::int16_t high) {
  return static_cast<std::int16_t>(
      low + static_cast<std::int16_t>(script->Below(static_cast<std::uint32_t>(high - low + 1))));
}

// --- The document ---

Bytes EntryRecord() {
  namespace er = hostsim::entry_record;
  Bytes entry(er::kSize, 0);
  if (script->Below(4) == 0) {
    for (auto& byte : entry) byte = script->Byte();  // anything at all
    return entry;
  }
  const std::uint16_t notes = static_cast<std::uint16_t>(script->Below(14));
  hostsim::WriteU32(entry.data() + er::kFlags, script->Dword());
  hostsim::WriteU16(entry.data() + er::kNoteCount, notes);
  hostsim::WriteU32(entry.data() + er::kPosition,
                    script->Below(3) == 0 ? script->Dword() : script->Below(8) * 256);
  for (std::size_t n = 0; n < notes && n < er::kNoteSlots; ++n) {
    hostsim::NoteFields note;
    note.displacement = static_cast<std::int16_t>(script->Word());
    note.note_id =
        static_cast<std::int16_t>(script->Below(4) == 0 ? script->Word() : script->Below(5));
    note.note_flags = script->Dword();
    hostsim::WriteNote(entry.data(), n, note);
  }
  return entry;
}

void BuildMusic(hostsim::RecordStore* store) {
  const int frames = static_cast<int>(script->Below(10));
  for (int f = 0; f < frames; ++f) {
    const hostsim::FrameKey key{SmallNumber(1, kStaves), SmallNumber(1, kMeasures),
                                SmallNumber(0, 3)};
    Bytes entries;
    const int count = static_cast<int>(script->Below(6));
    for (int e = 0; e < count; ++e) {
      const Bytes entry = EntryRecord();
      entries.insert(entries.end(), entry.begin(), entry.end());
    }
    store->PutFrame(key, entries);
  }
  // A slot map: a permutation of the staves, or none.
  if (script->Below(2) == 0) {
    std::vector<std::int16_t> staves = {1, 2, 3, 4};
    for (std::size_t i = staves.size() - 1; i > 0; --i) {
      std::swap(staves[i], staves[script->Below(static_cast<std::uint32_t>(i + 1))]);
    }
    for (std::int16_t slot = 1; slot <= kStaves; ++slot) {
      const std::int16_t staff = staves[static_cast<std::size_t>(slot - 1)];
      if (staff != slot) store->Layers().slot_staves[slot] = staff;
    }
  }
  store->Layers().layers =
      script->Below(4) == 0 ? static_cast<std::int16_t>(script->Word()) : SmallNumber(0, 5);
  for (std::int16_t layer = 0; layer < 4; ++layer) {
    if (script->Below(4) == 0) store->Layers().hidden.insert(layer);
  }
}

// MIDI records of cells, some of them short or long; incidents from 0 with the odd gap.
void BuildMidi(hostsim::RecordStore* store) {
  const int cells = static_cast<int>(script->Below(4));
  for (int c = 0; c < cells; ++c) {
    const auto staff = static_cast<std::uint16_t>(SmallNumber(1, kStaves));
    const auto measure = static_cast<std::uint16_t>(SmallNumber(1, kMeasures));
    const int events = static_cast<int>(script->Below(5));
    for (int inci = 0; inci < events; ++inci) {
      const std::size_t length = script->Below(3) == 0 ? script->Below(14) : 10;
      Bytes record(length);
      for (auto& byte : record) byte = script->Byte();
      const hostsim::Identity id =
          hostsim::CellDetailIdentity({staff, measure, static_cast<std::uint16_t>(inci)});
      store->Put(FCMidiExpression::kTag, id, std::move(record));
    }
  }
}

// --- The host's answers ---

void HostileAnswers(hostsim::SimHost& host) {
  if (script->Below(3) == 0) {
    // A layer count that changes from call to call.
    host.SetBehavior("FX_GetMaxLayers", [](const Word*) -> Word {
      return static_cast<Word>(static_cast<std::intptr_t>(
          static_cast<std::int16_t>(script->Below(3) == 0 ? script->Word() : script->Below(24))));
    });
  }
  if (script->Below(4) == 0) host.SetOddFrameAddresses(true);
  if (script->Below(3) == 0) host.FailCall("FX_LoadTGF", 1 + static_cast<int>(script->Below(12)));
  if (script->Below(3) == 0) host.FailCall("FX_SaveTGF", 1 + static_cast<int>(script->Below(12)));
  if (script->Below(4) == 0) {
    host.RefuseFrameLoad(SmallNumber(1, kStaves), SmallNumber(1, kMeasures), SmallNumber(0, 3));
  }
}

EREGION PickRegion() {
  EREGION region;
  std::memset(&region, 0, sizeof region);
  region.startslot = SmallNumber(0, kStaves);
  region.endslot = SmallNumber(0, kStaves + 1);
  region.startmeas = SmallNumber(0, kMeasures);
  region.endmeas = SmallNumber(0, kMeasures + 1);
  region.startpos = script->Below(4) == 0 ? static_cast<std::int32_t>(script->Dword())
                                          : static_cast<std::int32_t>(script->Below(8) * 256);
  region.endpos = script->Below(4) == 0 ? static_cast<std::int32_t>(script->Dword())
                                        : static_cast<std::int32_t>(script->Below(16) * 256);
  return region;
}

// --- The walks ---

// Edits what it is handed as the script says, and checks that it lies inside the region.
class EditingHandler : public FCIteratorHandler {
 public:
  explicit EditingHandler(FCMusicRegion* region) : region_(region) {}
  bool Iterate(__FCBase* element) override {
    auto* entry = dynamic_cast<FCNoteEntry*>(element);
    FUZZ_CHECK(entry != nullptr, "a note-entry walk hands out note entries");
    const short measure = entry->GetMeasure();
    FUZZ_CHECK(region_->IsMeasureIncluded(measure), "an entry of a measure outside the region");
    FUZZ_CHECK(
        measure != region_->GetStartMeasure() || entry->GetPosition() >= region_->GetStartPos(),
        "an entry before the region's start");
    FUZZ_CHECK(measure != region_->GetEndMeasure() || entry->GetPosition() <= region_->GetEndPos(),
               "an entry after the region's end");
    switch (script->Below(6)) {
      case 0:
        entry->SetFlags(entry->GetFlags() ^ vaz::exentry::kStemUp);
        break;
      case 1:
        if (entry->GetCount() > 0)
          entry->GetNoteAt(static_cast<int>(script->Below(12)) % entry->GetCount())->MarkDeleted();
        break;
      case 2:
        entry->AddNewNote();
        break;
      case 3:
        if (entry->GetCount() > 0)
          entry->GetNoteAt(0)->SetNoteID(static_cast<short>(script->Word()));
        break;
      default:
        break;
    }
    return script->Below(12) != 0;
  }

 private:
  FCMusicRegion* region_;
};

class MidiChecker : public FCIteratorHandler {
 public:
  MidiChecker(FCMusicRegion* region, const hostsim::RecordStore* store)
      : region_(region), store_(store) {}
  bool Iterate(__FCBase* element) override {
    auto* event = dynamic_cast<FCMidiExpression*>(element);
    FUZZ_CHECK(event != nullptr && event->GetCell() != nullptr, "a MIDI walk hands out events");
    FUZZ_CHECK(region_->IsCellPosWithin(event->GetCell(), event->GetPosition()),
               "a MIDI event outside the region");
    const EDataID& id = event->GetDataID();
    hostsim::Identity key{};
    std::memcpy(key.data(), id.bytes, key.size());
    const Bytes* record = store_->Find(FCMidiExpression::kTag, key);
    FUZZ_CHECK(record != nullptr, "an event the host does not hold");
    std::int32_t position = 0;
    if (record->size() >= 4) std::memcpy(&position, record->data(), 4);
    FUZZ_CHECK(event->GetPosition() == position, "an event shows a position its record lacks");
    return script->Below(10) != 0;
  }

 private:
  FCMusicRegion* region_;
  const hostsim::RecordStore* store_;
};

void CheckLedger(const hostsim::SimHost& host) {
  const hostsim::FrameLedger& ledger = host.Frames();
  FUZZ_CHECK(ledger.lent == ledger.freed, "a frame was not given back");
  FUZZ_CHECK(ledger.NeverFreed().empty(), "a frame was kept");
  for (const auto& problem : ledger.problems) {
    std::fprintf(stderr, "%s\n", hostsim::DescribeFrameProblem(problem).c_str());
  }
  FUZZ_CHECK(ledger.problems.empty(), "a frame call was misused");
}

std::int64_t CellsOf(const FCMusicRegion& region) {
  const std::int64_t measures = region.GetEndMeasure() - region.GetStartMeasure() + 1;
  const std::int64_t staves = region.GetEndStaff() - region.GetStartStaff() + 1;
  return measures > 0 && staves > 0 ? measures * staves : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ByteReader reader(data, size);
  script = &reader;
  auto& host = fuzz::FreshHost();
  BuildMusic(&host.Records());
  BuildMidi(&host.Records());
  HostileAnswers(host);
  const hostsim::RecordStore before = host.Records();

  const EREGION record = PickRegion();
  FCMusicRegion region(&record);
  const bool save = script->Below(2) == 0;
  {
    EditingHandler handler(&region);
    handler.SetSaveChanges(save);
    FCBrowserNoteEntries walk;
    const int cells = walk.ForEachInRegion(&handler, &region);
    FUZZ_CHECK(cells >= 0 && cells <= CellsOf(region), "more cells than the region holds");
  }
  CheckLedger(host);
  if (!save) FUZZ_CHECK(host.Records() == before, "a walk without saving changed the document");

  {
    FCNoteEntryCell cell(SmallNumber(0, kMeasures), SmallNumber(0, kStaves));
    if (cell.Load()) {
      const auto position = static_cast<std::int32_t>(script->Dword());
      FCNoteEntry* closest = cell.FindClosestPos(position);
      if (closest) {
        const std::int64_t distance = static_cast<std::int64_t>(closest->GetPosition()) - position;
        FUZZ_CHECK(distance > -20000 && distance < 20000, "a closest entry too far away");
      }
      for (int i = -1; i <= cell.GetCount(); ++i) {
        FCNoteEntry* entry = cell.GetRegionItemAt(i, &region);
        FUZZ_CHECK(entry == nullptr || (i >= 0 && i < cell.GetCount()),
                   "an index outside the cell");
      }
    }
  }
  CheckLedger(host);

  FCCells cells;
  cells.ApplyRegion(&region);
  const std::int64_t measures = region.GetEndMeasure() - region.GetStartMeasure() + 1;
  const std::int64_t slots = region.GetEndSlot() - region.GetStartSlot() + 1;
  FUZZ_CHECK(cells.GetCount() == (measures > 0 && slots > 0 ? measures * slots : 0),
             "a cell list of the wrong length");

  const hostsim::RecordStore midi_store = host.Records();
  MidiChecker checker(&region, &midi_store);
  FCBrowserMidiExpression midi;
  const int midi_cells = midi.ForEachInRegion(&checker, &region);
  FUZZ_CHECK(midi_cells >= 0 && midi_cells <= CellsOf(region), "more MIDI cells than the region");
  script = nullptr;
  return 0;
}
