/* The skin engine: a 32-bit DLL without the C runtime. Its entry point checks the host
 * interface and prepares the engine's state; SkinH_AttachRes reads ".SHE" skin data,
 * shifts its colours and hands the palette and the style sheet to the host through the
 * functions the host module "corvhost.dll" offers. */
#include "she_format.h"
#include "shade.h"

#define WINAPI __stdcall
#define IMPORT __declspec(dllimport)
#define EXPORT __declspec(dllexport)

IMPORT unsigned WINAPI GetHostVersion(void);
IMPORT unsigned WINAPI SetPaletteColor(unsigned role_and_group, unsigned rgb);
IMPORT unsigned WINAPI SetStyleSheet(const char* text, unsigned length);

/* Without a C runtime the compiler may still emit calls to these. */
void* memcpy(void* to, const void* from, unsigned n) {
  unsigned char* t = (unsigned char*)to;
  const unsigned char* f = (const unsigned char*)from;
  while (n--) *t++ = *f++;
  return to;
}
void* memset(void* to, int value, unsigned n) {
  unsigned char* t = (unsigned char*)to;
  while (n--) *t++ = (unsigned char)value;
  return to;
}

#define READY 0x52454459u /* "READY" once the entry point has run */
#define OUTPUT_CAPACITY (256 * 1024)

static struct {
  unsigned ready;
  char hex[16];
  unsigned colours[SHE_MAX_COLOURS];
} engine;

static char output[OUTPUT_CAPACITY + 1];

static unsigned get16(const unsigned char* p) { return (unsigned)p[0] | (unsigned)p[1] << 8; }
static unsigned get32(const unsigned char* p) {
  return (unsigned)p[0] | (unsigned)p[1] << 8 | (unsigned)p[2] << 16 | (unsigned)p[3] << 24;
}

static unsigned fnv1a(const unsigned char* p, unsigned n, int stop_at_zero) {
  unsigned h = SHE_FNV_OFFSET;
  unsigned i;
  for (i = 0; i < n || stop_at_zero; ++i) {
    if (stop_at_zero && p[i] == 0) break;
    h = (h ^ p[i]) * SHE_FNV_PRIME;
  }
  return h;
}

int WINAPI DllMain(void* module, unsigned reason, void* reserved) {
  (void)module;
  (void)reserved;
  if (reason == 1) {
    const char digits[] = "0123456789abcdef";
    int i;
    if (GetHostVersion() != SHE_HOST_INTERFACE) return 0;
    for (i = 0; i < 16; ++i) engine.hex[i] = digits[i];
    engine.ready = READY;
  } else if (reason == 0) {
    engine.ready = 0;
  }
  return 1;
}

/* data/length: the skin bytes; password: a zero-terminated text or null; hue in
 * degrees, saturation and brightness in percent (-100..100). */
EXPORT int WINAPI SkinH_AttachRes(const unsigned char* data, unsigned length, const char* password,
                                  int hue, int saturation, int brightness) {
  unsigned file_size, colour_count, palette_count, template_size, password_hash;
  const unsigned char *colours, *palette, *style;
  unsigned i, out = 0;

  if (engine.ready != READY) return SHE_NOT_READY;
  if (data == 0 || length < SHE_HEADER_SIZE) return SHE_BAD_DATA;
  if (data[0] != SHE_MAGIC_0 || data[1] != SHE_MAGIC_1 || data[2] != SHE_MAGIC_2 ||
      data[3] != SHE_MAGIC_3 || get16(data + SHE_AT_VERSION) != SHE_VERSION ||
      get16(data + SHE_AT_HEADER_SIZE) != SHE_HEADER_SIZE)
    return SHE_BAD_DATA;
  file_size = get32(data + SHE_AT_FILE_SIZE);
  colour_count = get16(data + SHE_AT_COLOUR_COUNT);
  palette_count = get16(data + SHE_AT_PALETTE_COUNT);
  template_size = get32(data + SHE_AT_TEMPLATE_SIZE);
  /* Each part is checked against what is left, so no sum can wrap around. */
  if (file_size > length || file_size < SHE_HEADER_SIZE || colour_count > SHE_MAX_COLOURS)
    return SHE_BAD_DATA;
  if (palette_count > (file_size - SHE_HEADER_SIZE - SHE_COLOUR_SIZE * colour_count) / SHE_PALETTE_SIZE ||
      SHE_HEADER_SIZE + SHE_COLOUR_SIZE * colour_count > file_size)
    return SHE_BAD_DATA;
  if (template_size != file_size - SHE_HEADER_SIZE - SHE_COLOUR_SIZE * colour_count -
                           SHE_PALETTE_SIZE * palette_count)
    return SHE_BAD_DATA;
  if (fnv1a(data + SHE_HEADER_SIZE, file_size - SHE_HEADER_SIZE, 0) != get32(data + SHE_AT_CHECKSUM))
    return SHE_BAD_DATA;
  password_hash = get32(data + SHE_AT_PASSWORD);
  if (password_hash != 0 &&
      (password == 0 || fnv1a((const unsigned char*)password, 0, 1) != password_hash))
    return SHE_BAD_PASSWORD;

  colours = data + SHE_HEADER_SIZE;
  palette = colours + SHE_COLOUR_SIZE * colour_count;
  style = palette + SHE_PALETTE_SIZE * palette_count;

  for (i = 0; i < colour_count; ++i) {
    const unsigned char* c = colours + SHE_COLOUR_SIZE * i;
    const unsigned rgb = (unsigned)c[0] << 16 | (unsigned)c[1] << 8 | c[2];
    engine.colours[i] = (c[3] & SHE_COLOUR_FIXED) ? rgb : shade_colour(rgb, hue, saturation, brightness);
  }

  /* Expand the template first: damaged data must not hand over half a style. */
  for (i = 0; i < template_size; ++i) {
    const unsigned char byte = style[i];
    if (byte == SHE_COLOUR_MARK) {
      unsigned index, rgb;
      int shift;
      if (i + 1 >= template_size) return SHE_BAD_DATA;
      index = style[++i];
      if (index == 0 || index > colour_count) return SHE_BAD_DATA;
      if (out + 7 > OUTPUT_CAPACITY) return SHE_TOO_LARGE;
      rgb = engine.colours[index - 1];
      output[out++] = '#';
      for (shift = 20; shift >= 0; shift -= 4) output[out++] = engine.hex[(rgb >> shift) & 0xF];
    } else {
      if (out + 1 > OUTPUT_CAPACITY) return SHE_TOO_LARGE;
      output[out++] = (char)byte;
    }
  }
  output[out] = 0;
  for (i = 0; i < palette_count; ++i)
    if (palette[SHE_PALETTE_SIZE * i + 2] >= colour_count) return SHE_BAD_DATA;

  /* The palette goes first: the style sheet completes the style. */
  for (i = 0; i < palette_count; ++i) {
    const unsigned char* p = palette + SHE_PALETTE_SIZE * i;
    if (!SetPaletteColor((unsigned)p[0] | (unsigned)p[1] << 8, engine.colours[p[2]]))
      return SHE_HOST_REFUSED;
  }
  if (!SetStyleSheet(output, out)) return SHE_HOST_REFUSED;
  return SHE_APPLIED;
}
