// A pseudo-terminal pair for tests: the code under test opens SlavePath()
// like any serial device; the test plays the far end on the master.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class TPtyPair {
 public:
  TPtyPair();  // throws std::system_error when no pair can be made
  ~TPtyPair();
  TPtyPair(const TPtyPair&) = delete;
  TPtyPair& operator=(const TPtyPair&) = delete;

  const std::string& SlavePath() const { return SlavePath_; }
  int MasterFd() const { return Master_; }
  // The harness's own descriptor of the slave: reads the line settings the
  // code under test gave the device.
  int SlaveFd() const { return Slave_; }

  // Writes all of Data to the master (what the box sends).
  void Write(const void* Data, size_t Len);
  void Write(const std::vector<uint8_t>& Data) { Write(Data.data(), Data.size()); }
  // Reads exactly Len bytes from the master (what the tool sent); fewer when
  // Timeout passes first.
  std::vector<uint8_t> Read(size_t Len, std::chrono::milliseconds Timeout);
  // Bytes readable now, without waiting.
  std::vector<uint8_t> ReadAvailable();
  // Closes the master: the slave sees a hang-up, like an unplugged adapter.
  void CloseMaster();

 private:
  int Master_ = -1;
  int Slave_ = -1;  // kept open so the slave stays usable until the test ends
  std::string SlavePath_;
};

// Number of open file descriptors of this process.
int OpenDescriptorCount();
