// Feeds arbitrary bytes to the CII block and element reader and to the field
// decoders: none may crash, hang or read outside its input.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cii/ansi_text.h"
#include "cii/syntax/cii_reader.h"
#include "cii/field_codec.h"

namespace {

class CountingVisitor : public edi::cii::CiiVisitor {
 public:
  size_t seen = 0;
  bool OnGroupHeader(std::span<const uint8_t> h, uint64_t) override { seen += h.size(); return true; }
  bool OnGroupTrailer(std::span<const uint8_t> t, uint64_t) override { seen += t.size(); return true; }
  bool OnMessageStart(const edi::cii::MessageInfo&) override { ++seen; return true; }
  bool OnElement(uint32_t, std::string_view value, uint64_t) override {
    seen += edi::cii::DecodeSingleByteField(value).size();
    seen += edi::cii::DecodeDoubleByteField(value, "SM").size();
    return true;
  }
  bool OnGroupStart(const edi::cii::GroupMarker&) override { ++seen; return true; }
  bool OnRepetition(uint64_t) override { ++seen; return true; }
  bool OnGroupEnd(uint64_t) override { ++seen; return true; }
  bool OnMessageEnd(const edi::cii::MessageInfo&, long) override { ++seen; return true; }
  bool OnError(int, std::string_view, uint64_t) override { ++seen; return true; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  edi::cii::CiiInput input;
  input.OpenMemory(bytes);
  CountingVisitor visitor;
  (void)edi::cii::ReadCiiFile(input, visitor);
  std::string text = edi::cii::FromAnsiBytes(bytes.substr(0, 512));
  (void)edi::cii::AnsiByteLength(text);
  (void)edi::cii::JisPairsToShiftJis(bytes.substr(0, 512));
  (void)edi::cii::DecodeDoubleByteField(bytes.substr(0, 512), "UM");
  return 0;
}
