#pragma once
// Synthetic PE32 images for the loader tests: a small image writer with a fixed layout
// (each section on its own page) and a few hand-encoded x86-32 instructions, so that a
// test can say exactly which headers, relocations, imports and exports an image has.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvane::test {

inline constexpr std::uint32_t PE_TEXT_RVA = 0x1000;
inline constexpr std::uint32_t PE_DATA_RVA = 0x2000;
inline constexpr std::uint32_t PE_IDATA_RVA = 0x3000;
inline constexpr std::uint32_t PE_EDATA_RVA = 0x4000;
inline constexpr std::uint32_t PE_RELOC_RVA = 0x5000;

// File offsets of header fields, for tests that damage a built image.
inline constexpr std::size_t PE_NT_OFFSET = 0x40;
inline constexpr std::size_t PE_CHARACTERISTICS_OFFSET = PE_NT_OFFSET + 22;
inline constexpr std::size_t PE_SIZE_OF_IMAGE_OFFSET = PE_NT_OFFSET + 80;

inline constexpr std::uint16_t PE_EXECUTABLE_IMAGE = 0x0002;
inline constexpr std::uint16_t PE_32BIT_MACHINE = 0x0100;
inline constexpr std::uint16_t PE_DLL = 0x2000;

struct PeImportFunction {
  std::string name;           // imported by name when ordinal is 0
  std::uint16_t ordinal = 0;  // imported by ordinal when not 0
};

struct PeImportLibrary {
  std::string dll;
  std::vector<PeImportFunction> functions;
};

struct PeExportName {
  std::string name;
  std::uint16_t index = 0;  // into the function table
};

struct PeImage {
  std::uint32_t image_base = 0x00400000;
  std::uint16_t characteristics = PE_EXECUTABLE_IMAGE | PE_32BIT_MACHINE | PE_DLL;
  std::uint32_t entry_rva = 0;
  std::uint32_t section_alignment = 0x1000;
  std::uint32_t size_of_image = 0;  // 0: just covers the sections

  std::vector<std::uint8_t> text;  // at PE_TEXT_RVA
  std::vector<std::uint8_t> data;  // at PE_DATA_RVA
  std::vector<PeImportLibrary> imports;

  bool has_exports = false;
  std::uint32_t export_base = 1;
  std::vector<std::uint32_t> export_functions;  // RVAs, 0 for a gap
  std::vector<PeExportName> export_names;       // strings written in this order
  // Where AddressOfNames entries after the first point; 0 keeps them true.
  std::uint32_t bogus_later_name_rva = 0;

  std::vector<std::uint32_t> relocations;       // RVAs of 32-bit high-low slots
  std::vector<std::uint16_t> raw_relocation_entries;  // extra entries for the first block

  std::vector<std::uint8_t> build() const;
  // RVA of the import address slot of imports[library].functions[function].
  std::uint32_t import_slot(std::size_t library, std::size_t function) const;
  std::uint32_t va(std::uint32_t rva) const { return image_base + rva; }
};

// A few x86-32 instructions, encoded by hand. Absolute addresses are recorded as
// relocations of the image the code is placed in.
class X86Code {
 public:
  X86Code(const PeImage& image, std::uint32_t rva = PE_TEXT_RVA) : image_(image), start_(rva) {}
  std::uint32_t here() const { return start_ + static_cast<std::uint32_t>(bytes_.size()); }

  X86Code& mov_eax_imm(std::uint32_t value);            // mov eax, imm32
  X86Code& mov_eax_stack(std::uint8_t displacement);    // mov eax, [esp+d]
  X86Code& add_eax_stack(std::uint8_t displacement);    // add eax, [esp+d]
  X86Code& push_stack(std::uint8_t displacement);       // push dword [esp+d]
  X86Code& push_imm(std::uint32_t value);               // push imm32
  X86Code& call_import(std::uint32_t slot_rva);         // call [slot]
  X86Code& mov_eax_global(std::uint32_t rva);           // mov eax, [rva]
  X86Code& mov_global_eax(std::uint32_t rva);           // mov [rva], eax
  X86Code& mov_eax_at_zero();                           // mov eax, [0]: faults
  X86Code& ret(std::uint16_t pop_bytes = 0);

  // Appends the code to image.text (which must be where the code said it would start)
  // and its relocations to image.relocations.
  void place_into(PeImage& image) const;

 private:
  void absolute(std::uint32_t rva);
  const PeImage& image_;
  std::uint32_t start_;
  std::vector<std::uint8_t> bytes_;
  std::vector<std::uint32_t> relocations_;
};

}  // namespace corvane::test
