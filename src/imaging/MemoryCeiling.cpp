#include "imaging/MemoryCeiling.h"

#include <unistd.h>

#include <cctype>
#include <limits>

namespace km {

namespace {

constexpr std::uint64_t kNoLimit = std::numeric_limits<std::uint64_t>::max();

thread_local std::shared_ptr<MemoryBudget> tCurrent;
std::atomic<int> gRunningBudgets{0};

}  // namespace

bool MemoryBudget::fits(std::uint64_t bytes) const {
  const std::uint64_t now = used_.load();
  return bytes <= ceiling_ && now <= ceiling_ - bytes;
}

bool MemoryBudget::charge(std::uint64_t bytes) {
  std::uint64_t now = used_.load();
  do {
    if (bytes > ceiling_ || now > ceiling_ - bytes) {
      return false;
    }
  } while (!used_.compare_exchange_weak(now, now + bytes));
  std::uint64_t top = peak_.load();
  while (now + bytes > top && !peak_.compare_exchange_weak(top, now + bytes)) {
  }
  return true;
}

void MemoryBudget::release(std::uint64_t bytes) { used_.fetch_sub(bytes); }

MemoryCharge::MemoryCharge(MemoryCharge&& other) noexcept
    : budget_(std::move(other.budget_)), bytes_(other.bytes_) {
  other.bytes_ = 0;
}

MemoryCharge& MemoryCharge::operator=(MemoryCharge&& other) noexcept {
  if (this != &other) {
    if (budget_) {
      budget_->release(bytes_);
    }
    budget_ = std::move(other.budget_);
    bytes_ = other.bytes_;
    other.bytes_ = 0;
  }
  return *this;
}

MemoryCharge::~MemoryCharge() {
  if (budget_) {
    budget_->release(bytes_);
  }
}

bool MemoryCharge::Take(std::uint64_t bytes, MemoryCharge* charge) {
  *charge = MemoryCharge();
  if (!tCurrent) {
    return bytes <= DefaultMemoryCeiling(1);
  }
  if (!tCurrent->charge(bytes)) {
    return false;
  }
  charge->budget_ = tCurrent;
  charge->bytes_ = bytes;
  return true;
}

ScopedMemoryBudget::ScopedMemoryBudget(std::uint64_t ceiling) : previous_(tCurrent) {
  const int running = gRunningBudgets.fetch_add(1) + 1;
  budget_ = std::make_shared<MemoryBudget>(ceiling != 0 ? ceiling : DefaultMemoryCeiling(running));
  tCurrent = budget_;
}

ScopedMemoryBudget::~ScopedMemoryBudget() {
  tCurrent = previous_;
  gRunningBudgets.fetch_sub(1);
}

std::uint64_t PhysicalMemoryBytes() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) {
    return 0;
  }
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

std::uint64_t DefaultMemoryCeiling(int workers) {
  const std::uint64_t physical = PhysicalMemoryBytes();
  if (physical == 0) {
    return kNoLimit;
  }
  return physical / 2 / static_cast<std::uint64_t>(workers < 1 ? 1 : workers);
}

bool FitsMemoryCeiling(std::uint64_t bytes) {
  return tCurrent ? tCurrent->fits(bytes) : bytes <= DefaultMemoryCeiling(1);
}

bool ParseMemorySize(const char* text, std::uint64_t* bytes) {
  if (text == nullptr || !std::isdigit(static_cast<unsigned char>(*text))) {
    return false;
  }
  std::uint64_t value = 0;
  for (; std::isdigit(static_cast<unsigned char>(*text)); ++text) {
    const std::uint64_t digit = static_cast<std::uint64_t>(*text - '0');
    if (value > (kNoLimit - digit) / 10) {
      return false;
    }
    value = value * 10 + digit;
  }
  int shift = 0;
  switch (std::toupper(static_cast<unsigned char>(*text))) {
    case 0: break;
    case 'K': shift = 10; break;
    case 'M': shift = 20; break;
    case 'G': shift = 30; break;
    default: return false;
  }
  if (*text != 0 && text[1] != 0) {
    return false;
  }
  if (shift != 0 && value > (kNoLimit >> shift)) {
    return false;
  }
  *bytes = value << shift;
  return true;
}

}  // namespace km
