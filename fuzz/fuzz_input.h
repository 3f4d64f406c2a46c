// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

// Draws typed values from a fuzzer's bytes; past the end everything reads as zero.
class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return position_ >= size_; }
  std::uint8_t byte() { return position_ < size_ ? data_[position_++] : 0; }
  template <class T>
  T value() {
    T result{};
    std::size_t n =
        sizeof(T) < size_ - std::min(position_, size_) ? sizeof(T) : size_ - std::min(position_, size_);
    if (n > 0) std::memcpy(&result, data_ + position_, n);
    position_ += n;
    return result;
  }
  std::string text(std::size_t maxLength) {
    std::size_t length = byte() % (maxLength + 1);
    std::string result;
    for (std::size_t i = 0; i < length && !empty(); ++i) result.push_back(static_cast<char>(byte()));
    return result;
  }
  std::string rest() {
    std::string result(reinterpret_cast<const char*>(data_) + std::min(position_, size_),
                       size_ - std::min(position_, size_));
    position_ = size_;
    return result;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};
