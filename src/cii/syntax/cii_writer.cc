#include "cii/syntax/cii_writer.h"

#include <charconv>
#include <cstdio>

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

int MessageBody::AppendElement(uint32_t itemNo, std::string_view value) {
  if (itemNo > kMaxItemNumber) return refusal::kItemNumber;
  if (value.size() > kMaxElementLength) return refusal::kTooLong;
  if (!extended_ && itemNo >= kFirstExtendedItem) {
    PushByte(bytes_, kExtendedSwitch);
    extended_ = true;
  }
  if (extended_) PushByte(bytes_, itemNo >> 8);
  PushByte(bytes_, itemNo);
  if (value.size() <= kMaxOneByteTag) {
    PushByte(bytes_, static_cast<uint32_t>(value.size()));
  } else {
    PushByte(bytes_, kLongLength);
    PushByte(bytes_, static_cast<uint32_t>(value.size() >> 8));
    PushByte(bytes_, static_cast<uint32_t>(value.size()));
  }
  bytes_.append(value);
  return 0;
}

bool MessageBody::AppendGroupStart(std::string_view multiNo, bool zeroIsDigit) {
  if (!extended_) {
    PushByte(bytes_, kGroupStart);
    return true;
  }
  int number = 0;
  const MarkerForm form = ChooseMarkerForm(multiNo, zeroIsDigit, number);
  if (form == MarkerForm::kNone) return false;
  if (multiNo != "0") PushByte(bytes_, kExtendedSwitch);
  if (form == MarkerForm::kCharacter) {
    PushByte(bytes_, kGroupStart);
    PushByte(bytes_, static_cast<uint32_t>(number));
  } else {
    PushByte(bytes_, kGroupStartNumber);
    PushByte(bytes_, static_cast<uint32_t>(number) >> 8);
    PushByte(bytes_, static_cast<uint32_t>(number));
  }
  return true;
}

void MessageBody::AppendRepetition() { PushByte(bytes_, kRepetition); }
void MessageBody::AppendGroupEnd() { PushByte(bytes_, kGroupEnd); }

int MessageData(long number, std::string_view body, std::string& data) {
  data.clear();
  if (number < 0 || number > kMaxMessageCount) return refusal::kTooLong;
  if (body.size() > kMaxLongMessageData - kLongHeaderSize) return refusal::kTooLong;
  data.reserve(body.size() + kLongHeaderSize);
  char digits[16];
  std::snprintf(digits, sizeof digits, "D%05ld", number);
  data += digits;
  if (body.size() <= kShortBodyMax) {
    const size_t length = body.size() + kShortHeaderSize;
    PushByte(data, static_cast<uint32_t>(length >> 8));
    PushByte(data, static_cast<uint32_t>(length));
  } else {
    std::snprintf(digits, sizeof digits, "%07zu", body.size() + kLongHeaderSize);
    data += "\x80\x80\xF7";
    data += digits;
  }
  data.append(body);
  PushByte(data, kEndMark);
  return 0;
}

void AppendMessageBlocks(std::string& out, std::string_view data, char mode) {
  const size_t size = BlockDataSize(mode);
  char counter = '1';
  while (data.size() > size) {
    out.push_back(counter);
    out.append(data.substr(0, size));
    data.remove_prefix(size);
    counter = counter == '8' ? '1' : static_cast<char>(counter + 1);
  }
  out.push_back('9');
  out.append(data);
  if (mode != kStorageLarge) out.append(size - data.size(), ' ');
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
