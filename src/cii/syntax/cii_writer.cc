#include "cii/syntax/cii_writer.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <span>

#include "cii/syntax/cii_layout.h"

namespace edi::cii {
namespace {

void PushByte(std::string& out, uint32_t b) { out.push_back(static_cast<char>(b & 0xFF)); }

}  // namespace

MarkerForm ChooseMarkerForm(std::string_view multiNo, bool zeroIsDigit, int& number) {
  number = 0;
  if (multiNo.size() == 1 && multiNo[0] >= (zeroIsDigit ? '0' : '1') && multiNo[0] <= '9') {
    number = static_cast<unsigned char>(multiNo[0]);
    return MarkerForm::kCharacter;
  }
  if (!multiNo.empty() && multiNo >= "A" && multiNo <= "Z") {
    number = static_cast<unsigned char>(multiNo[0]);
    return MarkerForm::kCharacter;
  }
  long value = 0;
  auto [ptr, ec] = std::from_chars(multiNo.data(), multiNo.data() + multiNo.size(), value);
  if (ec == std::errc() && ptr == multiNo.data() + multiNo.size() && value >= 10 && value <= 65535) {
    number = static_cast<int>(value);
    return MarkerForm::kNumber;
  }
  return MarkerForm::kNone;
}

int MessageBody::AppendTaggedElement(uint32_t itemNo, std::string_view value) {
  if (!IsCarriedItemNumber(itemNo)) return refusal::kItemNumber;
  if (value.size() > kMaxElementLength) return refusal::kTooLong;
  if (!extended_ && itemNo >= kFirstExtendedItem) {
    PushByte(*out_, kExtendedSwitch);
    extended_ = true;
  }
  if (extended_ && itemNo >= kFirstThreeByteItem) PushByte(*out_, kExtendedSwitch | (itemNo >> 16));
  if (extended_) PushByte(*out_, itemNo >> 8);
  PushByte(*out_, itemNo);
  if (value.size() <= kMaxOneByteTag) {
    PushByte(*out_, static_cast<uint32_t>(value.size()));
  } else {
    PushByte(*out_, kLongLength);
    PushByte(*out_, static_cast<uint32_t>(value.size() >> 8));
    PushByte(*out_, static_cast<uint32_t>(value.size()));
  }
  out_->append(value);
  return 0;
}

bool MessageBody::AppendGroupStart(std::string_view multiNo, bool zeroIsDigit) {
  if (!extended_) {
    PushByte(*out_, kGroupStart);
    return true;
  }
  int number = 0;
  const MarkerForm form = ChooseMarkerForm(multiNo, zeroIsDigit, number);
  if (form == MarkerForm::kNone) return false;
  if (multiNo != "0") PushByte(*out_, kExtendedSwitch);
  if (form == MarkerForm::kCharacter) {
    PushByte(*out_, kGroupStart);
    PushByte(*out_, static_cast<uint32_t>(number));
  } else {
    PushByte(*out_, kGroupStartNumber);
    PushByte(*out_, static_cast<uint32_t>(number) >> 8);
    PushByte(*out_, static_cast<uint32_t>(number));
  }
  return true;
}


namespace {

// The digits of `value` right-aligned in `width` characters with zeros.
char* PutDigits(char* out, size_t value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out + width;
}

// What comes before the body: "D", the number, the length in its form.
struct Prefix {
  char bytes[kLongHeaderSize];
  size_t size = 0;
  std::string_view view() const { return std::string_view(bytes, size); }
};

int MessagePrefix(long number, size_t bodySize, Prefix& prefix) {
  if (number < 0 || number > kMaxMessageCount) return refusal::kTooLong;
  if (bodySize > kMaxLongMessageData - kLongHeaderSize) return refusal::kTooLong;
  char* at = prefix.bytes;
  *at++ = 'D';
  at = PutDigits(at, static_cast<size_t>(number), 5);
  if (bodySize <= kShortBodyMax) {
    const size_t length = bodySize + kShortHeaderSize;
    *at++ = static_cast<char>(length >> 8);
    *at++ = static_cast<char>(length & 0xFF);
  } else {
    *at++ = '\x80';
    *at++ = '\x80';
    *at++ = '\xF7';
    at = PutDigits(at, bodySize + kLongHeaderSize, 7);
  }
  prefix.size = static_cast<size_t>(at - prefix.bytes);
  return 0;
}

// The message data given in pieces, cut into blocks of storage mode `mode`:
// "1".."8" cycling for full blocks that continue, "9" for the last, filled
// with spaces in modes "M" and space.
void AppendBlocks(std::string& out, std::span<const std::string_view> pieces, char mode) {
  const size_t size = BlockDataSize(mode);
  size_t left = 0;
  for (std::string_view piece : pieces) left += piece.size();
  out.reserve(out.size() + left + left / size + size + 1);
  char counter = '1';
  size_t piece = 0, at = 0;
  do {
    const bool last = left <= size;
    out.push_back(last ? '9' : counter);
    counter = counter == '8' ? '1' : static_cast<char>(counter + 1);
    const size_t filled = std::min(size, left);
    left -= filled;
    for (size_t room = filled; room > 0;) {
      const size_t take = std::min(room, pieces[piece].size() - at);
      out.append(pieces[piece].substr(at, take));
      room -= take;
      at += take;
      if (at == pieces[piece].size()) {
        ++piece;
        at = 0;
      }
    }
    if (last && mode != kStorageLarge) out.append(size - filled, ' ');
  } while (left > 0);
}

}  // namespace

int MessageData(long number, std::string_view body, std::string& data) {
  Prefix prefix;
  if (const int refused = MessagePrefix(number, body.size(), prefix)) return refused;
  data.reserve(body.size() + kLongHeaderSize);
  data.assign(prefix.view());
  data.append(body);
  PushByte(data, kEndMark);
  return 0;
}

int AppendMessage(std::string& out, long number, std::string_view body, char mode) {
  Prefix prefix;
  if (const int refused = MessagePrefix(number, body.size(), prefix)) return refused;
  const char end = static_cast<char>(kEndMark);
  const size_t size = BlockDataSize(mode);
  if (prefix.size + body.size() + 1 <= size) {  // the common message: one last block
    out.push_back('9');
    out.append(prefix.view()).append(body).push_back(end);
    if (mode != kStorageLarge) out.append(size - prefix.size - body.size() - 1, ' ');
    return 0;
  }
  const std::string_view pieces[] = {prefix.view(), body, std::string_view(&end, 1)};
  AppendBlocks(out, pieces, mode);
  return 0;
}

int FinishMessageInPlace(std::string& out, size_t at, long number, char mode) {
  const size_t bodySize = out.size() - at - kMessageRoom;
  Prefix prefix;
  if (const int refused = MessagePrefix(number, bodySize, prefix)) {
    out.resize(at);
    return refused;
  }
  const size_t size = BlockDataSize(mode);
  if (prefix.size + 1 == kMessageRoom && prefix.size + bodySize + 1 <= size) {
    out[at] = '9';
    std::memcpy(out.data() + at + 1, prefix.bytes, prefix.size);
    out.push_back(static_cast<char>(kEndMark));
    if (mode != kStorageLarge) out.append(size - prefix.size - bodySize - 1, ' ');
    return 0;
  }
  const std::string body = out.substr(at + kMessageRoom);
  out.resize(at);
  return AppendMessage(out, number, body, mode);
}

void AppendMessageBlocks(std::string& out, std::string_view data, char mode) {
  const std::string_view pieces[] = {data};
  AppendBlocks(out, pieces, mode);
}

void AppendGroupHeader(std::string& out, std::span<const uint8_t> header) {
  out += "0C";
  out.append(reinterpret_cast<const char*>(header.data()), header.size());
}

int AppendGroupTrailer(std::string& out, long count) {
  if (count < 0 || count > kMaxMessageCount) return refusal::kTooLong;
  char digits[16];
  std::snprintf(digits, sizeof digits, "%05ld", count);
  out += "0E";
  out += digits;
  out.append(kRecordSize - 5, ' ');
  return 0;
}

}  // namespace edi::cii
