#include "model/parameter.h"

#include <utility>

float ParameterList::defaultItem(int k, int channelNumber) {
  if (k < 0 || k >= kDefaultCount) return 0.0f;
  if (k >= kFirstFlag) return 1.0f;
  switch (k) {
    case 0: case 1: case 2: case 3: case 4: return 1.0f;
    case 10: return 1.0f;
    case 11: return 3.0f;
    case 13: return 65.0f;
    case 14: return 1000.0f;
    case 15: return 1.0f;
    case 17: return 80.0f;
    case 18: return 1.8f;
    case 21: return 1.0f;
    case 23: return 1.0f;
    case 25: return 10.0f;
    case 26: return 100.0f;
    case 27: return 1000.0f;
    case 28: return 40.0f;
    case 29: return 10.0f;
    case 30: return 90.0f;
    case 31: return 40.0f;
    case 32: case 33: case 34: return 10.0f;
    case 35: return 90.0f;
    case 36: return 60.0f;
    case 37: return 2.0f;
    case 38: return 0.1f;
    case 39: return 5.0f;
    case 40: return 10.0f;
    case 41: case 42: case 43: return 15.0f;
    case 44: return 30.0f;
    case 45: case 46: return 15.0f;
    case 47: case 48: case 49: case 50: return 30.0f;
    case 51: return 5.0f;
    case 52: return 2.0f;
    case 53: return 60.0f;
    case 54: return 180.0f;
    case 58: case 59: case 60: return 1.0f;
    case 64: return 1.0f;
    case 69: return 1000.0f;
    case 83: return static_cast<float>(channelNumber);
    case 86: case 87: return 30.0f;
    case 90: return 0.25f;
    case 91: case 92: return 1.0f;
    case 93: return 90.0f;
    case 94: return 60.0f;
    case 95: return 2.0f;
    case 96: return 1.0f;
    case 97: return 1000.0f;
    case 98: return 2.0f;
    case 100: return 100.0f;
    case 101: return 200.0f;
    default: return 0.0f;
  }
}

void ParameterList::setChannelNumber(int channelNumber) {
  std::lock_guard<std::mutex> g(m_);
  channel_ = channelNumber;
}

int ParameterList::channelNumber() const {
  std::lock_guard<std::mutex> g(m_);
  return channel_;
}

float ParameterList::item(int k) const {
  std::lock_guard<std::mutex> g(m_);
  if (k >= 0 && static_cast<std::size_t>(k) < items_.size()) return items_[k];
  return defaultItem(k, channel_);
}

void ParameterList::set(int k, float value) {
  if (k < 0) return;
  std::lock_guard<std::mutex> g(m_);
  while (items_.size() <= static_cast<std::size_t>(k)) {
    items_.push_back(defaultItem(static_cast<int>(items_.size()), channel_));
  }
  items_[k] = value;
}

int ParameterList::count() const {
  std::lock_guard<std::mutex> g(m_);
  return static_cast<int>(items_.size());
}

void ParameterList::clear() {
  std::lock_guard<std::mutex> g(m_);
  items_.clear();
}

void ParameterList::append(float value) {
  std::lock_guard<std::mutex> g(m_);
  items_.push_back(value);
}

void ParameterList::assign(std::vector<float> items) {
  std::lock_guard<std::mutex> g(m_);
  items_ = std::move(items);
}

std::vector<float> ParameterList::snapshot() const {
  std::lock_guard<std::mutex> g(m_);
  return items_;
}

void ParameterList::extendWithDefaults() {
  std::lock_guard<std::mutex> g(m_);
  while (items_.size() < static_cast<std::size_t>(kDefaultCount)) {
    items_.push_back(defaultItem(static_cast<int>(items_.size()), channel_));
  }
}
