#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "readers/smc_record.h"

namespace wattline {

// An open connection to the system management controller. Destroying it closes it.
class SmcTransport {
 public:
  virtual ~SmcTransport() = default;
  // One struct call: the 80-byte request in, the reply written to `output` with
  // its length in `outputSize` (80 on the way in). Returns 0 on success; any
  // other value is a transport failure.
  virtual int call(const SmcRecord& input, SmcRecord& output, std::size_t& outputSize) = 0;
};

// The controller service.
class SmcService {
 public:
  virtual ~SmcService() = default;
  // Nothing when the service is absent or refuses to open.
  virtual std::unique_ptr<SmcTransport> open() = 0;
};

}  // namespace wattline
