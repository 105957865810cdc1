#include "localservice/captcha.h"

#include <cmath>
#include <random>

#include "localservice/web.h"

namespace corvane::local {

namespace {

struct Glyph {
  char c;
  std::array<uint8_t, GLYPH_ROWS> rows;
};

// A plain 5x7 font; each row is written in binary, leftmost column first.
constexpr Glyph FONT[] = {
    {'2', {0b01110, 0b10001, 0b00001, 0b00010, 0b00100, 0b01000, 0b11111}},
    {'3', {0b11111, 0b00010, 0b00100, 0b00010, 0b00001, 0b10001, 0b01110}},
    {'4', {0b00010, 0b00110, 0b01010, 0b10010, 0b11111, 0b00010, 0b00010}},
    {'5', {0b11111, 0b10000, 0b11110, 0b00001, 0b00001, 0b10001, 0b01110}},
    {'6', {0b00110, 0b01000, 0b10000, 0b11110, 0b10001, 0b10001, 0b01110}},
    {'7', {0b11111, 0b00001, 0b00010, 0b00100, 0b01000, 0b01000, 0b01000}},
    {'8', {0b01110, 0b10001, 0b10001, 0b01110, 0b10001, 0b10001, 0b01110}},
    {'9', {0b01110, 0b10001, 0b10001, 0b01111, 0b00001, 0b00010, 0b01100}},
    {'A', {0b01110, 0b10001, 0b10001, 0b11111, 0b10001, 0b10001, 0b10001}},
    {'B', {0b11110, 0b10001, 0b10001, 0b11110, 0b10001, 0b10001, 0b11110}},
    {'C', {0b01110, 0b10001, 0b10000, 0b10000, 0b10000, 0b10001, 0b01110}},
    {'D', {0b11100, 0b10010, 0b10001, 0b10001, 0b10001, 0b10010, 0b11100}},
    {'E', {0b11111, 0b10000, 0b10000, 0b11110, 0b10000, 0b10000, 0b11111}},
    {'F', {0b11111, 0b10000, 0b10000, 0b11110, 0b10000, 0b10000, 0b10000}},
    {'G', {0b01110, 0b10001, 0b10000, 0b10111, 0b10001, 0b10001, 0b01111}},
    {'H', {0b10001, 0b10001, 0b10001, 0b11111, 0b10001, 0b10001, 0b10001}},
    {'J', {0b00111, 0b00010, 0b00010, 0b00010, 0b00010, 0b10010, 0b01100}},
    {'K', {0b10001, 0b10010, 0b10100, 0b11000, 0b10100, 0b10010, 0b10001}},
    {'L', {0b10000, 0b10000, 0b10000, 0b10000, 0b10000, 0b10000, 0b11111}},
    {'M', {0b10001, 0b11011, 0b10101, 0b10101, 0b10001, 0b10001, 0b10001}},
    {'N', {0b10001, 0b10001, 0b11001, 0b10101, 0b10011, 0b10001, 0b10001}},
    {'P', {0b11110, 0b10001, 0b10001, 0b11110, 0b10000, 0b10000, 0b10000}},
    {'Q', {0b01110, 0b10001, 0b10001, 0b10001, 0b10101, 0b10010, 0b01101}},
    {'R', {0b11110, 0b10001, 0b10001, 0b11110, 0b10100, 0b10010, 0b10001}},
    {'S', {0b01111, 0b10000, 0b10000, 0b01110, 0b00001, 0b00001, 0b11110}},
    {'T', {0b11111, 0b00100, 0b00100, 0b00100, 0b00100, 0b00100, 0b00100}},
    {'U', {0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b01110}},
    {'V', {0b10001, 0b10001, 0b10001, 0b10001, 0b10001, 0b01010, 0b00100}},
    {'W', {0b10001, 0b10001, 0b10001, 0b10101, 0b10101, 0b10101, 0b01010}},
    {'X', {0b10001, 0b10001, 0b01010, 0b00100, 0b01010, 0b10001, 0b10001}},
    {'Y', {0b10001, 0b10001, 0b10001, 0b01010, 0b00100, 0b00100, 0b00100}},
    {'Z', {0b11111, 0b00001, 0b00010, 0b00100, 0b01000, 0b10000, 0b11111}},
};

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

void put_le(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

const std::array<uint8_t, GLYPH_ROWS>* glyph(char c) {
  for (const Glyph& g : FONT)
    if (g.c == c) return &g.rows;
  return nullptr;
}

std::string new_captcha_code() {
  // random_token draws from [0-9a-z]; map each draw onto the alphabet.
  std::string token = random_token(CAPTCHA_LENGTH * 2);
  std::string code;
  for (int i = 0; i < CAPTCHA_LENGTH; ++i) {
    unsigned v = static_cast<unsigned char>(token[2 * i]) * 37u +
                 static_cast<unsigned char>(token[2 * i + 1]);
    code += CAPTCHA_ALPHABET[v % CAPTCHA_ALPHABET.size()];
  }
  return code;
}

bool captcha_matches(std::string_view code, std::string_view answer) {
  if (code.empty() || code.size() != answer.size()) return false;
  for (std::size_t i = 0; i < code.size(); ++i)
    if (upper(code[i]) != upper(answer[i])) return false;
  return true;
}

std::string bmp_file(int width, int height, const std::string& rgb) {
  const uint32_t row_bytes = static_cast<uint32_t>((width * 3 + 3) / 4 * 4);
  const uint32_t image_bytes = row_bytes * static_cast<uint32_t>(height);
  std::string out = "BM";
  put_le(out, 54 + image_bytes, 4);
  put_le(out, 0, 4);
  put_le(out, 54, 4);
  put_le(out, 40, 4);
  put_le(out, static_cast<uint32_t>(width), 4);
  put_le(out, static_cast<uint32_t>(height), 4);  // positive: rows stored bottom-up
  put_le(out, 1, 2);
  put_le(out, 24, 2);
  put_le(out, 0, 4);
  put_le(out, image_bytes, 4);
  put_le(out, 2835, 4);
  put_le(out, 2835, 4);
  put_le(out, 0, 4);
  put_le(out, 0, 4);
  for (int y = height - 1; y >= 0; --y) {
    std::string row;
    for (int x = 0; x < width; ++x) {
      const char* p = &rgb[static_cast<std::size_t>((y * width + x) * 3)];
      row += p[2];  // BMP keeps blue, green, red
      row += p[1];
      row += p[0];
    }
    row.resize(row_bytes, '\0');
    out += row;
  }
  return out;
}

std::string captcha_image(std::string_view code, uint64_t seed) {
  std::mt19937_64 rng(seed);
  auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::string rgb(static_cast<std::size_t>(CAPTCHA_WIDTH * CAPTCHA_HEIGHT * 3), '\0');
  auto set = [&](int x, int y, int r, int g, int b) {
    if (x < 0 || y < 0 || x >= CAPTCHA_WIDTH || y >= CAPTCHA_HEIGHT) return;
    char* p = &rgb[static_cast<std::size_t>((y * CAPTCHA_WIDTH + x) * 3)];
    p[0] = static_cast<char>(r);
    p[1] = static_cast<char>(g);
    p[2] = static_cast<char>(b);
  };

  // Background: a soft gradient.
  for (int y = 0; y < CAPTCHA_HEIGHT; ++y)
    for (int x = 0; x < CAPTCHA_WIDTH; ++x) set(x, y, 236 - y / 3, 240 - x / 12, 250 - x / 10);
  // Light curves and speckles; all lighter than any stroke of a character.
  for (int curve = 0; curve < 2; ++curve) {
    double phase = between(0, 628) / 100.0, amplitude = between(4, 12);
    int base = between(10, 35), r = between(150, 200), g = between(150, 200), b = between(150, 200);
    for (int x = 0; x < CAPTCHA_WIDTH; ++x) {
      int y = base + static_cast<int>(amplitude * std::sin(phase + x / 14.0));
      set(x, y, r, g, b);
      set(x, y + 1, r, g, b);
    }
  }
  for (int i = 0; i < 140; ++i)
    set(between(0, CAPTCHA_WIDTH - 1), between(0, CAPTCHA_HEIGHT - 1), between(150, 220),
        between(150, 220), between(150, 220));

  for (int i = 0; i < CAPTCHA_LENGTH && i < static_cast<int>(code.size()); ++i) {
    const auto* rows = glyph(upper(code[static_cast<std::size_t>(i)]));
    if (!rows) continue;
    int x0 = CAPTCHA_FIRST_X + i * CAPTCHA_PITCH + between(0, CAPTCHA_X_JITTER);
    int y0 = between(CAPTCHA_TOP_MIN, CAPTCHA_TOP_MAX);
    int r = between(0, 110), g = between(0, 90), b = between(20, 120);
    for (int row = 0; row < GLYPH_ROWS; ++row)
      for (int column = 0; column < GLYPH_COLUMNS; ++column) {
        if (!((*rows)[static_cast<std::size_t>(row)] & (1 << (GLYPH_COLUMNS - 1 - column))))
          continue;
        for (int dy = 0; dy < GLYPH_SCALE; ++dy)
          for (int dx = 0; dx < GLYPH_SCALE; ++dx)
            set(x0 + column * GLYPH_SCALE + dx, y0 + row * GLYPH_SCALE + dy, r, g, b);
      }
  }
  return bmp_file(CAPTCHA_WIDTH, CAPTCHA_HEIGHT, rgb);
}

}  // namespace corvane::local
