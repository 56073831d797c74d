// Frame parsing is kept free of sockets, so every refusal of a hostile frame is testable in-process.
#include "web_socket_frames.h"

#include <QCryptographicHash>

namespace qx::bridge::ws {

FrameStatus readClientFrame(const QByteArray& data, qint64 maxPayload, Frame& frame) {
    if (data.size() < 2)
        return FrameStatus::Incomplete;
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    const bool fin = bytes[0] & 0x80;
    const quint8 opcode = bytes[0] & 0x0F;
    if (bytes[0] & 0x70)
        return FrameStatus::Malformed; // no extension was agreed on
    const bool control = opcode & 0x08;
    if (opcode != Continuation && opcode != Text && opcode != Binary && opcode != Close && opcode != Ping &&
        opcode != Pong)
        return FrameStatus::Malformed;
    if (!(bytes[1] & 0x80))
        return FrameStatus::Unmasked;
    quint64 length = bytes[1] & 0x7F;
    qsizetype at = 2;
    if (length == 126) {
        if (data.size() < 4)
            return FrameStatus::Incomplete;
        length = (quint64(bytes[2]) << 8) | bytes[3];
        at = 4;
    } else if (length == 127) {
        if (data.size() < 10)
            return FrameStatus::Incomplete;
        length = 0;
        for (int i = 0; i < 8; ++i)
            length = (length << 8) | bytes[2 + i];
        if (length >> 63)
            return FrameStatus::Malformed;
        at = 10;
    }
    if (control && (!fin || length > 125))
        return FrameStatus::Malformed;
    if (length > static_cast<quint64>(maxPayload))
        return FrameStatus::TooLarge;
    if (data.size() < at + 4 + static_cast<qsizetype>(length))
        return FrameStatus::Incomplete;
    const uchar* mask = bytes + at;
    at += 4;
    frame.fin = fin;
    frame.opcode = opcode;
    frame.payload = data.mid(at, static_cast<qsizetype>(length));
    char* out = frame.payload.data();
    for (qsizetype i = 0; i < frame.payload.size(); ++i)
        out[i] = static_cast<char>(out[i] ^ mask[i % 4]);
    frame.length = at + static_cast<qsizetype>(length);
    return FrameStatus::Complete;
}

QByteArray serverFrame(Opcode opcode, const QByteArray& payload) {
    QByteArray frame;
    const qsizetype n = payload.size();
    frame.reserve(n + 10);
    frame.append(static_cast<char>(0x80 | opcode));
    if (n < 126) {
        frame.append(static_cast<char>(n));
    } else if (n < 65536) {
        frame.append(static_cast<char>(126));
        frame.append(static_cast<char>(n >> 8));
        frame.append(static_cast<char>(n & 0xFF));
    } else {
        frame.append(static_cast<char>(127));
        for (int shift = 56; shift >= 0; shift -= 8)
            frame.append(static_cast<char>((static_cast<quint64>(n) >> shift) & 0xFF));
    }
    frame.append(payload);
    return frame;
}

QByteArray closeFrame(CloseCode code, const QByteArray& reason) {
    QByteArray payload;
    payload.append(static_cast<char>(code >> 8));
    payload.append(static_cast<char>(code & 0xFF));
    payload.append(reason.left(123)); // a control frame carries at most 125 bytes
    return serverFrame(Close, payload);
}

QByteArray acceptKey(const QByteArray& key) {
    const QByteArray trimmed = key.trimmed();
    const auto decoded = QByteArray::fromBase64Encoding(trimmed, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != 16)
        return QByteArray();
    return QCryptographicHash::hash(trimmed + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11",
                                    QCryptographicHash::Sha1)
        .toBase64();
}

} // namespace qx::bridge::ws
