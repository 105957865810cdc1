/* The ".SHE" skin data format, shared by the engine (C, 32-bit guest code) and the host
 * tools that write it. All numbers are little-endian; skin/README.md describes the
 * format in full. */
#ifndef CORVANE_SHE_FORMAT_H
#define CORVANE_SHE_FORMAT_H

#define SHE_MAGIC_0 '.'
#define SHE_MAGIC_1 'S'
#define SHE_MAGIC_2 'H'
#define SHE_MAGIC_3 'E'
#define SHE_VERSION 1
#define SHE_HEADER_SIZE 32

/* Header fields (byte offsets). */
#define SHE_AT_VERSION 4        /* u16 */
#define SHE_AT_HEADER_SIZE 6    /* u16 */
#define SHE_AT_FILE_SIZE 8      /* u32: header + colours + palette + template */
#define SHE_AT_CHECKSUM 12      /* u32: FNV-1a of the bytes after the header */
#define SHE_AT_PASSWORD 16      /* u32: FNV-1a of the password, 0 for none */
#define SHE_AT_COLOUR_COUNT 20  /* u16, at most SHE_MAX_COLOURS */
#define SHE_AT_PALETTE_COUNT 22 /* u16 */
#define SHE_AT_TEMPLATE_SIZE 24 /* u32 */

#define SHE_MAX_COLOURS 255
#define SHE_COLOUR_SIZE 4  /* R, G, B, flags */
#define SHE_COLOUR_FIXED 0x01 /* hue, saturation and brightness leave it alone */
#define SHE_PALETTE_SIZE 4 /* role, group, colour index, 0 */

/* In the style-sheet template, this byte and the next one (colour index + 1) stand for
 * a colour written as #rrggbb. It never occurs in GBK text. */
#define SHE_COLOUR_MARK 0x01

/* Palette colour groups, as the engine hands them to the host. */
#define SHE_GROUP_ALL 0
#define SHE_GROUP_ACTIVE 1
#define SHE_GROUP_DISABLED 2
#define SHE_GROUP_INACTIVE 3

/* What SkinH_AttachRes returns. */
#define SHE_APPLIED 1
#define SHE_NOT_READY (-1)     /* the entry point has not run (or the engine was detached) */
#define SHE_BAD_DATA (-2)      /* not skin data, damaged or truncated */
#define SHE_BAD_PASSWORD (-3)
#define SHE_TOO_LARGE (-4)     /* the expanded style sheet does not fit the engine */
#define SHE_HOST_REFUSED (-5)  /* the host did not take the style */

#define SHE_HOST_INTERFACE 1   /* what GetHostVersion must answer */

#define SHE_FNV_OFFSET 2166136261u
#define SHE_FNV_PRIME 16777619u

#endif
