#include "platform/x86_machine.h"

#include <cstring>
#include <deque>
#include <iterator>
#include <map>
#include <memory>
#include <vector>

#if defined(_WIN32) && (defined(_M_IX86) || defined(__i386__))
#define CORVANE_NATIVE_X86 1
#include <windows.h>
#else
#include <vector>  // Unicorn's header uses it in C++ without including it
#include <unicorn/unicorn.h>
#endif

namespace corvane::platform {

std::optional<std::uint32_t> X86Machine::read_u32(GuestAddress address) const {
  unsigned char b[4];
  if (!read(address, b, sizeof b)) return std::nullopt;
  return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
         static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

std::optional<std::uint16_t> X86Machine::read_u16(GuestAddress address) const {
  unsigned char b[2];
  if (!read(address, b, sizeof b)) return std::nullopt;
  return static_cast<std::uint16_t>(b[0] | b[1] << 8);
}

bool X86Machine::write_u32(GuestAddress address, std::uint32_t value) {
  const unsigned char b[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                              static_cast<unsigned char>(value >> 16),
                              static_cast<unsigned char>(value >> 24)};
  return write(address, b, sizeof b);
}

std::optional<std::string> X86Machine::read_text(GuestAddress address, std::size_t limit) const {
  // Read in small chunks so that a text near the end of a block is still found, without
  // a guest call per byte for the usual short names.
  std::string text;
  constexpr std::size_t CHUNK = 64;
  char chunk[CHUNK];
  while (text.size() <= limit) {
    const GuestAddress at = address + static_cast<GuestAddress>(text.size());
    std::size_t n = CHUNK;
    // Do not let a chunk cross a page boundary: the next page may not exist.
    const std::size_t to_page_end = 0x1000 - (at & 0xFFF);
    if (n > to_page_end) n = to_page_end;
    if (at < address) return std::nullopt;  // wrapped around the address space
    if (!read(at, chunk, n)) return std::nullopt;
    const void* zero = std::memchr(chunk, 0, n);
    if (zero != nullptr) {
      text.append(chunk, static_cast<const char*>(zero) - chunk);
      if (text.size() > limit) return std::nullopt;
      return text;
    }
    text.append(chunk, n);
  }
  return std::nullopt;
}

std::optional<std::string> X86Machine::read_bytes(GuestAddress address, std::size_t size) const {
  std::string bytes(size, '\0');
  if (size != 0 && !read(address, bytes.data(), size)) return std::nullopt;
  return bytes;
}

namespace {

struct Thunk {
  HostFunction function;
  std::size_t argument_count = 0;
};

std::uint32_t invoke_thunk(const Thunk& thunk, const std::uint32_t* arguments) {
  try {
    return thunk.function(std::span<const std::uint32_t>(arguments, thunk.argument_count));
  } catch (...) {
    // Nothing may unwind into guest code or the emulator's C frames.
    return 0;
  }
}

#if defined(CORVANE_NATIVE_X86)

// The process itself: modules are mapped with VirtualAlloc and called directly.
class NativeMachine final : public X86Machine {
 public:
  GuestAddress allocate(GuestAddress preferred, std::uint32_t size) override {
    if (size == 0) return 0;
    void* p = nullptr;
    if (preferred != 0)
      p = VirtualAlloc(reinterpret_cast<void*>(static_cast<std::uintptr_t>(preferred)), size,
                       MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE);
    if (p == nullptr) p = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE);
    return static_cast<GuestAddress>(reinterpret_cast<std::uintptr_t>(p));
  }

  bool release(GuestAddress start) override {
    return start != 0 &&
           VirtualFree(reinterpret_cast<void*>(static_cast<std::uintptr_t>(start)), 0, MEM_RELEASE) != 0;
  }

  bool write(GuestAddress address, const void* bytes, std::size_t size) override {
    if (address == 0) return false;
    std::memcpy(reinterpret_cast<void*>(static_cast<std::uintptr_t>(address)), bytes, size);
    return true;
  }

  bool read(GuestAddress address, void* bytes, std::size_t size) const override {
    if (address == 0) return false;
    std::memcpy(bytes, reinterpret_cast<const void*>(static_cast<std::uintptr_t>(address)), size);
    return true;
  }

  std::optional<std::uint32_t> call(GuestAddress address,
                                    std::span<const std::uint32_t> a) override {
    if (address == 0 || a.size() > MAX_CALL_ARGUMENTS) return std::nullopt;
    using U = std::uint32_t;
    const auto p = reinterpret_cast<void*>(static_cast<std::uintptr_t>(address));
    // A WINAPI callee removes exactly its own arguments, so the pointer type must
    // carry the right count.
    switch (a.size()) {
      case 0: return reinterpret_cast<U(WINAPI*)()>(p)();
      case 1: return reinterpret_cast<U(WINAPI*)(U)>(p)(a[0]);
      case 2: return reinterpret_cast<U(WINAPI*)(U, U)>(p)(a[0], a[1]);
      case 3: return reinterpret_cast<U(WINAPI*)(U, U, U)>(p)(a[0], a[1], a[2]);
      case 4: return reinterpret_cast<U(WINAPI*)(U, U, U, U)>(p)(a[0], a[1], a[2], a[3]);
      case 5: return reinterpret_cast<U(WINAPI*)(U, U, U, U, U)>(p)(a[0], a[1], a[2], a[3], a[4]);
      case 6:
        return reinterpret_cast<U(WINAPI*)(U, U, U, U, U, U)>(p)(a[0], a[1], a[2], a[3], a[4], a[5]);
      case 7:
        return reinterpret_cast<U(WINAPI*)(U, U, U, U, U, U, U)>(p)(a[0], a[1], a[2], a[3], a[4],
                                                                   a[5], a[6]);
      case 8:
        return reinterpret_cast<U(WINAPI*)(U, U, U, U, U, U, U, U)>(p)(a[0], a[1], a[2], a[3], a[4],
                                                                      a[5], a[6], a[7]);
      case 9:
        return reinterpret_cast<U(WINAPI*)(U, U, U, U, U, U, U, U, U)>(p)(
            a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]);
      default:
        return reinterpret_cast<U(WINAPI*)(U, U, U, U, U, U, U, U, U, U)>(p)(
            a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9]);
    }
  }

  // Each thunk is a few bytes of generated code that hands its Thunk record and the
  // address of its arguments to dispatch, then returns removing the arguments:
  //   lea eax,[esp+4] / push eax / push thunk / mov eax,dispatch / call eax /
  //   add esp,8 / ret 4*n
  GuestAddress make_thunk(HostFunction function, std::size_t argument_count) override {
    if (argument_count > MAX_CALL_ARGUMENTS || !function) return 0;
    constexpr std::size_t CODE_SIZE = 24;
    if (page_ == nullptr || used_ + CODE_SIZE > PAGE_SIZE) {
      page_ = static_cast<unsigned char*>(
          VirtualAlloc(nullptr, PAGE_SIZE, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE));
      used_ = 0;
      if (page_ == nullptr) return 0;
    }
    auto& thunk = thunks_.emplace_back(std::make_unique<Thunk>());
    thunk->function = std::move(function);
    thunk->argument_count = argument_count;
    unsigned char* code = page_ + used_;
    const auto record = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(thunk.get()));
    const auto target = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&dispatch));
    const auto pop = static_cast<std::uint16_t>(4 * argument_count);
    unsigned char bytes[CODE_SIZE] = {0x8D, 0x44, 0x24, 0x04, 0x50, 0x68, 0, 0, 0, 0, 0xB8, 0, 0, 0, 0,
                                      0xFF, 0xD0, 0x83, 0xC4, 0x08, 0xC2, 0, 0, 0xCC};
    std::memcpy(bytes + 6, &record, 4);
    std::memcpy(bytes + 11, &target, 4);
    std::memcpy(bytes + 21, &pop, 2);
    std::memcpy(code, bytes, CODE_SIZE);
    FlushInstructionCache(GetCurrentProcess(), code, CODE_SIZE);
    used_ += CODE_SIZE;
    return static_cast<GuestAddress>(reinterpret_cast<std::uintptr_t>(code));
  }

 private:
  static std::uint32_t __cdecl dispatch(const Thunk* thunk, const std::uint32_t* arguments) {
    return invoke_thunk(*thunk, arguments);
  }

  static constexpr std::size_t PAGE_SIZE = 4096;
  unsigned char* page_ = nullptr;
  std::size_t used_ = 0;
  std::vector<std::unique_ptr<Thunk>> thunks_;
};

#else

// The guest's address space: blocks handed out by allocate live between ALLOC_LOW and
// STACK_BASE; above them lie the call stack, the thunk page and the return address
// that ends every call (never mapped, so that fetching it stops the emulation).
constexpr GuestAddress ALLOC_LOW = 0x00010000;
constexpr GuestAddress ANYWHERE_FROM = 0x01000000;
constexpr GuestAddress STACK_BASE = 0x7F000000;
constexpr std::uint32_t STACK_SIZE = 0x00100000;
constexpr GuestAddress RETURN_ADDRESS = 0x7FF00000;
constexpr GuestAddress THUNK_BASE = 0x7FFF0000;
constexpr std::uint32_t THUNK_AREA_SIZE = 0x00010000;  // one hlt byte per thunk
constexpr std::uint32_t ALLOCATION_GRANULARITY = 0x00010000;
constexpr std::uint32_t PAGE = 0x1000;

class EmulatedMachine final : public X86Machine {
 public:
  EmulatedMachine() {
    if (uc_open(UC_ARCH_X86, UC_MODE_32, &uc_) != UC_ERR_OK) {
      uc_ = nullptr;
      return;
    }
    const std::vector<unsigned char> hlt(THUNK_AREA_SIZE, 0xF4);
    if (uc_mem_map(uc_, STACK_BASE, STACK_SIZE, UC_PROT_READ | UC_PROT_WRITE) != UC_ERR_OK ||
        uc_mem_map(uc_, THUNK_BASE, THUNK_AREA_SIZE, UC_PROT_READ | UC_PROT_EXEC) != UC_ERR_OK ||
        uc_mem_write(uc_, THUNK_BASE, hlt.data(), hlt.size()) != UC_ERR_OK ||
        uc_hook_add(uc_, &thunk_hook_, UC_HOOK_CODE, reinterpret_cast<void*>(&on_thunk), this,
                    THUNK_BASE, THUNK_BASE + THUNK_AREA_SIZE - 1) != UC_ERR_OK) {
      uc_close(uc_);
      uc_ = nullptr;
    }
  }

  ~EmulatedMachine() override {
    if (uc_ != nullptr) uc_close(uc_);
  }

  EmulatedMachine(const EmulatedMachine&) = delete;
  EmulatedMachine& operator=(const EmulatedMachine&) = delete;

  GuestAddress allocate(GuestAddress preferred, std::uint32_t size) override {
    if (uc_ == nullptr || size == 0 || size > STACK_BASE - ALLOC_LOW) return 0;
    const std::uint32_t length = (size + PAGE - 1) & ~(PAGE - 1);
    if (preferred != 0 && preferred % ALLOCATION_GRANULARITY == 0 && map_at(preferred, length))
      return preferred;
    for (GuestAddress at = ANYWHERE_FROM; at + length <= STACK_BASE && at + length > at;
         at += ALLOCATION_GRANULARITY) {
      if (map_at(at, length)) return at;
    }
    return 0;
  }

  bool release(GuestAddress start) override {
    const auto block = blocks_.find(start);
    if (uc_ == nullptr || block == blocks_.end()) return false;
    if (uc_mem_unmap(uc_, start, block->second) != UC_ERR_OK) return false;
    // Code translated from this block must not run again for whatever comes next here.
    uc_ctl_remove_cache(uc_, static_cast<std::uint64_t>(start),
                        static_cast<std::uint64_t>(start) + block->second);
    blocks_.erase(block);
    return true;
  }

  bool write(GuestAddress address, const void* bytes, std::size_t size) override {
    if (uc_ == nullptr) return false;
    if (size == 0) return true;
    if (!inside_memory(address, size)) return false;
    if (uc_mem_write(uc_, address, bytes, size) != UC_ERR_OK) return false;
    if (has_run_) {
      // Patched code must be translated afresh.
      uc_ctl_remove_cache(uc_, static_cast<std::uint64_t>(address),
                          static_cast<std::uint64_t>(address) + size);
    }
    return true;
  }

  bool read(GuestAddress address, void* bytes, std::size_t size) const override {
    if (uc_ == nullptr) return false;
    if (size == 0) return true;
    if (!inside_memory(address, size)) return false;
    return uc_mem_read(uc_, address, bytes, size) == UC_ERR_OK;
  }

  std::optional<std::uint32_t> call(GuestAddress address,
                                    std::span<const std::uint32_t> arguments) override {
    if (uc_ == nullptr || running_ || arguments.size() > MAX_CALL_ARGUMENTS) return std::nullopt;
    // The stack of a call: the arguments, right to left, under the return address.
    std::uint32_t frame[1 + MAX_CALL_ARGUMENTS];
    frame[0] = RETURN_ADDRESS;
    for (std::size_t i = 0; i < arguments.size(); ++i) frame[1 + i] = arguments[i];
    const std::uint32_t esp = STACK_BASE + STACK_SIZE - 64 - 4 * (1 + MAX_CALL_ARGUMENTS);
    if (uc_mem_write(uc_, esp, frame, 4 * (1 + arguments.size())) != UC_ERR_OK) return std::nullopt;
    std::uint32_t zero = 0;
    std::uint32_t flags = 0x202;  // IF set, DF clear, as the calling convention requires
    std::uint32_t stack = esp;
    for (int reg : {UC_X86_REG_EAX, UC_X86_REG_EBX, UC_X86_REG_ECX, UC_X86_REG_EDX,
                    UC_X86_REG_ESI, UC_X86_REG_EDI, UC_X86_REG_EBP})
      uc_reg_write(uc_, reg, &zero);
    uc_reg_write(uc_, UC_X86_REG_ESP, &stack);
    uc_reg_write(uc_, UC_X86_REG_EFLAGS, &flags);

    running_ = true;
    has_run_ = true;
    fault_ = false;
    const uc_err err = uc_emu_start(uc_, address, RETURN_ADDRESS, 0, 0);
    running_ = false;

    std::uint32_t eip = 0;
    std::uint32_t eax = 0;
    uc_reg_read(uc_, UC_X86_REG_EIP, &eip);
    uc_reg_read(uc_, UC_X86_REG_EAX, &eax);
    if (err != UC_ERR_OK || fault_ || eip != RETURN_ADDRESS) return std::nullopt;
    return eax;
  }

  GuestAddress make_thunk(HostFunction function, std::size_t argument_count) override {
    if (uc_ == nullptr || argument_count > MAX_CALL_ARGUMENTS || !function ||
        thunks_.size() >= THUNK_AREA_SIZE)
      return 0;
    thunks_.push_back(Thunk{std::move(function), argument_count});
    return THUNK_BASE + static_cast<GuestAddress>(thunks_.size() - 1);
  }

 private:
  bool map_at(GuestAddress at, std::uint32_t length) {
    if (at < ALLOC_LOW || at + length > STACK_BASE || at + length < at) return false;
    // Free when no block starts before the end of the range and ends after its start.
    auto next = blocks_.lower_bound(at);
    if (next != blocks_.end() && next->first < at + length) return false;
    if (next != blocks_.begin()) {
      const auto before = std::prev(next);
      if (before->first + before->second > at) return false;
    }
    if (uc_mem_map(uc_, at, length, UC_PROT_ALL) != UC_ERR_OK) return false;
    uc_ctl_remove_cache(uc_, static_cast<std::uint64_t>(at), static_cast<std::uint64_t>(at) + length);
    blocks_.emplace(at, length);
    return true;
  }

  // Reads and writes stay inside one allocated block, the stack or the thunk page.
  bool inside_memory(GuestAddress address, std::size_t size) const {
    const std::uint64_t end = static_cast<std::uint64_t>(address) + size;
    if (address >= STACK_BASE && end <= static_cast<std::uint64_t>(STACK_BASE) + STACK_SIZE)
      return true;
    if (address >= THUNK_BASE && end <= static_cast<std::uint64_t>(THUNK_BASE) + THUNK_AREA_SIZE)
      return true;
    auto block = blocks_.upper_bound(address);
    if (block == blocks_.begin()) return false;
    --block;
    return end <= static_cast<std::uint64_t>(block->first) + block->second;
  }

  // Guest code reached a thunk: run its host function as a WINAPI callee would.
  static void on_thunk(uc_engine* uc, std::uint64_t address, std::uint32_t /*size*/, void* self) {
    auto& machine = *static_cast<EmulatedMachine*>(self);
    const std::size_t slot = static_cast<std::size_t>(address - THUNK_BASE);
    std::uint32_t esp = 0;
    uc_reg_read(uc, UC_X86_REG_ESP, &esp);
    std::uint32_t frame[1 + MAX_CALL_ARGUMENTS] = {};
    if (slot >= machine.thunks_.size()) {
      machine.fault_ = true;
      uc_emu_stop(uc);
      return;
    }
    const Thunk& thunk = machine.thunks_[slot];
    const std::size_t argument_count = thunk.argument_count;
    if (uc_mem_read(uc, esp, frame, 4 * (1 + argument_count)) != UC_ERR_OK) {
      machine.fault_ = true;
      uc_emu_stop(uc);
      return;
    }
    // The host function may read guest memory through the machine; that is allowed
    // while running, only further calls are not.
    const std::uint32_t result = invoke_thunk(thunk, frame + 1);
    const std::uint32_t return_to = frame[0];
    esp += static_cast<std::uint32_t>(4 * (1 + argument_count));
    uc_reg_write(uc, UC_X86_REG_EAX, &result);
    uc_reg_write(uc, UC_X86_REG_ESP, &esp);
    uc_reg_write(uc, UC_X86_REG_EIP, &return_to);
  }

  uc_engine* uc_ = nullptr;
  uc_hook thunk_hook_ = 0;
  std::map<GuestAddress, std::uint32_t> blocks_;  // start -> length, page-rounded
  std::deque<Thunk> thunks_;  // never moves an element, even while one runs
  bool running_ = false;
  bool has_run_ = false;
  bool fault_ = false;
};

#endif

}  // namespace

X86Machine& x86_machine() {
#if defined(CORVANE_NATIVE_X86)
  static NativeMachine machine;
#else
  static EmulatedMachine machine;
#endif
  return machine;
}

bool x86_machine_is_native() {
#if defined(CORVANE_NATIVE_X86)
  return true;
#else
  return false;
#endif
}

}  // namespace corvane::platform
