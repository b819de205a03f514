// The records of a document besides categories and expression definitions, as `scorix-sim show`
// lists them for a person: raw texts, incident runs, staves and current staves with their
// transposition, clef definitions and measure-number regions.
//
// A kind is listed only when the document holds records of it, so a document of categories and
// expression definitions alone shows exactly what it always did. Records are read as far as they
// go: a record too short for a field says so instead of being read past its end.
#pragma once

#include <cstdint>
#include <string>

#include "hostsim/record_store.h"

namespace hostsim {

// Each listed kind as "\n<Heading>:\n" and its table; empty when there is nothing to list.
std::string RecordListings(const RecordStore& store);

// A raw text as a person reads it: the text quoted with its unprintable bytes escaped, and what
// is odd about it: "(empty)", "(unterminated)", "(empty, unterminated)" for a record of no bytes,
// or "(N more bytes after the NUL)" when it holds a NUL before its last byte.
std::string DescribeText(const Bytes& record);

// "0x534F4D43 'SOMC'": the tag in hex, and as four characters when they are all printable.
std::string TagLabel(std::uint32_t tag);

}  // namespace hostsim
