// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/unavailable_reason.h"

namespace wattline::sysfs {

// How reading one attribute ended: the driver may answer with an error
// (ENODEV for a value the firmware does not know) or the file may be gone.
enum class ReadStatus { ok, missing, failed };

struct TextRead {
  ReadStatus status = ReadStatus::failed;
  std::string text;  // readText trims its surrounding white space
  int error = 0;     // the errno of a failed read
};

// An integer attribute, or why it is absent.
struct IntegerRead {
  std::optional<std::int64_t> value;
  std::optional<UnavailableReason> problem;  // not reported, permission denied, unreadable or malformed
};

// Up to `limit` bytes of a regular file, as they are. Anything else where a file should be (a FIFO, a device
// node) is refused at once, without waiting for it to answer.
TextRead readFile(const std::string& path, std::size_t limit);
// The attribute's text; attributes are short, longer content is cut at 4 KiB.
TextRead readText(const std::string& path);
std::optional<std::string> text(const std::string& path);
// A decimal integer filling the whole attribute (after white space); nothing
// when unreadable, malformed or beyond 64 bits.
std::optional<std::int64_t> integer(const std::string& path);
std::optional<std::int64_t> parseInteger(std::string_view text);
IntegerRead readInteger(const std::string& path);

// The last component of a symbolic link's target ("platform" for a device's "subsystem" link);
// nothing when `path` is no link.
std::optional<std::string> linkName(const std::string& path);

// The entries of a directory other than "." and "..", in natural order ("hwmon2" before
// "hwmon10"); empty when it cannot be listed completely.
std::vector<std::string> list(const std::string& path);

}  // namespace wattline::sysfs
