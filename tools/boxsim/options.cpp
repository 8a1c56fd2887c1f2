#include "tools/boxsim/options.h"

#include <stdexcept>
#include <string>

namespace boxsim {

Plan MakePlan(const BoxOptions& options, ContentType type) {
  Plan plan;
  const auto given = options.content.find(type);
  if (FindFault(options.faults, FaultKind::kEmpty)) {
    plan.content.clear();
  } else {
    plan.content = given != options.content.end() ? given->second : SampleContent(type);
  }
  plan.announced = static_cast<uint32_t>(plan.content.size());
  if (const Fault* f = FindFault(options.faults, FaultKind::kOverrun)) {
    plan.announced =
        f->value >= plan.announced ? 0 : plan.announced - static_cast<uint32_t>(f->value);
  }
  if (const Fault* f = FindFault(options.faults, FaultKind::kHugeTotal)) {
    plan.announced = static_cast<uint32_t>(f->value);
  }
  // Wrong case: passes none of the tool's case-sensitive magic checks.
  const std::string_view magic = FindFault(options.faults, FaultKind::kBadResponseHeader)
                                     ? std::string_view("tavra_v_zt100")
                                     : MagicText(options.magic);
  plan.header = BuildResponseHeader(type, plan.content, plan.announced, magic);
  plan.finalWord = Crc(plan.content);
  return plan;
}

void Validate(const BoxOptions& options) {
  if (options.payloadSize < 1 || options.payloadSize > kMaxPayload) {
    throw std::invalid_argument("packet payload size must be 1 to " + std::to_string(kMaxPayload));
  }
  for (const auto& [type, bytes] : options.content) {
    if (bytes.size() > UINT32_MAX) throw std::invalid_argument("content larger than 4 GiB");
  }
  if (options.baud > kMaxBaud) {
    throw std::invalid_argument("baud rate above " + std::to_string(kMaxBaud));
  }
  if (options.chunkSize < 1 || options.chunkSize > kMaxChunkSize) {
    throw std::invalid_argument("chunk size must be 1 to " + std::to_string(kMaxChunkSize) +
                                " bytes");
  }
  if (options.replyDelay < std::chrono::milliseconds::zero() ||
      options.replyDelay > kMaxReplyDelay) {
    throw std::invalid_argument("reply delay must be 0 to " +
                                std::to_string(kMaxReplyDelay.count()) + " ms");
  }
}

}  // namespace boxsim
