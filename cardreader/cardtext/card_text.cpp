// Encoding and decoding of the card's text block and of its appended message.
#include "qx/cardtext/card_text.h"

namespace qx::cardtext {

namespace {

struct Slot {
    QString CardText::*field;
    int bytes;
};

constexpr Slot kSlots[] = {
    {&CardText::name, kNameBytes},           {&CardText::sex, kSexBytes},
    {&CardText::nation, kNationBytes},       {&CardText::birth, kBirthBytes},
    {&CardText::address, kAddressBytes},     {&CardText::number, kNumberBytes},
    {&CardText::authority, kAuthorityBytes}, {&CardText::validFrom, kValidFromBytes},
    {&CardText::validTo, kValidToBytes},     {&CardText::reserved, kReservedBytes},
};

static_assert([] {
    int sum = 0;
    for (const Slot& s : kSlots)
        sum += s.bytes;
    return sum;
}() == kTextBlockSize);

} // namespace

QByteArray encodeField(const QString& text, int bytes) {
    QByteArray out;
    out.reserve(bytes);
    const int units = bytes / 2;
    for (int i = 0; i < text.size() && i < units; ++i) {
        const QChar c = text.at(i);
        // Half a surrogate pair would turn into garbage on the other side; leave the slot to padding.
        if (c.isHighSurrogate() && i + 1 >= units)
            break;
        out.append(static_cast<char>(c.unicode() & 0xFF));
        out.append(static_cast<char>(c.unicode() >> 8));
    }
    while (out.size() + 2 <= bytes)
        out.append(" \0", 2);
    if (out.size() < bytes)
        out.append(' ');
    return out;
}

QString decodeField(const QByteArray& field) {
    QString text;
    text.reserve(field.size() / 2);
    for (qsizetype i = 0; i + 1 < field.size(); i += 2) {
        const char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(field.at(i)) |
                                                    (static_cast<unsigned char>(field.at(i + 1)) << 8));
        text.append(QChar(unit));
    }
    qsizetype end = text.size();
    while (end > 0 && (text.at(end - 1) == QLatin1Char(' ') || text.at(end - 1) == QChar(0)))
        --end;
    text.truncate(end);
    return text;
}

QByteArray encodeTextBlock(const CardText& card) {
    QByteArray block;
    block.reserve(kTextBlockSize);
    for (const Slot& s : kSlots)
        block.append(encodeField(card.*s.field, s.bytes));
    return block;
}

CardText decodeTextBlock(const QByteArray& block) {
    CardText card;
    qsizetype at = 0;
    for (const Slot& s : kSlots) {
        card.*s.field = decodeField(block.mid(at, s.bytes));
        at += s.bytes;
    }
    return card;
}

} // namespace qx::cardtext
