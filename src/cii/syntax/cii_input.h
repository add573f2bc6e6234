// The buffered byte reader of a CII input file, aware of the block layout:
// it hands out the data bytes of a message across block control characters.
// Never a system call per byte.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace edi::cii {

class CiiInput {
 public:
  CiiInput() = default;
  ~CiiInput();
  CiiInput(const CiiInput&) = delete;
  CiiInput& operator=(const CiiInput&) = delete;

  // Reads from a file (or a device). False when it cannot be opened or is a
  // folder.
  bool Open(const std::filesystem::path& path);
  // Reads from bytes in memory (kept by the caller while reading).
  void OpenMemory(std::string_view bytes);
  void Close();

  // Offset in the file of the next byte.
  uint64_t Offset() const { return consumed_ + pos_; }

  // Reads bytes into out[0..] while remaining > 0, decrementing remaining for
  // each. True when the end of the file came first (also with nothing read).
  bool ReadFileBytes(uint8_t* out, int& remaining);

  // Sets the block size from a storage mode: "S" 32000 data bytes a block,
  // "M" or space 250. False for any other mode (the reader then cannot
  // follow the blocks).
  bool SetStorageMode(char mode);

  // Data bytes left in the current block (BlockRemaining).
  int BlockRemaining() const { return blockRemaining_; }

  // A message starts in a new block whose first `headerBytes` data bytes
  // (the "D", number and length already read) are used up.
  void BeginMessage(size_t headerBytes);

  // Skips what is left of the current block (the filler after a message).
  // False when the file ends first.
  bool SkipRestOfBlock();

  // True when reading failed for another reason than the end of the file
  // (the walk then ended early; the caller reports the file error).
  bool ReadFailed() const { return readFailed_; }

  // One data byte: when the block is used up, drops the next block's control
  // byte first. False at the end of the file.
  bool ReadCiiByte(uint8_t& out);
  // n data bytes across blocks into `out` (replaced). False at the end of file.
  bool ReadCiiBytes(size_t n, std::string& out);

  // An element length: one byte up to 239, or 0xF2 and two bytes high byte
  // first. Decrements `remaining` by the bytes read. Any other prefix gives
  // length 0 and sets `unknownPrefix` (ERR.LOG code 9). False at end of file.
  bool ReadElementLength(long& remaining, long& length, bool& unknownPrefix);

 private:
  bool Fill();
  bool NextByte(uint8_t& out);

  int fd_ = -1;
  std::vector<uint8_t> buffer_;
  std::string_view memory_;
  const uint8_t* data_ = nullptr;
  size_t pos_ = 0;
  size_t end_ = 0;
  uint64_t consumed_ = 0;  // bytes before data_[0]
  int blockData_ = 250;
  int blockRemaining_ = 0;
  bool readFailed_ = false;
};

}  // namespace edi::cii
