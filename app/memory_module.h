#pragma once
// Maps a 32-bit x86 DLL image (PE32) from memory, as the system loader would from a
// file: places the sections, applies base relocations, resolves imports, runs the entry
// point, and finds exports by name or ordinal. The image lives in the x86 machine of
// the platform layer: the process itself on 32-bit Windows, the emulated guest
// elsewhere.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "platform/x86_machine.h"

namespace corvane {

using platform::GuestAddress;

// Asked first for every import: the DLL name, the function name (for an import by
// ordinal, the ordinal written in decimal) and the user value given to load. Returns
// the address to use, or 0 to leave the import to the library itself.
using ImportResolver = std::function<GuestAddress(const std::string& dll_name,
                                                  const std::string& function_name,
                                                  std::uintptr_t user_value)>;

class MemoryModule {
 public:
  MemoryModule() = default;
  // Releases nothing: a mapped image stays mapped when the object goes away, and a copy
  // refers to the same mapping as its original.
  virtual ~MemoryModule() = default;
  MemoryModule(const MemoryModule&) = default;
  MemoryModule& operator=(const MemoryModule&) = default;

  // Maps image, unloading a held image first. True when an image is mapped afterwards.
  // Fails for a block that is too short or not a PE32 executable image, memory that
  // cannot be had, damaged relocations, an import that neither the resolver nor its
  // library supplies, or a DLL entry point that returns 0.
  virtual bool load(std::span<const std::uint8_t> image, ImportResolver resolver = {},
                    std::uintptr_t user_value = 0);
  // Tells a DLL's entry point that it goes (reason 0), then releases the mapping. True
  // when no image is held afterwards.
  virtual bool unload();
  // The address of an export, 0 when there is none. A name that is the decimal form of
  // an integer ("12", not "012" or "+12") is taken as an ordinal; other names compare
  // exactly, case included.
  virtual GuestAddress find_export(std::string_view name) const;
  // base + AddressOfEntryPoint, or 0 when no image is held.
  virtual GuestAddress entry_address() const;
  virtual GuestAddress base_address() const { return base_; }

 private:
  GuestAddress base_ = 0;
};

// Calls the code at address as a WINAPI function with up to ten 32-bit arguments and
// returns its 32-bit result; 0 when the call cannot be made (more than ten arguments,
// address 0, or code that faults in the emulated machine).
std::uint32_t call_address(GuestAddress address, std::span<const std::uint32_t> arguments);
inline std::uint32_t call_address(GuestAddress address,
                                  std::initializer_list<std::uint32_t> arguments) {
  return call_address(address, std::span<const std::uint32_t>(arguments.begin(), arguments.size()));
}

}  // namespace corvane
