#include "data/engine_like.h"

#include <cstdint>

namespace EngineLike {

namespace {

const unsigned char kTrans1[] = {
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f,
    0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x1b, 0x1c, 0x1d, 0x1e, 0x1f,
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f,
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x00, 0x01, 0x02, 0x03, 0x00, 0x01, 0x00, 0x00,
};

// One character; a malformed sequence reads as U+FFFD, as in the engine.
uint32_t readChar(Text &t)
{
    if (t.p >= t.end) {
        ++t.p;
        return 0;
    }
    uint32_t c = *t.p++;
    if (c >= 0xc0) {
        c = kTrans1[c - 0xc0];
        while (t.p < t.end && (*t.p & 0xc0) == 0x80)
            c = (c << 6) + (0x3f & *t.p++);
        if (c < 0x80 || (c & 0xFFFFF800u) == 0xD800 || (c & 0xFFFFFFFEu) == 0xFFFE)
            c = 0xFFFD;
    }
    return c;
}

uint32_t lowerAscii(uint32_t c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }
uint32_t upperAscii(uint32_t c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }

// The engine's LIKE with "%", "_", the escape '\' and ASCII-only case folding, step for
// step as the engine walks pattern and text (a character after "%" below 0x81 is looked
// for byte by byte).
bool likeMatch(Text pat, Text str)
{
    const uint32_t matchAll = '%', matchOne = '_', escape = '\\';
    const unsigned char *escaped = nullptr;
    uint32_t c, c2;
    while ((c = readChar(pat)) != 0) {
        if (c == matchAll) {
            while ((c = readChar(pat)) == matchAll || c == matchOne) {
                if (c == matchOne && readChar(str) == 0)
                    return false;
            }
            if (c == 0)
                return true;
            if (c == escape) {
                c = readChar(pat);
                if (c == 0)
                    return false;
            }
            if (c <= 0x80) {
                const uint32_t cx = upperAscii(c);
                c = lowerAscii(c);
                while ((c2 = str.peek()) != 0) {
                    ++str.p;
                    if (c2 != c && c2 != cx)
                        continue;
                    if (likeMatch(pat, str))
                        return true;
                }
            } else {
                while ((c2 = readChar(str)) != 0) {
                    if (c2 != c)
                        continue;
                    if (likeMatch(pat, str))
                        return true;
                }
            }
            return false;
        }
        if (c == escape) {
            c = readChar(pat);
            if (c == 0)
                return false;
            escaped = pat.p;
        }
        c2 = readChar(str);
        if (c == c2)
            continue;
        if (c < 0x80 && c2 < 0x80 && lowerAscii(c) == lowerAscii(c2))
            continue;
        if (c == matchOne && pat.p != escaped && c2 != 0)
            continue;
        return false;
    }
    return str.peek() == 0;
}

} // namespace

bool match(Text pattern, Text text) { return likeMatch(pattern, text); }

} // namespace EngineLike
