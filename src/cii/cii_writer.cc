#include "cii/cii_writer.h"

#include <charconv>
#include <cstdio>

#include "cii/cii_layout.h"

namespace edi::cii {

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

void MessageBody::AppendElement(uint32_t itemNo, std::string_view value) {
  if (!extended_ && itemNo >= kFirstExtendedItem) {
    bytes_.push_back(static_cast<char>(kExtendedSwitch));
    extended_ = true;
  }
  if (!extended_) {
    bytes_.push_back(static_cast<char>(itemNo));
  } else if (itemNo < kFirstThreeByteItem) {
    bytes_.push_back(static_cast<char>((itemNo >> 8) & 0xFF));
    bytes_.push_back(static_cast<char>(itemNo & 0xFF));
  } else {
    bytes_.push_back(static_cast<char>(0xF0 | ((itemNo >> 16) & 0x0F)));
    bytes_.push_back(static_cast<char>((itemNo >> 8) & 0xFF));
    bytes_.push_back(static_cast<char>(itemNo & 0xFF));
  }
  if (value.size() <= kMaxOneByteTag) {
    bytes_.push_back(static_cast<char>(value.size()));
  } else {
    bytes_.push_back(static_cast<char>(kLongLength));
    bytes_.push_back(static_cast<char>((value.size() >> 8) & 0xFF));
    bytes_.push_back(static_cast<char>(value.size() & 0xFF));
  }
  bytes_.append(value);
}

bool MessageBody::AppendGroupStart(std::string_view multiNo, bool zeroIsDigit) {
  if (!extended_) {
    bytes_.push_back(static_cast<char>(kGroupStart));
    return true;
  }
  int number = 0;
  const MarkerForm form = ChooseMarkerForm(multiNo, zeroIsDigit, number);
  if (form == MarkerForm::kNone) return false;
  if (multiNo != "0") bytes_.push_back(static_cast<char>(kExtendedSwitch));
  if (form == MarkerForm::kCharacter) {
    bytes_.push_back(static_cast<char>(kGroupStart));
    bytes_.push_back(static_cast<char>(number));
  } else {
    bytes_.push_back(static_cast<char>(kGroupStartNumber));
    bytes_.push_back(static_cast<char>((number >> 8) & 0xFF));
    bytes_.push_back(static_cast<char>(number & 0xFF));
  }
  return true;
}

void MessageBody::AppendRepetition() { bytes_.push_back(static_cast<char>(kRepetition)); }
void MessageBody::AppendGroupEnd() { bytes_.push_back(static_cast<char>(kGroupEnd)); }

std::string MessageData(int number, std::string_view body) {
  std::string data;
  data.reserve(body.size() + kLongHeaderSize);
  char digits[16];
  std::snprintf(digits, sizeof digits, "D%05d", number % 100000);
  data += digits;
  if (body.size() <= kShortBodyMax) {
    const size_t length = body.size() + kShortHeaderSize;
    data.push_back(static_cast<char>((length >> 8) & 0xFF));
    data.push_back(static_cast<char>(length & 0xFF));
  } else {
    std::snprintf(digits, sizeof digits, "%07zu", (body.size() + kLongHeaderSize) % 10000000);
    data += "\x80\x80\xF7";
    data += digits;
  }
  data.append(body);
  data.push_back(static_cast<char>(kEndMark));
  return data;
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

void AppendGroupTrailer(std::string& out, std::span<const uint8_t> trailer) {
  out += "0E";
  out.append(reinterpret_cast<const char*>(trailer.data()), trailer.size());
}

void FillTrailer(std::span<uint8_t> trailer, long count) {
  for (auto& b : trailer) b = ' ';
  char digits[16];
  std::snprintf(digits, sizeof digits, "%05ld", count % 100000);
  for (size_t i = 0; i < 5 && i < trailer.size(); ++i) trailer[i] = static_cast<uint8_t>(digits[i]);
}

}  // namespace edi::cii
