// The bytes of one index key, held inside the object when they are few.
//
// A leaf keeps its entries in one vector and a statement of a million rows
// makes millions of keys: with the bytes on the heap, every key was an
// allocation, every comparison of a binary search a jump to another block,
// and every entry moved to make room in a leaf a pointer hand-over. Most
// keys (numbers, dates, names and titles) fit in kInline bytes; longer ones
// go to the heap as before. The interface is the part of std::vector the
// key code uses, with the same order and equality.
#pragma once

#include <algorithm>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <span>
#include <stdexcept>
#include <utility>

namespace act::db::jet {

class KeyBytes {
 public:
  using value_type = uint8_t;
  using size_type = size_t;
  using iterator = uint8_t*;
  using const_iterator = const uint8_t*;
  using reference = uint8_t&;
  using const_reference = const uint8_t&;

  static constexpr size_t kInline = 32;
  static constexpr size_t kMaxSize = 0xFFFF;

  KeyBytes() noexcept = default;
  KeyBytes(size_t count, uint8_t value) { resize(count, value); }
  KeyBytes(std::initializer_list<uint8_t> bytes) { append(bytes.begin(), bytes.size()); }
  template <std::input_iterator It>
  KeyBytes(It first, It last) {
    assign(first, last);
  }
  KeyBytes(const KeyBytes& other) { append(other.data(), other.size_); }
  KeyBytes(KeyBytes&& other) noexcept { Take(other); }
  KeyBytes& operator=(const KeyBytes& other) {
    if (this != &other) {
      size_ = 0;
      append(other.data(), other.size_);
    }
    return *this;
  }
  // The old bytes go to `other`, emptied, which frees them in its own
  // time: no call and no data-dependent branch, since a leaf moves half its entries to
  // make room for one.
  KeyBytes& operator=(KeyBytes&& other) noexcept {
    if (this == &other) return *this;
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
    uint8_t mine[kInline];
    std::memcpy(mine, storage_, kInline);
    std::memcpy(storage_, other.storage_, kInline);
    std::memcpy(other.storage_, mine, kInline);
    other.size_ = 0;
    return *this;
  }
  ~KeyBytes() { Free(); }

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  size_t capacity() const { return capacity_; }
  uint8_t* data() { return on_heap() ? heap() : storage_; }
  const uint8_t* data() const { return on_heap() ? heap() : storage_; }
  iterator begin() { return data(); }
  iterator end() { return data() + size_; }
  const_iterator begin() const { return data(); }
  const_iterator end() const { return data() + size_; }
  uint8_t& operator[](size_t i) { return data()[i]; }
  uint8_t operator[](size_t i) const { return data()[i]; }
  uint8_t& front() { return data()[0]; }
  uint8_t front() const { return data()[0]; }
  uint8_t& back() { return data()[size_ - 1]; }
  uint8_t back() const { return data()[size_ - 1]; }
  operator std::span<const uint8_t>() const { return {data(), size_}; }

  void reserve(size_t wanted) {
    if (wanted <= capacity_) return;
    if (wanted > kMaxSize) throw std::length_error("index key of more than 65535 bytes");
    const size_t grown = std::min<size_t>(std::max<size_t>(wanted, size_t(capacity_) * 2), kMaxSize);
    auto* bigger = new uint8_t[grown];
    std::memcpy(bigger, data(), size_);
    Free();
    set_heap(bigger);
    capacity_ = uint16_t(grown);
  }
  void clear() { size_ = 0; }
  void resize(size_t count, uint8_t value = 0) {
    reserve(count);
    if (count > size_) std::memset(data() + size_, value, count - size_);
    size_ = uint16_t(count);
  }
  void push_back(uint8_t byte) {
    if (size_ == capacity_) reserve(size_ + 1);
    data()[size_++] = byte;
  }
  void pop_back() { --size_; }
  void append(const uint8_t* bytes, size_t count) {
    reserve(size_ + count);
    if (count != 0) std::memcpy(data() + size_, bytes, count);
    size_ += uint16_t(count);
  }
  template <class It>
  void assign(It first, It last) {
    size_ = 0;
    insert(end(), first, last);
  }
  // Inserts [first, last) before `at`; like std::vector, `at` must not
  // point into the range itself.
  template <class It>
  iterator insert(const_iterator at, It first, It last) {
    const size_t offset = size_t(at - data());
    const size_t count = size_t(std::distance(first, last));
    reserve(size_ + count);
    uint8_t* where = data() + offset;
    std::memmove(where + count, where, size_ - offset);
    std::copy(first, last, where);
    size_ += uint16_t(count);
    return where;
  }
  iterator insert(const_iterator at, uint8_t byte) { return insert(at, &byte, &byte + 1); }

  friend bool operator==(const KeyBytes& a, const KeyBytes& b) {
    return a.size_ == b.size_ && std::memcmp(a.data(), b.data(), a.size_) == 0;
  }
  // memcmp order, a prefix first: the order of std::vector<uint8_t>.
  friend std::strong_ordering operator<=>(const KeyBytes& a, const KeyBytes& b) {
    const int c = std::memcmp(a.data(), b.data(), std::min(a.size_, b.size_));
    if (c != 0) return c < 0 ? std::strong_ordering::less : std::strong_ordering::greater;
    return a.size_ <=> b.size_;
  }

 private:
  bool on_heap() const { return capacity_ > kInline; }
  uint8_t* heap() const {
    uint8_t* block;
    std::memcpy(&block, storage_, sizeof block);
    return block;
  }
  void set_heap(uint8_t* block) { std::memcpy(storage_, &block, sizeof block); }
  void Free() {
    if (on_heap()) delete[] heap();
    capacity_ = kInline;
  }
  // Takes `other`'s bytes and leaves it empty; this holds nothing on entry.
  // Copying the storage carries over the bytes or the heap block's address.
  void Take(KeyBytes& other) {
    size_ = other.size_;
    capacity_ = other.capacity_;
    std::memcpy(storage_, other.storage_, kInline);
    other.size_ = 0;
    other.capacity_ = kInline;
  }

  // Sizes of two bytes, and the address of a heap block kept in the bytes
  // rather than as a pointer member: a key then takes 36 bytes aligned on
  // 2, and an index entry 48 rather than 56, which a leaf moves and
  // searches through for every row.
  uint16_t size_ = 0;
  uint16_t capacity_ = kInline;
  uint8_t storage_[kInline];
};

}  // namespace act::db::jet
