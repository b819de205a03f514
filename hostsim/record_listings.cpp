#include "hostsim/record_listings.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <utility>
#include <vector>

#include "hostsim/entry_records.h"
#include "hostsim/score_records.h"
#include "hostsim/score_tables.h"
#include "hostsim/staff_records.h"

namespace hostsim {

namespace {

const char* YesNo(bool value) {
  return value ? "yes" : "no";
}

std::string Signed(std::uint16_t word) {
  return std::to_string(word >= 0x8000 ? static_cast<int>(word) - 0x10000 : word);
}

std::string Joined(const std::vector<std::string>& cells) {
  std::string joined;
  for (const std::string& cell : cells) joined += (joined.empty() ? "" : ", ") + cell;
  return joined;
}

std::string Section(const char* heading, const TextTable& table) {
  if (table.RowCount() == 0) return "";
  return std::string("\n") + heading + ":\n" + table.Render();
}

std::string RecordOfSize(std::size_t size) {
  return "(record of " + std::to_string(size) + (size == 1 ? " byte)" : " bytes)");
}

// --- Texts and incident runs: the tags a document gave in those sections ---

std::vector<std::uint32_t> TagsOfForm(const RecordStore& store, TagForm form) {
  std::vector<std::uint32_t> tags;
  for (const auto& [key, record] : store.Records()) {
    if (store.FormOf(key.tag) == form && (tags.empty() || tags.back() != key.tag)) {
      tags.push_back(key.tag);
    }
  }
  return tags;
}

std::string TextsSection(const RecordStore& store) {
  TextTable table;
  table.AddColumn("Tag");
  table.AddColumn("Number", TextTable::Align::kRight);
  table.AddColumn("Bytes", TextTable::Align::kRight);
  table.AddColumn("Text");
  for (const std::uint32_t tag : TagsOfForm(store, TagForm::kTexts)) {
    for (const auto& [id, record] : store.All(tag)) {
      const auto number = ItemNumberOf(id);
      if (!number) continue;
      table.AddRow(
          {TagLabel(tag), Signed(*number), std::to_string(record->size()), DescribeText(*record)});
    }
  }
  return Section("Texts", table);
}

std::string IncidentsSection(const RecordStore& store) {
  TextTable table;
  table.AddColumn("Tag");
  table.AddColumn("Item", TextTable::Align::kRight);
  table.AddColumn("Incidents");
  table.AddColumn("Bytes");
  for (const std::uint32_t tag : TagsOfForm(store, TagForm::kIncidents)) {
    // Item number -> the incidents present and their sizes, in identity order.
    std::map<std::uint16_t, std::pair<std::vector<std::string>, std::vector<std::string>>> runs;
    for (const auto& [id, record] : store.All(tag)) {
      if (IdentityWord(id, 2) != 0 || IdentityWord(id, 3) != 0) continue;
      auto& run = runs[IdentityWord(id, 0)];
      run.first.push_back(Signed(IdentityWord(id, 1)));
      run.second.push_back(std::to_string(record->size()));
    }
    for (const auto& [item, run] : runs) {
      table.AddRow({TagLabel(tag), std::to_string(item), Joined(run.first), Joined(run.second)});
    }
  }
  return Section("Incidents", table);
}

// --- Staves and current staves ---

void AddTranspositionColumns(TextTable* table) {
  table->AddColumn("Transposition");
  table->AddColumn("Kind");
  table->AddColumn("Interval", TextTable::Align::kRight);
  table->AddColumn("Alteration", TextTable::Align::kRight);
  table->AddColumn("Simplify key");
  table->AddColumn("Set to clef");
}

void AppendTransposition(const Bytes& record, std::vector<std::string>* row) {
  const auto word = TranspositionOf(record);
  if (!word) {
    row->push_back(RecordOfSize(record.size()));
    return;
  }
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(*word));
  std::string cell = hex;
  if (record.size() != staff_record::kSize) cell += " " + RecordOfSize(record.size());
  const Transposition transposition = DecodeTransposition(*word);
  row->insert(row->end(),
              {cell, transposition.chromatic ? "chromatic" : "diatonic",
               std::to_string(transposition.interval), std::to_string(transposition.alteration),
               YesNo(transposition.simplify_key), YesNo(transposition.set_to_clef)});
}

std::string StavesSection(const RecordStore& store) {
  TextTable table;
  table.AddColumn("Staff", TextTable::Align::kRight);
  AddTranspositionColumns(&table);
  for (const auto& [id, record] : store.All(kStaffTag)) {
    const auto number = ItemNumberOf(id);
    if (!number) continue;
    std::vector<std::string> row{std::to_string(*number)};
    AppendTransposition(*record, &row);
    table.AddRow(std::move(row));
  }
  return Section("Staves", table);
}

std::string CurrentStavesSection(const RecordStore& store) {
  TextTable table;
  table.AddColumn("Staff", TextTable::Align::kRight);
  table.AddColumn("Measure", TextTable::Align::kRight);
  table.AddColumn("Position", TextTable::Align::kRight);
  AddTranspositionColumns(&table);
  for (const auto& [id, record] : store.All(kCurrentStaffTag)) {
    const CurrentStaffPlace where = CurrentStaffPlaceOf(id);
    std::vector<std::string> row{std::to_string(where.staff), std::to_string(where.measure),
                                 std::to_string(where.position)};
    AppendTransposition(*record, &row);
    table.AddRow(std::move(row));
  }
  return Section("Current staves", table);
}

// --- Clefs and measure-number regions ---

std::string ClefsSection(const RecordStore& store) {
  TextTable table;
  table.AddColumn("Clef", TextTable::Align::kRight);
  table.AddColumn("Baseline", TextTable::Align::kRight);
  for (const auto& [id, record] : store.All(kClefTag)) {
    const auto number = ItemNumberOf(id);
    if (!number) continue;
    const auto baseline = ClefBaselineOf(*record);
    std::string cell = baseline ? std::to_string(*baseline) : RecordOfSize(record->size());
    if (baseline && record->size() != clef_record::kSize) {
      cell += " " + RecordOfSize(record->size());
    }
    table.AddRow({std::to_string(*number), cell});
  }
  return Section("Clefs", table);
}

std::string RegionsSection(const RecordStore& store) {
  TextTable table;
  table.AddColumn("Region", TextTable::Align::kRight);
  table.AddColumn("Measures");
  table.AddColumn("Layout", TextTable::Align::kRight);
  for (const auto& [id, record] : store.All(kMeasureNumberRegionTag)) {
    const auto number = ItemNumberOf(id);
    if (!number) continue;
    const auto range = ReadRegionRange(*record);
    if (!range) {
      table.AddRow({std::to_string(*number), RecordOfSize(record->size()) + ", neither layout"});
      continue;
    }
    table.AddRow({std::to_string(*number),
                  "measures " + std::to_string(range->start_measure) + " to " +
                      std::to_string(range->end_measure) + ", numbered from " +
                      std::to_string(range->start_number),
                  std::to_string(record->size())});
  }
  return Section("Measure-number regions", table);
}

// --- Layers and entries ---

std::string LayersLine(const LayerSetup& setup) {
  std::string line = "\nLayers: " + std::to_string(setup.layers) + " per staff";
  if (!setup.hidden.empty()) {
    std::vector<std::string> hidden;
    for (const std::int16_t layer : setup.hidden) hidden.push_back(std::to_string(layer));
    line += std::string(hidden.size() == 1 ? ", layer " : ", layers ") + Joined(hidden) + " hidden";
  }
  line += "\n";
  if (!setup.slot_staves.empty()) {
    std::vector<std::string> slots;
    for (const auto& [slot, staff] : setup.slot_staves) {
      slots.push_back("slot " + std::to_string(slot) + " shows staff " + std::to_string(staff));
    }
    line += "Slots: " + Joined(slots) + "; every other slot its own staff\n";
  }
  return line;
}

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

// The cells of one entry from its number on: entry, position, duration, kind, flags, notes.
std::vector<std::string> EntryCells(const std::uint8_t* entry) {
  using namespace entry_record;
  const std::uint32_t flags = ReadU32(entry + kFlags);
  return {std::to_string(ReadS32(entry + kEntryNumber)),
          std::to_string(ReadS32(entry + kPosition)),
          std::to_string(ReadS16(entry + kDuration)),
          (flags & kIsNote) ? "note" : "rest",
          Hex32(flags),
          DescribeNotes(entry)};
}

void AddEntryColumns(TextTable* table) {
  table->AddColumn("Entry", TextTable::Align::kRight);
  table->AddColumn("Position", TextTable::Align::kRight);
  table->AddColumn("Duration", TextTable::Align::kRight);
  table->AddColumn("Kind");
  table->AddColumn("Flags");
  table->AddColumn("Notes");
}

std::vector<std::string> PlaceCells(const FrameKey& key, const LayerSetup& setup) {
  std::string layer = std::to_string(key.layer);
  if (setup.hidden.count(key.layer)) layer += " (hidden)";
  return {std::to_string(key.staff), std::to_string(key.measure), layer};
}

std::string EntriesSection(const RecordStore& store) {
  TextTable table;
  table.AddColumn("Staff", TextTable::Align::kRight);
  table.AddColumn("Measure", TextTable::Align::kRight);
  table.AddColumn("Layer");
  AddEntryColumns(&table);
  for (const auto& [key, entries] : store.Frames()) {
    std::vector<std::string> place = PlaceCells(key, store.Layers());
    if (EntryCount(entries) == 0) {
      place.insert(place.end(), {"", "", "", "", "", "no entries"});
      table.AddRow(std::move(place));
      continue;
    }
    for (std::size_t index = 0; index < EntryCount(entries); ++index) {
      std::vector<std::string> row = index == 0 ? place : std::vector<std::string>(3);
      const std::vector<std::string> cells =
          EntryCells(entries.data() + index * entry_record::kSize);
      row.insert(row.end(), cells.begin(), cells.end());
      table.AddRow(std::move(row));
    }
  }
  return Section("Entries", table);
}

std::string MusicListing(const RecordStore& store) {
  if (store.Frames().empty() && store.Layers().IsDefault()) return "";
  return LayersLine(store.Layers()) + EntriesSection(store);
}

}  // namespace

std::string FrameChanges(const RecordStore& before, const RecordStore& after) {
  TextTable table;
  table.AddColumn("Staff", TextTable::Align::kRight);
  table.AddColumn("Measure", TextTable::Align::kRight);
  table.AddColumn("Layer");
  table.AddColumn("");
  AddEntryColumns(&table);
  std::map<FrameKey, std::pair<const Bytes*, const Bytes*>> frames;
  for (const auto& [key, entries] : before.Frames()) frames[key].first = &entries;
  for (const auto& [key, entries] : after.Frames()) frames[key].second = &entries;
  static const Bytes kNone;
  for (const auto& [key, pair] : frames) {
    const Bytes& was = pair.first ? *pair.first : kNone;
    const Bytes& now = pair.second ? *pair.second : kNone;
    if (was == now) continue;
    std::vector<std::string> place = PlaceCells(key, after.Layers());
    const std::size_t count = std::max(EntryCount(was), EntryCount(now));
    for (std::size_t index = 0; index < count; ++index) {
      const std::size_t offset = index * entry_record::kSize;
      const bool had = index < EntryCount(was), has = index < EntryCount(now);
      if (had && has &&
          std::equal(was.begin() + static_cast<std::ptrdiff_t>(offset),
                     was.begin() + static_cast<std::ptrdiff_t>(offset + entry_record::kSize),
                     now.begin() + static_cast<std::ptrdiff_t>(offset))) {
        continue;
      }
      for (const bool after_change : {false, true}) {
        std::vector<std::string> row = place;
        place.assign(3, "");
        row.push_back(after_change ? "after" : "before");
        if (after_change ? has : had) {
          const std::vector<std::string> cells =
              EntryCells((after_change ? now : was).data() + offset);
          row.insert(row.end(), cells.begin(), cells.end());
        } else {
          row.insert(row.end(), {"", "", "", "", "", "(none)"});
        }
        table.AddRow(std::move(row));
      }
    }
  }
  return Section("Entries, before and after", table);
}

std::string DescribeText(const Bytes& record) {
  const auto nul = std::find(record.begin(), record.end(), 0);
  const std::string quoted = "\"" + Printable(std::string(record.begin(), nul)) + "\"";
  if (record.empty()) return quoted + " (empty, unterminated)";
  if (nul == record.end()) return quoted + " (unterminated)";
  const auto after = static_cast<std::size_t>(record.end() - nul - 1);
  if (after > 0) {
    return quoted + " (" + std::to_string(after) + (after == 1 ? " more byte" : " more bytes") +
           " after the NUL)";
  }
  return nul == record.begin() ? quoted + " (empty)" : quoted;
}

std::string TagLabel(std::uint32_t tag) {
  char label[32];
  std::snprintf(label, sizeof label, "0x%08X", static_cast<unsigned>(tag));
  std::string text = label;
  std::string characters;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto c = static_cast<unsigned char>((tag >> shift) & 0xFF);
    if (c < 0x20 || c >= 0x7F || c == '\'' || c == '\\') return text;
    characters += static_cast<char>(c);
  }
  return text + " '" + characters + "'";
}

std::string RecordListings(const RecordStore& store) {
  return TextsSection(store) + IncidentsSection(store) + StavesSection(store) +
         CurrentStavesSection(store) + ClefsSection(store) + RegionsSection(store) +
         MusicListing(store);
}

}  // namespace hostsim
