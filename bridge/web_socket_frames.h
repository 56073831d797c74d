// The WebSocket wire format (RFC 6455) as the bridge's server side reads and writes it.
#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace qx::bridge {

namespace ws {

enum Opcode : quint8 {
    Continuation = 0x0,
    Text = 0x1,
    Binary = 0x2,
    Close = 0x8,
    Ping = 0x9,
    Pong = 0xA,
};

// Close codes the bridge sends.
enum CloseCode : quint16 {
    Normal = 1000,
    GoingAway = 1001,
    ProtocolError = 1002,
    UnsupportedData = 1003,
    InvalidPayload = 1007,
    PolicyViolated = 1008,
    TooMuchData = 1009,
};

struct Frame {
    bool fin = false;
    quint8 opcode = 0;
    QByteArray payload;   // unmasked
    qsizetype length = 0; // bytes of the frame on the wire, header included
};

enum class FrameStatus {
    Incomplete, // more bytes needed
    Complete,
    Unmasked,  // a client frame without a mask: refused by RFC 6455
    Malformed, // reserved bits, an unknown opcode, a fragmented or long control frame
    TooLarge,  // the payload alone passes `maxPayload`; its bytes need not arrive to tell
};

// Reads one client frame from the start of `data`. The payload length is judged from the header, so a
// frame too large is refused before its payload is buffered.
FrameStatus readClientFrame(const QByteArray& data, qint64 maxPayload, Frame& frame);

// A server frame: never masked, always final.
QByteArray serverFrame(Opcode opcode, const QByteArray& payload);
QByteArray closeFrame(CloseCode code, const QByteArray& reason);

// Sec-WebSocket-Accept for a client's Sec-WebSocket-Key; empty when the key is not 16 bytes in
// Base64, as the handshake requires.
QByteArray acceptKey(const QByteArray& key);

} // namespace ws

} // namespace qx::bridge
