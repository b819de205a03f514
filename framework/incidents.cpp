#include "framework/incidents.h"

#include <memory>

bool __FCInci::Load(unsigned short cmper, short inci) {
  _dataid.other.cmper = cmper;
  _dataid.other.inci = inci;
  return LoadDataBlock();
}

__FCInciArrayOther::~__FCInciArrayOther() {
  delete _incicollection;
}

__FCCollectionData* __FCInciArrayOther::_VerifyInciCollection() {
  if (!_incicollection) _incicollection = CreateInciCollection();
  return _incicollection;
}

bool __FCInciArrayOther::Load(unsigned short cmper) {
  _dataid.other.cmper = cmper;
  _dataid.other.inci = 0;
  return LoadDataBlock();
}

bool __FCInciArrayOther::LoadDataBlock() {
  __FCCollectionData* collection = _VerifyInciCollection();
  if (!collection) return false;
  collection->ClearElements();
  const unsigned short cmper = _dataid.other.cmper;
  // Counted wider than the incident number, so that the last incident ends the walk instead of
  // wrapping round to a negative one.
  for (std::int32_t inci = _dataid.other.inci; inci >= 0 && inci <= kLastIncident; ++inci) {
    std::unique_ptr<__FCBaseData> element(collection->CreateElement(_version));
    auto* incident = dynamic_cast<__FCInci*>(element.get());
    if (!incident || !incident->Load(cmper, static_cast<short>(inci))) break;
    collection->Add(element.get());
    element.release();
  }
  return collection->GetCount() > 0;
}

bool __FCInciArrayOther::Save() {
  __FCCollectionData* collection = _VerifyInciCollection();
  if (!collection) return false;
  for (int i = 0; i < collection->GetCount(); ++i) {
    auto* incident = dynamic_cast<__FCBaseData*>(collection->GetItemAt(i));
    if (!incident || !incident->Save()) return false;
  }
  return true;
}

bool __FCInciArrayOther::SaveAs(unsigned short cmper) {
  __FCCollectionData* collection = _VerifyInciCollection();
  if (!collection) return false;
  _dataid.other.cmper = cmper;
  _dataid.other.inci = 0;
  for (int i = 0; i < collection->GetCount(); ++i) {
    if (auto* incident = dynamic_cast<__FCInci*>(collection->GetItemAt(i))) {
      incident->SetItemNo(cmper);
    }
  }
  return Save();
}

std::int32_t __FCInciArrayOther::GetInciCount() {
  __FCCollectionData* collection = _VerifyInciCollection();
  return collection ? collection->GetCount() : 0;
}

__FCInci* __FCInciArrayOther::GetInciAt(int index) {
  __FCCollectionData* collection = _VerifyInciCollection();
  return collection ? dynamic_cast<__FCInci*>(collection->GetItemAt(index)) : nullptr;
}

void __FCInciArrayOther::CloneMemoryFrom(__FCBaseData* source) {
  auto* array = dynamic_cast<__FCInciArrayOther*>(source);
  if (!array || array == this) return;
  __FCCollectionData* collection = _VerifyInciCollection();
  if (!collection) return;
  collection->ClearElements();
  __FCCollectionData* incidents = array->_VerifyInciCollection();
  if (!incidents) return;
  for (int i = 0; i < incidents->GetCount(); ++i) {
    auto* incident = dynamic_cast<__FCBaseData*>(incidents->GetItemAt(i));
    if (!incident) continue;
    std::unique_ptr<__FCBaseData> clone(incident->CreateClone());
    if (clone) {
      collection->Add(clone.get());
      clone.release();
    }
  }
}
