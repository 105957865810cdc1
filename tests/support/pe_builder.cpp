#include "tests/support/pe_builder.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <stdexcept>

namespace corvane::test {

namespace {

constexpr std::uint32_t FILE_ALIGNMENT = 0x200;
constexpr std::uint32_t PAGE = 0x1000;

void put16(std::vector<std::uint8_t>& v, std::size_t at, std::uint16_t x) {
  if (v.size() < at + 2) v.resize(at + 2);
  v[at] = static_cast<std::uint8_t>(x);
  v[at + 1] = static_cast<std::uint8_t>(x >> 8);
}
void put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
  put16(v, at, static_cast<std::uint16_t>(x));
  put16(v, at + 2, static_cast<std::uint16_t>(x >> 16));
}
void put_text(std::vector<std::uint8_t>& v, std::size_t at, const std::string& s) {
  if (v.size() < at + s.size() + 1) v.resize(at + s.size() + 1);
  std::memcpy(v.data() + at, s.data(), s.size());
  v[at + s.size()] = 0;
}

struct Section {
  const char* name;
  std::uint32_t rva;
  std::vector<std::uint8_t> bytes;
};

// .idata: descriptors, then per library its address slots, then hint-and-name entries
// and DLL names. Only FirstThunk is filled in, which is all the loader walks.
std::vector<std::uint8_t> import_section(const PeImage& image) {
  std::vector<std::uint8_t> s;
  if (image.imports.empty()) return s;
  std::size_t at = 20 * (image.imports.size() + 1);
  s.resize(at);
  std::vector<std::size_t> slots;
  for (const auto& library : image.imports) {
    slots.push_back(at);
    at += 4 * (library.functions.size() + 1);
  }
  s.resize(at);
  for (std::size_t l = 0; l < image.imports.size(); ++l) {
    const auto& library = image.imports[l];
    for (std::size_t f = 0; f < library.functions.size(); ++f) {
      const auto& function = library.functions[f];
      std::uint32_t thunk = 0;
      if (function.ordinal != 0) {
        thunk = 0x80000000u | function.ordinal;
      } else {
        at = (s.size() + 1) & ~std::size_t{1};
        put16(s, at, 0);  // hint
        put_text(s, at + 2, function.name);
        thunk = PE_IDATA_RVA + static_cast<std::uint32_t>(at);
      }
      put32(s, slots[l] + 4 * f, thunk);
    }
    at = s.size();
    put_text(s, at, library.dll);
    put32(s, 20 * l + 12, PE_IDATA_RVA + static_cast<std::uint32_t>(at));
    put32(s, 20 * l + 16, PE_IDATA_RVA + static_cast<std::uint32_t>(slots[l]));
  }
  return s;
}

std::vector<std::uint8_t> export_section(const PeImage& image) {
  std::vector<std::uint8_t> s(40, 0);
  if (!image.has_exports) return {};
  const auto functions = 40u;
  const auto names = functions + 4 * static_cast<std::uint32_t>(image.export_functions.size());
  const auto ordinals = names + 4 * static_cast<std::uint32_t>(image.export_names.size());
  auto strings = ordinals + 2 * static_cast<std::uint32_t>(image.export_names.size());
  put32(s, 16, image.export_base);
  put32(s, 20, static_cast<std::uint32_t>(image.export_functions.size()));
  put32(s, 24, static_cast<std::uint32_t>(image.export_names.size()));
  put32(s, 28, PE_EDATA_RVA + functions);
  put32(s, 32, PE_EDATA_RVA + names);
  put32(s, 36, PE_EDATA_RVA + ordinals);
  for (std::size_t i = 0; i < image.export_functions.size(); ++i)
    put32(s, functions + 4 * i, image.export_functions[i]);
  s.resize(strings);
  for (std::size_t i = 0; i < image.export_names.size(); ++i) {
    const auto& name = image.export_names[i];
    const std::uint32_t rva = (i > 0 && image.bogus_later_name_rva != 0) ? image.bogus_later_name_rva
                                                                         : PE_EDATA_RVA + strings;
    put32(s, names + 4 * i, rva);
    put16(s, ordinals + 2 * i, name.index);
    put_text(s, strings, name.name);
    strings += static_cast<std::uint32_t>(name.name.size() + 1);
  }
  put_text(s, strings, "test.dll");
  put32(s, 12, PE_EDATA_RVA + strings);
  return s;
}

std::vector<std::uint8_t> relocation_section(const PeImage& image) {
  std::map<std::uint32_t, std::vector<std::uint16_t>> pages;
  for (std::uint32_t rva : image.relocations)
    pages[rva & ~(PAGE - 1)].push_back(static_cast<std::uint16_t>(0x3000 | (rva & (PAGE - 1))));
  if (!image.raw_relocation_entries.empty()) {
    auto& first = pages.empty() ? pages[PE_DATA_RVA] : pages.begin()->second;
    first.insert(first.end(), image.raw_relocation_entries.begin(), image.raw_relocation_entries.end());
  }
  std::vector<std::uint8_t> s;
  for (auto& [page, entries] : pages) {
    if (entries.size() % 2) entries.push_back(0);  // type 0: padding
    const std::size_t at = s.size();
    put32(s, at, page);
    put32(s, at + 4, static_cast<std::uint32_t>(8 + 2 * entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) put16(s, at + 8 + 2 * i, entries[i]);
  }
  return s;
}

}  // namespace

std::uint32_t PeImage::import_slot(std::size_t library, std::size_t function) const {
  std::size_t at = 20 * (imports.size() + 1);
  for (std::size_t l = 0; l < library; ++l) at += 4 * (imports[l].functions.size() + 1);
  return PE_IDATA_RVA + static_cast<std::uint32_t>(at + 4 * function);
}

std::vector<std::uint8_t> PeImage::build() const {
  std::vector<Section> sections;
  if (!text.empty()) sections.push_back({".text", PE_TEXT_RVA, text});
  if (!data.empty()) sections.push_back({".data", PE_DATA_RVA, data});
  if (auto s = import_section(*this); !s.empty()) sections.push_back({".idata", PE_IDATA_RVA, s});
  if (auto s = export_section(*this); !s.empty()) sections.push_back({".edata", PE_EDATA_RVA, s});
  if (auto s = relocation_section(*this); !s.empty()) sections.push_back({".reloc", PE_RELOC_RVA, s});
  for (const auto& section : sections)
    if (section.bytes.size() > PAGE) throw std::length_error("a test section holds one page");

  std::vector<std::uint8_t> file(FILE_ALIGNMENT, 0);
  file[0] = 'M';
  file[1] = 'Z';
  put32(file, 0x3C, PE_NT_OFFSET);
  const std::size_t nt = PE_NT_OFFSET;
  put32(file, nt, 0x00004550);
  put16(file, nt + 4, 0x014C);  // i386
  put16(file, nt + 6, static_cast<std::uint16_t>(sections.size()));
  put16(file, nt + 20, 224);
  put16(file, nt + 22, characteristics);
  put16(file, nt + 24, 0x010B);
  put32(file, nt + 40, entry_rva);
  put32(file, nt + 52, image_base);
  put32(file, nt + 56, section_alignment);
  put32(file, nt + 60, FILE_ALIGNMENT);
  put16(file, nt + 72, 4);
  std::uint32_t image_size = size_of_image;
  if (image_size == 0) {
    image_size = PAGE;
    for (const auto& section : sections) image_size = std::max(image_size, section.rva + PAGE);
  }
  put32(file, nt + 80, image_size);
  put32(file, nt + 84, FILE_ALIGNMENT);
  put16(file, nt + 92, 2);
  put32(file, nt + 116, 16);
  for (const auto& section : sections) {
    const auto size = static_cast<std::uint32_t>(section.bytes.size());
    const std::string name = section.name;
    std::size_t directory = 0;
    if (name == ".edata") directory = 0;
    else if (name == ".idata") directory = 1;
    else if (name == ".reloc") directory = 5;
    else continue;
    put32(file, nt + 120 + 8 * directory, section.rva);
    put32(file, nt + 120 + 8 * directory + 4, size);
  }

  std::size_t header = nt + 248;
  for (const auto& section : sections) {
    const std::uint32_t raw_size =
        (static_cast<std::uint32_t>(section.bytes.size()) + FILE_ALIGNMENT - 1) & ~(FILE_ALIGNMENT - 1);
    const std::size_t raw_offset = file.size();
    file.resize(raw_offset + raw_size, 0);
    std::memcpy(file.data() + raw_offset, section.bytes.data(), section.bytes.size());
    std::memcpy(file.data() + header, section.name, std::strlen(section.name));
    put32(file, header + 8, static_cast<std::uint32_t>(section.bytes.size()));
    put32(file, header + 12, section.rva);
    put32(file, header + 16, raw_size);
    put32(file, header + 20, static_cast<std::uint32_t>(raw_offset));
    put32(file, header + 36, 0xE0000060);  // code, data, read, write, execute
    header += 40;
  }
  return file;
}

X86Code& X86Code::mov_eax_imm(std::uint32_t value) {
  bytes_.push_back(0xB8);
  for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  return *this;
}
X86Code& X86Code::mov_eax_stack(std::uint8_t d) {
  bytes_.insert(bytes_.end(), {0x8B, 0x44, 0x24, d});
  return *this;
}
X86Code& X86Code::add_eax_stack(std::uint8_t d) {
  bytes_.insert(bytes_.end(), {0x03, 0x44, 0x24, d});
  return *this;
}
X86Code& X86Code::push_stack(std::uint8_t d) {
  bytes_.insert(bytes_.end(), {0xFF, 0x74, 0x24, d});
  return *this;
}
X86Code& X86Code::push_imm(std::uint32_t value) {
  bytes_.push_back(0x68);
  for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  return *this;
}
X86Code& X86Code::call_import(std::uint32_t slot_rva) {
  bytes_.insert(bytes_.end(), {0xFF, 0x15});
  absolute(slot_rva);
  return *this;
}
X86Code& X86Code::mov_eax_global(std::uint32_t rva) {
  bytes_.push_back(0xA1);
  absolute(rva);
  return *this;
}
X86Code& X86Code::mov_global_eax(std::uint32_t rva) {
  bytes_.push_back(0xA3);
  absolute(rva);
  return *this;
}
X86Code& X86Code::mov_eax_at_zero() {
  bytes_.insert(bytes_.end(), {0xA1, 0, 0, 0, 0});
  return *this;
}
X86Code& X86Code::ret(std::uint16_t pop_bytes) {
  if (pop_bytes == 0) {
    bytes_.push_back(0xC3);
  } else {
    bytes_.insert(bytes_.end(), {0xC2, static_cast<std::uint8_t>(pop_bytes),
                                 static_cast<std::uint8_t>(pop_bytes >> 8)});
  }
  return *this;
}

void X86Code::absolute(std::uint32_t rva) {
  relocations_.push_back(here());
  const std::uint32_t va = image_.image_base + rva;
  for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(va >> (8 * i)));
}

void X86Code::place_into(PeImage& image) const {
  if (PE_TEXT_RVA + image.text.size() != start_) throw std::logic_error("code placed out of order");
  image.text.insert(image.text.end(), bytes_.begin(), bytes_.end());
  image.relocations.insert(image.relocations.end(), relocations_.begin(), relocations_.end());
}

}  // namespace corvane::test
