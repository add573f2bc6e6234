#include "cii/syntax/cii_reader.h"

#include <algorithm>
#include <array>
#include <string>

#include "cii/syntax/cii_layout.h"

namespace edi::cii {
namespace {

// Receives the events of a message that is skipped: only a stopping damage
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
    return IsStoppingDamage(code) ? real_.OnError(code, message, offset) : true;
  }

 private:
  CiiVisitor& real_;
};

enum class Step { kGoOn, kStop, kFail };

long Digits(const uint8_t* p, size_t n) {
  long value = 0;
  for (size_t i = 0; i < n; ++i) {
    if (p[i] < '0' || p[i] > '9') break;
    value = value * 10 + (p[i] - '0');
  }
  return value;
}

class Walker {
 public:
  Walker(CiiInput& in, CiiVisitor& visitor) : in_(in), visitor_(visitor) { header_.fill(' '); }

  ReadOutcome Run() {
    for (bool first = true;; first = false) {
      std::array<uint8_t, 2> id;
      int remaining = 2;
      const uint64_t offset = in_.Offset();
      if (in_.ReadFileBytes(id.data(), remaining)) {
        if (groupOpen_) return Outcome(Fail(damage::kTruncated, in_.Offset()));
        return ReadOutcome::kComplete;
      }
      if (first && (id[0] != '0' || id[1] != 'C')) return Outcome(Fail(damage::kNotCii, offset));
      const Step step = Block(id[0], id[1], offset);
      if (step != Step::kGoOn) return Outcome(step);
    }
  }

 private:
  static ReadOutcome Outcome(Step step) {
    return step == Step::kStop ? ReadOutcome::kStopped : step == Step::kFail ? ReadOutcome::kFailed
                                                                             : ReadOutcome::kComplete;
  }

  Step Fail(int code, uint64_t offset) {
    visitor_.OnError(code, "", offset);
    return Step::kFail;
  }
  Step Go(bool goOn) { return goOn ? Step::kGoOn : Step::kStop; }

  // Reports a damage that the walk goes on after, until there are too many.
  Step Damage(CiiVisitor& v, int code, std::string_view message, uint64_t offset) {
    if (++damageReports_ >= kMaxDamageReports) return Fail(damage::kTooMuchDamage, offset);
    return Go(v.OnError(code, message, offset));
  }

  Step Block(uint8_t control, uint8_t kind, uint64_t offset) {
    if (control == '0') {
      if (kind == 'C') return GroupHeader(offset);
      if (kind == 'E') return GroupTrailer(offset);
      return Step::kGoOn;
    }
    if (control >= '1' && control <= '9') {
      if (kind == 'D') return Message(offset);
      return Damage(visitor_, damage::kBlockId, "-01", offset);
    }
    return Damage(visitor_, damage::kBlockId, "-02", offset);
  }

  Step GroupHeader(uint64_t offset) {
    int remaining = static_cast<int>(kRecordSize);
    if (in_.ReadFileBytes(header_.data(), remaining)) return Fail(damage::kTruncated, in_.Offset());
    if (!in_.SetStorageMode(static_cast<char>(header_[header::kStorageMode]))) {
      return Fail(damage::kStorageMode, offset + 2 + header::kStorageMode);
    }
    storageMode_ = static_cast<char>(header_[header::kStorageMode]);
    groupOpen_ = true;
    messagesInGroup_ = 0;
    return Go(visitor_.OnGroupHeader(header_, offset));
  }

  Step GroupTrailer(uint64_t offset) {
    std::array<uint8_t, kRecordSize> trailer;
    int remaining = static_cast<int>(kRecordSize);
    if (in_.ReadFileBytes(trailer.data(), remaining)) return Fail(damage::kTruncated, in_.Offset());
    groupOpen_ = false;
    // A trailer counts its group's messages, or (as the XML direction writes
    // it) every message of the conversion so far.
    const long count = Digits(trailer.data(), 5);
    const bool fiveDigits = std::all_of(trailer.begin(), trailer.begin() + 5, [](uint8_t b) { return b >= '0' && b <= '9'; });
    if (!fiveDigits || (count != messagesInGroup_ && count != messagesInFile_)) {
      const Step step = Damage(visitor_, damage::kTrailerCount, "", offset);
      if (step != Step::kGoOn) return step;
    }
    return Go(visitor_.OnGroupTrailer(trailer, offset));
  }

  Step Message(uint64_t offset) {
    std::array<uint8_t, 15> head;
    int remaining = 7;
    if (in_.ReadFileBytes(head.data(), remaining)) return Fail(damage::kTruncated, in_.Offset());
    MessageInfo message;
    message.offset = offset;
    message.number = static_cast<int>(Digits(head.data(), 5));
    size_t consumed = kShortHeaderSize;
    if (head[5] == 0x80 && head[6] == 0x80) {
      remaining = 8;
      if (in_.ReadFileBytes(head.data() + 7, remaining)) return Fail(damage::kTruncated, in_.Offset());
      message.longForm = true;
      message.declaredLength = Digits(head.data() + 8, 7);
      consumed = kLongHeaderSize;
    } else {
      message.declaredLength = (static_cast<long>(head[5]) << 8) | head[6];
    }
    ++messagesInGroup_;
    ++messagesInFile_;
    in_.BeginMessage(consumed - 1);
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
    BodyState body;
    for (;;) {
      const uint64_t at = in_.Offset();
      uint8_t b;
      if (!Byte(b, remaining)) return Fail(damage::kTruncated, in_.Offset());
      const Step step = BodyByte(v, message, b, at, remaining, body);
      if (step != Step::kGoOn || body.ended) return step;
    }
  }

  struct BodyState {
    bool extended = false;
    int openGroups = 0;
    bool ended = false;
    std::string value;
  };

  Step BodyByte(CiiVisitor& v, const MessageInfo& message, uint8_t b, uint64_t at, long& remaining,
                BodyState& body) {
    const bool oneByteTag = !body.extended && b <= kMaxOneByteTag;
    const bool twoByteTag = body.extended && b < kExtendedSwitch;
    const bool threeByteTag = body.extended && b >= kFirstThreeByteLead && b <= kLastThreeByteLead;
    if (oneByteTag || twoByteTag || threeByteTag) return Element(v, b, at, remaining, body);
    switch (b) {
      case kExtendedSwitch:
        body.extended = true;
        return Step::kGoOn;
      case kGroupStart:
      case kGroupStartNumber:
        return GroupStart(v, b, at, remaining, body);
      case kRepetition:
        return Go(v.OnRepetition(at));
      case kGroupEnd:
        if (body.openGroups > 0) --body.openGroups;
        return Go(v.OnGroupEnd(at));
      case kEndMark:
        body.ended = true;
        if (body.openGroups > 0) return Fail(damage::kOpenGroup, at);
        if (!v.OnMessageEnd(message, remaining)) return Step::kStop;
        return SkipFiller();
      default:
        if (body.extended && b == kPassOver) return Step::kGoOn;
        if (body.extended && b == kSkipNext) {
          uint8_t dropped;
          return Byte(dropped, remaining) ? Step::kGoOn : Fail(damage::kTruncated, in_.Offset());
        }
        return Damage(v, damage::kSpecialByte, "", at);
    }
  }

  Step Element(CiiVisitor& v, uint8_t b, uint64_t at, long& remaining, BodyState& body) {
    uint32_t tag = b;
    uint8_t x, y;
    if (body.extended && b < kExtendedSwitch) {
      if (!Byte(x, remaining)) return Fail(damage::kTruncated, in_.Offset());
      tag = (static_cast<uint32_t>(b) << 8) | x;
    } else if (body.extended) {
      if (!Byte(x, remaining) || !Byte(y, remaining)) return Fail(damage::kTruncated, in_.Offset());
      tag = (static_cast<uint32_t>(b & 0x0F) << 16) | (static_cast<uint32_t>(x) << 8) | y;
    }
    long length = 0;
    const Step step = ElementLength(v, remaining, length);
    if (step != Step::kGoOn) return step;
    if (!in_.ReadCiiBytes(static_cast<size_t>(length), body.value)) return Fail(damage::kTruncated, in_.Offset());
    remaining -= length;
    return Go(v.OnElement(tag, body.value, at));
  }

  Step GroupStart(CiiVisitor& v, uint8_t b, uint64_t at, long& remaining, BodyState& body) {
    if (b == kGroupStartNumber && !body.extended) return Damage(v, damage::kMarkerFD, "", at);
    GroupMarker marker{b, body.extended, 0, at};
    uint8_t x, y;
    if (body.extended && b == kGroupStart) {
      if (!Byte(x, remaining)) return Fail(damage::kTruncated, in_.Offset());
      marker.number = x;
    } else if (body.extended) {
      if (!Byte(x, remaining) || !Byte(y, remaining)) return Fail(damage::kTruncated, in_.Offset());
      marker.number = (x << 8) | y;
    }
    ++body.openGroups;
    return Go(v.OnGroupStart(marker));
  }

  Step ElementLength(CiiVisitor& v, long& remaining, long& length) {
    bool unknownPrefix = false;
    if (!in_.ReadElementLength(remaining, length, unknownPrefix)) return Fail(damage::kTruncated, in_.Offset());
    return unknownPrefix ? Damage(v, damage::kLengthPrefix, "", in_.Offset() - 1) : Step::kGoOn;
  }

  // Storage mode "S" does not fill a message's last block.
  Step SkipFiller() {
    if (storageMode_ == kStorageLarge) return Step::kGoOn;
    return in_.SkipRestOfBlock() ? Step::kGoOn : Fail(damage::kTruncated, in_.Offset());
  }

  CiiInput& in_;
  CiiVisitor& visitor_;
  std::array<uint8_t, kRecordSize> header_;
  char storageMode_ = kStorageDefault;
  bool groupOpen_ = false;
  long messagesInGroup_ = 0;
  long messagesInFile_ = 0;
  int damageReports_ = 0;
};

}  // namespace

ReadOutcome ReadCiiFile(CiiInput& input, CiiVisitor& visitor) { return Walker(input, visitor).Run(); }

}  // namespace edi::cii
