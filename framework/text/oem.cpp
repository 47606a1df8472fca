// OEM (code page 437) <-> Windows (code page 1252) conversion with the framework's fix-ups, the
// cached reverse tables, and UTF-8 <-> 1252 through the system's converters. The 437 -> 1252 table is fixed data,
// so results never depend on the machine's locale or on its converters' transliteration.
#include "framework/text/oem.h"

#include <cstring>

#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "platform/system/charset.h"

namespace lumra::text {

TextState g_text{};

namespace {

// OEM bytes 0x80-0xFF in code page 437 -> one code page 1252 byte each. "exact": 1252 has the
// character. "best fit": it does not, and the byte is the look-alike Microsoft's Windows best-fit
// mapping for code page 1252 gives that character (the WCTABLE of bestfit1252.txt, published by
// unicode.org under MAPPINGS/VENDORS/MICSFT/WindowsBestFit/) - what a Windows OEM-to-ANSI call
// produces on a western installation. Generated once from the 437 and 1252 code charts and that
// file; the tests cross-check every exact row against the system's iconv.
constexpr uint8_t kCp437ToCp1252Upper[128] = {
    0xC7,  // 80 Ç U+00C7 Latin Capital Letter C With Cedilla -> Ç, exact
    0xFC,  // 81 ü U+00FC Latin Small Letter U With Diaeresis -> ü, exact
    0xE9,  // 82 é U+00E9 Latin Small Letter E With Acute -> é, exact
    0xE2,  // 83 â U+00E2 Latin Small Letter A With Circumflex -> â, exact
    0xE4,  // 84 ä U+00E4 Latin Small Letter A With Diaeresis -> ä, exact
    0xE0,  // 85 à U+00E0 Latin Small Letter A With Grave -> à, exact
    0xE5,  // 86 å U+00E5 Latin Small Letter A With Ring Above -> å, exact
    0xE7,  // 87 ç U+00E7 Latin Small Letter C With Cedilla -> ç, exact
    0xEA,  // 88 ê U+00EA Latin Small Letter E With Circumflex -> ê, exact
    0xEB,  // 89 ë U+00EB Latin Small Letter E With Diaeresis -> ë, exact
    0xE8,  // 8A è U+00E8 Latin Small Letter E With Grave -> è, exact
    0xEF,  // 8B ï U+00EF Latin Small Letter I With Diaeresis -> ï, exact
    0xEE,  // 8C î U+00EE Latin Small Letter I With Circumflex -> î, exact
    0xEC,  // 8D ì U+00EC Latin Small Letter I With Grave -> ì, exact
    0xC4,  // 8E Ä U+00C4 Latin Capital Letter A With Diaeresis -> Ä, exact
    0xC5,  // 8F Å U+00C5 Latin Capital Letter A With Ring Above -> Å, exact
    0xC9,  // 90 É U+00C9 Latin Capital Letter E With Acute -> É, exact
    0xE6,  // 91 æ U+00E6 Latin Small Letter Ae -> æ, exact
    0xC6,  // 92 Æ U+00C6 Latin Capital Letter Ae -> Æ, exact
    0xF4,  // 93 ô U+00F4 Latin Small Letter O With Circumflex -> ô, exact
    0xF6,  // 94 ö U+00F6 Latin Small Letter O With Diaeresis -> ö, exact
    0xF2,  // 95 ò U+00F2 Latin Small Letter O With Grave -> ò, exact
    0xFB,  // 96 û U+00FB Latin Small Letter U With Circumflex -> û, exact
    0xF9,  // 97 ù U+00F9 Latin Small Letter U With Grave -> ù, exact
    0xFF,  // 98 ÿ U+00FF Latin Small Letter Y With Diaeresis -> ÿ, exact
    0xD6,  // 99 Ö U+00D6 Latin Capital Letter O With Diaeresis -> Ö, exact
    0xDC,  // 9A Ü U+00DC Latin Capital Letter U With Diaeresis -> Ü, exact
    0xA2,  // 9B ¢ U+00A2 Cent Sign -> ¢, exact
    0xA3,  // 9C £ U+00A3 Pound Sign -> £, exact
    0xA5,  // 9D ¥ U+00A5 Yen Sign -> ¥, exact
    0x50,  // 9E ₧ U+20A7 Peseta Sign -> P, best fit (bestfit1252)
    0x83,  // 9F ƒ U+0192 Latin Small Letter F With Hook -> ƒ, exact
    0xE1,  // A0 á U+00E1 Latin Small Letter A With Acute -> á, exact
    0xED,  // A1 í U+00ED Latin Small Letter I With Acute -> í, exact
    0xF3,  // A2 ó U+00F3 Latin Small Letter O With Acute -> ó, exact
    0xFA,  // A3 ú U+00FA Latin Small Letter U With Acute -> ú, exact
    0xF1,  // A4 ñ U+00F1 Latin Small Letter N With Tilde -> ñ, exact
    0xD1,  // A5 Ñ U+00D1 Latin Capital Letter N With Tilde -> Ñ, exact
    0xAA,  // A6 ª U+00AA Feminine Ordinal Indicator -> ª, exact
    0xBA,  // A7 º U+00BA Masculine Ordinal Indicator -> º, exact
    0xBF,  // A8 ¿ U+00BF Inverted Question Mark -> ¿, exact
    0xAC,  // A9 ⌐ U+2310 Reversed Not Sign -> ¬, best fit (bestfit1252)
    0xAC,  // AA ¬ U+00AC Not Sign -> ¬, exact
    0xBD,  // AB ½ U+00BD Vulgar Fraction One Half -> ½, exact
    0xBC,  // AC ¼ U+00BC Vulgar Fraction One Quarter -> ¼, exact
    0xA1,  // AD ¡ U+00A1 Inverted Exclamation Mark -> ¡, exact
    0xAB,  // AE « U+00AB Left-Pointing Double Angle Quotation Mark -> «, exact
    0xBB,  // AF » U+00BB Right-Pointing Double Angle Quotation Mark -> », exact
    0xA6,  // B0 ░ U+2591 Light Shade -> ¦, best fit (bestfit1252)
    0xA6,  // B1 ▒ U+2592 Medium Shade -> ¦, best fit (bestfit1252)
    0xA6,  // B2 ▓ U+2593 Dark Shade -> ¦, best fit (bestfit1252)
    0xA6,  // B3 │ U+2502 Box Light Vertical -> ¦, best fit (bestfit1252)
    0xA6,  // B4 ┤ U+2524 Box Light Vertical And Left -> ¦, best fit (bestfit1252)
    0xA6,  // B5 ╡ U+2561 Box Vertical Single And Left Double -> ¦, best fit (bestfit1252)
    0xA6,  // B6 ╢ U+2562 Box Vertical Double And Left Single -> ¦, best fit (bestfit1252)
    0x2B,  // B7 ╖ U+2556 Box Down Double And Left Single -> +, best fit (bestfit1252)
    0x2B,  // B8 ╕ U+2555 Box Down Single And Left Double -> +, best fit (bestfit1252)
    0xA6,  // B9 ╣ U+2563 Box Double Vertical And Left -> ¦, best fit (bestfit1252)
    0xA6,  // BA ║ U+2551 Box Double Vertical -> ¦, best fit (bestfit1252)
    0x2B,  // BB ╗ U+2557 Box Double Down And Left -> +, best fit (bestfit1252)
    0x2B,  // BC ╝ U+255D Box Double Up And Left -> +, best fit (bestfit1252)
    0x2B,  // BD ╜ U+255C Box Up Double And Left Single -> +, best fit (bestfit1252)
    0x2B,  // BE ╛ U+255B Box Up Single And Left Double -> +, best fit (bestfit1252)
    0x2B,  // BF ┐ U+2510 Box Light Down And Left -> +, best fit (bestfit1252)
    0x2B,  // C0 └ U+2514 Box Light Up And Right -> +, best fit (bestfit1252)
    0x2D,  // C1 ┴ U+2534 Box Light Up And Horizontal -> -, best fit (bestfit1252)
    0x2D,  // C2 ┬ U+252C Box Light Down And Horizontal -> -, best fit (bestfit1252)
    0x2B,  // C3 ├ U+251C Box Light Vertical And Right -> +, best fit (bestfit1252)
    0x2D,  // C4 ─ U+2500 Box Light Horizontal -> -, best fit (bestfit1252)
    0x2B,  // C5 ┼ U+253C Box Light Vertical And Horizontal -> +, best fit (bestfit1252)
    0xA6,  // C6 ╞ U+255E Box Vertical Single And Right Double -> ¦, best fit (bestfit1252)
    0xA6,  // C7 ╟ U+255F Box Vertical Double And Right Single -> ¦, best fit (bestfit1252)
    0x2B,  // C8 ╚ U+255A Box Double Up And Right -> +, best fit (bestfit1252)
    0x2B,  // C9 ╔ U+2554 Box Double Down And Right -> +, best fit (bestfit1252)
    0x2D,  // CA ╩ U+2569 Box Double Up And Horizontal -> -, best fit (bestfit1252)
    0x2D,  // CB ╦ U+2566 Box Double Down And Horizontal -> -, best fit (bestfit1252)
    0xA6,  // CC ╠ U+2560 Box Double Vertical And Right -> ¦, best fit (bestfit1252)
    0x2D,  // CD ═ U+2550 Box Double Horizontal -> -, best fit (bestfit1252)
    0x2B,  // CE ╬ U+256C Box Double Vertical And Horizontal -> +, best fit (bestfit1252)
    0x2D,  // CF ╧ U+2567 Box Up Single And Horizontal Double -> -, best fit (bestfit1252)
    0x2D,  // D0 ╨ U+2568 Box Up Double And Horizontal Single -> -, best fit (bestfit1252)
    0x2D,  // D1 ╤ U+2564 Box Down Single And Horizontal Double -> -, best fit (bestfit1252)
    0x2D,  // D2 ╥ U+2565 Box Down Double And Horizontal Single -> -, best fit (bestfit1252)
    0x2B,  // D3 ╙ U+2559 Box Up Double And Right Single -> +, best fit (bestfit1252)
    0x2B,  // D4 ╘ U+2558 Box Up Single And Right Double -> +, best fit (bestfit1252)
    0x2B,  // D5 ╒ U+2552 Box Down Single And Right Double -> +, best fit (bestfit1252)
    0x2B,  // D6 ╓ U+2553 Box Down Double And Right Single -> +, best fit (bestfit1252)
    0x2B,  // D7 ╫ U+256B Box Vertical Double And Horizontal Single -> +, best fit (bestfit1252)
    0x2B,  // D8 ╪ U+256A Box Vertical Single And Horizontal Double -> +, best fit (bestfit1252)
    0x2B,  // D9 ┘ U+2518 Box Light Up And Left -> +, best fit (bestfit1252)
    0x2B,  // DA ┌ U+250C Box Light Down And Right -> +, best fit (bestfit1252)
    0xA6,  // DB █ U+2588 Full Block -> ¦, best fit (bestfit1252)
    0x5F,  // DC ▄ U+2584 Lower Half Block -> _, best fit (bestfit1252)
    0xA6,  // DD ▌ U+258C Left Half Block -> ¦, best fit (bestfit1252)
    0xA6,  // DE ▐ U+2590 Right Half Block -> ¦, best fit (bestfit1252)
    0xAF,  // DF ▀ U+2580 Upper Half Block -> ¯, best fit (bestfit1252)
    0x61,  // E0 α U+03B1 Greek Small Letter Alpha -> a, best fit (bestfit1252)
    0xDF,  // E1 ß U+00DF Latin Small Letter Sharp S -> ß, exact
    0x47,  // E2 Γ U+0393 Greek Capital Letter Gamma -> G, best fit (bestfit1252)
    0x70,  // E3 π U+03C0 Greek Small Letter Pi -> p, best fit (bestfit1252)
    0x53,  // E4 Σ U+03A3 Greek Capital Letter Sigma -> S, best fit (bestfit1252)
    0x73,  // E5 σ U+03C3 Greek Small Letter Sigma -> s, best fit (bestfit1252)
    0xB5,  // E6 µ U+00B5 Micro Sign -> µ, exact
    0x74,  // E7 τ U+03C4 Greek Small Letter Tau -> t, best fit (bestfit1252)
    0x46,  // E8 Φ U+03A6 Greek Capital Letter Phi -> F, best fit (bestfit1252)
    0x54,  // E9 Θ U+0398 Greek Capital Letter Theta -> T, best fit (bestfit1252)
    0x4F,  // EA Ω U+03A9 Greek Capital Letter Omega -> O, best fit (bestfit1252)
    0x64,  // EB δ U+03B4 Greek Small Letter Delta -> d, best fit (bestfit1252)
    0x38,  // EC ∞ U+221E Infinity -> 8, best fit (bestfit1252)
    0x66,  // ED φ U+03C6 Greek Small Letter Phi -> f, best fit (bestfit1252)
    0x65,  // EE ε U+03B5 Greek Small Letter Epsilon -> e, best fit (bestfit1252)
    0x6E,  // EF ∩ U+2229 Intersection -> n, best fit (bestfit1252)
    0x3D,  // F0 ≡ U+2261 Identical To -> =, best fit (bestfit1252)
    0xB1,  // F1 ± U+00B1 Plus-Minus Sign -> ±, exact
    0x3D,  // F2 ≥ U+2265 Greater-Than Or Equal To -> =, best fit (bestfit1252)
    0x3D,  // F3 ≤ U+2264 Less-Than Or Equal To -> =, best fit (bestfit1252)
    0x28,  // F4 ⌠ U+2320 Top Half Integral -> (, best fit (bestfit1252)
    0x29,  // F5 ⌡ U+2321 Bottom Half Integral -> ), best fit (bestfit1252)
    0xF7,  // F6 ÷ U+00F7 Division Sign -> ÷, exact
    0x98,  // F7 ≈ U+2248 Almost Equal To -> ˜, best fit (bestfit1252)
    0xB0,  // F8 ° U+00B0 Degree Sign -> °, exact
    0xB7,  // F9 ∙ U+2219 Bullet Operator -> ·, best fit (bestfit1252)
    0xB7,  // FA · U+00B7 Middle Dot -> ·, exact
    0x76,  // FB √ U+221A Square Root -> v, best fit (bestfit1252)
    0x6E,  // FC ⁿ U+207F Superscript Latin Small Letter N -> n, best fit (bestfit1252)
    0xB2,  // FD ² U+00B2 Superscript Two -> ², exact
    0xA6,  // FE ■ U+25A0 Black Square -> ¦, best fit (bestfit1252)
    0xA0,  // FF   U+00A0 No-Break Space -> NBSP, exact
};

struct Fixup {
  uint8_t oem;
  uint8_t windows;
};

// The framework's own code points: where its texts put a character the 437 chart lacks (the euro,
// the capital grave vowels on the shade and box bytes 176-180, ×, ...). These override the table.
constexpr Fixup kFixups[] = {
    {128, 128}, {155, 248}, {157, 216}, {158, 215}, {169, 174}, {176, 192}, {177, 200},
    {178, 204}, {179, 210}, {180, 217}, {184, 169}, {198, 227}, {199, 195}, {228, 245},
    {229, 213}, {243, 190}, {249, 168}, {251, 185}, {252, 179},
};
static_assert(sizeof(kFixups) / sizeof(kFixups[0]) == 19);

struct ByteTable {
  uint8_t at[256];
};

constexpr ByteTable make_system_table() {
  ByteTable t{};
  for (int b = 0; b < 128; ++b) t.at[b] = static_cast<uint8_t>(b);
  for (int b = 128; b < 256; ++b) t.at[b] = kCp437ToCp1252Upper[b - 128];
  return t;
}

// Overwriting each fixed-up byte after the system mapping is a per-byte rule, so it folds into one
// table and a conversion is a single lookup per byte.
constexpr ByteTable make_forward_table() {
  ByteTable t = make_system_table();
  for (const Fixup& f : kFixups) t.at[f.oem] = f.windows;
  return t;
}

constexpr ByteTable kSystemTable = make_system_table();
constexpr ByteTable kForwardTable = make_forward_table();
static_assert(kForwardTable.at[176] == 192 && kForwardTable.at[0xE0] == 'a');

// Every language setting converts the same way here (there is one OEM code page); the setting
// only keys the cache, as it would with several.
void build_reverse_table(int32_t language, ReverseTable* t) {
  std::memset(t->oem, 0, sizeof(t->oem));
  for (int c = 0; c < 32; ++c) t->oem[c] = static_cast<uint8_t>(c);
  for (int c = 32; c < 256; ++c) {
    const uint8_t w = oem_char_to_windows(static_cast<uint8_t>(c));
    if (t->oem[w] == 0) t->oem[w] = static_cast<uint8_t>(c);  // the first OEM code wins
  }
  t->language = language;
}

ReverseTable* cached_reverse_table() {
  const int32_t language = g_text.language;
  if (g_text.current && g_text.current->language == language) return g_text.current;
  base::DynArray* cache = &g_text.reverse_tables;
  if (!cache->element_size) base::array_setup(cache, sizeof(ReverseTable));
  uint8_t* at = nullptr;
  while (base::array_next(cache, &at)) {
    auto* t = reinterpret_cast<ReverseTable*>(at);
    if (t->language == language) return g_text.current = t;
  }
  // Appending may move the records, so `current` is only ever taken after the append.
  auto* t = static_cast<ReverseTable*>(base::array_append(cache));
  if (!t) return base::fail("no memory for the Windows-to-OEM table");
  build_reverse_table(language, t);
  return g_text.current = t;
}

uint8_t reverse_lookup(const ReverseTable& t, uint8_t windows) {
  const uint8_t oem = t.oem[windows];
  // Entry 0 is "none" for every code but NUL itself, which the string form carries through.
  return oem || windows == 0 ? oem : static_cast<uint8_t>(' ');
}

// Runs `convert` with the cached table, or with one built on the stack when the cache cannot grow.
template <class Convert>
void with_reverse_table(Convert convert) {
  if (const ReverseTable* t = cached_reverse_table()) {
    convert(*t);
    return;
  }
  ReverseTable local;
  build_reverse_table(g_text.language, &local);
  convert(local);
}

// ---- UTF-8 edges ----

constexpr int32_t kInvalid = -1;

struct Utf8Step {
  size_t length;  // bytes consumed, at least 1
  int32_t code;   // the code point, or kInvalid for one maximal ill-formed piece
};

// Well-formed UTF-8 as Unicode defines it (no overlongs, surrogates or code points past
// U+10FFFF). An ill-formed piece ends at the first byte that cannot continue the sequence, so each
// bad piece becomes exactly one replacement and the next good character is never swallowed.
Utf8Step decode_utf8(const uint8_t* p, size_t left) {
  const uint8_t b = p[0];
  if (b < 0x80) return {1, b};
  size_t need = 0;
  uint8_t lo = 0x80, hi = 0xBF;
  int32_t code = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    need = 1;
    code = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    need = 2;
    code = b & 0x0F;
    if (b == 0xE0) lo = 0xA0;  // overlong below U+0800
    if (b == 0xED) hi = 0x9F;  // surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    need = 3;
    code = b & 0x07;
    if (b == 0xF0) lo = 0x90;  // overlong below U+10000
    if (b == 0xF4) hi = 0x8F;  // past U+10FFFF
  } else {
    return {1, kInvalid};
  }
  size_t i = 1;
  for (; i <= need; ++i) {
    if (i >= left || p[i] < lo || p[i] > hi) return {i, kInvalid};
    code = (code << 6) | (p[i] & 0x3F);
    lo = 0x80;
    hi = 0xBF;
  }
  return {i, code};
}

// 1252 leaves these undefined and glibc's CP1252 refuses them; Windows' own converters carry them
// as the C1 controls of the same number, and so do we.
bool is_cp1252_hole(uint32_t code) {
  return code == 0x81 || code == 0x8D || code == 0x8F || code == 0x90 || code == 0x9D;
}

// Converts `in` through the system, and where it stops at a piece it cannot convert, `recover`
// appends a replacement and returns how many input bytes it used (at least one); the conversion
// goes on after them. False, with nothing appended, when the system has no converter.
template <class Recover>
bool convert_replacing(sys::Charset from, sys::Charset to, std::string_view in, std::string* out, Recover recover) {
  do {
    const int64_t used = sys::convert_charset(from, to, in, out);
    if (used < 0) return false;
    in.remove_prefix(static_cast<size_t>(used));
    if (!in.empty()) in.remove_prefix(recover(reinterpret_cast<const uint8_t*>(in.data()), in.size(), out));
  } while (!in.empty());
  return true;
}

void append_utf8(std::string* out, uint32_t code) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

constexpr uint32_t kReplacementCharacter = 0xFFFD;

}  // namespace

uint8_t system_oem_to_windows(uint8_t oem) { return kSystemTable.at[oem]; }

uint8_t oem_char_to_windows(uint8_t oem) { return kForwardTable.at[oem]; }

uint8_t windows_char_to_oem(uint8_t windows) {
  uint8_t oem = 0;
  with_reverse_table([&](const ReverseTable& t) { oem = reverse_lookup(t, windows); });
  return oem;
}

void oem_to_windows(char* destination, const char* source) {
  if (!destination || !source) return;
  size_t i = 0;
  for (; source[i]; ++i) {
    destination[i] = static_cast<char>(kForwardTable.at[static_cast<uint8_t>(source[i])]);
  }
  destination[i] = '\0';
}

int oem_to_windows_in_place(char* destination, const char* source) {
  if (!destination) return base::fail("no text to convert");
  if (source && source != destination) {
    oem_to_windows(destination, source);
    return 1;
  }
  const size_t size = std::strlen(destination) + 1;
  if (size == 1) return 1;  // an empty text stays empty without touching the heap
  auto* copy = static_cast<char*>(base::heap_alloc(size));
  if (!copy) return base::fail("no memory to convert the text in place");
  std::memcpy(copy, destination, size);
  oem_to_windows(destination, copy);
  base::heap_free(copy);
  return 1;
}

void windows_to_oem(char* destination, const char* source) {
  if (!destination) return;
  if (!source) source = destination;
  with_reverse_table([&](const ReverseTable& t) {
    size_t i = 0;
    for (; source[i]; ++i) {
      destination[i] = static_cast<char>(reverse_lookup(t, static_cast<uint8_t>(source[i])));
    }
    destination[i] = '\0';
  });
}

std::string oem_to_windows(std::string_view oem) {
  std::string out(oem.size(), '\0');
  for (size_t i = 0; i < oem.size(); ++i) {
    out[i] = static_cast<char>(kForwardTable.at[static_cast<uint8_t>(oem[i])]);
  }
  return out;
}

std::string windows_to_oem(std::string_view windows) {
  std::string out(windows.size(), '\0');
  with_reverse_table([&](const ReverseTable& t) {
    for (size_t i = 0; i < windows.size(); ++i) {
      out[i] = static_cast<char>(reverse_lookup(t, static_cast<uint8_t>(windows[i])));
    }
  });
  return out;
}

int font_charset() { return kDefaultCharset; }

void arithmetic_symbols(int charset, char out[2]) {
  if (!out) return;
  if (charset < 2) {
    out[0] = static_cast<char>(158);
    out[1] = static_cast<char>(246);
  } else {
    // Fonts of other sets place their own glyphs on 0xD7/0xF7; ASCII means the same in all.
    out[0] = 'x';
    out[1] = '/';
  }
}

void text_cleanup() {
  base::array_release(&g_text.reverse_tables);
  g_text.current = nullptr;
  sys::release_charset_converters();
}

void text_reset() {
  text_cleanup();
  g_text.language = 0;
}

int utf8_to_windows(std::string_view utf8, std::string* out) {
  out->clear();
  out->reserve(utf8.size());
  const auto replace = [](const uint8_t* p, size_t left, std::string* o) {
    const Utf8Step s = decode_utf8(p, left);
    o->push_back(s.code != kInvalid && is_cp1252_hole(static_cast<uint32_t>(s.code))
                     ? static_cast<char>(s.code)
                     : '?');
    return s.length;
  };
  if (convert_replacing(sys::Charset::kUtf8, sys::Charset::kWindows1252, utf8, out, replace)) return 1;
  for (size_t i = 0; i < utf8.size();) {
    const Utf8Step s = decode_utf8(reinterpret_cast<const uint8_t*>(utf8.data()) + i, utf8.size() - i);
    out->push_back(s.code >= 0 && s.code < 0x80 ? static_cast<char>(s.code) : '?');
    i += s.length;
  }
  return base::fail("the system has no UTF-8 to CP1252 converter");
}

std::string utf8_to_windows(std::string_view utf8) {
  std::string out;
  utf8_to_windows(utf8, &out);
  return out;
}

int windows_to_utf8(std::string_view windows, std::string* out) {
  out->clear();
  out->reserve(windows.size());
  const auto replace = [](const uint8_t* p, size_t, std::string* o) {
    append_utf8(o, is_cp1252_hole(*p) ? *p : kReplacementCharacter);
    return size_t{1};
  };
  if (convert_replacing(sys::Charset::kWindows1252, sys::Charset::kUtf8, windows, out, replace)) return 1;
  for (const char c : windows) {
    const auto b = static_cast<uint8_t>(c);
    append_utf8(out, b < 0x80 ? b : kReplacementCharacter);
  }
  return base::fail("the system has no CP1252 to UTF-8 converter");
}

std::string windows_to_utf8(std::string_view windows) {
  std::string out;
  windows_to_utf8(windows, &out);
  return out;
}

}  // namespace lumra::text
