#include "hostsim/fault_sweep.h"

#include <map>

namespace hostsim {

namespace {

const char* const kSweptExports[] = {
    "FX_LoadEData", "FX_SaveEData", "FX_CreateEData",   "FX_DeleteEData",
    "FX_LoadTGF",   "FX_SaveTGF",   "FX_InsertEXENTRY", "FX_DeleteEXENTRY",
};

std::string Counted(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string DescribeSweptCall(const SweptCall& call) {
  return call.name + " #" + std::to_string(call.nth);
}

bool IsSweptExport(const std::string& name) {
  for (const char* swept : kSweptExports) {
    if (name == swept) return true;
  }
  return false;
}

std::vector<SweptCall> SweptCalls(const std::vector<CallRecord>& clean_run) {
  std::vector<SweptCall> calls;
  std::map<std::string, int> made;
  for (const CallRecord& call : clean_run) {
    const int nth = ++made[call.name];
    if (IsSweptExport(call.name)) calls.push_back({call.name, nth});
  }
  return calls;
}

FaultOutcome ClassifyFaultRun(const RecordStore& original, const RecordStore& clean,
                              const RecordStore& after) {
  if (after == original) return FaultOutcome::kUnchanged;
  if (after == clean) return FaultOutcome::kCompleted;
  return FaultOutcome::kHalfChanged;
}

void SweepTally::Count(FaultOutcome outcome) {
  ++runs;
  switch (outcome) {
    case FaultOutcome::kUnchanged:
      ++unchanged;
      break;
    case FaultOutcome::kCompleted:
      ++completed;
      break;
    case FaultOutcome::kHalfChanged:
      ++half_changed;
      break;
  }
}

void SweepTally::CountEndedBadly() {
  ++runs;
  ++ended_badly;
}

std::string SweepTally::Counts() const {
  std::string counts = Counted(static_cast<std::size_t>(runs), "run", "runs") + ": " +
                       std::to_string(unchanged) + " unchanged, " + std::to_string(completed) +
                       " as the clean run left it, " + std::to_string(half_changed) +
                       " half-changed";
  if (ended_badly) counts += ", " + std::to_string(ended_badly) + " ended badly";
  return counts;
}

std::string DescribeDifferences(const RecordStore& before, const RecordStore& after) {
  std::size_t changed = 0, added = 0, removed = 0;
  for (const auto& [key, bytes] : after.Records()) {
    const Bytes* old = before.Find(key.tag, key.id);
    if (!old) {
      ++added;
    } else if (*old != bytes) {
      ++changed;
    }
  }
  for (const auto& entry : before.Records()) {
    if (!after.Find(entry.first.tag, entry.first.id)) ++removed;
  }
  std::size_t frames_changed = 0;
  for (const auto& [key, entries] : after.Frames()) {
    const Bytes* old = before.FindFrame(key);
    frames_changed += !old || *old != entries;
  }
  for (const auto& entry : before.Frames()) frames_changed += !after.FindFrame(entry.first);
  std::string text;
  auto add = [&text](std::size_t count, const char* one, const char* many) {
    if (count) text += (text.empty() ? "" : ", ") + Counted(count, one, many);
  };
  add(changed, "record changed", "records changed");
  add(added, "record added", "records added");
  add(removed, "record removed", "records removed");
  add(frames_changed, "frame changed", "frames changed");
  if (!(before.Layers() == after.Layers()))
    text += (text.empty() ? "" : ", ") + std::string("layer setup changed");
  return text;
}

}  // namespace hostsim
