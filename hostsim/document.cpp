#include "hostsim/document.h"

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <map>
#include <optional>
#include <utility>

#include <nlohmann/json.hpp>

#include "hostsim/score_records.h"

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
const char* const kRecordsKey = "records";

std::uint8_t KindSalt(std::uint32_t tag) {
  switch (tag) {
    case kTextExpressionTag:
      return 0x40;
    case kShapeExpressionTag:
      return 0x80;
    default:
      return 0x00;
  }
}

Bytes FilledRecord(std::uint32_t tag, std::uint16_t number, std::size_t size) {
  Bytes record(size);
  for (std::size_t offset = 0; offset < size; ++offset) {
    record[offset] = FillByte(tag, number, offset);
  }
  return record;
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
  bool ReadRawRecord(const Json& entry, const std::string& place);

  bool CheckFields(const Json& entry, const std::string& place,
                   std::initializer_list<const char*> known);
  bool ReadNumber(const Json& entry, const std::string& place, std::uint32_t tag,
                  std::uint16_t* number);
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
  std::map<std::pair<std::uint32_t, std::uint16_t>, std::string> number_owners_;
  std::string error_;
};

bool DocumentReader::Read(const Json& document, RecordStore* store) {
  store_ = store;
  if (!document.is_object()) return Fail("document", "expected a JSON object");
  for (const auto& [key, value] : document.items()) {
    if (key != kCategoriesKey && key != kTextExpressionsKey && key != kShapeExpressionsKey &&
        key != kRecordsKey) {
      return Fail("document." + key, "unknown field");
    }
  }
  return ReadList(document, kCategoriesKey, &DocumentReader::ReadCategory) &&
         ReadList(document, kTextExpressionsKey, &DocumentReader::ReadTextExpression) &&
         ReadList(document, kShapeExpressionsKey, &DocumentReader::ReadShapeExpression) &&
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
  std::optional<long long> value;
  if (!ReadInteger(entry, place, "number", kLowestNumber, kHighestNumber, &value)) return false;
  if (!value) return Fail(place + ".number", "required");
  *number = static_cast<std::uint16_t>(*value);
  auto [owner, inserted] = number_owners_.emplace(std::make_pair(tag, *number), place);
  if (!inserted) {
    return Fail(place + ".number",
                std::to_string(*number) + " is already used by " + owner->second);
  }
  return true;
}

bool DocumentReader::ReadInteger(const Json& entry, const std::string& place, const char* key,
                                 long long lowest, long long highest,
                                 std::optional<long long>* value) {
  const auto found = entry.find(key);
  if (found == entry.end()) return true;
  const std::string expected =
      "expected an integer from " + std::to_string(lowest) + " to " + std::to_string(highest);
  bool in_range = false;
  long long number = 0;
  if (found->is_number_unsigned()) {
    const auto unsigned_number = found->get<unsigned long long>();
    in_range = unsigned_number <= static_cast<unsigned long long>(highest);
    number = static_cast<long long>(unsigned_number);
  } else if (found->is_number_integer()) {
    number = found->get<long long>();
    in_range = number <= highest;
  }
  if (!in_range || number < lowest) return Fail(place + "." + key, expected);
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

std::size_t DefaultTextExpressionSize(std::size_t description_length) {
  const std::size_t used = expression_record::kDescription + description_length + 1;
  return (used + 3) / 4 * 4;
}

bool LoadDocument(const std::string& json_text, RecordStore* store, std::string* error) {
  Json document;
  try {
    document = Json::parse(json_text);
  } catch (const Json::parse_error& parse_error) {
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
  Json categories = Json::array();
  Json text_expressions = Json::array();
  Json shape_expressions = Json::array();
  Json records = Json::array();
  for (const auto& [key, record] : store.Records()) {
    std::optional<Json> friendly;
    if (const auto number = FriendlyNumber(key.id)) {
      if (key.tag == kCategoryTag) friendly = FriendlyCategory(*number, record);
      if (key.tag == kTextExpressionTag) friendly = FriendlyExpression(*number, record, true);
      if (key.tag == kShapeExpressionTag && record.size() == expression_record::kShapeSize) {
        friendly = FriendlyExpression(*number, record, false);
      }
    }
    if (!friendly) {
      records.push_back(RawRecord(key, record));
    } else if (key.tag == kCategoryTag) {
      categories.push_back(std::move(*friendly));
    } else if (key.tag == kTextExpressionTag) {
      text_expressions.push_back(std::move(*friendly));
    } else {
      shape_expressions.push_back(std::move(*friendly));
    }
  }
  Json document = Json::object();
  document[kCategoriesKey] = std::move(categories);
  document[kTextExpressionsKey] = std::move(text_expressions);
  document[kShapeExpressionsKey] = std::move(shape_expressions);
  document[kRecordsKey] = std::move(records);
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
