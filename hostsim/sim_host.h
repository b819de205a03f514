// The simulated Scorix host: every FX_ export, a document of records, and the controls a test or
// scorix-sim uses to play the host (programmed answers, removed exports, injected failures).
//
// The exports are free functions (they must be, for a plug-in to find them by name), so the host
// is one process-wide object.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "hostsim/export_list.h"
#include "hostsim/frame_lender.h"
#include "hostsim/record_store.h"
#include "platform/win32.h"

namespace hostsim {

enum class ExportId {
#define HOSTSIM_EXPORT_ID(name, words) name,
  HOSTSIM_EXPORTS(HOSTSIM_EXPORT_ID)
#undef HOSTSIM_EXPORT_ID
      kCount
};

constexpr int kExportCount = static_cast<int>(ExportId::kCount);

// An argument or result word of an export: one 32-bit stack slot on i386 (and the shipped
// host), as wide as an address on 64-bit builds, so that addresses arrive whole. A signed answer
// (-1 from FX_FreeTGF) is sign-extended to the word's width.
using Word = std::uintptr_t;

// One call as the host saw it: the export, its argument words and the answer it gave.
struct CallRecord {
  std::string name;
  std::vector<Word> args;
  Word result;
};

// An export's own behaviour: gets the argument words, answers the result word.
using Behavior = std::function<Word(const Word* args)>;

// The export's name and address, for the plug-in's lookup by name; null when not an export.
const char* ExportName(ExportId id);
int ExportWordCount(ExportId id);
bool FindExport(const std::string& name, ExportId* id);
FARPROC ExportAddress(ExportId id);

class SimHost {
 public:
  static SimHost& Instance();

  // Back to a fresh host: no records, no calls, every export present with its own behaviour,
  // no programmed answers or failures, no open transaction.
  void Reset();

#ifndef _WIN32
  // Registers the host in the platform's module table (on Windows the host is the executable).
  void RegisterAs(const char* module_name = "SCORIX.EXE");
  void Unregister();
#endif

  // --- Exports and answers ---
  void RemoveExport(const std::string& name);
  void RestoreExport(const std::string& name);
  bool HasExport(const std::string& name) const;
  // Replaces the export's answer (its behaviour is not run).
  void SetResult(const std::string& name, Word result);
  void ClearResult(const std::string& name);
  // Gives an export behaviour of its own (replacing the built-in one, if any).
  void SetBehavior(const std::string& name, Behavior behavior);
  // The export's behaviour now (null when it has none), so a new one can wrap it.
  Behavior BehaviorOf(const std::string& name) const;
  // The nth call (1-based, counted since Reset) of the export answers 0 and changes nothing.
  void FailCall(const std::string& name, int nth);
  void FailEveryCall(const std::string& name);

  // --- Answers that test a plug-in's own bounds ---
  // While on, FX_LoadEData of `tag` (with a buffer or as a size query) for an identity the
  // document does not hold answers as if it had asked for the item's lowest stored incident: the
  // first record, in identity order, whose identity differs from the asked one in the incident
  // (bytes 2-3) alone; or, when the item has none, a record of 4 zero bytes. A walk over
  // incidents that waits for the host to stop answering then never ends unless the plug-in bounds
  // it itself. Saves, creations, deletions and the step functions are unaffected. Off by
  // default; Reset() turns it off for every tag.
  void AnswerEveryIncident(std::uint32_t tag, bool on);
  // From this call on, every second size query (FX_LoadEData with a null buffer that finds a
  // record) of `tag`, the 2nd, 4th, ..., reports the stored size plus `step`, never below 0;
  // the others report the stored size, and loads with a buffer deliver the stored bytes as usual
  // (at most the capacity given). A plug-in that sizes its buffer by one query and trusts the
  // next is caught. Only the queries the host answers itself count: a call made to fail or given
  // a programmed result does not. Calling it again starts the count afresh; a step of 0 turns it
  // off for the tag; Reset() turns it off for every tag.
  void ChangeSizeBetweenQueries(std::uint32_t tag, std::int32_t step);

  // --- Entry details (see detail_records.h) ---
  // FX_CreateEData and FX_DeleteEData of a tag the document declares as a detail tag
  // (Records().SetTagForm(tag, TagForm::kDetails)) number its records by incident under each
  // entry. While on, a delete leaves the incidents above the one deleted where they are, a gap
  // in the numbering. Reset() turns it off.
  void SetDetailDeleteLeavesGap(bool on) {
    detail_delete_leaves_gap_ = on;
  }

  // --- Page layout and fonts ---
  // FX_UpdateLayout(page, flag, version) keeps every request and answers 1, or the answer set
  // here; each request then writes every first system given to MoveFirstSystemOnLayout into
  // its page's record (a page the document lacks, or whose record is too short, is left alone).
  struct LayoutRequest {
    std::int16_t page;
    std::int16_t flag;
    std::uint32_t version;
  };
  const std::vector<LayoutRequest>& LayoutRequests() const {
    return layout_requests_;
  }
  void SetLayoutAnswer(Word answer) {
    layout_answer_ = answer;
  }
  void MoveFirstSystemOnLayout(std::uint16_t page, std::int16_t first_system) {
    first_system_moves_[page] = first_system;
  }
  // FX_FontNumToName(number, array, version) copies the font's name and its NUL into the
  // 256-byte array, never past it (see WriteFontName), and answers 1; it answers 0, writing
  // nothing, for a number the table lacks or a null array. While lookups fail, every lookup fills
  // the array with 256 bytes of 'X' and answers 0. Reset() empties the table and ends the
  // failing.
  void SetFontName(std::int16_t number, std::string name) {
    fonts_[number] = std::move(name);
  }
  void SetFontLookupsFail(bool fail) {
    font_lookups_fail_ = fail;
  }

  // --- What happened ---
  const std::vector<CallRecord>& Calls() const {
    return calls_;
  }
  int CountCalls(const std::string& name) const;
  // Called with every call as it arrives, before it is answered, for a test that must read what
  // an argument address points to at that moment (an identity the plug-in changes afterwards).
  // Reset() removes it.
  using CallObserver = std::function<void(const std::string& name, const Word* args)>;
  void ObserveCalls(CallObserver observer) {
    observer_ = std::move(observer);
  }
  void ClearCalls() {
    calls_.clear();
  }

  // --- The document ---
  RecordStore& Records() {
    return records_;
  }
  const RecordStore& Records() const {
    return records_;
  }

  // --- Frames (see frame_lender.h for what each frame call does and checks) ---
  // FX_LoadTGF(a1, staff, measure, layer, a5) lends the frame of the document's (staff, measure,
  // layer) (a1 and a5 are not looked at); FX_GetMaxLayers, FX_GetShowLayer, FX_SlotToInst and
  // FX_InstToSlot answer from the document's layer setup (the last two from the map of the slot
  // key they are given); FX_GetCurERegions reports the document's selection (set with
  // Records().SetSelection) and the region of the whole document (see region_records.h).
  // What the plug-in did with every frame; Reset() empties it. Each call first looks through every
  // freed block for writes made since, so ask once after a run rather than in a loop.
  const FrameLedger& Frames() const {
    return frames_.Ledger();
  }
  // While on, frames and their entry arrays are lent at odd addresses. Reset() turns it off.
  void SetOddFrameAddresses(bool odd) {
    frames_.SetOddAddresses(odd);
  }
  // From now on FX_LoadTGF of this staff, measure and layer answers null, as if the host failed
  // to load it. Reset() forgets every refusal. (FailCall fails the n-th call of any frame export.)
  void RefuseFrameLoad(std::int16_t staff, std::int16_t measure, std::int16_t layer) {
    frames_.Refuse(FrameKey{staff, measure, layer});
  }

  // --- Edit transactions ---
  int OpenTransactions() const {
    return static_cast<int>(transaction_snapshots_.size());
  }
  // Whether the host offers edit transactions at all (a host without them answers 0 to start).
  void SetTransactionsOffered(bool offered) {
    transactions_offered_ = offered;
  }
  // The names the plug-in gave its edit transactions, in the order they were opened.
  const std::vector<std::string>& EditNames() const {
    return edit_names_;
  }

  // Called by every export.
  Word Dispatch(ExportId id, const Word* args);

 private:
  SimHost();
  void InstallBuiltInBehaviors();
  void InstallFrameBehaviors();
  void InstallLayoutBehaviors();
  Word RunBehavior(ExportId id, const Word* args);

  Word LoadEData(const Word* args);
  // The record FX_LoadEData answers for: the stored one, or one made up by AnswerEveryIncident.
  const Bytes* RecordToLoad(std::uint32_t tag, const Identity& id);
  std::int32_t SizeToReport(std::uint32_t tag, const Bytes& record);
  Word SaveEData(const Word* args);
  Word CreateEData(const Word* args);
  Word DeleteEData(const Word* args);
  Word StepEData(const Word* args, bool forward);
  Word StartEdit(const Word* args);
  Word EndEdit();
  Word CancelEdit();
  Word UpdateLayout(const Word* args);
  Word FontNumToName(const Word* args);

  RecordStore records_;
  FrameLender frames_;
  std::vector<RecordStore> transaction_snapshots_;
  std::vector<std::string> edit_names_;
  bool transactions_offered_ = true;
  std::vector<CallRecord> calls_;
  CallObserver observer_;
  std::vector<int> call_counts_;
  std::vector<Behavior> behaviors_;
  std::set<ExportId> removed_;
  std::map<ExportId, Word> results_;
  std::map<ExportId, std::set<int>> failing_calls_;
  std::set<ExportId> always_failing_;
  std::set<std::uint32_t> every_incident_tags_;
  struct SizeChange {
    std::int32_t step;
    std::int64_t queries;  // size queries answered since the mode was set
  };
  std::map<std::uint32_t, SizeChange> size_changes_;
  bool detail_delete_leaves_gap_ = false;
  std::vector<LayoutRequest> layout_requests_;
  Word layout_answer_ = 1;
  std::map<std::uint16_t, std::int16_t> first_system_moves_;
  std::map<std::int16_t, std::string> fonts_;
  bool font_lookups_fail_ = false;
#ifndef _WIN32
  HMODULE module_ = nullptr;
#endif
};

}  // namespace hostsim
