#pragma once

// The memory ceiling on image buffers. Every Dib (and every working buffer a decoder
// sizes before decoding) is charged to the budget of the thread that makes it; a
// request that would take the budget's live bytes past its ceiling is refused with 102
// before anything is allocated, instead of the kernel killing the process later.
//
// A worker installs a budget for as long as it runs (ScopedMemoryBudget). Without a
// ceiling of its own, a budget takes an equal share of half the physical memory among
// the budgets alive when it is made. A thread without a budget checks each request on
// its own against half the physical memory.
//
// A charge stays with its budget wherever the image goes, so an image made on a worker
// and freed on another thread is given back to the worker's budget.

#include <atomic>
#include <cstdint>
#include <memory>

namespace km {

class MemoryBudget {
public:
  explicit MemoryBudget(std::uint64_t ceiling) : ceiling_(ceiling) {}
  MemoryBudget(const MemoryBudget&) = delete;
  MemoryBudget& operator=(const MemoryBudget&) = delete;

  std::uint64_t ceiling() const { return ceiling_; }
  std::uint64_t used() const { return used_.load(); }
  // The most bytes charged at one time.
  std::uint64_t peak() const { return peak_.load(); }
  // True when `bytes` more would stay within the ceiling.
  bool fits(std::uint64_t bytes) const;
  // Adds `bytes` when they fit; false, and nothing charged, when they do not.
  bool charge(std::uint64_t bytes);
  void release(std::uint64_t bytes);

private:
  const std::uint64_t ceiling_;
  std::atomic<std::uint64_t> used_{0};
  std::atomic<std::uint64_t> peak_{0};
};

// Bytes held against a budget until the charge is destroyed. An empty charge (no
// budget) holds nothing.
class MemoryCharge {
public:
  MemoryCharge() = default;
  MemoryCharge(MemoryCharge&& other) noexcept;
  MemoryCharge& operator=(MemoryCharge&& other) noexcept;
  ~MemoryCharge();

  // A charge of `bytes` to the calling thread's budget; false, with *charge empty, when
  // they would pass its ceiling.
  static bool Take(std::uint64_t bytes, MemoryCharge* charge);

private:
  std::shared_ptr<MemoryBudget> budget_;
  std::uint64_t bytes_ = 0;
};

// Installs a budget on the calling thread until destroyed; the thread's earlier budget
// (if any) comes back then. ceiling 0: DefaultMemoryCeiling with this budget counted
// among the running workers.
class ScopedMemoryBudget {
public:
  explicit ScopedMemoryBudget(std::uint64_t ceiling = 0);
  ~ScopedMemoryBudget();
  ScopedMemoryBudget(const ScopedMemoryBudget&) = delete;
  ScopedMemoryBudget& operator=(const ScopedMemoryBudget&) = delete;

  const MemoryBudget& budget() const { return *budget_; }

private:
  std::shared_ptr<MemoryBudget> budget_;
  std::shared_ptr<MemoryBudget> previous_;
};

// The machine's physical memory in bytes (sysconf), or 0 when it cannot be told.
std::uint64_t PhysicalMemoryBytes();

// Half the physical memory divided among `workers` (at least 1); without a known
// physical size, no limit (the largest value).
std::uint64_t DefaultMemoryCeiling(int workers);

// True when a buffer of `bytes` would fit beside the calling thread's live charges.
bool FitsMemoryCeiling(std::uint64_t bytes);

// Parses a ceiling as given on a command line or in the settings: a whole number of
// bytes, or with a suffix K, M or G (powers of 1024, either case). 0 means the default.
// False for anything else.
bool ParseMemorySize(const char* text, std::uint64_t* bytes);

}  // namespace km
