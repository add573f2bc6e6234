#include "cii/converter_state.h"

#include <algorithm>

#include "base/text.h"

namespace edi::cii {

std::string HeaderField(std::span<const uint8_t> header, size_t offset, size_t length) {
  return TrimSpaces(std::string_view(reinterpret_cast<const char*>(header.data() + offset), length));
}

void ConverterState::TakeHeader(std::span<const uint8_t> groupHeader) {
  std::copy(groupHeader.begin(), groupHeader.end(), header.begin());
  groupBpid = HeaderField(header, header::kBpid, header::kBpidLength);
  groupInfoCode = HeaderField(header, header::kInfoCode, header::kInfoCodeLength);
}

bool LoadGroupFormats(ConverterState& state, Database& db, const GroupFormats& what,
                      ConversionResult& result) {
  const std::string& info = state.groupInfoCode;
  const std::string& bpid = state.groupBpid;
  const LoadedFormats& loaded = state.loadedFormats;
  if (state.reuseFormats && loaded.valid && loaded.infoCode == info && loaded.bpid == bpid &&
      (loaded.localRows || !what.localRows) && (loaded.xmlCode || !what.xmlCode)) {
    return true;
  }
  state.loadedFormats = LoadedFormats{};  // the rows change from here on
  const bool found =
      result.Loaded(LoadFormatInfo(db, info, bpid, state.formatInfo, what.xmlCode), what.infoNotFound, db) &&
      result.Loaded(LoadRecordFormatRows(db, 'E', info, bpid, state.ciiRows), kErrNoCiiRows, db) &&
      (!what.localRows ||
       result.Loaded(LoadRecordFormatRows(db, 'L', info, bpid, state.localRows), kErrNoLocalRows, db));
  if (found) state.loadedFormats = LoadedFormats{true, info, bpid, what.localRows, what.xmlCode};
  return found;
}

LoadStatus LoadGroupValues(ConverterState& state, Database& db, const std::string& partner,
                           const std::string& own, const std::string& category, MessageGroupValues& values) {
  LoadedGroupValues& loaded = state.loadedGroupValues;
  if (state.reuseFormats && loaded.valid && loaded.partner == partner && loaded.own == own &&
      loaded.category == category) {
    values = loaded.values;
    return LoadStatus::kFound;
  }
  const LoadStatus status = LoadMessageGroupValues(db, partner, own, category, values);
  loaded = status == LoadStatus::kFound ? LoadedGroupValues{true, partner, own, category, values} : LoadedGroupValues{};
  return status;
}

}  // namespace edi::cii
