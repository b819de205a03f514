// Documents for the benchmarks: 255 categories (the first 15 built in, the rest user-created with
// names in no order) and any number of expression definitions, half text and half shape, each
// naming one of the categories. The same count always gives the same document.
#pragma once

#include "hostsim/record_store.h"

namespace bench {

constexpr int kCategories = 255;
constexpr int kBuiltInCategories = 15;

struct GeneratedDocument {
  hostsim::RecordStore store;
  int categories = 0;
  int user_categories = 0;
  int text_expressions = 0;
  int shape_expressions = 0;

  int Records() const { return categories + text_expressions + shape_expressions; }
};

GeneratedDocument MakeDocument(int expressions);

}  // namespace bench
