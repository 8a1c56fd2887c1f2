// An open dispatcher on a pseudo-terminal, with an owner and a platform that
// record what reaches them.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "serial/posix/posix_dispatcher.h"
#include "tests/support/pty_pair.h"
#include "tests/support/wait_until.h"

class TRecordingOwner : public TDispatcherOwner {
 public:
  void CheckThreadResult(int32_t Code) override {
    std::lock_guard Lock(M);
    Codes.push_back(Code);
    if (Code < 0) throw std::runtime_error("serial thread failed: " + std::to_string(Code));
  }
  std::vector<int32_t> Seen() {
    std::lock_guard Lock(M);
    return Codes;
  }

 private:
  std::mutex M;
  std::vector<int32_t> Codes;
};

class TRecordingPlatform : public TPlainPlatform {
 public:
  void ShowBackgroundError(const std::string& Text) override {
    std::lock_guard Lock(M);
    Errors.push_back(Text);
  }
  std::vector<std::string> Shown() {
    std::lock_guard Lock(M);
    return Errors;
  }

 private:
  std::mutex M;
  std::vector<std::string> Errors;
};

inline constexpr uint32_t kTestBufSize = 16384;

// Opens D on the pair's slave the way the com port component does.
template <class TDispatcher = TRivuPosixDispatcher>
struct TOpenPort {
  TRecordingOwner Owner;
  TRecordingPlatform Platform;
  TPtyPair Pty;
  std::unique_ptr<TDispatcher> D = std::make_unique<TDispatcher>(&Owner, &Platform);

  TOpenPort() {
    const int32_t R = D->InitPort(Pty.SlavePath(), 115200, 0, 8, 1, kTestBufSize, kTestBufSize, 1);
    if (R != 0) throw std::runtime_error("InitPort failed: " + std::to_string(R));
  }

  // Sends Data from the far end and waits until all of it is buffered.
  void Receive(const std::vector<uint8_t>& Data, int32_t Expected = -1) {
    const int32_t Before = D->InBuffUsed();
    Pty.Write(Data);
    const int32_t Want = Expected >= 0 ? Expected : Before + int32_t(Data.size());
    ASSERT_TRUE(WaitUntil([&] { return D->InBuffUsed() >= Want; })) << D->InBuffUsed();
  }

  std::vector<uint8_t> Get(uint32_t Len) {
    std::vector<uint8_t> Out(Len);
    EXPECT_EQ(D->GetBlock(Out.data(), Len), int32_t(Len));
    return Out;
  }
};

inline std::vector<uint8_t> Bytes(std::string_view S) {
  return {S.begin(), S.end()};
}

inline std::vector<uint8_t> Pattern(size_t Len, uint32_t Seed = 1) {
  std::vector<uint8_t> Out(Len);
  uint32_t X = Seed * 2654435761u + 1;
  for (auto& B : Out) {
    X ^= X << 13;
    X ^= X >> 17;
    X ^= X << 5;
    B = uint8_t(X);
  }
  return Out;
}
