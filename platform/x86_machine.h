#pragma once
// The 32-bit x86 address space that in-memory modules live in, and the means to run
// their code. On 32-bit x86 Windows this is the process itself (VirtualAlloc and direct
// calls); everywhere else it is a guest machine emulated by Unicorn, with its own
// memory, a guest stack for every call and host functions reached through guest thunks.
//
// Addresses are 32-bit. On the native machine they are process addresses; in the guest
// they mean nothing to the host and are only read or written through the machine.
//
// The machine serves one thread (the window thread, during start-up and window
// creation) and is not re-entrant: a host function must not call back into guest code.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace corvane::platform {

using GuestAddress = std::uint32_t;

// A host function guest code can call as a WINAPI (stdcall) function: it receives the
// 32-bit arguments and returns the value for EAX. The argument count is fixed when the
// thunk is made, because the callee removes its arguments from the stack.
using HostFunction = std::function<std::uint32_t(std::span<const std::uint32_t> arguments)>;

inline constexpr std::size_t MAX_CALL_ARGUMENTS = 10;

class X86Machine {
 public:
  virtual ~X86Machine() = default;

  // Reserves and commits size bytes of zeroed, readable, writable and executable memory
  // at preferred, or anywhere when that range is not free (or preferred is 0). The
  // result is the start of the block, 0 on failure.
  virtual GuestAddress allocate(GuestAddress preferred, std::uint32_t size) = 0;
  // Releases a block that allocate returned, by its start. False for anything else.
  virtual bool release(GuestAddress start) = 0;

  // Copy bytes in or out; false (and nothing copied) when any byte of the range is not
  // allocated memory of the machine.
  virtual bool write(GuestAddress address, const void* bytes, std::size_t size) = 0;
  virtual bool read(GuestAddress address, void* bytes, std::size_t size) const = 0;

  // Calls the code at address as a WINAPI function with the arguments (at most
  // MAX_CALL_ARGUMENTS) and returns EAX; nothing when the call could not run to its
  // return (too many arguments, a guest fault, a stack left unbalanced).
  virtual std::optional<std::uint32_t> call(GuestAddress address,
                                            std::span<const std::uint32_t> arguments) = 0;

  // An address guest code can call to reach function with argument_count arguments
  // (at most MAX_CALL_ARGUMENTS); 0 when no thunk can be made. Thunks live as long as
  // the machine.
  virtual GuestAddress make_thunk(HostFunction function, std::size_t argument_count) = 0;

  // Convenience readers; false or nothing when the memory is not there.
  std::optional<std::uint32_t> read_u32(GuestAddress address) const;
  std::optional<std::uint16_t> read_u16(GuestAddress address) const;
  bool write_u32(GuestAddress address, std::uint32_t value);
  // The zero-terminated bytes at address, at most limit of them before the zero;
  // nothing when the memory ends before the terminator or the limit is reached.
  std::optional<std::string> read_text(GuestAddress address, std::size_t limit = 65536) const;
  // The size bytes at address; nothing when any of them is missing.
  std::optional<std::string> read_bytes(GuestAddress address, std::size_t size) const;
};

// The process-wide machine: created on first use, lives until the process ends.
X86Machine& x86_machine();

// True when modules run natively in this process (32-bit x86 Windows), false when they
// run in the emulated guest.
bool x86_machine_is_native();

}  // namespace corvane::platform
