// Documents of the simulated host as JSON: categories and expression definitions in a friendly
// form, every other record raw by tag and identity.
//
//   {
//     "categories": [ {"number": 1, "name": "Dynamics", "usercreated": false} ],
//     "textExpressions": [ {"number": 1, "category": 1, "description": "pp"} ],
//     "shapeExpressions": [ {"number": 1, "category": 2} ],
//     "records": [ {"tag": "0x6F743134", "id": "0100000000000000", "bytes": "..."} ]
//   }
//
// Every friendly entry may carry "bytes", the whole record in hex; the named fields that are
// present are then written over it. A category's "number" is its item number and, unless
// "categoryid" says otherwise, also the id stored at byte 0. Without "bytes" a record is built
// from its fields, and every byte that nobody interprets holds the fill pattern below, so a
// plug-in that loses or mixes up such bytes is caught. Numbers run from 1 to 65534 and are unique
// per kind; a category name takes at most 66 bytes (66 leaves no room for the terminator, which
// the host allows); an expression's category is 0..255.
//
// Loading is all or nothing: a malformed document is refused with a message that names the place
// (`categories[3].name: expected a string of at most 66 bytes`) and the store is left untouched.
// Saving writes the three known kinds in the friendly form with their full "bytes", so loading
// the saved text gives back the same records byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "hostsim/record_store.h"

namespace hostsim {

// The fill pattern: byte `offset` of record `number` of kind `tag` holds
//   0xA5 + 0x1D * offset + 0x3B * (number & 0xFF) + 0x65 * (number >> 8) + salt   (mod 256)
// with salt 0x00 for categories, 0x40 for text and 0x80 for shape expression definitions.
// Neighbouring bytes differ, and two records differ in every filled byte unless their numbers
// collide modulo 256 in a way no sample document comes near.
std::uint8_t FillByte(std::uint32_t tag, std::uint16_t number, std::size_t offset);

// The size a text expression definition built without "bytes" gets: the description, its NUL,
// and a few filled bytes up to the next multiple of four.
std::size_t DefaultTextExpressionSize(std::size_t description_length);

bool LoadDocument(const std::string& json_text, RecordStore* store, std::string* error);
bool LoadDocumentFile(const std::string& path, RecordStore* store, std::string* error);

std::string SaveDocument(const RecordStore& store);
bool SaveDocumentFile(const RecordStore& store, const std::string& path, std::string* error);

}  // namespace hostsim
