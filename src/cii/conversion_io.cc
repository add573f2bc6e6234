#include "cii/conversion_io.h"

#include "cii/syntax/cii_input.h"

namespace edi::cii {
namespace {

// Appends straight to the kept text and, when dropped, cuts it back to its
// former size (or removes it when it was not there before), as a file.
class AppendedMemory : public Output {
 public:
  AppendedMemory(std::map<std::string, std::string>& kept, const std::string& name)
      : kept_(kept), name_(name), created_(kept.find(name) == kept.end()), text_(kept[name]),
        formerSize_(text_.size()) {}

  bool Write(std::string_view bytes) override {
    text_.append(bytes);
    return true;
  }
  bool Close() override { return true; }
  bool Keep() override { return true; }
  void Drop() override {
    if (created_) {
      kept_.erase(name_);
    } else {
      text_.resize(formerSize_);
    }
  }
  const std::string& error() const override { return error_; }

 private:
  std::map<std::string, std::string>& kept_;
  std::string name_;
  bool created_;
  std::string& text_;
  size_t formerSize_;
  std::string error_;  // memory never fails
};

// Gathers what is written and puts it in the place of the kept text when
// kept.
class ReplacedMemory : public Output {
 public:
  ReplacedMemory(std::map<std::string, std::string>& kept, std::string name) : kept_(kept), name_(std::move(name)) {}

  bool Write(std::string_view bytes) override {
    written_.append(bytes);
    return true;
  }
  bool Close() override { return true; }
  bool Keep() override {
    kept_[name_].swap(written_);
    written_.clear();
    return true;
  }
  void Drop() override { written_.clear(); }
  const std::string& error() const override { return error_; }

 private:
  std::map<std::string, std::string>& kept_;
  std::string name_;
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
  return std::make_unique<AppendedMemory>(kept, name);
}

std::unique_ptr<Output> MemoryOutputs::Replace(const std::string& name, std::string&) {
  return std::make_unique<ReplacedMemory>(kept, name);
}

}  // namespace edi::cii
