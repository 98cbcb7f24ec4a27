#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/Text.h"
#include "util/RuntimeError.h"

namespace kestrun {

// An insertion-ordered list with 1-based positions and optional text keys compared without regard to
// case. Adding a key that is already present raises error 457, as a collection does.
template <typename T>
class KeyedCollection {
 public:
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }

  void Add(T item, const std::string& key = {}) {
    if (!key.empty()) {
      auto [it, inserted] = index_.emplace(text::UCase(key), items_.size());
      if (!inserted) Raise(err::KeyAlreadyAssociated);
    }
    items_.push_back({key, std::move(item)});
  }

  // The item at 1-based `position`, or nullptr.
  T* ItemAt(int32_t position) {
    if (position < 1 || position > Count()) return nullptr;
    return &items_[static_cast<std::size_t>(position - 1)].second;
  }
  const T* ItemAt(int32_t position) const { return const_cast<KeyedCollection*>(this)->ItemAt(position); }

  // The item stored under `key` (any letter case), or nullptr.
  T* Item(const std::string& key) {
    auto it = index_.find(text::UCase(key));
    return it == index_.end() ? nullptr : &items_[it->second].second;
  }
  const T* Item(const std::string& key) const { return const_cast<KeyedCollection*>(this)->Item(key); }

  // Removes the item at 1-based `position`; positions after it move up by one.
  void RemoveAt(int32_t position) {
    if (position < 1 || position > Count()) Raise(err::SubscriptOutOfRange);
    items_.erase(items_.begin() + (position - 1));
    RebuildIndex();
  }

  void Clear() {
    items_.clear();
    index_.clear();
  }

  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  void RebuildIndex() {
    index_.clear();
    for (std::size_t i = 0; i < items_.size(); ++i) {
      if (!items_[i].first.empty()) index_.emplace(text::UCase(items_[i].first), i);
    }
  }

  std::vector<std::pair<std::string, T>> items_;
  std::unordered_map<std::string, std::size_t> index_;
};

}  // namespace kestrun
