#pragma once

#include <QtGlobal>

// Wire constants of the tabular data stream shared by the framing, login and token code.
namespace sandbox::tds {

inline constexpr int HeaderSize = 8;
inline constexpr int DefaultPacketSize = 4096;
inline constexpr int MinPacketSize = 512;
inline constexpr int MaxPacketSize = 32767;

enum PacketType : quint8 {
    SqlBatch = 0x01,
    Rpc = 0x03,
    Reply = 0x04,
    Attention = 0x06,
    TransactionManager = 0x0E,
    Login7 = 0x10,
    Prelogin = 0x12,
};

enum PacketStatus : quint8 {
    EndOfMessage = 0x01,
    Ignore = 0x02,
};

enum Token : quint8 {
    ColMetadataToken = 0x81,
    ErrorToken = 0xAA,
    InfoToken = 0xAB,
    LoginAckToken = 0xAD,
    RowToken = 0xD1,
    EnvChangeToken = 0xE3,
    DoneToken = 0xFD,
};

enum DoneStatus : quint16 {
    DoneFinal = 0x00,
    DoneMore = 0x01,
    DoneError = 0x02,
    DoneCount = 0x10,
    DoneAttention = 0x20,
};

enum WireType : quint8 {
    IntN = 0x26,
    BitN = 0x68,
    FltN = 0x6D,
    DateTimeN = 0x6F,
    BigVarChar = 0xA7,
    NVarCharType = 0xE7,
};

}  // namespace sandbox::tds
