#include "hostsim/sim_host.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "hostsim/detail_records.h"
#include "hostsim/layout_records.h"
#include "hostsim/region_records.h"
#include "hostsim/score_records.h"
#include "hostsim/staff_records.h"

#ifndef _WIN32
#include "platform/stand_in.h"
#endif

namespace hostsim {

namespace {

template <typename T>
T* Address(Word word) {
  return reinterpret_cast<T*>(static_cast<std::uintptr_t>(word));
}

Identity ReadIdentity(const Word address) {
  Identity id{};
  std::memcpy(id.data(), Address<const std::uint8_t>(address), id.size());
  return id;
}

void WriteIdentity(Word address, const Identity& id) {
  std::memcpy(Address<std::uint8_t>(address), id.data(), id.size());
}

// Copies as much of the record as the caller's buffer holds; answers the bytes delivered.
std::int32_t Deliver(const Bytes& record, Word buffer, std::int32_t capacity) {
  if (!buffer || capacity <= 0 || record.empty()) return 0;
  const auto count = std::min<std::int32_t>(capacity, static_cast<std::int32_t>(record.size()));
  std::memcpy(Address<std::uint8_t>(buffer), record.data(), static_cast<std::size_t>(count));
  return count;
}

// A signed 16-bit argument: the low half of its word.
std::int16_t Short(Word word) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(word & 0xFFFF));
}

Word SignedWord(std::int32_t value) {
  return static_cast<Word>(static_cast<std::intptr_t>(value));
}

// A slot key argument: the low half of its word, unsigned.
std::uint16_t SlotKey(Word word) {
  return static_cast<std::uint16_t>(word & 0xFFFF);
}

// FX_GetCurERegions(count, selection, document, version): the number of regions the user has
// selected (a 32-bit 1 or 0), the selection's region record (all zero when there is none) and
// the whole document's. A null place is skipped; a place may lie at any address.
Word CurrentRegions(const RecordStore& store, const Word* args) {
  const std::optional<RegionSpan>& selection = store.Selection();
  if (args[0]) WriteU32(Address<std::uint8_t>(args[0]), selection ? 1 : 0);
  if (args[1]) {
    if (selection) {
      WriteRegionRecord(*selection, Address<std::uint8_t>(args[1]));
    } else {
      std::memset(Address<std::uint8_t>(args[1]), 0, region_record::kSize);
    }
  }
  if (args[2]) WriteRegionRecord(WholeDocumentSpan(store), Address<std::uint8_t>(args[2]));
  return 1;
}

// What a frame export expects of the frame in its first argument; nothing for other exports.
std::optional<FrameUse> FrameUseOf(ExportId id) {
  switch (id) {
    case ExportId::FX_FreeTGF:
      return FrameUse::kFree;
    case ExportId::FX_SaveTGF:
    case ExportId::FX_InsertEXENTRY:
    case ExportId::FX_DeleteEXENTRY:
    case ExportId::FX_ReduceEntries:
      return FrameUse::kCleaned;
    case ExportId::FX_GetTGFDuration:
    case ExportId::FX_GetTGFEntryMetrics:
    case ExportId::FX_GetTGFEntryMetrics2009a:
      return FrameUse::kAsLent;
    default:
      return std::nullopt;
  }
}

Bytes Take(Word buffer, std::int32_t size) {
  const auto* bytes = Address<const std::uint8_t>(buffer);
  return Bytes(bytes, bytes + size);
}

#ifndef _WIN32
FARPROC ResolveExport(void* context, const char* name) {
  auto* host = static_cast<SimHost*>(context);
  ExportId id;
  if (!FindExport(name, &id) || !host->HasExport(name)) return nullptr;
  return ExportAddress(id);
}
#endif

}  // namespace

SimHost& SimHost::Instance() {
  static SimHost host;
  return host;
}

SimHost::SimHost() {
  Reset();
}

void SimHost::Reset() {
  records_.Clear();
  transaction_snapshots_.clear();
  edit_names_.clear();
  transactions_offered_ = true;
  calls_.clear();
  call_counts_.assign(kExportCount, 0);
  removed_.clear();
  observer_ = nullptr;
  results_.clear();
  failing_calls_.clear();
  always_failing_.clear();
  every_incident_tags_.clear();
  size_changes_.clear();
  detail_delete_leaves_gap_ = false;
  layout_requests_.clear();
  layout_answer_ = 1;
  first_system_moves_.clear();
  fonts_.clear();
  font_lookups_fail_ = false;
  frames_.Reset();
  InstallBuiltInBehaviors();
}

void SimHost::InstallBuiltInBehaviors() {
  behaviors_.assign(kExportCount, Behavior());
  auto install = [this](ExportId id, Behavior behavior) {
    behaviors_[static_cast<int>(id)] = std::move(behavior);
  };
  install(ExportId::FX_LoadEData, [this](const Word* a) { return LoadEData(a); });
  install(ExportId::FX_SaveEData, [this](const Word* a) { return SaveEData(a); });
  install(ExportId::FX_CreateEData, [this](const Word* a) { return CreateEData(a); });
  install(ExportId::FX_DeleteEData, [this](const Word* a) { return DeleteEData(a); });
  install(ExportId::FX_NextEData, [this](const Word* a) { return StepEData(a, true); });
  install(ExportId::FX_PreviousEData, [this](const Word* a) { return StepEData(a, false); });
  install(ExportId::FX_StartScorixEdit, [this](const Word* a) { return StartEdit(a); });
  install(ExportId::FX_EndScorixEdit, [this](const Word*) { return EndEdit(); });
  install(ExportId::FX_CancelScorixEdit, [this](const Word*) { return CancelEdit(); });
  InstallFrameBehaviors();
  InstallLayoutBehaviors();
}

void SimHost::InstallFrameBehaviors() {
  auto install = [this](ExportId id, Behavior behavior) {
    behaviors_[static_cast<int>(id)] = std::move(behavior);
  };
  install(ExportId::FX_LoadTGF, [this](const Word* a) {
    return frames_.Load(records_, FrameKey{Short(a[1]), Short(a[2]), Short(a[3])});
  });
  install(ExportId::FX_SaveTGF, [this](const Word* a) { return frames_.Save(&records_, a[0]); });
  install(ExportId::FX_FreeTGF, [this](const Word* a) { return frames_.Free(a[0]); });
  install(ExportId::FX_InsertEXENTRY, [this](const Word* a) {
    return frames_.Insert(records_, a[0], Short(a[1]), Short(a[2]));
  });
  install(ExportId::FX_DeleteEXENTRY,
          [this](const Word* a) { return frames_.Delete(a[0], Short(a[1]), Short(a[2])); });
  install(ExportId::FX_ReduceEntries, [this](const Word* a) { return frames_.Reduce(a[0]); });
  install(ExportId::FX_GetTGFDuration, [this](const Word* a) { return frames_.Duration(a[0]); });
  install(ExportId::FX_GetMaxLayers,
          [this](const Word*) { return SignedWord(records_.Layers().layers); });
  install(ExportId::FX_GetShowLayer,
          [this](const Word* a) -> Word { return records_.Layers().IsShown(Short(a[0])) ? 1 : 0; });
  install(ExportId::FX_SlotToInst, [this](const Word* a) {
    return SignedWord(records_.Layers().StaffOfSlot(Short(a[0]), SlotKey(a[1])));
  });
  install(ExportId::FX_InstToSlot, [this](const Word* a) {
    return SignedWord(records_.Layers().SlotOfStaff(Short(a[0]), SlotKey(a[1])));
  });
  install(ExportId::FX_GetCurERegions,
          [this](const Word* a) { return CurrentRegions(records_, a); });
}

#ifndef _WIN32
void SimHost::RegisterAs(const char* module_name) {
  Unregister();
  module_ = platform::RegisterModule(module_name, &ResolveExport, this);
}

void SimHost::Unregister() {
  if (module_) platform::UnregisterModule(module_);
  module_ = nullptr;
}
#endif

void SimHost::RemoveExport(const std::string& name) {
  ExportId id;
  if (FindExport(name, &id)) removed_.insert(id);
}

void SimHost::RestoreExport(const std::string& name) {
  ExportId id;
  if (FindExport(name, &id)) removed_.erase(id);
}

bool SimHost::HasExport(const std::string& name) const {
  ExportId id;
  return FindExport(name, &id) && removed_.count(id) == 0;
}

void SimHost::SetResult(const std::string& name, Word result) {
  ExportId id;
  if (FindExport(name, &id)) results_[id] = result;
}

void SimHost::ClearResult(const std::string& name) {
  ExportId id;
  if (FindExport(name, &id)) results_.erase(id);
}

void SimHost::SetBehavior(const std::string& name, Behavior behavior) {
  ExportId id;
  if (FindExport(name, &id)) behaviors_[static_cast<int>(id)] = std::move(behavior);
}

Behavior SimHost::BehaviorOf(const std::string& name) const {
  ExportId id;
  return FindExport(name, &id) ? behaviors_[static_cast<int>(id)] : Behavior();
}

void SimHost::FailCall(const std::string& name, int nth) {
  ExportId id;
  if (FindExport(name, &id)) failing_calls_[id].insert(nth);
}

void SimHost::FailEveryCall(const std::string& name) {
  ExportId id;
  if (FindExport(name, &id)) always_failing_.insert(id);
}

void SimHost::AnswerEveryIncident(std::uint32_t tag, bool on) {
  if (on) {
    every_incident_tags_.insert(tag);
  } else {
    every_incident_tags_.erase(tag);
  }
}

void SimHost::ChangeSizeBetweenQueries(std::uint32_t tag, std::int32_t step) {
  if (step == 0) {
    size_changes_.erase(tag);
  } else {
    size_changes_[tag] = SizeChange{step, 0};
  }
}

int SimHost::CountCalls(const std::string& name) const {
  return static_cast<int>(std::count_if(calls_.begin(), calls_.end(),
                                        [&](const CallRecord& call) { return call.name == name; }));
}

Word SimHost::Dispatch(ExportId id, const Word* args) {
  const int index = static_cast<int>(id);
  const int nth = ++call_counts_[index];
  CallRecord call{ExportName(id), std::vector<Word>(args, args + ExportWordCount(id)), 0};
  if (observer_) observer_(call.name, args);
  // The frame a call is given is checked whatever answers the call.
  if (const auto use = FrameUseOf(id)) frames_.Inspect(ExportName(id), args[0], *use);
  auto failing = failing_calls_.find(id);
  const bool fails = always_failing_.count(id) > 0 ||
                     (failing != failing_calls_.end() && failing->second.count(nth) > 0);
  if (fails) {
    call.result = 0;
  } else if (auto programmed = results_.find(id); programmed != results_.end()) {
    call.result = programmed->second;
  } else {
    call.result = RunBehavior(id, args);
  }
  if (id == ExportId::FX_LoadTGF) frames_.CountLoad(call.result);
  calls_.push_back(call);
  return call.result;
}

Word SimHost::RunBehavior(ExportId id, const Word* args) {
  const Behavior& behavior = behaviors_[static_cast<int>(id)];
  return behavior ? behavior(args) : 0;
}

const Bytes* SimHost::RecordToLoad(std::uint32_t tag, const Identity& id) {
  if (const Bytes* stored = records_.Find(tag, id)) return stored;
  if (!every_incident_tags_.count(tag)) return nullptr;
  // The item's records: the asked identity with incident 0, and every incident after it.
  Identity lowest = id;
  lowest[2] = lowest[3] = 0;
  if (const Bytes* first = records_.Find(tag, lowest)) return first;
  for (auto next = records_.Next(tag, lowest); next; next = records_.Next(tag, *next)) {
    Identity asked_shape = *next;
    asked_shape[2] = id[2];
    asked_shape[3] = id[3];
    if (asked_shape == id) return records_.Find(tag, *next);
    if (IdentityWord(*next, 0) != IdentityWord(id, 0)) break;
  }
  static const Bytes kNoIncident(4, 0);
  return &kNoIncident;
}

std::int32_t SimHost::SizeToReport(std::uint32_t tag, const Bytes& record) {
  const auto stored = static_cast<std::int64_t>(record.size());
  const auto change = size_changes_.find(tag);
  if (change == size_changes_.end() || ++change->second.queries % 2 != 0) {
    return static_cast<std::int32_t>(std::min<std::int64_t>(stored, INT32_MAX));
  }
  const std::int64_t changed = stored + change->second.step;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(changed, 0, INT32_MAX));
}

// FX_LoadEData(tag, id, buffer, size*, version): a null buffer asks for the size; otherwise at
// most the capacity in *size is delivered and *size tells how much was.
Word SimHost::LoadEData(const Word* args) {
  const Word tag = args[0], id = args[1], buffer = args[2], size = args[3];
  if (!id || !size) return 0;
  const Bytes* record = RecordToLoad(static_cast<std::uint32_t>(tag), ReadIdentity(id));
  if (!record) return 0;
  auto* size_variable = Address<std::int32_t>(size);
  if (!buffer) {
    *size_variable = SizeToReport(static_cast<std::uint32_t>(tag), *record);
    return 1;
  }
  *size_variable = Deliver(*record, buffer, *size_variable);
  return 1;
}

// FX_SaveEData(tag, id, buffer, size, version): rewrites an existing record with `size` bytes.
Word SimHost::SaveEData(const Word* args) {
  const Word tag = args[0], id = args[1], buffer = args[2];
  const auto size = static_cast<std::int32_t>(args[3]);
  if (!id || !buffer || size < 0) return 0;
  const Identity identity = ReadIdentity(id);
  if (!records_.Find(tag, identity)) return 0;
  records_.Put(tag, identity, Take(buffer, size));
  return 1;
}

// FX_CreateEData(tag, id, buffer, size, version): an item number of 0xFFFF asks for the next
// free number, which is written back into the identity.
Word SimHost::CreateEData(const Word* args) {
  const Word tag = args[0], id = args[1], buffer = args[2];
  const auto size = static_cast<std::int32_t>(args[3]);
  if (!id || size < 0 || (size > 0 && !buffer)) return 0;
  Identity identity = ReadIdentity(id);
  if (records_.FormOf(static_cast<std::uint32_t>(tag)) == TagForm::kDetails) {
    if (!CreateDetail(&records_, static_cast<std::uint32_t>(tag), &identity,
                      size > 0 ? Take(buffer, size) : Bytes())) {
      return 0;
    }
    WriteIdentity(id, identity);
    return 1;
  }
  if (IdentityWord(identity, 0) == 0xFFFF) {
    // Clef definitions are counted from 0; every other kind from 1.
    const auto number =
        records_.NextFreeNumber(static_cast<std::uint32_t>(tag), tag == kClefTag ? 0 : 1);
    if (!number) return 0;
    identity[0] = static_cast<std::uint8_t>(*number & 0xFF);
    identity[1] = static_cast<std::uint8_t>(*number >> 8);
  }
  if (records_.Find(tag, identity)) return 0;
  records_.Put(tag, identity, size > 0 ? Take(buffer, size) : Bytes());
  WriteIdentity(id, identity);
  return 1;
}

Word SimHost::DeleteEData(const Word* args) {
  if (!args[1]) return 0;
  const auto tag = static_cast<std::uint32_t>(args[0]);
  if (records_.FormOf(tag) == TagForm::kDetails) {
    return DeleteDetail(&records_, tag, ReadIdentity(args[1]), detail_delete_leaves_gap_) ? 1 : 0;
  }
  return records_.Erase(tag, ReadIdentity(args[1])) ? 1 : 0;
}

// FX_NextEData / FX_PreviousEData(tag, id, buffer, size, version): moves the identity to the
// neighbouring record of the tag; a buffer, if given, receives as much of it as `size` allows.
Word SimHost::StepEData(const Word* args, bool forward) {
  const Word tag = args[0], id = args[1], buffer = args[2];
  if (!id) return 0;
  const Identity from = ReadIdentity(id);
  const auto to = forward ? records_.Next(tag, from) : records_.Previous(tag, from);
  if (!to) return 0;
  WriteIdentity(id, *to);
  Deliver(*records_.Find(tag, *to), buffer, static_cast<std::int32_t>(args[3]));
  return 1;
}

// FX_StartScorixEdit(name, version): opens a transaction that remembers the document.
Word SimHost::StartEdit(const Word* args) {
  if (!transactions_offered_) return 0;
  const char* name = Address<const char>(args[0]);
  edit_names_.push_back(name ? name : "");
  transaction_snapshots_.push_back(records_);
  return 1;
}

Word SimHost::EndEdit() {
  if (transaction_snapshots_.empty()) return 0;
  transaction_snapshots_.pop_back();
  return 1;
}

Word SimHost::CancelEdit() {
  if (transaction_snapshots_.empty()) return 0;
  records_ = std::move(transaction_snapshots_.back());
  transaction_snapshots_.pop_back();
  return 1;
}

void SimHost::InstallLayoutBehaviors() {
  behaviors_[static_cast<int>(ExportId::FX_UpdateLayout)] = [this](const Word* a) {
    return UpdateLayout(a);
  };
  behaviors_[static_cast<int>(ExportId::FX_FontNumToName)] = [this](const Word* a) {
    return FontNumToName(a);
  };
}

// FX_UpdateLayout(page, flag, version): kept as asked; then the pages whose first system the
// host was told to move get it.
Word SimHost::UpdateLayout(const Word* args) {
  layout_requests_.push_back(
      LayoutRequest{Short(args[0]), Short(args[1]), static_cast<std::uint32_t>(args[2])});
  for (const auto& [page, first_system] : first_system_moves_) {
    const Identity id = ItemIdentity(page);
    const Bytes* record = records_.Find(kPageTag, id);
    if (!record) continue;
    Bytes moved = *record;
    if (PutWord(&moved, page_record::kFirstSystem, static_cast<std::uint16_t>(first_system))) {
      records_.Put(kPageTag, id, std::move(moved));
    }
  }
  return layout_answer_;
}

// FX_FontNumToName(number, array, version): the array holds 256 bytes.
Word SimHost::FontNumToName(const Word* args) {
  auto* array = Address<std::uint8_t>(args[1]);
  if (!array) return 0;
  if (font_lookups_fail_) {
    std::memset(array, 'X', kFontNameCapacity);
    return 0;
  }
  const auto found = fonts_.find(Short(args[0]));
  if (found == fonts_.end()) return 0;
  WriteFontName(found->second, array);
  return 1;
}

}  // namespace hostsim
