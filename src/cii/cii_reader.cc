#include "cii/cii_reader.h"

#include <array>
#include <string>

#include "cii/cii_layout.h"
#include "cii/err_log.h"

namespace edi::cii {
namespace {

// Receives the events of a message that is skipped: only a stopping error
// gets through to the real visitor.
class SkippingVisitor : public CiiVisitor {
 public:
  explicit SkippingVisitor(CiiVisitor& real) : real_(real) {}
  bool OnGroupHeader(std::span<const uint8_t>, uint64_t) override { return true; }
  bool OnGroupTrailer(std::span<const uint8_t>, uint64_t) override { return true; }
  bool OnMessageStart(const MessageInfo&) override { return true; }
  bool OnElement(uint32_t, std::string_view, uint64_t) override { return true; }
  bool OnGroupStart(const GroupMarker&) override { return true; }
  bool OnRepetition(uint64_t) override { return true; }
  bool OnGroupEnd(uint64_t) override { return true; }
  bool OnMessageEnd(const MessageInfo&, long) override { return true; }
  bool OnError(int code, std::string_view message, uint64_t offset) override {
    return code == kErrTruncated ? real_.OnError(code, message, offset) : true;
  }

 private:
  CiiVisitor& real_;
};

enum class Step { kGoOn, kStop, kFail };

class Walker {
 public:
  Walker(CiiInput& in, CiiVisitor& visitor) : in_(in), visitor_(visitor) { header_.fill(' '); }

  ReadOutcome Run() {
    for (;;) {
      std::array<uint8_t, 2> id;
      int remaining = 2;
      const uint64_t offset = in_.Offset();
      if (in_.ReadFileBytes(id.data(), remaining)) return ReadOutcome::kComplete;
      Step step = Block(id[0], id[1], offset);
      if (step == Step::kStop) return ReadOutcome::kStopped;
      if (step == Step::kFail) return ReadOutcome::kFailed;
    }
  }

 private:
  Step Fail(int code, uint64_t offset) {
    visitor_.OnError(code, "", offset);
    return Step::kFail;
  }
  Step Go(bool goOn) { return goOn ? Step::kGoOn : Step::kStop; }

  Step Block(uint8_t control, uint8_t kind, uint64_t offset) {
    if (control == '0') {
      if (kind == 'C') return GroupHeader(offset);
      if (kind == 'E') return GroupTrailer(offset);
      return Step::kGoOn;
    }
    if (control >= '1' && control <= '9') {
      if (kind == 'D') return Message(offset);
      return Go(visitor_.OnError(kErrBlockId, "-01", offset));
    }
    return Go(visitor_.OnError(kErrBlockId, "-02", offset));
  }

  Step GroupHeader(uint64_t offset) {
    int remaining = static_cast<int>(kRecordSize);
    if (in_.ReadFileBytes(header_.data(), remaining)) return Fail(kErrTruncated, in_.Offset());
    if (!in_.SetStorageMode(static_cast<char>(header_[header::kStorageMode]))) {
      return Fail(kErrStorageMode, offset + 2 + header::kStorageMode);
    }
    storageMode_ = static_cast<char>(header_[header::kStorageMode]);
    return Go(visitor_.OnGroupHeader(header_, offset));
  }

  Step GroupTrailer(uint64_t offset) {
    std::array<uint8_t, kRecordSize> trailer;
    int remaining = static_cast<int>(kRecordSize);
    if (in_.ReadFileBytes(trailer.data(), remaining)) return Fail(kErrTruncated, in_.Offset());
    return Go(visitor_.OnGroupTrailer(trailer, offset));
  }

  static long Digits(const uint8_t* p, size_t n) {
    long value = 0;
    for (size_t i = 0; i < n; ++i) {
      if (p[i] < '0' || p[i] > '9') break;
      value = value * 10 + (p[i] - '0');
    }
    return value;
  }

  Step Message(uint64_t offset) {
    std::array<uint8_t, 15> head;
    int remaining = 7;
    if (in_.ReadFileBytes(head.data(), remaining)) return Fail(kErrTruncated, in_.Offset());
    MessageInfo message;
    message.offset = offset;
    message.number = static_cast<int>(Digits(head.data(), 5));
    size_t consumed = kShortHeaderSize;
    if (head[5] == 0x80 && head[6] == 0x80) {
      remaining = 8;
      if (in_.ReadFileBytes(head.data() + 7, remaining)) return Fail(kErrTruncated, in_.Offset());
      message.longForm = true;
      message.declaredLength = Digits(head.data() + 8, 7);
      consumed = kLongHeaderSize;
    } else {
      message.declaredLength = (static_cast<long>(head[5]) << 8) | head[6];
    }
    in_.blockRemaining = static_cast<int>(BlockDataSize(storageMode_)) - static_cast<int>(consumed - 1);
    const long bodyRemaining = message.declaredLength + 1 - static_cast<long>(consumed);
    const bool noDataGroup = header_[header::kGroupKind] == '2' && header_[header::kGroupKind + 1] == '0';
    if (noDataGroup) {
      SkippingVisitor skip(visitor_);
      return Body(skip, message, bodyRemaining);
    }
    if (!visitor_.OnMessageStart(message)) return Step::kStop;
    return Body(visitor_, message, bodyRemaining);
  }

  // Reads one byte of the body; false at the end of the file.
  bool Byte(uint8_t& b, long& remaining) {
    if (!in_.ReadCiiByte(b)) return false;
    --remaining;
    return true;
  }

  Step Body(CiiVisitor& v, const MessageInfo& message, long remaining) {
    bool extended = false;
    std::string value;
    for (;;) {
      const uint64_t at = in_.Offset();
      uint8_t b;
      if (!Byte(b, remaining)) return Fail(kErrTruncated, in_.Offset());
      const bool oneByteTag = !extended && b <= kMaxOneByteTag;
      const bool twoByteTag = extended && b < kExtendedSwitch;
      const bool threeByteTag = extended && b >= 0xF1 && b <= kLongFormMark;
      if (oneByteTag || twoByteTag || threeByteTag) {
        uint32_t tag = b;
        uint8_t x, y;
        if (twoByteTag) {
          if (!Byte(x, remaining)) return Fail(kErrTruncated, in_.Offset());
          tag = (static_cast<uint32_t>(b) << 8) | x;
        } else if (threeByteTag) {
          if (!Byte(x, remaining) || !Byte(y, remaining)) return Fail(kErrTruncated, in_.Offset());
          tag = (static_cast<uint32_t>(b & 0x0F) << 16) | (static_cast<uint32_t>(x) << 8) | y;
        }
        long length = 0;
        Step step = ElementLength(v, remaining, length);
        if (step != Step::kGoOn) return step;
        if (!in_.ReadCiiBytes(static_cast<size_t>(length), value)) return Fail(kErrTruncated, in_.Offset());
        remaining -= length;
        if (!v.OnElement(tag, value, at)) return Step::kStop;
        continue;
      }
      switch (b) {
        case kExtendedSwitch:
          extended = true;
          break;
        case kGroupStart:
        case kGroupStartNumber: {
          if (b == kGroupStartNumber && !extended) {
            if (!v.OnError(kErrMarkerFD, "", at)) return Step::kStop;
            break;
          }
          GroupMarker marker{b, extended, 0, at};
          uint8_t x, y;
          if (extended && b == kGroupStart) {
            if (!Byte(x, remaining)) return Fail(kErrTruncated, in_.Offset());
            marker.number = x;
          } else if (extended) {
            if (!Byte(x, remaining) || !Byte(y, remaining)) return Fail(kErrTruncated, in_.Offset());
            marker.number = (x << 8) | y;
          }
          if (!v.OnGroupStart(marker)) return Step::kStop;
          break;
        }
        case kRepetition:
          if (!v.OnRepetition(at)) return Step::kStop;
          break;
        case kGroupEnd:
          if (!v.OnGroupEnd(at)) return Step::kStop;
          break;
        case kEndMark:
          if (!v.OnMessageEnd(message, remaining)) return Step::kStop;
          return SkipFiller();
        default:
          if (extended && b == kPassOver) break;
          if (extended && b == kSkipNext) {
            uint8_t dropped;
            if (!Byte(dropped, remaining)) return Fail(kErrTruncated, in_.Offset());
            break;
          }
          if (!v.OnError(kErrSpecialByte, "", at)) return Step::kStop;
          break;
      }
    }
  }

  Step ElementLength(CiiVisitor& v, long& remaining, long& length) {
    bool unknownPrefix = false;
    if (!in_.ReadElementLength(remaining, length, unknownPrefix)) return Fail(kErrTruncated, in_.Offset());
    return unknownPrefix ? Go(v.OnError(kErrLengthPrefix, "", in_.Offset() - 1)) : Step::kGoOn;
  }

  Step SkipFiller() {
    if (storageMode_ == kStorageLarge || in_.blockRemaining <= 0) {
      in_.blockRemaining = 0;
      return Step::kGoOn;
    }
    std::array<uint8_t, kBlockDataM> filler;
    int remaining = in_.blockRemaining;
    in_.blockRemaining = 0;
    if (in_.ReadFileBytes(filler.data(), remaining)) return Fail(kErrTruncated, in_.Offset());
    return Step::kGoOn;
  }

  CiiInput& in_;
  CiiVisitor& visitor_;
  std::array<uint8_t, kRecordSize> header_;
  char storageMode_ = kStorageDefault;
};

}  // namespace

ReadOutcome ReadCiiFile(CiiInput& input, CiiVisitor& visitor) { return Walker(input, visitor).Run(); }

}  // namespace edi::cii
