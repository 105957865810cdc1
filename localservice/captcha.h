#pragma once
// Captcha images: four characters of a small bitmap font, each cell drawn as a square of
// GLYPH_SCALE pixels in a dark colour, shifted a little at random, over a light
// background with light speckles and curves. The result is a 24-bit BMP file of
// CAPTCHA_WIDTH x CAPTCHA_HEIGHT pixels, the size of the client's picture box.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvane::local {

inline constexpr int CAPTCHA_WIDTH = 120;
inline constexpr int CAPTCHA_HEIGHT = 45;
inline constexpr int CAPTCHA_LENGTH = 4;
inline constexpr int GLYPH_COLUMNS = 5;
inline constexpr int GLYPH_ROWS = 7;
inline constexpr int GLYPH_SCALE = 4;
// Character i starts at x = CAPTCHA_FIRST_X + i * CAPTCHA_PITCH + [0, CAPTCHA_X_JITTER]
// and y in [CAPTCHA_TOP_MIN, CAPTCHA_TOP_MAX].
inline constexpr int CAPTCHA_FIRST_X = 7;
inline constexpr int CAPTCHA_PITCH = 27;
inline constexpr int CAPTCHA_X_JITTER = 2;
inline constexpr int CAPTCHA_TOP_MIN = 4;
inline constexpr int CAPTCHA_TOP_MAX = 13;
// Digits and capitals that do not look alike (no 0/O, 1/I).
inline constexpr std::string_view CAPTCHA_ALPHABET = "23456789ABCDEFGHJKLMNPQRSTUVWXYZ";

// The rows of a glyph of the alphabet, top first; bit 4 is the leftmost column.
// nullptr for a character without a glyph.
const std::array<uint8_t, GLYPH_ROWS>* glyph(char c);

// A new random code of CAPTCHA_LENGTH characters of the alphabet.
std::string new_captcha_code();

// The BMP image that shows code; seed varies the placement and the noise.
std::string captcha_image(std::string_view code, uint64_t seed);

// Whether a typed answer is the code; letter case does not matter.
bool captcha_matches(std::string_view code, std::string_view answer);

// A 24-bit uncompressed BMP of width x height from top-down RGB rows.
std::string bmp_file(int width, int height, const std::string& rgb);

}  // namespace corvane::local
