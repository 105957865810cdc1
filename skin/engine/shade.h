/* Hue, saturation and brightness shifts of one colour, in integers only (the engine
 * runs without a C runtime). Written in the common subset of C and C++ so that the host
 * tests can check the arithmetic directly.
 *
 * A colour is split into its chroma (max - min), its lightness sum (max + min, 0..510)
 * and its hue in fixed point (six sectors of SHADE_UNIT). With no shift the colour comes
 * back exactly: the hue keeps 16 fractional bits, far more than 8-bit channels need. */
#ifndef CORVANE_SHADE_H
#define CORVANE_SHADE_H

#define SHADE_UNIT 65536

static int shade_clamp(int v, int low, int high) { return v < low ? low : (v > high ? high : v); }

/* Largest chroma a colour with this lightness sum can have. */
static int shade_chroma_cap(int sum) { return sum <= 255 ? sum : 510 - sum; }

/* Rounded a / b for a >= 0, b > 0. */
static int shade_div(int a, int b) { return (2 * a + b) / (2 * b); }

/* Rounded x * SHADE_UNIT / c for c > 0, x of either sign. */
static int shade_ratio(int x, int c) {
  if (x >= 0) return (2 * x * SHADE_UNIT + c) / (2 * c);
  return -((-2 * x * SHADE_UNIT + c) / (2 * c));
}

/* rgb is 0xRRGGBB. hue in degrees (any value, taken modulo 360); saturation and
 * brightness in percent, -100..100 (clamped): saturation scales the chroma (-100 gives
 * grey, +100 doubles it), brightness moves the lightness towards white (+100) or
 * black (-100) keeping the saturation. */
static unsigned shade_colour(unsigned rgb, int hue, int saturation, int brightness) {
  int r = (int)((rgb >> 16) & 0xFF), g = (int)((rgb >> 8) & 0xFF), b = (int)(rgb & 0xFF);
  int max = r > g ? (r > b ? r : b) : (g > b ? g : b);
  int min = r < g ? (r < b ? r : b) : (g < b ? g : b);
  int chroma = max - min, sum = max + min;
  int h = 0, cap, chroma1, sum1, chroma2, sector, f, mid, rise, hi, lo;

  if (chroma > 0) {
    if (max == r) {
      h = shade_ratio(g - b, chroma);
      if (h < 0) h += 6 * SHADE_UNIT;
    } else if (max == g) {
      h = 2 * SHADE_UNIT + shade_ratio(b - r, chroma);
    } else {
      h = 4 * SHADE_UNIT + shade_ratio(r - g, chroma);
    }
  }
  hue %= 360;
  if (hue < 0) hue += 360;
  h += (hue * 6 * SHADE_UNIT + 180) / 360;
  h %= 6 * SHADE_UNIT;

  saturation = shade_clamp(saturation, -100, 100);
  brightness = shade_clamp(brightness, -100, 100);
  cap = shade_chroma_cap(sum);
  chroma1 = shade_div(chroma * (100 + saturation), 100);
  if (chroma1 > cap) chroma1 = cap;
  sum1 = brightness >= 0 ? sum + shade_div((510 - sum) * brightness, 100)
                         : shade_div(sum * (100 + brightness), 100);
  chroma2 = cap > 0 ? shade_div(chroma1 * shade_chroma_cap(sum1), cap) : 0;
  if (chroma2 > shade_chroma_cap(sum1)) chroma2 = shade_chroma_cap(sum1);

  /* Keep the chroma exact when lightness and chroma differ in parity. */
  hi = (sum1 + chroma2 + 1) / 2;
  lo = hi - chroma2;
  sector = h / SHADE_UNIT;
  f = h % SHADE_UNIT;
  rise = (2 * f * chroma2 + SHADE_UNIT) / (2 * SHADE_UNIT);
  mid = (sector % 2 == 0) ? lo + rise : hi - rise;
  switch (sector) {
    case 0: r = hi; g = mid; b = lo; break;
    case 1: r = mid; g = hi; b = lo; break;
    case 2: r = lo; g = hi; b = mid; break;
    case 3: r = lo; g = mid; b = hi; break;
    case 4: r = mid; g = lo; b = hi; break;
    default: r = hi; g = lo; b = mid; break;
  }
  return ((unsigned)r << 16) | ((unsigned)g << 8) | (unsigned)b;
}

#endif
