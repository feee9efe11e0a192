// Hand-picked encodings whose lengths matter for a detour, and the decoder's
// bounds: it never reports more than 15 and never reads past its limit.
// Windows-free: runs natively (with sanitizers) and under Wine.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <random>
#include <vector>

#include "hooks/InstructionLength.h"

namespace {

using ostrel::instructionLength;

// Length of exactly these bytes, held in a buffer of exactly their size.
int lengthOf(std::initializer_list<std::uint8_t> bytes, int mode = 32) {
  std::vector<std::uint8_t> exact(bytes);
  return instructionLength(exact.data(), exact.size(), mode);
}

TEST(InstructionLength, CommonFunctionEntries32) {
  EXPECT_EQ(lengthOf({0xC3}), 1);                                // RET
  EXPECT_EQ(lengthOf({0xE8, 1, 2, 3, 4}), 5);                    // CALL rel32
  EXPECT_EQ(lengthOf({0x0F, 0x80, 1, 2, 3, 4}), 6);              // JO rel32
  EXPECT_EQ(lengthOf({0x66, 0xB8, 0x34, 0x12}), 4);              // MOV AX, imm16
  EXPECT_EQ(lengthOf({0x55}), 1);                                // PUSH EBP
  EXPECT_EQ(lengthOf({0x8B, 0xEC}), 2);                          // MOV EBP, ESP
  EXPECT_EQ(lengthOf({0x8B, 0xFF}), 2);                          // MOV EDI, EDI
  EXPECT_EQ(lengthOf({0x83, 0xEC, 0x10}), 3);                    // SUB ESP, 16
  EXPECT_EQ(lengthOf({0x81, 0xEC, 0, 1, 0, 0}), 6);              // SUB ESP, 256
  EXPECT_EQ(lengthOf({0x6A, 0xFF}), 2);                          // PUSH -1
  EXPECT_EQ(lengthOf({0x68, 1, 2, 3, 4}), 5);                    // PUSH imm32
  EXPECT_EQ(lengthOf({0x64, 0xA1, 0, 0, 0, 0}), 6);              // MOV EAX, FS:[0]
  EXPECT_EQ(lengthOf({0x8B, 0x44, 0x24, 0x04}), 4);              // MOV EAX, [ESP+4]
  EXPECT_EQ(lengthOf({0x8B, 0x84, 0x24, 1, 2, 3, 4}), 7);        // MOV EAX, [ESP+disp32]
  EXPECT_EQ(lengthOf({0x8B, 0x04, 0x25, 1, 2, 3, 4}), 7);        // MOV EAX, [disp32] via SIB
  EXPECT_EQ(lengthOf({0x8B, 0x0D, 1, 2, 3, 4}), 6);              // MOV ECX, [disp32]
  EXPECT_EQ(lengthOf({0xC7, 0x45, 0xFC, 1, 2, 3, 4}), 7);        // MOV [EBP-4], imm32
  EXPECT_EQ(lengthOf({0x66, 0xC7, 0x45, 0xFC, 1, 2}), 6);        // MOV word [EBP-4], imm16
  EXPECT_EQ(lengthOf({0xF6, 0x45, 0x08, 0x01}), 4);              // TEST byte [EBP+8], 1
  EXPECT_EQ(lengthOf({0xF7, 0x45, 0x08, 1, 2, 3, 4}), 7);        // TEST [EBP+8], imm32
  EXPECT_EQ(lengthOf({0xF7, 0x5D, 0x08}), 3);                    // NEG [EBP+8]: no immediate
  EXPECT_EQ(lengthOf({0xC8, 0x10, 0x00, 0x00}), 4);              // ENTER 16, 0
  EXPECT_EQ(lengthOf({0xC2, 0x08, 0x00}), 3);                    // RET 8
  EXPECT_EQ(lengthOf({0x9A, 1, 2, 3, 4, 5, 6}), 7);              // CALL far ptr16:32
  EXPECT_EQ(lengthOf({0xD9, 0x45, 0x08}), 3);                    // FLD dword [EBP+8]
  EXPECT_EQ(lengthOf({0xDD, 0xD8}), 2);                          // FSTP ST0
  EXPECT_EQ(lengthOf({0x9B, 0xDF, 0xE0}), 3);                    // FSTSW AX (FWAIT taken along)
  EXPECT_EQ(lengthOf({0x9B, 0x90}), 1);                          // FWAIT alone
  EXPECT_EQ(lengthOf({0x0F, 0x0F, 0xC1, 0x9E}), 4);              // PFADD (3DNow!)
  EXPECT_EQ(lengthOf({0x66, 0x0F, 0x3A, 0x0F, 0xC1, 0x08}), 6);  // PALIGNR xmm, xmm, 8
  EXPECT_EQ(lengthOf({0x66, 0x0F, 0x38, 0x00, 0xC1}), 5);        // PSHUFB xmm, xmm
  EXPECT_EQ(lengthOf({0x0F, 0x20, 0x05}), 3);                    // MOV EBP, CR0: mod ignored
}

TEST(InstructionLength, AddressSizePrefixSwitchesTo16BitAddressing) {
  EXPECT_EQ(lengthOf({0x67, 0x8B, 0x06, 0x34, 0x12}), 5);   // MOV EAX, [disp16]
  EXPECT_EQ(lengthOf({0x67, 0x8B, 0x47, 0x10}), 4);         // MOV EAX, [BX+disp8]
  EXPECT_EQ(lengthOf({0x67, 0x8B, 0x87, 0x10, 0x20}), 5);   // MOV EAX, [BX+disp16]
  EXPECT_EQ(lengthOf({0x67, 0x8B, 0x04}), 3);               // MOV EAX, [SI]: no SIB
  EXPECT_EQ(lengthOf({0x67, 0xA1, 0x34, 0x12}), 4);         // MOV EAX, [moffs16]
  EXPECT_EQ(lengthOf({0x67, 0x48, 0xA1, 1, 2, 3, 4}, 64), 7);  // moffs32 in 64-bit code
}

TEST(InstructionLength, LongModeDiffersFrom32BitMode) {
  EXPECT_EQ(lengthOf({0x06}, 64), -1);                      // PUSH ES does not exist
  for (std::uint8_t op : {0x06, 0x07, 0x0E, 0x16, 0x17, 0x1E, 0x1F, 0x27, 0x2F, 0x37, 0x3F, 0x60,
                          0x61, 0xCE, 0xD4, 0xD5}) {
    EXPECT_EQ(lengthOf({op, 0x00, 0x00}, 64), -1) << std::hex << int(op);
    EXPECT_GT(lengthOf({op, 0x00, 0x00}, 32), 0) << std::hex << int(op);
  }
  EXPECT_EQ(lengthOf({0x48}, 32), 1);                                       // DEC EAX
  EXPECT_EQ(lengthOf({0x48, 0x89, 0xE5}, 64), 3);                           // MOV RBP, RSP
  EXPECT_EQ(lengthOf({0x48, 0xB8, 1, 2, 3, 4, 5, 6, 7, 8}, 64), 10);        // MOV RAX, imm64
  EXPECT_EQ(lengthOf({0x48, 0xC7, 0xC0, 1, 2, 3, 4}, 64), 7);               // MOV RAX, simm32
  EXPECT_EQ(lengthOf({0x66, 0x48, 0xB8, 1, 2, 3, 4, 5, 6, 7, 8}, 64), 11);  // REX.W beats 66
  EXPECT_EQ(lengthOf({0x48, 0x8B, 0x05, 1, 2, 3, 4}, 64), 7);               // RIP-relative
  EXPECT_EQ(lengthOf({0x48, 0xA1, 1, 2, 3, 4, 5, 6, 7, 8}, 64), 10);        // moffs64
  EXPECT_EQ(lengthOf({0xA1, 1, 2, 3, 4}, 32), 5);                           // moffs32
  EXPECT_EQ(lengthOf({0x9A, 1, 2, 3, 4, 5, 6}, 64), -1);                    // no far CALL ptr
}

TEST(InstructionLength, VectorPrefixesAndTheirLegacyTwins) {
  // 64-bit code: always VEX / EVEX.
  EXPECT_EQ(lengthOf({0xC5, 0xF8, 0x77}, 64), 3);                          // VZEROUPPER
  EXPECT_EQ(lengthOf({0xC5, 0xFD, 0x6F, 0x44, 0x24, 0x20}, 64), 6);        // VMOVDQA ymm, [rsp+32]
  EXPECT_EQ(lengthOf({0xC4, 0xE3, 0x7D, 0x18, 0xC1, 0x01}, 64), 6);        // VINSERTF128 ..., 1
  EXPECT_EQ(lengthOf({0xC5, 0xF9, 0x70, 0xC1, 0x1B}, 64), 5);              // VPSHUFD with Ib
  EXPECT_EQ(lengthOf({0x62, 0xF1, 0x7C, 0x48, 0x10, 0x44, 0x24, 0x01}, 64), 8);  // VMOVUPS zmm, disp8*N
  EXPECT_EQ(lengthOf({0x62, 0xF3, 0x7D, 0x48, 0x1B, 0xC1, 0x01}, 64), 7);  // VEXTRACTF32X8 Ib
  // 32-bit code: a memory ModRM makes them LES / LDS / BOUND.
  EXPECT_EQ(lengthOf({0xC4, 0x45, 0x08}, 32), 3);              // LES EAX, [EBP+8]
  EXPECT_EQ(lengthOf({0xC5, 0x05, 1, 2, 3, 4}, 32), 6);        // LDS EAX, [disp32]
  EXPECT_EQ(lengthOf({0x62, 0x45, 0x08}, 32), 3);              // BOUND EAX, [EBP+8]
  EXPECT_EQ(lengthOf({0xC5, 0xF8, 0x77}, 32), 3);              // VZEROUPPER
  EXPECT_EQ(lengthOf({0xC4, 0xE2, 0x79, 0x18, 0x45, 0x08}, 32), 6);  // VBROADCASTSS
  EXPECT_EQ(lengthOf({0xC4, 0xE0, 0x7D, 0x10, 0xC0}, 64), -1); // VEX map 0 does not exist
}

TEST(InstructionLength, PrefixRunsStopAtFifteenBytes) {
  std::vector<std::uint8_t> code(14, 0x3E);
  code.push_back(0x90);
  EXPECT_EQ(instructionLength(code.data(), code.size(), 32), 15);  // 14 prefixes + NOP
  std::vector<std::uint8_t> tooMany(15, 0x3E);
  tooMany.push_back(0x90);
  EXPECT_EQ(instructionLength(tooMany.data(), tooMany.size(), 32), -1);
  EXPECT_EQ(instructionLength(tooMany.data(), tooMany.size(), 64), -1);
  // Prefixes that make a legal instruction longer than 15 bytes.
  std::vector<std::uint8_t> longOne(9, 0x2E);
  for (std::uint8_t b : {0x81, 0x84, 0x24, 1, 2, 3, 4, 5, 6, 7, 8}) longOne.push_back(b);
  EXPECT_EQ(instructionLength(longOne.data(), longOne.size(), 32), -1);
  longOne.erase(longOne.begin(), longOne.begin() + 5);  // 4 prefixes: exactly 15
  EXPECT_EQ(instructionLength(longOne.data(), longOne.size(), 32), 15);
}

TEST(InstructionLength, InvalidEncodingsAreRefused) {
  EXPECT_EQ(lengthOf({0xD6}), -1);                    // reserved
  EXPECT_EQ(lengthOf({0xFE, 0xD0}), -1);              // group 4 has only /0 and /1
  EXPECT_EQ(lengthOf({0xFF, 0xFF}), -1);              // group 5 /7
  EXPECT_EQ(lengthOf({0xC6, 0x08, 0x00}), -1);        // group 11 /1
  EXPECT_EQ(lengthOf({0x0F, 0x04}), -1);              // reserved two-byte opcode
  EXPECT_EQ(lengthOf({0x0F, 0x38, 0x50, 0xC0}), -1);  // reserved in map 0F 38
  EXPECT_EQ(lengthOf({0x0F, 0x3A, 0x00, 0xC0, 0x00}), -1);
  EXPECT_EQ(instructionLength(nullptr, 15, 32), -1);
}

TEST(InstructionLength, TruncatedInstructionsAreRefusedNotOverread) {
  const std::vector<std::uint8_t> full = {0x81, 0x84, 0x24, 1, 2, 3, 4, 5, 6, 7, 8};
  for (std::size_t n = 0; n < full.size(); ++n) {
    std::vector<std::uint8_t> cut(full.begin(), full.begin() + static_cast<long>(n));
    EXPECT_EQ(instructionLength(cut.data(), cut.size(), 32), -1) << n;
  }
  EXPECT_EQ(instructionLength(full.data(), full.size(), 32), 11);
}

TEST(InstructionLength, RandomBytesNeverGiveMoreThanFifteenOrReadPastTheLimit) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 200000; ++round) {
    const std::size_t size = 1 + rng() % 16;
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    for (int mode : {32, 64}) {
      const int length = instructionLength(bytes.data(), bytes.size(), mode);
      ASSERT_TRUE(length == -1 || (length >= 1 && length <= static_cast<int>(std::min<std::size_t>(size, 15))))
          << length;
    }
  }
}

}  // namespace
