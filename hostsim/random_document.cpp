#include "hostsim/random_document.h"

#include <nlohmann/json.hpp>
#include <random>
#include <stdexcept>
#include <vector>

#include "hostsim/document.h"

namespace hostsim {

namespace {

using nlohmann::json;

constexpr int kCategories = 24;
constexpr int kExpressionsOfEachKind = 40;
constexpr std::size_t kCategoryBytes = 104;
constexpr std::size_t kShapeBytes = 34;
constexpr int kLongestName = 66;
constexpr int kStaves = 2;
constexpr int kMeasures = 3;
constexpr int kLayersWithMusic = 2;
constexpr int kMostEntries = 5;
constexpr int kMostNotes = 4;

// std::mt19937's output is fixed by the language; the distributions are not, so values are
// taken from it by plain remainders.
class Dice {
 public:
  explicit Dice(std::uint32_t seed) : engine_(seed) {}
  // From `low` to `high`, both included.
  int Between(int low, int high) {
    const auto span = static_cast<std::uint32_t>(high - low + 1);
    return low + static_cast<int>(engine_() % span);
  }
  bool Coin() { return Between(0, 1) == 1; }

 private:
  std::mt19937 engine_;
};

std::string RandomName(Dice& dice) {
  std::string name(static_cast<std::size_t>(dice.Between(1, kLongestName)), ' ');
  for (char& c : name) c = static_cast<char>(dice.Between(0x20, 0x7E));
  return name;
}

std::string RandomHex(Dice& dice, std::size_t bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (std::size_t i = 0; i < 2 * bytes; ++i) hex += kDigits[dice.Between(0, 15)];
  return hex;
}

void AddCategoriesAndExpressions(Dice& dice, json* document) {
  std::vector<int> numbers;
  for (int number = 1; static_cast<int>(numbers.size()) < kCategories;
       number += 1 + dice.Between(0, 1)) {
    numbers.push_back(number);
  }
  for (int number : numbers) {
    (*document)["categories"].push_back({{"number", number},
                                         {"bytes", RandomHex(dice, kCategoryBytes)},
                                         {"name", RandomName(dice)},
                                         {"usercreated", dice.Coin()}});
  }
  // Mostly a category of the document; now and then a number no category has.
  auto pick = [&] {
    const int index = dice.Between(0, kCategories + 2);
    return index < kCategories ? numbers[static_cast<std::size_t>(index)] : 200 + index;
  };
  for (int number = 1; number <= kExpressionsOfEachKind; ++number) {
    const auto text_bytes = static_cast<std::size_t>(dice.Between(27, 60));
    (*document)["textExpressions"].push_back(
        {{"number", number}, {"bytes", RandomHex(dice, text_bytes)}, {"category", pick()}});
    (*document)["shapeExpressions"].push_back(
        {{"number", number}, {"bytes", RandomHex(dice, kShapeBytes)}, {"category", pick()}});
  }
}

// Rests and chords as a cleaned frame holds them (the document fills in the note IDs, entry
// numbers and positions).
json RandomEntry(Dice& dice) {
  static const int kDurations[] = {256, 512, 768, 1024, 2048};
  json entry = {{"duration", kDurations[dice.Between(0, 4)]}};
  const int notes = dice.Between(0, kMostNotes);
  for (int i = 0; i < notes; ++i) {
    entry["notes"].push_back(
        {{"displacement", dice.Between(-12, 12)}, {"raiselower", dice.Between(-1, 1)}});
  }
  return entry;
}

void AddMusic(Dice& dice, json* document) {
  for (int staff = 1; staff <= kStaves; ++staff) {
    for (int measure = 1; measure <= kMeasures; ++measure) {
      for (int layer = 0; layer < kLayersWithMusic; ++layer) {
        // Some layers are left unnamed: the host lends them empty.
        if (layer > 0 && dice.Coin()) continue;
        json frame = {{"staff", staff}, {"measure", measure}, {"layer", layer}};
        frame["entries"] = json::array();
        const int entries = dice.Between(0, kMostEntries);
        for (int i = 0; i < entries; ++i) frame["entries"].push_back(RandomEntry(dice));
        (*document)["frames"].push_back(std::move(frame));
      }
    }
  }
}

}  // namespace

std::string RandomDocumentText(std::uint32_t seed) {
  Dice dice(seed);
  json document;
  AddCategoriesAndExpressions(dice, &document);
  AddMusic(dice, &document);
  return document.dump(2);
}

RecordStore RandomDocument(std::uint32_t seed) {
  RecordStore store;
  std::string error;
  // Everything made above is within what a document may hold; a refusal is a fault of this
  // file, not of the seed.
  if (!LoadDocument(RandomDocumentText(seed), &store, &error)) {
    throw std::logic_error("a random document does not load: " + error);
  }
  return store;
}

}  // namespace hostsim
