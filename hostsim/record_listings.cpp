#include "hostsim/record_listings.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "hostsim/detail_records.h"
#include "hostsim/entry_records.h"
#include "hostsim/layout_records.h"
#include "hostsim/region_records.h"
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

// An item-numbered kind of `size` bytes listed by one 16-bit word at `offset`, as `describe`
// tells it: clefs, pages and key signatures.
std::string WordRecordsSection(const RecordStore& store, std::uint32_t tag, const char* heading,
                               const char* number_column, const char* word_column, std::size_t size,
                               std::size_t offset,
                               const std::function<std::string(std::uint16_t)>& describe,
                               TextTable::Align align = TextTable::Align::kRight) {
  TextTable table;
  table.AddColumn(number_column, TextTable::Align::kRight);
  table.AddColumn(word_column, align);
  for (const auto& [id, record] : store.All(tag)) {
    const auto number = ItemNumberOf(id);
    if (!number) continue;
    const auto word = WordAt(*record, offset);
    std::string cell = word ? describe(*word) : RecordOfSize(record->size());
    if (word && record->size() != size) cell += " " + RecordOfSize(record->size());
    table.AddRow({std::to_string(*number), cell});
  }
  return Section(heading, table);
}

std::string ClefsSection(const RecordStore& store) {
  return WordRecordsSection(store, kClefTag, "Clefs", "Clef", "Baseline", clef_record::kSize,
                            clef_record::kBaseline, Signed);
}

// --- Pages, articulation definitions and key signatures ---

std::string PagesSection(const RecordStore& store) {
  return WordRecordsSection(store, kPageTag, "Pages", "Page", "First system", page_record::kSize,
                            page_record::kFirstSystem, Signed);
}

// "0x01FD (count -3, mode 1)".
std::string DescribeKeyWord(std::uint16_t word) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(word));
  const KeyFields key = DecodeKeyWord(word);
  return std::string(hex) + " (count " + std::to_string(key.count) + ", mode " +
         std::to_string(key.mode) + ")";
}

std::string KeySignaturesSection(const RecordStore& store) {
  return WordRecordsSection(store, kKeySignatureTag, "Key signatures", "Key", "Key word",
                            key_record::kSize, key_record::kKeyWord, DescribeKeyWord,
                            TextTable::Align::kLeft);
}

std::string ArticulationsSection(const RecordStore& store) {
  TextTable table;
  table.AddColumn("Articulation", TextTable::Align::kRight);
  table.AddColumn("Font");
  table.AddColumn("Placement");
  for (const auto& [id, record] : store.All(kArticulationTag)) {
    const auto number = ItemNumberOf(id);
    if (!number) continue;
    const auto fields = ReadArticulation(*record);
    if (!fields) {
      table.AddRow({std::to_string(*number), RecordOfSize(record->size())});
      continue;
    }
    std::string font = fields->no_font ? "none" : std::to_string(fields->font);
    if (record->size() != articulation_record::kSize) font += " " + RecordOfSize(record->size());
    table.AddRow({std::to_string(*number), font,
                  fields->automatic ? "automatic, side code " + std::to_string(fields->side_code)
                                    : "by hand"});
  }
  return Section("Articulation definitions", table);
}

std::string LayoutSections(const RecordStore& store) {
  return PagesSection(store) + ArticulationsSection(store) + KeySignaturesSection(store);
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

// --- MIDI expressions ---

std::string MidiExpressionsSection(const RecordStore& store) {
  TextTable table;
  table.AddColumn("Staff", TextTable::Align::kRight);
  table.AddColumn("Measure", TextTable::Align::kRight);
  table.AddColumn("Inci", TextTable::Align::kRight);
  table.AddColumn("Bytes", TextTable::Align::kRight);
  table.AddColumn("Position", TextTable::Align::kRight);
  table.AddColumn("Status");
  table.AddColumn("Data 1", TextTable::Align::kRight);
  table.AddColumn("Data 2", TextTable::Align::kRight);
  const auto number = [](const auto& field) { return field ? std::to_string(*field) : ""; };
  for (const auto& [id, record] : store.All(kMidiExpressionTag)) {
    const auto where = CellDetailPlaceOf(id);
    if (!where) continue;
    // A field the record does not reach stays blank.
    const MidiExpressionFields fields = ReadMidiExpression(*record);
    std::string status;
    if (fields.status) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(*fields.status));
      status = hex;
      if (*fields.status == midi_expression_record::kControllerStatus) status += " controller";
    }
    table.AddRow({Signed(where->staff), Signed(where->measure), Signed(where->inci),
                  std::to_string(record->size()), number(fields.position), status,
                  number(fields.data1), number(fields.data2)});
  }
  return Section("MIDI expressions", table);
}

std::string SelectionLine(const RecordStore& store) {
  if (!store.Selection()) return "";
  const RegionSpan& span = *store.Selection();
  const auto end = [](std::int16_t slot, std::uint16_t key, std::int16_t measure,
                      std::int32_t position) {
    return "slot " + std::to_string(slot) + " (key " + std::to_string(key) + "), measure " +
           std::to_string(measure) + ", position " + std::to_string(position);
  };
  return "\nSelection: from " +
         end(span.start_slot, span.start_slot_key, span.start_measure, span.start_position) +
         " to " + end(span.end_slot, span.end_slot_key, span.end_measure, span.end_position) + "\n";
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
  const auto slot_line = [&line](const std::string& label, const LayerSetup::SlotMap& map) {
    if (map.empty()) return;
    std::vector<std::string> slots;
    for (const auto& [slot, staff] : map) {
      slots.push_back("slot " + std::to_string(slot) + " shows staff " + std::to_string(staff));
    }
    line += label + ": " + Joined(slots) + "; every other slot its own staff\n";
  };
  slot_line("Slots", setup.slot_staves);
  for (const auto& [key, map] : setup.keyed_slot_staves) {
    slot_line("Slots of key " + std::to_string(key), map);
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

// --- Entry details ---

// "0x654E4454 'eNDT' incident 0, 8 bytes: 0700000000000000", the bytes cut after 16.
std::string DescribeDetail(const DetailRecord& detail) {
  constexpr std::size_t kShownBytes = 16;
  const Bytes& bytes = *detail.bytes;
  std::string text = TagLabel(detail.tag) + " incident " + std::to_string(detail.inci) + ", " +
                     std::to_string(bytes.size()) + (bytes.size() == 1 ? " byte" : " bytes");
  if (!bytes.empty()) text += ": ";
  for (std::size_t i = 0; i < bytes.size() && i < kShownBytes; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned>(bytes[i]));
    text += hex;
  }
  if (bytes.size() > kShownBytes) text += "...";
  return text;
}

// The entry numbers of the entries the frames hold.
std::set<std::int32_t> EntryNumbersInFrames(const RecordStore& store) {
  std::set<std::int32_t> numbers;
  for (const auto& [key, entries] : store.Frames()) {
    for (std::size_t index = 0; index < EntryCount(entries); ++index) {
      numbers.insert(ReadS32(entries.data() + index * entry_record::kSize));
    }
  }
  return numbers;
}

// The details of entries that no frame holds, which the entries listing cannot show.
std::string UnplacedDetailsSection(const RecordStore& store) {
  TextTable table;
  table.AddColumn("Entry", TextTable::Align::kRight);
  table.AddColumn("Detail");
  const std::set<std::int32_t> placed = EntryNumbersInFrames(store);
  for (const auto& [entry, details] : DetailsByEntry(store)) {
    if (placed.count(entry)) continue;
    for (std::size_t i = 0; i < details.size(); ++i) {
      table.AddRow({i == 0 ? std::to_string(entry) : "", DescribeDetail(details[i])});
    }
  }
  return Section("Details of entries in no frame", table);
}

// The entries of every frame, each followed by its details ("detail" rows).
std::string EntriesSection(const RecordStore& store) {
  TextTable table;
  table.AddColumn("Staff", TextTable::Align::kRight);
  table.AddColumn("Measure", TextTable::Align::kRight);
  table.AddColumn("Layer");
  AddEntryColumns(&table);
  const auto details = DetailsByEntry(store);
  for (const auto& [key, entries] : store.Frames()) {
    std::vector<std::string> place = PlaceCells(key, store.Layers());
    if (EntryCount(entries) == 0) {
      place.insert(place.end(), {"", "", "", "", "", "no entries"});
      table.AddRow(std::move(place));
      continue;
    }
    for (std::size_t index = 0; index < EntryCount(entries); ++index) {
      std::vector<std::string> row = index == 0 ? place : std::vector<std::string>(3);
      const std::uint8_t* entry = entries.data() + index * entry_record::kSize;
      const std::vector<std::string> cells = EntryCells(entry);
      row.insert(row.end(), cells.begin(), cells.end());
      table.AddRow(std::move(row));
      const auto found = details.find(ReadS32(entry + entry_record::kEntryNumber));
      if (found == details.end()) continue;
      for (const DetailRecord& detail : found->second) {
        table.AddRow({"", "", "", "", "", "", "detail", "", DescribeDetail(detail)});
      }
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
         LayoutSections(store) + MidiExpressionsSection(store) + SelectionLine(store) +
         MusicListing(store) + UnplacedDetailsSection(store);
}

}  // namespace hostsim
