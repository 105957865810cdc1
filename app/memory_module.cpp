#include "app/memory_module.h"

#include <charconv>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/module_registry.h"

namespace corvane {

namespace {

// Offsets into the image headers (PE32).
constexpr std::size_t DOS_HEADER_SIZE = 64;
constexpr std::size_t E_LFANEW = 0x3C;
constexpr std::size_t NT_HEADERS_SIZE = 248;
constexpr std::size_t SECTION_HEADER_SIZE = 40;
constexpr std::size_t NT_NUMBER_OF_SECTIONS = 6;
constexpr std::size_t NT_CHARACTERISTICS = 22;
constexpr std::size_t NT_ENTRY_POINT = 40;
constexpr std::size_t NT_IMAGE_BASE = 52;
constexpr std::size_t NT_SECTION_ALIGNMENT = 56;
constexpr std::size_t NT_SIZE_OF_IMAGE = 80;
constexpr std::size_t NT_DATA_DIRECTORIES = 120;
constexpr std::size_t DIRECTORY_EXPORT = 0;
constexpr std::size_t DIRECTORY_IMPORT = 1;
constexpr std::size_t DIRECTORY_BASERELOC = 5;

constexpr std::uint16_t DOS_MAGIC = 0x5A4D;         // "MZ"
constexpr std::uint32_t PE_SIGNATURE = 0x00004550;  // "PE\0\0"
constexpr std::uint16_t IMAGE_FILE_EXECUTABLE_IMAGE = 0x0002;
constexpr std::uint16_t IMAGE_FILE_DLL = 0x2000;
constexpr unsigned IMAGE_REL_BASED_HIGHLOW = 3;
constexpr std::uint32_t IMAGE_ORDINAL_FLAG = 0x80000000;
constexpr std::uint32_t DLL_PROCESS_DETACH = 0;
constexpr std::uint32_t DLL_PROCESS_ATTACH = 1;
constexpr std::uint64_t MAX_IMAGE_SIZE = 0x20000000;  // 512 MB

std::uint16_t get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
void put32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

// The image as it is being built in host memory before it goes into the machine in
// one piece. Every access is checked against its size: the image is untrusted input.
class ImageBuffer {
 public:
  explicit ImageBuffer(std::uint32_t size) : bytes_(size, 0) {}
  std::uint8_t* data() { return bytes_.data(); }
  std::size_t size() const { return bytes_.size(); }

  bool fits(std::uint64_t offset, std::uint64_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }
  std::optional<std::uint32_t> u32(std::uint64_t offset) const {
    if (!fits(offset, 4)) return std::nullopt;
    return get32(bytes_.data() + offset);
  }
  std::optional<std::uint16_t> u16(std::uint64_t offset) const {
    if (!fits(offset, 2)) return std::nullopt;
    return get16(bytes_.data() + offset);
  }
  bool set32(std::uint64_t offset, std::uint32_t value) {
    if (!fits(offset, 4)) return false;
    put32(bytes_.data() + offset, value);
    return true;
  }
  // The zero-terminated text at offset; nothing when the image ends first.
  std::optional<std::string> text(std::uint64_t offset) const {
    if (offset >= bytes_.size()) return std::nullopt;
    const auto* start = bytes_.data() + offset;
    const void* zero = std::memchr(start, 0, bytes_.size() - offset);
    if (zero == nullptr) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(start),
                       static_cast<const std::uint8_t*>(zero) - start);
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

// Adds delta to every 32-bit high-low slot the relocation blocks name. The walk ends
// at a block whose VirtualAddress is 0 or at the end of the directory; a block that is
// shorter than its own header or points outside the image damages the image.
bool apply_relocations(ImageBuffer& image, std::uint32_t directory, std::uint32_t directory_size,
                       std::uint32_t delta) {
  const std::uint64_t end = static_cast<std::uint64_t>(directory) + directory_size;
  std::uint64_t block = directory;
  while (block + 8 <= end) {
    const auto page = image.u32(block);
    const auto block_size = image.u32(block + 4);
    if (!page || !block_size) return false;
    if (*page == 0) break;
    if (*block_size < 8 || !image.fits(block, *block_size)) return false;
    const std::uint32_t count = (*block_size - 8) / 2;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint16_t entry = *image.u16(block + 8 + 2 * static_cast<std::uint64_t>(i));
      if ((entry >> 12) != IMAGE_REL_BASED_HIGHLOW) continue;
      const std::uint64_t slot = static_cast<std::uint64_t>(*page) + (entry & 0x0FFF);
      const auto value = image.u32(slot);
      if (!value) return false;
      image.set32(slot, *value + delta);
    }
    block += *block_size;
  }
  return true;
}

bool resolve_imports(ImageBuffer& image, std::uint32_t directory, const ImportResolver& resolver,
                     std::uintptr_t user_value) {
  constexpr std::size_t DESCRIPTOR_SIZE = 20;
  for (std::uint64_t descriptor = directory;; descriptor += DESCRIPTOR_SIZE) {
    const auto name_rva = image.u32(descriptor + 12);
    const auto first_thunk = image.u32(descriptor + 16);
    if (!name_rva || !first_thunk) return false;
    if (*first_thunk == 0) return true;
    const auto dll_name = image.text(*name_rva);
    if (!dll_name) return false;
    const auto library = platform::ImportLibrary::open(*dll_name);

    for (std::uint64_t slot = *first_thunk;; slot += 4) {
      const auto thunk = image.u32(slot);
      if (!thunk) return false;
      if (*thunk == 0) break;
      GuestAddress address = 0;
      if (*thunk & IMAGE_ORDINAL_FLAG) {
        const auto ordinal = static_cast<std::uint16_t>(*thunk & 0xFFFF);
        if (resolver) address = resolver(*dll_name, std::to_string(ordinal), user_value);
        if (address == 0) address = library.procedure(ordinal);
      } else {
        const auto function_name = image.text(static_cast<std::uint64_t>(*thunk) + 2);
        if (!function_name) return false;
        if (resolver) address = resolver(*dll_name, *function_name, user_value);
        if (address == 0) address = library.procedure(std::string_view(*function_name));
      }
      if (address == 0) return false;
      image.set32(slot, address);
    }
  }
}

struct MappedHeaders {
  std::uint16_t characteristics = 0;
  std::uint32_t entry_point = 0;
  std::uint32_t export_rva = 0;
  std::uint32_t export_size = 0;
};

// The headers of a mapped image, read back from the machine; nothing unless they carry
// both signatures. The image may have rewritten itself since it was mapped.
std::optional<MappedHeaders> read_mapped_headers(GuestAddress base) {
  const auto& machine = platform::x86_machine();
  const auto magic = machine.read_u16(base);
  const auto lfanew = machine.read_u32(base + E_LFANEW);
  if (!magic || *magic != DOS_MAGIC || !lfanew) return std::nullopt;
  const GuestAddress nt = base + *lfanew;
  const auto signature = machine.read_u32(nt);
  if (!signature || *signature != PE_SIGNATURE) return std::nullopt;
  const auto characteristics = machine.read_u16(nt + NT_CHARACTERISTICS);
  const auto entry = machine.read_u32(nt + NT_ENTRY_POINT);
  const auto export_rva = machine.read_u32(nt + NT_DATA_DIRECTORIES + 8 * DIRECTORY_EXPORT);
  const auto export_size = machine.read_u32(nt + NT_DATA_DIRECTORIES + 8 * DIRECTORY_EXPORT + 4);
  if (!characteristics || !entry || !export_rva || !export_size) return std::nullopt;
  return MappedHeaders{*characteristics, *entry, *export_rva, *export_size};
}

std::optional<std::uint32_t> call_entry(GuestAddress base, std::uint32_t entry_rva,
                                        std::uint32_t reason) {
  const std::uint32_t arguments[3] = {0, reason, 0};
  return platform::x86_machine().call(base + entry_rva, arguments);
}

// The ordinal a name stands for: a decimal integer that converts back to the same text.
std::optional<long long> ordinal_of(std::string_view name) {
  long long value = 0;
  const char* first = name.data();
  const char* last = name.data() + name.size();
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last || value < INT32_MIN || value > INT32_MAX)
    return std::nullopt;
  if (std::to_string(value) != name) return std::nullopt;
  return value;
}

}  // namespace

bool MemoryModule::load(std::span<const std::uint8_t> block, ImportResolver resolver,
                        std::uintptr_t user_value) {
  if (base_ != 0) unload();
  base_ = 0;

  const std::uint64_t size = block.size();
  if (size < DOS_HEADER_SIZE) return false;
  const std::uint8_t* bytes = block.data();
  const std::uint32_t lfanew = get32(bytes + E_LFANEW);
  if (get16(bytes) != DOS_MAGIC || size < static_cast<std::uint64_t>(lfanew) + NT_HEADERS_SIZE)
    return false;

  const std::uint8_t* nt = bytes + lfanew;
  const std::uint16_t section_count = get16(nt + NT_NUMBER_OF_SECTIONS);
  const std::uint16_t characteristics = get16(nt + NT_CHARACTERISTICS);
  const std::uint64_t headers_size =
      static_cast<std::uint64_t>(lfanew) + NT_HEADERS_SIZE + SECTION_HEADER_SIZE * section_count;
  if (get32(nt) != PE_SIGNATURE || !(characteristics & IMAGE_FILE_EXECUTABLE_IMAGE) ||
      size < headers_size)
    return false;

  const std::uint32_t entry_rva = get32(nt + NT_ENTRY_POINT);
  const std::uint32_t image_base = get32(nt + NT_IMAGE_BASE);
  const std::uint32_t alignment = get32(nt + NT_SECTION_ALIGNMENT);
  const auto directory = [&](std::size_t index, std::size_t field) {
    return get32(nt + NT_DATA_DIRECTORIES + 8 * index + field);
  };
  if (alignment == 0) return false;

  // The image must hold every section as placed, whatever its header claims. The
  // virtual size counts with its low 16 bits only.
  std::uint64_t image_size = get32(nt + NT_SIZE_OF_IMAGE);
  const std::uint8_t* sections = nt + NT_HEADERS_SIZE;
  for (std::uint16_t i = 0; i < section_count; ++i) {
    const std::uint8_t* section = sections + SECTION_HEADER_SIZE * i;
    const std::uint32_t virtual_size = get32(section + 8) & 0xFFFF;
    const std::uint32_t raw_size = get32(section + 16);
    std::uint64_t end = static_cast<std::uint64_t>(get32(section + 12)) +
                        (virtual_size > raw_size ? virtual_size : raw_size);
    end = alignment * ((end + alignment - 1) / alignment);
    if (end > image_size) image_size = end;
  }
  if (image_size == 0) return false;
  // The header copy must fit too, or it would run past the end of the mapping.
  if (headers_size > image_size) image_size = headers_size;
  // The image is built in host memory before it is mapped; a size no 32-bit process
  // could map is damage, not a reason to try.
  if (image_size > MAX_IMAGE_SIZE) return false;

  ImageBuffer image(static_cast<std::uint32_t>(image_size));
  std::memcpy(image.data(), bytes, headers_size);
  for (std::uint16_t i = 0; i < section_count; ++i) {
    const std::uint8_t* section = sections + SECTION_HEADER_SIZE * i;
    const std::uint32_t rva = get32(section + 12);
    const std::uint32_t raw_size = get32(section + 16);
    const std::uint32_t raw_offset = get32(section + 20);
    if (raw_size < 1 || rva == 0) continue;
    // Raw data that lies outside the block is a truncated or damaged file.
    if (static_cast<std::uint64_t>(raw_offset) + raw_size > size) return false;
    std::memcpy(image.data() + rva, bytes + raw_offset, raw_size);
  }

  auto& machine = platform::x86_machine();
  const GuestAddress mapping = machine.allocate(image_base, static_cast<std::uint32_t>(image_size));
  if (mapping == 0) return false;
  const auto fail = [&] {
    machine.release(mapping);
    return false;
  };

  // Relocations are applied even when the image sits at its preferred base (delta 0).
  if (directory(DIRECTORY_BASERELOC, 4) > 0 &&
      !apply_relocations(image, directory(DIRECTORY_BASERELOC, 0), directory(DIRECTORY_BASERELOC, 4),
                         mapping - image_base))
    return fail();
  if (directory(DIRECTORY_IMPORT, 0) > 0 &&
      !resolve_imports(image, directory(DIRECTORY_IMPORT, 0), resolver, user_value))
    return fail();
  if (!machine.write(mapping, image.data(), image.size())) return fail();

  // A DLL without an entry point (a resource-only image) has nothing to run; running
  // offset 0 would execute the DOS header.
  if ((characteristics & IMAGE_FILE_DLL) && entry_rva != 0) {
    const auto attached = call_entry(mapping, entry_rva, DLL_PROCESS_ATTACH);
    if (!attached || *attached == 0) {
      call_entry(mapping, entry_rva, DLL_PROCESS_DETACH);
      return fail();
    }
  }
  base_ = mapping;
  return true;
}

bool MemoryModule::unload() {
  if (base_ == 0) return true;
  if (const auto headers = read_mapped_headers(base_);
      headers && (headers->characteristics & IMAGE_FILE_DLL) && headers->entry_point != 0)
    call_entry(base_, headers->entry_point, DLL_PROCESS_DETACH);
  // The mapping is released even when the image has wiped its own headers.
  if (platform::x86_machine().release(base_)) base_ = 0;
  return base_ == 0;
}

GuestAddress MemoryModule::entry_address() const {
  if (base_ == 0) return 0;
  const auto& machine = platform::x86_machine();
  const auto lfanew = machine.read_u32(base_ + E_LFANEW);
  if (!lfanew) return 0;
  const auto entry = machine.read_u32(base_ + *lfanew + NT_ENTRY_POINT);
  return entry ? base_ + *entry : 0;
}

GuestAddress MemoryModule::find_export(std::string_view name) const {
  if (base_ == 0) return 0;
  const auto headers = read_mapped_headers(base_);
  if (!headers || headers->export_size == 0) return 0;
  const auto& machine = platform::x86_machine();
  std::uint8_t directory[40];
  if (!machine.read(base_ + headers->export_rva, directory, sizeof directory)) return 0;
  const std::uint32_t ordinal_base = get32(directory + 16);
  const std::uint32_t function_count = get32(directory + 20);
  const std::uint32_t name_count = get32(directory + 24);
  const GuestAddress functions = base_ + get32(directory + 28);
  const GuestAddress names = base_ + get32(directory + 32);
  const GuestAddress name_ordinals = base_ + get32(directory + 36);

  const auto function_at = [&](std::uint32_t index) -> GuestAddress {
    const auto entry = machine.read_u32(functions + 4 * index);
    return entry && *entry != 0 ? base_ + *entry : 0;
  };

  if (const auto ordinal = ordinal_of(name)) {
    const long long index = *ordinal - static_cast<long long>(ordinal_base);
    if (index < 0 || index >= static_cast<long long>(function_count)) return 0;
    return function_at(static_cast<std::uint32_t>(index));
  }

  // Only the first entry of AddressOfNames is used: the names are walked in memory
  // order from there, each starting right after the previous one's zero byte.
  const auto first_name = machine.read_u32(names);
  if (!first_name) return 0;
  GuestAddress at = base_ + *first_name;
  for (std::uint32_t i = 0; i < name_count; ++i) {
    const auto index = machine.read_u16(name_ordinals + 2 * i);
    const auto current = machine.read_text(at);
    if (!index || !current) return 0;
    if (*index < function_count && *current == name) {
      if (const GuestAddress found = function_at(*index)) return found;
    }
    at += static_cast<GuestAddress>(current->size() + 1);
  }
  return 0;
}

std::uint32_t call_address(GuestAddress address, std::span<const std::uint32_t> arguments) {
  if (address == 0 || arguments.size() > platform::MAX_CALL_ARGUMENTS) return 0;
  return platform::x86_machine().call(address, arguments).value_or(0);
}

}  // namespace corvane
