#include "bench/generated_document.h"

#include <cstdint>
#include <string>

#include "hostsim/document.h"
#include "hostsim/score_records.h"

namespace bench {

namespace {

// A small fixed generator, so that every machine builds the same documents.
class Numbers {
 public:
  explicit Numbers(std::uint32_t seed) : state_(seed) {}
  std::uint32_t Below(std::uint32_t limit) {
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) % limit;
  }

 private:
  std::uint32_t state_;
};

hostsim::Bytes Filled(std::uint32_t tag, std::uint16_t number, std::size_t size) {
  hostsim::Bytes record(size);
  for (std::size_t offset = 0; offset < size; ++offset) {
    record[offset] = hostsim::FillByte(tag, number, offset);
  }
  return record;
}

std::string Name(Numbers& numbers) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz ";
  std::string name;
  const std::uint32_t length = 3 + numbers.Below(20);
  for (std::uint32_t i = 0; i < length; ++i) name += kLetters[numbers.Below(sizeof kLetters - 1)];
  return name;
}

}  // namespace

GeneratedDocument MakeDocument(int expressions) {
  using namespace hostsim;
  GeneratedDocument document;
  Numbers numbers(20261208u + static_cast<std::uint32_t>(expressions));
  for (int number = 1; number <= kCategories; ++number) {
    const auto item = static_cast<std::uint16_t>(number);
    Bytes record = Filled(kCategoryTag, item, category_record::kSize);
    PutWord(&record, category_record::kCategoryId, item);
    const std::string name = Name(numbers);
    std::copy(name.begin(), name.end(), record.begin() + category_record::kName);
    record[category_record::kName + name.size()] = 0;
    const bool user = number > kBuiltInCategories;
    if (user) {
      record[category_record::kFlags] |= category_record::kUserCreated;
      ++document.user_categories;
    } else {
      record[category_record::kFlags] &= static_cast<std::uint8_t>(~category_record::kUserCreated);
    }
    document.store.Put(kCategoryTag, ItemIdentity(item), std::move(record));
    ++document.categories;
  }
  document.text_expressions = expressions / 2;
  document.shape_expressions = expressions - document.text_expressions;
  for (int number = 1; number <= document.text_expressions; ++number) {
    const auto item = static_cast<std::uint16_t>(number);
    Bytes record = Filled(kTextExpressionTag, item, DefaultTextExpressionSize(numbers.Below(24)));
    record[expression_record::kCategory] =
        static_cast<std::uint8_t>(1 + numbers.Below(kCategories));
    document.store.Put(kTextExpressionTag, ItemIdentity(item), std::move(record));
  }
  for (int number = 1; number <= document.shape_expressions; ++number) {
    const auto item = static_cast<std::uint16_t>(number);
    Bytes record = Filled(kShapeExpressionTag, item, expression_record::kShapeSize);
    record[expression_record::kCategory] =
        static_cast<std::uint8_t>(1 + numbers.Below(kCategories));
    document.store.Put(kShapeExpressionTag, ItemIdentity(item), std::move(record));
  }
  return document;
}

}  // namespace bench
