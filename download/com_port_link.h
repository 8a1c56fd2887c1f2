// The download task's port on top of the com port component.
#pragma once

#include "download/download_port.h"
#include "serial/component/com_port.h"

class TComPortLink : public TDownloadPort {
 public:
  explicit TComPortLink(TRivuCustomComPort& Port) : port_(Port) {}

  bool CharReady() override { return port_.CharReady(); }
  void GetBlock(void* Block, uint16_t Len) override { port_.GetBlock(Block, Len); }
  void PeekBlock(void* Block, uint16_t Len) override { port_.PeekBlock(Block, Len); }
  void PutBlock(const void* Block, uint16_t Len) override { port_.PutBlock(Block, Len); }
  void FlushInBuffer() override { port_.FlushInBuffer(); }
  void FlushOutBuffer() override { port_.FlushOutBuffer(); }
  uint32_t InBuffUsed() override { return port_.InBuffUsed(); }
  bool PortLost() override { return port_.PortLost(); }
  TPortWait WaitForData(uint32_t Count, std::chrono::steady_clock::time_point Deadline,
                        std::stop_token Stop) override;

 private:
  TRivuCustomComPort& port_;
};
