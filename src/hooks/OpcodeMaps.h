#pragma once
// The four x86 opcode maps as the length decoder sees them: for every opcode,
// which bytes follow it. Legacy (non-VEX) encodings; VEX, EVEX and XOP
// instructions are sized by the decoder from their map number.
//
// Windows-free. Included only by InstructionLength.cpp.
#include <cstdint>

namespace ostrel::x86 {

// What follows an opcode byte. Ib/Iw/Iz/Iv: immediate of 1, 2, 2-or-4 (by
// operand size) or 2-4-8 bytes; Jb/Jz: relative displacement; Rm: ModRM
// (with SIB and displacement as it asks).
enum Form : std::uint8_t {
  Bad,      // no such instruction
  None,     // the opcode alone
  Rm,       // ModRM
  RmIb,     // ModRM, Ib
  RmIz,     // ModRM, Iz
  Ib,
  Iw,
  Iz,
  Iv,       // MOV r, imm: eight bytes with REX.W
  IwIb,     // ENTER
  Jb,
  Jz,
  Ap,       // far pointer: Iz then a 16-bit selector
  Ob,       // memory offset of the address size
  Prefix,   // legacy prefix
  RexOr1,   // REX in 64-bit code, INC/DEC otherwise
  Esc0F,    // into the two-byte map
  Esc38,    // into map 0F 38
  Esc3A,    // into map 0F 3A
  Now3D,    // 0F 0F: ModRM, then the operation byte
  Grp3b,    // F6: TEST (/0, /1) takes Ib
  Grp3z,    // F7: TEST (/0, /1) takes Iz
  Grp11b,   // C6: only /0 (MOV) and F8 (XABORT), both with Ib
  Grp11z,   // C7: only /0 (MOV, Iz) and F8 (XBEGIN, Jz)
  Grp4,     // FE: only /0 and /1
  Grp5,     // FF: /0 to /6
  Grp1A,    // 8F: POP Ev, or an XOP prefix when the map field is 8 or more
  X87,      // D8-DF: ModRM
  Vex3,     // C4: VEX, or LES with a memory operand in 32-bit code
  Vex2,     // C5: VEX, or LDS with a memory operand in 32-bit code
  Evex,     // 62: EVEX, or BOUND with a memory operand in 32-bit code
  MovCr,    // 0F 20-23: ModRM always names registers, whatever its mod bits
  SseImm2,  // 0F 78: two Ib after the ModRM with a 66 or F2 prefix
};

inline constexpr Form kOneByteMap[256] = {
    /* 00 */ Rm,      // ADD Eb, Gb
    /* 01 */ Rm,      // ADD Ev, Gv
    /* 02 */ Rm,      // ADD Gb, Eb
    /* 03 */ Rm,      // ADD Gv, Ev
    /* 04 */ Ib,      // ADD AL, Ib
    /* 05 */ Iz,      // ADD eAX, Iz
    /* 06 */ None,    // PUSH ES (not in 64-bit code)
    /* 07 */ None,    // POP ES (not in 64-bit code)
    /* 08 */ Rm,      // OR Eb, Gb
    /* 09 */ Rm,      // OR Ev, Gv
    /* 0A */ Rm,      // OR Gb, Eb
    /* 0B */ Rm,      // OR Gv, Ev
    /* 0C */ Ib,      // OR AL, Ib
    /* 0D */ Iz,      // OR eAX, Iz
    /* 0E */ None,    // PUSH CS (not in 64-bit code)
    /* 0F */ Esc0F,   // two-byte opcode map
    /* 10 */ Rm,      // ADC Eb, Gb
    /* 11 */ Rm,      // ADC Ev, Gv
    /* 12 */ Rm,      // ADC Gb, Eb
    /* 13 */ Rm,      // ADC Gv, Ev
    /* 14 */ Ib,      // ADC AL, Ib
    /* 15 */ Iz,      // ADC eAX, Iz
    /* 16 */ None,    // PUSH SS (not in 64-bit code)
    /* 17 */ None,    // POP SS (not in 64-bit code)
    /* 18 */ Rm,      // SBB Eb, Gb
    /* 19 */ Rm,      // SBB Ev, Gv
    /* 1A */ Rm,      // SBB Gb, Eb
    /* 1B */ Rm,      // SBB Gv, Ev
    /* 1C */ Ib,      // SBB AL, Ib
    /* 1D */ Iz,      // SBB eAX, Iz
    /* 1E */ None,    // PUSH DS (not in 64-bit code)
    /* 1F */ None,    // POP DS (not in 64-bit code)
    /* 20 */ Rm,      // AND Eb, Gb
    /* 21 */ Rm,      // AND Ev, Gv
    /* 22 */ Rm,      // AND Gb, Eb
    /* 23 */ Rm,      // AND Gv, Ev
    /* 24 */ Ib,      // AND AL, Ib
    /* 25 */ Iz,      // AND eAX, Iz
    /* 26 */ Prefix,  // ES segment prefix
    /* 27 */ None,    // DAA (not in 64-bit code)
    /* 28 */ Rm,      // SUB Eb, Gb
    /* 29 */ Rm,      // SUB Ev, Gv
    /* 2A */ Rm,      // SUB Gb, Eb
    /* 2B */ Rm,      // SUB Gv, Ev
    /* 2C */ Ib,      // SUB AL, Ib
    /* 2D */ Iz,      // SUB eAX, Iz
    /* 2E */ Prefix,  // CS segment prefix / branch hint
    /* 2F */ None,    // DAS (not in 64-bit code)
    /* 30 */ Rm,      // XOR Eb, Gb
    /* 31 */ Rm,      // XOR Ev, Gv
    /* 32 */ Rm,      // XOR Gb, Eb
    /* 33 */ Rm,      // XOR Gv, Ev
    /* 34 */ Ib,      // XOR AL, Ib
    /* 35 */ Iz,      // XOR eAX, Iz
    /* 36 */ Prefix,  // SS segment prefix
    /* 37 */ None,    // AAA (not in 64-bit code)
    /* 38 */ Rm,      // CMP Eb, Gb
    /* 39 */ Rm,      // CMP Ev, Gv
    /* 3A */ Rm,      // CMP Gb, Eb
    /* 3B */ Rm,      // CMP Gv, Ev
    /* 3C */ Ib,      // CMP AL, Ib
    /* 3D */ Iz,      // CMP eAX, Iz
    /* 3E */ Prefix,  // DS segment prefix / branch hint
    /* 3F */ None,    // AAS (not in 64-bit code)
    /* 40 */ RexOr1,  // INC EAX / REX
    /* 41 */ RexOr1,  // INC ECX / REX.B
    /* 42 */ RexOr1,  // INC EDX / REX.X
    /* 43 */ RexOr1,  // INC EBX / REX.XB
    /* 44 */ RexOr1,  // INC ESP / REX.R
    /* 45 */ RexOr1,  // INC EBP / REX.RB
    /* 46 */ RexOr1,  // INC ESI / REX.RX
    /* 47 */ RexOr1,  // INC EDI / REX.RXB
    /* 48 */ RexOr1,  // DEC EAX / REX.W
    /* 49 */ RexOr1,  // DEC ECX / REX.WB
    /* 4A */ RexOr1,  // DEC EDX / REX.WX
    /* 4B */ RexOr1,  // DEC EBX / REX.WXB
    /* 4C */ RexOr1,  // DEC ESP / REX.WR
    /* 4D */ RexOr1,  // DEC EBP / REX.WRB
    /* 4E */ RexOr1,  // DEC ESI / REX.WRX
    /* 4F */ RexOr1,  // DEC EDI / REX.WRXB
    /* 50 */ None,    // PUSH EAX
    /* 51 */ None,    // PUSH ECX
    /* 52 */ None,    // PUSH EDX
    /* 53 */ None,    // PUSH EBX
    /* 54 */ None,    // PUSH ESP
    /* 55 */ None,    // PUSH EBP
    /* 56 */ None,    // PUSH ESI
    /* 57 */ None,    // PUSH EDI
    /* 58 */ None,    // POP EAX
    /* 59 */ None,    // POP ECX
    /* 5A */ None,    // POP EDX
    /* 5B */ None,    // POP EBX
    /* 5C */ None,    // POP ESP
    /* 5D */ None,    // POP EBP
    /* 5E */ None,    // POP ESI
    /* 5F */ None,    // POP EDI
    /* 60 */ None,    // PUSHA (not in 64-bit code)
    /* 61 */ None,    // POPA (not in 64-bit code)
    /* 62 */ Evex,    // BOUND Gv, Ma / EVEX prefix
    /* 63 */ Rm,      // ARPL Ew, Gw / MOVSXD Gv, Ed
    /* 64 */ Prefix,  // FS segment prefix
    /* 65 */ Prefix,  // GS segment prefix
    /* 66 */ Prefix,  // operand-size prefix
    /* 67 */ Prefix,  // address-size prefix
    /* 68 */ Iz,      // PUSH Iz
    /* 69 */ RmIz,    // IMUL Gv, Ev, Iz
    /* 6A */ Ib,      // PUSH Ib
    /* 6B */ RmIb,    // IMUL Gv, Ev, Ib
    /* 6C */ None,    // INSB
    /* 6D */ None,    // INSD
    /* 6E */ None,    // OUTSB
    /* 6F */ None,    // OUTSD
    /* 70 */ Jb,      // JO Jb
    /* 71 */ Jb,      // JNO Jb
    /* 72 */ Jb,      // JB Jb
    /* 73 */ Jb,      // JAE Jb
    /* 74 */ Jb,      // JE Jb
    /* 75 */ Jb,      // JNE Jb
    /* 76 */ Jb,      // JBE Jb
    /* 77 */ Jb,      // JA Jb
    /* 78 */ Jb,      // JS Jb
    /* 79 */ Jb,      // JNS Jb
    /* 7A */ Jb,      // JP Jb
    /* 7B */ Jb,      // JNP Jb
    /* 7C */ Jb,      // JL Jb
    /* 7D */ Jb,      // JGE Jb
    /* 7E */ Jb,      // JLE Jb
    /* 7F */ Jb,      // JG Jb
    /* 80 */ RmIb,    // group 1 Eb, Ib
    /* 81 */ RmIz,    // group 1 Ev, Iz
    /* 82 */ RmIb,    // group 1 Eb, Ib (not in 64-bit code)
    /* 83 */ RmIb,    // group 1 Ev, Ib
    /* 84 */ Rm,      // TEST Eb, Gb
    /* 85 */ Rm,      // TEST Ev, Gv
    /* 86 */ Rm,      // XCHG Eb, Gb
    /* 87 */ Rm,      // XCHG Ev, Gv
    /* 88 */ Rm,      // MOV Eb, Gb
    /* 89 */ Rm,      // MOV Ev, Gv
    /* 8A */ Rm,      // MOV Gb, Eb
    /* 8B */ Rm,      // MOV Gv, Ev
    /* 8C */ Rm,      // MOV Ev, Sreg
    /* 8D */ Rm,      // LEA Gv, M
    /* 8E */ Rm,      // MOV Sreg, Ew
    /* 8F */ Grp1A,   // group 1A: POP Ev / XOP prefix
    /* 90 */ None,    // NOP / XCHG eAX, eAX / PAUSE
    /* 91 */ None,    // XCHG ECX, eAX
    /* 92 */ None,    // XCHG EDX, eAX
    /* 93 */ None,    // XCHG EBX, eAX
    /* 94 */ None,    // XCHG ESP, eAX
    /* 95 */ None,    // XCHG EBP, eAX
    /* 96 */ None,    // XCHG ESI, eAX
    /* 97 */ None,    // XCHG EDI, eAX
    /* 98 */ None,    // CBW / CWDE / CDQE
    /* 99 */ None,    // CWD / CDQ / CQO
    /* 9A */ Ap,      // CALL Ap (not in 64-bit code)
    /* 9B */ None,    // FWAIT
    /* 9C */ None,    // PUSHF
    /* 9D */ None,    // POPF
    /* 9E */ None,    // SAHF
    /* 9F */ None,    // LAHF
    /* A0 */ Ob,      // MOV AL, Ob
    /* A1 */ Ob,      // MOV eAX, Ov
    /* A2 */ Ob,      // MOV Ob, AL
    /* A3 */ Ob,      // MOV Ov, eAX
    /* A4 */ None,    // MOVSB
    /* A5 */ None,    // MOVSD
    /* A6 */ None,    // CMPSB
    /* A7 */ None,    // CMPSD
    /* A8 */ Ib,      // TEST AL, Ib
    /* A9 */ Iz,      // TEST eAX, Iz
    /* AA */ None,    // STOSB
    /* AB */ None,    // STOSD
    /* AC */ None,    // LODSB
    /* AD */ None,    // LODSD
    /* AE */ None,    // SCASB
    /* AF */ None,    // SCASD
    /* B0 */ Ib,      // MOV AL, Ib
    /* B1 */ Ib,      // MOV CL, Ib
    /* B2 */ Ib,      // MOV DL, Ib
    /* B3 */ Ib,      // MOV BL, Ib
    /* B4 */ Ib,      // MOV AH, Ib
    /* B5 */ Ib,      // MOV CH, Ib
    /* B6 */ Ib,      // MOV DH, Ib
    /* B7 */ Ib,      // MOV BH, Ib
    /* B8 */ Iv,      // MOV EAX, Iv
    /* B9 */ Iv,      // MOV ECX, Iv
    /* BA */ Iv,      // MOV EDX, Iv
    /* BB */ Iv,      // MOV EBX, Iv
    /* BC */ Iv,      // MOV ESP, Iv
    /* BD */ Iv,      // MOV EBP, Iv
    /* BE */ Iv,      // MOV ESI, Iv
    /* BF */ Iv,      // MOV EDI, Iv
    /* C0 */ RmIb,    // group 2 Eb, Ib
    /* C1 */ RmIb,    // group 2 Ev, Ib
    /* C2 */ Iw,      // RET Iw
    /* C3 */ None,    // RET
    /* C4 */ Vex3,    // LES Gz, Mp / three-byte VEX prefix
    /* C5 */ Vex2,    // LDS Gz, Mp / two-byte VEX prefix
    /* C6 */ Grp11b,  // group 11: MOV Eb, Ib / XABORT Ib
    /* C7 */ Grp11z,  // group 11: MOV Ev, Iz / XBEGIN Jz
    /* C8 */ IwIb,    // ENTER Iw, Ib
    /* C9 */ None,    // LEAVE
    /* CA */ Iw,      // RETF Iw
    /* CB */ None,    // RETF
    /* CC */ None,    // INT3
    /* CD */ Ib,      // INT Ib
    /* CE */ None,    // INTO (not in 64-bit code)
    /* CF */ None,    // IRET
    /* D0 */ Rm,      // group 2 Eb, 1
    /* D1 */ Rm,      // group 2 Ev, 1
    /* D2 */ Rm,      // group 2 Eb, CL
    /* D3 */ Rm,      // group 2 Ev, CL
    /* D4 */ Ib,      // AAM Ib (not in 64-bit code)
    /* D5 */ Ib,      // AAD Ib (not in 64-bit code)
    /* D6 */ Bad,     // (reserved)
    /* D7 */ None,    // XLAT
    /* D8 */ X87,     // x87 escape 0
    /* D9 */ X87,     // x87 escape 1
    /* DA */ X87,     // x87 escape 2
    /* DB */ X87,     // x87 escape 3
    /* DC */ X87,     // x87 escape 4
    /* DD */ X87,     // x87 escape 5
    /* DE */ X87,     // x87 escape 6
    /* DF */ X87,     // x87 escape 7
    /* E0 */ Jb,      // LOOPNE Jb
    /* E1 */ Jb,      // LOOPE Jb
    /* E2 */ Jb,      // LOOP Jb
    /* E3 */ Jb,      // JECXZ Jb
    /* E4 */ Ib,      // IN AL, Ib
    /* E5 */ Ib,      // IN eAX, Ib
    /* E6 */ Ib,      // OUT Ib, AL
    /* E7 */ Ib,      // OUT Ib, eAX
    /* E8 */ Jz,      // CALL Jz
    /* E9 */ Jz,      // JMP Jz
    /* EA */ Ap,      // JMP Ap (not in 64-bit code)
    /* EB */ Jb,      // JMP Jb
    /* EC */ None,    // IN AL, DX
    /* ED */ None,    // IN eAX, DX
    /* EE */ None,    // OUT DX, AL
    /* EF */ None,    // OUT DX, eAX
    /* F0 */ Prefix,  // LOCK prefix
    /* F1 */ None,    // INT1
    /* F2 */ Prefix,  // REPNE prefix
    /* F3 */ Prefix,  // REP prefix
    /* F4 */ None,    // HLT
    /* F5 */ None,    // CMC
    /* F6 */ Grp3b,   // group 3 Eb (TEST takes Ib)
    /* F7 */ Grp3z,   // group 3 Ev (TEST takes Iz)
    /* F8 */ None,    // CLC
    /* F9 */ None,    // STC
    /* FA */ None,    // CLI
    /* FB */ None,    // STI
    /* FC */ None,    // CLD
    /* FD */ None,    // STD
    /* FE */ Grp4,    // group 4: INC/DEC Eb
    /* FF */ Grp5,    // group 5: INC/DEC/CALL/JMP/PUSH Ev
};

inline constexpr Form kMap0F[256] = {
    /* 00 */ Rm,      // group 6: SLDT/STR/LLDT/LTR/VERR/VERW
    /* 01 */ Rm,      // group 7: SGDT/SIDT/LGDT/LIDT/SMSW/LMSW/INVLPG and system forms
    /* 02 */ Rm,      // LAR Gv, Ew
    /* 03 */ Rm,      // LSL Gv, Ew
    /* 04 */ Bad,     // (reserved)
    /* 05 */ None,    // SYSCALL
    /* 06 */ None,    // CLTS
    /* 07 */ None,    // SYSRET
    /* 08 */ None,    // INVD
    /* 09 */ None,    // WBINVD
    /* 0A */ Bad,     // (reserved)
    /* 0B */ None,    // UD2
    /* 0C */ Bad,     // (reserved)
    /* 0D */ Rm,      // PREFETCH / PREFETCHW
    /* 0E */ None,    // FEMMS
    /* 0F */ Now3D,   // 3DNow!: ModRM, then the operation byte
    /* 10 */ Rm,      // MOVUPS / MOVUPD / MOVSS / MOVSD
    /* 11 */ Rm,      // MOVUPS / MOVUPD / MOVSS / MOVSD (store)
    /* 12 */ Rm,      // MOVLPS / MOVHLPS / MOVLPD / MOVSLDUP / MOVDDUP
    /* 13 */ Rm,      // MOVLPS / MOVLPD (store)
    /* 14 */ Rm,      // UNPCKLPS / UNPCKLPD
    /* 15 */ Rm,      // UNPCKHPS / UNPCKHPD
    /* 16 */ Rm,      // MOVHPS / MOVLHPS / MOVHPD / MOVSHDUP
    /* 17 */ Rm,      // MOVHPS / MOVHPD (store)
    /* 18 */ Rm,      // group 16: PREFETCHNTA/T0/T1/T2, hint NOP
    /* 19 */ Rm,      // hint NOP Ev
    /* 1A */ Rm,      // hint NOP / BNDLDX / BNDMOV / BNDCL / BNDCU
    /* 1B */ Rm,      // hint NOP / BNDSTX / BNDMOV / BNDMK / BNDCN
    /* 1C */ Rm,      // hint NOP / CLDEMOTE
    /* 1D */ Rm,      // hint NOP Ev
    /* 1E */ Rm,      // hint NOP / ENDBR32 / ENDBR64 / RDSSP
    /* 1F */ Rm,      // NOP Ev
    /* 20 */ MovCr,   // MOV Rd, Cd
    /* 21 */ MovCr,   // MOV Rd, Dd
    /* 22 */ MovCr,   // MOV Cd, Rd
    /* 23 */ MovCr,   // MOV Dd, Rd
    /* 24 */ MovCr,   // MOV Rd, Td (32-bit code only)
    /* 25 */ Bad,     // (reserved)
    /* 26 */ MovCr,   // MOV Td, Rd (32-bit code only)
    /* 27 */ Bad,     // (reserved)
    /* 28 */ Rm,      // MOVAPS / MOVAPD
    /* 29 */ Rm,      // MOVAPS / MOVAPD (store)
    /* 2A */ Rm,      // CVTPI2PS / CVTSI2SS / CVTSI2SD
    /* 2B */ Rm,      // MOVNTPS / MOVNTPD
    /* 2C */ Rm,      // CVTTPS2PI / CVTTSS2SI / CVTTSD2SI
    /* 2D */ Rm,      // CVTPS2PI / CVTSS2SI / CVTSD2SI
    /* 2E */ Rm,      // UCOMISS / UCOMISD
    /* 2F */ Rm,      // COMISS / COMISD
    /* 30 */ None,    // WRMSR
    /* 31 */ None,    // RDTSC
    /* 32 */ None,    // RDMSR
    /* 33 */ None,    // RDPMC
    /* 34 */ None,    // SYSENTER
    /* 35 */ None,    // SYSEXIT
    /* 36 */ Bad,     // (reserved)
    /* 37 */ None,    // GETSEC
    /* 38 */ Esc38,   // three-byte opcode map 0F 38
    /* 39 */ Bad,     // (reserved)
    /* 3A */ Esc3A,   // three-byte opcode map 0F 3A
    /* 3B */ Bad,     // (reserved)
    /* 3C */ Bad,     // (reserved)
    /* 3D */ Bad,     // (reserved)
    /* 3E */ Bad,     // (reserved)
    /* 3F */ Bad,     // (reserved)
    /* 40 */ Rm,      // CMOVO Gv, Ev
    /* 41 */ Rm,      // CMOVNO Gv, Ev
    /* 42 */ Rm,      // CMOVB Gv, Ev
    /* 43 */ Rm,      // CMOVAE Gv, Ev
    /* 44 */ Rm,      // CMOVE Gv, Ev
    /* 45 */ Rm,      // CMOVNE Gv, Ev
    /* 46 */ Rm,      // CMOVBE Gv, Ev
    /* 47 */ Rm,      // CMOVA Gv, Ev
    /* 48 */ Rm,      // CMOVS Gv, Ev
    /* 49 */ Rm,      // CMOVNS Gv, Ev
    /* 4A */ Rm,      // CMOVP Gv, Ev
    /* 4B */ Rm,      // CMOVNP Gv, Ev
    /* 4C */ Rm,      // CMOVL Gv, Ev
    /* 4D */ Rm,      // CMOVGE Gv, Ev
    /* 4E */ Rm,      // CMOVLE Gv, Ev
    /* 4F */ Rm,      // CMOVG Gv, Ev
    /* 50 */ Rm,      // MOVMSKPS / MOVMSKPD
    /* 51 */ Rm,      // SQRTPS / SQRTSS / SQRTPD / SQRTSD
    /* 52 */ Rm,      // RSQRTPS / RSQRTSS
    /* 53 */ Rm,      // RCPPS / RCPSS
    /* 54 */ Rm,      // ANDPS / ANDPD
    /* 55 */ Rm,      // ANDNPS / ANDNPD
    /* 56 */ Rm,      // ORPS / ORPD
    /* 57 */ Rm,      // XORPS / XORPD
    /* 58 */ Rm,      // ADDPS / ADDSS / ADDPD / ADDSD
    /* 59 */ Rm,      // MULPS / MULSS / MULPD / MULSD
    /* 5A */ Rm,      // CVTPS2PD / CVTSS2SD / CVTPD2PS / CVTSD2SS
    /* 5B */ Rm,      // CVTDQ2PS / CVTPS2DQ / CVTTPS2DQ
    /* 5C */ Rm,      // SUBPS / SUBSS / SUBPD / SUBSD
    /* 5D */ Rm,      // MINPS / MINSS / MINPD / MINSD
    /* 5E */ Rm,      // DIVPS / DIVSS / DIVPD / DIVSD
    /* 5F */ Rm,      // MAXPS / MAXSS / MAXPD / MAXSD
    /* 60 */ Rm,      // PUNPCKLBW
    /* 61 */ Rm,      // PUNPCKLWD
    /* 62 */ Rm,      // PUNPCKLDQ
    /* 63 */ Rm,      // PACKSSWB
    /* 64 */ Rm,      // PCMPGTB
    /* 65 */ Rm,      // PCMPGTW
    /* 66 */ Rm,      // PCMPGTD
    /* 67 */ Rm,      // PACKUSWB
    /* 68 */ Rm,      // PUNPCKHBW
    /* 69 */ Rm,      // PUNPCKHWD
    /* 6A */ Rm,      // PUNPCKHDQ
    /* 6B */ Rm,      // PACKSSDW
    /* 6C */ Rm,      // PUNPCKLQDQ
    /* 6D */ Rm,      // PUNPCKHQDQ
    /* 6E */ Rm,      // MOVD / MOVQ Pd, Ey
    /* 6F */ Rm,      // MOVQ / MOVDQA / MOVDQU
    /* 70 */ RmIb,    // PSHUFW / PSHUFD / PSHUFHW / PSHUFLW
    /* 71 */ RmIb,    // group 12: PSRLW/PSRAW/PSLLW Ib
    /* 72 */ RmIb,    // group 13: PSRLD/PSRAD/PSLLD Ib
    /* 73 */ RmIb,    // group 14: PSRLQ/PSRLDQ/PSLLQ/PSLLDQ Ib
    /* 74 */ Rm,      // PCMPEQB
    /* 75 */ Rm,      // PCMPEQW
    /* 76 */ Rm,      // PCMPEQD
    /* 77 */ None,    // EMMS
    /* 78 */ SseImm2, // VMREAD Ey, Gy / EXTRQ, INSERTQ with two Ib
    /* 79 */ Rm,      // VMWRITE Gy, Ey / EXTRQ / INSERTQ
    /* 7A */ Bad,     // (reserved)
    /* 7B */ Bad,     // (reserved)
    /* 7C */ Rm,      // HADDPD / HADDPS
    /* 7D */ Rm,      // HSUBPD / HSUBPS
    /* 7E */ Rm,      // MOVD / MOVQ Ey, Pd
    /* 7F */ Rm,      // MOVQ / MOVDQA / MOVDQU (store)
    /* 80 */ Jz,      // JO Jz
    /* 81 */ Jz,      // JNO Jz
    /* 82 */ Jz,      // JB Jz
    /* 83 */ Jz,      // JAE Jz
    /* 84 */ Jz,      // JE Jz
    /* 85 */ Jz,      // JNE Jz
    /* 86 */ Jz,      // JBE Jz
    /* 87 */ Jz,      // JA Jz
    /* 88 */ Jz,      // JS Jz
    /* 89 */ Jz,      // JNS Jz
    /* 8A */ Jz,      // JP Jz
    /* 8B */ Jz,      // JNP Jz
    /* 8C */ Jz,      // JL Jz
    /* 8D */ Jz,      // JGE Jz
    /* 8E */ Jz,      // JLE Jz
    /* 8F */ Jz,      // JG Jz
    /* 90 */ Rm,      // SETO Eb
    /* 91 */ Rm,      // SETNO Eb
    /* 92 */ Rm,      // SETB Eb
    /* 93 */ Rm,      // SETAE Eb
    /* 94 */ Rm,      // SETE Eb
    /* 95 */ Rm,      // SETNE Eb
    /* 96 */ Rm,      // SETBE Eb
    /* 97 */ Rm,      // SETA Eb
    /* 98 */ Rm,      // SETS Eb
    /* 99 */ Rm,      // SETNS Eb
    /* 9A */ Rm,      // SETP Eb
    /* 9B */ Rm,      // SETNP Eb
    /* 9C */ Rm,      // SETL Eb
    /* 9D */ Rm,      // SETGE Eb
    /* 9E */ Rm,      // SETLE Eb
    /* 9F */ Rm,      // SETG Eb
    /* A0 */ None,    // PUSH FS
    /* A1 */ None,    // POP FS
    /* A2 */ None,    // CPUID
    /* A3 */ Rm,      // BT Ev, Gv
    /* A4 */ RmIb,    // SHLD Ev, Gv, Ib
    /* A5 */ Rm,      // SHLD Ev, Gv, CL
    /* A6 */ Rm,      // MONTMUL / XSHA1 / XSHA256 (register forms)
    /* A7 */ Rm,      // XSTORE / XCRYPTECB / XCRYPTCBC / ... (register forms)
    /* A8 */ None,    // PUSH GS
    /* A9 */ None,    // POP GS
    /* AA */ None,    // RSM
    /* AB */ Rm,      // BTS Ev, Gv
    /* AC */ RmIb,    // SHRD Ev, Gv, Ib
    /* AD */ Rm,      // SHRD Ev, Gv, CL
    /* AE */ Rm,      // group 15: FXSAVE/FXRSTOR/LDMXCSR/STMXCSR/XSAVE/fences/CLFLUSH
    /* AF */ Rm,      // IMUL Gv, Ev
    /* B0 */ Rm,      // CMPXCHG Eb, Gb
    /* B1 */ Rm,      // CMPXCHG Ev, Gv
    /* B2 */ Rm,      // LSS Gv, Mp
    /* B3 */ Rm,      // BTR Ev, Gv
    /* B4 */ Rm,      // LFS Gv, Mp
    /* B5 */ Rm,      // LGS Gv, Mp
    /* B6 */ Rm,      // MOVZX Gv, Eb
    /* B7 */ Rm,      // MOVZX Gv, Ew
    /* B8 */ Rm,      // POPCNT Gv, Ev / JMPE
    /* B9 */ Rm,      // UD1 Gv, Ev
    /* BA */ RmIb,    // group 8: BT/BTS/BTR/BTC Ev, Ib
    /* BB */ Rm,      // BTC Ev, Gv
    /* BC */ Rm,      // BSF / TZCNT Gv, Ev
    /* BD */ Rm,      // BSR / LZCNT Gv, Ev
    /* BE */ Rm,      // MOVSX Gv, Eb
    /* BF */ Rm,      // MOVSX Gv, Ew
    /* C0 */ Rm,      // XADD Eb, Gb
    /* C1 */ Rm,      // XADD Ev, Gv
    /* C2 */ RmIb,    // CMPPS / CMPSS / CMPPD / CMPSD Ib
    /* C3 */ Rm,      // MOVNTI My, Gy
    /* C4 */ RmIb,    // PINSRW Pq, Ew, Ib
    /* C5 */ RmIb,    // PEXTRW Gd, Nq, Ib
    /* C6 */ RmIb,    // SHUFPS / SHUFPD Ib
    /* C7 */ Rm,      // group 9: CMPXCHG8B/16B, RDRAND, RDSEED, VMPTRLD...
    /* C8 */ None,    // BSWAP EAX
    /* C9 */ None,    // BSWAP ECX
    /* CA */ None,    // BSWAP EDX
    /* CB */ None,    // BSWAP EBX
    /* CC */ None,    // BSWAP ESP
    /* CD */ None,    // BSWAP EBP
    /* CE */ None,    // BSWAP ESI
    /* CF */ None,    // BSWAP EDI
    /* D0 */ Rm,      // ADDSUBPD / ADDSUBPS
    /* D1 */ Rm,      // PSRLW
    /* D2 */ Rm,      // PSRLD
    /* D3 */ Rm,      // PSRLQ
    /* D4 */ Rm,      // PADDQ
    /* D5 */ Rm,      // PMULLW
    /* D6 */ Rm,      // MOVQ / MOVQ2DQ / MOVDQ2Q
    /* D7 */ Rm,      // PMOVMSKB
    /* D8 */ Rm,      // PSUBUSB
    /* D9 */ Rm,      // PSUBUSW
    /* DA */ Rm,      // PMINUB
    /* DB */ Rm,      // PAND
    /* DC */ Rm,      // PADDUSB
    /* DD */ Rm,      // PADDUSW
    /* DE */ Rm,      // PMAXUB
    /* DF */ Rm,      // PANDN
    /* E0 */ Rm,      // PAVGB
    /* E1 */ Rm,      // PSRAW
    /* E2 */ Rm,      // PSRAD
    /* E3 */ Rm,      // PAVGW
    /* E4 */ Rm,      // PMULHUW
    /* E5 */ Rm,      // PMULHW
    /* E6 */ Rm,      // CVTTPD2DQ / CVTDQ2PD / CVTPD2DQ
    /* E7 */ Rm,      // MOVNTQ / MOVNTDQ
    /* E8 */ Rm,      // PSUBSB
    /* E9 */ Rm,      // PSUBSW
    /* EA */ Rm,      // PMINSW
    /* EB */ Rm,      // POR
    /* EC */ Rm,      // PADDSB
    /* ED */ Rm,      // PADDSW
    /* EE */ Rm,      // PMAXSW
    /* EF */ Rm,      // PXOR
    /* F0 */ Rm,      // LDDQU
    /* F1 */ Rm,      // PSLLW
    /* F2 */ Rm,      // PSLLD
    /* F3 */ Rm,      // PSLLQ
    /* F4 */ Rm,      // PMULUDQ
    /* F5 */ Rm,      // PMADDWD
    /* F6 */ Rm,      // PSADBW
    /* F7 */ Rm,      // MASKMOVQ / MASKMOVDQU
    /* F8 */ Rm,      // PSUBB
    /* F9 */ Rm,      // PSUBW
    /* FA */ Rm,      // PSUBD
    /* FB */ Rm,      // PSUBQ
    /* FC */ Rm,      // PADDB
    /* FD */ Rm,      // PADDW
    /* FE */ Rm,      // PADDD
    /* FF */ Rm,      // UD0 Gd, Ed
};

inline constexpr Form kMap0F38[256] = {
    /* 00 */ Rm,      // PSHUFB
    /* 01 */ Rm,      // PHADDW
    /* 02 */ Rm,      // PHADDD
    /* 03 */ Rm,      // PHADDSW
    /* 04 */ Rm,      // PMADDUBSW
    /* 05 */ Rm,      // PHSUBW
    /* 06 */ Rm,      // PHSUBD
    /* 07 */ Rm,      // PHSUBSW
    /* 08 */ Rm,      // PSIGNB
    /* 09 */ Rm,      // PSIGNW
    /* 0A */ Rm,      // PSIGND
    /* 0B */ Rm,      // PMULHRSW
    /* 0C */ Bad,     // (reserved)
    /* 0D */ Bad,     // (reserved)
    /* 0E */ Bad,     // (reserved)
    /* 0F */ Bad,     // (reserved)
    /* 10 */ Rm,      // PBLENDVB
    /* 11 */ Bad,     // (reserved)
    /* 12 */ Bad,     // (reserved)
    /* 13 */ Bad,     // (reserved)
    /* 14 */ Rm,      // BLENDVPS
    /* 15 */ Rm,      // BLENDVPD
    /* 16 */ Bad,     // (reserved)
    /* 17 */ Rm,      // PTEST
    /* 18 */ Bad,     // (reserved)
    /* 19 */ Bad,     // (reserved)
    /* 1A */ Bad,     // (reserved)
    /* 1B */ Bad,     // (reserved)
    /* 1C */ Rm,      // PABSB
    /* 1D */ Rm,      // PABSW
    /* 1E */ Rm,      // PABSD
    /* 1F */ Bad,     // (reserved)
    /* 20 */ Rm,      // PMOVSXBW
    /* 21 */ Rm,      // PMOVSXBD
    /* 22 */ Rm,      // PMOVSXBQ
    /* 23 */ Rm,      // PMOVSXWD
    /* 24 */ Rm,      // PMOVSXWQ
    /* 25 */ Rm,      // PMOVSXDQ
    /* 26 */ Bad,     // (reserved)
    /* 27 */ Bad,     // (reserved)
    /* 28 */ Rm,      // PMULDQ
    /* 29 */ Rm,      // PCMPEQQ
    /* 2A */ Rm,      // MOVNTDQA
    /* 2B */ Rm,      // PACKUSDW
    /* 2C */ Bad,     // (reserved)
    /* 2D */ Bad,     // (reserved)
    /* 2E */ Bad,     // (reserved)
    /* 2F */ Bad,     // (reserved)
    /* 30 */ Rm,      // PMOVZXBW
    /* 31 */ Rm,      // PMOVZXBD
    /* 32 */ Rm,      // PMOVZXBQ
    /* 33 */ Rm,      // PMOVZXWD
    /* 34 */ Rm,      // PMOVZXWQ
    /* 35 */ Rm,      // PMOVZXDQ
    /* 36 */ Bad,     // (reserved)
    /* 37 */ Rm,      // PCMPGTQ
    /* 38 */ Rm,      // PMINSB
    /* 39 */ Rm,      // PMINSD
    /* 3A */ Rm,      // PMINUW
    /* 3B */ Rm,      // PMINUD
    /* 3C */ Rm,      // PMAXSB
    /* 3D */ Rm,      // PMAXSD
    /* 3E */ Rm,      // PMAXUW
    /* 3F */ Rm,      // PMAXUD
    /* 40 */ Rm,      // PMULLD
    /* 41 */ Rm,      // PHMINPOSUW
    /* 42 */ Bad,     // (reserved)
    /* 43 */ Bad,     // (reserved)
    /* 44 */ Bad,     // (reserved)
    /* 45 */ Bad,     // (reserved)
    /* 46 */ Bad,     // (reserved)
    /* 47 */ Bad,     // (reserved)
    /* 48 */ Bad,     // (reserved)
    /* 49 */ Bad,     // (reserved)
    /* 4A */ Bad,     // (reserved)
    /* 4B */ Bad,     // (reserved)
    /* 4C */ Bad,     // (reserved)
    /* 4D */ Bad,     // (reserved)
    /* 4E */ Bad,     // (reserved)
    /* 4F */ Bad,     // (reserved)
    /* 50 */ Bad,     // (reserved)
    /* 51 */ Bad,     // (reserved)
    /* 52 */ Bad,     // (reserved)
    /* 53 */ Bad,     // (reserved)
    /* 54 */ Bad,     // (reserved)
    /* 55 */ Bad,     // (reserved)
    /* 56 */ Bad,     // (reserved)
    /* 57 */ Bad,     // (reserved)
    /* 58 */ Bad,     // (reserved)
    /* 59 */ Bad,     // (reserved)
    /* 5A */ Bad,     // (reserved)
    /* 5B */ Bad,     // (reserved)
    /* 5C */ Bad,     // (reserved)
    /* 5D */ Bad,     // (reserved)
    /* 5E */ Bad,     // (reserved)
    /* 5F */ Bad,     // (reserved)
    /* 60 */ Bad,     // (reserved)
    /* 61 */ Bad,     // (reserved)
    /* 62 */ Bad,     // (reserved)
    /* 63 */ Bad,     // (reserved)
    /* 64 */ Bad,     // (reserved)
    /* 65 */ Bad,     // (reserved)
    /* 66 */ Bad,     // (reserved)
    /* 67 */ Bad,     // (reserved)
    /* 68 */ Bad,     // (reserved)
    /* 69 */ Bad,     // (reserved)
    /* 6A */ Bad,     // (reserved)
    /* 6B */ Bad,     // (reserved)
    /* 6C */ Bad,     // (reserved)
    /* 6D */ Bad,     // (reserved)
    /* 6E */ Bad,     // (reserved)
    /* 6F */ Bad,     // (reserved)
    /* 70 */ Bad,     // (reserved)
    /* 71 */ Bad,     // (reserved)
    /* 72 */ Bad,     // (reserved)
    /* 73 */ Bad,     // (reserved)
    /* 74 */ Bad,     // (reserved)
    /* 75 */ Bad,     // (reserved)
    /* 76 */ Bad,     // (reserved)
    /* 77 */ Bad,     // (reserved)
    /* 78 */ Bad,     // (reserved)
    /* 79 */ Bad,     // (reserved)
    /* 7A */ Bad,     // (reserved)
    /* 7B */ Bad,     // (reserved)
    /* 7C */ Bad,     // (reserved)
    /* 7D */ Bad,     // (reserved)
    /* 7E */ Bad,     // (reserved)
    /* 7F */ Bad,     // (reserved)
    /* 80 */ Rm,      // INVEPT
    /* 81 */ Rm,      // INVVPID
    /* 82 */ Rm,      // INVPCID
    /* 83 */ Bad,     // (reserved)
    /* 84 */ Bad,     // (reserved)
    /* 85 */ Bad,     // (reserved)
    /* 86 */ Bad,     // (reserved)
    /* 87 */ Bad,     // (reserved)
    /* 88 */ Bad,     // (reserved)
    /* 89 */ Bad,     // (reserved)
    /* 8A */ Bad,     // (reserved)
    /* 8B */ Bad,     // (reserved)
    /* 8C */ Bad,     // (reserved)
    /* 8D */ Bad,     // (reserved)
    /* 8E */ Bad,     // (reserved)
    /* 8F */ Bad,     // (reserved)
    /* 90 */ Bad,     // (reserved)
    /* 91 */ Bad,     // (reserved)
    /* 92 */ Bad,     // (reserved)
    /* 93 */ Bad,     // (reserved)
    /* 94 */ Bad,     // (reserved)
    /* 95 */ Bad,     // (reserved)
    /* 96 */ Bad,     // (reserved)
    /* 97 */ Bad,     // (reserved)
    /* 98 */ Bad,     // (reserved)
    /* 99 */ Bad,     // (reserved)
    /* 9A */ Bad,     // (reserved)
    /* 9B */ Bad,     // (reserved)
    /* 9C */ Bad,     // (reserved)
    /* 9D */ Bad,     // (reserved)
    /* 9E */ Bad,     // (reserved)
    /* 9F */ Bad,     // (reserved)
    /* A0 */ Bad,     // (reserved)
    /* A1 */ Bad,     // (reserved)
    /* A2 */ Bad,     // (reserved)
    /* A3 */ Bad,     // (reserved)
    /* A4 */ Bad,     // (reserved)
    /* A5 */ Bad,     // (reserved)
    /* A6 */ Rm,      // MONTMUL / XSHA1 / XSHA256 (register forms)
    /* A7 */ Rm,      // XSTORE / XCRYPTECB / XCRYPTCBC / ... (register forms)
    /* A8 */ Bad,     // (reserved)
    /* A9 */ Bad,     // (reserved)
    /* AA */ Bad,     // (reserved)
    /* AB */ Bad,     // (reserved)
    /* AC */ Bad,     // (reserved)
    /* AD */ Bad,     // (reserved)
    /* AE */ Bad,     // (reserved)
    /* AF */ Bad,     // (reserved)
    /* B0 */ Bad,     // (reserved)
    /* B1 */ Bad,     // (reserved)
    /* B2 */ Bad,     // (reserved)
    /* B3 */ Bad,     // (reserved)
    /* B4 */ Bad,     // (reserved)
    /* B5 */ Bad,     // (reserved)
    /* B6 */ Bad,     // (reserved)
    /* B7 */ Bad,     // (reserved)
    /* B8 */ Bad,     // (reserved)
    /* B9 */ Bad,     // (reserved)
    /* BA */ Bad,     // (reserved)
    /* BB */ Bad,     // (reserved)
    /* BC */ Bad,     // (reserved)
    /* BD */ Bad,     // (reserved)
    /* BE */ Bad,     // (reserved)
    /* BF */ Bad,     // (reserved)
    /* C0 */ Bad,     // (reserved)
    /* C1 */ Bad,     // (reserved)
    /* C2 */ Bad,     // (reserved)
    /* C3 */ Bad,     // (reserved)
    /* C4 */ Bad,     // (reserved)
    /* C5 */ Bad,     // (reserved)
    /* C6 */ Bad,     // (reserved)
    /* C7 */ Bad,     // (reserved)
    /* C8 */ Rm,      // SHA1NEXTE
    /* C9 */ Rm,      // SHA1MSG1
    /* CA */ Rm,      // SHA1MSG2
    /* CB */ Rm,      // SHA256RNDS2
    /* CC */ Rm,      // SHA256MSG1
    /* CD */ Rm,      // SHA256MSG2
    /* CE */ Bad,     // (reserved)
    /* CF */ Rm,      // GF2P8MULB
    /* D0 */ Bad,     // (reserved)
    /* D1 */ Bad,     // (reserved)
    /* D2 */ Bad,     // (reserved)
    /* D3 */ Bad,     // (reserved)
    /* D4 */ Bad,     // (reserved)
    /* D5 */ Bad,     // (reserved)
    /* D6 */ Bad,     // (reserved)
    /* D7 */ Bad,     // (reserved)
    /* D8 */ Rm,      // AESENCWIDE128KL / AESDECWIDE128KL / ...
    /* D9 */ Bad,     // (reserved)
    /* DA */ Bad,     // (reserved)
    /* DB */ Rm,      // AESIMC
    /* DC */ Rm,      // AESENC / AESENC128KL
    /* DD */ Rm,      // AESENCLAST / AESDEC128KL
    /* DE */ Rm,      // AESDEC / AESENC256KL
    /* DF */ Rm,      // AESDECLAST / AESDEC256KL
    /* E0 */ Bad,     // (reserved)
    /* E1 */ Bad,     // (reserved)
    /* E2 */ Bad,     // (reserved)
    /* E3 */ Bad,     // (reserved)
    /* E4 */ Bad,     // (reserved)
    /* E5 */ Bad,     // (reserved)
    /* E6 */ Bad,     // (reserved)
    /* E7 */ Bad,     // (reserved)
    /* E8 */ Bad,     // (reserved)
    /* E9 */ Bad,     // (reserved)
    /* EA */ Bad,     // (reserved)
    /* EB */ Bad,     // (reserved)
    /* EC */ Bad,     // (reserved)
    /* ED */ Bad,     // (reserved)
    /* EE */ Bad,     // (reserved)
    /* EF */ Bad,     // (reserved)
    /* F0 */ Rm,      // MOVBE Gy, My / CRC32 Gd, Eb
    /* F1 */ Rm,      // MOVBE My, Gy / CRC32 Gd, Ev
    /* F2 */ Bad,     // (reserved)
    /* F3 */ Bad,     // (reserved)
    /* F4 */ Bad,     // (reserved)
    /* F5 */ Rm,      // WRUSSD / WRUSSQ
    /* F6 */ Rm,      // ADCX / ADOX / WRSSD
    /* F7 */ Bad,     // (reserved)
    /* F8 */ Rm,      // MOVDIR64B / ENQCMD / ENQCMDS
    /* F9 */ Rm,      // MOVDIRI
    /* FA */ Rm,      // ENCODEKEY128
    /* FB */ Rm,      // ENCODEKEY256
    /* FC */ Rm,      // AADD / AAND / AOR / AXOR
    /* FD */ Bad,     // (reserved)
    /* FE */ Bad,     // (reserved)
    /* FF */ Bad,     // (reserved)
};

inline constexpr Form kMap0F3A[256] = {
    /* 00 */ Bad,     // (reserved)
    /* 01 */ Bad,     // (reserved)
    /* 02 */ Bad,     // (reserved)
    /* 03 */ Bad,     // (reserved)
    /* 04 */ Bad,     // (reserved)
    /* 05 */ Bad,     // (reserved)
    /* 06 */ Bad,     // (reserved)
    /* 07 */ Bad,     // (reserved)
    /* 08 */ RmIb,    // ROUNDPS Ib
    /* 09 */ RmIb,    // ROUNDPD Ib
    /* 0A */ RmIb,    // ROUNDSS Ib
    /* 0B */ RmIb,    // ROUNDSD Ib
    /* 0C */ RmIb,    // BLENDPS Ib
    /* 0D */ RmIb,    // BLENDPD Ib
    /* 0E */ RmIb,    // PBLENDW Ib
    /* 0F */ RmIb,    // PALIGNR Ib
    /* 10 */ Bad,     // (reserved)
    /* 11 */ Bad,     // (reserved)
    /* 12 */ Bad,     // (reserved)
    /* 13 */ Bad,     // (reserved)
    /* 14 */ RmIb,    // PEXTRB Ib
    /* 15 */ RmIb,    // PEXTRW Ib
    /* 16 */ RmIb,    // PEXTRD / PEXTRQ Ib
    /* 17 */ RmIb,    // EXTRACTPS Ib
    /* 18 */ Bad,     // (reserved)
    /* 19 */ Bad,     // (reserved)
    /* 1A */ Bad,     // (reserved)
    /* 1B */ Bad,     // (reserved)
    /* 1C */ Bad,     // (reserved)
    /* 1D */ Bad,     // (reserved)
    /* 1E */ Bad,     // (reserved)
    /* 1F */ Bad,     // (reserved)
    /* 20 */ RmIb,    // PINSRB Ib
    /* 21 */ RmIb,    // INSERTPS Ib
    /* 22 */ RmIb,    // PINSRD / PINSRQ Ib
    /* 23 */ Bad,     // (reserved)
    /* 24 */ Bad,     // (reserved)
    /* 25 */ Bad,     // (reserved)
    /* 26 */ Bad,     // (reserved)
    /* 27 */ Bad,     // (reserved)
    /* 28 */ Bad,     // (reserved)
    /* 29 */ Bad,     // (reserved)
    /* 2A */ Bad,     // (reserved)
    /* 2B */ Bad,     // (reserved)
    /* 2C */ Bad,     // (reserved)
    /* 2D */ Bad,     // (reserved)
    /* 2E */ Bad,     // (reserved)
    /* 2F */ Bad,     // (reserved)
    /* 30 */ Bad,     // (reserved)
    /* 31 */ Bad,     // (reserved)
    /* 32 */ Bad,     // (reserved)
    /* 33 */ Bad,     // (reserved)
    /* 34 */ Bad,     // (reserved)
    /* 35 */ Bad,     // (reserved)
    /* 36 */ Bad,     // (reserved)
    /* 37 */ Bad,     // (reserved)
    /* 38 */ Bad,     // (reserved)
    /* 39 */ Bad,     // (reserved)
    /* 3A */ Bad,     // (reserved)
    /* 3B */ Bad,     // (reserved)
    /* 3C */ Bad,     // (reserved)
    /* 3D */ Bad,     // (reserved)
    /* 3E */ Bad,     // (reserved)
    /* 3F */ Bad,     // (reserved)
    /* 40 */ RmIb,    // DPPS Ib
    /* 41 */ RmIb,    // DPPD Ib
    /* 42 */ RmIb,    // MPSADBW Ib
    /* 43 */ Bad,     // (reserved)
    /* 44 */ RmIb,    // PCLMULQDQ Ib
    /* 45 */ Bad,     // (reserved)
    /* 46 */ Bad,     // (reserved)
    /* 47 */ Bad,     // (reserved)
    /* 48 */ Bad,     // (reserved)
    /* 49 */ Bad,     // (reserved)
    /* 4A */ Bad,     // (reserved)
    /* 4B */ Bad,     // (reserved)
    /* 4C */ Bad,     // (reserved)
    /* 4D */ Bad,     // (reserved)
    /* 4E */ Bad,     // (reserved)
    /* 4F */ Bad,     // (reserved)
    /* 50 */ Bad,     // (reserved)
    /* 51 */ Bad,     // (reserved)
    /* 52 */ Bad,     // (reserved)
    /* 53 */ Bad,     // (reserved)
    /* 54 */ Bad,     // (reserved)
    /* 55 */ Bad,     // (reserved)
    /* 56 */ Bad,     // (reserved)
    /* 57 */ Bad,     // (reserved)
    /* 58 */ Bad,     // (reserved)
    /* 59 */ Bad,     // (reserved)
    /* 5A */ Bad,     // (reserved)
    /* 5B */ Bad,     // (reserved)
    /* 5C */ Bad,     // (reserved)
    /* 5D */ Bad,     // (reserved)
    /* 5E */ Bad,     // (reserved)
    /* 5F */ Bad,     // (reserved)
    /* 60 */ RmIb,    // PCMPESTRM Ib
    /* 61 */ RmIb,    // PCMPESTRI Ib
    /* 62 */ RmIb,    // PCMPISTRM Ib
    /* 63 */ RmIb,    // PCMPISTRI Ib
    /* 64 */ Bad,     // (reserved)
    /* 65 */ Bad,     // (reserved)
    /* 66 */ Bad,     // (reserved)
    /* 67 */ Bad,     // (reserved)
    /* 68 */ Bad,     // (reserved)
    /* 69 */ Bad,     // (reserved)
    /* 6A */ Bad,     // (reserved)
    /* 6B */ Bad,     // (reserved)
    /* 6C */ Bad,     // (reserved)
    /* 6D */ Bad,     // (reserved)
    /* 6E */ Bad,     // (reserved)
    /* 6F */ Bad,     // (reserved)
    /* 70 */ Bad,     // (reserved)
    /* 71 */ Bad,     // (reserved)
    /* 72 */ Bad,     // (reserved)
    /* 73 */ Bad,     // (reserved)
    /* 74 */ Bad,     // (reserved)
    /* 75 */ Bad,     // (reserved)
    /* 76 */ Bad,     // (reserved)
    /* 77 */ Bad,     // (reserved)
    /* 78 */ Bad,     // (reserved)
    /* 79 */ Bad,     // (reserved)
    /* 7A */ Bad,     // (reserved)
    /* 7B */ Bad,     // (reserved)
    /* 7C */ Bad,     // (reserved)
    /* 7D */ Bad,     // (reserved)
    /* 7E */ Bad,     // (reserved)
    /* 7F */ Bad,     // (reserved)
    /* 80 */ Bad,     // (reserved)
    /* 81 */ Bad,     // (reserved)
    /* 82 */ Bad,     // (reserved)
    /* 83 */ Bad,     // (reserved)
    /* 84 */ Bad,     // (reserved)
    /* 85 */ Bad,     // (reserved)
    /* 86 */ Bad,     // (reserved)
    /* 87 */ Bad,     // (reserved)
    /* 88 */ Bad,     // (reserved)
    /* 89 */ Bad,     // (reserved)
    /* 8A */ Bad,     // (reserved)
    /* 8B */ Bad,     // (reserved)
    /* 8C */ Bad,     // (reserved)
    /* 8D */ Bad,     // (reserved)
    /* 8E */ Bad,     // (reserved)
    /* 8F */ Bad,     // (reserved)
    /* 90 */ Bad,     // (reserved)
    /* 91 */ Bad,     // (reserved)
    /* 92 */ Bad,     // (reserved)
    /* 93 */ Bad,     // (reserved)
    /* 94 */ Bad,     // (reserved)
    /* 95 */ Bad,     // (reserved)
    /* 96 */ Bad,     // (reserved)
    /* 97 */ Bad,     // (reserved)
    /* 98 */ Bad,     // (reserved)
    /* 99 */ Bad,     // (reserved)
    /* 9A */ Bad,     // (reserved)
    /* 9B */ Bad,     // (reserved)
    /* 9C */ Bad,     // (reserved)
    /* 9D */ Bad,     // (reserved)
    /* 9E */ Bad,     // (reserved)
    /* 9F */ Bad,     // (reserved)
    /* A0 */ Bad,     // (reserved)
    /* A1 */ Bad,     // (reserved)
    /* A2 */ Bad,     // (reserved)
    /* A3 */ Bad,     // (reserved)
    /* A4 */ Bad,     // (reserved)
    /* A5 */ Bad,     // (reserved)
    /* A6 */ Rm,      // MONTMUL / XSHA1 / XSHA256 (register forms)
    /* A7 */ Rm,      // XSTORE / XCRYPTECB / XCRYPTCBC / ... (register forms)
    /* A8 */ Bad,     // (reserved)
    /* A9 */ Bad,     // (reserved)
    /* AA */ Bad,     // (reserved)
    /* AB */ Bad,     // (reserved)
    /* AC */ Bad,     // (reserved)
    /* AD */ Bad,     // (reserved)
    /* AE */ Bad,     // (reserved)
    /* AF */ Bad,     // (reserved)
    /* B0 */ Bad,     // (reserved)
    /* B1 */ Bad,     // (reserved)
    /* B2 */ Bad,     // (reserved)
    /* B3 */ Bad,     // (reserved)
    /* B4 */ Bad,     // (reserved)
    /* B5 */ Bad,     // (reserved)
    /* B6 */ Bad,     // (reserved)
    /* B7 */ Bad,     // (reserved)
    /* B8 */ Bad,     // (reserved)
    /* B9 */ Bad,     // (reserved)
    /* BA */ Bad,     // (reserved)
    /* BB */ Bad,     // (reserved)
    /* BC */ Bad,     // (reserved)
    /* BD */ Bad,     // (reserved)
    /* BE */ Bad,     // (reserved)
    /* BF */ Bad,     // (reserved)
    /* C0 */ Bad,     // (reserved)
    /* C1 */ Bad,     // (reserved)
    /* C2 */ Bad,     // (reserved)
    /* C3 */ Bad,     // (reserved)
    /* C4 */ Bad,     // (reserved)
    /* C5 */ Bad,     // (reserved)
    /* C6 */ Bad,     // (reserved)
    /* C7 */ Bad,     // (reserved)
    /* C8 */ Bad,     // (reserved)
    /* C9 */ Bad,     // (reserved)
    /* CA */ Bad,     // (reserved)
    /* CB */ Bad,     // (reserved)
    /* CC */ RmIb,    // SHA1RNDS4 Ib
    /* CD */ Bad,     // (reserved)
    /* CE */ RmIb,    // GF2P8AFFINEQB Ib
    /* CF */ RmIb,    // GF2P8AFFINEINVQB Ib
    /* D0 */ Bad,     // (reserved)
    /* D1 */ Bad,     // (reserved)
    /* D2 */ Bad,     // (reserved)
    /* D3 */ Bad,     // (reserved)
    /* D4 */ Bad,     // (reserved)
    /* D5 */ Bad,     // (reserved)
    /* D6 */ Bad,     // (reserved)
    /* D7 */ Bad,     // (reserved)
    /* D8 */ Bad,     // (reserved)
    /* D9 */ Bad,     // (reserved)
    /* DA */ Bad,     // (reserved)
    /* DB */ Bad,     // (reserved)
    /* DC */ Bad,     // (reserved)
    /* DD */ Bad,     // (reserved)
    /* DE */ Bad,     // (reserved)
    /* DF */ RmIb,    // AESKEYGENASSIST Ib
    /* E0 */ Bad,     // (reserved)
    /* E1 */ Bad,     // (reserved)
    /* E2 */ Bad,     // (reserved)
    /* E3 */ Bad,     // (reserved)
    /* E4 */ Bad,     // (reserved)
    /* E5 */ Bad,     // (reserved)
    /* E6 */ Bad,     // (reserved)
    /* E7 */ Bad,     // (reserved)
    /* E8 */ Bad,     // (reserved)
    /* E9 */ Bad,     // (reserved)
    /* EA */ Bad,     // (reserved)
    /* EB */ Bad,     // (reserved)
    /* EC */ Bad,     // (reserved)
    /* ED */ Bad,     // (reserved)
    /* EE */ Bad,     // (reserved)
    /* EF */ Bad,     // (reserved)
    /* F0 */ RmIb,    // HRESET Ib
    /* F1 */ Bad,     // (reserved)
    /* F2 */ Bad,     // (reserved)
    /* F3 */ Bad,     // (reserved)
    /* F4 */ Bad,     // (reserved)
    /* F5 */ Bad,     // (reserved)
    /* F6 */ Bad,     // (reserved)
    /* F7 */ Bad,     // (reserved)
    /* F8 */ Bad,     // (reserved)
    /* F9 */ Bad,     // (reserved)
    /* FA */ Bad,     // (reserved)
    /* FB */ Bad,     // (reserved)
    /* FC */ Bad,     // (reserved)
    /* FD */ Bad,     // (reserved)
    /* FE */ Bad,     // (reserved)
    /* FF */ Bad,     // (reserved)
};

}  // namespace ostrel::x86
