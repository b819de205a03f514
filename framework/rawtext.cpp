#include "framework/rawtext.h"

#include <cstring>
#include <new>

std::int32_t FCRawText::DataSize() {
  std::int32_t size = 0;
  // The size query always carries the framework's own API version, whatever the object's.
  if (FX_LoadEData(Tag(), &_dataid, nullptr, &size, kScorixApiVersion) == 0) return 0;
  return size;
}

void* FCRawText::_AllocateText(std::int32_t size) {
  const std::int32_t bytes = size < 0 || size > kMostTextBytes ? 0 : size;
  // Value-initialised: the extra byte ends the text, and bytes the host does not fill are zero.
  auto* block = new unsigned char[static_cast<std::size_t>(bytes) + 1]();
  _datablock = block;
  _blocksize = bytes;
  _textset = false;
  return block;
}

void FCRawText::_ReleaseText() {
  delete[] static_cast<unsigned char*>(_datablock);
  _datablock = nullptr;
  _blocksize = 0;
  _textset = false;
}

bool FCRawText::_LoadText() {
  ClearData();
  const std::int32_t size = DataSize();
  // A size no record can have, or no text: nothing is allocated or asked for.
  if (size < 0 || size > kMostTextBytes) return false;
  _AllocateText(size);
  if (!_LoadInto(size)) return false;
  // What the block holds from now on is what the host delivered, and no more.
  _blocksize = _loadedsize;
  return true;
}

bool FCRawText::Load(short number) {
  _dataid.other.cmper = static_cast<unsigned short>(number);
  return _LoadText();
}

bool FCRawText::LoadNext() {
  _reachedend = false;
  if (FX_NextEData(Tag(), &_dataid, nullptr, 0, _version) == 0) {
    _reachedend = true;
    return false;
  }
  return _LoadText();
}

bool FCRawText::Save() {
  // A block filled by the generic LoadDataBlock is as large as the host's first answer, which
  // may exceed what it then delivered: only the delivered bytes are the record.
  const std::int32_t bytes = _TextBytes();
  if (_loadedsize <= 0 || !_datablock || bytes <= 0) return false;
  return FX_SaveEData(Tag(), &_dataid, _datablock, bytes, _version) != 0;
}

bool FCRawText::SaveAs(short number) {
  _dataid.other.cmper = static_cast<unsigned short>(number);
  return Save();
}

void FCRawText::CloneMemoryFrom(__FCBaseData* source) {
  auto* text = dynamic_cast<FCRawText*>(source);
  if (!text || text == this) return;
  _ReleaseText();
  _loadedsize = text->_loadedsize;
  if (!text->_datablock) return;  // nothing held, nothing to copy: the clone has no storage
  const std::int32_t bytes = text->_blocksize;
  auto* copy = new unsigned char[static_cast<std::size_t>(bytes) + 1]();
  if (bytes > 0) std::memcpy(copy, text->_datablock, static_cast<std::size_t>(bytes));
  _datablock = copy;
  _blocksize = bytes;
  _textset = text->_textset;
}

void FCRawText::SetText(const char* text) {
  if (!text) text = "";
  const std::size_t length = std::strlen(text);
  // The text and its terminator are the bytes the block holds (and a save writes); a length the
  // host's 32-bit sizes cannot carry is not taken.
  if (length >= static_cast<std::size_t>(INT32_MAX)) throw std::bad_alloc();
  auto* copy = new unsigned char[length + 2]();
  std::memcpy(copy, text, length + 1);
  _ReleaseText();
  _datablock = copy;
  _blocksize = static_cast<std::int32_t>(length + 1);
  _textset = true;
}

const char* FCRawText::GetText() const {
  return _datablock ? static_cast<const char*>(_datablock) : "";
}
