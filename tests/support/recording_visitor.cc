#include "support/recording_visitor.h"

#include "cii/syntax/cii_layout.h"

namespace edi::test {

bool RecordingVisitor::OnGroupHeader(std::span<const uint8_t> h, uint64_t) {
  headers.emplace_back(reinterpret_cast<const char*>(h.data()), h.size());
  lines.push_back("0C " + std::string(1, static_cast<char>(h[cii::header::kStorageMode])));
  return true;
}

bool RecordingVisitor::OnGroupTrailer(std::span<const uint8_t> t, uint64_t) {
  trailers.emplace_back(reinterpret_cast<const char*>(t.data()), 5);
  lines.push_back("0E " + trailers.back());
  return true;
}

bool RecordingVisitor::OnMessageStart(const cii::MessageInfo& m) {
  messages.emplace_back();
  lines.push_back("D " + std::to_string(m.number) + (m.longForm ? " long" : ""));
  return true;
}

void RecordingVisitor::Member(std::string line) {
  if (!messages.empty()) messages.back().push_back(line);
  lines.push_back(std::move(line));
}

bool RecordingVisitor::OnElement(uint32_t tag, std::string_view value, uint64_t) {
  Member(std::to_string(tag) + "=" + std::string(value));
  return true;
}

bool RecordingVisitor::OnGroupStart(const cii::GroupMarker& m) {
  Member("{" + std::to_string(m.marker) + (m.hasNumber ? ":" + std::to_string(m.number) : ""));
  return true;
}

bool RecordingVisitor::OnRepetition(uint64_t) {
  Member("|");
  return true;
}

bool RecordingVisitor::OnGroupEnd(uint64_t) {
  Member("}");
  return true;
}

bool RecordingVisitor::OnMessageEnd(const cii::MessageInfo&, long remaining) {
  lines.push_back(remaining == 0 ? "end" : "end " + std::to_string(remaining));
  return true;
}

bool RecordingVisitor::OnError(int code, std::string_view message, uint64_t) {
  errors.push_back(std::to_string(code) + std::string(message));
  lines.push_back("error " + errors.back());
  return true;
}

RecordingVisitor RecordBytes(const std::string& bytes, cii::ReadOutcome* outcome) {
  cii::CiiInput in;
  in.OpenMemory(bytes);
  RecordingVisitor recording;
  const cii::ReadOutcome result = cii::ReadCiiFile(in, recording);
  if (outcome != nullptr) *outcome = result;
  return recording;
}

RecordingVisitor RecordFile(const std::string& path, cii::ReadOutcome* outcome) {
  cii::CiiInput in;
  RecordingVisitor recording;
  if (!in.Open(path)) {
    recording.errors.push_back("cannot open " + path);
    return recording;
  }
  const cii::ReadOutcome result = cii::ReadCiiFile(in, recording);
  if (outcome != nullptr) *outcome = result;
  return recording;
}

}  // namespace edi::test
