// Host records whose bytes are a text of varying length. The storage is a heap block sized by the
// host on every load; the class adds plain text access on top. A concrete text class supplies the
// tag, CreateObject and LoadFirst.
#pragma once

#include <cstdint>

#include "framework/data.h"

class FCRawText : public __FCBaseData {
 public:
  explicit FCRawText(std::uint32_t version = kScorixApiVersion) : __FCBaseData(version) {}
  ~FCRawText() override { _ReleaseText(); }

  const char* ClassName() override { return "FCRawText"; }
  // The size of the stored record as the host reports it now (asked afresh on every call); 0
  // when the host has no such record. A negative answer is passed on: a load refuses it.
  std::int32_t DataSize() override;
  // A block of DataSize() bytes (a negative size, or one above kMostTextBytes, counts as 0),
  // followed by one zero byte of our own so that GetText() always ends.
  void* Allocate() override { return _AllocateText(DataSize()); }
  void Deallocate() override { _ReleaseText(); }
  bool IsDynamicSize() override { return true; }
  // Copies the bytes the source's block holds, with the terminating zero byte of our own.
  void CloneMemoryFrom(__FCBaseData* source) override;
  // Writes the bytes the block holds: the record as the host delivered it (never the zero bytes
  // after it, whichever load filled the block), or the text last set (with its terminator).
  // Refused while nothing is loaded or when the block holds no byte.
  bool Save() override;
  // Steps to the host's next text record of the tag and loads it.
  bool LoadNext() override;

  // Loads text record `number`. The host is asked for the size once; the block allocated at that
  // size is all the host may fill. A size below 0 or above kMostTextBytes fails the load before
  // anything is allocated.
  bool Load(short number);
  bool SaveAs(short number);
  // Replaces the storage with a copy of `text` and its terminator (null counts as ""). The text
  // may be this object's own GetText(): it is copied before the old block is released.
  void SetText(const char* text);
  // The stored text, always terminated; "" when there is no storage.
  const char* GetText() const;

  // The largest text record whose size the host is believed. No text of a score comes near it;
  // a larger answer is a host's mistake, and taking it would have the plug-in allocate and clear
  // up to 2 GiB on the host's word.
  static constexpr std::int32_t kMostTextBytes = 16 * 1024 * 1024;

 protected:
  // The load of a text record under the identity already set.
  bool _LoadText();

 private:
  // A zeroed block of `size` bytes plus the terminating zero byte; `_blocksize` counts `size`.
  void* _AllocateText(std::int32_t size);
  void _ReleaseText();
  // The bytes a save writes and a clone copies: the text last set, else the delivered bytes.
  std::int32_t _TextBytes() const { return _textset ? _blocksize : _HeldBytes(); }

  // Whether the block holds a text set with SetText (or copied from one) rather than a record
  // as the host delivered it.
  bool _textset = false;
};
