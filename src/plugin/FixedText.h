#pragma once
// Fixed texts of the plug-in (file, section and key names, log lines, part
// names...) are kept enciphered in the binary so that a look at the DLL does
// not show them. FT("text") yields a const char* to the plain text, deciphered
// once per thread on first use and valid for the life of that thread.
//
// Windows-free: usable from the native build too.

#include <cstddef>
#include <cstdint>

namespace ostrel::fixedtext {

// A small keystream: each text gets its own seed from its position in the
// source, so equal texts in different places do not look alike either.
constexpr std::uint8_t keyByte(std::uint32_t seed, std::size_t i) {
  std::uint32_t x = seed ^ (0x9E3779B9u * static_cast<std::uint32_t>(i + 1));
  x ^= x >> 15;
  x *= 0x2C1B3C6Du;
  x ^= x >> 12;
  x *= 0x297A2D39u;
  x ^= x >> 15;
  return static_cast<std::uint8_t>(x);
}

template <std::size_t N>
struct Enciphered {
  std::uint8_t bytes[N]{};
  std::uint32_t seed;
  consteval Enciphered(const char (&text)[N], std::uint32_t s) : seed(s) {
    for (std::size_t i = 0; i < N; ++i)
      bytes[i] = static_cast<std::uint8_t>(static_cast<std::uint8_t>(text[i]) ^ keyByte(s, i));
  }
};

template <std::size_t N>
struct Deciphered {
  char text[N];
  explicit Deciphered(const Enciphered<N>& e) {
    for (std::size_t i = 0; i < N; ++i)
      text[i] = static_cast<char>(e.bytes[i] ^ keyByte(e.seed, i));
  }
};

constexpr std::uint32_t seedFor(std::uint32_t line, std::uint32_t counter) {
  return 0xA5C3F00Du ^ (line * 2654435761u) ^ (counter * 40503u);
}

}  // namespace ostrel::fixedtext

// The enciphered bytes are a constant expression, so the plain literal never
// reaches the object file; thread_local gives each thread its own copy.
#define FT(literal)                                                                        \
  ([]() -> const char* {                                                                   \
    static constexpr ::ostrel::fixedtext::Enciphered<sizeof(literal)> enciphered_(         \
        literal, ::ostrel::fixedtext::seedFor(__LINE__, __COUNTER__));                     \
    thread_local const ::ostrel::fixedtext::Deciphered<sizeof(literal)> plain_(enciphered_); \
    return plain_.text;                                                                    \
  }())

// FT_FN("text"): a plain function that yields FT("text"). A constexpr table
// holds these, since the deciphered text itself exists only per thread, once
// a call on that thread made it.
#define FT_FN(literal) (+[]() -> const char* { return FT(literal); })
