#include "hostsim/document.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <utility>

#include <nlohmann/json.hpp>

#include "hostsim/detail_records.h"
#include "hostsim/entry_records.h"
#include "hostsim/layout_records.h"
#include "hostsim/region_records.h"
#include "hostsim/score_records.h"
#include "hostsim/staff_records.h"

namespace hostsim {

namespace {

// Keeps the fields of each entry in the order they were written, so saved documents read well.
using Json = nlohmann::ordered_json;

constexpr long long kLowestNumber = 1;
constexpr long long kHighestNumber = 65534;  // 0xFFFF asks the host for a new number
constexpr std::size_t kIdentityHexDigits = 2 * sizeof(Identity);

const char* const kCategoriesKey = "categories";
const char* const kTextExpressionsKey = "textExpressions";
const char* const kShapeExpressionsKey = "shapeExpressions";
const char* const kTextsKey = "texts";
const char* const kIncidentsKey = "incidents";
const char* const kStavesKey = "staves";
const char* const kCurrentStavesKey = "currentStaves";
const char* const kClefsKey = "clefs";
const char* const kRegionsKey = "measureNumberRegions";
const char* const kLayersKey = "layers";
const char* const kHiddenLayersKey = "hiddenLayers";
const char* const kSlotsKey = "slots";
const char* const kSlotKeysKey = "slotKeys";
const char* const kSelectionKey = "selection";
const char* const kFramesKey = "frames";
const char* const kMidiExpressionsKey = "midiExpressions";
const char* const kDetailsKey = "details";
const char* const kPagesKey = "pages";
const char* const kArticulationsKey = "articulationDefs";
const char* const kKeySignaturesKey = "keySignatures";
const char* const kRecordsKey = "records";

const char* const kDocumentKeys[] = {kCategoriesKey,      kTextExpressionsKey, kShapeExpressionsKey,
                                     kTextsKey,           kIncidentsKey,       kStavesKey,
                                     kCurrentStavesKey,   kClefsKey,           kRegionsKey,
                                     kLayersKey,          kHiddenLayersKey,    kSlotsKey,
                                     kSlotKeysKey,        kSelectionKey,       kFramesKey,
                                     kMidiExpressionsKey, kDetailsKey,         kPagesKey,
                                     kArticulationsKey,   kKeySignaturesKey,   kRecordsKey};

// The sections saved as a value of their own rather than as a list of records.
bool IsSetupKey(const char* key) {
  return key == kLayersKey || key == kHiddenLayersKey || key == kSlotsKey || key == kSlotKeysKey ||
         key == kSelectionKey;
}

constexpr long long kHighestEntries = 32767;  // a frame's entry count is a signed 16-bit word

// The fields that give a staff's transposition word in its decoded form.
const char* const kTranspositionFields[] = {"chromatic", "interval", "alteration", "simplifyKey",
                                            "setToClef"};

// The section of the document that holds every record of `tag`, for the tags that have one.
const char* SectionOfTag(std::uint32_t tag) {
  switch (tag) {
    case kCategoryTag:
      return kCategoriesKey;
    case kTextExpressionTag:
      return kTextExpressionsKey;
    case kShapeExpressionTag:
      return kShapeExpressionsKey;
    case kStaffTag:
      return kStavesKey;
    case kCurrentStaffTag:
      return kCurrentStavesKey;
    case kClefTag:
      return kClefsKey;
    case kMeasureNumberRegionTag:
      return kRegionsKey;
    case kMidiExpressionTag:
      return kMidiExpressionsKey;
    case kPageTag:
      return kPagesKey;
    case kArticulationTag:
      return kArticulationsKey;
    case kKeySignatureTag:
      return kKeySignaturesKey;
    default:
      return nullptr;
  }
}

const char* FormName(TagForm form) {
  switch (form) {
    case TagForm::kTexts:
      return kTextsKey;
    case TagForm::kDetails:
      return kDetailsKey;
    default:
      return kIncidentsKey;
  }
}

std::uint8_t KindSalt(std::uint32_t tag) {
  switch (tag) {
    case kTextExpressionTag:
      return 0x40;
    case kShapeExpressionTag:
      return 0x80;
    case kStaffTag:
      return 0xC0;
    case kCurrentStaffTag:
      return 0x20;
    case kClefTag:
      return 0x60;
    case kMeasureNumberRegionTag:
      return 0xA0;
    case kMidiExpressionTag:
      return 0x90;
    case kPageTag:
      return 0x50;
    case kArticulationTag:
      return 0x70;
    case kKeySignatureTag:
      return 0xB0;
    default:
      return 0x00;
  }
}

constexpr unsigned kEntryFillSalt = 0xE0;

// An item-numbered record of one size whose friendly form names one 16-bit word: clef
// definitions (numbered from 0), pages and key signatures.
struct WordRecordKind {
  std::uint32_t tag;
  std::size_t size;
  long long lowest_number;
  const char* field;
  std::size_t offset;
  bool is_signed;
};
constexpr WordRecordKind kClefKind{kClefTag,   clef_record::kSize,     0,
                                   "baseline", clef_record::kBaseline, true};
constexpr WordRecordKind kPageKind{kPageTag,      page_record::kSize,        1,
                                   "firstSystem", page_record::kFirstSystem, true};
constexpr WordRecordKind kKeySignatureKind{kKeySignatureTag, key_record::kSize,    1,
                                           "keyWord",        key_record::kKeyWord, false};

Bytes FilledRecord(std::uint32_t tag, std::uint16_t number, std::size_t size) {
  Bytes record(size);
  for (std::size_t offset = 0; offset < size; ++offset) {
    record[offset] = FillByte(tag, number, offset);
  }
  return record;
}

std::uint16_t CurrentStaffFillNumber(const CurrentStaffPlace& place) {
  const auto position = static_cast<std::uint32_t>(place.position);
  return static_cast<std::uint16_t>((place.staff + (place.measure << 8) + position) & 0xFFFF);
}

std::uint16_t CellDetailFillNumber(const CellDetailPlace& place) {
  return static_cast<std::uint16_t>((place.staff + (place.measure << 8) + place.inci) & 0xFFFF);
}

// --- Hex ---

std::string ToHex(const std::uint8_t* bytes, std::size_t count) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * count);
  for (std::size_t i = 0; i < count; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 0x0F];
  }
  return hex;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string TagText(std::uint32_t tag) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(tag));
  return text;
}

// --- UTF-8: a name is written as a JSON string only when it is valid text; otherwise its
// "bytes" carry it alone. ---

bool IsValidUtf8(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int continuation = 0;
    std::uint32_t code = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      continuation = 1;
      code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      continuation = 2;
      code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      continuation = 3;
      code = lead & 0x07;
    } else {
      return false;
    }
    if (i + continuation >= text.size()) return false;
    for (int k = 1; k <= continuation; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    static const std::uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[continuation] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    i += continuation + 1;
  }
  return true;
}

// --- Loading ---

// A JSON integer from `lowest` to `highest`; nothing for anything else.
std::optional<long long> IntegerWithin(const Json& value, long long lowest, long long highest) {
  if (value.is_number_unsigned()) {
    const auto number = value.get<unsigned long long>();
    if (number > static_cast<unsigned long long>(highest)) return std::nullopt;
    if (static_cast<long long>(number) < lowest) return std::nullopt;
    return static_cast<long long>(number);
  }
  if (!value.is_number_integer()) return std::nullopt;
  const auto number = value.get<long long>();
  if (number < lowest || number > highest) return std::nullopt;
  return number;
}

// The number an object's key names ("7", "-1"): decimal digits after an optional minus, from
// `lowest` to `highest`; nothing for anything else.
std::optional<long long> NumberKey(const std::string& key, long long lowest, long long highest) {
  bool well_formed = !key.empty() && key.size() <= 6;
  for (std::size_t i = 0; i < key.size() && well_formed; ++i) {
    const bool digit = key[i] >= '0' && key[i] <= '9';
    well_formed = digit || (i == 0 && key[i] == '-' && key.size() > 1);
  }
  if (!well_formed) return std::nullopt;
  const long long number = std::stoll(key);
  if (number < lowest || number > highest) return std::nullopt;
  return number;
}

std::string IntegerRange(long long lowest, long long highest) {
  return "expected an integer from " + std::to_string(lowest) + " to " + std::to_string(highest);
}

// Reads a whole document into a store of its own, stopping at the first fault with a message
// that names where it is.
class DocumentReader {
 public:
  bool Read(const Json& document, RecordStore* store);
  const std::string& Error() const { return error_; }

 private:
  using EntryReader = bool (DocumentReader::*)(const Json&, const std::string&);

  bool Fail(const std::string& place, const std::string& problem) {
    error_ = place + ": " + problem;
    return false;
  }
  // A fixed-size record given whole in "bytes" must have exactly its size.
  bool CheckRecordSize(const Bytes& bytes, std::size_t size, const std::string& place) {
    if (bytes.size() == size) return true;
    return Fail(place + ".bytes",
                "expected " + std::to_string(size) + " bytes, got " + std::to_string(bytes.size()));
  }
  bool ReadList(const Json& document, const char* key, EntryReader read_entry);
  bool ReadCategory(const Json& entry, const std::string& place);
  bool ReadTextExpression(const Json& entry, const std::string& place);
  bool ReadShapeExpression(const Json& entry, const std::string& place);
  bool ReadTextRecord(const Json& entry, const std::string& place);
  bool ReadIncidentRun(const Json& entry, const std::string& place);
  bool ReadStaff(const Json& entry, const std::string& place);
  bool ReadCurrentStaff(const Json& entry, const std::string& place);
  bool ReadClef(const Json& entry, const std::string& place);
  bool ReadRegion(const Json& entry, const std::string& place);
  bool ReadRawRecord(const Json& entry, const std::string& place);
  bool ReadMidiExpression(const Json& entry, const std::string& place);
  bool ReadDetailRun(const Json& entry, const std::string& place);
  // The "incidents" of a run, each with its "inci" (0..32767) and "bytes", stored under the
  // identity `identity_of` gives for the incident.
  bool ReadIncidentList(const Json& entry, const std::string& place, std::uint32_t tag,
                        const std::function<Identity(std::int16_t)>& identity_of);
  bool ReadWordRecord(const Json& entry, const std::string& place, const WordRecordKind& kind);
  bool ReadPage(const Json& entry, const std::string& place);
  bool ReadKeySignature(const Json& entry, const std::string& place);
  bool ReadArticulation(const Json& entry, const std::string& place);
  bool ReadLayerSetup(const Json& document);
  // A slot map, {"slot": staff, ...}, found at `place` ("slots", "slotKeys.7").
  bool ReadSlotMap(const Json& slots, const std::string& place, LayerSetup::SlotMap* map);
  bool ReadSlotKeys(const Json& keys);
  bool ReadSelection(const Json& document);
  bool ReadFrame(const Json& entry, const std::string& place);
  // One entry of a frame, built on `record` (146 bytes: filled, or the entry's "bytes").
  bool ReadEntry(const Json& entry, const std::string& place, const FrameKey& key,
                 std::size_t index, const std::uint8_t* previous, Bytes* record);
  bool ReadNotes(const Json& entry, const std::string& place, bool built, Bytes* record);
  // Gives every entry that named no "entnum" the lowest positive number no entry of the
  // document uses, in document order, and stores the frames.
  bool NumberEntries();

  bool CheckFields(const Json& entry, const std::string& place,
                   std::initializer_list<const char*> known);
  bool ReadNumber(const Json& entry, const std::string& place, std::uint32_t tag,
                  std::uint16_t* number);
  // A required number, unique among the entries of `tag` that give one under `key`.
  bool ReadUniqueNumber(const Json& entry, const std::string& place, const char* key,
                        std::uint32_t tag, long long lowest, long long highest,
                        std::uint16_t* number);
  bool ReadRequiredInteger(const Json& entry, const std::string& place, const char* key,
                           long long lowest, long long highest, long long* value);
  // "transposition", or the decoded fields; nothing when neither is given.
  bool ReadTransposition(const Json& entry, const std::string& place,
                         std::optional<std::uint16_t>* word);
  // Texts and incident runs may use any tag that has no section of its own, one form per tag.
  bool ClaimTagForm(std::uint32_t tag, TagForm form, const std::string& place);
  bool ReadInteger(const Json& entry, const std::string& place, const char* key, long long lowest,
                   long long highest, std::optional<long long>* value);
  bool ReadBool(const Json& entry, const std::string& place, const char* key,
                std::optional<bool>* value);
  bool ReadText(const Json& entry, const std::string& place, const char* key, std::size_t max_bytes,
                std::optional<std::string>* value);
  bool ReadHex(const Json& value, const std::string& place, Bytes* bytes);
  bool ReadBytes(const Json& entry, const std::string& place, std::optional<Bytes>* bytes);
  bool ReadTag(const Json& entry, const std::string& place, std::uint32_t* tag);
  bool ReadIdentity(const Json& entry, const std::string& place, Identity* id);
  bool Insert(std::uint32_t tag, const Identity& id, Bytes record, const std::string& place);

  RecordStore* store_ = nullptr;
  std::map<FrameKey, Bytes> frames_;
  std::map<FrameKey, std::string> frame_owners_;
  std::vector<std::pair<FrameKey, std::size_t>> unnumbered_;  // entries without "entnum"
  std::set<std::int32_t> entry_numbers_;                      // the numbers entries name
  std::map<std::pair<std::uint32_t, std::uint16_t>, std::string> number_owners_;
  std::map<std::uint32_t, std::pair<TagForm, std::string>> tag_form_owners_;
  std::string error_;
};

bool DocumentReader::Read(const Json& document, RecordStore* store) {
  store_ = store;
  if (!document.is_object()) return Fail("document", "expected a JSON object");
  for (const auto& [key, value] : document.items()) {
    bool known = false;
    for (const char* section : kDocumentKeys) known = known || key == section;
    if (!known) return Fail("document." + key, "unknown field");
  }
  return ReadList(document, kCategoriesKey, &DocumentReader::ReadCategory) &&
         ReadList(document, kTextExpressionsKey, &DocumentReader::ReadTextExpression) &&
         ReadList(document, kShapeExpressionsKey, &DocumentReader::ReadShapeExpression) &&
         ReadList(document, kTextsKey, &DocumentReader::ReadTextRecord) &&
         ReadList(document, kIncidentsKey, &DocumentReader::ReadIncidentRun) &&
         ReadList(document, kStavesKey, &DocumentReader::ReadStaff) &&
         ReadList(document, kCurrentStavesKey, &DocumentReader::ReadCurrentStaff) &&
         ReadList(document, kClefsKey, &DocumentReader::ReadClef) &&
         ReadList(document, kRegionsKey, &DocumentReader::ReadRegion) && ReadLayerSetup(document) &&
         ReadSelection(document) && ReadList(document, kFramesKey, &DocumentReader::ReadFrame) &&
         NumberEntries() &&
         ReadList(document, kMidiExpressionsKey, &DocumentReader::ReadMidiExpression) &&
         ReadList(document, kDetailsKey, &DocumentReader::ReadDetailRun) &&
         ReadList(document, kPagesKey, &DocumentReader::ReadPage) &&
         ReadList(document, kArticulationsKey, &DocumentReader::ReadArticulation) &&
         ReadList(document, kKeySignaturesKey, &DocumentReader::ReadKeySignature) &&
         ReadList(document, kRecordsKey, &DocumentReader::ReadRawRecord);
}

bool DocumentReader::ReadList(const Json& document, const char* key, EntryReader read_entry) {
  const auto found = document.find(key);
  if (found == document.end()) return true;
  if (!found->is_array()) return Fail(key, "expected an array");
  for (std::size_t index = 0; index < found->size(); ++index) {
    const std::string place = std::string(key) + "[" + std::to_string(index) + "]";
    const Json& entry = (*found)[index];
    if (!entry.is_object()) return Fail(place, "expected an object");
    if (!(this->*read_entry)(entry, place)) return false;
  }
  return true;
}

bool DocumentReader::ReadCategory(const Json& entry, const std::string& place) {
  using namespace category_record;
  std::uint16_t number = 0;
  std::optional<Bytes> bytes;
  std::optional<std::string> name;
  std::optional<bool> user_created;
  std::optional<long long> category_id;
  if (!CheckFields(entry, place, {"number", "name", "usercreated", "categoryid", "bytes"}) ||
      !ReadNumber(entry, place, kCategoryTag, &number) || !ReadBytes(entry, place, &bytes) ||
      !ReadText(entry, place, "name", kNameWidth, &name) ||
      !ReadBool(entry, place, "usercreated", &user_created) ||
      !ReadInteger(entry, place, "categoryid", -32768, 32767, &category_id)) {
    return false;
  }
  if (bytes && !CheckRecordSize(*bytes, kSize, place)) return false;
  if (!bytes && !name) return Fail(place + ".name", "required when \"bytes\" is not given");

  Bytes record = bytes ? *bytes : FilledRecord(kCategoryTag, number, kSize);
  PutWord(&record, kCategoryId, static_cast<std::uint16_t>(category_id.value_or(number)));
  if (name) {
    std::copy(name->begin(), name->end(), record.begin() + kName);
    if (name->size() < kNameWidth) record[kName + name->size()] = 0;
  }
  if (user_created.value_or(bytes ? IsUserCreated(record) : false)) {
    record[kFlags] |= kUserCreated;
  } else {
    record[kFlags] &= static_cast<std::uint8_t>(~kUserCreated);
  }
  return Insert(kCategoryTag, ItemIdentity(number), std::move(record), place);
}

bool DocumentReader::ReadTextExpression(const Json& entry, const std::string& place) {
  using namespace expression_record;
  std::uint16_t number = 0;
  std::optional<Bytes> bytes;
  std::optional<long long> category;
  std::optional<std::string> description;
  if (!CheckFields(entry, place, {"number", "category", "description", "bytes"}) ||
      !ReadNumber(entry, place, kTextExpressionTag, &number) || !ReadBytes(entry, place, &bytes) ||
      !ReadInteger(entry, place, "category", 0, 255, &category) ||
      !ReadText(entry, place, "description", std::string::npos, &description)) {
    return false;
  }
  if (!bytes && !category) return Fail(place + ".category", "required when \"bytes\" is not given");

  Bytes record = bytes ? *bytes
                       : FilledRecord(kTextExpressionTag, number,
                                      DefaultTextExpressionSize(description.value_or("").size()));
  if (!bytes && !description) description = "";
  if (category) {
    if (record.size() <= kCategory) {
      return Fail(place + ".category", "the record's " + std::to_string(record.size()) +
                                           " bytes do not reach byte " + std::to_string(kCategory));
    }
    record[kCategory] = static_cast<std::uint8_t>(*category);
  }
  if (description) {
    if (record.size() < kDescription + description->size() + 1) {
      return Fail(place + ".description", "does not fit, with its NUL, in the record's " +
                                              std::to_string(record.size()) + " bytes");
    }
    std::copy(description->begin(), description->end(), record.begin() + kDescription);
    record[kDescription + description->size()] = 0;
  }
  return Insert(kTextExpressionTag, ItemIdentity(number), std::move(record), place);
}

bool DocumentReader::ReadShapeExpression(const Json& entry, const std::string& place) {
  using namespace expression_record;
  std::uint16_t number = 0;
  std::optional<Bytes> bytes;
  std::optional<long long> category;
  if (!CheckFields(entry, place, {"number", "category", "bytes"}) ||
      !ReadNumber(entry, place, kShapeExpressionTag, &number) || !ReadBytes(entry, place, &bytes) ||
      !ReadInteger(entry, place, "category", 0, 255, &category)) {
    return false;
  }
  if (bytes && !CheckRecordSize(*bytes, kShapeSize, place)) return false;
  if (!bytes && !category) return Fail(place + ".category", "required when \"bytes\" is not given");

  Bytes record = bytes ? *bytes : FilledRecord(kShapeExpressionTag, number, kShapeSize);
  if (category) record[kCategory] = static_cast<std::uint8_t>(*category);
  return Insert(kShapeExpressionTag, ItemIdentity(number), std::move(record), place);
}

bool DocumentReader::ReadTextRecord(const Json& entry, const std::string& place) {
  std::uint32_t tag = 0;
  std::uint16_t number = 0;
  std::optional<Bytes> bytes;
  std::optional<std::string> text;
  std::optional<bool> terminated;
  if (!CheckFields(entry, place, {"tag", "number", "text", "terminated", "bytes"}) ||
      !ReadTag(entry, place, &tag) || !ClaimTagForm(tag, TagForm::kTexts, place) ||
      !ReadUniqueNumber(entry, place, "number", tag, -32768, 32767, &number) ||
      !ReadText(entry, place, "text", std::string::npos, &text) ||
      !ReadBool(entry, place, "terminated", &terminated) || !ReadBytes(entry, place, &bytes)) {
    return false;
  }
  if (text && bytes) return Fail(place + ".bytes", "give either \"text\" or \"bytes\", not both");
  if (!text && !bytes) return Fail(place + ".text", "required when \"bytes\" is not given");
  if (bytes && terminated) return Fail(place + ".terminated", "applies to \"text\" only");

  Bytes record = bytes ? std::move(*bytes) : Bytes(text->begin(), text->end());
  if (text && terminated.value_or(true)) record.push_back(0);
  return Insert(tag, ItemIdentity(number), std::move(record), place);
}

bool DocumentReader::ReadIncidentRun(const Json& entry, const std::string& place) {
  std::uint32_t tag = 0;
  std::uint16_t item = 0;
  if (!CheckFields(entry, place, {"tag", "number", "incidents"}) || !ReadTag(entry, place, &tag) ||
      !ClaimTagForm(tag, TagForm::kIncidents, place) ||
      !ReadUniqueNumber(entry, place, "number", tag, kLowestNumber, kHighestNumber, &item)) {
    return false;
  }
  return ReadIncidentList(entry, place, tag,
                          [item](std::int16_t inci) { return ItemIdentity(item, inci); });
}

bool DocumentReader::ReadDetailRun(const Json& entry, const std::string& place) {
  std::uint32_t tag = 0;
  long long number = 0;
  if (!CheckFields(entry, place, {"tag", "entry", "incidents"}) || !ReadTag(entry, place, &tag) ||
      !ClaimTagForm(tag, TagForm::kDetails, place) ||
      !ReadRequiredInteger(entry, place, "entry", INT32_MIN, INT32_MAX, &number)) {
    return false;
  }
  const auto entry_number = static_cast<std::int32_t>(number);
  return ReadIncidentList(entry, place, tag, [entry_number](std::int16_t inci) {
    return DetailIdentity(DetailPlace{entry_number, inci});
  });
}

bool DocumentReader::ReadIncidentList(const Json& entry, const std::string& place,
                                      std::uint32_t tag,
                                      const std::function<Identity(std::int16_t)>& identity_of) {
  const std::string list_place = place + ".incidents";
  const auto list = entry.find("incidents");
  if (list == entry.end()) return Fail(list_place, "required");
  if (!list->is_array() || list->empty()) {
    return Fail(list_place, "expected an array of at least one incident");
  }
  std::map<long long, std::string> owners;
  for (std::size_t index = 0; index < list->size(); ++index) {
    const std::string incident_place = list_place + "[" + std::to_string(index) + "]";
    const Json& incident = (*list)[index];
    if (!incident.is_object()) return Fail(incident_place, "expected an object");
    long long inci = 0;
    std::optional<Bytes> bytes;
    if (!CheckFields(incident, incident_place, {"inci", "bytes"}) ||
        !ReadRequiredInteger(incident, incident_place, "inci", 0, 32767, &inci) ||
        !ReadBytes(incident, incident_place, &bytes)) {
      return false;
    }
    if (!bytes) return Fail(incident_place + ".bytes", "required");
    const auto [owner, inserted] = owners.emplace(inci, incident_place);
    if (!inserted) {
      return Fail(incident_place + ".inci",
                  std::to_string(inci) + " is already used by " + owner->second);
    }
    if (!Insert(tag, identity_of(static_cast<std::int16_t>(inci)), std::move(*bytes),
                incident_place)) {
      return false;
    }
  }
  return true;
}

bool DocumentReader::ReadStaff(const Json& entry, const std::string& place) {
  std::uint16_t number = 0;
  std::optional<Bytes> bytes;
  std::optional<std::uint16_t> transposition;
  if (!CheckFields(entry, place,
                   {"number", "transposition", "chromatic", "interval", "alteration", "simplifyKey",
                    "setToClef", "bytes"}) ||
      !ReadNumber(entry, place, kStaffTag, &number) ||
      !ReadTransposition(entry, place, &transposition) || !ReadBytes(entry, place, &bytes)) {
    return false;
  }
  if (bytes && !CheckRecordSize(*bytes, staff_record::kSize, place)) return false;

  Bytes record = bytes ? std::move(*bytes) : FilledRecord(kStaffTag, number, staff_record::kSize);
  // A staff built from its fields alone is not transposed unless it says so.
  if (transposition || !bytes) {
    PutWord(&record, staff_record::kTransposition, transposition.value_or(0));
  }
  return Insert(kStaffTag, ItemIdentity(number), std::move(record), place);
}

bool DocumentReader::ReadCurrentStaff(const Json& entry, const std::string& place) {
  long long staff = 0, measure = 0;
  std::optional<long long> position;
  std::optional<Bytes> bytes;
  std::optional<std::uint16_t> transposition;
  if (!CheckFields(entry, place,
                   {"staff", "measure", "position", "transposition", "chromatic", "interval",
                    "alteration", "simplifyKey", "setToClef", "bytes"}) ||
      !ReadRequiredInteger(entry, place, "staff", kLowestNumber, kHighestNumber, &staff) ||
      !ReadRequiredInteger(entry, place, "measure", kLowestNumber, kHighestNumber, &measure) ||
      !ReadInteger(entry, place, "position", INT32_MIN, INT32_MAX, &position) ||
      !ReadTransposition(entry, place, &transposition) || !ReadBytes(entry, place, &bytes)) {
    return false;
  }
  if (bytes && !CheckRecordSize(*bytes, staff_record::kSize, place)) return false;

  CurrentStaffPlace where;
  where.staff = static_cast<std::uint16_t>(staff);
  where.measure = static_cast<std::uint16_t>(measure);
  where.position = static_cast<std::int32_t>(position.value_or(0));
  Bytes record =
      bytes ? std::move(*bytes)
            : FilledRecord(kCurrentStaffTag, CurrentStaffFillNumber(where), staff_record::kSize);
  if (transposition || !bytes) {
    PutWord(&record, staff_record::kTransposition, transposition.value_or(0));
  }
  return Insert(kCurrentStaffTag, CurrentStaffIdentity(where), std::move(record), place);
}

bool DocumentReader::ReadClef(const Json& entry, const std::string& place) {
  return ReadWordRecord(entry, place, kClefKind);
}

bool DocumentReader::ReadPage(const Json& entry, const std::string& place) {
  return ReadWordRecord(entry, place, kPageKind);
}

bool DocumentReader::ReadKeySignature(const Json& entry, const std::string& place) {
  return ReadWordRecord(entry, place, kKeySignatureKind);
}

bool DocumentReader::ReadWordRecord(const Json& entry, const std::string& place,
                                    const WordRecordKind& kind) {
  std::uint16_t number = 0;
  std::optional<Bytes> bytes;
  std::optional<long long> word;
  if (!CheckFields(entry, place, {"number", kind.field, "bytes"}) ||
      !ReadUniqueNumber(entry, place, "number", kind.tag, kind.lowest_number, kHighestNumber,
                        &number) ||
      !ReadInteger(entry, place, kind.field, kind.is_signed ? -32768 : 0,
                   kind.is_signed ? 32767 : 65535, &word) ||
      !ReadBytes(entry, place, &bytes)) {
    return false;
  }
  if (bytes && !CheckRecordSize(*bytes, kind.size, place)) return false;
  if (!bytes && !word) {
    return Fail(place + "." + kind.field, "required when \"bytes\" is not given");
  }

  Bytes record = bytes ? std::move(*bytes) : FilledRecord(kind.tag, number, kind.size);
  if (word) PutWord(&record, kind.offset, static_cast<std::uint16_t>(*word & 0xFFFF));
  return Insert(kind.tag, ItemIdentity(number), std::move(record), place);
}

bool DocumentReader::ReadArticulation(const Json& entry, const std::string& place) {
  using namespace articulation_record;
  std::uint16_t number = 0;
  std::optional<Bytes> bytes;
  std::optional<long long> font, side;
  std::optional<bool> no_font, automatic;
  if (!CheckFields(entry, place, {"number", "font", "noFont", "automatic", "side", "bytes"}) ||
      !ReadNumber(entry, place, kArticulationTag, &number) ||
      !ReadInteger(entry, place, "font", 0, 255, &font) ||
      !ReadBool(entry, place, "noFont", &no_font) ||
      !ReadBool(entry, place, "automatic", &automatic) ||
      !ReadInteger(entry, place, "side", 0, kSideCode, &side) || !ReadBytes(entry, place, &bytes)) {
    return false;
  }
  if (bytes && !CheckRecordSize(*bytes, kSize, place)) return false;

  Bytes record = bytes ? std::move(*bytes) : FilledRecord(kArticulationTag, number, kSize);
  // Built from its fields alone, the articulation has font 0, a font, and is placed by hand.
  if (!bytes) {
    font = font.value_or(0);
    no_font = no_font.value_or(false);
    automatic = automatic.value_or(false);
    side = side.value_or(0);
  }
  if (font) record[kFont] = static_cast<std::uint8_t>(*font);
  if (no_font) {
    record[kFlags] =
        static_cast<std::uint8_t>(*no_font ? record[kFlags] | kNoFont : record[kFlags] & ~kNoFont);
  }
  std::uint16_t placement = *WordAt(record, kPlacement);
  if (automatic) {
    placement =
        static_cast<std::uint16_t>(*automatic ? placement | kAutomatic : placement & ~kAutomatic);
  }
  if (side) placement = static_cast<std::uint16_t>((placement & ~kSideCode) | *side);
  PutWord(&record, kPlacement, placement);
  return Insert(kArticulationTag, ItemIdentity(number), std::move(record), place);
}

bool DocumentReader::ReadRegion(const Json& entry, const std::string& place) {
  std::uint16_t number = 0;
  std::optional<long long> layout, start_measure, end_measure, start_number;
  std::optional<Bytes> bytes;
  if (!CheckFields(entry, place,
                   {"number", "layout", "startMeasure", "endMeasure", "startNumber", "bytes"}) ||
      !ReadNumber(entry, place, kMeasureNumberRegionTag, &number) ||
      !ReadInteger(entry, place, "layout", 0, 65535, &layout) ||
      !ReadInteger(entry, place, "startMeasure", -32768, 32767, &start_measure) ||
      !ReadInteger(entry, place, "endMeasure", -32768, 32767, &end_measure) ||
      !ReadInteger(entry, place, "startNumber", -32768, 32767, &start_number) ||
      !ReadBytes(entry, place, &bytes)) {
    return false;
  }
  const std::string both_layouts =
      std::to_string(kRegionLayout.size) + " or " + std::to_string(kOldRegionLayout.size);
  if (layout && !RegionLayoutOfSize(static_cast<std::size_t>(*layout))) {
    return Fail(place + ".layout", "expected " + both_layouts);
  }
  if (bytes && layout && !CheckRecordSize(*bytes, static_cast<std::size_t>(*layout), place)) {
    return false;
  }
  if (bytes && !RegionLayoutOfSize(bytes->size())) {
    return Fail(place + ".bytes",
                "expected " + both_layouts + " bytes, got " + std::to_string(bytes->size()));
  }
  if (!bytes) {
    for (const auto& [field, value] :
         {std::make_pair("startMeasure", start_measure), std::make_pair("endMeasure", end_measure),
          std::make_pair("startNumber", start_number)}) {
      if (!value) return Fail(place + "." + field, "required when \"bytes\" is not given");
    }
  }

  Bytes record = bytes
                     ? std::move(*bytes)
                     : FilledRecord(kMeasureNumberRegionTag, number,
                                    static_cast<std::size_t>(layout.value_or(kRegionLayout.size)));
  RegionRange range = ReadRegionRange(record).value_or(RegionRange{});
  if (start_measure) range.start_measure = static_cast<std::int16_t>(*start_measure);
  if (end_measure) range.end_measure = static_cast<std::int16_t>(*end_measure);
  if (start_number) range.start_number = static_cast<std::int16_t>(*start_number);
  WriteRegionRange(&record, range);
  return Insert(kMeasureNumberRegionTag, ItemIdentity(number), std::move(record), place);
}

bool DocumentReader::ReadRawRecord(const Json& entry, const std::string& place) {
  std::uint32_t tag = 0;
  Identity id{};
  std::optional<Bytes> bytes;
  if (!CheckFields(entry, place, {"tag", "id", "bytes"}) || !ReadTag(entry, place, &tag) ||
      !ReadIdentity(entry, place, &id) || !ReadBytes(entry, place, &bytes)) {
    return false;
  }
  if (!bytes) return Fail(place + ".bytes", "required");
  return Insert(tag, id, std::move(*bytes), place);
}

bool DocumentReader::ReadMidiExpression(const Json& entry, const std::string& place) {
  using namespace midi_expression_record;
  long long staff = 0, measure = 0, inci = 0;
  std::optional<long long> position, status, data1, data2;
  std::optional<Bytes> bytes;
  if (!CheckFields(entry, place,
                   {"staff", "measure", "inci", "position", "status", "data1", "data2", "bytes"}) ||
      !ReadRequiredInteger(entry, place, "staff", 1, 32767, &staff) ||
      !ReadRequiredInteger(entry, place, "measure", 1, 32767, &measure) ||
      !ReadRequiredInteger(entry, place, "inci", 0, 32767, &inci) ||
      !ReadInteger(entry, place, "position", INT32_MIN, INT32_MAX, &position) ||
      !ReadInteger(entry, place, "status", 0, 255, &status) ||
      !ReadInteger(entry, place, "data1", -32768, 32767, &data1) ||
      !ReadInteger(entry, place, "data2", -32768, 32767, &data2) ||
      !ReadBytes(entry, place, &bytes)) {
    return false;
  }
  if (!bytes && !status) return Fail(place + ".status", "required when \"bytes\" is not given");

  const CellDetailPlace where{static_cast<std::uint16_t>(staff),
                              static_cast<std::uint16_t>(measure),
                              static_cast<std::uint16_t>(inci)};
  Bytes record = bytes ? std::move(*bytes)
                       : FilledRecord(kMidiExpressionTag, CellDetailFillNumber(where), kSize);
  if (!bytes) {
    position = position.value_or(0);
    data1 = data1.value_or(0);
    data2 = data2.value_or(0);
  }
  // Each named field is written over the record, little-endian; given "bytes" too short for it,
  // the field is refused rather than the record lengthened.
  for (const auto& [field, value, offset, width] :
       {std::make_tuple("position", position, kPosition, std::size_t{4}),
        std::make_tuple("status", status, kStatus, std::size_t{1}),
        std::make_tuple("data1", data1, kData1, std::size_t{2}),
        std::make_tuple("data2", data2, kData2, std::size_t{2})}) {
    if (!value) continue;
    if (record.size() < offset + width) {
      return Fail(place + "." + field, "the record's " + std::to_string(record.size()) +
                                           " bytes do not reach byte " +
                                           std::to_string(offset + width - 1));
    }
    const auto bits = static_cast<std::uint64_t>(*value);
    for (std::size_t i = 0; i < width; ++i) {
      record[offset + i] = static_cast<std::uint8_t>((bits >> (8 * i)) & 0xFF);
    }
  }
  return Insert(kMidiExpressionTag, CellDetailIdentity(where), std::move(record), place);
}

bool DocumentReader::ReadLayerSetup(const Json& document) {
  LayerSetup& setup = store_->Layers();
  if (const auto layers = document.find(kLayersKey); layers != document.end()) {
    const auto count = IntegerWithin(*layers, -32768, 32767);
    if (!count) return Fail(kLayersKey, IntegerRange(-32768, 32767));
    setup.layers = static_cast<std::int16_t>(*count);
  }
  const auto hidden = document.find(kHiddenLayersKey);
  if (hidden != document.end()) {
    if (!hidden->is_array()) return Fail(kHiddenLayersKey, "expected an array of layers");
    std::map<long long, std::string> owners;
    for (std::size_t index = 0; index < hidden->size(); ++index) {
      const std::string place = std::string(kHiddenLayersKey) + "[" + std::to_string(index) + "]";
      const auto layer = IntegerWithin((*hidden)[index], 0, setup.layers - 1);
      if (!layer) {
        return Fail(place, setup.layers > 0
                               ? "expected a layer from 0 to " + std::to_string(setup.layers - 1)
                               : std::string("the document has no layers"));
      }
      const auto [owner, inserted] = owners.emplace(*layer, place);
      if (!inserted) {
        return Fail(place,
                    "layer " + std::to_string(*layer) + " is already listed by " + owner->second);
      }
      setup.hidden.insert(static_cast<std::int16_t>(*layer));
    }
  }
  const auto slots = document.find(kSlotsKey);
  if (slots != document.end() && !ReadSlotMap(*slots, kSlotsKey, &setup.slot_staves)) return false;
  const auto keys = document.find(kSlotKeysKey);
  return keys == document.end() || ReadSlotKeys(*keys);
}

bool DocumentReader::ReadSlotMap(const Json& slots, const std::string& place,
                                 LayerSetup::SlotMap* map) {
  if (!slots.is_object()) return Fail(place, "expected an object such as {\"1\": 3, \"3\": 1}");
  LayerSetup::SlotMap read;
  std::map<std::int16_t, std::string> slot_owners, staff_owners;
  for (const auto& [key, value] : slots.items()) {
    const std::string slot_place = place + "." + key;
    const auto slot = NumberKey(key, -32768, 32767);
    if (!slot) return Fail(slot_place, "a slot is a number from -32768 to 32767");
    // "1" and "01" name one slot.
    const auto [slot_owner, new_slot] =
        slot_owners.emplace(static_cast<std::int16_t>(*slot), slot_place);
    if (!new_slot) {
      return Fail(slot_place,
                  "slot " + std::to_string(*slot) + " is already given by " + slot_owner->second);
    }
    const auto staff = IntegerWithin(value, -32768, 32767);
    if (!staff) {
      return Fail(slot_place, IntegerRange(-32768, 32767) + " (the staff the slot shows)");
    }
    const auto [owner, inserted] =
        staff_owners.emplace(static_cast<std::int16_t>(*staff), slot_place);
    if (!inserted) {
      return Fail(slot_place,
                  "staff " + std::to_string(*staff) + " is already shown by " + owner->second);
    }
    read[static_cast<std::int16_t>(*slot)] = static_cast<std::int16_t>(*staff);
  }
  for (const auto& [staff, staff_place] : staff_owners) {
    if (!read.count(staff)) {
      return Fail(staff_place, "staff " + std::to_string(staff) +
                                   " must be a slot of the map too, so that the map is one-to-one");
    }
  }
  *map = std::move(read);
  return true;
}

bool DocumentReader::ReadSlotKeys(const Json& keys) {
  if (!keys.is_object()) {
    return Fail(kSlotKeysKey, "expected an object such as {\"7\": {\"1\": 2, \"2\": 1}}");
  }
  std::map<std::uint16_t, std::string> key_owners;
  for (const auto& [key, slots] : keys.items()) {
    const std::string place = std::string(kSlotKeysKey) + "." + key;
    const auto number = NumberKey(key, 1, 65535);
    if (!number) {
      return Fail(place, "a slot key is a number from 1 to 65535 (the map of key 0 is \"" +
                             std::string(kSlotsKey) + "\")");
    }
    const auto slot_key = static_cast<std::uint16_t>(*number);
    const auto [owner, inserted] = key_owners.emplace(slot_key, place);
    if (!inserted) {
      return Fail(place,
                  "slot key " + std::to_string(*number) + " is already given by " + owner->second);
    }
    LayerSetup::SlotMap map;
    if (!ReadSlotMap(slots, place, &map)) return false;
    // A key whose map is empty shows every slot's own staff, as a key without a map does.
    if (!map.empty()) store_->Layers().keyed_slot_staves[slot_key] = std::move(map);
  }
  return true;
}

bool DocumentReader::ReadSelection(const Json& document) {
  const auto found = document.find(kSelectionKey);
  if (found == document.end()) return true;
  const std::string place = kSelectionKey;
  if (!found->is_object()) return Fail(place, "expected an object");
  const Json& selection = *found;
  long long start_slot = 0, start_measure = 0, end_slot = 0, end_measure = 0;
  std::optional<long long> start_key, start_position, end_key, end_position;
  if (!CheckFields(selection, place,
                   {"startSlot", "startMeasure", "startPosition", "endSlot", "endMeasure",
                    "endPosition", "startSlotKey", "endSlotKey"}) ||
      !ReadRequiredInteger(selection, place, "startSlot", -32768, 32767, &start_slot) ||
      !ReadRequiredInteger(selection, place, "startMeasure", -32768, 32767, &start_measure) ||
      !ReadInteger(selection, place, "startPosition", INT32_MIN, INT32_MAX, &start_position) ||
      !ReadRequiredInteger(selection, place, "endSlot", -32768, 32767, &end_slot) ||
      !ReadRequiredInteger(selection, place, "endMeasure", -32768, 32767, &end_measure) ||
      !ReadInteger(selection, place, "endPosition", INT32_MIN, INT32_MAX, &end_position) ||
      !ReadInteger(selection, place, "startSlotKey", 0, 65535, &start_key) ||
      !ReadInteger(selection, place, "endSlotKey", 0, 65535, &end_key)) {
    return false;
  }
  RegionSpan span;
  span.start_slot_key = static_cast<std::uint16_t>(start_key.value_or(0));
  span.start_slot = static_cast<std::int16_t>(start_slot);
  span.start_measure = static_cast<std::int16_t>(start_measure);
  span.start_position = static_cast<std::int32_t>(start_position.value_or(span.start_position));
  span.end_slot_key = static_cast<std::uint16_t>(end_key.value_or(0));
  span.end_slot = static_cast<std::int16_t>(end_slot);
  span.end_measure = static_cast<std::int16_t>(end_measure);
  span.end_position = static_cast<std::int32_t>(end_position.value_or(span.end_position));
  store_->SetSelection(span);
  return true;
}

bool DocumentReader::ReadFrame(const Json& entry, const std::string& place) {
  long long staff = 0, measure = 0, layer = 0;
  const std::int16_t layers = store_->Layers().layers;
  if (!CheckFields(entry, place, {"staff", "measure", "layer", "entries"}) ||
      !ReadRequiredInteger(entry, place, "staff", 1, 32767, &staff) ||
      !ReadRequiredInteger(entry, place, "measure", 1, 32767, &measure)) {
    return false;
  }
  if (layers <= 0) {
    return Fail(place + ".layer",
                "the document has no layers (\"layers\": " + std::to_string(layers) + ")");
  }
  if (!ReadRequiredInteger(entry, place, "layer", 0, layers - 1, &layer)) return false;
  const FrameKey key{static_cast<std::int16_t>(staff), static_cast<std::int16_t>(measure),
                     static_cast<std::int16_t>(layer)};
  const auto [owner, inserted] = frame_owners_.emplace(key, place);
  if (!inserted) {
    return Fail(place, "staff " + std::to_string(staff) + ", measure " + std::to_string(measure) +
                           ", layer " + std::to_string(layer) + " is already given by " +
                           owner->second);
  }
  Bytes& entries = frames_[key];
  const auto list = entry.find("entries");
  if (list == entry.end()) return true;
  const std::string list_place = place + ".entries";
  if (!list->is_array() || list->size() > static_cast<std::size_t>(kHighestEntries)) {
    return Fail(list_place,
                "expected an array of at most " + std::to_string(kHighestEntries) + " entries");
  }
  for (std::size_t index = 0; index < list->size(); ++index) {
    const std::string entry_place = list_place + "[" + std::to_string(index) + "]";
    const Json& item = (*list)[index];
    if (!item.is_object()) return Fail(entry_place, "expected an object");
    Bytes record;
    const std::uint8_t* previous =
        index == 0 ? nullptr : entries.data() + (index - 1) * entry_record::kSize;
    if (!ReadEntry(item, entry_place, key, index, previous, &record)) return false;
    entries.insert(entries.end(), record.begin(), record.end());
  }
  return true;
}

bool DocumentReader::ReadEntry(const Json& entry, const std::string& place, const FrameKey& key,
                               std::size_t index, const std::uint8_t* previous, Bytes* record) {
  using namespace entry_record;
  std::optional<long long> entnum, duration, position, clef, flags;
  std::optional<Bytes> bytes;
  if (!CheckFields(entry, place,
                   {"entnum", "duration", "position", "clef", "flags", "notes", "bytes"}) ||
      !ReadInteger(entry, place, "entnum", INT32_MIN, INT32_MAX, &entnum) ||
      !ReadInteger(entry, place, "duration", -32768, 32767, &duration) ||
      !ReadInteger(entry, place, "position", INT32_MIN, INT32_MAX, &position) ||
      !ReadInteger(entry, place, "clef", -32768, 32767, &clef) ||
      !ReadInteger(entry, place, "flags", 0, UINT32_MAX, &flags) ||
      !ReadBytes(entry, place, &bytes)) {
    return false;
  }
  if (bytes && !CheckRecordSize(*bytes, kSize, place)) return false;
  if (!bytes && !duration) return Fail(place + ".duration", "required when \"bytes\" is not given");

  const bool built = !bytes;
  if (built) {
    record->assign(kSize, 0);
    for (const auto& range : kOpaqueRanges) {
      for (std::size_t offset = range[0]; offset < range[1]; ++offset) {
        (*record)[offset] = EntryFillByte(key, index, offset);
      }
    }
  } else {
    *record = std::move(*bytes);
  }
  std::uint8_t* at = record->data();
  if (!ReadNotes(entry, place, built, record)) return false;
  if (built && !flags) {
    flags = ReadS16(at + kNoteCount) > 0 ? kIsNote : 0;
  }
  if (duration) WriteU16(at + kDuration, static_cast<std::uint16_t>(*duration));
  if (flags) WriteU32(at + kFlags, static_cast<std::uint32_t>(*flags));
  if (clef) WriteU16(at + kClef, static_cast<std::uint16_t>(*clef));
  if (!position && built && previous) {
    // Where the entry before it ends.
    position = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(ReadS32(previous + kPosition)) +
        static_cast<std::uint32_t>(static_cast<std::int32_t>(ReadS16(previous + kDuration))));
  }
  if (position) WriteU32(at + kPosition, static_cast<std::uint32_t>(*position));
  if (entnum) WriteU32(at + kEntryNumber, static_cast<std::uint32_t>(*entnum));
  if (entnum || !built) {
    entry_numbers_.insert(ReadS32(at + kEntryNumber));
  } else {
    unnumbered_.emplace_back(key, index);
  }
  return true;
}

bool DocumentReader::ReadNotes(const Json& entry, const std::string& place, bool built,
                               Bytes* record) {
  using namespace entry_record;
  const auto list = entry.find("notes");
  if (list == entry.end()) return true;
  const std::string list_place = place + ".notes";
  if (!list->is_array() || list->size() > kNoteSlots) {
    return Fail(list_place,
                "expected an array of at most " + std::to_string(kNoteSlots) + " notes");
  }
  // The IDs given, so that a note without one gets the lowest the entry leaves free.
  std::set<long long> taken;
  for (const Json& note : *list) {
    if (!note.is_object()) continue;
    const auto given = note.find("noteid");
    if (given == note.end()) continue;
    if (const auto id = IntegerWithin(*given, -32768, 32767)) taken.insert(*id);
  }
  std::uint8_t* at = record->data();
  for (std::size_t slot = 0; slot < list->size(); ++slot) {
    const std::string note_place = list_place + "[" + std::to_string(slot) + "]";
    const Json& note = (*list)[slot];
    if (!note.is_object()) return Fail(note_place, "expected an object");
    std::optional<long long> displacement, raise_lower, note_id, note_flags;
    if (!CheckFields(note, note_place, {"displacement", "raiselower", "noteid", "noteflags"}) ||
        !ReadInteger(note, note_place, "displacement", -32768, 32767, &displacement) ||
        !ReadInteger(note, note_place, "raiselower", -32768, 32767, &raise_lower) ||
        !ReadInteger(note, note_place, "noteid", -32768, 32767, &note_id) ||
        !ReadInteger(note, note_place, "noteflags", 0, UINT32_MAX, &note_flags)) {
      return false;
    }
    NoteFields fields = built ? NoteFields() : ReadNote(at, slot);
    if (built && !note_id) {
      long long free_id = 1;
      while (taken.count(free_id)) ++free_id;
      taken.insert(free_id);
      note_id = free_id;
    }
    if (displacement) fields.displacement = static_cast<std::int16_t>(*displacement);
    if (raise_lower) fields.raise_lower = static_cast<std::int16_t>(*raise_lower);
    if (note_id) fields.note_id = static_cast<std::int16_t>(*note_id);
    if (note_flags) {
      fields.note_flags = static_cast<std::uint32_t>(*note_flags);
    } else if (built) {
      fields.note_flags = IdMirrorBits(fields.note_id);  // as a cleaned frame holds it
    }
    WriteNote(at, slot, fields);
  }
  WriteU16(at + kNoteCount, static_cast<std::uint16_t>(list->size()));
  return true;
}

bool DocumentReader::NumberEntries() {
  std::int64_t next = 1;
  for (const auto& [key, index] : unnumbered_) {
    while (next <= INT32_MAX && entry_numbers_.count(static_cast<std::int32_t>(next))) ++next;
    // Past INT32_MAX (a document that names every positive number) the lowest free negative one.
    std::int32_t number = static_cast<std::int32_t>(next);
    if (next > INT32_MAX) {
      number = -1;
      while (entry_numbers_.count(number)) --number;
    }
    entry_numbers_.insert(number);
    WriteU32(frames_[key].data() + index * entry_record::kSize + entry_record::kEntryNumber,
             static_cast<std::uint32_t>(number));
  }
  for (auto& [key, entries] : frames_) store_->PutFrame(key, std::move(entries));
  frames_.clear();
  return true;
}

bool DocumentReader::CheckFields(const Json& entry, const std::string& place,
                                 std::initializer_list<const char*> known) {
  for (const auto& [key, value] : entry.items()) {
    bool is_known = false;
    for (const char* field : known) is_known = is_known || key == field;
    if (!is_known) return Fail(place + "." + key, "unknown field");
  }
  return true;
}

bool DocumentReader::ReadNumber(const Json& entry, const std::string& place, std::uint32_t tag,
                                std::uint16_t* number) {
  return ReadUniqueNumber(entry, place, "number", tag, kLowestNumber, kHighestNumber, number);
}

bool DocumentReader::ReadUniqueNumber(const Json& entry, const std::string& place, const char* key,
                                      std::uint32_t tag, long long lowest, long long highest,
                                      std::uint16_t* number) {
  long long value = 0;
  if (!ReadRequiredInteger(entry, place, key, lowest, highest, &value)) return false;
  *number = static_cast<std::uint16_t>(value & 0xFFFF);
  auto [owner, inserted] = number_owners_.emplace(std::make_pair(tag, *number), place);
  if (!inserted) {
    return Fail(place + "." + key, std::to_string(value) + " is already used by " + owner->second);
  }
  return true;
}

bool DocumentReader::ReadRequiredInteger(const Json& entry, const std::string& place,
                                         const char* key, long long lowest, long long highest,
                                         long long* value) {
  std::optional<long long> read;
  if (!ReadInteger(entry, place, key, lowest, highest, &read)) return false;
  if (!read) return Fail(place + "." + key, "required");
  *value = *read;
  return true;
}

bool DocumentReader::ReadTransposition(const Json& entry, const std::string& place,
                                       std::optional<std::uint16_t>* word) {
  std::optional<long long> whole;
  if (!ReadInteger(entry, place, "transposition", 0, 65535, &whole)) return false;
  const char* decoded_field = nullptr;
  for (const char* field : kTranspositionFields) {
    if (!decoded_field && entry.contains(field)) decoded_field = field;
  }
  if (whole && decoded_field) {
    return Fail(place + "." + decoded_field,
                "give either \"transposition\" or its decoded fields, not both");
  }
  if (whole) *word = static_cast<std::uint16_t>(*whole);
  if (!decoded_field) return true;

  std::optional<bool> chromatic, simplify_key, set_to_clef;
  if (!ReadBool(entry, place, "chromatic", &chromatic) ||
      !ReadBool(entry, place, "simplifyKey", &simplify_key) ||
      !ReadBool(entry, place, "setToClef", &set_to_clef)) {
    return false;
  }
  Transposition transposition;
  transposition.chromatic = chromatic.value_or(false);
  transposition.simplify_key = simplify_key.value_or(true);
  transposition.set_to_clef = set_to_clef.value_or(false);
  const char* kind = transposition.chromatic ? "chromatic" : "diatonic";
  for (const auto& [field, range, target] :
       {std::make_tuple("interval", TranspositionIntervalRange(transposition.chromatic),
                        &transposition.interval),
        std::make_tuple("alteration", TranspositionAlterationRange(transposition.chromatic),
                        &transposition.alteration)}) {
    std::optional<long long> value;
    const std::string expected = "expected an integer from " + std::to_string(range.lowest) +
                                 " to " + std::to_string(range.highest) + " for a " + kind +
                                 " transposition";
    const auto found = entry.find(field);
    if (found != entry.end() && !found->is_number_integer()) {
      return Fail(place + "." + field, expected);
    }
    if (!ReadInteger(entry, place, field, INT32_MIN, INT32_MAX, &value)) {
      return Fail(place + "." + field, expected);
    }
    if (value && (*value < range.lowest || *value > range.highest)) {
      return Fail(place + "." + field, expected);
    }
    *target = static_cast<int>(value.value_or(0));
  }
  *word = EncodeTransposition(transposition);
  return true;
}

bool DocumentReader::ClaimTagForm(std::uint32_t tag, TagForm form, const std::string& place) {
  if (const char* section = SectionOfTag(tag)) {
    return Fail(place + ".tag", TagText(tag) + " is the tag of the records in \"" + section +
                                    "\", which have a section of their own");
  }
  const auto [owner, inserted] = tag_form_owners_.emplace(tag, std::make_pair(form, place));
  if (!inserted && owner->second.first != form) {
    return Fail(place + ".tag", TagText(tag) + " already holds " + FormName(owner->second.first) +
                                    " (" + owner->second.second + ")");
  }
  store_->SetTagForm(tag, form);
  return true;
}

bool DocumentReader::ReadInteger(const Json& entry, const std::string& place, const char* key,
                                 long long lowest, long long highest,
                                 std::optional<long long>* value) {
  const auto found = entry.find(key);
  if (found == entry.end()) return true;
  const auto number = IntegerWithin(*found, lowest, highest);
  if (!number) return Fail(place + "." + key, IntegerRange(lowest, highest));
  *value = number;
  return true;
}

bool DocumentReader::ReadBool(const Json& entry, const std::string& place, const char* key,
                              std::optional<bool>* value) {
  const auto found = entry.find(key);
  if (found == entry.end()) return true;
  if (!found->is_boolean()) return Fail(place + "." + key, "expected true or false");
  *value = found->get<bool>();
  return true;
}

bool DocumentReader::ReadText(const Json& entry, const std::string& place, const char* key,
                              std::size_t max_bytes, std::optional<std::string>* value) {
  const auto found = entry.find(key);
  if (found == entry.end()) return true;
  const std::string field = place + "." + key;
  const std::string expected =
      max_bytes == std::string::npos
          ? std::string("expected a string")
          : "expected a string of at most " + std::to_string(max_bytes) + " bytes";
  if (!found->is_string()) return Fail(field, expected);
  const auto& text = found->get_ref<const std::string&>();
  if (text.size() > max_bytes) return Fail(field, expected);
  if (text.find('\0') != std::string::npos) return Fail(field, "must not contain a NUL byte");
  *value = text;
  return true;
}

bool DocumentReader::ReadHex(const Json& value, const std::string& place, Bytes* bytes) {
  if (!value.is_string()) return Fail(place, "expected a string of hex digits");
  const auto& hex = value.get_ref<const std::string&>();
  if (hex.size() % 2 != 0) {
    return Fail(place, "expected an even number of hex digits, got " + std::to_string(hex.size()));
  }
  bytes->clear();
  bytes->reserve(hex.size() / 2);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigitValue(hex[i]);
    const int low = HexDigitValue(hex[i + 1]);
    if (high < 0 || low < 0) {
      const std::size_t bad = high < 0 ? i : i + 1;
      return Fail(place, "character " + std::to_string(bad) + " is not a hex digit");
    }
    bytes->push_back(static_cast<std::uint8_t>(high << 4 | low));
  }
  return true;
}

bool DocumentReader::ReadBytes(const Json& entry, const std::string& place,
                               std::optional<Bytes>* bytes) {
  const auto found = entry.find("bytes");
  if (found == entry.end()) return true;
  Bytes read;
  if (!ReadHex(*found, place + ".bytes", &read)) return false;
  *bytes = std::move(read);
  return true;
}

bool DocumentReader::ReadTag(const Json& entry, const std::string& place, std::uint32_t* tag) {
  const auto found = entry.find("tag");
  const std::string field = place + ".tag";
  const std::string expected = "expected a string such as \"0x534F4D43\"";
  if (found == entry.end()) return Fail(field, "required");
  if (!found->is_string()) return Fail(field, expected);
  const auto& text = found->get_ref<const std::string&>();
  if (text.size() < 3 || text.size() > 10 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) {
    return Fail(field, expected);
  }
  std::uint32_t value = 0;
  for (std::size_t i = 2; i < text.size(); ++i) {
    const int digit = HexDigitValue(text[i]);
    if (digit < 0) return Fail(field, expected);
    value = value << 4 | static_cast<std::uint32_t>(digit);
  }
  *tag = value;
  return true;
}

bool DocumentReader::ReadIdentity(const Json& entry, const std::string& place, Identity* id) {
  const auto found = entry.find("id");
  const std::string field = place + ".id";
  if (found == entry.end()) return Fail(field, "required");
  Bytes bytes;
  if (!ReadHex(*found, field, &bytes)) return false;
  if (bytes.size() != id->size()) {
    return Fail(field, "expected " + std::to_string(kIdentityHexDigits) + " hex digits (" +
                           std::to_string(id->size()) + " bytes)");
  }
  std::copy(bytes.begin(), bytes.end(), id->begin());
  return true;
}

bool DocumentReader::Insert(std::uint32_t tag, const Identity& id, Bytes record,
                            const std::string& place) {
  if (store_->Find(tag, id)) {
    return Fail(place, "the document already holds a record with tag " + TagText(tag) + " and id " +
                           ToHex(id.data(), id.size()));
  }
  store_->Put(tag, id, std::move(record));
  return true;
}

// --- Saving ---

// The item number of a record that the friendly form can name, if any.
std::optional<std::uint16_t> FriendlyNumber(const Identity& id) {
  const auto number = ItemNumberOf(id);
  if (!number || *number < kLowestNumber || *number > kHighestNumber) return std::nullopt;
  return number;
}

std::optional<Json> FriendlyCategory(std::uint16_t number, const Bytes& record) {
  if (record.size() != category_record::kSize) return std::nullopt;
  Json entry = Json::object();
  entry["number"] = number;
  const std::string name = CategoryNameOf(record);
  if (IsValidUtf8(name)) entry["name"] = name;
  entry["usercreated"] = IsUserCreated(record);
  const auto category_id = *CategoryIdOf(record);
  if (static_cast<std::uint16_t>(category_id) != number) entry["categoryid"] = category_id;
  entry["bytes"] = ToHex(record.data(), record.size());
  return entry;
}

std::optional<Json> FriendlyExpression(std::uint16_t number, const Bytes& record,
                                       bool with_description) {
  const auto category = ExpressionCategoryOf(record);
  if (!category) return std::nullopt;
  Json entry = Json::object();
  entry["number"] = number;
  entry["category"] = *category;
  if (with_description) {
    const auto description = ExpressionDescriptionOf(record);
    if (description && IsValidUtf8(*description)) entry["description"] = *description;
  }
  entry["bytes"] = ToHex(record.data(), record.size());
  return entry;
}

// The transposition word in its decoded form, or whole when the decoded form cannot say it (a
// word with the unused bit 12 set).
void AddTransposition(std::uint16_t word, Json* entry) {
  const Transposition transposition = DecodeTransposition(word);
  if (EncodeTransposition(transposition) != std::optional<std::uint16_t>(word)) {
    (*entry)["transposition"] = word;
    return;
  }
  (*entry)["chromatic"] = transposition.chromatic;
  (*entry)["interval"] = transposition.interval;
  (*entry)["alteration"] = transposition.alteration;
  (*entry)["simplifyKey"] = transposition.simplify_key;
  (*entry)["setToClef"] = transposition.set_to_clef;
}

std::optional<Json> FriendlyStaff(std::uint16_t number, const Bytes& record) {
  if (record.size() != staff_record::kSize) return std::nullopt;
  Json entry = Json::object();
  entry["number"] = number;
  AddTransposition(*TranspositionOf(record), &entry);
  entry["bytes"] = ToHex(record.data(), record.size());
  return entry;
}

std::optional<Json> FriendlyCurrentStaff(const Identity& id, const Bytes& record) {
  const CurrentStaffPlace where = CurrentStaffPlaceOf(id);
  const auto in_range = [](std::uint16_t number) {
    return number >= kLowestNumber && number <= kHighestNumber;
  };
  if (record.size() != staff_record::kSize || !in_range(where.staff) || !in_range(where.measure)) {
    return std::nullopt;
  }
  Json entry = Json::object();
  entry["staff"] = where.staff;
  entry["measure"] = where.measure;
  entry["position"] = where.position;
  AddTransposition(*TranspositionOf(record), &entry);
  entry["bytes"] = ToHex(record.data(), record.size());
  return entry;
}

std::optional<Json> FriendlyWordRecord(const Identity& id, const Bytes& record,
                                       const WordRecordKind& kind) {
  const auto number = ItemNumberOf(id);
  if (!number || *number < kind.lowest_number || *number > kHighestNumber ||
      record.size() != kind.size) {
    return std::nullopt;
  }
  const std::uint16_t word = *WordAt(record, kind.offset);
  Json entry = Json::object();
  entry["number"] = *number;
  if (kind.is_signed) {
    entry[kind.field] = static_cast<std::int16_t>(word);
  } else {
    entry[kind.field] = word;
  }
  entry["bytes"] = ToHex(record.data(), record.size());
  return entry;
}

std::optional<Json> FriendlyArticulation(std::uint16_t number, const Bytes& record) {
  const auto fields = ReadArticulation(record);
  if (!fields || record.size() != articulation_record::kSize) return std::nullopt;
  Json entry = Json::object();
  entry["number"] = number;
  entry["font"] = fields->font;
  entry["noFont"] = fields->no_font;
  entry["automatic"] = fields->automatic;
  entry["side"] = fields->side_code;
  entry["bytes"] = ToHex(record.data(), record.size());
  return entry;
}

// A MIDI expression of a cell a document can name: its fields when the record has its 10 bytes,
// and the record whole in "bytes" either way (of any length, as the section takes it).
std::optional<Json> FriendlyMidiExpression(const Identity& id, const Bytes& record) {
  const auto where = CellDetailPlaceOf(id);
  if (!where || where->staff < 1 || where->staff > 32767 || where->measure < 1 ||
      where->measure > 32767 || where->inci > 32767) {
    return std::nullopt;
  }
  Json entry = Json::object();
  entry["staff"] = where->staff;
  entry["measure"] = where->measure;
  entry["inci"] = where->inci;
  if (record.size() == midi_expression_record::kSize) {
    const MidiExpressionFields fields = ReadMidiExpression(record);
    entry["position"] = *fields.position;
    entry["status"] = *fields.status;
    entry["data1"] = *fields.data1;
    entry["data2"] = *fields.data2;
  }
  entry["bytes"] = ToHex(record.data(), record.size());
  return entry;
}

std::optional<Json> FriendlyRegion(std::uint16_t number, const Bytes& record) {
  const auto range = ReadRegionRange(record);
  if (!range) return std::nullopt;
  Json entry = Json::object();
  entry["number"] = number;
  entry["layout"] = record.size();
  entry["startMeasure"] = range->start_measure;
  entry["endMeasure"] = range->end_measure;
  entry["startNumber"] = range->start_number;
  entry["bytes"] = ToHex(record.data(), record.size());
  return entry;
}

// A raw text: as text when it is valid text ending with its only NUL or holding none, otherwise
// as bytes.
std::optional<Json> FriendlyText(const RecordKey& key, const Bytes& record) {
  const auto number = ItemNumberOf(key.id);
  if (!number) return std::nullopt;
  Json entry = Json::object();
  entry["tag"] = TagText(key.tag);
  entry["number"] = static_cast<std::int16_t>(*number >= 0x8000 ? *number - 0x10000 : *number);
  const auto nul = std::find(record.begin(), record.end(), 0);
  const bool terminated = nul != record.end() && nul + 1 == record.end();
  const std::string text(record.begin(), nul);
  if ((terminated || nul == record.end()) && IsValidUtf8(text)) {
    entry["text"] = text;
    if (!terminated) entry["terminated"] = false;
  } else {
    entry["bytes"] = ToHex(record.data(), record.size());
  }
  return entry;
}

// Whether a record of an incident-run tag can stand in a run: an item number a document can
// name, an incident from 0 up, and the rest of the identity zero.
bool IsRunIncident(const Identity& id) {
  const std::uint16_t item = IdentityWord(id, 0);
  return item >= kLowestNumber && item <= kHighestNumber && IdentityWord(id, 1) < 0x8000 &&
         IdentityWord(id, 2) == 0 && IdentityWord(id, 3) == 0;
}

// The runs of incidents and of entry details a saved document has begun: (tag, item or entry
// number) -> the run's index in its section. A tag holds one kind of run only.
using RunIndex = std::map<std::pair<std::uint32_t, std::int64_t>, std::size_t>;

// Appends an incident to its run in `section` ("incidents" or "details"), which begins with the
// tag and the owner under `owner_field` ("number" or "entry") when it is new.
void AddToRun(Json* section, RunIndex* runs, std::uint32_t tag, const char* owner_field,
              std::int64_t owner, std::int16_t inci, const Bytes& record) {
  const auto [run, added] = runs->emplace(std::make_pair(tag, owner), section->size());
  if (added) {
    Json entry = Json::object();
    entry["tag"] = TagText(tag);
    entry[owner_field] = owner;
    entry["incidents"] = Json::array();
    section->push_back(std::move(entry));
  }
  Json incident = Json::object();
  incident["inci"] = inci;
  incident["bytes"] = ToHex(record.data(), record.size());
  (*section)[run->second]["incidents"].push_back(std::move(incident));
}

// An entry with its fields named, and whole in "bytes"; its notes are named when its count is one
// a document can give (a hostile count stays in the bytes alone).
Json FriendlyEntry(const std::uint8_t* entry) {
  using namespace entry_record;
  Json friendly = Json::object();
  friendly["entnum"] = ReadS32(entry + kEntryNumber);
  friendly["duration"] = ReadS16(entry + kDuration);
  friendly["position"] = ReadS32(entry + kPosition);
  friendly["clef"] = ReadS16(entry + kClef);
  friendly["flags"] = ReadU32(entry + kFlags);
  const std::int16_t count = ReadS16(entry + kNoteCount);
  if (count > 0 && count <= static_cast<std::int16_t>(kNoteSlots)) {
    Json notes = Json::array();
    for (std::size_t slot = 0; slot < static_cast<std::size_t>(count); ++slot) {
      const NoteFields fields = ReadNote(entry, slot);
      Json note = Json::object();
      note["displacement"] = fields.displacement;
      note["raiselower"] = fields.raise_lower;
      note["noteid"] = fields.note_id;
      note["noteflags"] = fields.note_flags;
      notes.push_back(std::move(note));
    }
    friendly["notes"] = std::move(notes);
  }
  friendly["bytes"] = ToHex(entry, kSize);
  return friendly;
}

Json FriendlyFrame(const FrameKey& key, const Bytes& entries) {
  Json frame = Json::object();
  frame["staff"] = key.staff;
  frame["measure"] = key.measure;
  frame["layer"] = key.layer;
  Json list = Json::array();
  for (std::size_t index = 0; index < EntryCount(entries); ++index) {
    list.push_back(FriendlyEntry(entries.data() + index * entry_record::kSize));
  }
  frame["entries"] = std::move(list);
  return frame;
}

Json SlotMapJson(const LayerSetup::SlotMap& map) {
  Json slots = Json::object();
  for (const auto& [slot, staff] : map) slots[std::to_string(slot)] = staff;
  return slots;
}

// The layer setup's sections, each only when it differs from the default.
std::map<std::string, Json> SetupSections(const LayerSetup& setup) {
  std::map<std::string, Json> sections;
  if (setup.layers != LayerSetup::kDefaultLayers) sections[kLayersKey] = setup.layers;
  if (!setup.hidden.empty()) {
    sections[kHiddenLayersKey] = Json(std::vector<int>(setup.hidden.begin(), setup.hidden.end()));
  }
  if (!setup.slot_staves.empty()) sections[kSlotsKey] = SlotMapJson(setup.slot_staves);
  Json keyed = Json::object();
  for (const auto& [key, map] : setup.keyed_slot_staves) {
    // A key's empty map says what no map says, so it is not written.
    if (!map.empty()) keyed[std::to_string(key)] = SlotMapJson(map);
  }
  if (!keyed.empty()) sections[kSlotKeysKey] = std::move(keyed);
  return sections;
}

Json SelectionJson(const RegionSpan& span) {
  Json selection = Json::object();
  selection["startSlot"] = span.start_slot;
  selection["startMeasure"] = span.start_measure;
  selection["startPosition"] = span.start_position;
  selection["endSlot"] = span.end_slot;
  selection["endMeasure"] = span.end_measure;
  selection["endPosition"] = span.end_position;
  selection["startSlotKey"] = span.start_slot_key;
  selection["endSlotKey"] = span.end_slot_key;
  return selection;
}

Json RawRecord(const RecordKey& key, const Bytes& record) {
  Json entry = Json::object();
  entry["tag"] = TagText(key.tag);
  entry["id"] = ToHex(key.id.data(), key.id.size());
  entry["bytes"] = ToHex(record.data(), record.size());
  return entry;
}

}  // namespace

std::uint8_t FillByte(std::uint32_t tag, std::uint16_t number, std::size_t offset) {
  const unsigned value = 0xA5u + 0x1Du * static_cast<unsigned>(offset) + 0x3Bu * (number & 0xFFu) +
                         0x65u * (number >> 8) + KindSalt(tag);
  return static_cast<std::uint8_t>(value & 0xFF);
}

std::uint8_t EntryFillByte(const FrameKey& key, std::size_t index, std::size_t offset) {
  const auto number = static_cast<std::uint16_t>(
      (static_cast<unsigned>(static_cast<std::uint16_t>(key.staff)) +
       7u * static_cast<std::uint16_t>(key.measure) + 31u * static_cast<std::uint16_t>(key.layer) +
       101u * static_cast<unsigned>(index)) &
      0xFFFF);
  const unsigned value = 0xA5u + 0x1Du * static_cast<unsigned>(offset) + 0x3Bu * (number & 0xFFu) +
                         0x65u * (number >> 8) + kEntryFillSalt;
  return static_cast<std::uint8_t>(value & 0xFF);
}

std::size_t DefaultTextExpressionSize(std::size_t description_length) {
  const std::size_t used = expression_record::kDescription + description_length + 1;
  return (used + 3) / 4 * 4;
}

bool LoadDocument(const std::string& json_text, RecordStore* store, std::string* error) {
  Json document;
  try {
    document = Json::parse(json_text);
  } catch (const Json::exception& parse_error) {
    // A syntax error, or a number beyond what the parser can hold (-8e999999999), which it
    // reports as out of range rather than as a parse error.
    std::string detail = parse_error.what();
    const auto after_prefix = detail.find("] ");
    if (after_prefix != std::string::npos) detail = detail.substr(after_prefix + 2);
    if (error) *error = "document: not valid JSON (" + detail + ")";
    return false;
  }
  RecordStore loaded;
  DocumentReader reader;
  if (!reader.Read(document, &loaded)) {
    if (error) *error = reader.Error();
    return false;
  }
  *store = std::move(loaded);
  return true;
}

bool LoadDocumentFile(const std::string& path, RecordStore* store, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  std::string text;
  bool read = file.is_open();
  try {
    if (read) text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    read = read && !file.bad();
  } catch (const std::ios_base::failure&) {
    read = false;  // a directory, or a device that fails to read
  }
  if (!read) {
    if (error) *error = path + ": cannot read the file";
    return false;
  }
  std::string problem;
  if (!LoadDocument(text, store, &problem)) {
    if (error) *error = path + ": " + problem;
    return false;
  }
  return true;
}

std::string SaveDocument(const RecordStore& store) {
  // Each section in the order the document lists them; the first three and "records" are always
  // written, the others only when they hold something, so older documents save as they did.
  std::map<std::string, Json> sections;
  for (const char* key : kDocumentKeys) sections[key] = Json::array();
  RunIndex runs;
  for (const auto& [key, record] : store.Records()) {
    std::optional<Json> friendly;
    const char* section = SectionOfTag(key.tag);
    const auto number = FriendlyNumber(key.id);
    switch (key.tag) {
      case kCategoryTag:
        if (number) friendly = FriendlyCategory(*number, record);
        break;
      case kTextExpressionTag:
        if (number) friendly = FriendlyExpression(*number, record, true);
        break;
      case kShapeExpressionTag:
        if (number && record.size() == expression_record::kShapeSize) {
          friendly = FriendlyExpression(*number, record, false);
        }
        break;
      case kStaffTag:
        if (number) friendly = FriendlyStaff(*number, record);
        break;
      case kCurrentStaffTag:
        friendly = FriendlyCurrentStaff(key.id, record);
        break;
      case kClefTag:
        friendly = FriendlyWordRecord(key.id, record, kClefKind);
        break;
      case kPageTag:
        friendly = FriendlyWordRecord(key.id, record, kPageKind);
        break;
      case kKeySignatureTag:
        friendly = FriendlyWordRecord(key.id, record, kKeySignatureKind);
        break;
      case kArticulationTag:
        if (number) friendly = FriendlyArticulation(*number, record);
        break;
      case kMeasureNumberRegionTag:
        if (number) friendly = FriendlyRegion(*number, record);
        break;
      case kMidiExpressionTag:
        friendly = FriendlyMidiExpression(key.id, record);
        break;
      default:
        if (store.FormOf(key.tag) == TagForm::kTexts) {
          section = kTextsKey;
          friendly = FriendlyText(key, record);
        } else if (store.FormOf(key.tag) == TagForm::kIncidents && IsRunIncident(key.id)) {
          AddToRun(&sections[kIncidentsKey], &runs, key.tag, "number", IdentityWord(key.id, 0),
                   static_cast<std::int16_t>(IdentityWord(key.id, 1)), record);
          continue;
        } else if (store.FormOf(key.tag) == TagForm::kDetails && IsListedDetail(key.id)) {
          const DetailPlace where = *DetailPlaceOf(key.id);
          AddToRun(&sections[kDetailsKey], &runs, key.tag, "entry", where.entry, where.inci,
                   record);
          continue;
        }
        break;
    }
    if (friendly) {
      sections[section].push_back(std::move(*friendly));
    } else {
      sections[kRecordsKey].push_back(RawRecord(key, record));
    }
  }
  for (const auto& [key, entries] : store.Frames()) {
    sections[kFramesKey].push_back(FriendlyFrame(key, entries));
  }
  std::map<std::string, Json> setup = SetupSections(store.Layers());
  if (store.Selection()) setup[kSelectionKey] = SelectionJson(*store.Selection());
  Json document = Json::object();
  for (const char* key : kDocumentKeys) {
    const bool always = key == kCategoriesKey || key == kTextExpressionsKey ||
                        key == kShapeExpressionsKey || key == kRecordsKey;
    if (IsSetupKey(key)) {
      if (setup.count(key)) document[key] = std::move(setup[key]);
    } else if (always || !sections[key].empty()) {
      document[key] = std::move(sections[key]);
    }
  }
  return document.dump(2) + "\n";
}

bool SaveDocumentFile(const RecordStore& store, const std::string& path, std::string* error) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (file) file << SaveDocument(store);
  if (file) file.flush();
  if (!file) {
    if (error) *error = path + ": cannot write the file";
    return false;
  }
  return true;
}

}  // namespace hostsim
