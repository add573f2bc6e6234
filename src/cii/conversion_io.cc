#include "cii/conversion_io.h"

#include "cii/syntax/cii_input.h"

namespace edi::cii {
namespace {

// Gathers what is written and hands it to the kept outputs when kept.
class MemoryOutput : public Output {
 public:
  MemoryOutput(std::map<std::string, std::string>& kept, std::string name, bool replace)
      : kept_(kept), name_(std::move(name)), replace_(replace) {}

  bool Write(std::string_view bytes) override {
    written_.append(bytes);
    return true;
  }
  bool Close() override { return true; }
  bool Keep() override {
    std::string& target = kept_[name_];
    if (replace_) {
      target.swap(written_);
    } else {
      target.append(written_);
    }
    written_.clear();
    return true;
  }
  void Drop() override { written_.clear(); }
  const std::string& error() const override { return error_; }

 private:
  std::map<std::string, std::string>& kept_;
  std::string name_;
  bool replace_;
  std::string written_;
  std::string error_;  // memory never fails
};

}  // namespace

bool OpenCiiInput(CiiInput& reader, const ConversionInput& input) {
  if (!input.bytes) return reader.Open(input.path);
  reader.OpenMemory(*input.bytes);
  return true;
}

std::unique_ptr<Output> MemoryOutputs::Append(const std::string& name, std::string&) {
  return std::make_unique<MemoryOutput>(kept, name, false);
}

std::unique_ptr<Output> MemoryOutputs::Replace(const std::string& name, std::string&) {
  return std::make_unique<MemoryOutput>(kept, name, true);
}

}  // namespace edi::cii
